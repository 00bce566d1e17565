#include "player/shockwave_flash.h"

#include "avm1/frame_loop.h"
#include "platform/desktop.h"
#include "platform/errors.h"
#include "audio/render.h"
#include "swf/movie.h"
#include "swf/sound_events.h"

#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstdio>

namespace plovex {

namespace {

struct ScaleName {
    swf::ScaleMode mode;
    const char16_t* name;
};
constexpr ScaleName kScaleNames[] = {
    {swf::ScaleMode::ShowAll, u"ShowAll"},
    {swf::ScaleMode::NoBorder, u"NoBorder"},
    {swf::ScaleMode::ExactFit, u"ExactFit"},
    {swf::ScaleMode::NoScale, u"NoScale"},
};

// Zooming stops at these factors so that the view transform stays finite.
constexpr double kMinZoom = 1.0 / 4096;
constexpr double kMaxZoom = 4096;

} // namespace

FrameSchedule ScheduleFrames(double periodMs, double dueMs, double nowMs)
{
    if (!(periodMs > 0) || nowMs < dueMs)
        return {0, dueMs};
    if (nowMs - dueMs > kMaxLagMs)
        return {1, nowMs + periodMs};
    const int frames = int(std::floor((nowMs - dueMs) / periodMs)) + 1;
    // The due time moves on by whole periods and never starts again from
    // a late tick, so lateness does not build up over a long run.
    return {frames, dueMs + frames * periodMs};
}

TShockwaveFlash::TShockwaveFlash(QWidget* parent)
    : QWidget(parent), audio_(std::make_unique<audio::AudioOutput>())
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setAttribute(Qt::WA_InputMethodEnabled);
    playTimer_.setTimerType(Qt::PreciseTimer);
    playTimer_.setSingleShot(true);
    connect(&playTimer_, &QTimer::timeout, this, Guarded([this] { playClockTick(); }));
}

TShockwaveFlash::~TShockwaveFlash()
{
    if (qgetenv("PLOVEX_STATS") == "1") {
        const QString who = objectName().isEmpty() ? QString() : objectName() + QStringLiteral(": ");
        std::fprintf(stderr, "plovex: %sframes drawn %lld, skipped %lld\n", qPrintable(who),
                     static_cast<long long>(FramesDrawn()), static_cast<long long>(FramesSkipped()));
    }
    // The player goes before the sound it tells.
    player_ = swf::Player();
    audio_->setMovie(nullptr);
}

void TShockwaveFlash::SetAudioForTesting(std::unique_ptr<audio::PlayerAudio> audio)
{
    player_.setAudioEvents(audio.get());
    audio_->setMovie(nullptr);
    audio_ = std::move(audio);
    audio_->setMovie(movie_);
}

void TShockwaveFlash::SetMovie(const QString& path)
{
    setPlaying(false);
    moviePath_ = path;
    requestedFrame_.reset();
    background_.reset();
    if (path.trimmed().isEmpty()) {
        // Releases the movie (the engine holds no file open in any case).
        player_ = swf::Player();
        movie_.reset();
        audio_->setMovie(nullptr);
        loaded_ = false;
        update();
        return;
    }
    std::shared_ptr<const swf::Movie> movie;
    try {
        movie = swf::LoadMovieFile(path);
    } catch (const std::exception&) {
        // A file that cannot be read plays as an empty movie, as any other
        // broken file does.
        movie.reset();
    }
    // The movie before falls silent; the new one's first frame is heard.
    player_ = swf::Player();
    movie_ = movie;
    audio_->setMovie(movie);
    avm1::ScriptOptions scripts;
    scripts.moviePath = path;
    // Pages and mail addresses a movie opens in answer to a click or key.
    scripts.openExternal = [](const QString& url) { desktop().openUrl(QUrl(url)); };
    player_ = movie ? swf::Player(movie, avm1::ScriptedMovies(scripts), audio_.get()) : swf::Player();
    loaded_ = movie != nullptr;
    updateCursor();
    update();
    setPlaying(TotalFrames() > 0);
}

void TShockwaveFlash::SetBGColor(const QString& value)
{
    bgColorText_ = value;
    const QString text = value.trimmed();
    if (text == u"-1" || text.isEmpty()) {
        background_.reset();
    } else if (text.startsWith(u'#')) {
        const QColor c = QColor::fromString(text);
        if (c.isValid())
            background_ = c;
    } else {
        bool ok = false;
        const uint rgb = text.toUInt(&ok, 0);
        if (ok)
            background_ = QColor::fromRgb(rgb & 0xFFFFFF);
    }
    update();
}

