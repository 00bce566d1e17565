#include "app/about_form.h"
#include "app/main_form.h"
#include "platform/paths.h"
#include "support/qt_printers.h"
#include "support/recording_desktop.h"
#include "support/scripted_prompts.h"

#include <QLabel>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

using namespace plovex;

namespace {

// Writes an AVI clip of `count` frames of 32 x 24 pixels; frame i is filled
// with colourOf(i). Uncompressed BGR frames keep the colours exact.
QColor colourOf(int i)
{
    return QColor(QColor::fromHsv((i * 23) % 360, 255, 255).rgb());
}

bool writeClip(const QString& path, int count)
{
    const QByteArray file = path.toLocal8Bit();
    AVFormatContext* out = nullptr;
    if (avformat_alloc_output_context2(&out, nullptr, "avi", file.constData()) < 0)
        return false;
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_RAWVIDEO);
    AVStream* stream = avformat_new_stream(out, nullptr);
    AVCodecContext* enc = avcodec_alloc_context3(codec);
    enc->width = 32;
    enc->height = 24;
    enc->pix_fmt = AV_PIX_FMT_BGR24;
    enc->time_base = AVRational{1, 10};
    bool ok = avcodec_open2(enc, codec, nullptr) >= 0
              && avcodec_parameters_from_context(stream->codecpar, enc) >= 0;
    stream->time_base = enc->time_base;
    ok = ok && avio_open(&out->pb, file.constData(), AVIO_FLAG_WRITE) >= 0
         && avformat_write_header(out, nullptr) >= 0;
    AVFrame* frame = av_frame_alloc();
    AVPacket* packet = av_packet_alloc();
    frame->format = enc->pix_fmt;
    frame->width = enc->width;
    frame->height = enc->height;
    ok = ok && av_frame_get_buffer(frame, 0) >= 0;
    for (int i = 0; ok && i < count; ++i) {
        ok = av_frame_make_writable(frame) >= 0;
        const QColor c = colourOf(i);
        for (int y = 0; y < 24; ++y) {
            uint8_t* row = frame->data[0] + y * frame->linesize[0];
            for (int x = 0; x < 32; ++x) {
                row[3 * x] = uint8_t(c.blue());
                row[3 * x + 1] = uint8_t(c.green());
                row[3 * x + 2] = uint8_t(c.red());
            }
        }
        frame->pts = i;
        ok = ok && avcodec_send_frame(enc, frame) >= 0;
        while (ok && avcodec_receive_packet(enc, packet) >= 0) {
            av_packet_rescale_ts(packet, enc->time_base, stream->time_base);
            packet->stream_index = stream->index;
            ok = av_interleaved_write_frame(out, packet) >= 0;
        }
    }
    avcodec_send_frame(enc, nullptr);
    while (ok && avcodec_receive_packet(enc, packet) >= 0) {
        packet->stream_index = stream->index;
        ok = av_interleaved_write_frame(out, packet) >= 0;
    }
    if (ok)
        ok = av_write_trailer(out) >= 0;
    av_packet_free(&packet);
    av_frame_free(&frame);
    avcodec_free_context(&enc);
    avio_closep(&out->pb);
    avformat_free_context(out);
    return ok;
}

QColor shownColour(const QLabel& label)
{
    const QImage image = label.pixmap().toImage();
    return image.pixelColor(image.width() / 2, image.height() / 2);
}

} // namespace

TEST(TClipPlayer, PlaysTheFirstThirteenFramesOverAndOver)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString clip = dir.filePath(QStringLiteral("cool.avi"));
    ASSERT_TRUE(writeClip(clip, 20));

    QLabel label;
    label.resize(56, 56);
    TClipPlayer player(&label);
    ASSERT_TRUE(player.open(clip, 1, 13));
    EXPECT_EQ(player.frameCount(), 13);
    player.play();
    EXPECT_TRUE(player.playing());
    EXPECT_EQ(player.shownFrame(), 0);
    EXPECT_EQ(shownColour(label), colourOf(0));
    for (int i = 1; i < 13; ++i) {
        player.showNext();
        EXPECT_EQ(shownColour(label), colourOf(i)) << i;
    }
    player.showNext();   // after frame 13 comes frame 1 again
    EXPECT_EQ(player.shownFrame(), 0);
    EXPECT_EQ(shownColour(label), colourOf(0));
    player.stop();
    EXPECT_FALSE(player.playing());
}

TEST(TClipPlayer, AFileThatIsNoClipPlaysNothing)
{
    QTemporaryDir dir;
    const QString bogus = dir.filePath(QStringLiteral("cool.avi"));
    QFile f(bogus);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("RIFF\x10\0\0\0AVI garbage", 20);
    f.close();
    QLabel label;
    TClipPlayer player(&label);
    EXPECT_FALSE(player.open(bogus, 1, 13));
    EXPECT_FALSE(player.open(dir.filePath(QStringLiteral("missing.avi")), 1, 13));
    player.play();
    EXPECT_FALSE(player.playing());
}

TEST(TAboutFrm, PlaysTheClipBesideTheProgramWhileShown)
{
    QTemporaryDir dir;
    ASSERT_TRUE(writeClip(dir.filePath(QStringLiteral("cool.avi")), 5));
    SetProgramFolder(dir.path());
    test::ScriptedPrompts prompts;
    test::RecordingDesktop desktop;
    {
        TAboutFrm about;
        about.show();
        EXPECT_TRUE(about.Animate1->playing());
        EXPECT_EQ(about.Animate1->frameCount(), 5);
        EXPECT_EQ(about.palette().color(QPalette::Window), QColor(216, 228, 240));
        about.hide();
        EXPECT_FALSE(about.Animate1->playing());
    }
    SetProgramFolder(QString());
}
