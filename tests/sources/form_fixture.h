#pragma once

// The main window built for the movie-source tests: its program folder (and
// so FileList.ini) in a temporary folder, the browser cache in another, the
// scripted prompts and a recording desktop installed.

#include "app/main_form.h"
#include "platform/paths.h"
#include "platform/profile.h"
#include "sources/list_box.h"
#include "support/recording_desktop.h"
#include "support/scoped_env.h"
#include "support/scripted_prompts.h"
#include "support/swf_fixture.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>

namespace plovex::test {

class SourcesFormTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(programDir.isValid());
        ASSERT_TRUE(movieDir.isValid());
        ASSERT_TRUE(cacheDir.isValid());
        SetProgramFolder(programDir.path());
        env.set("XDG_CACHE_HOME", QFile::encodeName(cacheDir.path()));
    }
    void TearDown() override
    {
        form.reset();
        SetProgramFolder(QString());
    }

    TMFrm& make(const QString& argument = {})
    {
        form.reset();
        form = std::make_unique<TMFrm>(argument);
        return *form;
    }
    // Closes the window as the user does; true when it closed.
    bool closeForm()
    {
        form->show();
        return form->close();
    }

    static QString writeFile(const QString& path, const QByteArray& bytes)
    {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
        file.write(bytes);
        return path;
    }
    QString movie(const QString& name, int frames = 3) { return writeFile(movieDir.filePath(name), MovingSquareSwf(frames)); }
    QString settingsPath() const { return ProgramFolder() + QStringLiteral("FileList.ini"); }
    ProfileFile ini() const { return ProfileFile(settingsPath()); }

    static QStringList entries(const TListBox* list) { return list->entries(); }

    ScriptedPrompts prompts;
    RecordingDesktop desktop;
    testing::ScopedEnv env;
    QTemporaryDir programDir;
    QTemporaryDir movieDir;
    QTemporaryDir cacheDir;
    std::unique_ptr<TMFrm> form;
};

} // namespace plovex::test
