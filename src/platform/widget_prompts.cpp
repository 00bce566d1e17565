#include "platform/widget_prompts.h"

#include <QApplication>
#include <QColorDialog>
#include <QDesktopServices>
#include <QDialog>
#include <QEventLoop>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>

namespace plovex {

namespace {

QWidget* owner()
{
    return QApplication::activeModalWidget() ? QApplication::activeModalWidget()
                                             : QApplication::activeWindow();
}

QMessageBox::Icon toQt(MessageIcon icon)
{
    switch (icon) {
    case MessageIcon::Information:
        return QMessageBox::Information;
    case MessageIcon::Warning:
        return QMessageBox::Warning;
    case MessageIcon::Error:
        return QMessageBox::Critical;
    case MessageIcon::Question:
        return QMessageBox::Question;
    case MessageIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

void okBox(const QString& caption, const QString& text, QMessageBox::Icon icon)
{
    QMessageBox box(icon, caption, text, QMessageBox::NoButton, owner());
    box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    box.exec();
}

} // namespace

void WidgetPrompts::showMessage(const QString& text)
{
    okBox(kAppTitle, text, QMessageBox::NoIcon);
}

void WidgetPrompts::messageBox(const QString& caption, const QString& text, MessageIcon icon)
{
    okBox(caption, text, toQt(icon));
}

bool WidgetPrompts::confirm(const QString& text)
{
    QMessageBox box(QMessageBox::Question, QStringLiteral("Confirm"), text, QMessageBox::NoButton, owner());
    QPushButton* yes = box.addButton(QStringLiteral("&Yes"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(QStringLiteral("&No"), QMessageBox::NoRole);
    box.setDefaultButton(yes);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes;
}

void WidgetPrompts::errorBox(const QString& text)
{
    okBox(kAppTitle, text, QMessageBox::Critical);
}

bool WidgetPrompts::inputQuery(const QString& caption, const QString& prompt, QString& value)
{
    QInputDialog dialog(owner());
    dialog.setWindowTitle(caption);
    dialog.setLabelText(prompt);
    dialog.setTextValue(value);
    dialog.setOkButtonText(QStringLiteral("OK"));
    dialog.setCancelButtonText(QStringLiteral("Cancel"));
    if (dialog.exec() != QDialog::Accepted)
        return false;
    value = dialog.textValue();
    return true;
}

QStringList QtNameFilters(const QString& filter)
{
    QStringList result;
    const QStringList parts = filter.split(u'|');
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns = parts[i + 1].split(u';', Qt::SkipEmptyParts);
        for (QString& p : patterns)
            p = p.trimmed();
        // The text usually names its patterns already ("swf文件(*.swf)"); the
        // dialog hides the part in parentheses that Qt reads the patterns from.
        result << parts[i] + QStringLiteral(" (") + patterns.join(u' ') + u')';
    }
    return result;
}

bool WidgetPrompts::execute(FileDialog& d)
{
    QFileDialog dialog(owner(), d.title);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    const bool save = d.kind == FileDialog::Kind::Save;
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    if (save)
        dialog.setFileMode(QFileDialog::AnyFile);
    else
        dialog.setFileMode(d.allowMultiSelect ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !d.overwritePrompt);
    if (!d.enableSizing)
        dialog.setSizeGripEnabled(false);

    const QStringList filters = QtNameFilters(d.filter);
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        const int index = std::clamp(d.filterIndex, 1, int(filters.size()));
        dialog.selectNameFilter(filters[index - 1]);
    }
    // With a default extension, a name typed without one gets the extension
    // of the selected type. The dialog adds it itself (so its overwrite
    // question sees the full name), following the type the user selects.
    if (save && d.defaultExt) {
        const auto suffixFor = [&d, filters](const QString& nameFilter) {
            const qsizetype at = filters.indexOf(nameFilter);
            const QString withExt = WithDefaultExtension(QStringLiteral("x"), d.filter, int(at) + 1, d.defaultExt);
            return withExt.size() > 2 ? withExt.mid(2) : QString();
        };
        dialog.setDefaultSuffix(suffixFor(dialog.selectedNameFilter()));
        QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                         [&dialog, suffixFor](const QString& f) { dialog.setDefaultSuffix(suffixFor(f)); });
    }
    if (!d.initialDir.isEmpty())
        dialog.setDirectory(d.initialDir);
    if (!d.fileName.isEmpty())
        dialog.selectFile(d.fileName);

    if (dialog.exec() != QDialog::Accepted)
        return false;
    const qsizetype chosen = filters.indexOf(dialog.selectedNameFilter());
    if (chosen >= 0)
        d.filterIndex = int(chosen) + 1;
    d.files = dialog.selectedFiles();
    if (save) {
        for (QString& f : d.files)
            f = WithDefaultExtension(f, d.filter, d.filterIndex, d.defaultExt);
    }
    d.fileName = d.files.isEmpty() ? QString() : d.files.front();
    return !d.files.isEmpty();
}

QString WithDefaultExtension(const QString& chosen, const QString& filter, int filterIndex,
                             const std::optional<QString>& defaultExt)
{
    if (!defaultExt)
        return chosen;
    const QString name = chosen.section(u'/', -1);
    if (name.isEmpty() || name.contains(u'.'))
        return chosen;
    if (const QString extension = FilterExtension(filter, filterIndex); !extension.isEmpty())
        return chosen + extension;
    if (!defaultExt->isEmpty())
        return chosen + (defaultExt->startsWith(u'.') ? *defaultExt : u'.' + *defaultExt);
    return chosen;
}

bool WidgetPrompts::runDialog(QDialog& dialog)
{
    return dialog.exec() == QDialog::Accepted;
}

void WidgetPrompts::showPrintPreview(QWidget& preview)
{
    // The preview is not modal: the caller waits in a loop of its own until
    // the window is closed, and the other windows go on working.
    class Watcher final : public QObject {
    public:
        explicit Watcher(QEventLoop& loop) : loop_(loop) {}
        bool eventFilter(QObject*, QEvent* event) override
        {
            if (event->type() == QEvent::Hide || event->type() == QEvent::Close)
                loop_.quit();
            return false;
        }

    private:
        QEventLoop& loop_;
    };
    QEventLoop loop;
    Watcher watcher(loop);
    preview.installEventFilter(&watcher);
    preview.show();
    preview.raise();
    preview.activateWindow();
    if (preview.isVisible())
        loop.exec();
    preview.removeEventFilter(&watcher);
    preview.hide();
}

bool WidgetPrompts::execute(ColorDialog& d)
{
    const QColor chosen = QColorDialog::getColor(d.color, owner());
    if (!chosen.isValid())
        return false;
    d.color = chosen;
    return true;
}

bool WidgetDesktop::openFile(const QString& path)
{
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

bool WidgetDesktop::openUrl(const QUrl& url)
{
    return QDesktopServices::openUrl(url);
}

void WidgetDesktop::beep()
{
    QApplication::beep();
}

void InstallWidgetSeams()
{
    static WidgetPrompts prompts;
    static WidgetDesktop desktopServices;
    SetPrompts(&prompts);
    SetDesktop(&desktopServices);
}

} // namespace plovex
