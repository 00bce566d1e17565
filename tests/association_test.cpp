#include "platform/association.h"

#include "platform/errors.h"
#include "platform/xdg.h"
#include "support/scoped_env.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace plovex;

namespace {

QString readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QStringLiteral("<missing>");
}

void writeAll(const QString& path, const QString& text)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text.toUtf8());
}

class AssociationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        env.set("XDG_DATA_HOME", QFile::encodeName(dataHome()));
        env.set("XDG_CONFIG_HOME", QFile::encodeName(configHome()));
    }
    QString dataHome() const { return dir.path() + "/data"; }
    QString configHome() const { return dir.path() + "/config"; }
    QString entryPath() const { return dataHome() + "/applications/plovex.desktop"; }
    QString listPath() const { return configHome() + "/mimeapps.list"; }

    QTemporaryDir dir;
    plovex::testing::ScopedEnv env;
    XdgFileAssociation association;
};

const QString kExe = QStringLiteral("/opt/plovex/bin/plovex");

const QString kUsersList = QStringLiteral(
    "[Added Associations]\n"
    "text/plain=org.gnome.gedit.desktop;\n"
    "\n"
    "[Default Applications]\n"
    "image/png=org.gnome.eog.desktop;\n"
    "application/x-shockwave-flash=lightspark.desktop;\n"
    "# a comment the user wrote\n"
    "\n"
    "[Removed Associations]\n"
    "video/mp4=totem.desktop;\n");

