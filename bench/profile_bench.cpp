// Saves and restores a playlist through the settings-file accessor, one
// key per operation as the main window does at close and at start, and
// prints the time per operation and for the whole list. Every write
// rereads the file and replaces it safely (with fsync), so the cost grows
// with the list.
//
//   bench_profile [ENTRIES...]   (default: 10 100 500)

#include "platform/profile.h"

#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>
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
    return 0;
}
