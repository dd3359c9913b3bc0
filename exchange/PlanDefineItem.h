#pragma once
// A plan sheet: a rectangle of paper laid over the plan. Vertex 0 is the bottom-left corner of the whole
// paper (margins included); the paper's width runs from it in the direction of vertex 1, its height to the
// left of that direction. The sheet keeps the paper size, margins, print scale and resolution, the item
// types printed on it and up to four corner stamps: small streets of their own, drawn in paper
// millimetres, placed in the corners of the printable area.
//
// Sheet pixels are counted from the top-left corner of the whole paper, x to the right and y downwards; a
// whole pixel coordinate is the centre of that pixel. The printable area starts L, T pixels in (the left
// and top margins, unrounded).
//
// The sheet renders its printable area in square tiles through an off-screen renderer (PlanDefineRender
// .cpp): onto a paint device (a printer page, a PDF, an image) or into the packed print file "*.ZPrint".
#include "engine/Cp1251.h"
#include "engine/DxCalc_0.h"
#include "engine/Streams.h"
#include "model/ItemTypes.h"
#include "objects/OrientPointItem.h"

#include <QRect>

#include "model/ItemTypeCodes.h"
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class QPainter;
class TDxPrimCollection;
class TMatrixShell;
class TBitmap;
class TStreetStructure;
class TSurfaceRenderer;

// The fields of a sheet that its format file "*.qk_format" holds.
struct TPlanSheetFormat {
    double Scale = 0.002; // paper length per ground length (1 / N for 1:N)
    int32_t DPI = 300;
    TItemTypeSet LayerSet;                       // item types printed on the sheet
    int32_t SheetWidth = 210, SheetHeight = 297; // mm
    int32_t LeftMargin = 20, RightMargin = 10, TopMargin = 10, BottomMargin = 20; // mm
    bool StampRotation = false; // turns and moves the corner stamps
    friend bool operator==(const TPlanSheetFormat &, const TPlanSheetFormat &) = default;
};

// The corners of the printable area that carry stamps, in drawing order.
enum class TStampCorner { TopLeft, TopRight, BotLeft, BotRight };
constexpr int StampCornerCount = 4;

// What a tiled rendering hands out. Before is called before each tile (column, row, last column, last row)
// and ends the rendering when it returns False; Tile receives each finished tile: the tile bitmap (tile
// size square, 24 bits) whose top-left pixel is pixel (column x size, row x size) of the printable area,
// and how much of it belongs to the area (the rest shows the plan beyond).
struct TPlanTileSink {
    std::function<bool(int column, int row, int lastColumn, int lastRow)> Before;
    std::function<void(int column, int row, int width, int height, const TBitmap &tile)> Tile;
};

// Called before each tile of a packed print file with its column and row and the last ones; setting stop
// ends the job before that tile (the file is still complete, with fewer tiles).
using TPlanTileCallback = std::function<void(int column, int row, int lastColumn, int lastRow, bool &stop)>;

// What a sheet needs to know of its reference axis for its caption: True and the picket step when the
// item is a guide axis. The guide-axis unit answers at start-up; until then every sheet is named by its id.
using TAxisPicketStepQuery = std::function<bool(TAbstractItem &axis, float &step)>;
void SetAxisPicketStepQuery(TAxisPicketStepQuery query);

// The decimal text of the value with "0" put in front until it is at least width characters long.
Cp1251String IntToStrZeroPad(int64_t value, int width);

class TPlanDefineItem : public TOrientPointItem {
public:
    // Tile sizes of the two jobs.
    static constexpr int DCTileSize = 1024;
    static constexpr int PrintFileTileSize = 512;
    // Neither side of a printable area may exceed this many pixels (a paper of 2000 mm at 720 DPI has
    // 56,693): beyond it a job would run for days.
    static constexpr int32_t MaxPrintSidePx = 65536;

    TPlanDefineItem();
    ~TPlanDefineItem() override;

    static int ClassMinPointCount() { return 2; }
    // A line batch in (5, 5, 5), then a triangle batch.
    static void ClassInitDrawBatches(TStreetStructure &street);
    int GetTypeCode() const override { return PlanDefineTypeCode; }

    // An empty layer set becomes every item type except plan sheets.
    void InitNewItem() override;
    // The paper edge and the printable area as closed outlines in the type's line batch.
    void RebuildGraphics() override;
    // The stamps, near the view: each placed on the sheet and drawn with every item type.
    void Draw(const TDxDrawParams &params, uint32_t layer) override;
    // The record head, then the sheet's own fields, each probed by its tag. A stamp is read as a street of
    // its own; the legacy metafiles are read past and dropped.
    void LoadFromStream(TStream &stream) override;
    void SaveToStream(TStream &stream) const override;

    // The sheet fields alone, as "*.qk_format" holds them. LoadFormat probes each field and leaves the
    // missing ones unchanged; a field that cannot be read leaves the whole sheet unchanged.
    void LoadFormat(TStream &stream);
    void SaveFormat(TStream &stream) const;
    // The format file: read whole (it must hold the fields and nothing else) or written through a
    // temporary file renamed over the old one.
    void LoadFormatFile(const std::string &fileName);
    void SaveFormatFile(const std::string &fileName) const;

