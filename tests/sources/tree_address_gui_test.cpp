// The folder tree, the address bar and files dropped on the main window.

#include "sources/form_fixture.h"

#include "player/shockwave_flash.h"
#include "player/status_panels.h"
#include "sources/shell_tree.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QMimeData>
#include <QMouseEvent>
#include <QTest>
#include <QToolButton>
#include <QUrl>

using namespace plovex;
using plovex::test::SourcesFormTest;

namespace {

using TreeTest = SourcesFormTest;
using AddressTest = SourcesFormTest;
using DropTest = SourcesFormTest;

QTreeWidgetItem* childNamed(QTreeWidgetItem* parent, const QString& name)
{
    for (int i = 0; i < parent->childCount(); ++i)
        if (parent->child(i)->text(0) == name)
            return parent->child(i);
    return nullptr;
}

TEST(ShellTreeFilter, FoldersAlwaysFilesBySwfOrExe)
{
    struct Case {
        bool folder;
        const char* path;
        bool listed;
    };
    const Case cases[] = {
        {false, "/m/a.SWF", true},   {false, "/m/b.exe", true},     {false, "/m/c.Exe", true},
        {false, "/m/c.txt", false},  {false, "/m/d", false},        {false, "/m/x.swf.bak", false},
        {false, "/m.swf/d", false},  {false, "/m/.swf", true},      {false, "/m/swf", false},
        {true, "/m/folder", true},   {true, "/m/f.txt", true},      {true, "计算机", true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ShellTreeViewAddFolder({c.folder, QString::fromUtf8(c.path)}), c.listed) << c.path;
}

TEST_F(TreeTest, ListsFoldersAndMovieFilesOnlyHiddenOnesIncluded)
{
    const QString dir = movieDir.filePath(QStringLiteral("pick"));
    writeFile(dir + QStringLiteral("/a.SWF"), "x");
    writeFile(dir + QStringLiteral("/b.exe"), "x");
    writeFile(dir + QStringLiteral("/c.txt"), "x");
    writeFile(dir + QStringLiteral("/d"), "x");
    writeFile(dir + QStringLiteral("/.hidden.swf"), "x");
    writeFile(dir + QStringLiteral("/sub/inner.swf"), "x");
    QDir().mkpath(dir + QStringLiteral("/.cache"));

    TMFrm& f = make();
    ASSERT_TRUE(f.ShellTreeView->selectPath(dir));
    QTreeWidgetItem* folder = f.ShellTreeView->currentItem();
    ASSERT_NE(folder, nullptr);
    EXPECT_EQ(f.ShellTreeView->selectedPath(), dir);
    EXPECT_EQ(folder->childCount(), 0);   // listed only when opened
    folder->setExpanded(true);
    QStringList names;
    for (int i = 0; i < folder->childCount(); ++i)
        names << folder->child(i)->text(0);
    EXPECT_EQ(names, (QStringList{QStringLiteral(".cache"), QStringLiteral("sub"), QStringLiteral(".hidden.swf"),
                                  QStringLiteral("a.SWF"), QStringLiteral("b.exe")}));
    const ShellEntry sub = TShellTreeView::entryOf(childNamed(folder, QStringLiteral("sub")));
    EXPECT_TRUE(sub.isFolder);
    EXPECT_EQ(sub.path, dir + QStringLiteral("/sub"));
    const ShellEntry a = TShellTreeView::entryOf(childNamed(folder, QStringLiteral("a.SWF")));
    EXPECT_FALSE(a.isFolder);
    EXPECT_EQ(a.path, dir + QStringLiteral("/a.SWF"));

    // The filter is applied inside the folders below as well; c.txt cannot be selected.
    EXPECT_TRUE(f.ShellTreeView->selectPath(dir + QStringLiteral("/sub/inner.swf")));
    EXPECT_FALSE(f.ShellTreeView->selectPath(dir + QStringLiteral("/c.txt")));
    EXPECT_EQ(f.ShellTreeView->selectedPath(), dir + QStringLiteral("/sub/inner.swf"));
}

TEST_F(TreeTest, TheComputerHoldsTheHomeFolderAndTheRoot)
{
    TMFrm& f = make();
    QTreeWidgetItem* computer = f.ShellTreeView->computerItem();
    ASSERT_EQ(f.ShellTreeView->topLevelItemCount(), 1);
    EXPECT_TRUE(TShellTreeView::entryOf(computer).isFolder);
    EXPECT_TRUE(computer->isExpanded());
    QStringList paths;
    for (int i = 0; i < computer->childCount(); ++i)
        paths << TShellTreeView::entryOf(computer->child(i)).path;
    EXPECT_TRUE(paths.contains(QStringLiteral("/")));
    if (QDir::homePath() != u"/")
        EXPECT_EQ(TShellTreeView::entryOf(f.ShellTreeView->homeItem()).path, QDir::homePath());
    EXPECT_EQ(f.ShellTreeView->selectedPath(), QString());
}

TEST_F(TreeTest, DoubleClickOpensFilesOnly)
{
    const QString m = movie(QStringLiteral("tree/intro.swf"), 4);
    TMFrm& f = make();
    ASSERT_TRUE(f.ShellTreeView->selectPath(m));
    QTreeWidgetItem* file = f.ShellTreeView->currentItem();
    QTreeWidgetItem* folder = file->parent();

    // A folder: the tree opens or closes it by itself; nothing is played.
    f.ShellTreeView->setCurrentItem(folder);
    emit f.ShellTreeView->itemDoubleClicked(folder, 0);
    EXPECT_EQ(f.FlashMain->Movie(), QString());
    EXPECT_TRUE(f.ShellTreeView->expandsOnDoubleClick());

    f.ShellTreeView->setCurrentItem(file);
    emit f.ShellTreeView->itemDoubleClicked(file, 0);
    EXPECT_EQ(f.FlashMain->Movie(), m);
    EXPECT_EQ(f.FlashMain->TotalFrames(), 4);
    EXPECT_EQ(f.StatusBar->panelText(0), QStringLiteral("播放:") + m);
    EXPECT_EQ(f.ListBox1->count(), 0);   // not added to the playlist

    // With nothing selected nothing happens.
    f.FlashMain->SetMovie(QString());
    f.ShellTreeView->clearSelection();
    f.ShellTreeViewDblClick();
    EXPECT_EQ(f.FlashMain->Movie(), QString());
}

TEST_F(TreeTest, RightClickSelectsTheEntryUnderTheMouse)
{
    const QString m = movie(QStringLiteral("r/right.swf"));
    TMFrm& f = make();
    f.resize(900, 600);
    f.show();
    ASSERT_TRUE(f.ShellTreeView->selectPath(m));
    QTreeWidgetItem* folder = f.ShellTreeView->currentItem()->parent();
    f.ShellTreeView->scrollToItem(folder);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
    QApplication::processEvents();
    QTest::mouseClick(f.ShellTreeView->viewport(), Qt::RightButton, {}, f.ShellTreeView->visualItemRect(folder).center());
    EXPECT_EQ(f.ShellTreeView->selectedPath(), movieDir.filePath(QStringLiteral("r")));
}

TEST_F(TreeTest, DraggedEntriesCarryTheirFileAddress)
{
    const QString m = movie(QStringLiteral("drag.swf"));
    TMFrm& f = make();
    ASSERT_TRUE(f.ShellTreeView->selectPath(m));
    EXPECT_TRUE(f.ShellTreeView->dragEnabled());
    std::unique_ptr<QMimeData> data(f.ShellTreeView->model()->mimeData({f.ShellTreeView->currentIndex()}));
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data->urls(), QList<QUrl>{QUrl::fromLocalFile(m)});
}

TEST_F(AddressTest, PlaysTextsEndingInSwfAndBeepsOtherwise)
{
    const QString real = movie(QStringLiteral("x.Swf"), 6);
    struct Case {
        QString text;
        bool plays;
    };
    const Case cases[] = {
        {real, true},
        {real + u' ', false},
        {QStringLiteral("ab"), false},
        {QString(), false},
        {QStringLiteral("http://example.org/myswf"), true},   // no dot needed
        {QStringLiteral("movie.swf.bak"), false},
    };
    for (const Case& c : cases) {
        TMFrm& f = make();
        const int beeps = desktop.beeps;
        f.AddressBox->setEditText(c.text);
        QTest::mouseClick(f.GoSB, Qt::LeftButton);
        EXPECT_EQ(desktop.beeps - beeps, c.plays ? 0 : 1) << c.text.toStdString();
        EXPECT_EQ(f.FlashMain->Movie(), c.plays ? c.text : QString()) << c.text.toStdString();
        // Nothing else: no status, no commands, no playlist, no list entry.
        EXPECT_EQ(f.StatusBar->panelText(0), QString());
        EXPECT_FALSE(f.mnuControl->menuAction()->isEnabled());
        EXPECT_EQ(f.ListBox1->count(), 0);
        EXPECT_EQ(f.AddressBox->count(), 0);
    }
    make();
    form->AddressBox->setEditText(real);
    form->GoSBClick();
    EXPECT_EQ(form->FlashMain->TotalFrames(), 6);
}

TEST_F(AddressTest, EnterDoesNothingAndTheHintFollowsTheText)
{
    TMFrm& f = make();
    f.show();
    const QString text = QStringLiteral("/movies/a b.swf");
    f.AddressBox->setEditText(text);
    QTest::keyClick(f.AddressBox->lineEdit(), Qt::Key_Return);
    EXPECT_EQ(f.AddressBox->count(), 0);
    EXPECT_EQ(f.FlashMain->Movie(), QString());
    EXPECT_EQ(desktop.beeps, 0);

    QMouseEvent move(QEvent::MouseMove, QPointF(5, 5), f.GoSB->mapToGlobal(QPointF(5, 5)), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(f.GoSB, &move);
    EXPECT_EQ(f.GoSB->toolTip(), QStringLiteral("下载") + text);
    f.AddressBox->setEditText(QStringLiteral("b.swf"));
    QApplication::sendEvent(f.GoSB, &move);
    EXPECT_EQ(f.GoSB->toolTip(), QStringLiteral("下载b.swf"));
}

// A drop of files from a file manager onto widget, at its centre.
bool dropFiles(QWidget* widget, const QStringList& files)
{
    QMimeData data;
    QList<QUrl> urls;
    for (const QString& file : files)
        urls << QUrl::fromLocalFile(file);
    data.setUrls(urls);
    const QPointF at = QRectF(widget->rect()).center();
    QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &enter);
    if (!enter.isAccepted())
        return false;
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &drop);
    return drop.isAccepted();
}

