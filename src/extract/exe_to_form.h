#pragma once

#include <QString>
#include <QWidget>

class QLabel;
class QLineEdit;
class QToolButton;

namespace plovex {

struct FileDialog;
class TToolWindowLook;

// The target a chosen projector suggests: its path with the extension
// (from the last '.' of the file name on) replaced by ".swf", or ".swf"
// appended to a name without one.
QString SwfPathFor(const QString& source);

// The EXE-to-SWF dialog: a small borderless window in which the user names
// a projector and a target file and converts the one into the other. It is
// made once and only hidden when closed, so its fields keep their text
// between uses. The browse buttons use the main window's shared open and
// save dialogs, which keep whatever settings their last user left.
class TExeToFrm final : public QWidget {
    Q_OBJECT

public:
    TExeToFrm(FileDialog& openD, FileDialog& saveD, QWidget* parent = nullptr);

    static constexpr int kClientWidth = 380;
    static constexpr int kClientHeight = 127;
    static constexpr QPoint kShownAt{262, 173};

    // Handlers.
    void FormShow();
    void SourceBroClick();
    void DectBroClick();
    // Converts the source field's projector into the target field's file
    // and closes the dialog, also when the file was refused. An error
    // (a file that cannot be opened, read or created) leaves it open.
    void ChageButtonClick();
    void CancalButtonClick();

    // ---- components, named as in the design
    TToolWindowLook* Look = nullptr;
    QWidget* Panel1 = nullptr;        // the title strip
    QLabel* Image1 = nullptr;         // its picture; dragging it moves the window
    QLabel* Label3 = nullptr;         // ".exe转换.swf"
    QLabel* Image2 = nullptr;         // close picture, hint "关闭"
    QLabel* Label1 = nullptr;         // "原文件："
    QLineEdit* SourceEdit = nullptr;
    QToolButton* SourceBro = nullptr; // "浏览..."
    QLabel* Label2 = nullptr;         // "目标文件："
    QLineEdit* DectEdit = nullptr;
    QToolButton* DectBro = nullptr;   // "另存为"
    QToolButton* ChageButton = nullptr;  // "转换"
    QToolButton* CancalButton = nullptr; // "取消"

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    FileDialog& openD_;
    FileDialog& saveD_;
};

} // namespace plovex
