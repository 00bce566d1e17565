#include "capture/save_form.h"

#include "capture/encoders.h"
#include "capture/frame_grab.h"
#include "platform/errors.h"
#include "platform/paths.h"
#include "platform/prompts.h"
#include "platform/safefile.h"
#include "player/shockwave_flash.h"

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
#include <QTreeWidget>
#include <cmath>

namespace plovex {

namespace {

constexpr int kPathRole = Qt::UserRole;
constexpr int kFilledRole = Qt::UserRole + 1;
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
    ShellTreeView1 = named(new QTreeWidget(GroupBox1), "ShellTreeView1");
    ShellTreeView1->setHeaderHidden(true);
    ShellTreeView1->setRootIsDecorated(false);   // no lines at the root
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

    // The tree starts at the desktop folder, which is selected, so it is the
    // target until the user chooses another.
    const QString root = DesktopFolder();
    QTreeWidgetItem* rootItem = addFolderItem(nullptr, root, QFileInfo(root).fileName().isEmpty() ? root : QFileInfo(root).fileName());
    rootItem->setExpanded(true);

    connect(ShellTreeView1, &QTreeWidget::itemExpanded, this, Guarded([this](QTreeWidgetItem* item) { fillChildren(item); }));
    connect(ShellTreeView1, &QTreeWidget::currentItemChanged, this, Guarded([this] { ShellTreeView1Change(); }));
    connect(ComboBox1, &QComboBox::currentIndexChanged, this, Guarded([this] { ComboBox1Change(); }));
    connect(Button1, &QPushButton::clicked, this, Guarded([this] { Button1Click(); }));
    connect(Button2, &QPushButton::clicked, this, Guarded([this] { Button2Click(); }));
    connect(Timer1, &QTimer::timeout, this, Guarded([this] { Timer1Timer(); }));

    ShellTreeView1->setCurrentItem(rootItem);
}

TSaveFrm::~TSaveFrm() = default;

QTreeWidgetItem* TSaveFrm::addFolderItem(QTreeWidgetItem* parent, const QString& path, const QString& text)
{
    auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(ShellTreeView1);
    item->setText(0, text);
    item->setData(0, kPathRole, path);
    item->setData(0, kFilledRole, false);
    item->setIcon(0, style()->standardIcon(QStyle::SP_DirIcon));
    item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    return item;
}

void TSaveFrm::fillChildren(QTreeWidgetItem* item)
{
    if (!item || item->data(0, kFilledRole).toBool())
        return;
    item->setData(0, kFilledRole, true);
    const QString path = item->data(0, kPathRole).toString();
    const QFileInfoList folders = QDir(path).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden,
                                                            QDir::Name | QDir::IgnoreCase);
    for (const QFileInfo& folder : folders)
        addFolderItem(item, folder.absoluteFilePath(), folder.fileName());
    if (item->childCount() == 0)
        item->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
}

QString TSaveFrm::SelectedFolder() const
{
    const QTreeWidgetItem* item = ShellTreeView1->currentItem();
    if (!item)
        return QString();
    return WithTrailingSlash(item->data(0, kPathRole).toString());
}

void TSaveFrm::SelectFolder(const QString& path)
{
    const QString wanted = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    for (int i = 0; i < ShellTreeView1->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = ShellTreeView1->topLevelItem(i);
        while (item) {
            const QString here = QDir::cleanPath(item->data(0, kPathRole).toString());
            if (here == wanted) {
                ShellTreeView1->setCurrentItem(item);
                return;
            }
            if (!wanted.startsWith(WithTrailingSlash(here)))
                break;
            fillChildren(item);
            item->setExpanded(true);
            QTreeWidgetItem* next = nullptr;
            for (int c = 0; c < item->childCount() && !next; ++c) {
                const QString child = QDir::cleanPath(item->child(c)->data(0, kPathRole).toString());
                if (wanted == child || wanted.startsWith(WithTrailingSlash(child)))
                    next = item->child(c);
            }
            item = next;
        }
    }
    QTreeWidgetItem* added = addFolderItem(nullptr, wanted, wanted);
    ShellTreeView1->setCurrentItem(added);
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
    StatusPanel0->setText(QStringLiteral("保存到") + QDir::toNativeSeparators(item->data(0, kPathRole).toString()));
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
