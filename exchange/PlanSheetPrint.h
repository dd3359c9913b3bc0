#pragma once
// A plan sheet on a printer page: the printer's paper is the sheet's, and the printable area lands at
// the sheet's margins.
#include "platform/print/SheetPrinter.h"

class QPrinter;
class TPlanDefineItem;

// The sheet's paper size and resolution.
TSheetPaper SheetPaper(const TPlanDefineItem &sheet);

// Prints the sheet's printable area as one page (tiles of the sheet stretched into the area between its
// margins). Raises EStreetError when the printer cannot start the page or the sheet cannot be rendered.
void PrintPlanSheet(TPlanDefineItem &sheet, QPrinter &printer, bool withFrame);
