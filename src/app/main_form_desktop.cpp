// The main window's desktop commands: the frame as the wallpaper in three
// arrangements, the movie as the wallpaper, restoring the user's own
// wallpaper, an empty wallpaper and the desktop's background settings.

#include "app/main_form.h"

#include "capture/image_files.h"
#include "desktop/wallpaper_commands.h"
#include "desktop/wallpaper_page.h"
#include "platform/errors.h"
#include "platform/paths.h"
#include "player/shockwave_flash.h"

#include <QAction>
#include <QFileInfo>

namespace plovex {

namespace {

const QString kPleaseWait = QStringLiteral("设置可能需要3-4秒，请您稍等!");
const QString kMovieWait = QStringLiteral("设置可能需要3-4秒，请您稍等一下!");
const QString kRestoreCaption = QStringLiteral("还原墙纸");
const QString kMovieCaption = QStringLiteral("Flash设置墙纸");
const QString kAskMovie = QStringLiteral("是否要把此flash文件设置为墙纸？");
const QString kAskEmpty = QStringLiteral("是否要将墙纸设置为空？");
const QString kMovieShownAsFrame =
    QStringLiteral("此桌面不能以动画作为墙纸，已将当前画面拉伸设为墙纸。");
const QString kRememberedMissing = QStringLiteral("原来的墙纸文件已不存在，无法还原：%1");

// Whether the desktop's wallpaper can be changed; says so when not.
bool wallpaperReachable()
{
    if (DesktopWallpaperAvailable())
        return true;
    prompts().showMessage(kNoDesktopWallpaperMessage);
    return false;
}

} // namespace

void TMFrm::connectDesktopHandlers()
{
    connectCommand(mnuSetWallL, &TMFrm::mnuSetWallLClick);
    connectCommand(mnuSetWallP, &TMFrm::mnuSetWallPClick);
    connectCommand(mnuSetWallC, &TMFrm::mnuSetWallCClick);
    connectCommand(mnuSetSwfPaper, &TMFrm::mnuSetSwfPaperClick);
    connectCommand(mnuSetRestorePaper, &TMFrm::mnuSetRestorePaperClick);
    connectCommand(mnuSetDefPaper, &TMFrm::mnuSetDefPaperClick);
    connectCommand(mnuSetDisP, &TMFrm::mnuSetDisPClick);
}

void TMFrm::RememberUserWallpaper()
{
    plovex::RememberUserWallpaper(SettingsPath(), ProgramFolder());
}

QString TMFrm::writeWallpaperPicture()
{
    const QString path = ProgramFolder() + kWallpaperPictureName;
    WriteImageFile(GrabFrame(), ImageFormat::Bmp, path);
    return path;
}

void TMFrm::setFrameAsWallpaper(const QString& question, WallpaperStyle style)
{
    if (!wallpaperReachable())
        return;
    if (!prompts().confirm(question))
        return;
    RememberUserWallpaper();
    SetPictureWallpaper(writeWallpaperPicture(), style);
}

void TMFrm::mnuSetWallLClick()
{
    setFrameAsWallpaper(QStringLiteral("是否要将当前flash画面设为墙纸并拉伸?"), WallpaperStyle::Stretch);
}

void TMFrm::mnuSetWallPClick()
{
    setFrameAsWallpaper(QStringLiteral("是否要将当前flash画面设为墙纸并平铺?"), WallpaperStyle::Tile);
}

void TMFrm::mnuSetWallCClick()
{
    setFrameAsWallpaper(QStringLiteral("是否要将当前flash画面设为墙纸居中?"), WallpaperStyle::Centre);
}

void TMFrm::mnuSetSwfPaperClick()
{
    if (!wallpaperReachable())
        return;
    if (!prompts().confirm(kAskMovie))
        return;
    prompts().messageBox(kMovieCaption, kMovieWait, MessageIcon::Information);
    RememberUserWallpaper();
    const QString page = ProgramFolder() + kWallpaperPageName;
    WriteWallpaperPage(page, FlashMain->Movie());
    if (SetActiveDesktopWallpaper(page))
        return;
    // The session cannot show a movie below the other windows: the frame
    // that shows now takes its place, stretched, and the user is told.
    SetPictureWallpaper(writeWallpaperPicture(), WallpaperStyle::Stretch);
    prompts().showMessage(kMovieShownAsFrame);
}

void TMFrm::mnuSetRestorePaperClick()
{
    if (!wallpaperReachable())
        return;
    prompts().messageBox(kRestoreCaption, kPleaseWait, MessageIcon::Information);
    const QString remembered = RememberedWallpaper(SettingsPath());
    if (remembered.trimmed().isEmpty())
        return;
    // A picture that is gone would leave the desktop blank: keep what shows.
    if (!QFileInfo::exists(remembered)) {
        prompts().showMessage(kRememberedMissing.arg(remembered));
        return;
    }
    SetPictureWallpaper(remembered, WallpaperStyle::Stretch);
}

void TMFrm::mnuSetDefPaperClick()
{
    if (!wallpaperReachable())
        return;
    if (!prompts().confirm(kAskEmpty))
        return;
    SetActiveDesktopWallpaper(QStringLiteral(" "));
}

void TMFrm::mnuSetDisPClick()
{
    if (!wallpaperReachable())
        return;
    OpenBackgroundSettings();
}

} // namespace plovex
