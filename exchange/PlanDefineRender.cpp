// Tiled rendering of a plan sheet's printable area: the tiles, the paint-device output and the packed print
// file.
//
// Every tile is drawn on a surface two pixels wider on each side than the tile and cut out of it after the
// thin-line filter. The filter looks at pairs of neighbours and never at the first pixel of a row or
// column, so the tile's first pixel needs two before it for the pair it forms with its left (upper)
// neighbour, and its last pixel one after it: with them the filter treats every pixel as it would on one
// surface the size of the sheet, and the sheet comes out the same whatever the tile size, without seams.
//
// Tiles see the sheet through one projection, that of a square frame around the printable area, and each
// tile's surface is a window onto it: the device's viewport is the frame's square at a whole-pixel offset,
// which reproduces the frame's picture exactly, so that a line within a rounding of a pixel centre falls
// the same way in every tile, whatever the tile size. The frame reaches a little beyond the printable area
// rounded up to 1024 pixels, so that tiles of 256, 512 and 1024 lie inside it with their aprons (the part
// of an edge tile beyond the printable area shows the plan). A sheet larger than the device's largest
// viewport is cut into blocks of a multiple of 1024 pixels, each its own frame; a tile that does not fit
// in one block (a size that does not divide it) is its own frame.
//
// Polygons draw all their outline edges when the street's option "UpdateAllEdges" is on; a sheet prints
// without them. The job switches the option off and rebuilds every polygon of the street, so that each
// polygon drawn in the job follows it (their graphics are retained and would otherwise keep the edges
// built before); at the end it switches the option back and rebuilds them again.
#include "engine/DX_Shell.h"
#include "engine/DibUtils.h"
#include "engine/DxDraw.h"
#include "engine/NumText.h"
#include "engine/StreetError.h"
#include "exchange/PlanDefineItem.h"
#include "exchange/ZPrintWriter.h"
#include "model/PolygonItem.h"
#include "model/StreetStructure.h"
#include "platform/gdi/Bitmap.h"
#include "platform/gdi/CanvasEmulator.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

namespace {

constexpr uint32_t OrdinaryGeometry = 1;
constexpr int Apron = 2;
// Frames and blocks are whole multiples of this many pixels.
constexpr int BlockUnit = 1024;

int RoundUp(int v, int unit) {
    return (v + unit - 1) / unit * unit;
}

// Every polygon list of the street is rebuilt at the next drawing.
void InvalidatePolygons(TStreetStructure &street) {
    for (int code = 0; code < ItemTypeCount; ++code) {
        TItemList &list = street.Lists(code);
        if (list.Count() > 0 && dynamic_cast<TPolygonItem *>(list.Items(0)))
            list.InvalidateAll();
    }
}

// "UpdateAllEdges" off for the job; back as it was, with the street's modified mark, however the job ends.
class TEdgeOptionGuard {
public:
    explicit TEdgeOptionGuard(TStreetStructure &street)
        : street_(street), old_(street.GetStrOption(Name())), wasModified_(street.Modified()) {
        if (!street.GetBoolOption(Name()))
            return;
        street.SetBoolOption(Name(), false);
        switched_ = true;
        InvalidatePolygons(street);
    }
    ~TEdgeOptionGuard() {
        if (!switched_)
            return;
        street_.SetStrOption(Name(), old_);
        InvalidatePolygons(street_);
        if (!wasModified_)
            street_.ClearModified();
    }
    TEdgeOptionGuard(const TEdgeOptionGuard &) = delete;
    TEdgeOptionGuard &operator=(const TEdgeOptionGuard &) = delete;

private:
    static const Cp1251String &Name() {
        static const Cp1251String name("UpdateAllEdges");
        return name;
    }
    TStreetStructure &street_;
    Cp1251String old_;
    bool wasModified_;
    bool switched_ = false;
};

} // namespace

// One render job: its set-up, its tiles and its end, which runs however the job ends.
class TPlanSheetJob {
public:
    TPlanSheetJob(TPlanDefineItem &sheet, int tileSize, bool withFrame, const char *what)
        : sheet_(sheet), street_(Check(sheet, tileSize, what)), edges_(*street_), tileSize_(tileSize),
          surfaceSize_(tileSize + 2 * Apron), tile_(tileSize, tileSize, TPixelFormat::pf24bit) {
        if (withFrame)
            sheet.AddSheetFrame(lines_, triangles_);
        // Released before the batches and the option (members end in reverse order).
        renderer_.Sheet = &sheet;
        sheet.JobRenderer_ = std::make_unique<TSurfaceRenderer>(surfaceSize_, surfaceSize_);
        sheet.JobRenderer_->LoadIdentityAll();
        widthPx_ = sheet.PrintWidthPx();
        heightPx_ = sheet.PrintHeightPx();
        // Blocks as large as the device's viewport allows (none from a device without one).
        const int largest = int(std::min<DWORD>(sheet.JobRenderer_->Caps().MaxViewportSize, 1 << 20));
        const int limit = (largest - 2 * Apron) / BlockUnit * BlockUnit;
        block_ = std::min(std::max(RoundUp(widthPx_, BlockUnit), RoundUp(heightPx_, BlockUnit)), limit);
    }

