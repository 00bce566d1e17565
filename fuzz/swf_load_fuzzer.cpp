// Loads arbitrary bytes as a movie, plays a few frames forwards and
// backwards and draws them small: nothing may crash, hang or read outside
// the bytes given.

#include "swf/player.h"

#include <QGuiApplication>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication* app = new QGuiApplication(*argc, *argv);
    (void)app;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace plovex::swf;
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    Player player(LoadMovie(bytes));
    RenderOptions options;
    options.antialias = (size & 1) != 0;
    const int frames = std::min(player.frameCount(), 6);
    for (int i = 0; i < frames; ++i) {
        player.nextFrame();
        (void)player.renderImage(QSize(48, 36), options);
    }
    player.gotoFrame(0);
    player.advance(3);
    (void)player.renderImage(QSize(32, 24), options);
    return 0;
}
