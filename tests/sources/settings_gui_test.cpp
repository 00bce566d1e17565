// The playlist and the folder panel kept in FileList.ini between runs.

#include "sources/form_fixture.h"

#include "player/shockwave_flash.h"
#include "player/status_panels.h"
#include "sources/shell_tree.h"

#include <QAction>
#include <QGroupBox>
#include <QSplitter>

using namespace plovex;
using plovex::test::SourcesFormTest;

namespace {

using SettingsTest = SourcesFormTest;

TEST_F(SettingsTest, FirstRunWithoutAFile)
{
    TMFrm& f = make();
    EXPECT_EQ(f.ListBox1->count(), 0);
    EXPECT_FALSE(f.GroupBoxFolder->isHidden());
    EXPECT_TRUE(f.mnuFileFolderTrue->isChecked());
    EXPECT_EQ(f.FlashMain->Movie(), QString());
    EXPECT_FALSE(QFile::exists(settingsPath()));   // nothing is written at start
}

TEST_F(SettingsTest, ThreeEntriesWithTheSecondSelectedSurviveARestart)
{
    const QStringList movies = {movie(QStringLiteral("one.swf")), movie(QStringLiteral("two.swf"), 5),
                                movie(QStringLiteral("three.swf"))};
    TMFrm& f = make();
    for (const QString& m : movies)
        f.ListBox1->addEntry(m);
    f.ListBox1->selectRow(1);
    ASSERT_TRUE(closeForm());
    EXPECT_EQ(ini().ReadInteger(QStringLiteral("列表数目"), QStringLiteral("数目"), -7), 3);
    EXPECT_EQ(ini().ReadInteger(QStringLiteral("当前列表项目"), QStringLiteral("选中"), -7), 1);
    EXPECT_EQ(ini().ReadString(QStringLiteral("播放列表"), QStringLiteral("3"), QString()), movies[2]);

    TMFrm& again = make();
    EXPECT_EQ(entries(again.ListBox1), movies);
    EXPECT_EQ(again.ListBox1->selectedRow(), 1);
    EXPECT_EQ(again.FlashMain->Movie(), movies[1]);
    EXPECT_EQ(again.FlashMain->TotalFrames(), 5);
    EXPECT_EQ(again.StatusBar->panelText(0), QStringLiteral("播放:") + movies[1]);
    EXPECT_TRUE(again.mnuControl->menuAction()->isEnabled());
    EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(SettingsTest, ACommandLineArgumentWinsOverTheStoredSelection)
{
    const QString stored = movie(QStringLiteral("stored.swf"));
    const QString argument = movie(QStringLiteral("argument.swf"));
    TMFrm& f = make();
    f.ListBox1->addEntry(movie(QStringLiteral("first.swf")));
    f.ListBox1->addEntry(stored);
    f.ListBox1->selectRow(1);
    ASSERT_TRUE(closeForm());

    TMFrm& again = make(argument);
    EXPECT_EQ(again.FlashMain->Movie(), argument);
    EXPECT_EQ(again.ListBox1->selectedRow(), 1);   // restored, not opened
    EXPECT_EQ(again.ListBox1->count(), 2);         // the argument is not added
}

TEST_F(SettingsTest, AShrunkPlaylistLeavesItsOldKeysWhichAreIgnored)
{
    TMFrm& f = make();
    for (int i = 1; i <= 5; ++i)
        f.ListBox1->addEntry(movieDir.filePath(QStringLiteral("m%1.swf").arg(i)));
    ASSERT_TRUE(closeForm());
    TMFrm& g = make();
    EXPECT_EQ(g.ListBox1->count(), 5);
    g.ListBox1->selectRow(4);
    g.mnuFileLstDelClick();
    g.ListBox1->selectRow(3);
    g.mnuFileLstDelClick();
    g.ListBox1->selectRow(2);
    g.mnuFileLstDelClick();
    ASSERT_TRUE(closeForm());
    EXPECT_EQ(ini().ReadString(QStringLiteral("播放列表"), QStringLiteral("5"), QString()), movieDir.filePath(QStringLiteral("m5.swf")));
    EXPECT_EQ(ini().ReadInteger(QStringLiteral("当前列表项目"), QStringLiteral("选中"), 7), -1);
    TMFrm& h = make();
    EXPECT_EQ(h.ListBox1->count(), 2);
    EXPECT_EQ(h.ListBox1->selectedRow(), -1);
    EXPECT_EQ(h.FlashMain->Movie(), QString());
}

TEST_F(SettingsTest, HandEditedFiles)
{
    const QString a = movie(QStringLiteral("a.swf"));
    const QString b = movie(QStringLiteral("b.swf"));
    struct Case {
        const char* name;
        QString count;
        QString selected;          // empty: key absent
        QStringList expected;
        int expectedSelection;
    };
    const Case cases[] = {
        // The list ends at the highest key the file holds.
        {"count above the keys", QStringLiteral("4"), QStringLiteral("1"), {a, b}, 1},
        {"count far above the keys", QStringLiteral("2147483647"), QStringLiteral("0"), {a, b}, 0},
        {"hexadecimal count", QStringLiteral("0x2"), QStringLiteral("0"), {a, b}, 0},
        {"count that is no number", QStringLiteral("abc"), QStringLiteral("0"), {}, -1},
        {"selection -1", QStringLiteral("2"), QStringLiteral("-1"), {a, b}, -1},
        {"selection at the count", QStringLiteral("2"), QStringLiteral("2"), {a, b}, -1},
        {"selection missing", QStringLiteral("2"), QString(), {a, b}, 0},
    };
    for (const Case& c : cases) {
        QFile::remove(settingsPath());
        ini().WriteString(QStringLiteral("播放列表"), QStringLiteral("1"), a);
        ini().WriteString(QStringLiteral("播放列表"), QStringLiteral("2"), b);
        ini().WriteString(QStringLiteral("列表数目"), QStringLiteral("数目"), c.count);
        if (!c.selected.isEmpty())
            ini().WriteString(QStringLiteral("当前列表项目"), QStringLiteral("选中"), c.selected);
        TMFrm& f = make();
        EXPECT_EQ(entries(f.ListBox1), c.expected) << c.name;
        EXPECT_EQ(f.ListBox1->selectedRow(), c.expectedSelection) << c.name;
        const QString opened = c.expectedSelection >= 0 ? c.expected[c.expectedSelection] : QString();
        EXPECT_EQ(f.FlashMain->Movie(), opened) << c.name;
    }
}

// Missing keys below the highest one give empty entries.
TEST_F(SettingsTest, MissingKeysBetweenEntriesGiveEmptyEntries)
{
    const QString a = movie(QStringLiteral("a.swf"));
    ini().WriteString(QStringLiteral("播放列表"), QStringLiteral("1"), a);
    ini().WriteString(QStringLiteral("播放列表"), QStringLiteral("4"), a);
    ini().WriteString(QStringLiteral("播放列表"), QStringLiteral("07"), a); // not a key the list uses
    ini().WriteString(QStringLiteral("列表数目"), QStringLiteral("数目"), QStringLiteral("9"));
    TMFrm& f = make();
    EXPECT_EQ(entries(f.ListBox1), (QStringList{a, QString(), QString(), a}));
}

// A long playlist comes back whole, and closing writes every entry back:
// no entry is lost to a limit, and entries whose bytes are not valid code
// page 936 keep their bytes, also when they move to another key.
TEST_F(SettingsTest, AHundredThousandEntriesSomeNotValidGbkKeepEveryByte)
{
    constexpr int kEntries = 100000;
    QByteArray file = QByteArray::fromHex("5bc1d0b1edcafdc4bf5d0d0a") // [列表数目]
        + QByteArray::fromHex("cafdc4bf3d") + QByteArray::number(kEntries) + "\r\n" // 数目=N
        + QByteArray::fromHex("5bb5b1c7b0c1d0b1edcfeec4bf5d0d0a") // [当前列表项目]
        + QByteArray::fromHex("d1a1d6d03d") + "-1\r\n" // 选中=-1
        + QByteArray::fromHex("5bb2a5b7c5c1d0b1ed5d0d0a"); // [播放列表]
    std::vector<QByteArray> values;
    values.reserve(kEntries);
    for (int n = 1; n <= kEntries; ++n) {
        QByteArray value = "/movies/" + QByteArray::number(n) + QByteArray::fromHex("b5e7d3b0") + ".swf"; // 电影
        if (n % 997 == 0)
            value += "\x80\xff"; // bytes that start no code page 936 character
        else if (n % 991 == 0)
            value += "\xb5"; // half a character at the end
        values.push_back(value);
        file += QByteArray::number(n) + '=' + value + "\r\n";
    }
    writeFile(settingsPath(), file);

    TMFrm& f = make();
    ASSERT_EQ(f.ListBox1->count(), kEntries);
    EXPECT_EQ(f.ListBox1->entries()[1], QStringLiteral("/movies/2电影.swf"));
    ASSERT_TRUE(closeForm());
    // Nothing changed: the file is as it was.
    QFile read(settingsPath());
    ASSERT_TRUE(read.open(QIODevice::ReadOnly));
    const QByteArray unchanged = read.readAll();
    read.close();
    EXPECT_TRUE(unchanged.startsWith(file)) << "the file was rewritten";

    // The first entry taken out: every other entry moves up one key, with
    // its own bytes.
    TMFrm& g = make();
    ASSERT_EQ(g.ListBox1->count(), kEntries);
    g.ListBox1->selectRow(0);
    g.mnuFileLstDelClick();
    ASSERT_TRUE(closeForm());
    ProfileDocument after(settingsPath());
    EXPECT_EQ(after.ReadInteger(QStringLiteral("列表数目"), QStringLiteral("数目"), 0), kEntries - 1);
    ASSERT_TRUE(read.open(QIODevice::ReadOnly));
    const QByteArray moved = read.readAll();
    int wrong = 0;
    qsizetype at = moved.indexOf(QByteArray::fromHex("5bb2a5b7c5c1d0b1ed5d0d0a"));
    ASSERT_GE(at, 0);
    const QList<QByteArray> lines = moved.mid(at).split('\n');
    for (int n = 1; n < kEntries; ++n) {
        const QByteArray expected = QByteArray::number(n) + '=' + values[size_t(n)] + '\r';
        if (size_t(n) >= size_t(lines.size()) || lines[n] != expected)
            ++wrong;
    }
    EXPECT_EQ(wrong, 0);
}

TEST_F(SettingsTest, HiddenFolderPanelLetsThePlaylistFillTheLeftPanel)
{
    ini().WriteInteger(QStringLiteral("列表数目"), QStringLiteral("数目"), 1);
    ini().WriteString(QStringLiteral("播放列表"), QStringLiteral("1"), movieDir.filePath(QStringLiteral("x.swf")));
    ini().WriteInteger(QStringLiteral("文件夹"), QStringLiteral("显示"), 1);
    TMFrm& f = make();
    f.show();
    QApplication::processEvents();
    EXPECT_TRUE(f.GroupBoxFolder->isHidden());
    EXPECT_TRUE(f.mnuFileFolderFalse->isChecked());
    EXPECT_FALSE(f.mnuFileFolderTrue->isChecked());
    EXPECT_EQ(f.gbList->height(), f.Splitter1->height());
    EXPECT_GT(f.gbList->height(), 144);
}

TEST_F(SettingsTest, TheFolderSettingIsHonouredWithAnEmptyPlaylistToo)
{
    ini().WriteInteger(QStringLiteral("文件夹"), QStringLiteral("显示"), 1);
    TMFrm& f = make();
    EXPECT_TRUE(f.GroupBoxFolder->isHidden());
    EXPECT_TRUE(f.mnuFileFolderFalse->isChecked());
}

TEST_F(SettingsTest, TheFolderCommandsWriteAtOnceAndLeaveThePanel)
{
    TMFrm& f = make();
    f.EnableCommands(true);
    f.mnuFileFolderFalse->trigger();
    EXPECT_EQ(ini().ReadInteger(QStringLiteral("文件夹"), QStringLiteral("显示"), -1), 1);
    EXPECT_TRUE(f.mnuFileFolderFalse->isChecked());
    EXPECT_FALSE(f.mnuFileFolderTrue->isChecked());
    EXPECT_FALSE(f.GroupBoxFolder->isHidden());
    f.mnuFileFolderTrue->trigger();
    EXPECT_EQ(ini().ReadInteger(QStringLiteral("文件夹"), QStringLiteral("显示"), -1), 0);
    EXPECT_TRUE(f.mnuFileFolderTrue->isChecked());
    EXPECT_FALSE(f.mnuFileFolderFalse->isChecked());
}

TEST_F(SettingsTest, AFailedWriteAtCloseKeepsTheWindowOpen)
{
    // A program folder below a plain file cannot be written, not even by root.
    const QString blocker = writeFile(programDir.filePath(QStringLiteral("plain")), "x");
    SetProgramFolder(blocker + QStringLiteral("/sub"));
    TMFrm& f = make();
    f.ListBox1->addEntry(QStringLiteral("/somewhere/a.swf"));
    EXPECT_FALSE(closeForm());
    EXPECT_TRUE(f.isVisible());
    EXPECT_EQ(prompts.errors(), QStringList{QStringLiteral("Unable to write to ") + settingsPath() + u'.'});

    // The folder commands report the same error.
    f.EnableCommands(true);
    f.mnuFileFolderFalse->trigger();
    EXPECT_EQ(prompts.errors().size(), 2);
}

TEST_F(SettingsTest, TheTreeComesBackToItsLastEntry)
{
    const QString m = movie(QStringLiteral("kept.swf"));
    TMFrm& f = make();
    ASSERT_TRUE(f.ShellTreeView->selectPath(m));
    ASSERT_TRUE(closeForm());
    EXPECT_EQ(ini().ReadString(QStringLiteral("文件夹"), QStringLiteral("初始路径"), QString()), m);
    TMFrm& g = make();
    EXPECT_EQ(g.ShellTreeView->selectedPath(), m);
    EXPECT_EQ(g.FlashMain->Movie(), QString());   // selected, not opened

    // Nothing selected is written as the empty text.
    g.ShellTreeView->clearSelection();
    ASSERT_TRUE(closeForm());
    EXPECT_EQ(ini().ReadString(QStringLiteral("文件夹"), QStringLiteral("初始路径"), QStringLiteral("?")), QString());
}

} // namespace
