#include "desktopgui/desktop_fixture.h"

#include <QAction>
#include <QImage>
#include <QMenu>
#include <QToolBar>
#include <QToolButton>

using namespace plovex;
using plovex::test::DesktopFixture;
using Set = plovex::testing::FakeWallpaper::SetCall;

namespace {

const QString kAskStretch = QStringLiteral("是否要将当前flash画面设为墙纸并拉伸?");
const QString kAskTile = QStringLiteral("是否要将当前flash画面设为墙纸并平铺?");
const QString kAskCentre = QStringLiteral("是否要将当前flash画面设为墙纸居中?");

class FrameWallpaperTest : public DesktopFixture {};

} // namespace

// Stretch stores the user's wallpaper and shows the frame; tile and centre
// right afterwards find the program's own picture on the desktop and leave
// the stored path alone.
TEST_F(FrameWallpaperTest, StretchThenTileThenCentreKeepTheUsersWallpaper)
{
    TMFrm& f = makeWithMovie();
    wallpaper.current = QStringLiteral("/home/me/Pictures/sea.jpg");
    const struct {
        QAction* item;
        QString question;
        WallpaperStyle style;
    } steps[] = {
        {f.mnuSetWallL, kAskStretch, WallpaperStyle::Stretch},
        {f.mnuSetWallP, kAskTile, WallpaperStyle::Tile},
        {f.mnuSetWallC, kAskCentre, WallpaperStyle::Centre},
    };
    std::vector<Set> expected;
    for (const auto& s : steps) {
        SCOPED_TRACE(s.question.toStdString());
        prompts.shown.clear();
        prompts.confirmAnswers.push_back(true);
        s.item->trigger();
        ASSERT_EQ(prompts.shown.size(), 1u);
        EXPECT_EQ(prompts.shown[0].kind, Kind::Confirm);
        EXPECT_EQ(prompts.shown[0].text, s.question);
        EXPECT_EQ(remembered(), QStringLiteral("/home/me/Pictures/sea.jpg"));
        expected.push_back({picture(), s.style});
        EXPECT_EQ(wallpaper.sets, expected);
        EXPECT_EQ(wallpaper.current, picture());
    }
    // The picture is the frame at the player's size, as a BMP file.
    const QByteArray bmp = fileBytes(picture());
    ASSERT_TRUE(bmp.startsWith("BM"));
    QImage image;
    ASSERT_TRUE(image.loadFromData(bmp, "BMP"));
    EXPECT_EQ(image.size(), QSize(320, 240));
    EXPECT_EQ(image.convertToFormat(QImage::Format_RGB32), f.GrabFrame().convertToFormat(QImage::Format_RGB32));
    EXPECT_TRUE(prompts.errors().isEmpty());
}

// The order of the steps: question, reading the desktop, storing, setting.
TEST_F(FrameWallpaperTest, TheDesktopIsReadOnlyAfterYesAndSetLast)
{
    TMFrm& f = makeWithMovie();
    wallpaper.current = QStringLiteral("/srv/bg.png");
    prompts.confirmAnswers.push_back(true);
    f.mnuSetWallP->trigger();
    EXPECT_EQ(wallpaper.log, (QStringList{QStringLiteral("get"), QStringLiteral("set ") + picture() + QStringLiteral(" tile")}));
    // A movie playing as the wallpaper ends once the picture is set.
    EXPECT_EQ(movieHost.log, QStringList{QStringLiteral("stop")});
}

TEST_F(FrameWallpaperTest, NoChangesNothing)
{
    TMFrm& f = makeWithMovie();
    wallpaper.current = QStringLiteral("/home/me/sea.jpg");
    store(QStringLiteral("/old/bg.jpg"));
    const QByteArray settingsBefore = fileBytes(settings());
    for (QAction* item : {f.mnuSetWallL, f.mnuSetWallP, f.mnuSetWallC, f.N26, f.N29, f.N30}) {
        SCOPED_TRACE(item->objectName().toStdString());
        prompts.confirmAnswers.push_back(false);
        item->trigger();
        EXPECT_TRUE(prompts.confirmAnswers.empty());
    }
    EXPECT_EQ(prompts.textsOf(Kind::Confirm).size(), 6);
    EXPECT_TRUE(wallpaper.log.isEmpty()) << wallpaper.log.join(", ").toStdString();
    EXPECT_TRUE(movieHost.log.isEmpty());
    EXPECT_EQ(fileBytes(settings()), settingsBefore);
    EXPECT_FALSE(QFileInfo::exists(picture()));
}

