#include "desktop/wallpaper_page.h"

#include "platform/errors.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace plovex;

namespace {

TEST(WallpaperPage, AsciiPathGivesTheExactLine)
{
    const QString movie = QStringLiteral("/home/me/movies/intro.swf");
    const QByteArray page = WallpaperPage(movie);
    EXPECT_EQ(page, QByteArray("<embed src=\"/home/me/movies/intro.swf\" width=\"100%\" height=\"100%\">"));
    EXPECT_EQ(page.size(), 12 + movie.size() + 1 + 28);
    EXPECT_FALSE(page.contains('\n'));
    EXPECT_FALSE(page.contains('\r'));
}

TEST(WallpaperPage, ChinesePathIsWrittenInCodePage936)
{
    const QByteArray page = WallpaperPage(QString::fromUtf8("/home/用户/动画.swf"));
    EXPECT_EQ(page, QByteArray("<embed src=\"/home/\xD3\xC3\xBB\xA7/\xB6\xAF\xBB\xAD.swf\" width=\"100%\" height=\"100%\">"));
}

TEST(WallpaperPage, CharactersTheCodePageLacksKeepTheirGb18030Form)
{
    // Korean Hangul and an emoji are not in code page 936; a '?' in their
    // place would name a file that is not there.
    EXPECT_EQ(WallpaperPage(QString::fromUtf8("/m/한\U0001F3AC中.swf")),
              QByteArray("<embed src=\"/m/\x83\x36\x84\x33\x94\x39\xC1\x30\xD6\xD0.swf\" width=\"100%\" height=\"100%\">"));
}

TEST(WallpaperPage, MovieTextGoesInUnescaped)
{
    const QByteArray page = WallpaperPage(QStringLiteral("/a \"b\" & <c>.swf"));
    EXPECT_EQ(page, QByteArray("<embed src=\"/a \"b\" & <c>.swf\" width=\"100%\" height=\"100%\">"));
}

TEST(WallpaperPage, WritingReplacesTheFormerPage)
{
    QTemporaryDir dir;
    const QString file = dir.path() + "/flashH.html";
    WriteWallpaperPage(file, QStringLiteral("/first/much/longer/path/movie.swf"));
    WriteWallpaperPage(file, QStringLiteral("/b.swf"));
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), WallpaperPage(QStringLiteral("/b.swf")));
}

TEST(WallpaperPage, PageThatCannotBeWrittenRaisesAnError)
{
    QTemporaryDir dir;
    QFile blocker(dir.path() + "/blocker");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QString file = dir.path() + "/blocker/flashH.html";
    try {
        WriteWallpaperPage(file, QStringLiteral("/b.swf"));
        FAIL() << "no error";
    } catch (const PlovexError& e) {
        EXPECT_TRUE(e.text().contains(file)) << e.text().toStdString();
    }
}

TEST(OwnWallpaper, ComparesTheFolderPartExactly)
{
    const QString program = QStringLiteral("/opt/Plovex/");
    const struct {
        const char* wallpaper;
        bool own;
    } cases[] = {
        {"/opt/Plovex/flash.bmp", true},
        {"/opt/Plovex/flashH.html", true},
        {"/opt/plovex/flash.bmp", false}, // letter case counts
        {"/opt/Plovex/sub/flash.bmp", false},
        {"/home/me/sea.jpg", false},
        {"", false},
        {"flash.bmp", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsOwnWallpaper(c.wallpaper, program), c.own) << c.wallpaper;
}

} // namespace
