#pragma once

// Movies for the video export tests, written with the engine's SWF writer,
// and the written files read back through the FFmpeg libraries.

#include "swf/writer.h"

#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QString>
#include <gtest/gtest.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <cmath>
#include <set>
#include <vector>

namespace plovex::video::test {

// `frames` frames of `width` x `height` pixels at `rate`: a gradient
// background, a red square moving right and a green ellipse growing, so
// that every picture differs; with `clickAt` >= 0 a short click (an event
// sound of raw 16-bit samples) starts on that frame (counted from 0).
inline QByteArray TestMovie(int frames, double rate, int width = 96, int height = 64, int clickAt = -1)
{
    swf::WriterOptions options;
    options.frameSize = swf::Rect{0, width * 20, 0, height * 20};
    options.frameRate = rate;
    swf::SwfWriter w(options);
    w.setBackgroundColor(QColor(240, 240, 250));
    swf::ShapeBuilder back;
    back.style(0, back.addFill(swf::LinearGradientFill(swf::ScaleRotate(width * 20 / 32768.0, 1, 0, width * 10, 0),
                                                       {{0, QColor(30, 60, 200)}, {255, QColor(250, 220, 60)}})),
               0)
        .rect(QRectF(0, 0, width * 20, height * 20));
    w.defineShape(1, back.build());
    swf::ShapeBuilder square;
    square.style(0, square.addFill(swf::SolidFill(QColor(200, 20, 20))), square.addLine(swf::SolidLine(40, Qt::black)))
        .rect(QRectF(0, 0, 300, 300));
    w.defineShape(2, square.build());
    swf::ShapeBuilder ellipse;
    ellipse.style(0, ellipse.addFill(swf::SolidFill(QColor(20, 160, 60))), 0).ellipse(QRectF(-200, -150, 400, 300));
    w.defineShape(3, ellipse.build());
    if (clickAt >= 0) {
        QByteArray click;
        for (int i = 0; i < 441; ++i) {
            const qint16 v = i < 64 ? qint16(i % 2 ? 30000 : -30000) : 0;
            click.append(char(v & 0xFF)).append(char((v >> 8) & 0xFF));
        }
        w.defineSound(4, 3, 3, true, false, 441, click);
    }
    w.placeObject2(swf::PlaceNew(1, 1));
    for (int f = 0; f < frames; ++f) {
        const swf::Matrix at = swf::Translate(100 + (f * 37) % (width * 20 - 400), 200);
        w.placeObject2(f == 0 ? swf::PlaceNew(2, 2, at) : swf::PlaceMove(2, at));
        const double s = 0.5 + (f % 20) / 20.0;
        const swf::Matrix grown = swf::ScaleRotate(s, s, 0, width * 10, height * 12);
        w.placeObject2(f == 0 ? swf::PlaceNew(3, 3, grown) : swf::PlaceMove(3, grown));
        if (f == clickAt)
            w.startSound(4);
        w.showFrame();
    }
    return w.finish();
}

inline void WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// What a video file holds, decoded by the FFmpeg libraries.
struct Decoded {
    bool opened = false;
    QString videoCodec, audioCodec;
    int width = 0, height = 0;
    AVRational frameRate{0, 1};
    int videoFrames = 0;
    std::vector<double> frameTimes;              // seconds, in the order decoded
    std::map<int, QImage> pictures;              // the frames asked for, as RGB32
    std::map<int, std::shared_ptr<AVFrame>> raw; // and as decoded (4:2:0 YUV for the video codecs)
    bool hasAudio = false;
    int audioRate = 0, audioFrameSize = 0;
    std::vector<float> audio;                    // the channels' mean, from the track's start
};

inline Decoded DecodeVideo(const QString& path, const std::set<int>& keep = {})
{
    Decoded d;
    AVFormatContext* fmt = nullptr;
    if (avformat_open_input(&fmt, QFile::encodeName(path).constData(), nullptr, nullptr) < 0)
        return d;
    avformat_find_stream_info(fmt, nullptr);
    d.opened = true;
    const int vi = av_find_best_stream(fmt, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    const int ai = av_find_best_stream(fmt, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    AVCodecContext* vc = nullptr;
    AVCodecContext* ac = nullptr;
    auto open = [&](int index) {
        const AVCodecParameters* par = fmt->streams[index]->codecpar;
        AVCodecContext* c = avcodec_alloc_context3(avcodec_find_decoder(par->codec_id));
        avcodec_parameters_to_context(c, par);
        c->pkt_timebase = fmt->streams[index]->time_base;
        EXPECT_GE(avcodec_open2(c, avcodec_find_decoder(par->codec_id), nullptr), 0);
        return c;
    };
    if (vi >= 0) {
        vc = open(vi);
        d.videoCodec = QString::fromLatin1(avcodec_get_name(vc->codec_id));
        d.width = vc->width;
        d.height = vc->height;
        d.frameRate = fmt->streams[vi]->avg_frame_rate;
    }
    if (ai >= 0) {
        ac = open(ai);
        d.hasAudio = true;
        d.audioCodec = QString::fromLatin1(avcodec_get_name(ac->codec_id));
        d.audioRate = ac->sample_rate;
        d.audioFrameSize = ac->frame_size;
    }
    SwsContext* sws = nullptr;
    SwrContext* swr = nullptr;
    AVFrame* frame = av_frame_alloc();
    AVPacket* packet = av_packet_alloc();
    auto takeVideo = [&] {
        while (avcodec_receive_frame(vc, frame) >= 0) {
            const int index = d.videoFrames++;
            d.frameTimes.push_back(frame->best_effort_timestamp * av_q2d(fmt->streams[vi]->time_base));
            if (!keep.count(index))
                continue;
            QImage img(frame->width, frame->height, QImage::Format_RGB32);
            sws = sws_getCachedContext(sws, frame->width, frame->height, AVPixelFormat(frame->format), frame->width,
                                       frame->height, AV_PIX_FMT_BGRA, SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT,
                                       nullptr, nullptr, nullptr);
            const int cs = frame->colorspace == AVCOL_SPC_BT709 ? SWS_CS_ITU709 : SWS_CS_DEFAULT;
            const int* coeffs = sws_getCoefficients(cs);
            sws_setColorspaceDetails(sws, coeffs, frame->color_range == AVCOL_RANGE_JPEG, coeffs, 1, 0, 1 << 16, 1 << 16);
            uint8_t* dst[1] = {img.bits()};
            const int stride[1] = {int(img.bytesPerLine())};
            sws_scale(sws, frame->data, frame->linesize, 0, frame->height, dst, stride);
            d.pictures[index] = img;
            d.raw[index] = std::shared_ptr<AVFrame>(av_frame_clone(frame), [](AVFrame* f) { av_frame_free(&f); });
        }
    };
    auto takeAudio = [&] {
        while (avcodec_receive_frame(ac, frame) >= 0) {
            if (!swr) {
                AVChannelLayout mono;
                av_channel_layout_default(&mono, 1);
                swr_alloc_set_opts2(&swr, &mono, AV_SAMPLE_FMT_FLT, ac->sample_rate, &frame->ch_layout,
                                    AVSampleFormat(frame->format), frame->sample_rate, 0, nullptr);
                swr_init(swr);
            }
            std::vector<float> out(size_t(frame->nb_samples) + 64);
            uint8_t* o[1] = {reinterpret_cast<uint8_t*>(out.data())};
            const int n = swr_convert(swr, o, int(out.size()), const_cast<const uint8_t**>(frame->extended_data),
                                      frame->nb_samples);
            if (n > 0)
                d.audio.insert(d.audio.end(), out.begin(), out.begin() + n);
        }
    };
    while (av_read_frame(fmt, packet) >= 0) {
        if (packet->stream_index == vi && vc) {
            avcodec_send_packet(vc, packet);
            takeVideo();
        } else if (packet->stream_index == ai && ac) {
            avcodec_send_packet(ac, packet);
            takeAudio();
        }
        av_packet_unref(packet);
    }
    if (vc) {
        avcodec_send_packet(vc, nullptr);
        takeVideo();
    }
    if (ac) {
        avcodec_send_packet(ac, nullptr);
        takeAudio();
    }
    av_packet_free(&packet);
    av_frame_free(&frame);
    sws_freeContext(sws);
    swr_free(&swr);
    avcodec_free_context(&vc);
    avcodec_free_context(&ac);
    avformat_close_input(&fmt);
    return d;
}

// Peak signal-to-noise ratio of b against a over the red, green and blue
// channels, in decibels (infinite when equal; 0 when the sizes differ).
inline double Psnr(const QImage& a, const QImage& b)
{
    if (a.size() != b.size() || a.isNull())
        return 0;
    const QImage x = a.convertToFormat(QImage::Format_RGB32), y = b.convertToFormat(QImage::Format_RGB32);
    double sum = 0;
    for (int r = 0; r < x.height(); ++r) {
        const QRgb* p = reinterpret_cast<const QRgb*>(x.constScanLine(r));
        const QRgb* q = reinterpret_cast<const QRgb*>(y.constScanLine(r));
        for (int c = 0; c < x.width(); ++c) {
            const double dr = qRed(p[c]) - qRed(q[c]), dg = qGreen(p[c]) - qGreen(q[c]), db = qBlue(p[c]) - qBlue(q[c]);
            sum += dr * dr + dg * dg + db * db;
        }
    }
    const double mse = sum / (3.0 * x.width() * x.height());
    return mse == 0 ? INFINITY : 10 * std::log10(255.0 * 255.0 / mse);
}

// The PSNR of a decoded 4:2:0 frame against the picture it was made from,
// measured as FFmpeg's own tools measure video: the picture converted to
// the frame's YUV (BT.709, limited range), the planes compared and their
// ratios averaged with the weights 4 (Y), 1 (U) and 1 (V).
inline double PsnrYuv(const QImage& picture, const AVFrame* frame)
{
    if (!frame || frame->format != AV_PIX_FMT_YUV420P || picture.width() != frame->width ||
        picture.height() != frame->height)
        return 0;
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB32);
    AVFrame* ref = av_frame_alloc();
    ref->format = AV_PIX_FMT_YUV420P;
    ref->width = frame->width;
    ref->height = frame->height;
    av_frame_get_buffer(ref, 0);
    SwsContext* sws = sws_getContext(rgb.width(), rgb.height(), AV_PIX_FMT_BGRA, rgb.width(), rgb.height(),
                                     AV_PIX_FMT_YUV420P, SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INP, nullptr,
                                     nullptr, nullptr);
    const int* bt709 = sws_getCoefficients(SWS_CS_ITU709);
    sws_setColorspaceDetails(sws, bt709, 1, bt709, 0, 0, 1 << 16, 1 << 16);
    const uint8_t* src[1] = {rgb.constBits()};
    const int stride[1] = {int(rgb.bytesPerLine())};
    sws_scale(sws, src, stride, 0, rgb.height(), ref->data, ref->linesize);
    sws_freeContext(sws);
    double weighted = 0;
    for (int plane = 0; plane < 3; ++plane) {
        const int w = plane ? (frame->width + 1) / 2 : frame->width, h = plane ? (frame->height + 1) / 2 : frame->height;
        double sum = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const double diff = double(ref->data[plane][y * ref->linesize[plane] + x]) -
                                    frame->data[plane][y * frame->linesize[plane] + x];
                sum += diff * diff;
            }
        const double mse = sum / (double(w) * h);
        weighted += (plane ? 1 : 4) * (mse == 0 ? 100.0 : 10 * std::log10(255.0 * 255.0 / mse));
    }
    av_frame_free(&ref);
    return weighted / 6;
}

// The decoded frame is the picture: at least 40 dB as video is measured
// (on its 4:2:0 YUV planes); in RGB, where the colour's lower resolution
// costs sharp coloured edges more, at least 28 dB, which a wrong colour
// matrix or range would not reach. A GIF's palette: at least 28 dB in RGB.
inline void ExpectFaithful(bool gif, const QImage& rendered, const Decoded& d, int frame)
{
    EXPECT_GE(Psnr(rendered, d.pictures.at(frame)), 28) << "frame " << frame;
    if (!gif)
        EXPECT_GE(PsnrYuv(rendered, d.raw.at(frame).get()), 40) << "frame " << frame;
}

// The first sample whose magnitude reaches `threshold`, or -1.
inline qint64 FirstLoudSample(const std::vector<float>& s, float threshold)
{
    for (size_t i = 0; i < s.size(); ++i)
        if (std::fabs(s[i]) >= threshold)
            return qint64(i);
    return -1;
}

} // namespace plovex::video::test