    TPlanSheetFormat Format;

    // ---- Sizes
    // The printable area in whole pixels.
    int32_t PrintWidthPx() const;
    int32_t PrintHeightPx() const;
    // The ground length of one pixel, metres.
    double PixelGroundSize() const;
    // Paper millimetres in unrounded pixels.
    double MmToPx(double mm) const;
    // The plan point under a sheet pixel.
    TXYZ PixelToWorld(float x, float y) const;
    TXYZ PixelToWorldI(int32_t x, int32_t y) const;

    // "План ПК<first>-<last>" with the pickets the printable area covers along a guide axis serving as
    // reference axis, else "План <id>" (numbers at least 3 digits long).
    Cp1251String GetCaption() const;

    // The printed frame (nothing below 2 points): a ring one pixel inside the printable area as a line
    // and as a band 0.3 mm wide on paper, and two 4 mm ticks across the side lines 180 mm below the
    // top of the printable area; both batches become opaque black.
    void AddSheetFrame(TDxPrimCollection &lineBatch, TDxPrimCollection &triangleBatch) const;

    // ---- Stamps
    TStreetStructure *Stamp(TStampCorner corner) const { return Stamps_[Index(corner)].get(); }
    // An empty street for the corner when there is none.
    TStreetStructure &EnsureStamp(TStampCorner corner);
    // Frees the corner's stamp and marks the points changed, so that the plan redraws.
    void KillStamp(TStampCorner corner);
    // Multiplies the placement of the corner's stamp into the transform: a stamp point (mm) is turned,
    // moved to the corner, taken to metres, to ground size, turned with the sheet and moved to vertex 0.
    void PlaceStamp(TStampCorner corner, TMatrixShell &transform) const;
    // Draws every stamp placed on the sheet.
    void DrawStamps(const TDxDrawParams &params) const;

    void EnsureStampTopLeft() { EnsureStamp(TStampCorner::TopLeft); }
    void EnsureStampTopRight() { EnsureStamp(TStampCorner::TopRight); }
    void EnsureStampBotLeft() { EnsureStamp(TStampCorner::BotLeft); }
    void EnsureStampBotRight() { EnsureStamp(TStampCorner::BotRight); }
    void KillStampTopLeft() { KillStamp(TStampCorner::TopLeft); }
    void KillStampTopRight() { KillStamp(TStampCorner::TopRight); }
    void KillStampBotLeft() { KillStamp(TStampCorner::BotLeft); }
    void KillStampBotRight() { KillStamp(TStampCorner::BotRight); }

    // ---- Render jobs (PlanDefineRender.cpp). A sheet runs one job at a time; a job leaves the street's
    // option "UpdateAllEdges" and the modified mark as it found them and frees its renderer however it
    // ends.
    // The printable area in tiles of 1024 stretched into the rectangle (painter coordinates, right and
    // bottom exclusive), each axis by its own factor, without smoothing.
    void RenderToDC(QPainter &painter, const QRect &dest, bool withFrame);
    // The packed print file, tiles of 512, into the stream. The callback may stop the job; the file is
    // complete either way. A file that would pass 2 GiB (its positions are signed 32-bit) raises before
    // the tile that would pass it.
    void RenderPrintFile(TStream &stream, bool withFrame, const TPlanTileCallback &callback = {});
    // The same into a file, written through a temporary file renamed over the target when complete.
    void RenderPrintFileTo(const std::string &fileName, bool withFrame,
                           const TPlanTileCallback &callback = {});
    // The printable area in tiles of the size, rows top to bottom and in each row columns left to right;
    // each tile is its own scene of the street with the sheet's layer set, the stamps and, with frame, the
    // frame. The view radius handed to the street is the tile's ground size x radiusFactor + radiusAdd
    // (it decides only what is considered for drawing). A sheet that cannot be rendered (no position, no
    // resolution or scale, a printable area without pixels or beyond MaxPrintSidePx a side, a job of the
    // sheet already running) raises EStreetError before anything is drawn.
    void RenderTiles(int tileSize, bool withFrame, double radiusFactor, double radiusAdd,
                     const TPlanTileSink &sink);
    // The renderer of the running job; nullptr between jobs.
    TSurfaceRenderer *JobRenderer() const { return JobRenderer_.get(); }

private:
    friend class TPlanSheetJob;

    static std::size_t Index(TStampCorner corner) { return static_cast<std::size_t>(corner); }
    void RenderTilesAs(const char *what, int tileSize, bool withFrame, double radiusFactor, double radiusAdd,
                       const TPlanTileSink &sink);
    void ReadFormatFields(TStream &stream, TPlanSheetFormat &format, int tagSetSize, const char *what) const;
    void WriteFormatFields(TStream &stream) const;
    // The corner in the placement table: anchor in paper mm and the turn.
    void StampAnchor(TStampCorner corner, float &x, float &y, float &turn) const;

    std::array<std::unique_ptr<TStreetStructure>, StampCornerCount> Stamps_;
    std::unique_ptr<TSurfaceRenderer> JobRenderer_;
};

void RegisterPlanDefineItem();
