// The real path, end to end: a PulseAudio server of the test's own with a
// null sink, the player control playing a movie through Qt Multimedia, and
// the sink's monitor recorded with parec. The one real-time test of the
// sound; its tolerances leave room for a busy machine.

#include "player/shockwave_flash.h"
#include "swf/writer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

using namespace plovex;

namespace {

constexpr int kRate = 44100;

// A tone as 16-bit mono PCM at 44.1 kHz.
QByteArray Tone(double frequency, int amplitude, int samples)
{
    QByteArray d;
    for (int i = 0; i < samples; ++i) {
        const int v = int(std::lround(amplitude * std::sin(2 * M_PI * frequency * i / kRate)));
        d.append(char(v & 0xFF)).append(char((v >> 8) & 0xFF));
    }
    return d;
}

void Wait(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
}

struct Onset {
    qint64 sample = -1;
    double frequency = 0, rms = 0;
};

// The first sample from `from` on where the left channel's level passes
// `threshold`, and the tone's frequency and level over the 0.15 s after it.
Onset FindTone(const std::vector<int16_t>& s, qint64 from, int threshold, int ms = 150)
{
    Onset o;
    const qint64 frames = qint64(s.size() / 2);
    for (qint64 i = from; i < frames; ++i)
        if (std::abs(s[size_t(2 * i)]) >= threshold) {
            o.sample = i;
            break;
        }
    if (o.sample < 0)
        return o;
    const qint64 begin = o.sample + 441, end = std::min(frames, begin + kRate * ms / 1000);
    int crossings = 0;
    double sum = 0;
    for (qint64 i = begin; i < end; ++i) {
        const int a = s[size_t(2 * (i - 1))], b = s[size_t(2 * i)];
        if ((a < 0) != (b < 0))
            ++crossings;
        sum += double(b) * b;
    }
    o.frequency = crossings / 2.0 / (double(end - begin) / kRate);
    o.rms = std::sqrt(sum / double(std::max<qint64>(1, end - begin)));
    return o;
}

TEST(AudioDevice, PlaysThroughTheSoundServerAsPlovex)
{
    const QString pulseaudio = QStandardPaths::findExecutable("pulseaudio");
    const QString parecPath = QStandardPaths::findExecutable("parec");
    if (pulseaudio.isEmpty() || parecPath.isEmpty())
        GTEST_SKIP() << "pulseaudio and parec are not installed (scripts/setup.sh installs them)";
    QTemporaryDir runtime;
    QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QString socket = runtime.filePath("native");
    QProcess server;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_RUNTIME_DIR", runtime.path());
    env.insert("HOME", runtime.path());
    server.setProcessEnvironment(env);
    server.start(pulseaudio, {"-n", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no",
                              "--load=module-null-sink sink_name=plovex_test rate=44100 channels=2",
                              "--load=module-native-protocol-unix auth-anonymous=1 socket=" + socket});
    ASSERT_TRUE(server.waitForStarted(10000));
    for (int i = 0; i < 100 && !QFile::exists(socket); ++i)
        Wait(50);
    ASSERT_TRUE(QFile::exists(socket)) << server.readAllStandardError().toStdString();
    qputenv("PULSE_SERVER", ("unix:" + socket).toUtf8());
    qputenv("PULSE_SINK", "plovex_test");

    // 20 frames a second: a 500 Hz beep at frame 0, a 1 kHz tone at frame 20.
    QTemporaryDir dir;
    swf::SwfWriter w({.frameRate = 20});
    w.defineSound(1, 3, 3, true, false, 4410, Tone(500, 12000, 4410));
    w.defineSound(2, 3, 3, true, false, 22050, Tone(1000, 16000, 22050));
    w.startSound(1);
    for (int f = 0; f < 40; ++f) {
        if (f == 20)
            w.startSound(2);
        w.showFrame();
    }
    const QString moviePath = dir.filePath("tone.swf");
    QFile movieFile(moviePath);
    ASSERT_TRUE(movieFile.open(QIODevice::WriteOnly));
    movieFile.write(w.finish());
    movieFile.close();

    QProcess parec;
    parec.setProcessEnvironment(env);
    parec.setStandardOutputFile(dir.filePath("rec.raw"));
    parec.start(parecPath, {"--server=unix:" + socket, "-d", "plovex_test.monitor", "--format=s16le", "--rate=44100",
                            "--channels=2", "--raw", "--latency-msec=5"});
    ASSERT_TRUE(parec.waitForStarted(10000));
    Wait(300);

    // The recording's clock: each time the file is seen to hold n frames,
    // its first frame was captured at most n frames' time before. The
    // least of these bounds is the recording's start, late by no more than
    // parec's own latency and the polling.
    const QString recPath = dir.filePath("rec.raw");
    double recordingStart = std::numeric_limits<double>::max();
    TShockwaveFlash flash;
    QElapsedTimer clock;
    clock.start();
    const auto sampleRecording = [&] {
        const qint64 frames = QFileInfo(recPath).size() / 4;
        const double now = double(clock.nsecsElapsed()) / 1e6;
        if (frames > 0)
            recordingStart = std::min(recordingStart, now - double(frames) * 1000 / kRate);
    };
    // Frame 0's beep opens the device; the tone of frame 20 is then timed.
    flash.SetMovie(moviePath);
    double frame20At = -1;
    QString inputs;
    while (clock.elapsed() < 2500) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (frame20At < 0 && flash.FrameNum() >= 20) {
            frame20At = double(clock.nsecsElapsed()) / 1e6;
            QProcess pactl;
            pactl.setProcessEnvironment(env);
            pactl.start("pactl", {"--server=unix:" + socket, "list", "sink-inputs"});
            pactl.waitForFinished(5000);
            inputs = QString::fromUtf8(pactl.readAllStandardOutput());
        }
        sampleRecording();
        QThread::usleep(500);
    }
    flash.SetMovie(" ");
    Wait(200);
    parec.terminate();
    parec.waitForFinished(5000);
    server.terminate();
    server.waitForFinished(5000);