QColor TShockwaveFlash::BackgroundColor() const
{
    if (background_)
        return *background_;
    return loaded_ ? player_.backgroundColor() : QColor(Qt::white);
}

void TShockwaveFlash::SetBackgroundColor(const QColor& color)
{
    background_ = color;
    update();
}

int TShockwaveFlash::TotalFrames() const
{
    return loaded_ ? player_.frameCount() : 0;
}

int TShockwaveFlash::FrameNum() const
{
    return requestedFrame_ ? *requestedFrame_ : player_.currentFrame();
}

void TShockwaveFlash::showFrame(int frame)
{
    const int last = std::max(0, TotalFrames() - 1);
    const int real = std::clamp(frame, 0, last);
    const int current = player_.currentFrame();
    if (real == current + 1)
        player_.nextFrame();   // the engine's cheap step
    else if (real != current)
        player_.gotoFrame(real);
    if (frame == real)
        requestedFrame_.reset();
    else
        requestedFrame_ = frame;
    // A stream playing on (a rewind while playing) starts again at the
    // new frame's sound.
    if (playing_ && real != current) {
        audio_->stopStreams();
        playStreamAtFrame();
    }
    update();
}

void TShockwaveFlash::playStreamAtFrame()
{
    if (!movie_)
        return;
    const swf::FrameSounds sounds = swf::FrameSoundEvents(movie_->root, player_.currentFrame());
    if (sounds.stream >= 0)
        audio_->streamBlock(swf::TimelineId{}, sounds.stream, sounds.block);
}

void TShockwaveFlash::SetFrameNum(int frame)
{
    setPlaying(false);
    showFrame(frame);
}

void TShockwaveFlash::Play()
{
    if (TotalFrames() > 0)
        setPlaying(true);
}

void TShockwaveFlash::Stop()
{
    setPlaying(false);
    audio_->stopAll();
}

void TShockwaveFlash::Forward()
{
    setPlaying(false);
    showFrame(std::min(player_.currentFrame() + 1, std::max(0, TotalFrames() - 1)));
}

void TShockwaveFlash::Back()
{
    setPlaying(false);
    showFrame(std::max(player_.currentFrame() - 1, 0));
}

void TShockwaveFlash::Rewind()
{
    showFrame(0);
}

void TShockwaveFlash::Zoom(int percent)
{
    if (percent == 0)
        zoom_ = 1.0;
    else if (percent > 0)
        zoom_ = std::clamp(zoom_ * 100.0 / percent, kMinZoom, kMaxZoom);
    update();
}

void TShockwaveFlash::SetQuality(int quality)
{
    quality_ = quality;
    update();
}

QString TShockwaveFlash::Scale() const
{
    for (const auto& s : kScaleNames)
        if (s.mode == scale_)
            return QString::fromUtf16(s.name);
    return QStringLiteral("ShowAll");
}

void TShockwaveFlash::SetScale(const QString& scale)
{
    for (const auto& s : kScaleNames) {
        if (scale.compare(QString::fromUtf16(s.name), Qt::CaseInsensitive) == 0) {
            scale_ = s.mode;
            zoom_ = 1.0;
            update();
            return;
        }
    }
}

swf::RenderOptions TShockwaveFlash::renderOptions() const
{
    swf::RenderOptions options;
    options.scale = scale_;
    options.zoom = zoom_;
    options.antialias = quality_ != 0 && quality_ != 2;
    options.background = background_;
    return options;
}

