#pragma once

#include <QDialog>
#include <QImage>
#include <QList>
#include <QTimer>

class QLabel;
class QPlainTextEdit;

namespace plovex {

class TToolWindowLook;

// Plays the first frames of a video clip over and over in a label.
class TClipPlayer final : public QObject {
    Q_OBJECT
public:
    explicit TClipPlayer(QLabel* target, QObject* parent = nullptr);
    // Loads frames first..last (counted from 1) of the clip; false when the
    // file is missing or cannot be decoded, and then nothing plays.
    bool open(const QString& path, int first, int last);
    void play();
    void stop();
    bool playing() const { return timer_.isActive(); }
    int frameCount() const { return int(frames_.size()); }
    int shownFrame() const { return shown_; }
    // Shows the next frame, after the last the first again: one timer tick.
    void showNext();

private:

    QLabel* target_;
    QList<QImage> frames_;
    QTimer timer_;
    int shown_ = -1;
};

// The About box: borderless, 351 x 192, with a title strip that drags it.
class TAboutFrm final : public QDialog {
    Q_OBJECT
public:
    explicit TAboutFrm(QWidget* parent = nullptr);

    TToolWindowLook* Look = nullptr; // title strip, close picture, background
    TClipPlayer* Animate1 = nullptr;
    QLabel* Image1 = nullptr;      // the title strip
    QLabel* Image2 = nullptr;      // the close picture
    QLabel* Image3 = nullptr;      // the icon picture (opens the mail client)
    QLabel* Animation = nullptr;   // the clip's area
    QPlainTextEdit* Memo1 = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void FormActivate();
};

} // namespace plovex
