#include "report_output.h"

#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>

#include "qt_surface.h"
#include "ui/report_painter.h"

namespace velmora::gui {

namespace {
// Logical units per point: the painter's fonts come in whole pixels, so the page is
// drawn four times finer than a point and scaled back, and 8.5-point text stays 8.5.
constexpr double kUnitsPerPoint = 4;
} // namespace

int PaintReport(const TDesign& d, QPrinter& printer) {
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setPageOrientation(QPageLayout::Portrait);
    printer.setFullPage(true);
    QPainter p(&printer);
    if (!p.isActive()) return 0;
    const ReportGeometry g;
    const QRect sheet = printer.pageLayout().fullRectPixels(printer.resolution());
    p.setViewport(0, 0, sheet.width(), sheet.height());
    p.setWindow(0, 0, int(g.Width * kUnitsPerPoint), int(g.Height * kUnitsPerPoint));
    QtSurface surface(p, g.Width * kUnitsPerPoint, g.Height * kUnitsPerPoint);
    ReportDocument doc;
    {
        RegionSurface page(surface, 0, 0, g.Width, g.Height, kUnitsPerPoint);
        doc = LayoutReport(d, page, g);
    }
    for (int i = 0; i < doc.PageCount(); ++i) {
        if (i > 0) printer.newPage();
        RegionSurface page(surface, 0, 0, g.Width, g.Height, kUnitsPerPoint);
        doc.PaintPage(page, i);
    }
    return doc.PageCount();
}

namespace {
bool PrintToPdf(const TDesign& d, const QString& file) {
    if (file.isEmpty()) return false;
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(file);
    PaintReport(d, printer);
    return true;
}
} // namespace

void PrintReport(const TDesign& d, QWidget* parent, const QString& toFile) {
    if (PrintToPdf(d, toFile)) return;
    QPrinter printer(QPrinter::HighResolution);
    QPrintDialog dialog(&printer, parent);
    dialog.setWindowTitle("Print");
    if (dialog.exec() != QDialog::Accepted) return;
    PaintReport(d, printer);
}

void PreviewReport(const TDesign& d, QWidget* parent, const QString& toFile) {
    if (PrintToPdf(d, toFile)) return;
    QPrinter printer(QPrinter::HighResolution);
    QPrintPreviewDialog preview(&printer, parent);
    preview.setWindowTitle("Print Preview");
    QObject::connect(&preview, &QPrintPreviewDialog::paintRequested,
                     [&d](QPrinter* target) { PaintReport(d, *target); });
    preview.exec();
}

} // namespace velmora::gui
