// The two association commands of the File menu, on desktop entries in
// temporary XDG folders.

#include "sources/form_fixture.h"

#include "platform/association.h"
#include "platform/xdg.h"

#include <QAction>

using namespace plovex;
using plovex::test::SourcesFormTest;

namespace {

class AssociationTest : public SourcesFormTest {
protected:
    void SetUp() override
    {
        SourcesFormTest::SetUp();
        ASSERT_TRUE(xdg.isValid());
        env.set("XDG_DATA_HOME", QFile::encodeName(xdg.filePath(QStringLiteral("data"))));
        env.set("XDG_CONFIG_HOME", QFile::encodeName(xdg.filePath(QStringLiteral("config"))));
    }
    static QString read(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }
    QTemporaryDir xdg;
};

TEST_F(AssociationTest, AssociateAndUndoWithoutAskingOrReporting)
{
    TMFrm& f = make();
    EXPECT_FALSE(f.mnuFileSwf->isEnabled());   // reachable once a movie was opened
    f.EnableCommands(true);
    f.mnuFileSwf->trigger();
    const QString entry = read(XdgFileAssociation::desktopEntryPath());
    EXPECT_TRUE(entry.contains(DesktopExecValue(RunningExecutable()))) << entry.toStdString();
    const QString mimeApps = read(XdgFileAssociation::mimeAppsPath());
    EXPECT_TRUE(mimeApps.contains(QStringLiteral("application/x-shockwave-flash=plovex.desktop"))) << mimeApps.toStdString();

    // Twice writes the same again.
    f.mnuFileSwf->trigger();
    EXPECT_EQ(read(XdgFileAssociation::desktopEntryPath()), entry);
    EXPECT_EQ(read(XdgFileAssociation::mimeAppsPath()), mimeApps);

    f.mnuFileDeSwf->trigger();
    EXPECT_FALSE(read(XdgFileAssociation::mimeAppsPath()).contains(QStringLiteral("plovex.desktop")));
    EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(AssociationTest, AFolderThatCannotBeWrittenIsReported)
{
    const QString blocker = writeFile(xdg.filePath(QStringLiteral("plain")), "x");
    env.set("XDG_DATA_HOME", QFile::encodeName(blocker + QStringLiteral("/data")));
    env.set("XDG_CONFIG_HOME", QFile::encodeName(blocker + QStringLiteral("/config")));
    TMFrm& f = make();
    f.EnableCommands(true);
    f.mnuFileSwf->trigger();
    ASSERT_EQ(prompts.errors().size(), 1);
    EXPECT_TRUE(prompts.errors()[0].startsWith(QStringLiteral("Failed to set data for '"))) << prompts.errors()[0].toStdString();
}

} // namespace
