#include "platform/wallpaper.h"

#include "platform/errors.h"
#include "support/fake_wallpaper.h"
#include "support/scoped_env.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>
#include <gtest/gtest.h>

#include <deque>

using namespace plovex;

namespace {

// Answers commands from a script and records them.
class ScriptedRunner final : public CommandRunner {
public:
    QStringList programs;  // what findProgram finds
    QStringList calls;     // "program arg arg ..." in order
    QStringList detached;  // the same for startDetached
    // Answers by the command's text; a command without one succeeds silently.
    std::map<QString, Result> answers;

    static Result ok(const QByteArray& out = {})
    {
        Result r;
        r.started = true;
        r.exitCode = 0;
        r.out = out;
        return r;
    }
    static Result failed(const QByteArray& err = "failed")
    {
        Result r;
        r.started = true;
        r.exitCode = 1;
        r.err = err;
        return r;
    }

    QString findProgram(const QString& program) override
    {
        return programs.contains(program) ? "/usr/bin/" + program : QString();
    }
    Result run(const QString& program, const QStringList& args) override
    {
        const QString line = (QStringList{program} + args).join(u' ');
        calls << line;
        if (!programs.contains(program))
            return Result{};
        const auto it = answers.find(line);
        return it == answers.end() ? ok() : it->second;
    }
    bool startDetached(const QString& program, const QStringList& args) override
    {
        detached << (QStringList{program} + args).join(u' ');
        return programs.contains(program);
    }
};

QString runGsettings(const QStringList& args)
{
    QProcess p;
    p.start("gsettings", args);
    EXPECT_TRUE(p.waitForFinished(30000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

const QString kSchema = QStringLiteral("org.gnome.desktop.background");

// Debian's own gsettings, storing into a key file in a temporary folder.
class GnomeWallpaperTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (QStandardPaths::findExecutable("gsettings").isEmpty())
            GTEST_SKIP() << "gsettings is not installed";
        ASSERT_TRUE(dir.isValid());
        env.set("GSETTINGS_BACKEND", "keyfile");
        env.set("XDG_CONFIG_HOME", QFile::encodeName(dir.path() + "/config"));
        backend = MakeGnomeWallpaper(SystemCommands());
    }
    QTemporaryDir dir;
    plovex::testing::ScopedEnv env;
    std::unique_ptr<DesktopWallpaper> backend;
};

TEST_F(GnomeWallpaperTest, TiledPictureIsStoredAsItsUri)
{
    const QString picture = dir.path() + "/flash.bmp";
    backend->setDesktopWallpaper(picture, WallpaperStyle::Tile);
    const QString uri = QString::fromUtf8(QUrl::fromLocalFile(picture).toEncoded());
    EXPECT_EQ(runGsettings({"get", kSchema, "picture-uri"}), "'" + uri + "'");
    EXPECT_EQ(runGsettings({"get", kSchema, "picture-uri-dark"}), "'" + uri + "'");
    EXPECT_EQ(runGsettings({"get", kSchema, "picture-options"}), "'wallpaper'");
    EXPECT_EQ(backend->getDesktopWallpaper(), picture);
}

TEST_F(GnomeWallpaperTest, StylesMapToPictureOptions)
{
    const QString picture = dir.path() + "/flash.bmp";
    for (const auto& [style, option] : {std::pair{WallpaperStyle::Stretch, "'stretched'"},
                                        std::pair{WallpaperStyle::Centre, "'centered'"},
                                        std::pair{WallpaperStyle::Tile, "'wallpaper'"}}) {
        backend->setDesktopWallpaper(picture, style);
        EXPECT_EQ(runGsettings({"get", kSchema, "picture-options"}), option);
    }
}

TEST_F(GnomeWallpaperTest, AwkwardPathsComeBackAsTheyWent)
{
    for (const QString& name : {QStringLiteral("with blank.bmp"), QStringLiteral("墙纸 '引号'.bmp"),
                               QStringLiteral("back\\slash%20.bmp")}) {
        const QString picture = dir.path() + "/" + name;
        backend->setDesktopWallpaper(picture, WallpaperStyle::Stretch);
        EXPECT_EQ(backend->getDesktopWallpaper(), picture);
    }
}

TEST_F(GnomeWallpaperTest, EmptyPathTakesThePictureAway)
{
    backend->setDesktopWallpaper(dir.path() + "/flash.bmp", WallpaperStyle::Stretch);
    backend->setDesktopWallpaper(" ", WallpaperStyle::Stretch);
    EXPECT_EQ(runGsettings({"get", kSchema, "picture-uri"}), "''");
    EXPECT_EQ(runGsettings({"get", kSchema, "picture-options"}), "'none'");
    EXPECT_EQ(backend->getDesktopWallpaper(), "");
}

TEST(GVariantText, QuotesAndParses)
{
    const struct {
        const char* text;
        const char* literal;
    } cases[] = {
        {"", "''"},
        {"file:///a/b.png", "'file:///a/b.png'"},
        {"it's", "'it\\'s'"},
        {"a\\b", "'a\\\\b'"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(GVariantString(c.text), c.literal);
        EXPECT_EQ(ParseGVariantString(c.literal), c.text);
    }
    // gsettings prints a text holding a single quote between double quotes.
    EXPECT_EQ(ParseGVariantString("\"it's\""), "it's");
    EXPECT_EQ(ParseGVariantString("'\\u00e9t\\u00e9\\n'"), QString::fromUtf8("été\n"));
    EXPECT_EQ(ParseGVariantString("not quoted"), "not quoted");
}

TEST(XfceWallpaper, SetsEveryMonitorAndWorkspace)
{
    ScriptedRunner runner;
    runner.programs << "xfconf-query";
    runner.answers["xfconf-query -c xfce4-desktop -l"] = ScriptedRunner::ok(
        "/backdrop/screen0/monitorHDMI-1/workspace1/last-image\n"
        "/backdrop/screen0/monitorHDMI-1/workspace0/last-image\n"
        "/backdrop/screen0/monitorHDMI-1/workspace0/image-style\n"
        "/desktop-icons/style\n");
    const auto backend = MakeXfceWallpaper(runner);
    backend->setDesktopWallpaper("/srv/plovex/flash.bmp", WallpaperStyle::Stretch);
    EXPECT_EQ(runner.calls,
              (QStringList{
                  "xfconf-query -c xfce4-desktop -l",
                  "xfconf-query -c xfce4-desktop -p /backdrop/screen0/monitorHDMI-1/workspace0/last-image -n -t string -s /srv/plovex/flash.bmp",
                  "xfconf-query -c xfce4-desktop -p /backdrop/screen0/monitorHDMI-1/workspace0/image-style -n -t int -s 3",
                  "xfconf-query -c xfce4-desktop -p /backdrop/screen0/monitorHDMI-1/workspace1/last-image -n -t string -s /srv/plovex/flash.bmp",
                  "xfconf-query -c xfce4-desktop -p /backdrop/screen0/monitorHDMI-1/workspace1/image-style -n -t int -s 3",
              }));
    runner.calls.clear();
    backend->setDesktopWallpaper("/srv/plovex/flash.bmp", WallpaperStyle::Tile);
    EXPECT_TRUE(runner.calls.contains("xfconf-query -c xfce4-desktop -p /backdrop/screen0/monitorHDMI-1/workspace0/image-style -n -t int -s 2"));
    runner.calls.clear();
    backend->setDesktopWallpaper("/srv/plovex/flash.bmp", WallpaperStyle::Centre);
    EXPECT_TRUE(runner.calls.contains("xfconf-query -c xfce4-desktop -p /backdrop/screen0/monitorHDMI-1/workspace0/image-style -n -t int -s 1"));
    runner.calls.clear();
    backend->setDesktopWallpaper("", WallpaperStyle::Centre);
    EXPECT_TRUE(runner.calls.contains("xfconf-query -c xfce4-desktop -p /backdrop/screen0/monitorHDMI-1/workspace0/last-image -n -t string -s "));
    EXPECT_TRUE(runner.calls.contains("xfconf-query -c xfce4-desktop -p /backdrop/screen0/monitorHDMI-1/workspace0/image-style -n -t int -s 0"));
}

TEST(XfceWallpaper, ReadsTheFirstWorkspacesPicture)
{
    ScriptedRunner runner;
    runner.programs << "xfconf-query";
    runner.answers["xfconf-query -c xfce4-desktop -l"] = ScriptedRunner::ok(
        "/backdrop/screen0/monitor1/workspace0/last-image\n/backdrop/screen0/monitor0/workspace2/last-image\n");
    runner.answers["xfconf-query -c xfce4-desktop -p /backdrop/screen0/monitor1/workspace0/last-image"] =
        ScriptedRunner::ok("/home/me/Pictures/sea.jpg\n");
    EXPECT_EQ(MakeXfceWallpaper(runner)->getDesktopWallpaper(), "/home/me/Pictures/sea.jpg");
}

TEST(XfceWallpaper, AFailedWriteRaisesTheError)
{
    ScriptedRunner runner;
    runner.programs << "xfconf-query";
    runner.answers["xfconf-query -c xfce4-desktop -l"] = ScriptedRunner::ok("/backdrop/screen0/monitor0/workspace0/last-image\n");
    runner.answers["xfconf-query -c xfce4-desktop -p /backdrop/screen0/monitor0/workspace0/last-image -n -t string -s /p.bmp"] =
        ScriptedRunner::failed("no xfconfd");
    try {
        MakeXfceWallpaper(runner)->setDesktopWallpaper("/p.bmp", WallpaperStyle::Tile);
        FAIL() << "no error";
    } catch (const PlovexError& e) {
        EXPECT_TRUE(e.text().startsWith("Failed to set data for '/backdrop/screen0/monitor0/workspace0/last-image'"))
            << e.text().toStdString();
    }
}

TEST(PlasmaWallpaper, PassesTheArrangementAndFallsBackWithoutIt)
{
    ScriptedRunner runner;
    runner.programs << "plasma-apply-wallpaperimage";
    const auto backend = MakePlasmaWallpaper(runner);
    backend->setDesktopWallpaper("/srv/plovex/flash.bmp", WallpaperStyle::Tile);
    EXPECT_EQ(runner.calls, QStringList{"plasma-apply-wallpaperimage --fill-mode tile /srv/plovex/flash.bmp"});

    runner.calls.clear();
    runner.answers["plasma-apply-wallpaperimage --fill-mode pad /srv/plovex/flash.bmp"] =
        ScriptedRunner::failed("Unknown option 'fill-mode'.");
    backend->setDesktopWallpaper("/srv/plovex/flash.bmp", WallpaperStyle::Centre);
    EXPECT_EQ(runner.calls, (QStringList{"plasma-apply-wallpaperimage --fill-mode pad /srv/plovex/flash.bmp",
                                         "plasma-apply-wallpaperimage /srv/plovex/flash.bmp"}));

    runner.calls.clear();
    EXPECT_THROW(backend->setDesktopWallpaper("", WallpaperStyle::Stretch), PlovexError);
    EXPECT_TRUE(runner.calls.isEmpty());
}

TEST(PlasmaWallpaper, ReadsThePictureFromItsAppletsFile)
{
    QTemporaryDir dir;
    plovex::testing::ScopedEnv env;
    env.set("XDG_CONFIG_HOME", QFile::encodeName(dir.path()));
    QFile f(dir.path() + "/plasma-org.kde.plasma.desktop-appletsrc");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("[Containments][1][General]\nImage=not this\n\n"
            "[Containments][1][Wallpaper][org.kde.image][General]\nImage=file:///home/me/Pictures/%E5%A2%99.jpg\n");
    f.close();
    ScriptedRunner runner;
    EXPECT_EQ(MakePlasmaWallpaper(runner)->getDesktopWallpaper(), QString::fromUtf8("/home/me/Pictures/墙.jpg"));
}

// Which back end runs, by the desktop's name and by which tools answer.
TEST(ChoosingTheBackend, ByDesktopNameAndTools)
{
    const struct {
        const char* desktop;
        QStringList programs;
        const char* chosen; // nullptr: none, every operation fails
    } cases[] = {
        {"ubuntu:GNOME", {"gsettings"}, "GNOME"},
        {"Budgie:GNOME", {"gsettings"}, "GNOME"},
        {"X-Cinnamon", {"gsettings"}, "Cinnamon"},
        {"XFCE", {"xfconf-query", "gsettings"}, "Xfce"},
        {"KDE", {"plasma-apply-wallpaperimage", "gsettings"}, "KDE Plasma"},
        {"GNOME", {}, nullptr},                 // gsettings missing
        {"XFCE", {"gsettings"}, nullptr},       // named desktop without its tool
        {"sway", {"gsettings"}, nullptr},       // a desktop without a back end
        {"", {"xfconf-query"}, "Xfce"},          // no name: the first that answers
        {"", {"gsettings", "xfconf-query"}, "GNOME"},
        {"", {}, nullptr},
    };
    for (const auto& c : cases) {
        plovex::testing::ScopedEnv env;
        env.set("XDG_CURRENT_DESKTOP", c.desktop);
        ScriptedRunner runner;
        runner.programs = c.programs;
        const auto backend = MakeDesktopWallpaper(runner);
        EXPECT_EQ(backend->available(), c.chosen != nullptr) << c.desktop;
        if (c.chosen) {
            EXPECT_EQ(backend->name(), c.chosen) << c.desktop;
            continue;
        }
        runner.calls.clear();
        EXPECT_THROW(backend->setDesktopWallpaper("/p.bmp", WallpaperStyle::Tile), PlovexError) << c.desktop;
        EXPECT_THROW(backend->getDesktopWallpaper(), PlovexError) << c.desktop;
        EXPECT_THROW(backend->openBackgroundSettings(), PlovexError) << c.desktop;
        EXPECT_TRUE(runner.calls.isEmpty()) << "no back end, yet it ran " << runner.calls.join(", ").toStdString();
    }
}

TEST(ChoosingTheBackend, GsettingsWithoutTheSchemaDoesNotAnswer)
{
    plovex::testing::ScopedEnv env;
    env.set("XDG_CURRENT_DESKTOP", "GNOME");
    ScriptedRunner runner;
    runner.programs << "gsettings";
    runner.answers["gsettings list-keys org.gnome.desktop.background"] = ScriptedRunner::failed("No such schema");
    const auto backend = MakeDesktopWallpaper(runner);
    EXPECT_THROW(backend->setDesktopWallpaper("/p.bmp", WallpaperStyle::Tile), PlovexError);
}

TEST(OpeningTheSettings, StartsEachDesktopsOwnTool)
{
    ScriptedRunner runner;
    MakeGnomeWallpaper(runner)->openBackgroundSettings();
    MakeCinnamonWallpaper(runner)->openBackgroundSettings();
    MakeXfceWallpaper(runner)->openBackgroundSettings();
    MakePlasmaWallpaper(runner)->openBackgroundSettings();
    EXPECT_EQ(runner.detached, (QStringList{"gnome-control-center background", "cinnamon-settings backgrounds",
                                            "xfdesktop-settings", "systemsettings kcm_wallpaper"}));
    EXPECT_TRUE(runner.calls.isEmpty()) << "nothing waited for";
}

TEST(InstalledBackend, OperationsGoToTheInstalledOne)
{
    plovex::testing::FakeWallpaper fake;
    fake.current = "/home/me/sea.jpg";
    SetDesktopWallpaperBackend(&fake);
    EXPECT_EQ(GetDesktopWallpaper(), "/home/me/sea.jpg");
    SetDesktopWallpaper("/srv/flash.bmp", WallpaperStyle::Centre);
    OpenBackgroundSettings();
    fake.failure = "unreachable";
    EXPECT_THROW(SetDesktopWallpaper("/srv/other.bmp", WallpaperStyle::Tile), PlovexError);
    SetDesktopWallpaperBackend(nullptr);
    EXPECT_EQ(fake.log, (QStringList{"get", "set /srv/flash.bmp centre", "settings", "set /srv/other.bmp tile"}));
    EXPECT_EQ(fake.current, "/srv/flash.bmp") << "a failed call changes nothing";
}

} // namespace
