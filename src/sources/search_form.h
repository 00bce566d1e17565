#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace plovex {

// The search-settings window of the cache list ("搜索设定"): the minimum
// size in kilobytes and the two buttons. One instance for the whole run;
// closing hides it and the field keeps its text. What "确定" does is the
// main window's business (it connects Button1).
class TfrmSearch final : public QDialog {
    Q_OBJECT

public:
    explicit TfrmSearch(QWidget* parent = nullptr);

    // Shows the window centred on the desktop.
    void showCentred();

    QLabel* Label1 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QLabel* Label3 = nullptr;
    QPushButton* Button1 = nullptr;
    QPushButton* Button2 = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

// Whether a key typed into the size field gets through: digits and
// Backspace do; every other character is swallowed. Keys that type nothing
// (arrows, Delete, Home, End) and the dialog keys Enter, Esc and Tab pass.
bool SizeFieldKeyPasses(int key, const QString& text);

// The minimum size the field asks for, in bytes: its text as a decimal
// integer times 1000. Raises PlovexError for a text that is not such a
// number (an emptied field, pasted letters).
qint64 MinimumSizeFromField(const QString& text);

} // namespace plovex
