// Writes a 200 MB movie full of sounds (MP3 stream blocks between frames,
// event sounds, bitmaps and shapes the walk skips) into a temporary folder,
// extracts its sounds, and prints the throughput and the peak memory of
// the extraction next to the time `cat FILE > /dev/null` takes for the same
// file, and the time of writing as many bytes as the sounds hold. The same
// movie deflated ("CWS") is measured too.
//
// Usage: extract_sounds_bench [MEGABYTES]

#include "extract/sounds.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>
#include <zlib.h>

namespace {

using Clock = std::chrono::steady_clock;

class Writer {
public:
    explicit Writer(const std::string& path) : f_(std::fopen(path.c_str(), "wb"))
    {
        if (!f_) {
            std::perror(path.c_str());
            std::exit(1);
        }
    }
    ~Writer() { std::fclose(f_); }
    void bytes(const void* p, size_t n)
    {
        std::fwrite(p, 1, n, f_);
        written += n;
    }
    void u8(unsigned v) { unsigned char b = v; bytes(&b, 1); }
    void u16(unsigned v) { u8(v & 0xFF); u8(v >> 8); }
    void u32(unsigned v) { u16(v & 0xFFFF); u16(v >> 16); }
    void tag(unsigned code, size_t length)
    {
        if (length < 63) {
            u16((code << 6) | unsigned(length));
        } else {
            u16((code << 6) | 63);
            u32(unsigned(length));
        }
    }
    void seek(long offset) { std::fseek(f_, offset, SEEK_SET); }
    size_t written = 0;

private:
    std::FILE* f_;
};

std::vector<unsigned char> noise(size_t n, unsigned seed)
{
    std::vector<unsigned char> out(n);
    unsigned x = seed;
    for (auto& b : out) {
        x = x * 1103515245u + 12345u;
        b = (x >> 16) & 0xFF;
    }
    return out;
}

// A movie of about `target` bytes. Returns the bytes of sound it carries.
size_t writeMovie(const std::string& path, size_t target)
{
    Writer w(path);
    w.bytes("FWS", 3);
    w.u8(10);
    w.u32(0); // length, set at the end
    w.u8(15 << 3);
    const auto rect = noise(8, 1);
    w.bytes(rect.data(), rect.size());
    w.u16(24 << 8);
    w.u16(0);

    const auto frame = noise(1500, 2);   // MP3 block data
    const auto shape = noise(3000, 3);   // shapes and placements
    const auto bitmap = noise(90000, 4); // a JPEG every so often
    const auto event = noise(400000, 5); // an event sound every so often
    size_t sound = 0;
    unsigned id = 1;
    for (unsigned n = 0; w.written < target; ++n) {
        if (n % 4000 == 0) { // a new stream every 4000 frames
            w.tag(18, 6);
            w.u8(0x2E);
            w.u8(0x2E);
            w.u16(1152);
            w.u16(0);
        }
        const size_t blockData = 400 + (n * 37) % 1100;
        w.tag(19, 4 + blockData);
        w.u16(1152);
        w.u16(0);
        w.bytes(frame.data(), blockData);
        sound += blockData;
        const size_t shapeBytes = 200 + (n * 53) % 2800;
        w.tag(2, shapeBytes);
        w.bytes(shape.data(), shapeBytes);
        w.tag(26, 6);
        w.bytes(shape.data(), 6);
        if (n % 200 == 0) {
            w.tag(21, bitmap.size());
            w.bytes(bitmap.data(), bitmap.size());
        }
        if (n % 300 == 150) {
            w.tag(14, 7 + event.size());
            w.u16(id++);
            w.u8(0x2E);
            w.u32(1000);
            w.bytes(event.data(), event.size());
            sound += 5 + event.size();
        }
        w.tag(1, 0);
    }
    w.tag(0, 0);
    const size_t total = w.written;
    w.seek(4);
    w.u32(unsigned(total));
    return sound;
}

void deflateFile(const std::string& from, const std::string& to)
{
    std::FILE* in = std::fopen(from.c_str(), "rb");
    std::FILE* out = std::fopen(to.c_str(), "wb");
    unsigned char head[8];
    if (std::fread(head, 1, 8, in) != 8)
        std::exit(1);
    head[0] = 'C';
    std::fwrite(head, 1, 8, out);
    z_stream z{};
    deflateInit(&z, 1);
    std::vector<unsigned char> ib(1 << 20), ob(1 << 20);
    int flush = Z_NO_FLUSH;
    do {
        z.avail_in = unsigned(std::fread(ib.data(), 1, ib.size(), in));
        z.next_in = ib.data();
        flush = std::feof(in) ? Z_FINISH : Z_NO_FLUSH;
        do {
            z.avail_out = unsigned(ob.size());
            z.next_out = ob.data();
            deflate(&z, flush);
            std::fwrite(ob.data(), 1, ob.size() - z.avail_out, out);
        } while (z.avail_out == 0);
    } while (flush != Z_FINISH);
    deflateEnd(&z);
    std::fclose(in);
    std::fclose(out);
}

struct Measure {
    double seconds;
    double cpuSeconds; // user + system time of the child
    long peakKiB;
    int status;
};

// Runs work in a child process, so its peak memory is its own.
Measure inChild(const std::function<int()>& work)
{
    const auto start = Clock::now();
    const pid_t pid = fork();
    if (pid == 0)
        _exit(work());
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const double cpu = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    return {seconds, cpu, usage.ru_maxrss, WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

} // namespace

int main(int argc, char** argv)
{
    const size_t megabytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 200;
    QTemporaryDir dir;
    const std::string movie = QDir(dir.path()).filePath("bench.swf").toStdString();
    const std::string packed = QDir(dir.path()).filePath("packed.swf").toStdString();
    const QString out = dir.filePath("out");
    QDir().mkpath(out);

    const size_t sound = writeMovie(movie, megabytes << 20);
    deflateFile(movie, packed);
    const double size = double(QFileInfo(QString::fromStdString(movie)).size());
    const double packedSize = double(QFileInfo(QString::fromStdString(packed)).size());
    std::printf("movie: %.1f MB, %.1f MB of sound; deflated: %.1f MB\n", size / 1e6, double(sound) / 1e6,
                packedSize / 1e6);

    sync(); // write the generated files out first, so that their write-back does not land in a measurement

    const std::string cat = "cat '" + movie + "' > /dev/null";
    // Writing costs too: the extraction writes about half the movie, so
    // copying the same number of bytes to a file in the output folder is
    // the second reference.
    const std::string copy = "head -c " + std::to_string(sound) + " '" + movie + "' > '"
        + QDir(out).filePath("copy.bin").toStdString() + "'";
    const std::string catPacked = "cat '" + packed + "' > /dev/null";
    inChild([&] { return std::system(cat.c_str()); }); // warm the page cache

    auto extract = [&](const QString& path, bool any) {
        return inChild([&] {
            plovex::SoundExtractionOptions options;
            options.acceptCompressed = any;
            const auto result = plovex::ExtractSwfSounds(path, out, options);
            return result.complete && !result.written.isEmpty() ? 0 : 1;
        });
    };

    for (int round = 0; round < 3; ++round) {
        const Measure c = inChild([&] { return std::system(cat.c_str()); });
        const Measure e = extract(QString::fromStdString(movie), false);
        const Measure h = inChild([&] { return std::system(copy.c_str()); });
        std::printf("FWS  cat %.3f s (%.0f MB/s, cpu %.3f s) | extract %.3f s (%.0f MB/s, cpu %.3f s), "
                    "peak RSS %ld KiB%s\n",
                    c.seconds, size / 1e6 / c.seconds, c.cpuSeconds, e.seconds, size / 1e6 / e.seconds,
                    e.cpuSeconds, e.peakKiB, e.status == 0 ? "" : "  FAILED");
        std::printf("     copying as many bytes as the sounds hold to a file: %.3f s\n", h.seconds);
    }
    inChild([&] { return std::system(catPacked.c_str()); });
    const Measure c = inChild([&] { return std::system(catPacked.c_str()); });
    const Measure e = extract(QString::fromStdString(packed), true);
    std::printf("CWS  cat %.3f s | extract %.3f s (%.0f MB/s of movie, cpu %.3f s), peak RSS %ld KiB%s\n",
                c.seconds, e.seconds, size / 1e6 / e.seconds, e.cpuSeconds, e.peakKiB,
                e.status == 0 ? "" : "  FAILED");
    const Measure idle = inChild([] { return 0; });
    std::printf("(an idle child of this process peaks at %ld KiB)\n", idle.peakKiB);
    return 0;
}
