#pragma once
// Printers set up for plan sheets: the paper is the sheet's own (any size, in millimetres), the printer
// adds no margins of its own (the sheet carries them) and paints the whole page at the sheet's
// resolution. Where no printer is installed, or a file name is given, the page goes into a PDF file.
#include <QRect>
#include <QString>

#include <memory>

class QPrinter;

struct TSheetPaper {
    double WidthMm = 210, HeightMm = 297;
    int DPI = 300;
};

// A printer for the paper: the named printer (the system's default when the name is empty) or, when
// pdfFileName is not empty or no printer is available, a PDF writer into that file.
std::unique_ptr<QPrinter> CreateSheetPrinter(const TSheetPaper &paper, const QString &printerName,
                                             const QString &pdfFileName);

// True when the printer writes a PDF file rather than printing.
bool PrintsToFile(const QPrinter &printer);

// The rectangle of the page, in the painter's device pixels, whose edges lie the given distances (mm)
// from the paper's edges.
QRect PageRectInside(const QPrinter &printer, double leftMm, double topMm, double rightMm, double bottomMm);