// The folder comparison is exact: a folder that differs only in letter
// case is another folder, so the program's own picture there counts as the
// user's; the same folder spelled alike does not.
TEST_F(FrameWallpaperTest, TheFolderComparisonCountsLetterCase)
{
    TMFrm& f = makeWithMovie();
    const QString upper = ProgramFolder().toUpper() + QStringLiteral("flash.bmp");
    ASSERT_NE(upper, picture());
    const struct {
        QString current;
        QString stored;
    } cases[] = {
        {upper, upper},
        {picture(), upper},                                  // own picture: left as stored
        {ProgramFolder() + QStringLiteral("sub/x.bmp"), ProgramFolder() + QStringLiteral("sub/x.bmp")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.current.toStdString());
        wallpaper.current = c.current;
        prompts.confirmAnswers.push_back(true);
        f.mnuSetWallL->trigger();
        EXPECT_EQ(remembered(), c.stored);
    }
}

// Without any wallpaper on the desktop, the empty text is stored, over a
// path stored before.
TEST_F(FrameWallpaperTest, AnEmptyCurrentWallpaperIsStoredAsTheEmptyText)
{
    TMFrm& f = makeWithMovie();
    store(QStringLiteral("/old/bg.jpg"));
    wallpaper.current.clear();
    prompts.confirmAnswers.push_back(true);
    f.mnuSetWallC->trigger();
    EXPECT_EQ(remembered(), QString());
    EXPECT_EQ(wallpaper.sets, (std::vector<Set>{{picture(), WallpaperStyle::Centre}}));
}

// A picture that cannot be written stops the command before the desktop
// changes; the user's wallpaper has been stored already.
TEST_F(FrameWallpaperTest, APictureThatCannotBeWrittenLeavesTheDesktopAlone)
{
    TMFrm& f = makeWithMovie();
    ASSERT_TRUE(QDir().mkpath(picture())); // a folder where the picture should go
    wallpaper.current = QStringLiteral("/home/me/sea.jpg");
    prompts.confirmAnswers.push_back(true);
    f.mnuSetWallL->trigger();
    ASSERT_EQ(prompts.errors().size(), 1);
    EXPECT_TRUE(prompts.errors()[0].contains(picture())) << prompts.errors()[0].toStdString();
    EXPECT_TRUE(wallpaper.sets.empty());
    EXPECT_TRUE(movieHost.log.isEmpty());
    EXPECT_EQ(remembered(), QStringLiteral("/home/me/sea.jpg"));
}

// A settings file that cannot be written stops the command before the
// picture is written.
TEST_F(FrameWallpaperTest, ASettingsFileThatCannotBeWrittenStopsAtOnce)
{
    TMFrm& f = makeWithMovie();
    ASSERT_TRUE(QDir().mkpath(settings()));            // a folder in the settings file's place
    wallpaper.current = QStringLiteral("/home/me/sea.jpg");
    prompts.confirmAnswers.push_back(true);
    f.mnuSetWallP->trigger();
    ASSERT_EQ(prompts.errors().size(), 1);
    EXPECT_TRUE(prompts.errors()[0].startsWith(QStringLiteral("Unable to write to"))) << prompts.errors()[0].toStdString();
    EXPECT_FALSE(QFileInfo::exists(picture()));
    EXPECT_TRUE(wallpaper.sets.empty());
}

// Where no wallpaper tool answers, every command says so in a plain
// message and changes nothing, without asking first.
TEST_F(FrameWallpaperTest, ADesktopWithoutAWallpaperToolIsToldAndNothingChanges)
{
    TMFrm& f = makeWithMovie();
    wallpaper.reachable = false;
    store(QStringLiteral("/old/bg.jpg"));
    const QByteArray settingsBefore = fileBytes(settings());
    const QList<QAction*> items{f.mnuSetWallL, f.mnuSetWallP, f.mnuSetWallC, f.mnuSetSwfPaper,
                                f.mnuSetRestorePaper, f.mnuSetDefPaper, f.mnuSetDisP};
    for (QAction* item : items)
        item->trigger();
    EXPECT_EQ(prompts.messages(), QStringList(QList<QString>(items.size(), kNoDesktopWallpaperMessage)));
    EXPECT_EQ(prompts.shown.size(), size_t(items.size()));
    EXPECT_TRUE(wallpaper.log.isEmpty());
    EXPECT_TRUE(movieHost.log.isEmpty());
    EXPECT_EQ(fileBytes(settings()), settingsBefore);
    EXPECT_FALSE(QFileInfo::exists(picture()));
    EXPECT_FALSE(QFileInfo::exists(page()));
}

