#include "capture/report_form.h"

#include "platform/errors.h"
#include "platform/prompts.h"

#include <QAction>
#include <QBoxLayout>
#include <QGuiApplication>
#include <QImageReader>
#include <QLabel>
#include <QPageSize>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStatusBar>
#include <QToolBar>
#include <algorithm>
#include <cmath>

namespace plovex {

namespace {

template <typename T>
T* named(T* object, const QString& name)
{
    object->setObjectName(name);
    return object;
}

// The band's width as designed: 189.97 mm, the width between the margins.
constexpr double kBandWidthPixels = 718;
constexpr double kBandDesignHeightPixels = 515;
// The picture box as designed: 8 pixels right of and 8 pixels above the
// band's corner, 529 x 401 pixels.
constexpr double kPictureOffsetX = 8;
constexpr double kPictureOffsetY = -8;
constexpr QSizeF kPictureDesignSize(529, 401);
// How far the band stops short of the page's bottom edge.
constexpr int kBandShortfall = 50;

} // namespace

// ---------------------------------------------------------------- report

QSize TfrmReport::Report::pagePixels() const
{
    const QSizeF mm = page.fullRect(QPageLayout::Millimeter).size();
    return QSize(int(std::lround(mm.width() * kReportPixelsPerMm * zoom / 100.0)),
                 int(std::lround(mm.height() * kReportPixelsPerMm * zoom / 100.0)));
}

QPointF TfrmReport::Report::marginPixels() const
{
    const QMarginsF m = page.margins(QPageLayout::Millimeter);
    return QPointF(m.left() * kReportPixelsPerMm, m.top() * kReportPixelsPerMm);
}

TfrmReport::TfrmReport(QWidget* parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("frmReport"));
    setWindowTitle(QStringLiteral("frmReport"));
    setAttribute(Qt::WA_DontShowOnScreen, false);

    QuickRep1.page = QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(10, 10, 10, 10),
                                 QPageLayout::Millimeter);
    QuickRep1.zoom = 100;
    QuickRep1.font = QFont(QStringLiteral("Arial"));
    QuickRep1.font.setPixelSize(13);
    DetailBand1.size = QSizeF(kBandWidthPixels, kBandDesignHeightPixels);
    DetailBand1.color = Qt::white;
    QRImage1.offset = QPointF(kPictureOffsetX, kPictureOffsetY);
    QRImage1.size = kPictureDesignSize;
    QRImage1.autoSize = true;
    QRImage1.stretch = false;

    FormCreate();
}

void TfrmReport::FormCreate()
{
    QRImage1.autoSize = false;
    QRImage1.stretch = true;
    DetailBand1.size.setHeight(QuickRep1.pagePixels().height() - kBandShortfall);
    QRImage1.size = DetailBand1.size;
}

void TfrmReport::LoadPicture(const QString& path)
{
    QImageReader reader(path);
    QImage picture = reader.read();
    if (picture.isNull())
        throw PlovexError(QStringLiteral("Cannot read the picture \"%1\". %2").arg(path, reader.errorString()));
    QRImage1.picture = std::move(picture);
    if (QRImage1.autoSize)
        QRImage1.size = QRImage1.picture.size();
}

QRectF TfrmReport::bandRect() const
{
    return QRectF(QuickRep1.marginPixels(), DetailBand1.size);
}

QRectF TfrmReport::pictureRect() const
{
    return QRectF(bandRect().topLeft() + QRImage1.offset, QRImage1.size);
}

QRectF TfrmReport::pictureRectMm() const
{
    const QRectF px = pictureRect();
    return QRectF(px.x() / kReportPixelsPerMm, px.y() / kReportPixelsPerMm, px.width() / kReportPixelsPerMm,
                  px.height() / kReportPixelsPerMm);
}

void TfrmReport::renderPage(QPainter& painter, int index, const QRectF& target) const
{
    if (index != 0)
        return;
    const QSize page = QuickRep1.pagePixels();
    painter.save();
    painter.translate(target.topLeft());
    painter.scale(target.width() / page.width(), target.height() / page.height());
    painter.fillRect(QRectF(QPointF(0, 0), QSizeF(page)), Qt::white);
    painter.fillRect(bandRect(), DetailBand1.color);
    if (!QRImage1.picture.isNull()) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
        const QRectF box = pictureRect();
        if (QRImage1.stretch) {
            painter.drawImage(box, QRImage1.picture);
        } else {
            painter.setClipRect(box);
            painter.drawImage(box.topLeft(), QRImage1.picture);
        }
    }
    painter.restore();
}

