#pragma once

// The real main window with a movie loaded, scripted prompts and a
// temporary program folder, for the playback suites.

#include "app/main_form.h"
#include "platform/paths.h"
#include "player/shockwave_flash.h"
#include "player/status_panels.h"
#include "support/recording_desktop.h"
#include "support/scripted_prompts.h"
#include "support/swf_fixture.h"

#include <QAction>
#include <QFile>
#include <QMenu>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace plovex::test {

class PlaybackTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(programDir.isValid());
        ASSERT_TRUE(movieDir.isValid());
        SetProgramFolder(programDir.path());
    }
    void TearDown() override
    {
        form.reset();
        SetProgramFolder(QString());
    }
    QString write(const QString& name, const QByteArray& bytes)
    {
        const QString path = movieDir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }
    QString movie(int frames, const QString& name = QStringLiteral("m.swf"))
    {
        return write(name, MovingSquareSwf(frames));
    }
    // The main window with a movie of `frames` frames open.
    TMFrm& make(int frames = 10)
    {
        form = std::make_unique<TMFrm>();
        if (frames > 0)
            form->OpenMovie(movie(frames));
        return *form;
    }
    QString panel(int i) const { return form->StatusBar->panelText(i); }
    TShockwaveFlash& flash() const { return *form->FlashMain; }

    ScriptedPrompts prompts;
    RecordingDesktop desktop;
    QTemporaryDir programDir;
    QTemporaryDir movieDir;
    std::unique_ptr<TMFrm> form;
};

// The play/pause marks of the three sets, as one comparable value.
struct PlayMarks {
    bool playMain, stopMain, playPopup, stopPopup, playTB, stopTB;
    bool operator==(const PlayMarks&) const = default;
};

inline PlayMarks playMarks(const TMFrm& f)
{
    return {f.mnuControlPlyNN->menuAction()->isChecked(), f.mnuControlStopN->isChecked(),
            f.PlyP->menuAction()->isChecked(), f.StopP->isChecked(),
            f.PlyTB->isChecked(), f.StopTB->isChecked()};
}

inline std::ostream& operator<<(std::ostream& os, const PlayMarks& m)
{
    return os << "main " << m.playMain << m.stopMain << " popup " << m.playPopup << m.stopPopup
              << " toolbar " << m.playTB << m.stopTB;
}

} // namespace plovex::test