    int Columns() const { return (widthPx_ - 1) / tileSize_ + 1; }
    int Rows() const { return (heightPx_ - 1) / tileSize_ + 1; }
    int32_t WidthPx() const { return widthPx_; }
    int32_t HeightPx() const { return heightPx_; }

    // The tile's scene, read back, filtered and cut out of the apron into Tile().
    void Render(int column, int row, double radiusFactor, double radiusAdd) {
        TSurfaceRenderer &r = *sheet_.JobRenderer_;
        const int n = tileSize_;
        const int x = column * n, y = row * n;
        const TFrame frame = FrameOf(x, y);
        LoadFrameProjection(r, frame);
        r.SetViewport({frame.X0 - (x - Apron), frame.Y0 - (y - Apron), frame.Side, frame.Side, 0.0f, 1.0f});
        // The tile's centre and the ground size of its side pick the records drawn.
        const double d = VectorDistance(sheet_.PixelToWorldI(0, n), sheet_.PixelToWorldI(0, 0));
        const TXYZ centre =
            sheet_.PixelToWorld(float(sheet_.MmToPx(sheet_.Format.LeftMargin) + n / 2.0 + double(x)),
                                float(sheet_.MmToPx(sheet_.Format.TopMargin) + n / 2.0 + double(y)));
        const TDxDrawParams params{&r, centre, float(d * radiusFactor + radiusAdd)};
        r.BeginDraw();
        r.Clear(0xFFFFFFFF, true, false, false);
        street_->Draw(params, sheet_.Format.LayerSet, OrdinaryGeometry);
        sheet_.DrawStamps(params);
        triangles_.Draw(params);
        lines_.Draw(params);
        r.EndDraw();
        r.CopyToBitmap(surface_);
        SharpenThinLines(FillBitmapInfoHeader(surface_), DibBitsPointer(surface_));
        for (int i = 0; i < n; ++i)
            std::memcpy(tile_.ScanLine(i), surface_.ScanLine(i + Apron) + 3 * Apron,
                        static_cast<std::size_t>(n) * 3);
    }

    const TBitmap &Tile() const { return tile_; }

    // The frame of the tile whose top-left pixel is (x, y) of the printable area.
    struct TFrame {
        int X0 = 0, Y0 = 0, Side = 0; // the square [X0, X0 + Side) x [Y0, Y0 + Side), printable-area pixels
    };
    TFrame FrameOf(int x, int y) const {
        if (block_ > 0) {
            const int bx = x / block_ * block_, by = y / block_ * block_;
            if (x + tileSize_ <= bx + block_ && y + tileSize_ <= by + block_)
                return {bx - Apron, by - Apron, block_ + 2 * Apron};
        }
        return {x - Apron, y - Apron, surfaceSize_};
    }

    // The street of a sheet that can be rendered in tiles of the size; EStreetError otherwise.
    static TStreetStructure *Check(TPlanDefineItem &sheet, int tileSize, const char *what) {
        const TPlanSheetFormat &f = sheet.Format;
        if (sheet.JobRenderer_)
            RaiseStreetError(what, "a render job of the sheet is running");
        if (!sheet.Street())
            RaiseStreetError(what, "the sheet belongs to no street");
        if (sheet.Points.Count() < 1)
            RaiseStreetError(what, "the sheet has no position");
        if (tileSize < 1 || tileSize > 4096)
            RaiseStreetError(what, "tile size " + std::to_string(tileSize) + " out of range 1..4096");
        if (f.DPI <= 0 || !std::isfinite(f.Scale) || f.Scale <= 0)
            RaiseStreetError(what, "the sheet has no resolution or no scale (DPI " + std::to_string(f.DPI) +
                                       ", scale " + FloatToStr(f.Scale) + ")");
        const int32_t w = sheet.PrintWidthPx(), h = sheet.PrintHeightPx();
        if (w < 1 || h < 1 || w > TPlanDefineItem::MaxPrintSidePx || h > TPlanDefineItem::MaxPrintSidePx)
            RaiseStreetError(what, "the printable area of " + std::to_string(w) + " x " + std::to_string(h) +
                                       " pixels cannot be printed (1 to " +
                                       std::to_string(TPlanDefineItem::MaxPrintSidePx) + " a side)");
        return sheet.Street();
    }

private:
    // The projection that puts the frame onto the viewport's square (clip x and y from -1 to 1): the plan
    // point is moved by minus the frame's centre, turned back by the sheet's angle and scaled.
    void LoadFrameProjection(TSurfaceRenderer &r, const TFrame &frame) const {
        const double side = VectorDistance(sheet_.PixelToWorldI(0, frame.Side), sheet_.PixelToWorldI(0, 0));
        const float k = float(2 / side);
        const double half = frame.Side / 2.0;
        const TXYZ centre =
            sheet_.PixelToWorld(float(sheet_.MmToPx(sheet_.Format.LeftMargin) + frame.X0 + half),
                                float(sheet_.MmToPx(sheet_.Format.TopMargin) + frame.Y0 + half));
        TMatrixShell &p = r.Projection();
        p.LoadIdentity();
        p.Scale(false, k, k, k);
        p.RotateZ(false, sheet_.GetAngle());
        p.Translate(false, -centre.x, -centre.y, -centre.z);
    }

