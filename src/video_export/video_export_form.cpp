#include "video_export/video_export_form.h"

#include "avm1/frame_loop.h"
#include "platform/errors.h"
#include "platform/prompts.h"
#include "platform/safefile.h"
#include "swf/movie.h"
#include "swf/movie_file.h"
#include "video_export/movie_video.h"
#include "widgets/tool_window.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QRadioButton>
#include <QSpinBox>
#include <QToolButton>

#include <cmath>

namespace plovex {

const QString kVideoSaveFilter = QStringLiteral(
    "MP4视频(*.mp4)|*.mp4|WebM视频(*.webm)|*.webm|MKV视频(*.mkv)|*.mkv|GIF动画(*.gif)|*.gif");

namespace {

// The format box's entries, in the order of the save dialog's filter.
constexpr video::VideoFormat kFormats[] = {video::VideoFormat::Mp4, video::VideoFormat::Webm,
                                           video::VideoFormat::Mkv, video::VideoFormat::Gif};

QFont dialogFont()
{
    QFont font;
    font.setPixelSize(12);
    return font;
}

template <class W>
W* place(W* w, const char* name, const QRect& at)
{
    w->setObjectName(QString::fromLatin1(name));
    w->setFont(dialogFont());
    w->setGeometry(at);
    return w;
}

QLabel* label(QWidget* parent, const char* name, const QString& text, const QRect& at)
{
    return place(new QLabel(text, parent), name, at);
}

QToolButton* flatButton(QWidget* parent, const char* name, const QString& text, const QRect& at)
{
    auto* b = place(new QToolButton(parent), name, at);
    b->setText(text);
    b->setAutoRaise(true);
    b->setToolButtonStyle(Qt::ToolButtonTextOnly);
    b->setFocusPolicy(Qt::StrongFocus);
    return b;
}

QSpinBox* spin(QWidget* parent, const char* name, const QRect& at, int min, int max)
{
    auto* s = place(new QSpinBox(parent), name, at);
    s->setRange(min, max);
    return s;
}

// The strip across the top with its title on it.
QLabel* titleOn(TToolWindowLook* look, QWidget* window, const QString& title)
{
    look->titleStrip()->lower();
    look->closePicture()->raise();
    QLabel* l = label(window, "TitleLabel", title, QRect(5, 0, 200, TToolWindowLook::kStripHeight));
    l->setStyleSheet(QStringLiteral("color: white; background: transparent;"));
    l->setAttribute(Qt::WA_TransparentForMouseEvents);   // the strip under it drags the window
    return l;
}

QString clock(double seconds)
{
    const qint64 s = qint64(std::llround(std::max(0.0, seconds)));
    return QStringLiteral("%1:%2").arg(s / 60).arg(s % 60, 2, 10, QLatin1Char('0'));
}

} // namespace

// ---- progress window

TVideoProgressFrm::TVideoProgressFrm(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("VideoProgressFrm"));
    setWindowTitle(QStringLiteral("正在导出视频"));
    setFixedSize(kClientWidth, kClientHeight);
    Look = new TToolWindowLook(this, kClientWidth, kClientWidth - 17);
    TitleLabel = titleOn(Look, this, QStringLiteral("正在导出视频"));
    StateLabel = label(this, "StateLabel", QString(), QRect(10, 24, kClientWidth - 20, 18));
    ProgressBar = place(new QProgressBar(this), "ProgressBar", QRect(10, 44, kClientWidth - 20, 16));
    ProgressBar->setRange(0, 1000);
    CancelButton = flatButton(this, "CancelButton", QStringLiteral("取消"), QRect((kClientWidth - 72) / 2, 64, 72, 24));
    connect(CancelButton, &QToolButton::clicked, this, Guarded([this] {
        if (onCancel)
            onCancel();
    }));
}

void TVideoProgressFrm::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    Look->applyBackground();
}

void TVideoProgressFrm::closeEvent(QCloseEvent* event)
{
    // Closing the window is cancelling the export.
    if (onCancel)
        onCancel();
    event->ignore();
}

