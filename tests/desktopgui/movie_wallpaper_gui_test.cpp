#include "desktopgui/desktop_fixture.h"

#include "desktop/wallpaper_page.h"

#include <QAction>
#include <QImage>

using namespace plovex;
using plovex::test::DesktopFixture;
using Set = plovex::testing::FakeWallpaper::SetCall;

namespace {

const QString kAsk = QStringLiteral("是否要把此flash文件设置为墙纸？");
const QString kWait = QStringLiteral("设置可能需要3-4秒，请您稍等一下!");

class MovieWallpaperTest : public DesktopFixture {};

QByteArray expectedPage(const QByteArray& movie)
{
    return "<embed src=\"" + movie + "\" width=\"100%\" height=\"100%\">";
}

} // namespace

// Yes: the waiting message before anything is written, then the user's
// wallpaper is stored, the page written and shown as the wallpaper.
TEST_F(MovieWallpaperTest, WritesThePageAndPlaysItAsTheWallpaper)
{
    TMFrm& f = makeWithMovie(QStringLiteral("clips/intro.swf"));
    const QString movie = f.FlashMain->Movie();
    ASSERT_EQ(movie, work(QStringLiteral("clips/intro.swf")));
    wallpaper.current = QStringLiteral("/home/me/sea.jpg");
    bool boxSeen = false;
    prompts.onShown = [&](const Shown& shown) {
        if (shown.kind != Kind::Box)
            return;
        boxSeen = true;
        EXPECT_FALSE(QFileInfo::exists(page()));
        EXPECT_FALSE(QFileInfo::exists(settings()));
        EXPECT_TRUE(wallpaper.log.isEmpty());
    };
    prompts.confirmAnswers.push_back(true);
    f.mnuSetSwfPaper->trigger();
    EXPECT_TRUE(boxSeen);
    ASSERT_EQ(prompts.shown.size(), 2u);
    EXPECT_EQ(prompts.shown[0].kind, Kind::Confirm);
    EXPECT_EQ(prompts.shown[0].text, kAsk);
    EXPECT_EQ(prompts.shown[1].kind, Kind::Box);
    EXPECT_EQ(prompts.shown[1].caption, QStringLiteral("Flash设置墙纸"));
    EXPECT_EQ(prompts.shown[1].text, kWait);
    EXPECT_EQ(prompts.shown[1].icon, MessageIcon::Information);

    EXPECT_EQ(remembered(), QStringLiteral("/home/me/sea.jpg"));
    const QByteArray bytes = fileBytes(page());
    EXPECT_EQ(bytes, expectedPage(movie.toLatin1()));
    EXPECT_EQ(bytes.size(), 12 + movie.size() + 1 + 28);
    EXPECT_FALSE(bytes.contains('\n'));
    EXPECT_EQ(movieHost.log, QStringList{QStringLiteral("show ") + page()});
    // The desktop's own picture stays under the movie; only reading it.
    EXPECT_EQ(wallpaper.log, QStringList{QStringLiteral("get")});
    EXPECT_FALSE(QFileInfo::exists(picture()));
    EXPECT_TRUE(prompts.messages().isEmpty());
}

TEST_F(MovieWallpaperTest, AChinesePathIsWrittenInCodePage936)
{
    TMFrm& f = makeWithMovie(QString::fromUtf8("动画/片头.swf"));
    prompts.confirmAnswers.push_back(true);
    f.mnuSetSwfPaper->trigger();
    const QByteArray folder = QFile::encodeName(workDir.path());
    EXPECT_EQ(fileBytes(page()), expectedPage(folder + "/\xB6\xAF\xBB\xAD/\xC6\xAC\xCD\xB7.swf"));
}

// A projector plays from flash.swf beside the executable; the page names
// that file, not the projector.
TEST_F(MovieWallpaperTest, AProjectorsPageNamesTheExtractedMovie)
{
    form = std::make_unique<TMFrm>();
    form->OpenMovie(write(work(QStringLiteral("game.exe")), test::Projector(test::MovingSquareSwf(4))));
    ASSERT_TRUE(prompts.errors().isEmpty()) << prompts.errors().join(", ").toStdString();
    prompts.confirmAnswers.push_back(true);
    form->mnuSetSwfPaper->trigger();
    EXPECT_EQ(fileBytes(page()), expectedPage(QFile::encodeName(program(QStringLiteral("flash.swf")))));
}

