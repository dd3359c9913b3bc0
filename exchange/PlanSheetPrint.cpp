#include "exchange/PlanSheetPrint.h"

#include "engine/StreetError.h"
#include "exchange/PlanDefineItem.h"

#include <QPainter>
#include <QPrinter>

TSheetPaper SheetPaper(const TPlanDefineItem &sheet) {
    return {double(sheet.Format.SheetWidth), double(sheet.Format.SheetHeight), sheet.Format.DPI};
}

void PrintPlanSheet(TPlanDefineItem &sheet, QPrinter &printer, bool withFrame) {
    const char *what = "PrintPlanSheet";
    QPainter painter;
    if (!painter.begin(&printer))
        RaiseStreetError(what, "the printer cannot start a page");
    const TPlanSheetFormat &f = sheet.Format;
    const QRect area = PageRectInside(printer, f.LeftMargin, f.TopMargin, f.RightMargin, f.BottomMargin);
    try {
        sheet.RenderToDC(painter, QRect(area.left(), area.top(), area.width(), area.height()), withFrame);
    } catch (...) {
        printer.abort();
        painter.end();
        throw;
    }
    if (!painter.end())
        RaiseStreetError(what, "the printer did not finish the page");
}
