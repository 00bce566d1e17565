#include "player/open_movie.h"

#include "extract/projector.h"
#include "platform/paths.h"
#include "player/shockwave_flash.h"
#include "player/status_panels.h"

#include <QAction>
#include <QListWidget>

namespace plovex {

MovieKind KindOfMovieFile(const QString& path)
{
    const QString ext = FileExtension(path).toUpper();
    if (ext == u".SWF")
        return MovieKind::Swf;
    if (ext == u".EXE")
        return MovieKind::Projector;
    return MovieKind::Other;
}

QString ProjectorTarget()
{
    return ProgramFolder() + QStringLiteral("flash.swf");
}

QString FramePanelText(int frame, int total)
{
    return QStringLiteral("帧数/总帧数[%1/%2]").arg(frame).arg(total);
}

namespace {

// Loads movieFile and shows shownPath in the file panel: the steps that a
// SWF file and an extracted projector share.
void loadIntoPlayer(const MovieOpenTargets& t, const QString& movieFile, const QString* shownPath)
{
    t.flash->SetBGColor(QStringLiteral("-1"));
    t.flash->SetMovie(movieFile);
    if (t.playMain)
        t.playMain->setChecked(true);
    if (t.playPopup)
        t.playPopup->setChecked(true);
    if (t.refreshProgress)
        t.refreshProgress();
    if (t.ensureFrameCounter)
        t.ensureFrameCounter();
    t.status->setPanelText(1, QStringLiteral("速率:默认"));
    t.status->setPanelText(0, QStringLiteral("播放:") + (shownPath ? *shownPath : t.flash->Movie()));
}

} // namespace

void OpenMovie(const MovieOpenTargets& t, const QString& path)
{
    switch (KindOfMovieFile(path)) {
    case MovieKind::Swf:
        if (t.exeToSwf)
            t.exeToSwf->setEnabled(false);
        loadIntoPlayer(t, path, nullptr);
        break;
    case MovieKind::Projector: {
        if (t.exeToSwf)
            t.exeToSwf->setEnabled(true);
        // Release the movie shown so far before its file may be rewritten.
        t.flash->SetMovie(QStringLiteral(" "));
        const QString target = ProjectorTarget();
        if (ExtractProjectorSwf(path, target, false)) {
            loadIntoPlayer(t, target, &path);
        } else if (t.playlist && t.playlist->count() > 1) {
            const QList<QListWidgetItem*> selected = t.playlist->selectedItems();
            if (!selected.isEmpty() && selected.front()->text() == path) {
                const int row = t.playlist->row(selected.front());
                // The list is left without a selection, as after any removal.
                t.playlist->clearSelection();
                delete t.playlist->takeItem(row);
                t.playlist->setCurrentRow(-1);
            }
        }
        break;
    }
    case MovieKind::Other:
        break;
    }
    if (t.enableCommands)
        t.enableCommands(true);
}

} // namespace plovex