// ---------------------------------------------------------------- composite

TQRCompositeReport::TQRCompositeReport(QObject* parent)
    : QObject(parent)
{
    setObjectName(QStringLiteral("QRCompositeReport1"));
}

int TQRCompositeReport::pageCount() const
{
    int pages = 0;
    for (const TfrmReport* r : Reports)
        pages += r->pageCount();
    return pages;
}

void TQRCompositeReport::renderPage(QPainter& painter, int index, const QRectF& target) const
{
    for (const TfrmReport* r : Reports) {
        if (index < r->pageCount()) {
            r->renderPage(painter, index, target);
            return;
        }
        index -= r->pageCount();
    }
}

void TQRCompositeReport::Preview(QWidget* owner)
{
    Reports.clear();
    if (OnAddReports)
        OnAddReports(*this);
    TPreviewFrm preview(*this, owner);
    prompts().showPrintPreview(preview);
}

void TQRCompositeReport::applySettings(QPrinter& printer) const
{
    if (!PrinterSettings.printerName.isEmpty())
        printer.setPrinterName(PrinterSettings.printerName);
    if (!PrinterSettings.outputFileName.isEmpty()) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(PrinterSettings.outputFileName);
    }
    printer.setCopyCount(std::max(1, PrinterSettings.copies));
    printer.setDuplex(PrinterSettings.duplex ? QPrinter::DuplexAuto : QPrinter::DuplexNone);
    printer.setPageSize(PrinterSettings.paperSize);
    printer.setPageOrientation(PrinterSettings.orientation);
    if (PrinterSettings.firstPage > 0 || PrinterSettings.lastPage > 0) {
        printer.setPrintRange(QPrinter::PageRange);
        printer.setFromTo(PrinterSettings.firstPage, PrinterSettings.lastPage);
    } else {
        printer.setPrintRange(QPrinter::AllPages);
        printer.setFromTo(0, 0);
    }
}

void TQRCompositeReport::storeSettings(const QPrinter& printer)
{
    PrinterSettings.printerName = printer.outputFormat() == QPrinter::NativeFormat ? printer.printerName() : QString();
    PrinterSettings.outputFileName = printer.outputFileName();
    PrinterSettings.copies = std::max(1, printer.copyCount());
    PrinterSettings.orientation = printer.pageLayout().orientation();
    if (printer.printRange() == QPrinter::PageRange) {
        PrinterSettings.firstPage = printer.fromPage();
        PrinterSettings.lastPage = printer.toPage();
    } else {
        PrinterSettings.firstPage = 0;
        PrinterSettings.lastPage = 0;
    }
}

void TQRCompositeReport::print(QPrinter& printer) const
{
    const int pages = pageCount();
    int first = 1;
    int last = pages;
    if (PrinterSettings.firstPage > 0 || PrinterSettings.lastPage > 0) {
        first = std::max(1, PrinterSettings.firstPage);
        last = std::min(pages, PrinterSettings.lastPage > 0 ? PrinterSettings.lastPage : pages);
    }
    if (pages == 0 || first > last)
        return;
    QPainter painter;
    if (!printer.isValid() || !painter.begin(&printer))
        throw PlovexError(QStringLiteral("The printer \"%1\" cannot be used").arg(printer.printerName()));
    const QSizeF paper = Reports.front()->QuickRep1.pagePixels();
    for (int p = first; p <= last; ++p) {
        if (p > first)
            printer.newPage();
        // The page is scaled to the printable area, keeping its shape, and
        // centred there.
        const QRectF area = printer.pageRect(QPrinter::DevicePixel);
        const QSizeF fitted = paper.scaled(area.size(), Qt::KeepAspectRatio);
        const QRectF target(QPointF((area.width() - fitted.width()) / 2, (area.height() - fitted.height()) / 2),
                            fitted);
        renderPage(painter, p - 1, target);
    }
    painter.end();
}

// ---------------------------------------------------------------- preview

