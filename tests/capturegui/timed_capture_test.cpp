#include "capture/save_form.h"
#include "sources/shell_tree.h"
#include "support/scoped_env.h"
#include "capturegui/capture_fixture.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>

using namespace plovex;
using plovex::test::CaptureFixture;

namespace {

class TimedCaptureTest : public CaptureFixture {
protected:
    void SetUp() override
    {
        CaptureFixture::SetUp();
        ASSERT_TRUE(homeDir.isValid());
        ASSERT_TRUE(QDir(homeDir.path()).mkpath(QStringLiteral("Desktop")));
        env.set("HOME", homeDir.path().toUtf8());
        env.set("XDG_CONFIG_HOME", (homeDir.path() + QStringLiteral("/.config")).toUtf8());
        env.unset("XDG_DESKTOP_DIR");
    }

    // The window, running, saving into the work folder.
    TSaveFrm& running(TMFrm& f, int format = 0)
    {
        TSaveFrm& s = *f.SaveFrm;
        s.SelectFolder(workDir.path());
        s.setFormatIndex(format);
        s.Button1Click();
        EXPECT_TRUE(s.Timer1->isActive());
        return s;
    }

    void touch(const QString& name) { write(name, "old"); }

    QTemporaryDir homeDir;
    plovex::testing::ScopedEnv env;
};

} // namespace

TEST(TimedCaptureIntervals, TwentyTextsAndTheirMilliseconds)
{
    const QStringList texts = CaptureIntervalTexts();
    ASSERT_EQ(texts.size(), 20);
    const int expected[] = {100,  200,  300,  400,  500,  600,  700,  800,  900,  1000,
                            1500, 2000, 2500, 3000, 3500, 4000, 4500, 5000, 5500, 6000};
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(CaptureIntervalMs(texts[i]), expected[i]) << i;
    EXPECT_EQ(texts[9], QStringLiteral("1.0秒"));
    EXPECT_EQ(texts[12], QStringLiteral("2.5秒"));
}

TEST_F(TimedCaptureTest, TheWindowStartsAtTheDesktopFolderAndShowsFromItsMenuItem)
{
    TMFrm& f = makeWithMovie();
    TSaveFrm& s = *f.SaveFrm;
    EXPECT_EQ(s.windowTitle(), QStringLiteral("定时自动保存"));
    EXPECT_EQ(s.Button1->text(), QStringLiteral("确定"));
    EXPECT_FALSE(s.Timer1->isActive());
    EXPECT_EQ(QDir::cleanPath(s.SelectedFolder()), QDir::cleanPath(homeDir.filePath(QStringLiteral("Desktop"))));
    EXPECT_EQ(s.size(), QSize(466, 197));
    EXPECT_TRUE(s.windowFlags() & Qt::WindowStaysOnTopHint);

    s.ComboBox1->setCurrentIndex(3);
    f.TCN->trigger();
    EXPECT_TRUE(s.isVisible());
    EXPECT_EQ(s.ComboBox1->currentIndex(), 9);

    s.SelectFolder(workDir.path());
    EXPECT_EQ(s.StatusPanel0->text(), QStringLiteral("保存到") + QDir::cleanPath(workDir.path()));
    s.ComboBox1->setCurrentIndex(12);
    EXPECT_EQ(s.StatusPanel1->text(), QStringLiteral("每阁2.5秒保存一次"));
}

namespace {

QStringList topPaths(const TShellTreeView* tree)
{
    QStringList paths;
    for (int i = 0; i < tree->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* top = tree->topLevelItem(i);
        paths << TShellTreeView::entryOf(top).path;
        for (int c = 0; c < top->childCount(); ++c)
            paths << TShellTreeView::entryOf(top->child(c)).path;
    }
    return paths;
}

QStringList childNames(QTreeWidgetItem* item)
{
    item->setExpanded(true);
    QStringList names;
    for (int c = 0; c < item->childCount(); ++c)
        names << item->child(c)->text(0);
    return names;
}

} // namespace