void TShockwaveFlash::PaintTo(QPainter& painter) const
{
    const QRect view(QPoint(0, 0), size());
    if (!loaded_) {
        painter.fillRect(view, BackgroundColor());
        return;
    }
    painter.save();
    painter.setClipRect(view);
    player_.render(painter, view, renderOptions());
    // The yellow rectangle around what Tab gave the keyboard to.
    if (const swf::MovieRuntime* rt = player_.scripts()) {
        const QRectF focus = rt->focusRect();
        if (!focus.isEmpty()) {
            painter.setTransform(swf::ViewTransform(player_.info().stageRect, QSizeF(size()), renderOptions()));
            painter.setPen(QPen(Qt::yellow, 3, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
            painter.setBrush(Qt::NoBrush);
            painter.drawRect(focus);
        }
    }
    painter.restore();
}

bool TShockwaveFlash::focusNextPrevChild(bool next)
{
    // While a scripted movie plays, Tab and Shift+Tab are its keys (they
    // move its own focus) instead of moving Qt's focus out of the control.
    if (player_.scripts())
        return false;
    return QWidget::focusNextPrevChild(next);
}

QImage TShockwaveFlash::PaintToImage() const
{
    QImage image(size().expandedTo(QSize(1, 1)), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    PaintTo(painter);
    return image;
}

void TShockwaveFlash::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    PaintTo(painter);
    // Frames the timeline entered since the last repaint: the newest is
    // shown now, the ones before it were never drawn.
    if (framesPending_ > 0) {
        ++framesDrawn_;
        framesSkipped_ += framesPending_ - 1;
        framesPending_ = 0;
    }
}

QPointF TShockwaveFlash::toStage(const QPointF& p) const
{
    const QTransform view = swf::ViewTransform(player_.info().stageRect, QSizeF(size()), renderOptions());
    bool ok = false;
    const QTransform inverse = view.inverted(&ok);
    return ok ? inverse.map(p) : p;
}

void TShockwaveFlash::updateCursor()
{
    swf::MovieRuntime* rt = player_.scripts();
    if (!rt) {
        unsetCursor();
        return;
    }
    setCursor(rt->mouseHidden() ? Qt::BlankCursor : rt->cursor());
}

void TShockwaveFlash::mousePressEvent(QMouseEvent* event)
{
    swf::MovieRuntime* rt = player_.scripts();
    if (!rt || event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    setFocus(Qt::MouseFocusReason);
    const QPointF p = toStage(event->position());
    rt->mouseMove(p.x(), p.y());
    rt->mouseButton(true);
    updateCursor();
    update();
}

void TShockwaveFlash::mouseReleaseEvent(QMouseEvent* event)
{
    swf::MovieRuntime* rt = player_.scripts();
    if (!rt || event->button() != Qt::LeftButton) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    const QPointF p = toStage(event->position());
    rt->mouseMove(p.x(), p.y());
    rt->mouseButton(false);
    updateCursor();
    update();
}

void TShockwaveFlash::mouseMoveEvent(QMouseEvent* event)
{
    swf::MovieRuntime* rt = player_.scripts();
    if (!rt) {
        QWidget::mouseMoveEvent(event);
        return;
    }
    const QPointF p = toStage(event->position());
    rt->mouseMove(p.x(), p.y());
    updateCursor();
    update();
}

namespace {

// The Flash Player's key codes (the Windows virtual keys) for Qt's keys.
int flashKeyCode(int key)
{
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
        return key;   // 65..90
    if (key >= Qt::Key_0 && key <= Qt::Key_9)
        return key;   // 48..57
    switch (key) {
    case Qt::Key_Backspace: return 8;
    case Qt::Key_Tab: case Qt::Key_Backtab: return 9;
    case Qt::Key_Return: case Qt::Key_Enter: return 13;
    case Qt::Key_Shift: return 16;
    case Qt::Key_Control: return 17;
    case Qt::Key_Alt: return 18;
    case Qt::Key_Pause: return 19;
    case Qt::Key_CapsLock: return 20;
    case Qt::Key_Escape: return 27;
    case Qt::Key_Space: return 32;
    case Qt::Key_PageUp: return 33;
    case Qt::Key_PageDown: return 34;
    case Qt::Key_End: return 35;
    case Qt::Key_Home: return 36;
    case Qt::Key_Left: return 37;
    case Qt::Key_Up: return 38;
    case Qt::Key_Right: return 39;
    case Qt::Key_Down: return 40;
    case Qt::Key_Insert: return 45;
    case Qt::Key_Delete: return 46;
    case Qt::Key_Semicolon: case Qt::Key_Colon: return 186;
    case Qt::Key_Equal: case Qt::Key_Plus: return 187;
    case Qt::Key_Comma: case Qt::Key_Less: return 188;
    case Qt::Key_Minus: case Qt::Key_Underscore: return 189;
    case Qt::Key_Period: case Qt::Key_Greater: return 190;
    case Qt::Key_Slash: case Qt::Key_Question: return 191;
    case Qt::Key_QuoteLeft: case Qt::Key_AsciiTilde: return 192;
    case Qt::Key_BracketLeft: case Qt::Key_BraceLeft: return 219;
    case Qt::Key_Backslash: case Qt::Key_Bar: return 220;
    case Qt::Key_BracketRight: case Qt::Key_BraceRight: return 221;
    case Qt::Key_Apostrophe: case Qt::Key_QuoteDbl: return 222;
    default: return 0;
    }
}

} // namespace

bool TShockwaveFlash::forwardKey(QKeyEvent* event, bool down)
{
    swf::MovieRuntime* rt = player_.scripts();
    if (!rt)
        return false;
    const Qt::KeyboardModifiers mods = event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    const int key = event->key();
    // The window's shortcuts and the function keys stay with the window.
    if ((mods && key != Qt::Key_Control && key != Qt::Key_Alt) || (key >= Qt::Key_F1 && key <= Qt::Key_F35))
        return false;
    const int code = flashKeyCode(key);
    const QString text = event->text();
    const int ascii = text.size() == 1 ? text[0].unicode() : 0;
    if (!code && !ascii)
        return false;
    rt->key(down, code, ascii);
    if (down && !text.isEmpty() && text[0].isPrint())
        rt->text(text);
    updateCursor();
    update();
    return true;
}

void TShockwaveFlash::keyPressEvent(QKeyEvent* event)
{
    if (!forwardKey(event, true))
        QWidget::keyPressEvent(event);
}

void TShockwaveFlash::keyReleaseEvent(QKeyEvent* event)
{
    if (!forwardKey(event, false))
        QWidget::keyReleaseEvent(event);
}

void TShockwaveFlash::inputMethodEvent(QInputMethodEvent* event)
{
    // Text composed with the desktop's input method (Chinese, for one).
    if (swf::MovieRuntime* rt = player_.scripts(); rt && !event->commitString().isEmpty()) {
        rt->text(event->commitString());
        update();
    }
    event->accept();
}

double TShockwaveFlash::framePeriod() const
{
    return 1000.0 / audio::PlayedFrameRate(loaded_ ? player_.info().frameRate : 0);
}

int TShockwaveFlash::FrameInterval() const
{
    return std::max(1, int(std::lround(framePeriod())));
}

void TShockwaveFlash::setPlaying(bool playing)
{
    if (playing && !playing_) {
        // The frames are due at multiples of the movie's frame period from
        // now, so that the rate holds on average although the timer only
        // counts whole milliseconds.
        playClock_.start();
        nextFrameDue_ = framePeriod();
        playTimer_.start(FrameInterval());
        playing_ = true;
        playStreamAtFrame();   // the stream sound resumes at the frame's position
    } else if (!playing) {
        playTimer_.stop();
        if (playing_)
            audio_->stopStreams();
    }
    playing_ = playing;
}

void TShockwaveFlash::playClockTick()
{
    PlayClockTickAt(double(playClock_.nsecsElapsed()) / 1e6);
}

void TShockwaveFlash::PlayClockTickAt(double nowMs)
{
    if (!playing_)
        return;
    const double period = framePeriod();
    const FrameSchedule due = ScheduleFrames(period, nextFrameDue_, nowMs);
    // Every due frame is played (its scripts and sounds included); when
    // drawing fell behind, only the newest of them is drawn.
    for (int i = 0; i < due.frames && playing_; ++i)
        PlayTimerTick();
    if (!playing_)
        return;
    nextFrameDue_ = due.nextDueMs;
    playTimer_.start(std::max(0, int(std::ceil(nextFrameDue_ - nowMs))));
}

void TShockwaveFlash::PlayTimerTick()
{
    if (!playing_)
        return;
    const int total = TotalFrames();
    if (total <= 0) {
        setPlaying(false);
        return;
    }
    const int current = player_.currentFrame();
    requestedFrame_.reset();
    // While the root's stream sound plays, the frames follow its clock:
    // several at once when the picture fell behind, none while it is ahead.
    int frames = audio::FramesToAdvance(movie_ ? audio_->rootStreamFrame(movie_->root) : std::nullopt, current);
    if (!loop_)
        frames = std::min(frames, total - 1 - current);
    if (frames > 0) {
        player_.advance(frames);   // as the Flash Player plays: loops at the end, sprites run on
        framesPending_ += frames;
    } else if (current + 1 >= total && !loop_) {
        setPlaying(false);
    }
    update();
}

} // namespace plovex
