#include "capture/report_form.h"
#include "capturegui/capture_fixture.h"

#include <QAction>
#include <QCoreApplication>
#include <QFileInfo>
#include <QLabel>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QScrollArea>

using namespace plovex;
using plovex::test::CaptureFixture;

namespace {

class PrintPreviewTest : public CaptureFixture {};

} // namespace

// One A4 page at 96 pixels per inch: 794 x 1123 pixels; the band reaches to
// 50 pixels short of the page's height and the picture covers it, 8 pixels
// right of and 8 pixels above the band's corner.
TEST(ReportLayoutTest, ThePageBandAndPictureMeasureAsLaidOut)
{
    TfrmReport report;
    EXPECT_EQ(report.windowTitle(), QStringLiteral("frmReport"));
    EXPECT_FALSE(report.isVisible());
    EXPECT_EQ(report.QuickRep1.pagePixels(), QSize(794, 1123));
    EXPECT_EQ(report.QuickRep1.page.pageSize().id(), QPageSize::A4);
    EXPECT_EQ(report.QuickRep1.page.orientation(), QPageLayout::Portrait);
    EXPECT_EQ(report.QuickRep1.page.margins(QPageLayout::Millimeter), QMarginsF(10, 10, 10, 10));
    EXPECT_EQ(report.DetailBand1.size, QSizeF(718, 1073));
    EXPECT_FALSE(report.QRImage1.autoSize);
    EXPECT_TRUE(report.QRImage1.stretch);
    EXPECT_EQ(report.QRImage1.size, QSizeF(718, 1073));
    const QRectF band = report.bandRect();
    const QRectF picture = report.pictureRect();
    EXPECT_NEAR(band.left(), 37.80, 0.01);
    EXPECT_EQ(picture.topLeft() - band.topLeft(), QPointF(8, -8));
    const QRectF mm = report.pictureRectMm();
    EXPECT_NEAR(mm.left(), 12.12, 0.01);
    EXPECT_NEAR(mm.right(), 202.09, 0.01);
    EXPECT_NEAR(mm.top(), 7.88, 0.01);
    EXPECT_NEAR(mm.bottom(), 291.77, 0.02);
    EXPECT_NEAR(mm.height(), 283.9, 0.01);
}

// The page shows the one picture stretched over its rectangle, whatever
// the picture's own proportions, on white paper.
TEST(ReportLayoutTest, ThePictureIsStretchedOverItsRectangle)
{
    TfrmReport report;
    QImage wide(400, 300, QImage::Format_RGB32);   // 4:3
    wide.fill(QColor(10, 120, 200));
    report.QRImage1.picture = wide;
    QImage page(794, 1123, QImage::Format_RGB32);
    page.fill(Qt::black);
    QPainter painter(&page);
    report.renderPage(painter, 0, QRectF(0, 0, 794, 1123));
    painter.end();
    const QRect picture = report.pictureRect().toAlignedRect();
    for (const QPoint p : {picture.topLeft() + QPoint(2, 2), picture.bottomRight() - QPoint(2, 2),
                           QPoint(picture.center())})
        EXPECT_EQ(page.pixel(p), qRgb(10, 120, 200)) << p.x() << "," << p.y();
    EXPECT_EQ(page.pixel(20, 600), qRgb(255, 255, 255));    // left margin
    EXPECT_EQ(page.pixel(400, 1110), qRgb(255, 255, 255));  // below the picture
}