// The tree is the main window's folder tree with folders only: the computer
// with the home folder, the file system's root and the mounted drives under
// it. With a home folder that holds only hidden folders, a folder elsewhere
// can still be chosen in the tree, and the capture writes there.
TEST_F(TimedCaptureTest, TheTreeReachesHomeRootAndDrivesAndListsFoldersOnly)
{
    ASSERT_TRUE(QDir(homeDir.filePath(QStringLiteral("Desktop"))).removeRecursively());
    ASSERT_TRUE(QDir(homeDir.path()).mkpath(QStringLiteral(".cache")));
    ASSERT_TRUE(QDir(workDir.path()).mkpath(QStringLiteral("sub")));
    TMFrm& f = makeWithMovie();
    TSaveFrm& s = *f.SaveFrm;
    TShellTreeView* tree = s.ShellTreeView1;

    const QStringList tops = topPaths(tree);
    EXPECT_EQ(tops, topPaths(f.ShellTreeView));
    EXPECT_TRUE(tops.contains(QDir::cleanPath(homeDir.path()))) << tops.join(u' ').toStdString();
    EXPECT_TRUE(tops.contains(QStringLiteral("/")));
    // Without a desktop folder the home folder is the target; its hidden
    // folders are there.
    EXPECT_EQ(s.SelectedFolder(), QDir::cleanPath(homeDir.path()) + u'/');
    EXPECT_TRUE(childNames(tree->homeItem()).contains(QStringLiteral(".cache")));

    // Down from the file system's root to the work folder, as the user goes.
    QTreeWidgetItem* item = nullptr;
    for (int i = 0; i < tree->computerItem()->childCount() && !item; ++i)
        if (TShellTreeView::entryOf(tree->computerItem()->child(i)).path == u"/")
            item = tree->computerItem()->child(i);
    ASSERT_NE(item, nullptr);
    for (const QString& name : QDir::cleanPath(workDir.path()).split(u'/', Qt::SkipEmptyParts)) {
        const qsizetype at = childNames(item).indexOf(name);
        ASSERT_GE(at, 0) << name.toStdString();
        item = item->child(int(at));
    }
    tree->setCurrentItem(item);
    EXPECT_EQ(s.StatusPanel0->text(), QStringLiteral("保存到") + QDir::cleanPath(workDir.path()));
    EXPECT_EQ(childNames(item), QStringList{QStringLiteral("sub")}) << "folders only, no movie.swf";

    f.FlashMain->SetFrameNum(0);
    s.Button1Click();
    s.Timer1Timer();
    EXPECT_TRUE(QFileInfo::exists(work(QStringLiteral("0.jpg"))));
    EXPECT_TRUE(prompts.messages().isEmpty());

    // The computer's entry is no folder on disk: the tick fails and says so.
    tree->setCurrentItem(tree->computerItem());
    EXPECT_EQ(s.SelectedFolder(), QString());
    s.Timer1Timer();
    EXPECT_FALSE(s.Timer1->isActive());
    EXPECT_EQ(prompts.messages(), QStringList{QStringLiteral("程序发生异常，不能继续运行，请查看硬盘空间是否足够！")});
}

TEST_F(TimedCaptureTest, WithoutAMovieNothingStarts)
{
    form = std::make_unique<TMFrm>();
    TSaveFrm& s = *form->SaveFrm;
    s.Button1Click();
    EXPECT_EQ(prompts.messages(), QStringList{QStringLiteral("播放器还没有开始播放，请播放开始在截取！")});
    EXPECT_EQ(s.Button1->text(), QStringLiteral("确定"));
    EXPECT_FALSE(s.Timer1->isActive());
}

TEST_F(TimedCaptureTest, StartTakesTheIntervalAndStopEndsIt)
{
    TMFrm& f = makeWithMovie();
    TSaveFrm& s = *f.SaveFrm;
    s.ComboBox1->setCurrentIndex(12);
    s.Button1Click();
    EXPECT_EQ(s.Timer1->interval(), 2500);
    EXPECT_TRUE(s.Timer1->isActive());
    EXPECT_EQ(s.Button1->text(), QStringLiteral("停止"));
    EXPECT_EQ(s.windowTitle(), QStringLiteral("定时保存功能正在运行..."));
    // Another interval while running changes only the text.
    s.ComboBox1->setCurrentIndex(0);
    EXPECT_EQ(s.Timer1->interval(), 2500);
    s.Button1Click();
    EXPECT_FALSE(s.Timer1->isActive());
    EXPECT_EQ(s.Button1->text(), QStringLiteral("确定"));
    EXPECT_EQ(s.windowTitle(), QStringLiteral("已停止"));
}

TEST_F(TimedCaptureTest, ThreeTicksInAnEmptyFolderNumberFromZero)
{
    TMFrm& f = makeWithMovie();
    f.FlashMain->Stop();
    TSaveFrm& s = running(f);
    for (int i = 0; i < 3; ++i)
        s.Timer1Timer();
    for (const char* name : {"0.jpg", "1.jpg", "2.jpg"}) {
        const QByteArray bytes = fileBytes(work(QString::fromLatin1(name)));
        EXPECT_TRUE(bytes.startsWith("\xFF\xD8\xFF")) << name;
    }
    EXPECT_EQ(QImage(work(QStringLiteral("0.jpg"))).size(), QSize(320, 240));
    EXPECT_EQ(s.windowTitle(), QStringLiteral("截取数2"));
    EXPECT_EQ(s.StatusPanel0->text(), QStringLiteral("保存为:") + work(QStringLiteral("2.jpg")));
    EXPECT_EQ(s.targetFolder(), QDir::cleanPath(workDir.path()) + u'/');
}

