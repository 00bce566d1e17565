// The frame commands against Debian's own gsettings, storing into a key
// file in a temporary folder instead of the user's desktop.

#include "desktopgui/desktop_fixture.h"

#include "platform/commands.h"
#include "support/scoped_env.h"

#include <QAction>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

using namespace plovex;
using plovex::test::DesktopFixture;

namespace {

const QString kSchema = QStringLiteral("org.gnome.desktop.background");

class GnomeFrameWallpaperTest : public DesktopFixture {
protected:
    void SetUp() override
    {
        DesktopFixture::SetUp();
        if (QStandardPaths::findExecutable(QStringLiteral("gsettings")).isEmpty())
            GTEST_SKIP() << "gsettings is not installed";
        ASSERT_TRUE(configDir.isValid());
        env.set("GSETTINGS_BACKEND", "keyfile");
        env.set("XDG_CONFIG_HOME", QFile::encodeName(configDir.path()));
        gnome = MakeGnomeWallpaper(SystemCommands());
        SetDesktopWallpaperBackend(gnome.get());
        // A program folder whose name goes through the URI's escapes.
        const QString folder = programDir.filePath(QStringLiteral("Plovex 程序 #1"));
        ASSERT_TRUE(QDir().mkpath(folder));
        SetProgramFolder(folder);
    }

    static QString gsettings(const QStringList& args)
    {
        QProcess p;
        p.start(QStringLiteral("gsettings"), args);
        EXPECT_TRUE(p.waitForFinished(60000));
        EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
        return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
    }
    static QString uriOf(const QString& path) { return QString::fromUtf8(QUrl::fromLocalFile(path).toEncoded()); }

    QTemporaryDir configDir;
    plovex::testing::ScopedEnv env;
    std::unique_ptr<DesktopWallpaper> gnome;
};

} // namespace

TEST_F(GnomeFrameWallpaperTest, TileStretchRestoreAndEmpty)
{
    TMFrm& f = makeWithMovie();
    const QString mine = write(work(QStringLiteral("my sea.jpg")), "jpeg");
    gsettings({QStringLiteral("set"), kSchema, QStringLiteral("picture-uri"), QLatin1Char('\'') + uriOf(mine) + QLatin1Char('\'')});

    prompts.confirmAnswers.push_back(true);
    f.mnuSetWallP->trigger();
    ASSERT_TRUE(prompts.errors().isEmpty()) << prompts.errors().join(", ").toStdString();
    EXPECT_EQ(gsettings({QStringLiteral("get"), kSchema, QStringLiteral("picture-uri")}),
              QLatin1Char('\'') + uriOf(picture()) + QLatin1Char('\''));
    EXPECT_EQ(gsettings({QStringLiteral("get"), kSchema, QStringLiteral("picture-options")}), QStringLiteral("'wallpaper'"));
    EXPECT_TRUE(fileBytes(picture()).startsWith("BM"));
    EXPECT_EQ(remembered(), mine);

    // The desktop now names the program's own picture: stretching keeps
    // the stored wallpaper.
    prompts.confirmAnswers.push_back(true);
    f.mnuSetWallL->trigger();
    EXPECT_EQ(gsettings({QStringLiteral("get"), kSchema, QStringLiteral("picture-options")}), QStringLiteral("'stretched'"));
    EXPECT_EQ(remembered(), mine);

    f.mnuSetRestorePaper->trigger();
    EXPECT_EQ(gsettings({QStringLiteral("get"), kSchema, QStringLiteral("picture-uri")}),
              QLatin1Char('\'') + uriOf(mine) + QLatin1Char('\''));
    EXPECT_EQ(gsettings({QStringLiteral("get"), kSchema, QStringLiteral("picture-options")}), QStringLiteral("'stretched'"));

    prompts.confirmAnswers.push_back(true);
    f.mnuSetDefPaper->trigger();
    EXPECT_EQ(gsettings({QStringLiteral("get"), kSchema, QStringLiteral("picture-uri")}), QStringLiteral("''"));
    EXPECT_TRUE(prompts.errors().isEmpty()) << prompts.errors().join(", ").toStdString();
}
