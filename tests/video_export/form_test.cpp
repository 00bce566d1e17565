// The video export dialog, driven through the real main window offscreen.

#include "player/shockwave_flash.h"
#include "player/status_panels.h"
#include "support/main_form_fixture.h"
#include "video_export/video_export_form.h"
#include "video_export/video_fixtures.h"
#include "widgets/tool_window.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QRadioButton>
#include <QSpinBox>
#include <QThread>
#include <QToolButton>

using namespace plovex;
using namespace plovex::test;
using namespace plovex::video::test;

namespace {

class VideoExportFormTest : public MainFormFixture {
protected:
    void SetUp() override
    {
        MainFormFixture::SetUp();
        form = std::make_unique<TMFrm>();
        movie = write("clip.swf", TestMovie(12, 24, 64, 48));
        form->OpenMovie(movie);
    }

    TVideoExportFrm& shown()
    {
        form->mnuCaptureVideo->trigger();
        EXPECT_NE(form->VideoExportFrm, nullptr);
        return *form->VideoExportFrm;
    }

    // Runs the event loop until the export has ended.
    static void waitForEnd(TVideoExportFrm& d)
    {
        QElapsedTimer t;
        t.start();
        while ((d.exporting() || d.Progress->isVisible()) && t.elapsed() < 120000) {
            QApplication::processEvents();
            QThread::msleep(5);
        }
        EXPECT_FALSE(d.exporting());
    }

    QStringList entries() const
    {
        return QDir(workDir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }

    QString movie;
};

} // namespace

// The command sits in the extraction menu and is enabled with it; its
// dialog has the tool windows' look and the controls of size, range and
// format; the name comes from the shared save dialog with the four formats.
TEST_F(VideoExportFormTest, MenuCommandOpensTheDialog)
{
    ASSERT_NE(form->mnuCaptureVideo, nullptr);
    EXPECT_EQ(form->mnuCaptureVideo->text(), QStringLiteral("导出视频..."));
    EXPECT_TRUE(form->mnuCapture->actions().contains(form->mnuCaptureVideo));
    EXPECT_TRUE(form->mnuCaptureVideo->isEnabled());
    EXPECT_TRUE(form->mnuCapture->menuAction()->isEnabled());
    form->EnableCommands(false);
    EXPECT_FALSE(form->mnuCapture->menuAction()->isEnabled());
    form->EnableCommands(true);

    TVideoExportFrm& d = shown();
    EXPECT_TRUE(d.isVisible());
    EXPECT_TRUE(d.windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_EQ(d.palette().color(QPalette::Window), TToolWindowLook::background());
    EXPECT_EQ(d.TitleLabel->text(), QStringLiteral("导出视频"));
    EXPECT_EQ(d.Look->closePicture()->toolTip(), QStringLiteral("关闭"));
    EXPECT_EQ(d.SizeStage->text(), QStringLiteral("影片大小 (64×48)"));
    EXPECT_EQ(d.FormatBox->count(), 4);
    EXPECT_EQ(d.ToEdit->value(), 12);
    EXPECT_EQ(d.FileEdit->text(), work("clip.mp4"));

    prompts.fileDialogAnswers.push_back([this](FileDialog& dialog) {
        EXPECT_EQ(dialog.filter, kVideoSaveFilter);
        EXPECT_EQ(dialog.filterIndex, 1);
        dialog.fileName = work("chosen.webm");
        dialog.filterIndex = 2;
        return true;
    });
    d.FileBro->click();
    EXPECT_EQ(d.FileEdit->text(), work("chosen.webm"));
    EXPECT_EQ(d.FormatBox->currentIndex(), 1);
    // The name follows the format chosen.
    d.FormatBox->setCurrentIndex(3);
    EXPECT_EQ(d.FileEdit->text(), work("chosen.gif"));
    // The shared dialog keeps the filter for its next user.
    EXPECT_EQ(form->SaveD.filter, kVideoSaveFilter);
}

// The export runs beside the player, which keeps playing or stays paused;
// the status bar then says where the file is; the frames asked are there.
TEST_F(VideoExportFormTest, ExportWritesTheFileAndSaysWhere)
{
    struct Case {
        bool playing;
        const char* name;
        QRadioButton* TVideoExportFrm::*range;
        int frames;
    };
    for (const Case& c : {Case{true, "all.mp4", &TVideoExportFrm::RangeAll, 12},
                          Case{false, "part.mkv", &TVideoExportFrm::RangeFrames, 4}}) {
        SCOPED_TRACE(c.name);
        if (c.playing)
            form->FlashMain->Play();
        else
            form->FlashMain->Stop();
        TVideoExportFrm& d = shown();
        d.FileEdit->setText(work(c.name));
        d.FormatBox->setCurrentIndex(c.frames == 12 ? 0 : 2);
        (d.*c.range)->setChecked(true);
        d.FromEdit->setValue(3);
        d.ToEdit->setValue(6);
        d.SizeCustom->setChecked(true);
        d.WidthEdit->setValue(32);
        d.HeightEdit->setValue(24);
        d.ExportButton->click();
        EXPECT_FALSE(d.isVisible());
        waitForEnd(d);
        EXPECT_TRUE(prompts.shown.empty()) << (prompts.shown.empty() ? "" : prompts.shown.front().text.toStdString());
        EXPECT_EQ(form->FlashMain->Playing(), c.playing);
        EXPECT_EQ(form->StatusBar->panelText(0), QStringLiteral("视频已保存到:") + work(c.name));
        const Decoded decoded = DecodeVideo(work(c.name));
        EXPECT_EQ(decoded.videoFrames, c.frames);
        EXPECT_EQ(QSize(decoded.width, decoded.height), QSize(32, 24));
    }
}

// Cancel in the progress window: the export stops, the partial file goes
// and the status bar keeps what it said.
TEST_F(VideoExportFormTest, CancelLeavesNoFile)
{
    TVideoExportFrm& d = shown();
    d.FileEdit->setText(work("long.mp4"));
    d.RangeSeconds->setChecked(true);
    d.SecondsEdit->setValue(3000);
    d.SizeCustom->setChecked(true);
    d.WidthEdit->setValue(16);
    d.HeightEdit->setValue(16);
    const QString status = form->StatusBar->panelText(0);
    d.ExportButton->click();
    ASSERT_TRUE(d.exporting());
    EXPECT_TRUE(d.Progress->isVisible());
    EXPECT_EQ(d.Progress->CancelButton->text(), QStringLiteral("取消"));
    // Progress shows before the cancel.
    QElapsedTimer t;
    t.start();
    while (d.Progress->ProgressBar->value() == 0 && d.Progress->StateLabel->text().isEmpty() && t.elapsed() < 60000)
        QApplication::processEvents();
    d.Progress->CancelButton->click();
    waitForEnd(d);
    EXPECT_FALSE(d.Progress->isVisible());
    EXPECT_EQ(entries(), QStringList{"clip.swf"});
    EXPECT_EQ(form->StatusBar->panelText(0), status);
    EXPECT_TRUE(prompts.shown.empty());
}
