#pragma once

// Sounds for the audio tests, made by Debian's ffmpeg command (an encoder
// and decoder independent of the engine's own decoding path), and helpers
// to compare sample buffers.

#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <cstdint>
#include <vector>

namespace plovex::audio::test {

// Runs ffmpeg quietly; returns its standard output (empty when it failed,
// which the test then reports).
inline QByteArray RunFfmpeg(QStringList args)
{
    QProcess p;
    args.prepend(QStringLiteral("-nostdin"));
    args.prepend(QStringLiteral("error"));
    args.prepend(QStringLiteral("-loglevel"));
    args.prepend(QStringLiteral("-hide_banner"));
    p.start(QStringLiteral("ffmpeg"), args);
    if (!p.waitForStarted(20000)) {
        ADD_FAILURE() << "ffmpeg cannot be started (scripts/setup.sh installs it)";
        return {};
    }
    p.closeWriteChannel();
    QByteArray out;
    while (p.state() != QProcess::NotRunning) {
        p.waitForReadyRead(1000);
        out += p.readAllStandardOutput();
    }
    out += p.readAllStandardOutput();
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        ADD_FAILURE() << "ffmpeg " << args.join(' ').toStdString() << ": " << p.readAllStandardError().toStdString();
        return {};
    }
    return out;
}

// A sine tone of `seconds` from ffmpeg's test source, encoded by `codec`
// into `container` at `rate` with `channels`; written to `path`.
inline void EncodeTone(const QString& path, const QString& codec, const QString& container, int rate, int channels,
                       double seconds, int frequency = 440)
{
    QStringList args{QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                     QStringLiteral("sine=frequency=%1:sample_rate=%2:duration=%3").arg(frequency).arg(rate).arg(seconds),
                     QStringLiteral("-ac"), QString::number(channels), QStringLiteral("-c:a"), codec};
    if (container == QLatin1String("mp3"))
        args << QStringLiteral("-write_xing") << QStringLiteral("0") << QStringLiteral("-id3v2_version") << QStringLiteral("0");
    args << QStringLiteral("-f") << container << QStringLiteral("-y") << path;
    RunFfmpeg(args);
}

// The audio packets of an FLV file, without their one-byte sound header.
inline std::vector<QByteArray> FlvAudioPackets(const QByteArray& flv)
{
    std::vector<QByteArray> packets;
    auto u8 = [&](qsizetype i) { return i < flv.size() ? uint32_t(uint8_t(flv[i])) : 0u; };
    if (!flv.startsWith("FLV"))
        return packets;
    qsizetype pos = qsizetype(u8(5) << 24 | u8(6) << 16 | u8(7) << 8 | u8(8)) + 4;
    while (pos + 11 <= flv.size()) {
        const int type = int(u8(pos));
        const qsizetype size = qsizetype(u8(pos + 1) << 16 | u8(pos + 2) << 8 | u8(pos + 3));
        const qsizetype body = pos + 11;
        if (body + size > flv.size())
            break;
        if (type == 8 && size > 1)
            packets.push_back(flv.mid(body + 1, size - 1));
        pos = body + size + 4;
    }
    return packets;
}

// The file decoded by ffmpeg to interleaved 16-bit samples, with `extra`
// output options (e.g. "-ar 44100").
inline std::vector<int16_t> ReferenceDecode(const QString& path, const QStringList& extra = {})
{
    QStringList args{QStringLiteral("-i"), path};
    args << extra << QStringLiteral("-f") << QStringLiteral("s16le") << QStringLiteral("-");
    const QByteArray raw = RunFfmpeg(args);
    std::vector<int16_t> out(size_t(raw.size() / 2));
    std::memcpy(out.data(), raw.constData(), out.size() * 2);
    return out;
}

// Every `stride`-th sample from `offset`: one channel of interleaved data.
inline std::vector<int16_t> Channel(const std::vector<int16_t>& s, int stride, int offset)
{
    std::vector<int16_t> out;
    for (size_t i = size_t(offset); i < s.size(); i += size_t(stride))
        out.push_back(s[i]);
    return out;
}

// The root mean square of a - b over their common length, relative to the
// root mean square of b.
inline double RelativeError(const std::vector<int16_t>& a, const std::vector<int16_t>& b)
{
    const size_t n = std::min(a.size(), b.size());
    double err = 0, sig = 0;
    for (size_t i = 0; i < n; ++i) {
        const double d = double(a[i]) - double(b[i]);
        err += d * d;
        sig += double(b[i]) * double(b[i]);
    }
    return sig > 0 ? std::sqrt(err / sig) : (err > 0 ? 1.0 : 0.0);
}

inline QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace plovex::audio::test
