#pragma once

#include "capture/image_files.h"

#include <QString>
#include <functional>

class QAction;
class QListWidget;

namespace plovex {

class TShockwaveFlash;
class TStatusBar;

// The parts of the main window that opening a movie reads and writes.
struct MovieOpenTargets {
    TShockwaveFlash* flash = nullptr;          // FlashMain
    QAction* exeToSwf = nullptr;               // mnuexeToswf
    QAction* playMain = nullptr;               // mnuControlPlyNN ("播放" of the main menu)
    QAction* playPopup = nullptr;              // PlyP ("播放" of the context menu)
    TStatusBar* status = nullptr;              // panels 0 (file) and 1 (rate)
    QListWidget* playlist = nullptr;           // ListBox1
    std::function<void()> refreshProgress;     // RefreshProgress of the progress window; empty while it does not exist
    std::function<void()> ensureFrameCounter;  // EnsureFrameCounter
    std::function<void(bool)> enableCommands;  // EnableCommands
};

enum class MovieKind { Swf, Projector, Other };

// FileExtension (capture/image_files.h) gives a file name's extension.
// ".swf" a movie, ".exe" a projector (letter case ignored), else neither.
MovieKind KindOfMovieFile(const QString& path);

// The fixed file a projector's movie is extracted to: flash.swf in the
// program's folder.
QString ProjectorTarget();

// The one way a movie file gets into the player. A SWF file is loaded
// directly; a projector is first extracted to ProjectorTarget(); any other
// file is ignored. The commands are enabled at the end in every case that
// does not end in an error (errors propagate to the caller's handler).
void OpenMovie(const MovieOpenTargets& targets, const QString& path);

// The frame panel's text: "帧数/总帧数[frame/total]".
QString FramePanelText(int frame, int total);

} // namespace plovex
