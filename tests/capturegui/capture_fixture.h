#pragma once

// The real main window with a small movie loaded, offscreen, answering its
// dialogs from a script.

#include "app/main_form.h"
#include "platform/paths.h"
#include "player/shockwave_flash.h"
#include "support/qt_printers.h"
#include "support/recording_desktop.h"
#include "support/scripted_prompts.h"
#include "support/swf_fixture.h"

#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

namespace plovex::test {

class CaptureFixture : public ::testing::Test {
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

    QString write(const QString& name, const QByteArray& bytes)
    {
        const QString path = work(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }

    // The main window, its player 320 x 240, with a movie of `frames`
    // frames playing.
    TMFrm& makeWithMovie(int frames = 10)
    {
        form = std::make_unique<TMFrm>();
        form->OpenMovie(write(QStringLiteral("movie.swf"), MovingSquareSwf(frames)));
        setPlayerSize(QSize(320, 240));
        return *form;
    }

    void setPlayerSize(const QSize& size) { form->FlashMain->setGeometry(QRect(QPoint(0, 0), size)); }

    static QByteArray fileBytes(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    ScriptedPrompts prompts;
    RecordingDesktop desktop;
    QTemporaryDir programDir;
    QTemporaryDir workDir;
    std::unique_ptr<TMFrm> form;
};

} // namespace plovex::test
