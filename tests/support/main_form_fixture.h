#pragma once

// The real main window, offscreen, with a temporary program folder, a
// temporary folder for the test's own files, dialogs answered from a script
// and desktop services recorded. Suites derive from it and add the ways of
// building the window that they need.

#include "app/main_form.h"
#include "platform/paths.h"
#include "player/shockwave_flash.h"
#include "player/status_panels.h"
#include "support/recording_desktop.h"
#include "support/scripted_prompts.h"
#include "support/swf_fixture.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

namespace plovex::test {

class MainFormFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(programDir.isValid());
        ASSERT_TRUE(workDir.isValid());
        SetProgramFolder(programDir.path());
    }
    void TearDown() override
    {
        form.reset();
        SetProgramFolder(QString());
    }

    QString work(const QString& name) const { return workDir.filePath(name); }

    // Writes a file into the work folder and gives its path.
    QString write(const QString& name, const QByteArray& bytes)
    {
        const QString path = work(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }

    static QByteArray fileBytes(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QString panel(int i) const { return form->StatusBar->panelText(i); }
    TShockwaveFlash& flash() const { return *form->FlashMain; }

    ScriptedPrompts prompts;
    RecordingDesktop desktop;
    QTemporaryDir programDir;
    QTemporaryDir workDir;
    std::unique_ptr<TMFrm> form;
};

} // namespace plovex::test