TPreviewFrm::TPreviewFrm(TQRCompositeReport& report, QWidget* parent)
    : QWidget(parent, Qt::Window), report_(report)
{
    setObjectName(QStringLiteral("QRPreview"));
    setWindowTitle(QStringLiteral("Print Preview"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    setWindowModality(Qt::NonModal);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* top = new QHBoxLayout;
    top->setContentsMargins(0, 0, 4, 0);
    ToolBar = named(new QToolBar(this), QStringLiteral("ToolBar"));
    ToolBar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    auto add = [this](const char* name, const QString& text, void (TPreviewFrm::*handler)()) {
        QAction* a = named(ToolBar->addAction(text), QString::fromLatin1(name));
        a->setToolTip(text);
        connect(a, &QAction::triggered, this, Guarded([this, handler] { (this->*handler)(); }));
        return a;
    };
    ZoomFitBtn = add("ZoomFit", QStringLiteral("Zoom to fit"), &TPreviewFrm::ZoomToFit);
    Zoom100Btn = add("Zoom100", QStringLiteral("100%"), &TPreviewFrm::Zoom100);
    ZoomWidthBtn = add("ZoomToWidth", QStringLiteral("Zoom to width"), &TPreviewFrm::ZoomToWidth);
    ToolBar->addSeparator();
    FirstPageBtn = add("FirstPage", QStringLiteral("First page"), &TPreviewFrm::FirstPage);
    PrevPageBtn = add("PrevPage", QStringLiteral("Previous page"), &TPreviewFrm::PreviousPage);
    NextPageBtn = add("NextPage", QStringLiteral("Next page"), &TPreviewFrm::NextPage);
    LastPageBtn = add("LastPage", QStringLiteral("Last page"), &TPreviewFrm::LastPage);
    GotoPageBtn = add("GotoPage", QStringLiteral("Go to page"), &TPreviewFrm::GotoPage);
    ToolBar->addSeparator();
    PrintSetupBtn = add("PrintSetup", QStringLiteral("Printer setup"), &TPreviewFrm::PrinterSetup);
    PrintBtn = add("Print", QStringLiteral("Print"), &TPreviewFrm::Print);
    ToolBar->addSeparator();
    SaveReportBtn = add("SaveReport", QStringLiteral("Save Report"), &TPreviewFrm::SaveReport);
    LoadReportBtn = named(ToolBar->addAction(QStringLiteral("Load Report")), QStringLiteral("LoadReport"));
    // Saved reports are PDF files, which this preview does not read back.
    LoadReportBtn->setEnabled(false);
    LoadReportBtn->setToolTip(QStringLiteral("Saved reports are PDF files; open them with a PDF viewer"));
    top->addWidget(ToolBar, 1);
    CloseBtn = named(new QPushButton(QStringLiteral("&Close"), this), QStringLiteral("CloseBtn"));
    connect(CloseBtn, &QPushButton::clicked, this, &QWidget::close);
    top->addWidget(CloseBtn);
    layout->addLayout(top);

    PageArea = named(new QScrollArea(this), QStringLiteral("PageArea"));
    PageArea->setAlignment(Qt::AlignCenter);
    PageArea->setBackgroundRole(QPalette::Dark);
    PageView = named(new QLabel(PageArea), QStringLiteral("PageView"));
    PageArea->setWidget(PageView);
    PageArea->viewport()->installEventFilter(this);
    layout->addWidget(PageArea, 1);

    StatusBar = named(new QStatusBar(this), QStringLiteral("StatusBar"));
    ZoomPanel = named(new QLabel(StatusBar), QStringLiteral("ZoomPanel"));
    PagePanel = named(new QLabel(StatusBar), QStringLiteral("PagePanel"));
    ZoomPanel->setMinimumWidth(80);
    StatusBar->addWidget(ZoomPanel);
    StatusBar->addWidget(PagePanel, 1);
    layout->addWidget(StatusBar);

    // Normal (not maximised), centred on the screen.
    resize(820, 640);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect avail = screen->availableGeometry();
        // Wide enough for every toolbar command, so none hides behind the overflow button.
        const int wanted = std::max(820, ToolBar->sizeHint().width() + CloseBtn->sizeHint().width() + 40);
        resize(std::min(wanted, avail.width()), std::min(avail.height() - 40, 900));
        move(avail.center() - rect().center());
    }
    ZoomToFit();
}

QSize TPreviewFrm::paperPixels() const
{
    // A4 at 100 % and 96 pixels per inch until a report is collected.
    return report_.Reports.empty() ? QSize(794, 1123) : report_.Reports.front()->QuickRep1.pagePixels();
}

void TPreviewFrm::setZoom(int percent)
{
    zoom_ = std::clamp(percent, 5, 400);
    refresh();
}

void TPreviewFrm::refresh()
{
    const int pages = report_.pageCount();
    page_ = std::clamp(page_, 1, std::max(1, pages));
    const QSize paper = paperPixels();
    const QSize shown(std::max(1, paper.width() * zoom_ / 100), std::max(1, paper.height() * zoom_ / 100));
    QImage image(shown, QImage::Format_RGB32);
    image.fill(Qt::white);
    if (pages > 0) {
        QPainter painter(&image);
        report_.renderPage(painter, page_ - 1, QRectF(QPointF(0, 0), QSizeF(shown)));
    }
    PageView->setPixmap(QPixmap::fromImage(image));
    PageView->resize(shown);
    ZoomPanel->setText(QString::number(zoom_) + u'%');
    PagePanel->setText(QStringLiteral("Page %1 of %2").arg(page_).arg(std::max(1, pages)));
    FirstPageBtn->setEnabled(page_ > 1);
    PrevPageBtn->setEnabled(page_ > 1);
    NextPageBtn->setEnabled(page_ < pages);
    LastPageBtn->setEnabled(page_ < pages);
}

void TPreviewFrm::ZoomToFit()
{
    fit_ = Fit::Whole;
    const QSize paper = paperPixels();
    const QSize room = PageArea->viewport()->size() - QSize(8, 8);
    const double zx = 100.0 * room.width() / paper.width();
    const double zy = 100.0 * room.height() / paper.height();
    setZoom(int(std::floor(std::min(zx, zy))));
}

void TPreviewFrm::Zoom100()
{
    fit_ = Fit::None;
    setZoom(100);
}

void TPreviewFrm::ZoomToWidth()
{
    fit_ = Fit::Width;
    const QSize paper = paperPixels();
    const int room = PageArea->viewport()->width() - PageArea->verticalScrollBar()->sizeHint().width() - 8;
    setZoom(int(std::floor(100.0 * room / paper.width())));
}

void TPreviewFrm::showPage(int page)
{
    page_ = page;
    refresh();
}

void TPreviewFrm::FirstPage() { showPage(1); }
void TPreviewFrm::PreviousPage() { showPage(page_ - 1); }
void TPreviewFrm::NextPage() { showPage(page_ + 1); }
void TPreviewFrm::LastPage() { showPage(report_.pageCount()); }

void TPreviewFrm::GotoPage()
{
    QString value = QString::number(page_);
    if (!prompts().inputQuery(QStringLiteral("Go to page"),
                              QStringLiteral("Page number (1 to %1):").arg(std::max(1, report_.pageCount())), value))
        return;
    bool ok = false;
    const int page = value.trimmed().toInt(&ok);
    if (ok)
        showPage(page);
}

void TPreviewFrm::PrinterSetup()
{
    QPrinter printer(QPrinter::HighResolution);
    report_.applySettings(printer);
    QPrintDialog dialog(&printer, this);
    dialog.setMinMax(1, std::max(1, report_.pageCount()));
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, true);
    if (!prompts().runDialog(dialog))
        return;
    report_.storeSettings(printer);
}

