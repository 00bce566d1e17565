#pragma once

// The real main window with a movie loaded, scripted prompts and a
// temporary program folder, for the playback suites.

#include "support/main_form_fixture.h"

#include <QAction>
#include <QMenu>

namespace plovex::test {

class PlaybackTest : public MainFormFixture {
protected:
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
