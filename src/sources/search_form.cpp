#include "sources/search_form.h"

#include "platform/errors.h"

#include <QBoxLayout>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

namespace plovex {

bool SizeFieldKeyPasses(int key, const QString& text)
{
    if (key == Qt::Key_Backspace || key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape
        || key == Qt::Key_Tab || key == Qt::Key_Backtab)
        return true;
    if (text.isEmpty())
        return true;
    for (QChar c : text)
        if (c < u'0' || c > u'9')
            return false;
    return true;
}

qint64 MinimumSizeFromField(const QString& text)
{
    // As the field's conversion has always read it: optional blanks and
    // sign, decimal digits, within the range of a 32-bit integer.
    bool ok = false;
    const int kilobytes = text.trimmed().toInt(&ok, 10);
    if (!ok)
        throw PlovexError(QStringLiteral("'%1' is not a valid integer value").arg(text));
    return qint64(kilobytes) * 1000;
}

TfrmSearch::TfrmSearch(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("frmSearch"));
    setWindowTitle(QStringLiteral("搜索设定"));
    setModal(false);
    setFixedSize(317, 140);

    Label1 = new QLabel(QStringLiteral("文件大于"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    QFont big = Label1->font();
    big.setBold(true);
    big.setPixelSize(20);
    Label1->setFont(big);
    QPalette red = Label1->palette();
    red.setColor(QPalette::WindowText, Qt::red);
    Label1->setPalette(red);

    Edit1 = new QLineEdit(QStringLiteral("10"), this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->installEventFilter(this);

    Label3 = new QLabel(QStringLiteral("Kbytes"), this);
    Label3->setObjectName(QStringLiteral("Label3"));

    Button1 = new QPushButton(QStringLiteral("确定"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setDefault(true);
    Button2 = new QPushButton(QStringLiteral("取消"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button2->setAutoDefault(false);
    connect(Button2, &QPushButton::clicked, this, &QDialog::close);

    auto* fieldRow = new QHBoxLayout;
    fieldRow->addWidget(Label1);
    fieldRow->addWidget(Edit1, 1);
    fieldRow->addWidget(Label3);
    auto* buttonRow = new QHBoxLayout;
    buttonRow->addStretch(1);
    buttonRow->addWidget(Button1);
    buttonRow->addWidget(Button2);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 12);
    layout->addLayout(fieldRow);
    layout->addStretch(1);
    layout->addLayout(buttonRow);
}

void TfrmSearch::showCentred()
{
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    show();
    raise();
    activateWindow();
}

bool TfrmSearch::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Edit1 && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (!SizeFieldKeyPasses(key->key(), key->text()))
            return true;
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace plovex
