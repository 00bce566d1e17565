#pragma once

#include <QIcon>
#include <QList>

#include "widgets/tool_window.h"  // TitleStripPicture, ClosePicture

namespace plovex {

// The pictures of ToolImg, the 16 x 16 images of the menus and the toolbar.
enum class ToolImage {
    Open, CacheList, Play, Pause, Loop, StepForward, StepBack, Goto, ZoomIn, ZoomOut,
    ShowAll, FullScreen, QualityHigh, QualityLow, Wallpaper, Capture, Mail, Restart,
    Help, About, Exit, Sound, ExeToSwf, Colour, Print, Playlist, Folder, Reverse,
    SaveAs, Frames, Associate,
    Count
};

// All 31 images, drawn once on first use.
const QList<QIcon>& ToolImg();
QIcon ToolIcon(ToolImage image);

// The pictures of the splash window and of the About box.
QPixmap SplashPicture(const QSize& size);
QPixmap AboutIconPicture();

} // namespace plovex
