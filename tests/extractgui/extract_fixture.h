#pragma once

// The real main window offscreen, answering its dialogs from a script,
// with small movies and projectors written into a temporary folder.

#include "app/main_form.h"
#include "extract/swf_bytes.h"
#include "extract/temp_files.h"
#include "platform/paths.h"
#include "player/shockwave_flash.h"
#include "support/recording_desktop.h"
#include "support/scripted_prompts.h"
#include "support/swf_fixture.h"
#include "swf/writer.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

namespace plovex::test {

class ExtractFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(programDir.isValid());
        ASSERT_TRUE(workDir.isValid());
        SetProgramFolder(programDir.path());
        form = std::make_unique<TMFrm>();
    }
    void TearDown() override
    {
        form.reset();
        SetProgramFolder(QString());
    }

    QString work(const QString& name) const { return workDir.filePath(name); }
    QString write(const QString& name, const QByteArray& bytes)
    {
        const QString path = work(name);
        writeWhole(path, bytes);
        return path;
    }
    QString programFile(const QString& name) const { return programDir.filePath(name); }

    TMFrm& f() { return *form; }

    ScriptedPrompts prompts;
    RecordingDesktop desktop;
    QTemporaryDir programDir;
    QTemporaryDir workDir;
    std::unique_ptr<TMFrm> form;
};

} // namespace plovex::test
