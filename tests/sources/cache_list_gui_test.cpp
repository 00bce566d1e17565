// The cache list: opening and closing it, the search-settings window,
// saving an entry elsewhere, sorting and selecting to play.

#include "sources/form_fixture.h"

#include "player/shockwave_flash.h"
#include "sources/search_form.h"

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <algorithm>

using namespace plovex;
using plovex::test::SourcesFormTest;

namespace {

class CacheListTest : public SourcesFormTest {
protected:
    QString cached(const QString& name, qint64 size)
    {
        return writeFile(cacheDir.filePath(name), QByteArray(size, 'c'));
    }
    QString cachedMovie(const QString& name, int frames = 3)
    {
        return writeFile(cacheDir.filePath(name), test::MovingSquareSwf(frames));
    }
    static QStringList sortedCopy(QStringList list)
    {
        std::sort(list.begin(), list.end());
        return list;
    }
};

TEST_F(CacheListTest, OpeningListsMoviesAboveTenBytesAtAnyDepth)
{
    cached(QStringLiteral("a.swf"), 10);
    const QString b = cached(QStringLiteral("b.SWF"), 11);
    const QString deep = cached(QStringLiteral("x/y/z/deep.swf"), 40);
    cached(QStringLiteral("x/not.swf.bak"), 400);
    cached(QStringLiteral("x/page.html"), 400);

    TMFrm& f = make();
    EXPECT_TRUE(f.IEPanel->isHidden());
    EXPECT_TRUE(f.Splitter2->isHidden());
    EXPECT_FALSE(f.IELst->menuAction()->isEnabled());
    f.mnuFileIE->trigger();   // enabled before any movie is opened
    EXPECT_EQ(f.cacheFolder(), cacheDir.path());
    EXPECT_FALSE(f.IEPanel->isHidden());
    EXPECT_FALSE(f.Splitter2->isHidden());
    EXPECT_EQ(sortedCopy(entries(f.IEListbox)), sortedCopy({b, deep}));
    EXPECT_TRUE(f.TBIE->isChecked());
    EXPECT_TRUE(f.IELst->menuAction()->isEnabled());
    const int widest = std::max(QFontMetrics(f.IEListbox->font()).horizontalAdvance(b),
                                QFontMetrics(f.IEListbox->font()).horizontalAdvance(deep));
    EXPECT_EQ(f.IEListbox->horizontalExtent(), widest + 2);
    // The commands that search come back when it ends; the toolbar button
    // stays with the block of commands, still off before the first movie.
    EXPECT_TRUE(f.mnuFileIE->isEnabled());
    EXPECT_TRUE(f.mnuFileCustomS->isEnabled());
    EXPECT_FALSE(f.TBIE->isEnabled());
    EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(CacheListTest, ClosingKeepsTheEntriesAndReopeningSearchesAgain)
{
    const QString one = cached(QStringLiteral("one.swf"), 20);
    TMFrm& f = make();
    f.EnableCommands(true);
    f.TBIE->trigger();
    EXPECT_FALSE(f.IEPanel->isHidden());
    EXPECT_TRUE(f.TBIE->isChecked());
    EXPECT_EQ(entries(f.IEListbox), QStringList{one});

    QTest::mouseClick(f.SpeedButton1, Qt::LeftButton);
    EXPECT_TRUE(f.IEPanel->isHidden());
    EXPECT_TRUE(f.Splitter2->isHidden());
    EXPECT_FALSE(f.TBIE->isChecked());
    EXPECT_FALSE(f.IELst->menuAction()->isEnabled());
    EXPECT_EQ(entries(f.IEListbox), QStringList{one});

    const QString two = cached(QStringLiteral("two.swf"), 20);
    f.TBIE->trigger();
    EXPECT_EQ(sortedCopy(entries(f.IEListbox)), sortedCopy({one, two}));
    f.TBIE->trigger();
    EXPECT_TRUE(f.IEPanel->isHidden());
    EXPECT_FALSE(f.TBIE->isChecked());
    f.mnuFileIE->trigger();
    f.mnuFileIEClose->trigger();
    EXPECT_TRUE(f.IEPanel->isHidden());
    EXPECT_FALSE(f.TBIE->isChecked());
}

TEST_F(CacheListTest, TheSettingsWindowSearchesWithKilobytesOfAThousandBytes)
{
    cached(QStringLiteral("small.swf"), 20);
    cached(QStringLiteral("exact.swf"), 10000);
    const QString above = cached(QStringLiteral("above.swf"), 10001);
    TMFrm& f = make();
    f.EnableCommands(true);
    f.mnuFileIE->trigger();
    EXPECT_EQ(f.IEListbox->count(), 3);
    const int extent = f.IEListbox->horizontalExtent();
    f.mnuFileIEClose->trigger();   // neither the button nor the submenu are touched by the window
    f.mnuFileCustomS->trigger();
    EXPECT_TRUE(f.frmSearch->isVisible());
    EXPECT_EQ(f.frmSearch->windowTitle(), QStringLiteral("搜索设定"));
    EXPECT_EQ(f.frmSearch->Edit1->text(), QStringLiteral("10"));
    QTest::mouseClick(f.frmSearch->Button1, Qt::LeftButton);
    EXPECT_FALSE(f.frmSearch->isVisible());
    EXPECT_EQ(entries(f.IEListbox), QStringList{above});
    EXPECT_EQ(f.IEListbox->horizontalExtent(), extent);
    EXPECT_FALSE(f.TBIE->isChecked());
    EXPECT_TRUE(f.IEPanel->isHidden());

    // Cancel closes and the field keeps what was typed.
    f.mnuCustomS->trigger();
    f.frmSearch->Edit1->setText(QStringLiteral("0"));
    QTest::mouseClick(f.frmSearch->Button2, Qt::LeftButton);
    EXPECT_FALSE(f.frmSearch->isVisible());
    EXPECT_EQ(f.frmSearch->Edit1->text(), QStringLiteral("0"));
    EXPECT_EQ(entries(f.IEListbox), QStringList{above});
}

TEST_F(CacheListTest, TheSizeFieldTakesDigitsAndBackspaceOnly)
{
    TMFrm& f = make();
    f.mnuFileCustomSClick();
    QLineEdit* edit = f.frmSearch->Edit1;
    edit->setFocus();
    edit->end(false);
    QTest::keyClicks(edit, QStringLiteral("1a2-3 .x"));
    EXPECT_EQ(edit->text(), QStringLiteral("10123"));
    QTest::keyClick(edit, Qt::Key_Backspace);
    EXPECT_EQ(edit->text(), QStringLiteral("1012"));
    QTest::keyClick(edit, Qt::Key_Left);
    QTest::keyClick(edit, Qt::Key_Delete);
    EXPECT_EQ(edit->text(), QStringLiteral("101"));
}

TEST_F(CacheListTest, AFieldThatIsNoNumberEmptiesTheListAndReports)
{
    cached(QStringLiteral("m.swf"), 50);
    TMFrm& f = make();
    f.mnuFileIEClick();
    ASSERT_EQ(f.IEListbox->count(), 1);
    f.mnuFileCustomSClick();
    f.frmSearch->Edit1->clear();
    QTest::mouseClick(f.frmSearch->Button1, Qt::LeftButton);
    EXPECT_EQ(f.IEListbox->count(), 0);
    EXPECT_FALSE(f.frmSearch->isVisible());
    EXPECT_EQ(prompts.errors(), QStringList{QStringLiteral("'' is not a valid integer value.")});
}

TEST_F(CacheListTest, SaveAsNeverReplacesAFile)
{
    const QString source = cached(QStringLiteral("keep.swf"), 64);
    const QString existing = writeFile(movieDir.filePath(QStringLiteral("existing.swf")), "mine");
    TMFrm& f = make();
    f.mnuFileIEClick();
    f.N21->trigger();   // nothing selected: no dialog
    EXPECT_TRUE(prompts.shown.empty());

    f.IEListbox->selectRow(0);
    prompts.answerFile(existing);
    f.N21->trigger();
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].caption, QStringLiteral("IE缓存文件另存为"));
    EXPECT_EQ(prompts.shown[0].text, QStringLiteral("*.swf文件(*.swf)|*.swf"));
    QFile kept(existing);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), QByteArray("mine"));

    // A new name gets the copy; a name without an extension gets ".swf".
    const QString fresh = movieDir.filePath(QStringLiteral("fresh.swf"));
    prompts.answerFile(fresh);
    f.mnuFileIESaveClick();
    EXPECT_EQ(QFileInfo(fresh).size(), 64);
    prompts.answerFile(movieDir.filePath(QStringLiteral("bare")));
    f.mnuFileIESaveClick();
    EXPECT_EQ(QFileInfo(movieDir.filePath(QStringLiteral("bare.swf"))).size(), 64);
    prompts.cancelFile();
    f.mnuFileIESaveClick();
    EXPECT_TRUE(prompts.errors().isEmpty());
    EXPECT_TRUE(prompts.messages().isEmpty());
    // The title stays on the shared dialog.
    EXPECT_EQ(f.SaveD.title, QStringLiteral("IE缓存文件另存为"));
    EXPECT_TRUE(f.SaveD.overwritePrompt);
    (void)source;
}

