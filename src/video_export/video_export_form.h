#pragma once

// The video export dialog of the main window and its progress window: the
// user names the file (through the shared save dialog), the size, the
// range and the format; the export runs on a worker thread while the
// player goes on as it was, and can be cancelled.

#include "swf/player.h"
#include "video_export/encoder.h"

#include <QString>
#include <QWidget>

#include <atomic>
#include <exception>
#include <functional>
#include <thread>

class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QRadioButton;
class QSpinBox;
class QToolButton;

namespace plovex {

struct FileDialog;
class TToolWindowLook;

// The filter of the shared save dialog: the four formats, in the order of
// the format box.
extern const QString kVideoSaveFilter;

// The small progress window of a running export, with its cancel button.
class TVideoProgressFrm final : public QWidget {
    Q_OBJECT
public:
    explicit TVideoProgressFrm(QWidget* parent = nullptr);
    static constexpr int kClientWidth = 300;
    static constexpr int kClientHeight = 92;

    void showProgress(const video::VideoProgress& progress);

    TToolWindowLook* Look = nullptr;
    QLabel* TitleLabel = nullptr;     // "正在导出视频"
    QLabel* StateLabel = nullptr;     // percentage, frames a second, time left
    QProgressBar* ProgressBar = nullptr;
    QToolButton* CancelButton = nullptr;   // "取消"

    std::function<void()> onCancel;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
};

class TVideoExportFrm final : public QWidget {
    Q_OBJECT
public:
    // What the export takes from the main window when the dialog opens.
    struct Source {
        QString movie;            // the file the player shows
        QSize playerSize;         // the player's current size
        int totalFrames = 1;
        bool antialias = true;    // the player's quality
    };

    TVideoExportFrm(FileDialog& saveD, QWidget* parent = nullptr);
    ~TVideoExportFrm() override;

    static constexpr int kClientWidth = 380;
    static constexpr int kClientHeight = 214;

    // Takes the movie's values and shows the dialog.
    void ShowFor(const Source& source);
    // Called on the GUI thread with the file's path once it is written.
    std::function<void(const QString& path)> onWritten;

    // Handlers.
    void FileBroClick();
    void FormatBoxChange();
    void ExportButtonClick();
    void CancelButtonClick();
    void ProgressCancelClick();

    bool exporting() const { return worker_.joinable(); }

    // ---- components
    TToolWindowLook* Look = nullptr;
    QLabel* TitleLabel = nullptr;      // "导出视频"
    QLineEdit* FileEdit = nullptr;
    QToolButton* FileBro = nullptr;    // "浏览..."
    QComboBox* FormatBox = nullptr;
    QRadioButton* SizeStage = nullptr;
    QRadioButton* SizePlayer = nullptr;
    QRadioButton* SizeCustom = nullptr;
    QSpinBox* WidthEdit = nullptr;
    QSpinBox* HeightEdit = nullptr;
    QRadioButton* RangeAll = nullptr;
    QRadioButton* RangeFrames = nullptr;
    QRadioButton* RangeSeconds = nullptr;
    QSpinBox* FromEdit = nullptr;
    QSpinBox* ToEdit = nullptr;
    QDoubleSpinBox* SecondsEdit = nullptr;
    QToolButton* ExportButton = nullptr;   // "导出"
    QToolButton* CancelButton = nullptr;   // "取消"
    TVideoProgressFrm* Progress = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    video::VideoFormat format() const;
    void finished(bool written, const QString& path, std::exception_ptr error);

    FileDialog& saveD_;
    Source source_;
    QSize stageSize_;
    std::thread worker_;
    std::atomic<bool> cancel_{false};
};

} // namespace plovex
