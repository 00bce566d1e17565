#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>

class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QButtonGroup;
class QStatusBar;
class QTimer;

namespace plovex {

class TShellTreeView;
class TShockwaveFlash;

// The twenty intervals of the timed capture, as the list shows them.
QStringList CaptureIntervalTexts();
// The timer interval of an interval text: its first three characters read
// as seconds, in milliseconds ("2.5秒" gives 2500).
int CaptureIntervalMs(const QString& text);
// The lowest n for which folder + n + extension names no existing file.
// `folder` ends with a separator; `extension` is ".jpg" or ".bmp".
int LowestFreeNumber(const QString& folder, const QString& extension);
// The folder the timed capture starts in: the user's desktop folder, or
// the home folder where there is none.
QString DesktopFolder();

// The timed capture window: saves the player's picture into a chosen
// folder again and again as numbered JPEG or BMP files. Stays on top;
// closing it only hides it.
class TSaveFrm final : public QWidget {
    Q_OBJECT

public:
    explicit TSaveFrm(TShockwaveFlash* flash, QWidget* parent = nullptr);
    ~TSaveFrm() override;

    // Handlers.
    void FormShow();
    void FormActivate();
    void FormClose();
    void ComboBox1Change();
    void ShellTreeView1Change();
    void Button1Click();
    void Button2Click();
    void Timer1Timer();

    // The folder selected in the tree, as a path ending in '/'; empty when
    // nothing is selected.
    QString SelectedFolder() const;
    // Selects a folder in the tree, opening the branches down to it. A
    // folder the tree does not reach (one that no longer exists) is added as
    // a top-level entry.
    void SelectFolder(const QString& path);

    // The target folder of the last tick.
    QString targetFolder() const { return targetFolder_; }

    // ---- components, named as in the design
    QGroupBox* GroupBox1 = nullptr;
    TShellTreeView* ShellTreeView1 = nullptr;
    QGroupBox* GroupBox2 = nullptr;
    QLabel* Label1 = nullptr;
    QComboBox* ComboBox1 = nullptr;
    QGroupBox* RadioGroup1 = nullptr;
    QButtonGroup* RadioGroup1Buttons = nullptr;   // 0 "jpg格式图象", 1 "bmp格式图象"
    QPushButton* Button1 = nullptr;
    QPushButton* Button2 = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    QLabel* StatusPanel0 = nullptr;
    QLabel* StatusPanel1 = nullptr;
    QTimer* Timer1 = nullptr;

    // The format chosen in RadioGroup1: 0 jpg, 1 bmp.
    int formatIndex() const;
    void setFormatIndex(int index);

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;

private:

    TShockwaveFlash* flash_;
    QString targetFolder_;
};

} // namespace plovex