TEST_F(DropTest, OnlyTheFirstDroppedFileOpensAndThePlaylistStays)
{
    const QString first = movie(QStringLiteral("first.swf"), 2);
    const QString second = movie(QStringLiteral("second.swf"));
    TMFrm& f = make();
    f.ListBox1->addEntry(second);
    EXPECT_TRUE(dropFiles(&f, {first, second, movie(QStringLiteral("third.swf"))}));
    EXPECT_EQ(f.FlashMain->Movie(), first);
    EXPECT_EQ(f.StatusBar->panelText(0), QStringLiteral("播放:") + first);
    EXPECT_EQ(entries(f.ListBox1), QStringList{second});
}

TEST_F(DropTest, DropsOnThePlaylistOrThePlayerReachTheWindow)
{
    const QString m = movie(QStringLiteral("onto.swf"));
    TMFrm& f = make();
    EXPECT_TRUE(dropFiles(f.ListBox1->viewport(), {m}));
    EXPECT_EQ(f.FlashMain->Movie(), m);
    EXPECT_EQ(f.ListBox1->count(), 0);
    f.FlashMain->SetMovie(QString());
    EXPECT_TRUE(dropFiles(f.FlashMain, {m}));
    EXPECT_EQ(f.FlashMain->Movie(), m);
}

TEST_F(DropTest, ADropWithoutFilesIsRefused)
{
    TMFrm& f = make();
    QMimeData data;
    data.setText(QStringLiteral("/tmp/a.swf"));
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&f, &enter);
    EXPECT_FALSE(enter.isAccepted());
    EXPECT_EQ(f.FlashMain->Movie(), QString());
}

} // namespace