void TVideoProgressFrm::showProgress(const video::VideoProgress& p)
{
    const double share = p.total > 0 ? double(p.done) / double(p.total) : 0;
    ProgressBar->setValue(int(std::lround(share * 1000)));
    const double fps = p.seconds > 0 ? p.done / p.seconds : 0;
    StateLabel->setText(QStringLiteral("%1%  %2 帧/秒  剩余 %3")
                            .arg(int(share * 100))
                            .arg(fps, 0, 'f', 1)
                            .arg(clock(fps > 0 ? (p.total - p.done) / fps : 0)));
}

// ---- export dialog

TVideoExportFrm::TVideoExportFrm(FileDialog& saveD, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint), saveD_(saveD)
{
    setObjectName(QStringLiteral("VideoExportFrm"));
    setWindowTitle(QStringLiteral("导出视频"));
    setFixedSize(kClientWidth, kClientHeight);
    Look = new TToolWindowLook(this, kClientWidth, kClientWidth - 17);
    TitleLabel = titleOn(Look, this, QStringLiteral("导出视频"));

    constexpr int kRow = 22;
    label(this, "FileLabel", QStringLiteral("文件："), QRect(8, 26, 50, kRow));
    FileEdit = place(new QLineEdit(this), "FileEdit", QRect(60, 26, 256, kRow));
    QPalette white = FileEdit->palette();
    white.setColor(QPalette::Base, Qt::white);
    FileEdit->setPalette(white);
    FileBro = flatButton(this, "FileBro", QStringLiteral("浏览..."), QRect(320, 26, 56, kRow));

    label(this, "FormatLabel", QStringLiteral("格式："), QRect(8, 54, 50, kRow));
    FormatBox = place(new QComboBox(this), "FormatBox", QRect(60, 54, 256, kRow));
    FormatBox->addItems({QStringLiteral("MP4 (H.264 + AAC)"), QStringLiteral("WebM (VP9 + Opus)"),
                         QStringLiteral("MKV (H.264 + FLAC)"), QStringLiteral("GIF动画 (无声音)")});

    label(this, "SizeLabel", QStringLiteral("尺寸："), QRect(8, 82, 50, kRow));
    SizeStage = place(new QRadioButton(QStringLiteral("影片大小"), this), "SizeStage", QRect(60, 82, 150, kRow));
    SizePlayer = place(new QRadioButton(QStringLiteral("播放器大小"), this), "SizePlayer", QRect(212, 82, 160, kRow));
    SizeCustom = place(new QRadioButton(QStringLiteral("宽×高"), this), "SizeCustom", QRect(60, 106, 70, kRow));
    WidthEdit = spin(this, "WidthEdit", QRect(132, 106, 70, kRow), 2, swf::kMaxStageSide);
    label(this, "TimesLabel", QStringLiteral("×"), QRect(205, 106, 12, kRow));
    HeightEdit = spin(this, "HeightEdit", QRect(218, 106, 70, kRow), 2, swf::kMaxStageSide);
    auto* sizes = new QButtonGroup(this);
    for (QRadioButton* b : {SizeStage, SizePlayer, SizeCustom})
        sizes->addButton(b);
    SizeStage->setChecked(true);

    label(this, "RangeLabel", QStringLiteral("范围："), QRect(8, 134, 50, kRow));
    RangeAll = place(new QRadioButton(QStringLiteral("整个时间轴"), this), "RangeAll", QRect(60, 134, 110, kRow));
    RangeSeconds = place(new QRadioButton(QStringLiteral("秒数"), this), "RangeSeconds", QRect(212, 134, 60, kRow));
    SecondsEdit = place(new QDoubleSpinBox(this), "SecondsEdit", QRect(274, 134, 80, kRow));
    SecondsEdit->setRange(0.1, 3 * 60 * 60);
    SecondsEdit->setDecimals(1);
    SecondsEdit->setValue(10);
    RangeFrames = place(new QRadioButton(QStringLiteral("从第"), this), "RangeFrames", QRect(60, 158, 56, kRow));
    FromEdit = spin(this, "FromEdit", QRect(118, 158, 70, kRow), 1, 10000000);
    label(this, "ToLabel", QStringLiteral("帧到第"), QRect(192, 158, 44, kRow));
    ToEdit = spin(this, "ToEdit", QRect(238, 158, 70, kRow), 1, 10000000);
    label(this, "FrameLabel", QStringLiteral("帧"), QRect(312, 158, 20, kRow));
    auto* ranges = new QButtonGroup(this);
    for (QRadioButton* b : {RangeAll, RangeFrames, RangeSeconds})
        ranges->addButton(b);
    RangeAll->setChecked(true);

    ExportButton = flatButton(this, "ExportButton", QStringLiteral("导出"), QRect(112, 186, 72, 24));
    CancelButton = flatButton(this, "CancelButton", QStringLiteral("取消"), QRect(196, 186, 72, 24));

    Progress = new TVideoProgressFrm(this);
    Progress->onCancel = [this] { ProgressCancelClick(); };

    connect(FileBro, &QToolButton::clicked, this, Guarded([this] { FileBroClick(); }));
    connect(FormatBox, &QComboBox::currentIndexChanged, this, Guarded([this] { FormatBoxChange(); }));
    connect(ExportButton, &QToolButton::clicked, this, Guarded([this] { ExportButtonClick(); }));
    connect(CancelButton, &QToolButton::clicked, this, Guarded([this] { CancelButtonClick(); }));
}

