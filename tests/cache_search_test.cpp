#include "sources/cache_search.h"

#include "platform/xdg.h"
#include "support/scoped_env.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <unistd.h>

using namespace plovex;

namespace {

class CacheSearchTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString root() const { return dir.path(); }

    // Writes a file of size bytes at root/relative, making its folders.
    QString file(const QString& relative, qint64 size, char fill = 'x')
    {
        const QString path = root() + u'/' + relative;
        EXPECT_TRUE(QDir().mkpath(QFileInfo(path).path()));
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(size, fill));
        return path;
    }

    static QByteArray contents(const QString& path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
};

TEST_F(CacheSearchTest, FirstListingKeepsFilesLargerThanTenBytes)
{
    file("a.swf", 10);
    const QString b = file("b.SWF", 11);
    EXPECT_EQ(SearchFiles(root(), ".swf", 10), QStringList{b});
}

TEST_F(CacheSearchTest, KilobyteMinimumIsExclusive)
{
    file("exact.swf", 10000);
    const QString over = file("over.swf", 10001);
    EXPECT_EQ(SearchFiles(root(), ".swf", 10 * 1000), QStringList{over});
}

TEST_F(CacheSearchTest, FindsFilesAtAnyDepthByTheirLastExtension)
{
    const QStringList wanted = {
        file("top.swf", 20),
        file("one/two/three/four/five/deep.Swf", 20),
        file(".hidden/inside.swf", 20),
        file("one/.dot.swf", 20),
        file("one/.swf", 20),         // a name that is all extension
        file("one/two/电影.SWF", 20), // not only ASCII names
    };
    file("x.swf.bak", 20);
    file("one/swf", 20);
    file("one/two/movie.swfx", 20);
    file("one/two/movie.sw", 20);
    file("one/two/three/notswf", 20);
    QDir().mkpath(root() + "/folder.swf"); // a folder is never listed itself
    QStringList found = SearchFiles(root(), ".swf", 10);
    found.sort();
    QStringList expected = wanted;
    expected.sort();
    EXPECT_EQ(found, expected);
}

TEST_F(CacheSearchTest, RootPathWithOrWithoutTrailingSlashGivesSinglySeparatedPaths)
{
    const QString p = file("sub/m.swf", 20);
    EXPECT_EQ(SearchFiles(root() + "/", ".swf", 10), QStringList{p});
    EXPECT_EQ(SearchFiles(root(), ".swf", 10), QStringList{p});
}

// Depth first: the files below any folder form one unbroken run of the list.
TEST_F(CacheSearchTest, SearchesEachFolderCompletelyBeforeTheNextEntry)
{
    for (const char* a : {"a", "b", "c"}) {
        file(QString("%1/f1.swf").arg(a), 20);
        file(QString("%1/f2.swf").arg(a), 20);
        for (const char* s : {"x", "y"}) {
            file(QString("%1/%2/g1.swf").arg(a, s), 20);
            file(QString("%1/%2/g2.swf").arg(a, s), 20);
        }
    }
    file("top1.swf", 20);
    file("top2.swf", 20);
    const QStringList found = SearchFiles(root(), ".swf", 10);
    ASSERT_EQ(found.size(), 3 * 6 + 2);
    QStringList folders;
    for (const char* a : {"a", "b", "c"}) {
        folders << root() + QString("/%1/").arg(a);
        for (const char* s : {"x", "y"})
            folders << root() + QString("/%1/%2/").arg(a, s);
    }
    for (const QString& folder : folders) {
        qsizetype first = -1, last = -1, count = 0;
        for (qsizetype i = 0; i < found.size(); ++i) {
            if (found[i].startsWith(folder)) {
                if (first < 0)
                    first = i;
                last = i;
                ++count;
            }
        }
        EXPECT_EQ(last - first + 1, count) << folder.toStdString() << " is interrupted";
    }
}

TEST_F(CacheSearchTest, LinkLoopsEndAndLinksToFoldersAreNotFollowed)
{
    const QString real = file("a/real.swf", 20);
    ASSERT_EQ(symlink("..", QFile::encodeName(root() + "/a/up").constData()), 0);
    ASSERT_EQ(symlink(".", QFile::encodeName(root() + "/a/self").constData()), 0);
    ASSERT_EQ(symlink("../a", QFile::encodeName(root() + "/a/again.swf").constData()), 0);
    ASSERT_EQ(symlink("nowhere", QFile::encodeName(root() + "/a/dangling.swf").constData()), 0);
    // A link to a file counts as that file.
    ASSERT_EQ(symlink("real.swf", QFile::encodeName(root() + "/a/alias.swf").constData()), 0);
    ASSERT_EQ(symlink("real.swf", QFile::encodeName(root() + "/a/smaller").constData()), 0);
    QStringList found = SearchFiles(root(), ".swf", 10);
    found.sort();
    EXPECT_EQ(found, (QStringList{root() + "/a/alias.swf", real}));
}