// The context menu's three items and the toolbar button's drop-down run
// the same three commands.
TEST_F(FrameWallpaperTest, ContextMenuAndToolbarOfferTheThreeArrangements)
{
    TMFrm& f = makeWithMovie();
    wallpaper.current = QStringLiteral("/home/me/sea.jpg");
    for (QAction* item : {f.N26, f.N29, f.N30})
        prompts.confirmAnswers.push_back(true), item->trigger();
    EXPECT_EQ(prompts.textsOf(Kind::Confirm), (QStringList{kAskStretch, kAskTile, kAskCentre}));
    EXPECT_EQ(wallpaper.sets.size(), 3u);

    auto* button = qobject_cast<QToolButton*>(f.ToolBar2->widgetForAction(f.TBPlyPN));
    ASSERT_NE(button, nullptr);
    ASSERT_EQ(button->menu(), f.mnuSetImgPaper);
    EXPECT_EQ(button->popupMode(), QToolButton::InstantPopup);
    EXPECT_EQ(f.mnuSetImgPaper->actions(), (QList<QAction*>{f.mnuSetWallL, f.mnuSetWallP, f.mnuSetWallC}));
}

TEST_F(FrameWallpaperTest, EmptyWallpaperAsksAndTakesThePictureAwayWithoutStoring)
{
    TMFrm& f = makeWithMovie();
    wallpaper.current = QStringLiteral("/home/me/sea.jpg");
    store(QStringLiteral("/old/bg.jpg"));
    const QByteArray settingsBefore = fileBytes(settings());

    prompts.confirmAnswers = {false, true};
    f.mnuSetDefPaper->trigger();
    EXPECT_TRUE(wallpaper.log.isEmpty());
    f.mnuSetDefPaper->trigger();
    EXPECT_EQ(prompts.textsOf(Kind::Confirm), QStringList(2, QStringLiteral("是否要将墙纸设置为空？")));
    EXPECT_EQ(wallpaper.log, QStringList{QStringLiteral("set   stretch")}); // one blank, no reading first
    EXPECT_TRUE(wallpaper.current.isEmpty());
    EXPECT_EQ(movieHost.log, QStringList{QStringLiteral("stop")});
    EXPECT_EQ(fileBytes(settings()), settingsBefore);
}

TEST_F(FrameWallpaperTest, RestoreShowsItsMessageThenPutsTheStoredWallpaperBack)
{
    TMFrm& f = makeWithMovie();
    const QString mine = write(work(QStringLiteral("my wallpaper.jpg")), "jpeg");
    wallpaper.current = picture();
    store(mine);
    // The settings are read only after the message has been closed.
    prompts.onShown = [&](const Shown& shown) {
        if (shown.kind == Kind::Box)
            EXPECT_TRUE(wallpaper.log.isEmpty());
    };
    f.mnuSetRestorePaper->trigger();
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].kind, Kind::Box);
    EXPECT_EQ(prompts.shown[0].caption, QStringLiteral("还原墙纸"));
    EXPECT_EQ(prompts.shown[0].text, QStringLiteral("设置可能需要3-4秒，请您稍等!"));
    EXPECT_EQ(prompts.shown[0].icon, MessageIcon::Information);
    EXPECT_EQ(wallpaper.sets, (std::vector<Set>{{mine, WallpaperStyle::Stretch}}));
    EXPECT_EQ(movieHost.log, QStringList{QStringLiteral("stop")});
    EXPECT_EQ(remembered(), mine); // kept for another restore
}

TEST_F(FrameWallpaperTest, RestoreWithNothingStoredOrAPictureGoneChangesNothing)
{
    TMFrm& f = makeWithMovie();
    const QString gone = work(QStringLiteral("gone.jpg"));
    const struct {
        const char* name;
        std::optional<QString> stored; // nullopt: no settings file
        QStringList messages;
    } cases[] = {
        {"no settings file", std::nullopt, {}},
        {"empty", QString(), {}},
        {"blanks", QStringLiteral("  "), {}},
        {"gone", gone, {QStringLiteral("原来的墙纸文件已不存在，无法还原：") + gone}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(settings());
        if (c.stored)
            store(*c.stored);
        prompts.shown.clear();
        f.mnuSetRestorePaper->trigger();
        EXPECT_EQ(prompts.textsOf(Kind::Box), QStringList{QStringLiteral("设置可能需要3-4秒，请您稍等!")});
        EXPECT_EQ(prompts.messages(), c.messages);
        EXPECT_TRUE(wallpaper.log.isEmpty());
        EXPECT_TRUE(movieHost.log.isEmpty());
    }
}

TEST_F(FrameWallpaperTest, DisplayPropertiesOpenTheDesktopsBackgroundSettings)
{
    TMFrm& f = makeWithMovie();
    f.mnuSetDisP->trigger();
    EXPECT_EQ(wallpaper.log, QStringList{QStringLiteral("settings")});
    EXPECT_EQ(f.mnuSetDisP->shortcut(), QKeySequence(QStringLiteral("Ctrl+Alt+S")));
    EXPECT_TRUE(prompts.shown.empty());
}