TEST_F(TimedCaptureTest, TheLowestFreeNumberIsTakenAndNothingIsOverwritten)
{
    TMFrm& f = makeWithMovie();
    f.FlashMain->Stop();
    touch(QStringLiteral("0.jpg"));
    touch(QStringLiteral("1.jpg"));
    touch(QStringLiteral("3.jpg"));
    EXPECT_EQ(LowestFreeNumber(QDir::cleanPath(workDir.path()) + u'/', QStringLiteral(".jpg")), 2);
    TSaveFrm& s = running(f);
    s.Timer1Timer();
    EXPECT_TRUE(fileBytes(work(QStringLiteral("2.jpg"))).startsWith("\xFF\xD8"));
    s.Timer1Timer();
    EXPECT_TRUE(fileBytes(work(QStringLiteral("4.jpg"))).startsWith("\xFF\xD8"));
    for (const char* name : {"0.jpg", "1.jpg", "3.jpg"})
        EXPECT_EQ(fileBytes(work(QString::fromLatin1(name))), QByteArray("old")) << name;

    // JPEG and BMP files are numbered apart: 0.bmp beside 0.jpg.
    s.setFormatIndex(1);
    s.Timer1Timer();
    EXPECT_TRUE(fileBytes(work(QStringLiteral("0.bmp"))).startsWith("BM"));
    EXPECT_EQ(s.windowTitle(), QStringLiteral("截取数0"));
}

TEST_F(TimedCaptureTest, ActivationPutsTheIntervalAndFormatBack)
{
    TMFrm& f = makeWithMovie();
    f.FlashMain->Stop();
    TSaveFrm& s = *f.SaveFrm;
    s.ComboBox1->setCurrentIndex(12);
    s.SelectFolder(workDir.path());
    s.setFormatIndex(1);
    s.Button1Click();
    EXPECT_EQ(s.Timer1->interval(), 2500);
    s.Timer1Timer();
    EXPECT_TRUE(QFileInfo::exists(work(QStringLiteral("0.bmp"))));

    s.FormActivate();
    EXPECT_EQ(s.ComboBox1->currentIndex(), 9);
    EXPECT_EQ(s.StatusPanel1->text(), QStringLiteral("每隔1.0秒保存一次"));
    EXPECT_EQ(s.formatIndex(), 0);
    EXPECT_EQ(s.Timer1->interval(), 2500);   // the running timer keeps its interval
    s.Timer1Timer();
    EXPECT_TRUE(QFileInfo::exists(work(QStringLiteral("0.jpg"))));
    EXPECT_FALSE(QFileInfo::exists(work(QStringLiteral("1.bmp"))));
}

TEST_F(TimedCaptureTest, TheLastFrameHaltsWithoutSaving)
{
    TMFrm& f = makeWithMovie(4);
    f.FlashMain->SetFrameNum(3);   // the last frame, paused there
    TSaveFrm& s = running(f);
    s.Timer1Timer();
    EXPECT_FALSE(s.Timer1->isActive());
    EXPECT_EQ(s.windowTitle(), QStringLiteral("已停止"));
    EXPECT_EQ(s.Button1->text(), QStringLiteral("停止"));   // halted
    EXPECT_TRUE(QDir(workDir.path()).entryList(QStringList{QStringLiteral("*.jpg")}).isEmpty());
    // The next press only completes the stop; the one after starts again.
    s.Button1Click();
    EXPECT_EQ(s.Button1->text(), QStringLiteral("确定"));
    EXPECT_FALSE(s.Timer1->isActive());
    s.Button1Click();
    EXPECT_TRUE(s.Timer1->isActive());
}

TEST_F(TimedCaptureTest, AFailedWriteStopsAndClosesTheWindow)
{
    TMFrm& f = makeWithMovie();
    f.FlashMain->Stop();
    const QString folder = work(QStringLiteral("gone"));
    ASSERT_TRUE(QDir().mkpath(folder));
    f.TCN->trigger();
    TSaveFrm& s = *f.SaveFrm;
    s.SelectFolder(folder);
    s.Button1Click();
    s.Timer1Timer();
    EXPECT_TRUE(QFileInfo::exists(folder + QStringLiteral("/0.jpg")));
    ASSERT_TRUE(QDir(folder).removeRecursively());
    s.Timer1Timer();
    EXPECT_FALSE(s.Timer1->isActive());
    EXPECT_FALSE(s.isVisible());
    EXPECT_EQ(prompts.messages(), QStringList{QStringLiteral("程序发生异常，不能继续运行，请查看硬盘空间是否足够！")});
}

TEST_F(TimedCaptureTest, ExitAndCloseStopTheTimerAndKeepTheButton)
{
    TMFrm& f = makeWithMovie();
    f.TCN->trigger();
    TSaveFrm& s = *f.SaveFrm;
    s.Button1Click();
    s.Button2Click();
    EXPECT_FALSE(s.Timer1->isActive());
    EXPECT_FALSE(s.isVisible());
    EXPECT_EQ(s.Button1->text(), QStringLiteral("停止"));
    f.TCN->trigger();
    s.Button1Click();   // completes the stop
    s.Button1Click();   // starts
    EXPECT_TRUE(s.Timer1->isActive());
    s.close();
    EXPECT_FALSE(s.Timer1->isActive());
}
