#pragma once

#include "audio/output.h"
#include "swf/player.h"

#include <QColor>
#include <QElapsedTimer>
#include <QImage>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <memory>
#include <optional>

class QPainter;

namespace plovex {

// The player control: a widget that offers the operations of the Flash
// control under their names, over the program's own engine.
//
// FrameNum counts from 0. Setting it shows exactly that frame, also
// backwards; a value past either end is kept as set and read back, while
// the picture shows the nearest real frame. While Playing, the movie
// advances at its own frame rate and loops or stops at its end by Loop.
// Every loaded movie starts playing by itself.
class TShockwaveFlash : public QWidget {
    Q_OBJECT

public:
    explicit TShockwaveFlash(QWidget* parent = nullptr);
    ~TShockwaveFlash() override;

    // The path last set. Setting a path loads the movie (the engine reads
    // the file whole and closes it at once) and starts it; a missing or
    // broken file plays as an empty movie. " " (or an empty text) unloads
    // the movie.
    QString Movie() const { return moviePath_; }
    void SetMovie(const QString& path);

    // "-1": the movie's own background; "#RRGGBB" or a decimal 0xRRGGBB
    // value: that colour. Read back as set.
    QString BGColor() const { return bgColorText_; }
    void SetBGColor(const QString& value);

    // The background in force: the colour set last, else the movie's own.
    // A colour set here holds until the next movie is loaded.
    QColor BackgroundColor() const;
    void SetBackgroundColor(const QColor& color);

    int TotalFrames() const;         // 0 without a movie
    int FrameNum() const;
    void SetFrameNum(int frame);     // shows that frame and halts the movie
    bool Playing() const { return playing_; }

    void Play();
    void Stop();
    void Forward();                  // one frame on (not past the last) and halt
    void Back();                     // one frame back (not before 0) and halt
    void Rewind();                   // to frame 0; a playing movie plays on from there

    // p > 0 multiplies the view's scale by 100 / p around the view's centre
    // (60 zooms in, 170 zooms out), cumulative; 0 returns to the whole movie.
    void Zoom(int percent);
    double ZoomFactor() const { return zoom_; }

    // 0 low (no antialiasing), 1 high, 2 auto-low, 3 auto-high; the low
    // kinds draw without antialiasing.
    int Quality() const { return quality_; }
    void SetQuality(int quality);

    bool Loop() const { return loop_; }
    void SetLoop(bool loop) { loop_ = loop; }

    // "ShowAll", "NoBorder", "ExactFit", "NoScale" (letter case ignored);
    // setting it also undoes the zoom. Other texts are ignored.
    QString Scale() const;
    void SetScale(const QString& scale);

    // Draws exactly what the widget shows at 0, 0 in its own size.
    void PaintTo(QPainter& painter) const;
    // The same as a new image of the widget's size.
    QImage PaintToImage() const;

    // One step of the play timer; the timer calls it at the movie's rate.
    void PlayTimerTick();
    // The play timer's interval for the loaded movie, in milliseconds.
    int FrameInterval() const;
    bool PlayTimerActive() const { return playTimer_.isActive(); }
    // The play clock's tick at `nowMs` milliseconds after play started:
    // runs every frame that is due by then and asks for one repaint. The
    // timer calls it with the clock's time; tests call it directly.
    void PlayClockTickAt(double nowMs);
    // Frames of play shown by a repaint, and frames the timeline passed
    // that no repaint showed (so far) because drawing fell behind; printed
    // when the control goes if PLOVEX_STATS=1.
    qint64 FramesDrawn() const { return framesDrawn_; }
    qint64 FramesSkipped() const { return framesSkipped_ + framesPending_; }

    // The movie's scripts, when it has any and they run (for tests).
    swf::MovieRuntime* Scripts() const { return player_.scripts(); }
    // The sound the control plays through; tests put a recording one in.
    // Stepping, going to a frame and the fixed rates play no sound; Play
    // starts the stream sound at the frame's position, Stop silences
    // everything. While the root timeline's stream sound plays, the play
    // timer follows the sound's clock.
    void SetAudioForTesting(std::unique_ptr<audio::PlayerAudio> audio);

protected:
    void paintEvent(QPaintEvent* event) override;
    // The left button, moves, keys and typed text go to the movie; the
    // right button stays with the context menu and shortcuts with Ctrl or
    // Alt, and the function keys, stay with the main window.
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    bool focusNextPrevChild(bool next) override;

private:
    swf::RenderOptions renderOptions() const;
    QPointF toStage(const QPointF& widgetPoint) const;
    void updateCursor();
    bool forwardKey(QKeyEvent* event, bool down);
    void setPlaying(bool playing);
    void playClockTick();
    double framePeriod() const;   // milliseconds
    void showFrame(int frame);
    void playStreamAtFrame();

    std::unique_ptr<audio::PlayerAudio> audio_;
    std::shared_ptr<const swf::Movie> movie_;
    swf::Player player_;
    bool loaded_ = false;
    QString moviePath_;
    QString bgColorText_;
    std::optional<QColor> background_;     // overrides the movie's own until the next load
    std::optional<int> requestedFrame_;    // a FrameNum set past either end
    swf::ScaleMode scale_ = swf::ScaleMode::ShowAll;
    double zoom_ = 1.0;
    int quality_ = 1;
    bool loop_ = true;
    bool playing_ = false;
    QTimer playTimer_;
    QElapsedTimer playClock_;
    double nextFrameDue_ = 0;     // milliseconds on playClock_
    qint64 framesDrawn_ = 0, framesSkipped_ = 0;
    qint64 framesPending_ = 0;     // frames the timeline entered since the last repaint
};

// The play clock's arithmetic: frames are due at whole multiples of the
// movie's period from the start, so the rate holds over any length of time
// whatever the timer's whole milliseconds and late ticks. At `nowMs`, with
// the next frame due at `dueMs`, `frames` frames are due (0 when early) and
// the next one after them at `nextDueMs`. Further behind than `kMaxLagMs`
// (the machine slept, a script ran long) the clock starts again from now
// with one frame, rather than racing through the missed ones.
struct FrameSchedule {
    int frames = 0;
    double nextDueMs = 0;
};
inline constexpr double kMaxLagMs = 1000;
FrameSchedule ScheduleFrames(double periodMs, double dueMs, double nowMs);

} // namespace plovex