TEST_F(MovieWallpaperTest, NoChangesNothing)
{
    TMFrm& f = makeWithMovie();
    store(QStringLiteral("/old/bg.jpg"));
    const QByteArray settingsBefore = fileBytes(settings());
    prompts.confirmAnswers.push_back(false);
    f.mnuSetSwfPaper->trigger();
    EXPECT_EQ(prompts.shown.size(), 1u);
    EXPECT_FALSE(QFileInfo::exists(page()));
    EXPECT_EQ(fileBytes(settings()), settingsBefore);
    EXPECT_TRUE(wallpaper.log.isEmpty());
    EXPECT_TRUE(movieHost.log.isEmpty());
}

// The second use replaces the page and the player; the stored wallpaper is
// still the one from before the program's first change.
TEST_F(MovieWallpaperTest, TwiceKeepsTheFirstStoredWallpaper)
{
    TMFrm& f = makeWithMovie(QStringLiteral("a.swf"));
    wallpaper.current = QStringLiteral("/home/me/sea.jpg");
    prompts.confirmAnswers = {true, true, true};
    f.mnuSetWallL->trigger(); // the frame first: now the desktop shows flash.bmp
    f.mnuSetSwfPaper->trigger();
    const QString second = write(work(QStringLiteral("b.swf")), test::MovingSquareSwf(3));
    f.OpenMovie(second);
    f.mnuSetSwfPaper->trigger();
    EXPECT_EQ(remembered(), QStringLiteral("/home/me/sea.jpg"));
    EXPECT_EQ(fileBytes(page()), expectedPage(QFile::encodeName(second)));
    EXPECT_EQ(movieHost.shown, QStringList(2, page()));
}

// A frame set afterwards ends the movie wallpaper.
TEST_F(MovieWallpaperTest, AFrameCommandReplacesThePlayingMovie)
{
    TMFrm& f = makeWithMovie();
    prompts.confirmAnswers = {true, true};
    f.mnuSetSwfPaper->trigger();
    ASSERT_TRUE(movieHost.playing);
    f.mnuSetWallC->trigger();
    EXPECT_FALSE(movieHost.playing);
    EXPECT_EQ(movieHost.log.last(), QStringLiteral("stop"));
}

// Where the session cannot show a window as the desktop (Wayland), the
// page is still written, the frame goes on the desktop stretched instead,
// and the user is told.
TEST_F(MovieWallpaperTest, WithoutAnX11DesktopTheFrameIsSetStretchedAndTheUserTold)
{
    TMFrm& f = makeWithMovie();
    movieHost.showable = false;
    wallpaper.current = QStringLiteral("/home/me/sea.jpg");
    prompts.confirmAnswers.push_back(true);
    f.mnuSetSwfPaper->trigger();
    EXPECT_TRUE(QFileInfo::exists(page()));
    EXPECT_TRUE(movieHost.shown.isEmpty());
    EXPECT_EQ(wallpaper.sets, (std::vector<Set>{{picture(), WallpaperStyle::Stretch}}));
    QImage image;
    ASSERT_TRUE(image.load(picture(), "BMP"));
    EXPECT_EQ(image.size(), QSize(320, 240));
    EXPECT_EQ(prompts.messages(), QStringList{QStringLiteral("此桌面不能以动画作为墙纸，已将当前画面拉伸设为墙纸。")});
    EXPECT_EQ(prompts.shown.back().kind, Kind::Message); // told last, once it is done
    EXPECT_EQ(remembered(), QStringLiteral("/home/me/sea.jpg"));
}

// A page that cannot be written stops the command: the wallpaper stays.
TEST_F(MovieWallpaperTest, APageThatCannotBeWrittenLeavesTheWallpaper)
{
    TMFrm& f = makeWithMovie();
    ASSERT_TRUE(QDir().mkpath(page()));
    prompts.confirmAnswers.push_back(true);
    f.mnuSetSwfPaper->trigger();
    ASSERT_EQ(prompts.errors().size(), 1);
    EXPECT_TRUE(prompts.errors()[0].contains(page()));
    EXPECT_TRUE(movieHost.log.isEmpty());
    EXPECT_TRUE(wallpaper.sets.empty());
}