TEST_F(PrintPreviewTest, TheCommandWritesReportImgAndPreviewsIt)
{
    TMFrm& f = makeWithMovie();
    f.FlashMain->Stop();
    const QString reportImg = programDir.filePath(QStringLiteral("ReportImg.jpg"));
    bool previewed = false;
    const QString pdf = work(QStringLiteral("report.pdf"));
    prompts.printPreviewAnswer = [&](QWidget& window) {
        previewed = true;
        EXPECT_EQ(window.windowTitle(), QStringLiteral("Print Preview"));
        EXPECT_TRUE(fileBytes(reportImg).startsWith("\xFF\xD8\xFF"));
        auto* preview = qobject_cast<TPreviewFrm*>(&window);
        ASSERT_NE(preview, nullptr);
        EXPECT_EQ(preview->PagePanel->text(), QStringLiteral("Page 1 of 1"));
        // Once laid out on screen, the whole page fits the page area at a readable zoom.
        window.show();
        QCoreApplication::processEvents();
        const QSize room = preview->PageArea->viewport()->size();
        EXPECT_GT(preview->zoom(), 20);
        EXPECT_LE(preview->PageView->width(), room.width());
        EXPECT_LE(preview->PageView->height(), room.height());
        EXPECT_GT(preview->PageView->height(), room.height() * 3 / 4);
        preview->Zoom100();
        EXPECT_EQ(preview->ZoomPanel->text(), QStringLiteral("100%"));
        EXPECT_EQ(preview->PageView->size(), QSize(794, 1123));
        preview->NextPage();
        EXPECT_EQ(preview->page(), 1);
        for (QAction* a : {preview->ZoomFitBtn, preview->Zoom100Btn, preview->ZoomWidthBtn, preview->FirstPageBtn,
                           preview->PrevPageBtn, preview->NextPageBtn, preview->LastPageBtn, preview->GotoPageBtn,
                           preview->PrintSetupBtn, preview->PrintBtn, preview->SaveReportBtn,
                           preview->LoadReportBtn})
            EXPECT_FALSE(a->text().isEmpty());
        // "Save Report" writes the page as a PDF.
        prompts.answerFile(pdf);
        preview->SaveReportBtn->trigger();
    };
    f.mnuFileReport->trigger();
    EXPECT_TRUE(previewed);
    EXPECT_TRUE(prompts.errors().isEmpty()) << prompts.errors().join(u'\n').toStdString();
    const QImage written(reportImg);
    EXPECT_EQ(written.size(), QSize(320, 240));
    EXPECT_EQ(f.frmReport->QRImage1.picture.size(), QSize(320, 240));
    EXPECT_TRUE(fileBytes(pdf).startsWith("%PDF"));
}

TEST_F(PrintPreviewTest, ASecondPreviewReplacesThePicture)
{
    TMFrm& f = makeWithMovie(10);
    const QString reportImg = programDir.filePath(QStringLiteral("ReportImg.jpg"));
    f.FlashMain->SetFrameNum(0);
    f.mnuFileReport->trigger();
    const QImage first = f.frmReport->QRImage1.picture;
    f.FlashMain->SetFrameNum(8);
    f.mnuFileReport->trigger();
    const QImage second = f.frmReport->QRImage1.picture;
    EXPECT_NE(first, second);
    EXPECT_EQ(QImage(reportImg), second);
    EXPECT_EQ(prompts.textsOf(test::ScriptedPrompts::Kind::PrintPreview).size(), 2);
}

TEST_F(PrintPreviewTest, AnUnwritableProgramFolderIsReportedAndNothingOpens)
{
    TMFrm& f = makeWithMovie();
    SetProgramFolder(work(QStringLiteral("no/such/folder")));
    f.mnuFileReport->trigger();
    EXPECT_EQ(prompts.errors().size(), 1);
    EXPECT_TRUE(prompts.textsOf(test::ScriptedPrompts::Kind::PrintPreview).isEmpty());
}

// "Printer setup" stores what the print dialog chose; "Print" prints the
// stored range on that printer (here a PDF file).
TEST_F(PrintPreviewTest, PrinterSetupAndPrint)
{
    TMFrm& f = makeWithMovie();
    const QString printed = work(QStringLiteral("printed.pdf"));
    EXPECT_EQ(f.QRCompositeReport1->PrinterSettings.paperSize.id(), QPageSize::Letter);
    EXPECT_EQ(f.QRCompositeReport1->PrinterSettings.copies, 1);
    prompts.printPreviewAnswer = [&](QWidget& window) {
        auto* preview = qobject_cast<TPreviewFrm*>(&window);
        ASSERT_NE(preview, nullptr);
        prompts.dialogAnswers.push_back([](QDialog&) { return false; });
        preview->PrintSetupBtn->trigger();
        EXPECT_TRUE(f.QRCompositeReport1->PrinterSettings.outputFileName.isEmpty());
        prompts.dialogAnswers.push_back([&](QDialog& d) {
            auto* print = qobject_cast<QPrintDialog*>(&d);
            EXPECT_NE(print, nullptr);
            if (!print)
                return false;
            print->printer()->setOutputFormat(QPrinter::PdfFormat);
            print->printer()->setOutputFileName(printed);
            print->printer()->setCopyCount(2);
            return true;
        });
        preview->PrintSetupBtn->trigger();
        EXPECT_EQ(f.QRCompositeReport1->PrinterSettings.outputFileName, printed);
        EXPECT_EQ(f.QRCompositeReport1->PrinterSettings.copies, 2);
        preview->PrintBtn->trigger();
    };
    f.mnuFileReport->trigger();
    EXPECT_TRUE(prompts.errors().isEmpty()) << prompts.errors().join(u'\n').toStdString();
    EXPECT_TRUE(fileBytes(printed).startsWith("%PDF"));
}
