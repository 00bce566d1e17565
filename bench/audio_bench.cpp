// The cost of the player's sound: a movie of 60 seconds at 24 frames a
// second carrying a 44.1 kHz stereo MP3 stream (made by the ffmpeg command),
// played through the frame loop and the mixer as the player plays it;
// prints the CPU share of one core that decoding and mixing take, and the
// latency of the sound behind its frame on the desktop's sound device when
// there is one (the output's queue, measured while a movie plays).
//
// Usage: audio_bench [SECONDS]

#include "audio/output.h"
#include "audio/render.h"
#include "swf/writer.h"

using namespace plovex;

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>
#include <ctime>

namespace {

double CpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// MPEG-1 layer III frame length from its header, 0 when it is no header.
int FrameLength(const uint8_t* h)
{
    static const int kBitrates[] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0};
    static const int kRates[] = {44100, 48000, 32000, 0};
    if (h[0] != 0xFF || (h[1] & 0xFE) != 0xFA)
        return 0;
    const int bitrate = kBitrates[h[2] >> 4], rate = kRates[(h[2] >> 2) & 3];
    if (!bitrate || !rate)
        return 0;
    return 144000 * bitrate / rate + ((h[2] >> 1) & 1);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 60;
    QTemporaryDir dir;
    const QString mp3Path = dir.filePath("s.mp3");
    QProcess ffmpeg;
    ffmpeg.start("ffmpeg", {"-hide_banner", "-loglevel", "error", "-nostdin", "-f", "lavfi", "-i",
                            QStringLiteral("sine=frequency=440:sample_rate=44100:duration=%1").arg(seconds), "-ac", "2",
                            "-c:a", "libmp3lame", "-b:a", "128k", "-write_xing", "0", "-id3v2_version", "0", "-f", "mp3",
                            "-y", mp3Path});
    if (!ffmpeg.waitForFinished(120000) || ffmpeg.exitCode() != 0) {
        std::fprintf(stderr, "audio_bench: the ffmpeg command failed\n");
        return 1;
    }
    QFile f(mp3Path);
    f.open(QIODevice::ReadOnly);
    const QByteArray mp3 = f.readAll();

    // One block a frame: the MP3 frames whose samples fall in it.
    const double fps = 24, perFrame = 44100 / fps;
    swf::SwfWriter w({.frameRate = fps});
    w.soundStreamHead(2, 3, true, true, int(perFrame));
    qsizetype pos = 0;
    qint64 samples = 0;
    int frames = 0;
    while (pos + 4 <= mp3.size()) {
        QByteArray block(4, '\0');
        while (pos + 4 <= mp3.size() && samples < qint64((frames + 1) * perFrame)) {
            const int len = FrameLength(reinterpret_cast<const uint8_t*>(mp3.constData() + pos));
            if (len <= 0 || pos + len > mp3.size()) {
                pos = mp3.size();
                break;
            }
            block += mp3.mid(pos, len);
            pos += len;
            samples += 1152;
        }
        w.soundStreamBlock(block);
        w.showFrame();
        ++frames;
    }
    const auto movie = swf::LoadMovie(w.finish());
    const qint64 outputFrames = qint64(seconds) * audio::kOutputRate;

    const double cpu0 = CpuSeconds();
    QElapsedTimer wall;
    wall.start();
    const audio::Pcm track = audio::RenderMovieAudio(movie, outputFrames);
    const double cpu = CpuSeconds() - cpu0;
    std::printf("movie: %d frames at %.0f fps, MP3 stream 128 kbit/s 44.1 kHz stereo, %d s\n", frames, fps, seconds);
    std::printf("decode_and_mix_cpu_s: %.3f\n", cpu);
    std::printf("cpu_share_of_one_core: %.2f %%\n", 100.0 * cpu / seconds);
    std::printf("wall_ms: %lld\n", static_cast<long long>(wall.elapsed()));
    std::printf("samples: %lld\n", static_cast<long long>(track.frames()));

    // The latency on a real device: the output's queue while the movie
    // plays (plus the sound server's own, which it does not report).
    audio::AudioOutput output;
    output.setMovie(movie);
    output.streamBlock(swf::TimelineId{}, 0, 0);
    QElapsedTimer t;
    t.start();
    qint64 most = 0, sum = 0, count = 0;
    while (t.elapsed() < 1500) {
        app.processEvents();
        QThread::msleep(10);
        if (output.deviceOpen() && t.elapsed() > 300) {
            most = std::max(most, output.queuedFrames());
            sum += output.queuedFrames();
            ++count;
        }
    }
    if (count == 0) {
        std::printf("device_latency: no sound device\n");
    } else {
        std::printf("queue_latency_ms_mean: %.1f\n", 1000.0 * double(sum) / double(count) / audio::kOutputRate);
        std::printf("queue_latency_ms_max: %.1f\n", 1000.0 * double(most) / audio::kOutputRate);
    }
    return 0;
}
