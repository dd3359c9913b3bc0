// Tiled rendering of a plan sheet's printable area: the tiles, the paint-device output and the packed print
// file.
//
// Every tile is drawn on a surface two pixels wider on each side than the tile and cut out of it after the
// thin-line filter. The filter looks at pairs of neighbours and never at the first pixel of a row or
// column, so the tile's first pixel needs two before it for the pair it forms with its left (upper)
// neighbour, and its last pixel one after it: with them the filter treats every pixel as it would on one
// surface the size of the sheet, and the sheet comes out the same whatever the tile size, without seams.
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

#include <cmath>
#include <cstring>
#include <string>

namespace {

constexpr uint32_t OrdinaryGeometry = 1;
constexpr int Apron = 2;

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
    }

    int Columns() const { return (widthPx_ - 1) / tileSize_ + 1; }
    int Rows() const { return (heightPx_ - 1) / tileSize_ + 1; }
    int32_t WidthPx() const { return widthPx_; }
    int32_t HeightPx() const { return heightPx_; }

    // The tile's scene, read back, filtered and cut out of the apron into Tile().
    void Render(int column, int row, double radiusFactor, double radiusAdd) {
        TSurfaceRenderer &r = *sheet_.JobRenderer_;
        const int n = tileSize_;
        // The ground size of the surface's side and of the tile's.
        const double ds = VectorDistance(sheet_.PixelToWorldI(0, surfaceSize_), sheet_.PixelToWorldI(0, 0));
        const double d = VectorDistance(sheet_.PixelToWorldI(0, n), sheet_.PixelToWorldI(0, 0));
        const float k = float(2 / ds);
        const TXYZ centre =
            sheet_.PixelToWorld(float(sheet_.MmToPx(sheet_.Format.LeftMargin) + n / 2.0 + double(column) * n),
                                float(sheet_.MmToPx(sheet_.Format.TopMargin) + n / 2.0 + double(row) * n));
        TMatrixShell &p = r.Projection();
        p.LoadIdentity();
        p.Scale(false, k, k, k);
        p.RotateZ(false, sheet_.GetAngle());
        p.Translate(false, -centre.x, -centre.y, -centre.z);
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
        for (int y = 0; y < n; ++y)
            std::memcpy(tile_.ScanLine(y), surface_.ScanLine(y + Apron) + 3 * Apron,
                        static_cast<std::size_t>(n) * 3);
    }

    const TBitmap &Tile() const { return tile_; }

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
