#pragma once

#include "platform/desktop.h"
#include "platform/prompts.h"

#include <QStringList>

namespace plovex {

// The dialogs of the GUI: Qt message boxes, input box, file and colour
// dialogs, each owned by the active window while it is shown.
class WidgetPrompts final : public Prompts {
public:
    void showMessage(const QString& text) override;
    void messageBox(const QString& caption, const QString& text, MessageIcon icon) override;
    bool confirm(const QString& text) override;
    void errorBox(const QString& text) override;
    bool inputQuery(const QString& caption, const QString& prompt, QString& value) override;
    bool execute(FileDialog& dialog) override;
    bool execute(ColorDialog& dialog) override;
    bool runDialog(QDialog& dialog) override;
    void showPrintPreview(QWidget& preview) override;
};

// The desktop services of the GUI: the system implementation with the
// window system's own beep.
class WidgetDesktop final : public DesktopServices {
public:
    bool openFile(const QString& path) override;
    bool openUrl(const QUrl& url) override;
    void beep() override;
};

// A shared dialog's filter "text|pattern|text|pattern..." (patterns
// separated by ';') as Qt name filters "text (pattern pattern)". An odd
// trailing text without a pattern is dropped.
QStringList QtNameFilters(const QString& filter);

// The name a save dialog returns for `chosen` when the dialog has a default
// extension (present, even if empty) and the name has none: the extension
// of the selected filter's first pattern ("*.gif" gives ".gif") is added,
// or else the default extension. Without a default extension, or when the
// name has an extension or the pattern names none, the name is unchanged.
QString WithDefaultExtension(const QString& chosen, const QString& filter, int filterIndex,
                             const std::optional<QString>& defaultExt);

// Makes WidgetPrompts and WidgetDesktop the ones in force for the rest of
// the run.
void InstallWidgetSeams();

} // namespace plovex
