#include "extract/exe_to_form.h"

#include "extract/projector.h"
#include "platform/errors.h"
#include "platform/prompts.h"
#include "widgets/tool_window.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>

namespace plovex {

namespace {

const QString kProjectorFilter = QStringLiteral("exe格式的flash(*.exe)|*.exe");

QFont dialogFont()
{
    QFont font;
    font.setPixelSize(12);
    return font;
}

QLabel* label(QWidget* parent, const char* name, const QString& text, const QRect& at, bool red)
{
    auto* l = new QLabel(text, parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setFont(dialogFont());
    if (red)
        l->setStyleSheet(QStringLiteral("color: red;"));
    l->setGeometry(at);
    return l;
}

QLineEdit* edit(QWidget* parent, const char* name, const QRect& at)
{
    auto* e = new QLineEdit(parent);
    e->setObjectName(QString::fromLatin1(name));
    e->setFont(dialogFont());
    e->setGeometry(at);
    // The window's light blue reaches its children; a field to type in
    // stays white so that it stands out from the window.
    QPalette palette = e->palette();
    palette.setColor(QPalette::Base, Qt::white);
    e->setPalette(palette);
    return e;
}

// A flat button: no frame until the mouse is over it.
QToolButton* flatButton(QWidget* parent, const char* name, const QString& text, const QRect& at)
{
    auto* b = new QToolButton(parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setText(text);
    b->setFont(dialogFont());
    b->setAutoRaise(true);
    b->setToolButtonStyle(Qt::ToolButtonTextOnly);
    b->setFocusPolicy(Qt::StrongFocus);
    b->setGeometry(at);
    return b;
}

} // namespace

QString SwfPathFor(const QString& source)
{
    const qsizetype dot = source.lastIndexOf(u'.');
    const qsizetype separator = source.lastIndexOf(u'/');
    if (dot < 0 || dot < separator)
        return source + QStringLiteral(".swf");
    return source.left(dot) + QStringLiteral(".swf");
}

TExeToFrm::TExeToFrm(FileDialog& openD, FileDialog& saveD, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint), openD_(openD), saveD_(saveD)
{
    setObjectName(QStringLiteral("ExeToFrm"));
    setWindowTitle(QStringLiteral("Exe转换Swf"));
    setFixedSize(kClientWidth, kClientHeight);
    move(kShownAt);

    // The title strip: a panel across the top holding the stretched
    // picture that drags the window, the title on it and the close picture
    // at its right end.
    Look = new TToolWindowLook(this, kClientWidth, kClientWidth - 17);
    Panel1 = new QWidget(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(0, 0, kClientWidth, TToolWindowLook::kStripHeight);
    Image1 = Look->titleStrip();
    Image2 = Look->closePicture();
    Image1->setParent(Panel1);
    Image2->setParent(Panel1);
    Label3 = label(Panel1, "Label3", QStringLiteral(".exe转换.swf"),
                   QRect(5, 0, 200, TToolWindowLook::kStripHeight), false);
    Label3->setStyleSheet(QStringLiteral("color: white; background: transparent;"));
    Label3->setAttribute(Qt::WA_TransparentForMouseEvents);   // the strip under it drags the window
    Image1->lower();
    Image2->raise();

    constexpr int kEditLeft = 72;
    constexpr int kEditWidth = 249;
    constexpr int kButtonLeft = kEditLeft + kEditWidth + 4;
    constexpr int kRowHeight = 22;
    Label1 = label(this, "Label1", QStringLiteral("原文件："), QRect(8, 28, 62, kRowHeight), true);
    SourceEdit = edit(this, "SourceEdit", QRect(kEditLeft, 28, kEditWidth, kRowHeight));
    SourceBro = flatButton(this, "SourceBro", QStringLiteral("浏览..."),
                           QRect(kButtonLeft, 28, kClientWidth - kButtonLeft - 4, kRowHeight));
    Label2 = label(this, "Label2", QStringLiteral("目标文件："), QRect(8, 60, 62, kRowHeight), true);
    DectEdit = edit(this, "DectEdit", QRect(kEditLeft, 60, kEditWidth, kRowHeight));
    DectBro = flatButton(this, "DectBro", QStringLiteral("另存为"),
                         QRect(kButtonLeft, 60, kClientWidth - kButtonLeft - 4, kRowHeight));
    ChageButton = flatButton(this, "ChageButton", QStringLiteral("转换"), QRect(112, 95, 72, 24));
    CancalButton = flatButton(this, "CancalButton", QStringLiteral("取消"), QRect(196, 95, 72, 24));

    connect(SourceBro, &QToolButton::clicked, this, Guarded([this] { SourceBroClick(); }));
    connect(DectBro, &QToolButton::clicked, this, Guarded([this] { DectBroClick(); }));
    connect(ChageButton, &QToolButton::clicked, this, Guarded([this] { ChageButtonClick(); }));
    connect(CancalButton, &QToolButton::clicked, this, Guarded([this] { CancalButtonClick(); }));
}

void TExeToFrm::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    try {
        FormShow();
    } catch (...) {
        ReportCurrentException();
    }
}

void TExeToFrm::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void TExeToFrm::FormShow()
{
    Look->applyBackground();
}

void TExeToFrm::SourceBroClick()
{
    // The filter stays set for the next user of the shared dialog.
    openD_.filter = kProjectorFilter;
    if (!prompts().execute(openD_))
        return;
    const QString source = openD_.fileName;
    SourceEdit->setText(source);
    DectEdit->setText(SwfPathFor(source));
}

void TExeToFrm::DectBroClick()
{
    if (prompts().execute(saveD_))
        DectEdit->setText(saveD_.fileName);
}

void TExeToFrm::ChageButtonClick()
{
    // The fields go to the extraction as they stand; an error it raises
    // ends this handler before the dialog closes.
    ExtractProjectorSwf(SourceEdit->text(), DectEdit->text(), true);
    close();
}

void TExeToFrm::CancalButtonClick()
{
    close();
}

} // namespace plovex
