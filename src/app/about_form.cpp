#include "app/about_form.h"

#include "app/contact.h"
#include "app/tool_images.h"
#include "app/ui_font.h"
#include "platform/desktop.h"
#include "platform/errors.h"
#include "platform/paths.h"

#include <QFile>
#include <QGuiApplication>
#include <QFileInfo>
#include <QLabel>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QScreen>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

namespace plovex {

namespace {

const QSize kMaxClipSize(256, 256);

// Decodes frames first..last (counted from 1) of a video file.
QList<QImage> decodeFrames(const QString& path, int first, int last, double* rate)
{
    QList<QImage> frames;
    // The clip is decoration: a damaged one plays what it can, silently.
    av_log_set_level(AV_LOG_ERROR);
    AVFormatContext* format = nullptr;
    const QByteArray file = QFile::encodeName(path);
    if (avformat_open_input(&format, file.constData(), nullptr, nullptr) < 0)
        return frames;
    AVCodecContext* codec = nullptr;
    AVFrame* frame = av_frame_alloc();
    AVPacket* packet = av_packet_alloc();
    SwsContext* scaler = nullptr;
    int stream = -1;
    int decoded = 0;

    auto take = [&](AVFrame* f) {
        ++decoded;
        if (decoded < first || decoded > last || f->width <= 0 || f->height <= 0)
            return;
        // Frames are kept no larger than the clip's area needs, whatever
        // size the file claims.
        QSize size(f->width, f->height);
        if (size.width() > kMaxClipSize.width() || size.height() > kMaxClipSize.height())
            size = size.scaled(kMaxClipSize, Qt::KeepAspectRatio);
        if (size.isEmpty())
            return;
        scaler = sws_getCachedContext(scaler, f->width, f->height, AVPixelFormat(f->format), size.width(),
                                      size.height(), AV_PIX_FMT_RGB32, SWS_BILINEAR, nullptr, nullptr, nullptr);
        if (!scaler)
            return;
        QImage image(size, QImage::Format_RGB32);
        if (image.isNull())
            return;
        uint8_t* dst[4] = {image.bits(), nullptr, nullptr, nullptr};
        int dstStride[4] = {int(image.bytesPerLine()), 0, 0, 0};
        sws_scale(scaler, f->data, f->linesize, 0, f->height, dst, dstStride);
        frames << image;
    };

    if (avformat_find_stream_info(format, nullptr) >= 0) {
        stream = av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    }
    if (stream >= 0) {
        const AVStream* s = format->streams[stream];
        const AVCodec* decoder = avcodec_find_decoder(s->codecpar->codec_id);
        codec = decoder ? avcodec_alloc_context3(decoder) : nullptr;
        if (codec && avcodec_parameters_to_context(codec, s->codecpar) >= 0
            && avcodec_open2(codec, decoder, nullptr) >= 0) {
            const AVRational r = s->avg_frame_rate.num ? s->avg_frame_rate : s->r_frame_rate;
            if (rate && r.num > 0 && r.den > 0)
                *rate = av_q2d(r);
            while (decoded < last && av_read_frame(format, packet) >= 0) {
                if (packet->stream_index == stream && avcodec_send_packet(codec, packet) >= 0) {
                    while (decoded < last && avcodec_receive_frame(codec, frame) >= 0)
                        take(frame);
                }
                av_packet_unref(packet);
            }
            avcodec_send_packet(codec, nullptr);
            while (decoded < last && avcodec_receive_frame(codec, frame) >= 0)
                take(frame);
        }
    }
    sws_freeContext(scaler);
    av_packet_free(&packet);
    av_frame_free(&frame);
    avcodec_free_context(&codec);
    avformat_close_input(&format);
    return frames;
}

} // namespace

TClipPlayer::TClipPlayer(QLabel* target, QObject* parent)
    : QObject(parent), target_(target)
{
    connect(&timer_, &QTimer::timeout, this, Guarded([this] { showNext(); }));
}

bool TClipPlayer::open(const QString& path, int first, int last)
{
    stop();
    frames_.clear();
    shown_ = -1;
    if (!QFileInfo(path).isFile())
        return false;
    double rate = 15;
    frames_ = decodeFrames(path, first, last, &rate);
    if (!(rate > 0) || rate > 100)
        rate = 15;
    timer_.setInterval(std::max(10, int(1000 / rate)));
    return !frames_.isEmpty();
}

void TClipPlayer::play()
{
    if (frames_.isEmpty())
        return;
    showNext();
    timer_.start();
}

void TClipPlayer::stop()
{
    timer_.stop();
}

void TClipPlayer::showNext()
{
    if (frames_.isEmpty())
        return;
    shown_ = (shown_ + 1) % int(frames_.size());
    target_->setPixmap(QPixmap::fromImage(frames_[shown_]).scaled(target_->size(), Qt::KeepAspectRatio,
                                                                   Qt::SmoothTransformation));
}

TAboutFrm::TAboutFrm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("AboutFrm"));
    setWindowTitle(QStringLiteral("关于"));
    setFixedSize(351, 192);
    setFont(UiFont(12));
    setAutoFillBackground(true);

    Look = new TToolWindowLook(this, 351, 351 - 17);
    Image1 = Look->titleStrip();
    Image2 = Look->closePicture();
    auto* title = new QLabel(QStringLiteral("关于 Plovex"), this);
    title->setObjectName(QStringLiteral("Label4"));
    title->setGeometry(5, 1, 200, 16);
    title->setStyleSheet(QStringLiteral("color: white;"));
    title->setAttribute(Qt::WA_TransparentForMouseEvents);

    Image3 = new QLabel(this);
    Image3->setObjectName(QStringLiteral("Image3"));
    Image3->setGeometry(14, 28, 32, 32);
    Image3->setPixmap(AboutIconPicture());
    Image3->setCursor(Qt::PointingHandCursor);
    Image3->setToolTip(kContactMail);
    Image3->installEventFilter(this);

    auto label = [this](const char* name, const QString& text, const QRect& geometry, bool red) {
        auto* l = new QLabel(text, this);
        l->setObjectName(QString::fromLatin1(name));
        l->setGeometry(geometry);
        if (red)
            l->setStyleSheet(QStringLiteral("color: red;"));
        return l;
    };
    label("Label1", QStringLiteral("软件名："), QRect(64, 26, 60, 16), false);
    label("Label2", QStringLiteral("Plovex"), QRect(124, 26, 120, 16), true);
    label("Label3", QStringLiteral("版本：   3.0"), QRect(64, 46, 160, 16), true);

    Animation = new QLabel(this);
    Animation->setObjectName(QStringLiteral("Animate1"));
    Animation->setGeometry(6, 70, 56, 56);
    Animation->setAlignment(Qt::AlignCenter);
    Animate1 = new TClipPlayer(Animation, this);

    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setGeometry(64, 68, 281, 118);
    Memo1->setReadOnly(true);
    Memo1->setFont(UiFont(12));
    Memo1->setFrameShape(QFrame::NoFrame);
    Memo1->setPlainText(QStringLiteral("尊敬的用户：\n"
                                       "    您好，感谢您能使用Plovex。欢迎您能来信\n"
                                       "对本软件提出好的建议。如果觉得好用，请推荐给\n"
                                       "您的朋友。\n"
                                       "\n")
                        + kContactMail);
}

void TAboutFrm::FormActivate()
{
    Look->applyBackground({Memo1});
    if (!Animate1->playing()) {
        if (Animate1->open(ProgramFolder() + QStringLiteral("cool.avi"), 1, 13))
            Animate1->play();
    }
}

void TAboutFrm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    try {
        FormActivate();
    } catch (...) {
        ReportCurrentException();
    }
}

void TAboutFrm::changeEvent(QEvent* event)
{
    QDialog::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
        try {
            FormActivate();
        } catch (...) {
            ReportCurrentException();
        }
    }
}

void TAboutFrm::hideEvent(QHideEvent* event)
{
    Animate1->stop();
    QDialog::hideEvent(event);
}

bool TAboutFrm::eventFilter(QObject* watched, QEvent* event)
{
    try {
        if (watched == Image3 && event->type() == QEvent::MouseButtonRelease) {
            desktop().openUrl(QUrl(QStringLiteral("mailto:") + kContactMail));
            return true;
        }
    } catch (...) {
        ReportCurrentException();
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace plovex