TEST(DesktopExec, QuotesAndEscapesWhereTheFormatRequires)
{
    const struct {
        const char* exe;
        const char* exec;
    } cases[] = {
        {"/opt/plovex/bin/plovex", "/opt/plovex/bin/plovex %f"},
        {"/home/me/My Apps/plovex", "\"/home/me/My Apps/plovex\" %f"},
        {"/home/me/100%/plovex", "/home/me/100%%/plovex %f"},
        {"/home/me/a$b/plovex", "\"/home/me/a\\\\$b/plovex\" %f"},
        {"/home/me/say \"hi\"/plovex", "\"/home/me/say \\\\\"hi\\\\\"/plovex\" %f"},
        {"/home/me/back\\slash/plovex", "\"/home/me/back\\\\\\\\slash/plovex\" %f"},
        {"/home/用户/plovex", "/home/用户/plovex %f"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DesktopExecValue(QString::fromUtf8(c.exe)), QString::fromUtf8(c.exec)) << c.exe;
}

TEST_F(AssociationTest, WritesADesktopEntryNamingTheExecutable)
{
    association.associate(kExe);
    const QStringList lines = readAll(entryPath()).split(u'\n');
    EXPECT_EQ(lines.first(), "[Desktop Entry]");
    EXPECT_TRUE(lines.contains("Type=Application"));
    EXPECT_TRUE(lines.contains("Name=Plovex"));
    EXPECT_TRUE(lines.contains("Exec=/opt/plovex/bin/plovex %f"));
    EXPECT_TRUE(lines.contains("MimeType=application/x-shockwave-flash;application/vnd.adobe.flash.movie;"));
    EXPECT_EQ(lines.filter(QStringLiteral("Exec=")).size(), 1);
}

// Debian's validator accepts the entry, also for a path that needs quoting.
TEST_F(AssociationTest, DesktopEntryPassesTheValidator)
{
    if (QStandardPaths::findExecutable("desktop-file-validate").isEmpty())
        GTEST_SKIP() << "desktop-file-validate is not installed";
    for (const char* exe : {"/opt/plovex/bin/plovex", "/home/me/say \"hi\" $HOME 100%/plovex"}) {
        association.associate(QString::fromUtf8(exe));
        QProcess p;
        p.start("desktop-file-validate", {entryPath()});
        ASSERT_TRUE(p.waitForFinished(30000));
        EXPECT_EQ(p.exitCode(), 0) << exe << ": " << p.readAllStandardOutput().toStdString();
        EXPECT_EQ(p.readAllStandardOutput(), "") << exe;
    }
}

TEST_F(AssociationTest, MakesPlovexTheDefaultAndTakesOnlyThatBack)
{
    writeAll(listPath(), kUsersList);
    association.associate(kExe);
    EXPECT_EQ(readAll(listPath()),
              "[Added Associations]\n"
              "text/plain=org.gnome.gedit.desktop;\n"
              "\n"
              "[Default Applications]\n"
              "image/png=org.gnome.eog.desktop;\n"
              "application/x-shockwave-flash=plovex.desktop;lightspark.desktop;\n"
              "# a comment the user wrote\n"
              "application/vnd.adobe.flash.movie=plovex.desktop;\n"
              "\n"
              "[Removed Associations]\n"
              "video/mp4=totem.desktop;\n");
    association.dissociate();
    EXPECT_EQ(readAll(listPath()), kUsersList);
    // Left behind, an entry declaring the movie types would still be picked
    // for movies by file managers.
    EXPECT_FALSE(QFile::exists(entryPath()));
}

TEST_F(AssociationTest, AssociatingTwiceChangesNothing)
{
    writeAll(listPath(), kUsersList);
    association.associate(kExe);
    const QString list = readAll(listPath());
    const QString entry = readAll(entryPath());
    const QDateTime written = QFileInfo(listPath()).lastModified();
    association.associate(kExe);
    EXPECT_EQ(readAll(listPath()), list);
    EXPECT_EQ(readAll(entryPath()), entry);
    EXPECT_EQ(QFileInfo(listPath()).lastModified(), written) << "not even rewritten";
    association.dissociate();
    association.dissociate();
    EXPECT_EQ(readAll(listPath()), kUsersList);
}

TEST_F(AssociationTest, CreatesTheListWhenThereIsNone)
{
    association.associate(kExe);
    EXPECT_EQ(readAll(listPath()),
              "[Default Applications]\n"
              "application/x-shockwave-flash=plovex.desktop;\n"
              "application/vnd.adobe.flash.movie=plovex.desktop;\n");
    association.dissociate();
    EXPECT_EQ(readAll(listPath()), "[Default Applications]\n");
}

TEST_F(AssociationTest, AfterTheExecutableMovesTheEntryNamesTheNewPath)
{
    association.associate(kExe);
    association.associate("/usr/local/bin/plovex");
    EXPECT_TRUE(readAll(entryPath()).contains("\nExec=/usr/local/bin/plovex %f\n"));
}

TEST_F(AssociationTest, DissociatingWithoutAListWritesNothing)
{
    association.dissociate();
    EXPECT_FALSE(QFile::exists(listPath()));
}

TEST_F(AssociationTest, AFileThatCannotBeWrittenRaisesTheError)
{
    // A folder cannot be made below a plain file.
    writeAll(dir.path() + "/blocker", "x");
    env.set("XDG_CONFIG_HOME", QFile::encodeName(dir.path() + "/blocker/config"));
    try {
        association.associate(kExe);
        FAIL() << "no error";
    } catch (const PlovexError& e) {
        EXPECT_EQ(e.text(), QStringLiteral("Failed to set data for '%1'").arg(dir.path() + "/blocker/config/mimeapps.list"));
    }
}

TEST_F(AssociationTest, KeepsALinkedListALink)
{
    writeAll(dir.path() + "/dotfiles/mimeapps.list", kUsersList);
    QDir().mkpath(configHome());
    ASSERT_TRUE(QFile::link(dir.path() + "/dotfiles/mimeapps.list", listPath()));
    association.associate(kExe);
    EXPECT_TRUE(QFileInfo(listPath()).isSymLink());
    EXPECT_TRUE(readAll(dir.path() + "/dotfiles/mimeapps.list").contains("=plovex.desktop;lightspark.desktop;"));
}

// The desktop's own tool reads what we wrote: xdg-mime names our entry.
TEST_F(AssociationTest, XdgMimeReportsPlovexAsTheDefault)
{
    if (QStandardPaths::findExecutable("xdg-mime").isEmpty())
        GTEST_SKIP() << "xdg-mime is not installed";
    writeAll(listPath(), kUsersList);
    // xdg-mime only names entries whose program exists: use this test's own.
    association.associate(RunningExecutable());

    QProcessEnvironment pe = QProcessEnvironment::systemEnvironment();
    // A generic desktop, so that xdg-mime reads the lists itself.
    for (const char* name : {"XDG_CURRENT_DESKTOP", "KDE_FULL_SESSION", "KDE_SESSION_VERSION", "GNOME_DESKTOP_SESSION_ID",
                             "MATE_DESKTOP_SESSION_ID", "DESKTOP_SESSION", "DISPLAY", "WAYLAND_DISPLAY",
                             "DBUS_SESSION_BUS_ADDRESS"})
        pe.remove(name);
    pe.insert("XDG_DATA_HOME", dataHome());
    pe.insert("XDG_CONFIG_HOME", configHome());
    pe.insert("XDG_CONFIG_DIRS", dir.path() + "/no-system-config");
    pe.insert("XDG_DATA_DIRS", dir.path() + "/no-system-data");
    auto query = [&](const char* type) {
        QProcess p;
        p.setProcessEnvironment(pe);
        p.start("xdg-mime", {"query", "default", type});
        EXPECT_TRUE(p.waitForFinished(30000));
        return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
    };
    EXPECT_EQ(query("application/x-shockwave-flash"), "plovex.desktop");
    EXPECT_EQ(query("application/vnd.adobe.flash.movie"), "plovex.desktop");
    association.dissociate();
    EXPECT_NE(query("application/x-shockwave-flash"), "plovex.desktop");
}

} // namespace