TEST_F(CacheListTest, SortedModeLastsForEveryLaterSearch)
{
    const QString c = cached(QStringLiteral("c.swf"), 20);
    const QString a = cached(QStringLiteral("d/A.swf"), 20);
    const QString b = cached(QStringLiteral("b.swf"), 20);
    TMFrm& f = make();
    f.mnuFileIEClick();
    f.N25->trigger();
    const QStringList sorted = {cacheDir.filePath(QStringLiteral("b.swf")), cacheDir.filePath(QStringLiteral("c.swf")),
                                cacheDir.filePath(QStringLiteral("d/A.swf"))};
    EXPECT_EQ(entries(f.IEListbox), sorted);
    const QString a2 = cached(QStringLiteral("a2.swf"), 20);
    f.mnuFileIECloseClick();
    f.mnuFileIEClick();
    EXPECT_EQ(entries(f.IEListbox), QStringList{a2} + sorted);
    f.mnuFileCustomSClick();
    f.frmSearch->Edit1->setText(QStringLiteral("0"));
    f.frmSearchButton1Click();
    EXPECT_EQ(entries(f.IEListbox), QStringList{a2} + sorted);
    (void)a; (void)b; (void)c;
}

TEST_F(CacheListTest, SelectingAnEntryByMouseOrKeyboardPlaysIt)
{
    const QString first = cachedMovie(QStringLiteral("1.swf"), 2);
    const QString second = cachedMovie(QStringLiteral("2.swf"), 4);
    TMFrm& f = make();
    f.show();
    f.mnuFileIEClick();
    f.mnuFileIESortedClick();
    ASSERT_EQ(entries(f.IEListbox), (QStringList{first, second}));
    QApplication::processEvents();
    QTest::mouseClick(f.IEListbox->viewport(), Qt::LeftButton, {}, f.IEListbox->visualItemRect(f.IEListbox->item(0)).center());
    EXPECT_EQ(f.FlashMain->Movie(), first);
    EXPECT_EQ(f.IEListbox->toolTip(), first);
    EXPECT_TRUE(f.mnuControl->menuAction()->isEnabled());
    QTest::keyClick(f.IEListbox, Qt::Key_Down);
    EXPECT_EQ(f.FlashMain->Movie(), second);
    EXPECT_EQ(f.IEListbox->toolTip(), second);
}

