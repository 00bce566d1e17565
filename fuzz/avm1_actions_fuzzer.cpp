// Runs fuzzer-made action bytes as the frame script of a small movie with
// a clip and a button, plays a few frames and sends it the mouse and the
// keyboard: no script may crash, hang or overflow the stack.

#include "avm1/frame_loop.h"
#include "swf/writer.h"

#include <QGuiApplication>

#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication* app = new QGuiApplication(*argc, *argv);
    (void)app;
    return 0;
}

namespace {

QByteArray movieAround(const QByteArray& actions, int version)
{
    using namespace plovex::swf;
    WriterOptions o;
    o.version = version;
    o.frameSize = Rect{0, 100 * 20, 0, 100 * 20};
    SwfWriter w(o);
    ShapeBuilder b;
    b.style(0, b.addFill(SolidFill(Qt::red)), 0).rect(QRectF(0, 0, 400, 400));
    w.defineShape(1, b.build());
    TagStream sprite;
    sprite.placeObject2(PlaceNew(1, 1));
    sprite.showFrame();
    sprite.showFrame();
    w.defineSprite(2, sprite);
    w.exportAssets({{2, QStringLiteral("clip")}});
    w.defineButton2(3, {ButtonRecordSpec{1, 1}}, {});
    PlaceObject clip = PlaceNew(2, 1);
    clip.name = QStringLiteral("mc");
    w.placeObject2(clip);
    w.placeObject2(PlaceNew(3, 2));
    w.tag(kDoAction, actions);
    w.showFrame();
    w.tag(kDoAction, actions);
    w.showFrame();
    return w.finish();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace plovex;
    if (size < 1)
        return 0;
    // The first byte picks the movie's version; the rest are the actions.
    const int version = 4 + data[0] % 7;
    const QByteArray actions(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    avm1::ScriptOptions o;
    o.virtualClock = true;
    o.timeLimitMs = 100;
    o.trace = [](const QString&) {};
    swf::Player player(swf::LoadMovie(movieAround(actions, version)), avm1::ScriptedMovies(o));
    swf::MovieRuntime* rt = player.scripts();
    if (!rt)
        return 0;
    for (int i = 0; i < 3; ++i) {
        player.advance(1);
        rt->mouseMove(2, 2);
        rt->mouseButton(true);
        rt->mouseButton(false);
        rt->key(true, 65, 'a');
        rt->key(false, 65, 'a');
    }
    player.gotoFrame(0);
    (void)player.renderImage(QSize(16, 16), swf::RenderOptions());
    return 0;
}