TVideoExportFrm::~TVideoExportFrm()
{
    // The window goes while an export runs (the program ends): the export
    // stops and its partial file goes with it.
    cancel_ = true;
    if (worker_.joinable())
        worker_.join();
}

void TVideoExportFrm::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    Look->applyBackground();
}

void TVideoExportFrm::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void TVideoExportFrm::ShowFor(const Source& source)
{
    source_ = source;
    QByteArray bytes;
    QSize stage = source.playerSize;
    if (swf::ReadMovieFile(source.movie, bytes).isEmpty()) {
        const swf::MovieInfo info = swf::ReadMovieInfo(bytes);
        if (info.valid)
            stage = swf::StagePictureSize(info.stageRect);
    }
    stageSize_ = stage;
    SizeStage->setText(QStringLiteral("影片大小 (%1×%2)").arg(stage.width()).arg(stage.height()));
    SizePlayer->setText(QStringLiteral("播放器大小 (%1×%2)").arg(source.playerSize.width()).arg(source.playerSize.height()));
    if (WidthEdit->value() <= 2 && HeightEdit->value() <= 2) {
        WidthEdit->setValue(stage.width());
        HeightEdit->setValue(stage.height());
    }
    FromEdit->setValue(1);
    ToEdit->setValue(std::max(1, source.totalFrames));
    if (FileEdit->text().isEmpty() && !source.movie.isEmpty()) {
        const QFileInfo movie(source.movie);
        FileEdit->setText(movie.absolutePath() + QLatin1Char('/') + movie.completeBaseName()
                          + video::VideoFormatExtension(format()));
    }
    show();
    raise();
    activateWindow();
}

video::VideoFormat TVideoExportFrm::format() const
{
    return kFormats[std::clamp(FormatBox->currentIndex(), 0, 3)];
}

void TVideoExportFrm::FileBroClick()
{
    // The shared dialog keeps these for its next user.
    saveD_.filter = kVideoSaveFilter;
    saveD_.filterIndex = FormatBox->currentIndex() + 1;
    saveD_.defaultExt = QString();
    saveD_.fileName = FileEdit->text();
    if (!prompts().execute(saveD_))
        return;
    FileEdit->setText(saveD_.fileName);
    const auto chosen = video::VideoFormatForPath(saveD_.fileName);
    const int index = chosen ? int(std::find(std::begin(kFormats), std::end(kFormats), *chosen) - std::begin(kFormats))
                             : saveD_.filterIndex - 1;
    FormatBox->setCurrentIndex(std::clamp(index, 0, 3));
}

