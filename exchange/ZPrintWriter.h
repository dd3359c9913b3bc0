#pragma once
// The packed print file "*.ZPrint": a plan sheet's printable area as run-length packed tiles of 512 x 512
// pixels with an index at the end. Little-endian; tags are 8 ASCII bytes; every number an int32:
//
//   "ZPRINT  "
//   "PLDFFMTH" height, "PLDFFMTW" width, "PLDFILFT" left, "PLDFIRGH" right, "PLDFITOP" top, "PLDFIBOT"
//   bottom (paper and margins, mm), "PLDFPT_W" and "PLDFPT_H" (the printable area, pixels)
//   "BMPINFO ", the 40-byte BITMAPINFOHEADER of a 512 x 512, 24-bit tile
//   per tile: "PACKBMP ", the tile as WriteRleRaster packs it (its own header, then its rows, bottom first)
//   "BMPLIST ", per tile nine int32: the position of its "PACKBMP " tag, the part of the tile that holds
//   the sheet (0, 0, width, height) and where that part lies in the printable area (left, top, right,
//   bottom pixels from its top-left corner)
//   "LISTPOS ", the position of the "BMPLIST " tag, the tile count
//
// Positions are signed 32-bit, so a file ends before 2 GiB: a tile that would carry the file beyond is
// refused before anything of it is written.
#include "engine/Streams.h"
#include "platform/gdi/Bitmap.h"

#include <array>
#include <cstdint>
#include <vector>

struct TZPrintSheet {
    int32_t SheetHeight = 0, SheetWidth = 0;
    int32_t LeftMargin = 0, RightMargin = 0, TopMargin = 0, BottomMargin = 0;
    int32_t PrintWidth = 0, PrintHeight = 0; // pixels, at least 1 each
};

class TZPrintWriter {
public:
    static constexpr int TileSize = 512;
    // The largest position a file may hold.
    static constexpr int64_t MaxPosition = 0x7FFFFFFF;

    // Writes everything before the tiles. A printable area without pixels raises EStreetError.
    TZPrintWriter(TStream &stream, const TZPrintSheet &sheet);

    // Columns and rows of tiles, each at least 1.
    int Columns() const { return columns_; }
    int Rows() const { return rows_; }
    int TileCount() const { return static_cast<int>(records_.size()); }

    // Appends the tile of that column and row: a 512 x 512, 24-bit bitmap whose top-left pixel is pixel
    // (column x 512, row x 512) of the printable area. Raises EStreetError, writing nothing, for another
    // bitmap, a tile outside the area, or when the file would pass 2 GiB.
    void AddTile(int column, int row, const TBitmap &tile);
    // Writes the index and the trailer; the file is then complete (also with fewer tiles than the area
    // has). Nothing may be added afterwards.
    void Finish();

private:
    TStream &stream_;
    TZPrintSheet sheet_;
    int columns_ = 0, rows_ = 0;
    std::vector<std::array<int32_t, 9>> records_;
    TMemoryStream packed_;
    bool finished_ = false;
};
