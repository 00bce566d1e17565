// The playlist: its commands, its context menu, sorting, the scroll extent,
// selecting to play and drops from the folder tree.

#include "sources/form_fixture.h"

#include "player/shockwave_flash.h"
#include "sources/shell_tree.h"

#include <QAction>
#include <QMenu>
#include <QScrollBar>
#include <QTest>

using namespace plovex;
using plovex::test::SourcesFormTest;

namespace {

using PlaylistTest = SourcesFormTest;

void answerFiles(test::ScriptedPrompts& prompts, const QStringList& files)
{
    prompts.fileDialogAnswers.push_back([files](FileDialog& d) {
        d.files = files;
        d.fileName = files.value(0);
        return true;
    });
}

TEST_F(PlaylistTest, AddingFromTheDialogAppendsEveryFileAndKeepsDuplicates)
{
    const QStringList three = {movie(QStringLiteral("1.swf")), movie(QStringLiteral("2.exe")), movie(QStringLiteral("3.swf"))};
    TMFrm& f = make();
    f.OpenD.hideReadOnly = true;
    f.OpenD.enableSizing = true;
    f.ListBox1->addEntry(QStringLiteral("/old.swf"));
    f.ListBox1->selectRow(0);
    // The context menu works before any movie was opened.
    answerFiles(prompts, three);
    f.lstPopAddFile->trigger();
    EXPECT_EQ(entries(f.ListBox1), QStringList{QStringLiteral("/old.swf")} + three);
    EXPECT_EQ(f.ListBox1->selectedRow(), 0);
    EXPECT_EQ(f.FlashMain->Movie(), QString());
    EXPECT_EQ(prompts.shown.back().text,
              QStringLiteral("全部支持的格式(*.swf;*.exe)|*.swf;*.exe|swf文件(*.swf)|*.swf|Exe格式flash(*.exe)|*.exe"));
    EXPECT_TRUE(f.OpenD.allowMultiSelect);
    EXPECT_FALSE(f.OpenD.hideReadOnly);
    EXPECT_FALSE(f.OpenD.enableSizing);

    answerFiles(prompts, {three[1]});
    f.mnuFileLstAddFileClick();
    EXPECT_EQ(f.ListBox1->count(), 5);
    EXPECT_EQ(f.ListBox1->item(4)->text(), three[1]);

    prompts.cancelFile();
    f.mnuFileLstAddFileClick();
    EXPECT_EQ(f.ListBox1->count(), 5);
}

TEST_F(PlaylistTest, DeleteAndRemoveAllLeaveTheMoviePlaying)
{
    const QString a = movie(QStringLiteral("a.swf"));
    TMFrm& f = make();
    f.ListBox1->addEntry(a);
    f.ListBox1->addEntry(QStringLiteral("/b.swf"));
    f.N24->trigger();   // nothing selected: nothing happens
    EXPECT_EQ(f.ListBox1->count(), 2);

    f.ListBox1->selectRow(0);
    f.ListBox1Click();
    EXPECT_EQ(f.FlashMain->Movie(), a);
    f.N24->trigger();
    EXPECT_EQ(entries(f.ListBox1), QStringList{QStringLiteral("/b.swf")});
    EXPECT_EQ(f.ListBox1->selectedRow(), -1);
    EXPECT_EQ(f.FlashMain->Movie(), a);
    EXPECT_TRUE(f.FlashMain->Playing());

    f.N6->trigger();
    EXPECT_EQ(f.ListBox1->count(), 0);
    EXPECT_EQ(f.FlashMain->Movie(), a);
}

TEST_F(PlaylistTest, SortedModeOrdersNowAndLaterButNotAfterARestart)
{
    const QString dir = movieDir.path() + u'/';
    TMFrm& f = make();
    f.EnableCommands(true);
    for (const char* name : {"b.swf", "A.swf", "c.swf"})
        f.ListBox1->addEntry(dir + QString::fromLatin1(name));
    f.ListBox1->selectRow(0);   // b.swf
    f.mnuFileSorted->trigger();
    EXPECT_EQ(entries(f.ListBox1), (QStringList{dir + "A.swf", dir + "b.swf", dir + "c.swf"}));
    EXPECT_EQ(f.ListBox1->item(f.ListBox1->selectedRow())->text(), dir + "b.swf");   // the same entry stays selected
    f.mnuFileSorted->trigger();
    EXPECT_EQ(f.ListBox1->count(), 3);

    // Added from the add dialog, from the open dialog and from the tree: each
    // goes to its place.
    answerFiles(prompts, {dir + "B2.swf"});
    f.mnuFileLstAddFileClick();
    const QString opened = movie(QStringLiteral("a0.swf"));
    prompts.answerFile(opened);
    f.mnuFileOpenClick();
    const QString dragged = movie(QStringLiteral("bb.swf"));
    ASSERT_TRUE(f.ShellTreeView->selectPath(dragged));
    f.ListBox1DragDrop(f.ShellTreeView);
    const QStringList sorted = {dir + "A.swf", opened, dir + "b.swf", dir + "B2.swf", dragged, dir + "c.swf"};
    EXPECT_EQ(entries(f.ListBox1), sorted);
    // The open dialog selects the entry it added.
    EXPECT_EQ(f.ListBox1->selectedRow(), 1);
    EXPECT_EQ(f.FlashMain->Movie(), opened);

    ASSERT_TRUE(closeForm());
    TMFrm& g = make();
    EXPECT_EQ(entries(g.ListBox1), sorted);
    EXPECT_FALSE(g.ListBox1->sorted());
    g.ListBox1->addEntry(dir + "0.swf");
    EXPECT_EQ(g.ListBox1->item(6)->text(), dir + "0.swf");
}

TEST_F(PlaylistTest, TheOpenDialogAppendsAPathThatIsListedAlready)
{
    const QString m = movie(QStringLiteral("twice.swf"));
    TMFrm& f = make();
    f.ListBox1->addEntry(m);
    f.ListBox1->addEntry(QStringLiteral("/other.swf"));
    prompts.answerFile(m);
    f.mnuFileOpenClick();
    EXPECT_EQ(entries(f.ListBox1), (QStringList{m, QStringLiteral("/other.swf"), m}));
    EXPECT_EQ(f.ListBox1->selectedRow(), 2);
}

TEST_F(PlaylistTest, TheHorizontalExtentIsTheWidestEntryPlus20)
{
    TMFrm& f = make();
    f.show();
    EXPECT_EQ(f.ListBox1->horizontalExtent(), -1);
    EXPECT_EQ(f.ListBox1->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    f.N22->trigger();
    EXPECT_EQ(f.ListBox1->horizontalExtent(), 20);
    QApplication::processEvents();
    EXPECT_EQ(f.ListBox1->horizontalScrollBar()->maximum(), 0);

    const QString longest = QStringLiteral("/a/very/long/folder/name/that/is/wider/than/the/list/itself/movie.swf");
    f.ListBox1->addEntry(QStringLiteral("/short.swf"));
    f.ListBox1->addEntry(longest);
    EXPECT_EQ(f.ListBox1->horizontalExtent(), 20);   // not followed by later entries
    f.mnuFileLstShowScrClick();
    const int widest = QFontMetrics(f.ListBox1->font()).horizontalAdvance(longest);
    EXPECT_EQ(f.ListBox1->horizontalExtent(), widest + 20);
    QApplication::processEvents();
    EXPECT_EQ(f.ListBox1->horizontalScrollBar()->maximum(), widest + 20 - f.ListBox1->viewport()->width());
}

// Counts the events that reach the list, its viewport and its scroll bars.
class ListEventCounter : public QObject {
public:
    explicit ListEventCounter(QListWidget* list)
    {
        for (QObject* o : {static_cast<QObject*>(list), static_cast<QObject*>(list->viewport()),
                           static_cast<QObject*>(list->horizontalScrollBar()),
                           static_cast<QObject*>(list->verticalScrollBar())})
            o->installEventFilter(this);
    }
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent*) override
    {
        ++count;
        return false;
    }
};

// Runs the event loop until a pass delivers nothing to the list; the number
// of passes that took, or -1 when the list was still busy after many.
int passesUntilTheListIsIdle(QListWidget* list)
{
    ListEventCounter counter(list);
    for (int pass = 1; pass <= 50; ++pass) {
        counter.count = 0;
        // Bounded, so a list that never settles cannot hold the pass forever.
        QApplication::processEvents(QEventLoop::AllEvents, 50);
        if (counter.count == 0)
            return pass;
    }
    return -1;
}

// "显示水平滚动条" on lists of every kind: the layout settles at once, and the
// horizontal bar shows exactly when the extent is wider than the list.
TEST_F(PlaylistTest, TheScrollBarCommandSettlesAndShowsTheBarOnlyWhenNeeded)
{
    const QString longEntry = QStringLiteral("/home/user/movies/a folder with a long name/another folder/"
                                             "and one more level of folders/the movie itself.swf");
    struct Case {
        const char* name;
        int entries;
        QString text;
        bool bar;        // a horizontal bar
        bool vertical;   // a vertical bar as well
        int slack = 0;   // > 0: the one entry is that much narrower than the list
    };
    const Case cases[] = {
        {"empty list", 0, {}, false, false},
        {"short entry", 1, QStringLiteral("/a.swf"), false, false},
        {"long entry", 1, longEntry, true, false},
        // The extent (entry + 20) is wider than the list, the entry is not.
        {"entry just narrower than the list", 1, {}, true, false, 10},
        {"many long entries", 60, longEntry, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TMFrm& f = make();
        f.resize(1280, 900);
        f.show();
        if (c.entries > 0) {
            const QString m = movie(QStringLiteral("m.swf"));
            QString text = c.text;
            if (c.slack > 0) {
                QApplication::processEvents();
                const QFontMetrics metrics(f.ListBox1->font());
                const int target = f.ListBox1->viewport()->width() - c.slack;
                text = QStringLiteral("/");
                while (metrics.horizontalAdvance(text + QStringLiteral("i0")) <= target)
                    text += u'i';
            }
            for (int i = 0; i < c.entries; ++i)
                f.ListBox1->addEntry(text + QString::number(i));
            // A movie plays from the list, as when the user opened one.
            f.ListBox1->selectRow(0);
            f.OpenMovie(m);
        }
        ASSERT_GT(passesUntilTheListIsIdle(f.ListBox1), 0);

        f.N22->trigger();
        const int passes = passesUntilTheListIsIdle(f.ListBox1);
        EXPECT_GT(passes, 0) << "the list never stops laying itself out";
        EXPECT_LE(passes, 5);

        const int extent = f.ListBox1->horizontalExtent();
        const int width = f.ListBox1->viewport()->width();
        EXPECT_EQ(f.ListBox1->horizontalScrollBar()->isVisible(), extent > width);
        EXPECT_EQ(f.ListBox1->horizontalScrollBar()->isVisible(), c.bar);
        EXPECT_EQ(f.ListBox1->verticalScrollBar()->isVisible(), c.vertical);
        EXPECT_EQ(f.ListBox1->horizontalScrollBar()->maximum(), std::max(0, extent - width));

        // The bar reaches the end of the extent, and the window still answers.
        f.ListBox1->horizontalScrollBar()->setValue(f.ListBox1->horizontalScrollBar()->maximum());
        EXPECT_GT(passesUntilTheListIsIdle(f.ListBox1), 0);
        EXPECT_EQ(f.ListBox1->horizontalScrollBar()->value(), std::max(0, extent - width));
        f.mnuFileLstShowScrClick();   // choosing it again changes nothing
        EXPECT_GT(passesUntilTheListIsIdle(f.ListBox1), 0);
        EXPECT_EQ(f.ListBox1->horizontalScrollBar()->isVisible(), c.bar);
    }
}

TEST_F(PlaylistTest, SelectingByMouseOrKeyboardOpensTheEntry)
{
    const QStringList movies = {movie(QStringLiteral("k1.swf")), movie(QStringLiteral("k2.swf")), movie(QStringLiteral("k3.swf"))};
    TMFrm& f = make();
    f.show();
    for (const QString& m : movies)
        f.ListBox1->addEntry(m);
    EXPECT_EQ(f.ListBox1->toolTip(), QString());
    f.ListBox1->selectRow(0);   // the program's own selection opens nothing
    EXPECT_EQ(f.FlashMain->Movie(), QString());

    QApplication::processEvents();
    QTest::mouseClick(f.ListBox1->viewport(), Qt::LeftButton, {}, f.ListBox1->visualItemRect(f.ListBox1->item(1)).center());
    EXPECT_EQ(f.FlashMain->Movie(), movies[1]);
    EXPECT_EQ(f.ListBox1->toolTip(), movies[1]);
    QTest::keyClick(f.ListBox1, Qt::Key_Down);
    EXPECT_EQ(f.FlashMain->Movie(), movies[2]);
    EXPECT_EQ(f.ListBox1->toolTip(), movies[2]);
    // At the end of the list the key moves nothing and opens nothing again.
    f.FlashMain->SetMovie(QString());
    QTest::keyClick(f.ListBox1, Qt::Key_Down);
    EXPECT_EQ(f.FlashMain->Movie(), QString());
    QTest::keyClick(f.ListBox1, Qt::Key_Up);
    EXPECT_EQ(f.FlashMain->Movie(), movies[1]);
}

TEST_F(PlaylistTest, OnlyFilesOfTheTreeAreTakenByADrop)
{
    const QString m = movie(QStringLiteral("tree/dragme.swf"));
    TMFrm& f = make();
    EXPECT_FALSE(f.ListBox1DragOver(f.ShellTreeView));   // nothing selected in the tree
    ASSERT_TRUE(f.ShellTreeView->selectPath(movieDir.filePath(QStringLiteral("tree"))));
    EXPECT_FALSE(f.ListBox1DragOver(f.ShellTreeView));   // a folder
    f.ListBox1DragDrop(f.ShellTreeView);
    EXPECT_EQ(f.ListBox1->count(), 0);

    ASSERT_TRUE(f.ShellTreeView->selectPath(m));
    EXPECT_TRUE(f.ListBox1DragOver(f.ShellTreeView));
    f.ListBox1->addEntry(QStringLiteral("/x.swf"));
    f.ListBox1->selectRow(0);
    f.ListBox1DragDrop(f.ShellTreeView);
    EXPECT_EQ(entries(f.ListBox1), (QStringList{QStringLiteral("/x.swf"), m}));
    EXPECT_EQ(f.ListBox1->selectedRow(), 0);
    EXPECT_EQ(f.FlashMain->Movie(), QString());

    // From the list itself or the cache list: nothing.
    EXPECT_FALSE(f.ListBox1DragOver(f.ListBox1));
    f.ListBox1DragDrop(f.ListBox1);
    f.ListBox1DragDrop(f.IEListbox);
    EXPECT_EQ(f.ListBox1->count(), 2);
}

} // namespace
