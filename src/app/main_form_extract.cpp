// The main window's extraction commands: the sounds of the movie, the
// EXE-to-SWF dialog, converting the last projector and saving a copy of
// the movie that plays.

#include "app/main_form.h"

#include "extract/exe_to_form.h"
#include "extract/projector.h"
#include "extract/sounds.h"
#include "platform/errors.h"
#include "platform/safefile.h"
#include "player/shockwave_flash.h"
#include "player/status_panels.h"
#include "video_export/video_export_form.h"
#include "widgets/tool_window.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace plovex {

namespace {

const QString kSwfFilter = QStringLiteral("swf文件(*.swf)|*.swf");
const QString kSaveAsFailed = QStringLiteral("出现错误，请检查是否重在！");

// The wait cursor while a long piece of work runs on the GUI thread.
class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

// Copies source over target. The copy is written beside the target and
// takes its place only once it is complete, so a failed copy leaves an
// existing target as it was. Throws PlovexError on any failure.
void copyReplacing(const QString& source, const QString& target)
{
    if (IsSameFile(source, target))
        return;   // the file is already where it should be
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        throw PlovexError(in.errorString());
    QSaveFile out(target);
    if (!out.open(QIODevice::WriteOnly))
        throw PlovexError(out.errorString());
    constexpr qint64 kChunk = 1 << 20;
    QByteArray buffer;
    for (;;) {
        buffer = in.read(kChunk);
        if (buffer.isEmpty()) {
            if (in.error() != QFileDevice::NoError)
                throw PlovexError(in.errorString());
            break;
        }
        if (out.write(buffer) != buffer.size())
            throw PlovexError(out.errorString());
    }
    if (!out.commit())
        throw PlovexError(out.errorString());
}

} // namespace

void TMFrm::connectExtractHandlers()
{
    connectCommand(mnuCaptureSound, &TMFrm::mnuCaptureSoundClick);
    connectCommand(mnuCaptureVideo, &TMFrm::mnuCaptureVideoClick);
    connectCommand(mnuFileExeToSwf, &TMFrm::mnuFileExeToSwfClick);
    connectCommand(mnuexeToswf, &TMFrm::mnuexeToswfClick);
    connectCommand(mnuFileSaveAs, &TMFrm::mnuFileSaveAsClick);
}

void TMFrm::createExeToFrm()
{
    if (!ExeToFrm)
        ExeToFrm = new TExeToFrm(OpenD, SaveD, this);
}

void TMFrm::mnuCaptureSoundClick()
{
    // The save dialog as its last user left it; only the folder of the
    // chosen name is used.
    if (!prompts().execute(SaveD))
        return;
    const QString movie = FlashMain->Movie();
    const QString folder = QFileInfo(SaveD.fileName).absolutePath();
    WaitCursor wait;
    // Compressed movies are taken too (they are what most movies are); only
    // a file that is no movie at all gets the "not a SWF file" message.
    SoundExtractionOptions options;
    options.acceptCompressed = true;
    ExtractSwfSounds(movie, folder, options);
}

void TMFrm::mnuCaptureVideoClick()
{
    if (!VideoExportFrm) {
        VideoExportFrm = new TVideoExportFrm(SaveD, this);
        VideoExportFrm->onWritten = [this](const QString& path) {
            StatusBar->setPanelText(0, QStringLiteral("视频已保存到:") + QDir::toNativeSeparators(path));
        };
    }
    TVideoExportFrm::Source source;
    source.movie = FlashMain->Movie();
    source.playerSize = FlashMain->size();
    source.totalFrames = FlashMain->TotalFrames();
    source.antialias = FlashMain->Quality() != 0;
    if (!VideoExportFrm->isVisible())
        VideoExportFrm->move(ToolWindowPlace(FlashMain, VideoExportFrm->size()));
    VideoExportFrm->ShowFor(source);
}

void TMFrm::mnuFileExeToSwfClick()
{
    createExeToFrm();
    ExeToFrm->show();
    ExeToFrm->raise();
    ExeToFrm->activateWindow();
}

void TMFrm::mnuexeToswfClick()
{
    if (!prompts().execute(SaveD))
        return;
    // The projector last opened as a movie; before any, what the user
    // typed into the address box.
    const QString source = lastProjector_.isEmpty() ? AddressBox->currentText() : lastProjector_;
    ExtractProjectorSwf(source, SaveD.fileName, false);
}

void TMFrm::mnuFileSaveAsClick()
{
    try {
        const QString movie = FlashMain->Movie();
        if (movie.isEmpty() || !QFileInfo(movie).isFile())
            return;
        SaveD.filter = kSwfFilter;
        SaveD.defaultExt = QString();
        if (!prompts().execute(SaveD))
            return;
        copyReplacing(movie, SaveD.fileName);
    } catch (...) {
        prompts().showMessage(kSaveAsFailed);
    }
}

} // namespace plovex
