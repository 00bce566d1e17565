// Saves and restores a playlist through the settings-file accessor, one
// key per operation as the main window does at close and at start, and
// prints the time per operation and for the whole list. Every write
// rereads the file and replaces it safely (with fsync), so the cost grows
// with the list.
//
// Then restores and saves long playlists the way the main window does at
// start and at close since it reads the file once and writes it once
// (ProfileDocument), one entry in 500 not valid code page 936: the time
// to read the file and every entry, to save it unchanged, and to save it
// with the first entry removed (every entry moves up one key).
//
//   bench_profile [ENTRIES...]   (default: 10 100 500; whole-file: 10000 100000)

#include "platform/codepage936.h"
#include "platform/profile.h"

#include <QElapsedTimer>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

#include <cstdio>
#include <ctime>
#include <algorithm>
#include <cstdlib>
#include <vector>

int main(int argc, char** argv)
{
    std::vector<int> sizes;
    for (int i = 1; i < argc; ++i)
        sizes.push_back(std::max(1, std::atoi(argv[i])));
    if (sizes.empty())
        sizes = {10, 100, 500};

    for (const int entries : sizes) {
        if (entries > 2000) {
            std::printf("%5d entries: one key per operation skipped (it rewrites the file for every key)\n", entries);
            continue;
        }
        QTemporaryDir dir;
        const plovex::ProfileFile ini(dir.filePath(QStringLiteral("FileList.ini")));

        auto save = [&] {
            QElapsedTimer timer;
            timer.start();
            for (int n = 1; n <= entries; ++n)
                ini.WriteString(QStringLiteral("播放列表"), QString::number(n),
                    QStringLiteral("/home/用户/电影/第%1集 - 一部很长的动画片的名字.swf").arg(n));
            ini.WriteInteger(QStringLiteral("列表数目"), QStringLiteral("数目"), entries);
            ini.WriteInteger(QStringLiteral("当前列表项目"), QStringLiteral("选中"), 0);
            return double(timer.nsecsElapsed()) / 1e6;
        };
        const double saveMs = save();
        const double againMs = save(); // nothing changed: no disk writes

        QElapsedTimer timer;
        timer.restart();
        const int count = ini.ReadInteger(QStringLiteral("列表数目"), QStringLiteral("数目"), 0);
        qsizetype characters = 0;
        for (int n = 1; n <= count; ++n)
            characters += ini.ReadString(QStringLiteral("播放列表"), QString::number(n), QString()).size();
        const double restoreMs = double(timer.nsecsElapsed()) / 1e6;

        std::printf("%5d entries: save %8.1f ms (%6.2f ms per write), unchanged again %7.1f ms, "
                    "restore %7.1f ms (%6.3f ms per read)%s\n",
            entries, saveMs, saveMs / (entries + 2), againMs, restoreMs, restoreMs / (count + 1),
            count == entries && characters > 0 ? "" : "  [READ BACK WRONG]");
    }
    std::vector<int> long_sizes = {10000, 100000};
    if (argc > 1)
        long_sizes = sizes;
    for (const int entries : long_sizes) {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("FileList.ini"));
        {
            QByteArray bytes = "[" + plovex::ToCodePage936(QStringLiteral("列表数目")) + "]\r\n"
                + plovex::ToCodePage936(QStringLiteral("数目")) + "=" + QByteArray::number(entries) + "\r\n["
                + plovex::ToCodePage936(QStringLiteral("播放列表")) + "]\r\n";
            for (int n = 1; n <= entries; ++n) {
                bytes += QByteArray::number(n) + '='
                    + plovex::ToCodePage936(QStringLiteral("/home/用户/电影/第%1集 - 一部很长的动画片的名字.swf").arg(n));
                if (n % 500 == 0)
                    bytes += "\x80\xff";
                bytes += "\r\n";
            }
            QFile f(path);
            if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
                return 1;
        }
        const QString list = QStringLiteral("播放列表");
        QStringList restored;
        // Wall time, and the processor time in brackets (the part that is
        // this program's own on a busy machine).
        struct Times {
            double wallMs, cpuMs;
        };
        auto cpuMs = [] { return double(std::clock()) * 1000.0 / CLOCKS_PER_SEC; };
        auto restore = [&] {
            QElapsedTimer timer;
            const double cpu0 = cpuMs();
            timer.start();
            const plovex::ProfileDocument ini(path);
            const int count = std::min(ini.ReadInteger(QStringLiteral("列表数目"), QStringLiteral("数目"), 0),
                                       ini.HighestNumberedKey(list));
            restored.clear();
            for (int n = 1; n <= count; ++n)
                restored << ini.ReadString(list, QString::number(n), QString());
            return Times{double(timer.nsecsElapsed()) / 1e6, cpuMs() - cpu0};
        };
        auto save = [&](const QStringList& playlist) {
            QElapsedTimer timer;
            const double cpu0 = cpuMs();
            timer.start();
            plovex::ProfileDocument ini(path);
            for (qsizetype i = 0; i < playlist.size(); ++i)
                ini.WriteString(list, QString::number(i + 1), playlist[i]);
            ini.WriteInteger(QStringLiteral("列表数目"), QStringLiteral("数目"), int(playlist.size()));
            ini.WriteInteger(QStringLiteral("当前列表项目"), QStringLiteral("选中"), 0);
            ini.Save();
            return Times{double(timer.nsecsElapsed()) / 1e6, cpuMs() - cpu0};
        };
        const Times first = restore();
        const bool whole = restored.size() == entries;
        const Times unchanged = save(restored);
        QStringList shorter = restored;
        shorter.removeFirst();
        const Times moved = save(shorter);
        const Times again = restore();
        std::printf("%6d entries, whole file: restore %7.1f ms (%6.1f), save unchanged %7.1f ms (%6.1f), "
                    "save with every entry moved %7.1f ms (%6.1f), restore again %7.1f ms (%6.1f)%s\n",
            entries, first.wallMs, first.cpuMs, unchanged.wallMs, unchanged.cpuMs, moved.wallMs, moved.cpuMs,
            again.wallMs, again.cpuMs, whole && restored == shorter ? "" : "  [READ BACK WRONG]");
    }
    return 0;
}
