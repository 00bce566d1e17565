#include "capture/save_form.h"

#include "capture/encoders.h"
#include "capture/frame_grab.h"
#include "platform/errors.h"
#include "platform/paths.h"
#include "platform/prompts.h"
#include "platform/safefile.h"
#include "player/shockwave_flash.h"
#include "sources/shell_tree.h"

#include <QBoxLayout>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTimer>
#include <cmath>

namespace plovex {

namespace {

constexpr int kDefaultInterval = 9;   // "1.0秒"

const QString kStopped = QStringLiteral("确定");
const QString kRunning = QStringLiteral("停止");

template <typename T>
T* named(T* object, const char* name)
{
    object->setObjectName(QString::fromLatin1(name));
    return object;
}


} // namespace

QStringList CaptureIntervalTexts()
{
    return {
        QStringLiteral("0.1秒"), QStringLiteral("0.2秒"), QStringLiteral("0.3秒"), QStringLiteral("0.4秒"),
        QStringLiteral("0.5秒"), QStringLiteral("0.6秒"), QStringLiteral("0.7秒"), QStringLiteral("0.8秒"),
        QStringLiteral("0.9秒"), QStringLiteral("1.0秒"), QStringLiteral("1.5秒"), QStringLiteral("2.0秒"),
        QStringLiteral("2.5秒"), QStringLiteral("3.0秒"), QStringLiteral("3.5秒"), QStringLiteral("4.0秒"),
        QStringLiteral("4.5秒"), QStringLiteral("5.0秒"), QStringLiteral("5.5秒"), QStringLiteral("6.0秒"),
    };
}

int CaptureIntervalMs(const QString& text)
{
    bool ok = false;
    const double seconds = text.left(3).toDouble(&ok);
    return ok ? int(std::lround(seconds * 1000)) : 0;
}

int LowestFreeNumber(const QString& folder, const QString& extension)
{
    int n = 0;
    while (QFileInfo::exists(folder + QString::number(n) + extension))
        ++n;
    return n;
}

QString DesktopFolder()
{
    const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    if (!desktop.isEmpty() && QFileInfo(desktop).isDir())
        return QDir::cleanPath(desktop);
    return QDir::cleanPath(QDir::homePath());
}

TSaveFrm::TSaveFrm(TShockwaveFlash* flash, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint
                          | Qt::WindowMinimizeButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      flash_(flash)
{
    setObjectName(QStringLiteral("SaveFrm"));
    setWindowTitle(QStringLiteral("定时自动保存"));
    setAttribute(Qt::WA_DeleteOnClose, false);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(4, 4, 4, 0);
    outer->setSpacing(4);
    auto* row = new QHBoxLayout;
    row->setSpacing(6);

    GroupBox1 = named(new QGroupBox(QStringLiteral("请选择保存路径"), this), "GroupBox1");
    auto* treeLayout = new QVBoxLayout(GroupBox1);
    treeLayout->setContentsMargins(4, 4, 4, 4);
    // The main window's folder tree, folders only: the home folder, the file
    // system's root and the mounted drives, so every writable folder is there.
    ShellTreeView1 = named(new TShellTreeView(GroupBox1, TShellTreeView::Listing::FoldersOnly), "ShellTreeView1");
    ShellTreeView1->setDragEnabled(false);
    ShellTreeView1->setContextMenuPolicy(Qt::PreventContextMenu);
    treeLayout->addWidget(ShellTreeView1);
    row->addWidget(GroupBox1, 3);

    GroupBox2 = named(new QGroupBox(QStringLiteral("选项设置"), this), "GroupBox2");
    auto* options = new QVBoxLayout(GroupBox2);
    options->setContentsMargins(6, 4, 6, 4);
    Label1 = named(new QLabel(QStringLiteral("多长时间保存一次"), GroupBox2), "Label1");
    options->addWidget(Label1);
    ComboBox1 = named(new QComboBox(GroupBox2), "ComboBox1");
    ComboBox1->setEditable(false);
    ComboBox1->addItems(CaptureIntervalTexts());
    options->addWidget(ComboBox1);
    RadioGroup1 = named(new QGroupBox(QStringLiteral("图象保存格式"), GroupBox2), "RadioGroup1");
    auto* radios = new QHBoxLayout(RadioGroup1);
    radios->setContentsMargins(4, 2, 4, 2);
    RadioGroup1Buttons = named(new QButtonGroup(RadioGroup1), "RadioGroup1Buttons");
    auto* jpg = named(new QRadioButton(QStringLiteral("jpg格式图象"), RadioGroup1), "RadioGroup1Jpg");
    auto* bmp = named(new QRadioButton(QStringLiteral("bmp格式图象"), RadioGroup1), "RadioGroup1Bmp");
    RadioGroup1Buttons->addButton(jpg, 0);
    RadioGroup1Buttons->addButton(bmp, 1);
    jpg->setChecked(true);
    radios->addWidget(jpg);
    radios->addWidget(bmp);
    options->addWidget(RadioGroup1);
    auto* buttons = new QHBoxLayout;
    Button1 = named(new QPushButton(kStopped, GroupBox2), "Button1");
    Button2 = named(new QPushButton(QStringLiteral("退出"), GroupBox2), "Button2");
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    options->addLayout(buttons);
    options->addStretch(1);
    row->addWidget(GroupBox2, 2);
    outer->addLayout(row, 1);

    StatusBar1 = named(new QStatusBar(this), "StatusBar1");
    StatusBar1->setSizeGripEnabled(false);
    StatusPanel0 = named(new QLabel(StatusBar1), "StatusPanel0");
    StatusPanel0->setFixedWidth(350);
    StatusPanel1 = named(new QLabel(StatusBar1), "StatusPanel1");
    StatusPanel1->setMinimumWidth(50);
    StatusBar1->addWidget(StatusPanel0);
    StatusBar1->addWidget(StatusPanel1, 1);
    outer->addWidget(StatusBar1);

    Timer1 = named(new QTimer(this), "Timer1");
    Timer1->stop();

    setFixedSize(466, 197);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    connect(ShellTreeView1, &QTreeWidget::currentItemChanged, this, Guarded([this] { ShellTreeView1Change(); }));
    connect(ComboBox1, &QComboBox::currentIndexChanged, this, Guarded([this] { ComboBox1Change(); }));
    connect(Button1, &QPushButton::clicked, this, Guarded([this] { Button1Click(); }));
    connect(Button2, &QPushButton::clicked, this, Guarded([this] { Button2Click(); }));
    connect(Timer1, &QTimer::timeout, this, Guarded([this] { Timer1Timer(); }));

    // The desktop folder is selected, so it is the target until the user
    // chooses another.
    SelectFolder(DesktopFolder());
}

TSaveFrm::~TSaveFrm() = default;

QString TSaveFrm::SelectedFolder() const
{
    // The computer's entry stands for no folder on disk.
    const QTreeWidgetItem* item = ShellTreeView1->currentItem();
    if (!item)
        return QString();
    const QString path = TShellTreeView::entryOf(item).path;
    return QDir::isAbsolutePath(path) ? WithTrailingSlash(path) : QString();
}

void TSaveFrm::SelectFolder(const QString& path)
{
    const QString wanted = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    if (!ShellTreeView1->selectPath(wanted))
        ShellTreeView1->setCurrentItem(ShellTreeView1->addTopFolder(wanted));
}

int TSaveFrm::formatIndex() const
{
    return RadioGroup1Buttons->checkedId();
}

void TSaveFrm::setFormatIndex(int index)
{
    if (QAbstractButton* b = RadioGroup1Buttons->button(index))
        b->setChecked(true);
}

void TSaveFrm::FormShow()
{
    const QSignalBlocker block(ComboBox1);
    ComboBox1->setCurrentIndex(kDefaultInterval);
}

void TSaveFrm::FormActivate()
{
    // Every activation puts the controls back; a running timer keeps the
    // interval it was started with.
    const QSignalBlocker block(ComboBox1);
    ComboBox1->setCurrentIndex(kDefaultInterval);
    StatusPanel1->setText(QStringLiteral("每隔") + ComboBox1->currentText() + QStringLiteral("保存一次"));
    setFormatIndex(0);
}

void TSaveFrm::FormClose()
{
    Timer1->stop();
}

void TSaveFrm::ComboBox1Change()
{
    StatusPanel1->setText(QStringLiteral("每阁") + ComboBox1->currentText() + QStringLiteral("保存一次"));
}

void TSaveFrm::ShellTreeView1Change()
{
    const QTreeWidgetItem* item = ShellTreeView1->currentItem();
    if (!item)
        return;
    const QString path = TShellTreeView::entryOf(item).path;
    StatusPanel0->setText(QStringLiteral("保存到") + (QDir::isAbsolutePath(path) ? QDir::toNativeSeparators(path) : QString()));
}

void TSaveFrm::Button1Click()
{
    if (!flash_ || flash_->Movie().trimmed().isEmpty()) {
        prompts().showMessage(QStringLiteral("播放器还没有开始播放，请播放开始在截取！"));
        return;
    }
    if (Button1->text() == kStopped) {
        Timer1->setInterval(CaptureIntervalMs(ComboBox1->currentText()));
        Timer1->start();
        setWindowTitle(QStringLiteral("定时保存功能正在运行..."));
        Button1->setText(kRunning);
    } else {
        Timer1->stop();
        Button1->setText(kStopped);
        setWindowTitle(QStringLiteral("已停止"));
    }
}

void TSaveFrm::Button2Click()
{
    Timer1->stop();
    close();
}

void TSaveFrm::Timer1Timer()
{
    if (flash_->FrameNum() == flash_->TotalFrames() - 1) {
        Timer1->stop();
        setWindowTitle(QStringLiteral("已停止"));
        return;
    }
    try {
        targetFolder_ = SelectedFolder();
        if (targetFolder_.isEmpty())
            throw PlovexError(QStringLiteral("No folder selected"));
        const QImage frame = GrabFrame(*flash_);
        const bool jpeg = formatIndex() != 1;
        const QString extension = jpeg ? QStringLiteral(".jpg") : QStringLiteral(".bmp");
        const QByteArray bytes = jpeg ? EncodeJpeg(frame) : EncodeBmp(frame, BmpDepth::Bits24);
        const int n = LowestFreeNumber(targetFolder_, extension);
        const QString fileName = targetFolder_ + QString::number(n) + extension;
        RefuseWritingOverSource(flash_->Movie(), fileName);
        const QString reason = ReplaceFileContents(fileName, bytes);
        if (!reason.isEmpty())
            throw PlovexError(reason);
        setWindowTitle(QStringLiteral("截取数") + QString::number(n));
        StatusPanel0->setText(QStringLiteral("保存为:") + QDir::toNativeSeparators(fileName));
    } catch (...) {
        Timer1->stop();
        prompts().showMessage(QStringLiteral("程序发生异常，不能继续运行，请查看硬盘空间是否足够！"));
        close();
    }
}

void TSaveFrm::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous())
        Guarded([this] { FormShow(); })();
}

void TSaveFrm::closeEvent(QCloseEvent* event)
{
    Guarded([this] { FormClose(); })();
    event->accept();
}

bool TSaveFrm::event(QEvent* event)
{
    if (event->type() == QEvent::WindowActivate)
        Guarded([this] { FormActivate(); })();
    return QWidget::event(event);
}

} // namespace plovex
