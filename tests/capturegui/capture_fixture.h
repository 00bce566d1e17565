#pragma once

// The real main window with a small movie loaded, offscreen, answering its
// dialogs from a script.

#include "support/main_form_fixture.h"
#include "support/qt_printers.h"

#include <QImage>

namespace plovex::test {

class CaptureFixture : public MainFormFixture {
protected:
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

};

} // namespace plovex::test
