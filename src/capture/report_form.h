#pragma once

#include <QFont>
#include <QImage>
#include <QPageLayout>
#include <QRect>
#include <QRectF>
#include <QString>
#include <QWidget>
#include <functional>
#include <vector>

class QLabel;
class QPainter;
class QPrinter;
class QPushButton;
class QScrollArea;
class QStatusBar;
class QToolBar;
class QAction;

namespace plovex {

// Screen pixels per millimetre at 96 pixels per inch, the resolution the
// report is laid out in.
inline constexpr double kReportPixelsPerMm = 96.0 / 25.4;

// The print report of the current frame: one A4 page, portrait, 10 mm
// margins, one white detail band with one picture box. It is never shown;
// the preview renders it. All rectangles are in page pixels at 96 pixels
// per inch and 100 % zoom, (0, 0) being the paper's top-left corner.
class TfrmReport final : public QWidget {
    Q_OBJECT

public:
    struct Report {
        QPageLayout page;               // A4 portrait, millimetres, 10 mm margins
        int zoom = 100;
        QFont font;                     // Arial, 13 pixels (no text is printed)
        // The page in screen pixels at 100 % (794 x 1123 for A4).
        QSize pagePixels() const;
        // The top-left corner of the printable area (the margins), in pixels.
        QPointF marginPixels() const;
    };
    struct Band {
        QSizeF size;                    // pixels; placed at the page's margins
        QColor color = Qt::white;
    };
    struct Image {
        QPointF offset;                 // pixels from the band's top-left corner
        QSizeF size;                    // pixels
        bool autoSize = true;
        bool stretch = false;
        QImage picture;
    };

    explicit TfrmReport(QWidget* parent = nullptr);

    // Fixes the layout once: the picture stretched over the whole band,
    // which reaches to 50 pixels short of the page's height.
    void FormCreate();

    // Loads the picture box's picture; raises PlovexError when the file
    // cannot be read as a picture.
    void LoadPicture(const QString& path);

    // Where the band and the picture lie on the page, in pixels.
    QRectF bandRect() const;
    QRectF pictureRect() const;
    // The picture's rectangle on paper, in millimetres from the paper's
    // top-left corner.
    QRectF pictureRectMm() const;

    int pageCount() const { return 1; }
    // Draws page `index` (counted from 0) into `target`, the whole paper.
    void renderPage(QPainter& painter, int index, const QRectF& target) const;

    Report QuickRep1;
    Band DetailBand1;
    Image QRImage1;
};

// The printer settings the preview starts from and the printer setup
// stores back.
struct ReportPrinterSettings {
    int copies = 1;
    bool duplex = false;
    int firstPage = 0;                  // 0 and 0: all pages
    int lastPage = 0;
    QPageSize paperSize = QPageSize(QPageSize::Letter);
    QPageLayout::Orientation orientation = QPageLayout::Portrait;
    QString printerName;                // empty: the system's default printer
    QString outputFileName;             // set when the user prints to a file
};

// The composite report: collects its reports through AddReports and
// previews them as one document.
class TQRCompositeReport final : public QObject {
    Q_OBJECT

public:
    explicit TQRCompositeReport(QObject* parent = nullptr);

    ReportPrinterSettings PrinterSettings;
    std::vector<TfrmReport*> Reports;
    // The event that fills Reports; run at the start of every preview.
    std::function<void(TQRCompositeReport&)> OnAddReports;

    // Collects the reports and shows the preview window; returns when the
    // user has closed it.
    void Preview(QWidget* owner = nullptr);

    // Sets up a printer from PrinterSettings.
    void applySettings(QPrinter& printer) const;
    // Stores a printer's choices back.
    void storeSettings(const QPrinter& printer);
    // Prints the pages of the stored range, each scaled to the printable
    // area; raises PlovexError when the printer cannot be used.
    void print(QPrinter& printer) const;

    int pageCount() const;
    void renderPage(QPainter& painter, int index, const QRectF& target) const;
};

// The print-preview window: the rendered pages with zoom, page and print
// commands.
class TPreviewFrm final : public QWidget {
    Q_OBJECT

public:
    explicit TPreviewFrm(TQRCompositeReport& report, QWidget* parent = nullptr);

    int zoom() const { return zoom_; }
    int page() const { return page_; }            // counted from 1

    void ZoomToFit();
    void Zoom100();
    void ZoomToWidth();
    void FirstPage();
    void PreviousPage();
    void NextPage();
    void LastPage();
    void GotoPage();
    void PrinterSetup();
    void Print();
    void SaveReport();

    // Writes the rendered pages to a PDF file, each page the paper's size.
    void SavePdf(const QString& fileName) const;

    QToolBar* ToolBar = nullptr;
    QAction* ZoomFitBtn = nullptr;
    QAction* Zoom100Btn = nullptr;
    QAction* ZoomWidthBtn = nullptr;
    QAction* FirstPageBtn = nullptr;
    QAction* PrevPageBtn = nullptr;
    QAction* NextPageBtn = nullptr;
    QAction* LastPageBtn = nullptr;
    QAction* GotoPageBtn = nullptr;
    QAction* PrintSetupBtn = nullptr;
    QAction* PrintBtn = nullptr;
    QAction* SaveReportBtn = nullptr;
    QAction* LoadReportBtn = nullptr;
    QPushButton* CloseBtn = nullptr;
    QScrollArea* PageArea = nullptr;
    QLabel* PageView = nullptr;
    QStatusBar* StatusBar = nullptr;
    QLabel* ZoomPanel = nullptr;
    QLabel* PagePanel = nullptr;

protected:
    // Keeps a fitted zoom fitted when the page area changes size (also the
    // first layout, which gives the area its real size only after showing).
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The page's size on screen at 100 %.
    QSize paperPixels() const;
    void setZoom(int percent);
    void showPage(int page);
    void refresh();

    TQRCompositeReport& report_;
    int zoom_ = 100;
    int page_ = 1;
    enum class Fit { None, Whole, Width } fit_ = Fit::Whole;
};

} // namespace plovex
