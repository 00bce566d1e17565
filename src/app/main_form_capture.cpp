// The main window's capture commands: the frame as a picture file, the
// region frame, the timed capture window and the print preview.

#include "app/main_form.h"

#include "capture/frame_grab.h"
#include "capture/image_files.h"
#include "capture/region_frame.h"
#include "capture/report_form.h"
#include "capture/save_form.h"
#include "platform/errors.h"
#include "platform/paths.h"
#include "platform/safefile.h"
#include "player/shockwave_flash.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>

namespace plovex {

namespace {

const QString kImageFilter = QStringLiteral("jpeg文件(*.jpg)|*.jpg|gif文件(*.gif)|*.gif|bitmap文件(*.bmp)|*.bmp");
const QString kRegionFilter = QStringLiteral("*.bmp|*.bmp");
const QString kFrameTooSmall = QStringLiteral("截取图框太小，请先放大图框再截取！");
constexpr int kFrameStep = 5;
const QPoint kShownAt(100, 100);

} // namespace

void TMFrm::connectCaptureHandlers()
{
    connectCommand(mnuCaptureSave, &TMFrm::mnuCaptureSaveClick);
    connectCommand(mnuCaptureShow, &TMFrm::mnuCaptureShowClick);
    connectCommand(mnuCaptureCutRectImg, &TMFrm::mnuCaptureCutRectImgClick);
    connectCommand(mnuCaptureZoomOut, &TMFrm::mnuCaptureZoomOutClick);
    connectCommand(mnuCaptureZoomIn, &TMFrm::mnuCaptureZoomInClick);
    connectCommand(mnuCaptureRectCol, &TMFrm::mnuCaptureRectColClick);
    connectCommand(TCN, &TMFrm::TCNClick);
    connectCommand(mnuFileReport, &TMFrm::mnuFileReportClick);

    mnuCaptureShow->setCheckable(true);
    mnuCaptureShow->setChecked(false);

    connect(CutShape, &TCutShape::mousePressed, this,
            Guarded([this](Qt::MouseButton b, const QPoint& p) { CutShapeMouseDown(b, p); }));
    connect(CutShape, &TCutShape::mouseMoved, this, Guarded([this](const QPoint& p) { CutShapeMouseMove(p); }));
    connect(CutShape, &TCutShape::mouseReleased, this,
            Guarded([this](Qt::MouseButton b, const QPoint& p) { CutShapeMouseUp(b, p); }));

    QRCompositeReport1 = new TQRCompositeReport(this);
    QRCompositeReport1->OnAddReports = [this](TQRCompositeReport& r) { QRCompositeReport1AddReports(r); };
}

void TMFrm::createSaveFrm()
{
    if (!SaveFrm)
        SaveFrm = new TSaveFrm(FlashMain, this);
}

void TMFrm::createReportForm()
{
    if (!frmReport)
        frmReport = new TfrmReport(this);
}

// ---------------------------------------------------------------- frame

QImage TMFrm::GrabFrame() const
{
    return plovex::GrabFrame(*FlashMain);
}

bool TMFrm::SaveFrameImage(const QString& Ext, const QString& FileName)
{
    return plovex::SaveFrameImage(*FlashMain, Ext, FileName);
}

void TMFrm::mnuCaptureSaveClick()
{
    // Paused while the dialog is open, so the picture is the frame that was
    // showing when the command was given.
    const bool wasPlaying = FlashMain->Playing();
    if (wasPlaying)
        FlashMain->Stop();
    SaveD.defaultExt = QString();
    SaveD.filter = kImageFilter;
    if (prompts().execute(SaveD)) {
        QString fileName = SaveD.fileName;
        QString extension = FileExtension(fileName);
        bool write = true;
        if (!ImageFormatForExtension(extension)) {
            // A name with another extension ("x.png", "x.jpeg") gets the
            // extension of the type chosen in the dialog added and is written
            // in that format, rather than not at all. The dialog's overwrite
            // question was about the name without it, so it is asked here.
            extension = FilterExtension(SaveD.filter, SaveD.filterIndex);
            if (!ImageFormatForExtension(extension))
                extension = FilterExtension(SaveD.filter, 1);
            fileName += extension;
            if (QFileInfo::exists(fileName))
                write = prompts().confirm(QStringLiteral("文件“%1”已存在，要替换它吗？").arg(QDir::toNativeSeparators(fileName)));
        }
        if (write)
            SaveFrameImage(extension, fileName);
    }
    if (wasPlaying)
        FlashMain->Play();
}

// ---------------------------------------------------------------- region

void TMFrm::mnuCaptureShowClick()
{
    const bool show = CutShape->isHidden();
    if (show) {
        // Onto the player, above its picture, always at (100, 100).
        CutShape->setParent(FlashMain);
        CutShape->setFramePos(kShownAt);
        CutShape->show();
        CutShape->raise();
    } else {
        // Off the player; position, size and colour are kept.
        cutShapeDragging_ = false;
        const QPoint at = CutShape->pos();
        CutShape->setParent(FlashPanel);
        CutShape->move(at);
        CutShape->hide();
    }
    mnuCaptureShow->setChecked(show);
    for (QAction* a : {mnuCaptureCutRectImg, mnuCaptureZoomOut, mnuCaptureZoomIn, mnuCaptureRectCol})
        a->setEnabled(show);
}

void TMFrm::CutShapeMouseDown(Qt::MouseButton button, const QPoint& pos)
{
    if (button != Qt::LeftButton)
        return;
    cutShapeGrab_ = pos;
    cutShapeDragging_ = true;
}

void TMFrm::CutShapeMouseMove(const QPoint& pos)
{
    if (!cutShapeDragging_)
        return;
    CutShape->setFramePos(CutShape->pos() + pos - cutShapeGrab_);
}

void TMFrm::CutShapeMouseUp(Qt::MouseButton, const QPoint&)
{
    cutShapeDragging_ = false;
}

void TMFrm::mnuCaptureZoomOutClick()
{
    CutShape->setFrameSize(CutShape->frameWidth() + kFrameStep, CutShape->frameHeight() + kFrameStep);
}

void TMFrm::mnuCaptureZoomInClick()
{
    CutShape->setFrameSize(CutShape->frameWidth() - kFrameStep, CutShape->frameHeight() - kFrameStep);
}

void TMFrm::mnuCaptureRectColClick()
{
    ColorDialog1.color = CutShape->penColor();
    if (prompts().execute(ColorDialog1))
        CutShape->setPenColor(ColorDialog1.color);
}

void TMFrm::mnuCaptureCutRectImgClick()
{
    // A frame without an interior has nothing to capture: say so before
    // asking for a file name.
    const QRect frame = CutShape->frameRect();
    if (!RegionHasInterior(frame.size())) {
        prompts().showMessage(kFrameTooSmall);
        return;
    }
    SaveD.defaultExt = QString();
    SaveD.filter = kRegionFilter;
    if (!prompts().execute(SaveD))
        return;
    // Read from the player's own picture after the dialog has closed, in
    // the player's coordinates, so the frame's outline and anything over
    // the player never get into it. Always a BMP, whatever the name says.
    RefuseWritingOverSource(FlashMain->Movie(), SaveD.fileName);
    const QImage region = RegionPicture(GrabFrame(), CutShape->frameRect());
    WriteImageFile(region, ImageFormat::Bmp, SaveD.fileName);
}

// ---------------------------------------------------------------- timed

void TMFrm::TCNClick()
{
    SaveFrm->show();
    SaveFrm->raise();
    SaveFrm->activateWindow();
}

// ---------------------------------------------------------------- print

void TMFrm::QRCompositeReport1AddReports(TQRCompositeReport& report)
{
    report.Reports.push_back(frmReport);
}

void TMFrm::mnuFileReportClick()
{
    const QString path = ProgramFolder() + QStringLiteral("ReportImg.jpg");
    SaveFrameImage(QStringLiteral(".jpg"), path);
    frmReport->LoadPicture(path);
    QRCompositeReport1->Preview(this);
}

} // namespace plovex