    EXPECT_TRUE(inputs.contains("application.name = \"Plovex\"")) << inputs.toStdString();
    QFile rec(dir.filePath("rec.raw"));
    ASSERT_TRUE(rec.open(QIODevice::ReadOnly));
    const QByteArray raw = rec.readAll();
    std::vector<int16_t> s(size_t(raw.size() / 2));
    std::memcpy(s.data(), raw.constData(), s.size() * 2);
    // The 1 kHz tone is heard at its level somewhere in the recording.
    bool heard = false;
    for (qint64 from = 0; !heard && from + kRate / 5 < qint64(s.size() / 2); from += kRate / 50) {
        const Onset o = FindTone(s, from, 3000, 100);
        heard = o.sample >= 0 && std::abs(o.frequency - 1000) < 20 && std::abs(o.rms - 16000 / std::sqrt(2.0)) < 1200;
    }
    EXPECT_TRUE(heard) << "no 1 kHz tone at its level in " << s.size() / 2 << " recorded samples";
    ASSERT_GT(frame20At, 0);
    ASSERT_LT(recordingStart, frame20At);
    // The tone is looked for from 200 ms before its frame on, well after
    // the beep; its start on the recording's clock, less the frame's time,
    // is the latency heard, plus what the recording itself adds.
    const qint64 from = std::max<qint64>(0, std::llround((frame20At - 200 - recordingStart) * kRate / 1000));
    const Onset tone = FindTone(s, from, 3000);
    ASSERT_GE(tone.sample, 0) << "no tone after frame 20";
    EXPECT_NEAR(tone.frequency, 1000, 20);
    const double latency = recordingStart + double(tone.sample) * 1000 / kRate - frame20At;
    std::printf("latency from frame 20 to its tone: %.1f ms\n", latency);
    // At most 100 ms, and the recording adds up to its own latency (parec
    // asks for 5 ms fragments) and the polling: 25 ms allowed for both.
    // Never before the frame, but for the frame's own polling (a few ms).
    constexpr double kRecordingTolerance = 25;
    EXPECT_GE(latency, -5);
    EXPECT_LE(latency, 100 + kRecordingTolerance) << inputs.toStdString();
}

} // namespace
