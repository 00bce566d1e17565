// Builds a cache-like tree of generated files in a temporary folder (by
// default 100 000 files: 100 folders of 10 subfolders of 100 files, one in
// ten named .swf or .SWF, sizes 0 to 40 bytes), then times SearchFiles for
// ".swf" above 10 bytes against `find DIR -type f -iname '*.swf' -size +10c`
// on the same tree. Each is run five times; the best and median times are
// printed. The search is also timed with a callback between entries that
// processes events, as the cache list runs it.
//
// Usage: bench_cache_search [FILES]

#include "sources/cache_search.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

struct Times {
    double best = 0, median = 0;
};

Times measure(int runs, const std::function<void()>& work)
{
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        work();
        ms.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    return {ms.front(), ms[ms.size() / 2]};
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const long files = argc > 1 ? std::atol(argv[1]) : 100000;
    const long perFolder = 100, subfolders = 10;
    const long folders = std::max(1L, files / (perFolder * subfolders));

    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::fprintf(stderr, "cannot make a temporary folder\n");
        return 1;
    }
    const QByteArray root = QFile::encodeName(dir.path());
    std::printf("building %ld files in %s ...\n", folders * subfolders * perFolder, root.constData());
    std::fflush(stdout);
    long expected = 0, n = 0;
    const char filler[64] = {};
    for (long a = 0; a < folders; ++a) {
        const QByteArray fa = root + "/" + QByteArray::number(qlonglong(a), 16) + "0F3A";
        mkdir(fa.constData(), 0755);
        for (long b = 0; b < subfolders; ++b) {
            const QByteArray fb = fa + "/Cache_" + QByteArray::number(qlonglong(b));
            mkdir(fb.constData(), 0755);
            for (long c = 0; c < perFolder; ++c, ++n) {
                const bool swf = n % 10 == 0;
                const long size = (n * 7) % 41;
                const QByteArray name = fb + "/f" + QByteArray::number(qlonglong(n), 16)
                    + (swf ? (n % 20 == 0 ? ".swf" : ".SWF") : (n % 3 == 0 ? ".swf.bak" : ".dat"));
                const int fd = open(name.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
                if (fd < 0 || write(fd, filler, size_t(size)) != size) {
                    std::perror(name.constData());
                    return 1;
                }
                close(fd);
                if (swf && size > 10)
                    ++expected;
            }
        }
    }

    const int runs = 5;
    qsizetype ours = 0;
    const Times plain = measure(runs, [&] { ours = plovex::SearchFiles(dir.path(), ".swf", 10).size(); });
    long yields = 0;
    const Times withEvents = measure(runs, [&] {
        plovex::SearchFiles(dir.path(), ".swf", 10, [&] {
            ++yields;
            QCoreApplication::processEvents();
        });
    });

    long theirs = 0;
    const Times find = measure(runs, [&] {
        QProcess p;
        p.start("find", {dir.path(), "-type", "f", "-iname", "*.swf", "-size", "+10c"});
        p.waitForFinished(-1);
        theirs = p.readAllStandardOutput().count('\n');
    });

    std::printf("files: %ld, matching: expected %ld, SearchFiles %lld, find %ld\n", n, expected, qlonglong(ours), theirs);
    std::printf("SearchFiles                  best %8.1f ms  median %8.1f ms\n", plain.best, plain.median);
    std::printf("SearchFiles + processEvents  best %8.1f ms  median %8.1f ms  (%ld callbacks per run)\n",
                withEvents.best, withEvents.median, yields / runs);
    std::printf("find -iname -size            best %8.1f ms  median %8.1f ms\n", find.best, find.median);
    return ours == expected && theirs == expected ? 0 : 2;
}