void TVideoExportFrm::FormatBoxChange()
{
    // The file name follows the format.
    const QString name = FileEdit->text();
    if (name.isEmpty())
        return;
    const QString extension = video::VideoFormatExtension(format());
    if (video::VideoFormatForPath(name)) {
        FileEdit->setText(name.left(name.lastIndexOf(QLatin1Char('.'))) + extension);
    } else {
        FileEdit->setText(name + extension);
    }
}

void TVideoExportFrm::ExportButtonClick()
{
    if (exporting())
        return;
    QString path = FileEdit->text().trimmed();
    if (path.isEmpty()) {
        prompts().showMessage(QStringLiteral("请输入要保存的文件名"));
        return;
    }
    if (video::VideoFormatForPath(path) != format())
        path += video::VideoFormatExtension(format());
    RefuseWritingOverSource(source_.movie, path);
    QByteArray bytes;
    if (const QString reason = swf::ReadMovieFile(source_.movie, bytes); !reason.isEmpty())
        throw PlovexError(QStringLiteral("%1: %2").arg(source_.movie, reason));
    // The worker's own copy of the movie: nothing is shared with the player.
    auto movie = swf::LoadMovie(bytes);
    if (!movie->info.valid)
        throw PlovexError(QStringLiteral("%1: not a SWF movie").arg(source_.movie));

    auto job = std::make_shared<video::MovieVideo>();
    job->movie = movie;
    avm1::ScriptOptions so;
    so.virtualClock = true;
    so.moviePath = source_.movie;
    job->scripts = avm1::ScriptedMovies(so);
    job->path = path;
    job->format = format();
    job->size = SizeStage->isChecked() ? stageSize_
              : SizePlayer->isChecked() ? source_.playerSize
                                        : QSize(WidthEdit->value(), HeightEdit->value());
    job->render.antialias = source_.antialias;
    if (RangeFrames->isChecked()) {
        job->from = FromEdit->value();
        job->frames = std::max(1, ToEdit->value() - FromEdit->value() + 1);
    } else if (RangeSeconds->isChecked()) {
        job->frames = video::MovieFramesForSeconds(*movie, SecondsEdit->value());
    } else {
        job->frames = std::max<qint64>(1, qint64(movie->root.frames.size()));
    }
    // Progress reaches the window a few times a second, through the event loop.
    QPointer<TVideoExportFrm> self(this);
    auto shownAt = std::make_shared<double>(-1);
    job->progress = [this, self, shownAt](const video::VideoProgress& p) {
        if (p.done == p.total || p.seconds - *shownAt >= 0.1) {
            *shownAt = p.seconds;
            QMetaObject::invokeMethod(this, [self, p] {
                if (self)
                    self->Progress->showProgress(p);
            }, Qt::QueuedConnection);
        }
        return !cancel_.load();
    };

    cancel_ = false;
    hide();
    Progress->showProgress({0, job->frames, 0});
    Progress->move(pos());
    Progress->show();
    Progress->raise();
    worker_ = std::thread([this, job] {
        bool written = false;
        std::exception_ptr error;
        try {
            written = video::ExportMovieVideo(*job) == video::ExportOutcome::Written;
        } catch (...) {
            error = std::current_exception();
        }
        QMetaObject::invokeMethod(this, [this, written, path = job->path, error] { finished(written, path, error); },
                                  Qt::QueuedConnection);
    });
}

void TVideoExportFrm::finished(bool written, const QString& path, std::exception_ptr error)
{
    if (worker_.joinable())
        worker_.join();
    Progress->hide();
    if (error) {
        try {
            std::rethrow_exception(error);
        } catch (...) {
            ReportCurrentException();
        }
        return;
    }
    if (written && onWritten)
        onWritten(path);
}

void TVideoExportFrm::CancelButtonClick()
{
    close();
}

void TVideoExportFrm::ProgressCancelClick()
{
    // The worker stops after the picture it is on and removes the partial file.
    cancel_ = true;
}

} // namespace plovex
