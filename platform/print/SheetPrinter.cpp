#include "platform/print/SheetPrinter.h"

#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPrinter>
#include <QPrinterInfo>
#include <QSizeF>

#include <cmath>

std::unique_ptr<QPrinter> CreateSheetPrinter(const TSheetPaper &paper, const QString &printerName,
                                             const QString &pdfFileName) {
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    QPrinterInfo info = printerName.isEmpty() ? QPrinterInfo::defaultPrinter()
                                              : QPrinterInfo::printerInfo(printerName);
    if (!pdfFileName.isEmpty() || info.isNull()) {
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(pdfFileName);
    } else {
        printer->setPrinterName(info.printerName());
    }
    printer->setResolution(paper.DPI);
    printer->setFullPage(true);
    // A page as wide as it is given stays portrait whatever its proportions.
    const QPageSize size(QSizeF(paper.WidthMm, paper.HeightMm), QPageSize::Millimeter, QString(),
                         QPageSize::ExactMatch);
    printer->setPageLayout(
        QPageLayout(size, QPageLayout::Portrait, QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter));
    return printer;
}

bool PrintsToFile(const QPrinter &printer) {
    return printer.outputFormat() == QPrinter::PdfFormat;
}

QRect PageRectInside(const QPrinter &printer, double leftMm, double topMm, double rightMm, double bottomMm) {
    // Device pixels of the full page; the painter's origin is the paper's top-left corner.
    const QRectF paper = printer.paperRect(QPrinter::DevicePixel);
    const QSizeF mm = printer.pageLayout().fullRect(QPageLayout::Millimeter).size();
    const double px = paper.width() / mm.width(), py = paper.height() / mm.height();
    const int left = int(std::lround(leftMm * px)), top = int(std::lround(topMm * py));
    const int right = int(std::lround(paper.width() - rightMm * px));
    const int bottom = int(std::lround(paper.height() - bottomMm * py));
    return QRect(QPoint(left, top), QPoint(right - 1, bottom - 1));
}
