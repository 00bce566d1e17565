#pragma once

#include <QColor>
#include <QString>
#include <QStringList>
#include <optional>

class QDialog;
class QWidget;

namespace plovex {

// A shared file dialog (OpenD, SaveD). Commands set only what they name;
// everything else stays as the previous user left it.
struct FileDialog {
    enum class Kind { Open, Save };
    Kind kind = Kind::Open;
    QString filter;                    // "text|pattern|text|pattern...", pattern may hold ';'
    int filterIndex = 1;               // counted from 1; the preselected filter and, after
                                       // execution, the one the user chose
    QString title;
    std::optional<QString> defaultExt; // nullopt: no default extension; "" present but empty
    QString initialDir;
    QString fileName;                  // preset before, the chosen path after execution
    QStringList files;                 // every chosen path (multiple selection)
    bool allowMultiSelect = false;
    bool overwritePrompt = false;
    bool hideReadOnly = false;
    bool enableSizing = false;
};

// The extension that filter number `filterIndex` (from 1) of a dialog's
// filter names with its first pattern, the dot included: "*.gif" gives
// ".gif". Empty when there is no such filter or its pattern names no one
// extension ("*.*", "*").
QString FilterExtension(const QString& filter, int filterIndex);

struct ColorDialog {
    QColor color = Qt::red;
};

enum class MessageIcon { None, Information, Warning, Error, Question };

// Every modal interaction of the program goes through this seam, so that
// tests can answer dialogs from a script and the CLI can print instead.
class Prompts {
public:
    virtual ~Prompts() = default;

    // The plain message: caption "Plovex v3.0", the text, one "OK" button.
    virtual void showMessage(const QString& text) = 0;
    // A box with its own caption and icon and one "OK" button.
    virtual void messageBox(const QString& caption, const QString& text, MessageIcon icon) = 0;
    // Yes/No confirmation, caption "Confirm"; true for Yes.
    virtual bool confirm(const QString& text) = 0;
    // The top-level error box: caption "Plovex v3.0", error icon. The text
    // arrives with the full-stop rule already applied.
    virtual void errorBox(const QString& text) = 0;
    // Input box with "OK" and "Cancel"; value holds the preset and the answer.
    virtual bool inputQuery(const QString& caption, const QString& prompt, QString& value) = 0;
    // Runs a shared dialog; false when the user cancels. On success the
    // dialog's fileName/files/filterIndex (or color) hold the answer.
    virtual bool execute(FileDialog& dialog) = 0;
    virtual bool execute(ColorDialog& dialog) = 0;
    // Runs a modal dialog of the program's own making (the print dialog);
    // true when the user confirms. Without a window system: false.
    virtual bool runDialog(QDialog& dialog) { return (void)dialog, false; }
    // Shows the print preview and returns once the user has closed it; the
    // other windows stay usable meanwhile. Without a window system: nothing.
    virtual void showPrintPreview(QWidget& preview) { (void)preview; }

    void information(const QString& text) { messageBox(QStringLiteral("Information"), text, MessageIcon::Information); }
};

// The prompts in force. Without a call to SetPrompts this is a console
// implementation that prints to standard error and answers No/Cancel.
Prompts& prompts();
// Installs p (not owned); nullptr returns to the console implementation.
void SetPrompts(Prompts* p);

inline const QString kAppTitle = QStringLiteral("Plovex v3.0");

} // namespace plovex