// Only links met inside are passed over: a cache folder that is itself a
// link (moved to another disk) is searched.
TEST_F(CacheSearchTest, StartFolderGivenAsALinkIsSearched)
{
    file("real-cache/m.swf", 20);
    const QString link = root() + "/cache-link";
    ASSERT_EQ(symlink("real-cache", QFile::encodeName(link).constData()), 0);
    EXPECT_EQ(SearchFiles(link, ".swf", 10), QStringList{link + "/m.swf"});
}

TEST_F(CacheSearchTest, FolderThatCannotBeListedContributesNothing)
{
    EXPECT_TRUE(SearchFiles(root() + "/missing", ".swf", 0).isEmpty());
    const QString plain = file("plain.swf", 20);
    EXPECT_TRUE(SearchFiles(plain, ".swf", 0).isEmpty()); // a file, not a folder
}

TEST_F(CacheSearchTest, YieldsAfterEveryEntryButTheFirstOfEachFolder)
{
    file("f1.bin", 1);
    file("f2.bin", 1);
    file("sub/g1.bin", 1);
    file("sub/g2.bin", 1);
    file("sub/g3.bin", 1);
    QDir().mkpath(root() + "/empty");
    // Top: f1, f2, sub, empty (3 yields); sub: 3 entries (2); empty: none.
    int yields = 0;
    SearchFiles(root(), ".swf", 0, [&] { ++yields; });
    EXPECT_EQ(yields, 5);
}

TEST_F(CacheSearchTest, SecondSearchIsRefusedWhileOneRuns)
{
    const QString a = file("a.swf", 20);
    file("b.bin", 20);
    file("c.bin", 20);
    FileSearch search;
    int yields = 0;
    std::vector<bool> refused;
    search.setYield([&] {
        ++yields;
        EXPECT_TRUE(search.isRunning());
        refused.push_back(!search.run(root(), ".swf", 10).has_value());
    });
    const auto found = search.run(root(), ".swf", 10);
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(*found, QStringList{a});
    EXPECT_EQ(yields, 2);
    EXPECT_EQ(refused, (std::vector<bool>{true, true}));
    EXPECT_FALSE(search.isRunning());
    // Once finished, the next search runs.
    search.setYield({});
    EXPECT_TRUE(search.run(root(), ".swf", 10).has_value());
}

TEST_F(CacheSearchTest, CancelEndsTheSearchEarly)
{
    for (int i = 0; i < 50; ++i)
        file(QString("d%1/m.swf").arg(i), 20);
    FileSearch search;
    int yields = 0;
    search.setYield([&] {
        if (++yields == 3)
            search.cancel();
    });
    const auto found = search.run(root(), ".swf", 10);
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(yields, 3);
    EXPECT_EQ(found->size(), 4); // d0 to d3
    EXPECT_FALSE(search.isRunning());
    // A cancel does not outlive its search.
    search.setYield({});
    EXPECT_EQ(search.run(root(), ".swf", 10)->size(), 50);
}

TEST_F(CacheSearchTest, CopyCreatesANewFile)
{
    const QString from = file("cache/movie.swf", 70000, 'm');
    const QString to = root() + "/saved.swf";
    EXPECT_TRUE(CopyFileNoReplace(from, to));
    EXPECT_EQ(contents(to), contents(from));
}

TEST_F(CacheSearchTest, CopyNeverReplacesAnExistingFile)
{
    const QString from = file("cache/movie.swf", 100, 'm');
    const QString to = file("kept.swf", 5, 'k');
    EXPECT_FALSE(CopyFileNoReplace(from, to));
    EXPECT_EQ(contents(to), QByteArray(5, 'k'));
    // Not even through a link that points nowhere yet.
    const QString link = root() + "/link.swf";
    ASSERT_EQ(symlink("target.swf", QFile::encodeName(link).constData()), 0);
    EXPECT_FALSE(CopyFileNoReplace(from, link));
    EXPECT_FALSE(QFile::exists(root() + "/target.swf"));
}

TEST_F(CacheSearchTest, CopyOfAMissingSourceCreatesNothing)
{
    const QString to = root() + "/saved.swf";
    EXPECT_FALSE(CopyFileNoReplace(root() + "/gone.swf", to));
    EXPECT_FALSE(QFileInfo::exists(to));
    EXPECT_FALSE(CopyFileNoReplace(root(), to)); // a folder is not copied
    EXPECT_FALSE(QFileInfo::exists(to));
}

TEST(BrowserCacheFolder, FollowsTheUsersCacheFolder)
{
    plovex::testing::ScopedEnv env;
    env.set("XDG_CACHE_HOME", "/tmp/some cache");
    env.set("HOME", "/home/someone");
    EXPECT_EQ(BrowserCacheFolder(), "/tmp/some cache");
    env.unset("XDG_CACHE_HOME");
    EXPECT_EQ(BrowserCacheFolder(), "/home/someone/.cache");
    env.set("XDG_CACHE_HOME", "relative/ignored");
    EXPECT_EQ(BrowserCacheFolder(), "/home/someone/.cache");
    env.unset("XDG_CACHE_HOME");
    env.unset("HOME");
    EXPECT_EQ(BrowserCacheFolder(), "");
}

} // namespace