    // Frees the job renderer when the job ends, however it ends.
    struct TRendererRelease {
        TPlanDefineItem *Sheet = nullptr;
        ~TRendererRelease() {
            if (Sheet)
                Sheet->JobRenderer_.reset();
        }
    };

    TPlanDefineItem &sheet_;
    TStreetStructure *street_;
    TEdgeOptionGuard edges_;
    TDxLineCollection lines_;
    TDxTriangleCollection triangles_;
    TRendererRelease renderer_;
    int tileSize_, surfaceSize_;
    int32_t widthPx_ = 0, heightPx_ = 0;
    int block_ = 0; // side of a block, 0 when every tile is its own frame
    TBitmap surface_, tile_;
};

void TPlanDefineItem::RenderTiles(int tileSize, bool withFrame, double radiusFactor, double radiusAdd,
                                  const TPlanTileSink &sink) {
    RenderTilesAs("TPlanDefineItem.RenderTiles", tileSize, withFrame, radiusFactor, radiusAdd, sink);
}

void TPlanDefineItem::RenderTilesAs(const char *what, int tileSize, bool withFrame, double radiusFactor,
                                    double radiusAdd, const TPlanTileSink &sink) {
    TPlanSheetJob job(*this, tileSize, withFrame, what);
    const int lastColumn = job.Columns() - 1, lastRow = job.Rows() - 1;
    for (int row = 0; row <= lastRow; ++row)
        for (int column = 0; column <= lastColumn; ++column) {
            if (sink.Before && !sink.Before(column, row, lastColumn, lastRow))
                return;
            job.Render(column, row, radiusFactor, radiusAdd);
            if (sink.Tile)
                sink.Tile(column, row, std::min(tileSize, job.WidthPx() - column * tileSize),
                          std::min(tileSize, job.HeightPx() - row * tileSize), job.Tile());
        }
}

void TPlanDefineItem::RenderToDC(QPainter &painter, const QRect &dest, bool withFrame) {
    const char *what = "TPlanDefineItem.RenderToDC";
    TPlanSheetJob::Check(*this, DCTileSize, what);
    const double left = dest.left(), top = dest.top();
    const double sx = double(dest.width()) / PrintWidthPx(), sy = double(dest.height()) / PrintHeightPx();
    TCanvasEmulator canvas(painter);
    TPlanTileSink sink;
    sink.Tile = [&](int column, int row, int width, int height, const TBitmap &tile) {
        const double x0 = double(column) * DCTileSize, y0 = double(row) * DCTileSize;
        const int l = Round32(x0 * sx + left), t = Round32(y0 * sy + top);
        const int r = Round32((x0 + width) * sx + left), b = Round32((y0 + height) * sy + top);
        canvas.CopyRect(QRect(l, t, r - l, b - t), tile.ToQImage(), QRect(0, 0, width, height));
    };
    RenderTilesAs(what, DCTileSize, withFrame, 1.5, 0, sink);
}

void TPlanDefineItem::RenderPrintFile(TStream &stream, bool withFrame, const TPlanTileCallback &callback) {
    const char *what = "TPlanDefineItem.RenderPrintFile";
    // Nothing is written for a sheet that cannot be rendered.
    TPlanSheetJob::Check(*this, PrintFileTileSize, what);
    TZPrintSheet fields;
    fields.SheetHeight = Format.SheetHeight;
    fields.SheetWidth = Format.SheetWidth;
    fields.LeftMargin = Format.LeftMargin;
    fields.RightMargin = Format.RightMargin;
    fields.TopMargin = Format.TopMargin;
    fields.BottomMargin = Format.BottomMargin;
    fields.PrintWidth = PrintWidthPx();
    fields.PrintHeight = PrintHeightPx();
    TZPrintWriter writer(stream, fields);
    TPlanTileSink sink;
    if (callback)
        sink.Before = [&](int column, int row, int lastColumn, int lastRow) {
            bool stop = false;
            callback(column, row, lastColumn, lastRow, stop);
            return !stop;
        };
    sink.Tile = [&](int column, int row, int, int, const TBitmap &tile) {
        writer.AddTile(column, row, tile);
    };
    RenderTilesAs(what, PrintFileTileSize, withFrame, 1, 100, sink);
    writer.Finish();
}

void TPlanDefineItem::RenderPrintFileTo(const std::string &fileName, bool withFrame,
                                        const TPlanTileCallback &callback) {
    TSaveFileStream file(fileName);
    RenderPrintFile(file, withFrame, callback);
    file.Commit();
}
