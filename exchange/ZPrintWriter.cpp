#include "exchange/ZPrintWriter.h"

#include "engine/DibUtils.h"
#include "engine/StreetError.h"
#include "model/StreamTags.h"

#include <algorithm>
#include <string>

namespace {

const char *const What = "TPlanDefineItem.RenderPrintFile";

void WriteTagInt(TStream &stream, const char *tag, int32_t value) {
    WriteStreamTag(stream, tag);
    stream.WriteInt32(value);
}

} // namespace

TZPrintWriter::TZPrintWriter(TStream &stream, const TZPrintSheet &sheet) : stream_(stream), sheet_(sheet) {
    if (sheet.PrintWidth < 1 || sheet.PrintHeight < 1)
        RaiseStreetError(What, "the printable area of " + std::to_string(sheet.PrintWidth) + " x " +
                                   std::to_string(sheet.PrintHeight) + " pixels is empty");
    columns_ = (sheet.PrintWidth - 1) / TileSize + 1;
    rows_ = (sheet.PrintHeight - 1) / TileSize + 1;
    WriteStreamTag(stream, "ZPRINT  ");
    WriteTagInt(stream, "PLDFFMTH", sheet.SheetHeight);
    WriteTagInt(stream, "PLDFFMTW", sheet.SheetWidth);
    WriteTagInt(stream, "PLDFILFT", sheet.LeftMargin);
    WriteTagInt(stream, "PLDFIRGH", sheet.RightMargin);
    WriteTagInt(stream, "PLDFITOP", sheet.TopMargin);
    WriteTagInt(stream, "PLDFIBOT", sheet.BottomMargin);
    WriteTagInt(stream, "PLDFPT_W", sheet.PrintWidth);
    WriteTagInt(stream, "PLDFPT_H", sheet.PrintHeight);
    WriteStreamTag(stream, "BMPINFO ");
    WriteBitmapInfoHeader(stream, FillBitmapInfoHeader(TBitmap(TileSize, TileSize, TPixelFormat::pf24bit)));
}

void TZPrintWriter::AddTile(int column, int row, const TBitmap &tile) {
    if (finished_)
        RaiseStreetError(What, "the packed print file is finished");
    if (tile.Width() != TileSize || tile.Height() != TileSize || tile.PixelFormat() != TPixelFormat::pf24bit)
        RaiseStreetError(What, "a tile must be a 512 x 512, 24-bit bitmap");
    if (column < 0 || column >= columns_ || row < 0 || row >= rows_)
        RaiseStreetError(What, "tile (" + std::to_string(column) + ", " + std::to_string(row) +
                                   ") lies outside the printable area");
    packed_.Clear();
    WriteRleRaster(FillBitmapInfoHeader(tile), DibBitsPointer(tile), packed_);
    const int64_t position = stream_.Position();
    // The next position (another tile's tag or the index's) must still be one a record can hold.
    if (position + StreamTagSize + packed_.Size() > MaxPosition)
        RaiseStreetError(What, "the packed print file would pass 2 GiB at tile (" + std::to_string(column) +
                                   ", " + std::to_string(row) + ")");
    const int32_t left = column * TileSize, top = row * TileSize;
    const int32_t width = std::min(TileSize, sheet_.PrintWidth - left);
    const int32_t height = std::min(TileSize, sheet_.PrintHeight - top);
    records_.push_back(
        {static_cast<int32_t>(position), 0, 0, width, height, left, top, left + width, top + height});
    WriteStreamTag(stream_, "PACKBMP ");
    stream_.WriteBuffer(packed_.Bytes().data(), packed_.Size());
}

void TZPrintWriter::Finish() {
    if (finished_)
        RaiseStreetError(What, "the packed print file is finished");
    const int64_t listPosition = stream_.Position();
    if (listPosition > MaxPosition)
        RaiseStreetError(What, "the packed print file would pass 2 GiB at its index");
    WriteStreamTag(stream_, "BMPLIST ");
    for (const auto &record : records_)
        for (int32_t v : record)
            stream_.WriteInt32(v);
    WriteStreamTag(stream_, "LISTPOS ");
    stream_.WriteInt32(static_cast<int32_t>(listPosition));
    stream_.WriteInt32(static_cast<int32_t>(records_.size()));
    finished_ = true;
}