void TPreviewFrm::Print()
{
    QPrinter printer(QPrinter::HighResolution);
    report_.applySettings(printer);
    report_.print(printer);
}

void TPreviewFrm::SaveReport()
{
    FileDialog dialog;
    dialog.kind = FileDialog::Kind::Save;
    dialog.title = QStringLiteral("Save Report");
    dialog.filter = QStringLiteral("PDF (*.pdf)|*.pdf");
    dialog.defaultExt = QStringLiteral("pdf");
    dialog.overwritePrompt = true;
    dialog.enableSizing = true;
    if (!prompts().execute(dialog))
        return;
    QString fileName = dialog.fileName;
    SavePdf(fileName);
}

void TPreviewFrm::SavePdf(const QString& fileName) const
{
    if (report_.Reports.empty())
        return;
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(fileName);
    printer.setFullPage(true);
    printer.setPageLayout(QPageLayout(report_.Reports.front()->QuickRep1.page.pageSize(), QPageLayout::Portrait,
                                      QMarginsF(0, 0, 0, 0)));
    QPainter painter;
    if (!painter.begin(&printer))
        throw PlovexError(QStringLiteral("Cannot create file \"%1\"").arg(fileName));
    for (int p = 0; p < report_.pageCount(); ++p) {
        if (p > 0)
            printer.newPage();
        report_.renderPage(painter, p, printer.paperRect(QPrinter::DevicePixel));
    }
    if (!painter.end())
        throw PlovexError(QStringLiteral("Cannot create file \"%1\"").arg(fileName));
}

bool TPreviewFrm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == PageArea->viewport() && event->type() == QEvent::Resize) {
        if (fit_ == Fit::Whole)
            ZoomToFit();
        else if (fit_ == Fit::Width)
            ZoomToWidth();
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace plovex