TEST_F(CacheListTest, NoSearchStartsWhileOneRuns)
{
    for (int i = 0; i < 6; ++i)
        cached(QStringLiteral("f%1/m%1.swf").arg(i), 20);
    const QString earlier = cached(QStringLiteral("zz.swf"), 20);
    TMFrm& f = make();
    f.EnableCommands(true);
    bool checked = false;
    // Runs from the search's own event processing.
    QTimer::singleShot(0, &f, [&] {
        checked = true;
        EXPECT_TRUE(f.cacheSearchRunning());
        EXPECT_FALSE(f.mnuFileIE->isEnabled());
        EXPECT_FALSE(f.TBIE->isEnabled());
        EXPECT_FALSE(f.mnuFileCustomS->isEnabled());
        EXPECT_FALSE(f.frmSearch->Button1->isEnabled());
        f.mnuFileIEClick();
        f.frmSearch->Edit1->setText(QStringLiteral("1000"));
        f.frmSearchButton1Click();
        EXPECT_TRUE(f.cacheSearchRunning());
    });
    f.mnuFileIEClick();
    EXPECT_TRUE(checked);
    EXPECT_FALSE(f.cacheSearchRunning());
    EXPECT_EQ(f.IEListbox->count(), 7);
    EXPECT_TRUE(f.mnuFileIE->isEnabled());
    EXPECT_TRUE(f.TBIE->isEnabled());
    EXPECT_TRUE(f.TBIE->isChecked());
    EXPECT_TRUE(f.frmSearch->Button1->isEnabled());
    (void)earlier;
}

TEST_F(CacheListTest, ClosingTheListDuringASearchCallsItOff)
{
    for (int i = 0; i < 6; ++i)
        cached(QStringLiteral("f%1/m%1.swf").arg(i), 20);
    TMFrm& f = make();
    f.IEListbox->setEntries({QStringLiteral("/former.swf")});
    QTimer::singleShot(0, &f, [&] { f.mnuFileIECloseClick(); });
    f.mnuFileIEClick();
    EXPECT_TRUE(f.IEPanel->isHidden());
    EXPECT_FALSE(f.TBIE->isChecked());
    EXPECT_FALSE(f.IELst->menuAction()->isEnabled());
    EXPECT_EQ(entries(f.IEListbox), QStringList{QStringLiteral("/former.swf")});
}

} // namespace
