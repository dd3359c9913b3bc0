// Plan sheets rendered in tiles: the packed print file read back by an independent reader, the sheet the
// same whatever the tile size, a line printed where trigonometry puts it, the street option restored
// however a job ends, and a page printed to PDF with its frame at the margins. The packed print file on
// disk replaced whole or not at all, the sheets a job refuses, and the corner stamps printed where their
// placement puts them, with the frame and without.
#include "engine/DxRenderer.h"
#include "engine/StreetError.h"
#include "exchange/PlanDefineItem.h"
#include "exchange/PlanSheetPrint.h"
#include "exchange/RegisterExchange.h"
#include "model/ItemLayers.h"
#include "model/ItemTypeCodes.h"
#include "model/StreetStructure.h"
#include "objects/StandInItems.h"
#include "platform/gdi/Bitmap.h"
#include "platform/print/SheetPrinter.h"
#include "tools/make-street/ObjectFillers.h"
#include "tools/make-street/StreetGen.h"

#include "support/Expectations.h"
#include "support/FarStream.h"
#include "support/TestSupport.h"
#include "tests/exchange/ZPrintReader.h"

#include <QImage>
#include <QPainter>
#include <QPrinter>
#include <QProcess>

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <filesystem>
#include <functional>
#include <limits>
#include <numbers>
#include <set>
#include <stdexcept>

namespace {

const Cp1251String EdgesOption("UpdateAllEdges");

// A plain line type (a stand-in on a code no item class takes here), for the tests that follow a line.
constexpr TItemTypeCode PlainLine = LnDefectTypeCode;
void RegisterPlainLine() {
    if (!ItemClasses[PlainLine])
        ItemClasses.Register(
            std::make_unique<TItemClassOf<TStandInItem<PlainLine, TStandInShape::Line>>>(PlainLine));
}

TPlanDefineItem &AddSheet(TStreetStructure &street, TXYZ p0, double angle) {
    auto *sheet = dynamic_cast<TPlanDefineItem *>(street.Lists(PlanDefineTypeCode).AddNew());
    sheet->Points.InsertNewPoint(0, p0);
    sheet->Points.InsertNewPoint(1, {float(p0.x + std::cos(angle)), float(p0.y + std::sin(angle)), 0});
    sheet->InitNewItem();
    return *sheet;
}

// The printable area assembled from tiles of the size.
QImage Assemble(TPlanDefineItem &sheet, int tileSize, bool withFrame = false) {
    QImage out(sheet.PrintWidthPx(), sheet.PrintHeightPx(), QImage::Format_RGB888);
    out.fill(Qt::magenta);
    TPlanTileSink sink;
    sink.Tile = [&](int column, int row, int width, int height, const TBitmap &tile) {
        const QImage image = tile.ToQImage();
        QPainter p(&out);
        p.drawImage(QPoint(column * tileSize, row * tileSize), image, QRect(0, 0, width, height));
    };
    sheet.RenderTiles(tileSize, withFrame, 1, 100, sink);
    return out;
}

// The whole printable area as one tile.
QImage DirectRender(TPlanDefineItem &sheet, bool withFrame = false) {
    return Assemble(sheet, std::max(sheet.PrintWidthPx(), sheet.PrintHeightPx()), withFrame);
}

int CountPixels(const QImage &image, int maxBrightness) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = image.pixel(x, y);
            n += qRed(c) + qGreen(c) + qBlue(c) <= maxBrightness;
        }
    return n;
}

// A generated street with surfaces, curbs and lines, and a turned sheet at 1:200 over its first block:
// a printable area of 110 x 90 mm, 1299 x 1063 pixels at 300 DPI.
struct TWithClasses : ::testing::Test {
    TWithClasses() {
        UseObjectClasses();
        RegisterExchangeObjects();
    }
};

class PlanPrintGL : public TWithClasses {
protected:
    PlanPrintGL() {
        GenerateStreet(Street, {.Vertices = 300, .Seed = 3});
        // Textured strips and manholes sample their pictures a little differently in every tile's projection;
        // the tiles are compared pixel for pixel, so the street keeps to untextured items.
        Street.Lists(RoadWallTypeCode).Clear();
        Street.Lists(TramWayTypeCode).Clear();
        Street.Lists(KolodTypeCode).Clear();
        Sheet = &AddSheet(Street, {-5.3f, -7.1f, 0}, 0.2);
        Sheet->Format.Scale = 0.005;
        Sheet->Format.SheetWidth = 140;
        Sheet->Format.SheetHeight = 120;
    }
    TStreetStructure Street;
    TPlanDefineItem *Sheet = nullptr;
};

TEST_F(PlanPrintGL, SheetIsTheSameWhateverTheTileSize) {
    const QImage direct = DirectRender(*Sheet, true);
    ASSERT_EQ(direct.size(), QSize(1299, 1063));
    // Something of the street and the frame is on it, and most of it is not paper.
    EXPECT_GT(CountPixels(direct, 50), 2000);
    EXPECT_GT(CountPixels(direct, 3 * 240), direct.width() * direct.height() / 2);
    for (int tileSize : {256, 512, 1024}) {
        SCOPED_TRACE(tileSize);
        const QImage tiled = Assemble(*Sheet, tileSize, true);
        int differing = 0;
        for (int y = 0; y < direct.height(); ++y)
            for (int x = 0; x < direct.width(); ++x)
                differing += direct.pixel(x, y) != tiled.pixel(x, y);
        // Not one pixel: an edge within a rounding of a pixel centre falls the same way in every tile.
        EXPECT_EQ(differing, 0);
    }
}

TEST_F(PlanPrintGL, PackedPrintFileHoldsTheDirectRender) {
    TMemoryStream stream;
    Sheet->RenderPrintFile(stream, true);
    const zprint::File f = zprint::Read(stream.Bytes());
    EXPECT_EQ(f.SheetWidth, 140);
    EXPECT_EQ(f.SheetHeight, 120);
    EXPECT_EQ((std::array{f.Left, f.Right, f.Top, f.Bottom}), (std::array{20, 10, 10, 20}));
    EXPECT_EQ(f.PrintWidth, 1299);
    EXPECT_EQ(f.PrintHeight, 1063);
    ASSERT_EQ(f.Records.size(), 9u);
    // Rows outer, columns inner; the last column and row carry what is left of the area.
    const zprint::Record &last = f.Records[8];
    EXPECT_EQ((std::array{last.SrcLeft, last.SrcTop, last.SrcRight, last.SrcBottom}),
              (std::array{0, 0, 1299 - 1024, 1063 - 1024}));
    EXPECT_EQ((std::array{last.DstLeft, last.DstTop, last.DstRight, last.DstBottom}),
              (std::array{1024, 1024, 1299, 1063}));
    EXPECT_EQ(f.Records[1].DstLeft, 512);
    EXPECT_EQ(f.Records[3].DstTop, 512);
    for (const QImage &tile : f.Tiles)
        EXPECT_EQ(tile.size(), QSize(512, 512));
    EXPECT_TRUE(f.Sheet == DirectRender(*Sheet, true).convertToFormat(QImage::Format_RGB888));
}

TEST_F(PlanPrintGL, StoppedJobLeavesACompleteShorterFile) {
    std::vector<std::array<int, 4>> calls;
    TMemoryStream stream;
    Sheet->RenderPrintFile(stream, false, [&](int c, int r, int lc, int lr, bool &stop) {
        calls.push_back({c, r, lc, lr});
        stop = calls.size() == 5;
    });
    ASSERT_EQ(calls.size(), 5u);
    EXPECT_EQ(calls[0], (std::array{0, 0, 2, 2}));
    EXPECT_EQ(calls[4], (std::array{1, 1, 2, 2}));
    const zprint::File f = zprint::Read(stream.Bytes());
    ASSERT_EQ(f.Records.size(), 4u);
    EXPECT_EQ(f.Records[3].DstLeft, 0);
    EXPECT_EQ(f.Records[3].DstTop, 512);
    EXPECT_EQ(Sheet->JobRenderer(), nullptr);
}

TEST_F(PlanPrintGL, JobsPrintWithoutOutlineEdgesAndRestoreTheOption) {
    Street.SetBoolOption(EdgesOption, false);
    Street.InvalidateAllItems();
    const QImage withoutEdges = DirectRender(*Sheet);
    // The option shows on the plan (so the comparison below is not empty)...
    auto plan = [&] {
        TSurfaceRenderer r(400, 400);
        r.BeginDraw();
        r.Clear(0xFFFFFFFF, true, false, false);
        r.Projection().Scale(false, 0.1f, 0.1f, 1);
        r.Projection().Translate(false, -10, -7, 0);
        // Without the line markings, which lie over the edges they would hide.
        TItemTypeSet types = FullTypeSet();
        types.Exclude(LineRazmetTypeCode);
        Street.Draw({&r, {10, 7, 0}, 30}, types, PlanLayerMask);
        r.EndDraw();
        TBitmap b;
        r.CopyToBitmap(b);
        return b.ToQImage().convertToFormat(QImage::Format_RGB888);
    };
    const QImage planWithout = plan();
    Street.SetBoolOption(EdgesOption, true);
    Street.InvalidateAllItems();
    const QImage planWith = plan();
    ASSERT_FALSE(planWith == planWithout);
    Street.ClearModified();

    // ...but not on the sheet; afterwards the option, the modified mark and the plan are as they were.
    EXPECT_TRUE(DirectRender(*Sheet) == withoutEdges);
    EXPECT_TRUE(Street.GetBoolOption(EdgesOption));
    EXPECT_FALSE(Street.Modified());
    EXPECT_TRUE(plan() == planWith);

    // A job that ends by an exception restores them too and frees its renderer.
    TMemoryStream stream;
    EXPECT_THROW(Sheet->RenderPrintFile(stream, true,
                                        [&](int c, int, int, int, bool &) {
                                            EXPECT_NE(Sheet->JobRenderer(), nullptr);
                                            EXPECT_FALSE(Street.GetBoolOption(EdgesOption));
                                            if (c == 1)
                                                throw std::runtime_error("stopped by the test");
                                        }),
                 std::runtime_error);
    EXPECT_EQ(Sheet->JobRenderer(), nullptr);
    EXPECT_TRUE(Street.GetBoolOption(EdgesOption));
    EXPECT_FALSE(Street.Modified());
    EXPECT_TRUE(plan() == planWith);
}

TEST(PlanPrintPlacement, LinePrintsWherePredicted) {
    UseObjectClasses();
    RegisterExchangeObjects();
    RegisterPlainLine();
    for (const double angle : {0.0, 0.7, 2.5}) {
        SCOPED_TRACE(angle);
        TStreetStructure street;
        // One straight line of a line type, black.
        ASSERT_NE(ItemClasses[PlainLine], nullptr);
        TAbstractItem *line = street.Lists(PlainLine).AddNew();
        const TXYZ p0{100.0f, 40.0f, 0};
        // The printable area lies 10 to 45 m from the sheet's corner both ways.
        auto onSheet = [&](double u, double v) {
            return TXYZ{float(p0.x + u * std::cos(angle) - v * std::sin(angle)),
                        float(p0.y + u * std::sin(angle) + v * std::cos(angle)), 0};
        };
        const TXYZ a = onSheet(15, 20), b = onSheet(37, 31);
        line->Points.InsertNewPoint(0, a);
        line->Points.InsertNewPoint(1, b);
        TPlanDefineItem &sheet = AddSheet(street, p0, angle);
        sheet.Format.Scale = 0.002; // 1:500
        sheet.Format.DPI = 200;
        sheet.Format.SheetWidth = sheet.Format.SheetHeight = 100;
        street.UpdateGraphics(FullTypeSet());
        for (auto &batch : street.TypeBatches(PlainLine))
            batch->SetColor(MakeD3DColor(0, 0, 0, 255));

        // A plan point on the sheet in pixels of the printable area, by trigonometry.
        const double k = 0.0254 / 200 / 0.002;
        const double h = 100 / 25.4 * 200, l = 20 / 25.4 * 200, t = 10 / 25.4 * 200;
        auto predict = [&](double x, double y) {
            const double dx = x - p0.x, dy = y - p0.y;
            const double u = (dx * std::cos(angle) + dy * std::sin(angle)) / k;
            const double v = (-dx * std::sin(angle) + dy * std::cos(angle)) / k;
            return QPointF(u - l, h - v - t);
        };
        QImage out = Assemble(sheet, 256);
        // Points along the line have a dark pixel next to their prediction...
        for (double s : {0.1, 0.5, 0.9}) {
            const QPointF q = predict(a.x + s * (b.x - a.x), a.y + s * (b.y - a.y));
            int best = 1 << 30;
            for (int y = int(q.y()) - 3; y <= int(q.y()) + 3; ++y)
                for (int x = int(q.x()) - 3; x <= int(q.x()) + 3; ++x)
                    if (out.valid(x, y) && qGray(out.pixel(x, y)) < 60)
                        best = std::min(best, int(std::lround(std::hypot(x - q.x(), y - q.y()))));
            EXPECT_LE(best, 1) << "at " << s;
        }
        // ...and every dark pixel lies on the predicted line.
        const QPointF pa = predict(a.x, a.y), pb = predict(b.x, b.y);
        const QPointF d = pb - pa;
        const double len = std::hypot(d.x(), d.y());
        int dark = 0;
        for (int y = 0; y < out.height(); ++y)
            for (int x = 0; x < out.width(); ++x)
                if (qGray(out.pixel(x, y)) < 60) {
                    ++dark;
                    const double off = std::fabs((x - pa.x()) * d.y() - (y - pa.y()) * d.x()) / len;
                    EXPECT_LE(off, 1.5) << x << ", " << y;
                }
        EXPECT_GE(dark, int(std::max(std::fabs(d.x()), std::fabs(d.y()))) - 2);
    }
}

// ---- The packed print file on disk

std::set<std::string> FolderFiles(const sptest::TempDir &dir) {
    std::set<std::string> names;
    for (const auto &entry : std::filesystem::directory_iterator(dir.Path()))
        names.insert(entry.path().filename().string());
    return names;
}

// The sheet of PlanPrintGL at 150 DPI, 650 x 531 pixels, four tiles of the packed print file, on a street
// whose polygons draw all their edges and which has no unsaved change.
class PlanPrintFileGL : public PlanPrintGL {
protected:
    PlanPrintFileGL() {
        Sheet->Format.DPI = 150;
        Street.SetBoolOption(EdgesOption, true);
        Street.ClearModified();
    }
    // However a job ends, the street is as the job found it (with or without unsaved changes) and the
    // job's renderer is gone.
    void ExpectStreetAsFound(bool modified) const {
        EXPECT_TRUE(Street.GetBoolOption(EdgesOption));
        EXPECT_EQ(Street.Modified(), modified);
        EXPECT_EQ(Sheet->JobRenderer(), nullptr);
    }
    sptest::TempDir Dir;
    const std::string Target = Dir.File("sheet.ZPrint");
    const std::vector<uint8_t> OldBytes = {'Z', 'P', 'R', 'I', 'N', 'T', ' ', ' ', 1, 2, 3};
};

TEST_F(PlanPrintFileGL, FinishedAndStoppedJobsReplaceTheFileWhole) {
    struct Case {
        const char *Name;
        int StopBefore; // the tile (in job order) before which the callback stops the job; -1: never
        std::size_t Tiles;
        bool Modified; // the street has unsaved changes when the job starts
    };
    for (const Case c : {Case{"every tile", -1, 4, false}, Case{"stopped before the third tile", 2, 2, false},
                         Case{"stopped before the first tile", 0, 0, false},
                         Case{"every tile, the street with unsaved changes", -1, 4, true}}) {
        SCOPED_TRACE(c.Name);
        if (c.Modified)
            Street.SetModified();
        sptest::WriteFileBytes(Target, OldBytes);
        int calls = 0;
        const TPlanTileCallback callback = [&](int, int, int, int, bool &stop) {
            stop = calls++ == c.StopBefore;
        };
        Sheet->RenderPrintFileTo(Target, true, callback);
        ExpectStreetAsFound(c.Modified);
        EXPECT_EQ(FolderFiles(Dir), std::set<std::string>{"sheet.ZPrint"}) << "a temporary file is left";
        const std::vector<uint8_t> bytes = sptest::ReadFileBytes(Target);
        const zprint::File f = zprint::Read(bytes);
        EXPECT_EQ(f.Records.size(), c.Tiles);
        EXPECT_EQ(f.PrintWidth, 650);
        EXPECT_EQ(f.PrintHeight, 531);
        // Byte for byte what the job writes into memory.
        calls = 0;
        TMemoryStream memory;
        Sheet->RenderPrintFile(memory, true, callback);
        EXPECT_TRUE(bytes == memory.Bytes());
    }
}

// Writes to files fail beyond the size for as long as it lives (a full disk, whoever runs the test).
class TFileSizeLimit {
public:
    explicit TFileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &old_);
        oldSignal_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = old_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~TFileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, oldSignal_);
    }
    TFileSizeLimit(const TFileSizeLimit &) = delete;
    TFileSizeLimit &operator=(const TFileSizeLimit &) = delete;

private:
    rlimit old_{};
    void (*oldSignal_)(int) = nullptr;
};

TEST_F(PlanPrintFileGL, FailedJobKeepsTheOldFileAndSaysSo) {
    struct Case {
        const char *Name;
        const char *Says; // a part of the error's text
        std::function<void()> Fail;
        std::function<void()> Mend;
        TPlanTileCallback Callback;
        std::string FileName = "sheet.ZPrint";
    };
    const TPlanSheetFormat format = Sheet->Format;
    std::unique_ptr<TFileSizeLimit> limit;
    const Case cases[] = {
        {"a failure between tiles",
         "the test's failure",
         {},
         {},
         [](int column, int row, int, int, bool &) {
             if (column == 1 && row == 1)
                 RaiseStreetError("Test", "the test's failure");
         }},
        {"a sheet that cannot be rendered",
         "no resolution",
         [&] { Sheet->Format.DPI = 0; },
         [&] { Sheet->Format = format; },
         {}},
        // The first tile is larger than this; the file system refuses it or the flush before the rename.
        {"a full disk",
         "TSaveFileStream",
         [&] { limit = std::make_unique<TFileSizeLimit>(2048); },
         [&] { limit.reset(); },
         {}},
        // The longest name the folder takes: the temporary file beside it cannot be named, whoever runs the
        // test, and nothing may write the file in place instead.
        {"a name too long for a temporary file beside it",
         "TSaveFileStream.Commit: cannot save",
         {},
         {},
         {},
         std::string(248, 'x') + ".ZPrint"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Name);
        const std::string target = Dir.File(c.FileName);
        sptest::WriteFileBytes(target, OldBytes);
        if (c.Fail)
            c.Fail();
        std::string error;
        try {
            Sheet->RenderPrintFileTo(target, true, c.Callback);
        } catch (const EStreetError &e) {
            error = e.what();
        }
        if (c.Mend)
            c.Mend();
        EXPECT_NE(error.find(c.Says), std::string::npos) << "error: " << error;
        EXPECT_EQ(sptest::ReadFileBytes(target), OldBytes);
        EXPECT_EQ(FolderFiles(Dir), std::set<std::string>{c.FileName}) << "a temporary file is left";
        ExpectStreetAsFound(false);
        std::filesystem::remove(target);
    }
}

TEST_F(PlanPrintFileGL, JobThatWouldPass2GiBStopsWithAClearError) {
    // Room for everything before the tiles and the index, but not for a tile of the street.
    constexpr int64_t start = 0x7FFFFFFF - 2000;
    sptest::TFarStream far(start);
    std::string error;
    try {
        Sheet->RenderPrintFile(far, true);
    } catch (const EStreetError &e) {
        error = e.what();
    }
    EXPECT_NE(error.find("would pass 2 GiB at tile (0, 0)"), std::string::npos) << "error: " << error;
    // Nothing of the tile was written.
    EXPECT_EQ(far.Position(), start + 8 + 8 * 12 + 48);
    ExpectStreetAsFound(false);
}

// ---- Refusals

// One way into a render job. Run starts it on the sheet; it returns the error's text (empty when the job
// ran) and tells whether the job left anything behind (bytes, a file, pixels or a tile).
struct TJobEntry {
    const char *Name;
    std::function<std::string(TPlanDefineItem &, bool &leftSomething)> Run;
};

using sptest::ErrorOf;

const std::vector<TJobEntry> &JobEntries() {
    static const std::vector<TJobEntry> entries = {
        {"TPlanDefineItem.RenderPrintFile",
         [](TPlanDefineItem &sheet, bool &left) {
             TMemoryStream m;
             const std::string error = ErrorOf([&] { sheet.RenderPrintFile(m, true); });
             left = m.Size() > 0;
             return error;
         }},
        {"TPlanDefineItem.RenderPrintFile", // into a file
         [](TPlanDefineItem &sheet, bool &left) {
             sptest::TempDir dir;
             const std::string error =
                 ErrorOf([&] { sheet.RenderPrintFileTo(dir.File("sheet.ZPrint"), true); });
             left = !std::filesystem::is_empty(dir.Path());
             return error;
         }},
        {"TPlanDefineItem.RenderToDC",
         [](TPlanDefineItem &sheet, bool &left) {
             QImage image(64, 48, QImage::Format_RGB888);
             image.fill(Qt::blue);
             QImage before = image;
             const std::string error = ErrorOf([&] {
                 QPainter painter(&image);
                 sheet.RenderToDC(painter, QRect(0, 0, 64, 48), true);
             });
             left = image != before;
             return error;
         }},
        {"TPlanDefineItem.RenderTiles",
         [](TPlanDefineItem &sheet, bool &left) {
             int handedOut = 0;
             TPlanTileSink sink;
             sink.Before = [&](int, int, int, int) { return ++handedOut, true; };
             sink.Tile = [&](int, int, int, int, const TBitmap &) { ++handedOut; };
             const std::string error = ErrorOf([&] { sheet.RenderTiles(256, true, 1, 100, sink); });
             left = handedOut > 0;
             return error;
         }},
    };
    return entries;
}

TEST_F(PlanPrintGL, JobsRefuseSheetsTheyCannotPrintBeforeAnythingIsDone) {
    const TPlanSheetFormat format = Sheet->Format;
    auto *unplaced = dynamic_cast<TPlanDefineItem *>(Street.Lists(PlanDefineTypeCode).AddNew());
    Street.SetBoolOption(EdgesOption, true);
    Street.ClearModified();
    TPlanDefineItem streetless;
    constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
    constexpr double Inf = std::numeric_limits<double>::infinity();
    struct Case {
        const char *Name;
        const char *Says;
        std::function<TPlanDefineItem &()> Arrange;
    };
    auto set = [&](auto change) {
        return [&, change]() -> TPlanDefineItem & {
            Sheet->Format = format;
            change(Sheet->Format);
            return *Sheet;
        };
    };
    const Case cases[] = {
        {"no resolution", "no resolution or no scale", set([](TPlanSheetFormat &f) { f.DPI = 0; })},
        {"a negative resolution", "no resolution or no scale",
         set([](TPlanSheetFormat &f) { f.DPI = -300; })},
        {"no scale", "no resolution or no scale", set([](TPlanSheetFormat &f) { f.Scale = 0; })},
        {"a negative scale", "no resolution or no scale", set([](TPlanSheetFormat &f) { f.Scale = -0.005; })},
        {"a scale that is no number", "no resolution or no scale",
         set([](TPlanSheetFormat &f) { f.Scale = NaN; })},
        {"an infinite scale", "no resolution or no scale", set([](TPlanSheetFormat &f) { f.Scale = Inf; })},
        // 2312 mm at 720 DPI: 65,537 pixels, one beyond the limit.
        {"a printable area beyond the limit", "printable area of 65537 x 2551 pixels cannot be printed",
         set([](TPlanSheetFormat &f) { f.SheetWidth = 2342, f.DPI = 720; })},
        {"a resolution whose pixels pass int32", "cannot be printed",
         set([](TPlanSheetFormat &f) { f.DPI = std::numeric_limits<int32_t>::max(); })},
        {"margins wider than the paper", "cannot be printed",
         set([](TPlanSheetFormat &f) { f.LeftMargin = 100, f.RightMargin = 40; })},
        {"margins taller than the paper", "cannot be printed",
         set([](TPlanSheetFormat &f) { f.TopMargin = 120; })},
        {"no position", "has no position", [&]() -> TPlanDefineItem & { return *unplaced; }},
        {"no street", "belongs to no street", [&]() -> TPlanDefineItem & { return streetless; }},
    };
    for (const Case &c : cases)
        for (const TJobEntry &entry : JobEntries()) {
            SCOPED_TRACE(std::string(c.Name) + " / " + entry.Name);
            TPlanDefineItem &sheet = c.Arrange();
            bool left = false;
            const std::string error = entry.Run(sheet, left);
            EXPECT_EQ(error.rfind(std::string(entry.Name) + ": ", 0), 0u) << "error: " << error;
            EXPECT_NE(error.find(c.Says), std::string::npos) << "error: " << error;
            EXPECT_FALSE(left);
            EXPECT_EQ(sheet.JobRenderer(), nullptr);
            EXPECT_TRUE(Street.GetBoolOption(EdgesOption));
            EXPECT_FALSE(Street.Modified());
        }

    // A millimetre less, 65,509 pixels, is printed (the job stopped before its first tile).
    Sheet->Format = format;
    Sheet->Format.SheetWidth = 2341;
    Sheet->Format.DPI = 720;
    TMemoryStream m;
    Sheet->RenderPrintFile(m, true, [](int, int, int lastColumn, int lastRow, bool &stop) {
        EXPECT_EQ(lastColumn, 65508 / 512);
        EXPECT_EQ(lastRow, 2550 / 512);
        stop = true;
    });
    const zprint::File f = zprint::Read(m.Bytes());
    EXPECT_EQ(f.PrintWidth, 65509);
    EXPECT_EQ(f.Records.size(), 0u);
}

TEST_F(PlanPrintGL, SecondJobOfASheetIsRefusedAndTheRunningOneGoesOn) {
    Sheet->Format.DPI = 150; // four tiles
    Street.SetBoolOption(EdgesOption, true);
    Street.ClearModified();
    TMemoryStream undisturbed;
    Sheet->RenderPrintFile(undisturbed, true);

    TMemoryStream running;
    int tiles = 0;
    Sheet->RenderPrintFile(running, true, [&](int, int, int, int, bool &) {
        if (tiles++ != 1)
            return;
        TSurfaceRenderer *renderer = Sheet->JobRenderer();
        for (const TJobEntry &entry : JobEntries()) {
            SCOPED_TRACE(entry.Name);
            bool left = false;
            const std::string error = entry.Run(*Sheet, left);
            EXPECT_EQ(error.rfind(std::string(entry.Name) + ": ", 0), 0u) << "error: " << error;
            EXPECT_NE(error.find("a render job of the sheet is running"), std::string::npos)
                << "error: " << error;
            EXPECT_FALSE(left);
            // The running job keeps its renderer and its setting.
            EXPECT_EQ(Sheet->JobRenderer(), renderer);
            EXPECT_FALSE(Street.GetBoolOption(EdgesOption));
        }
    });
    EXPECT_EQ(tiles, 4);
    EXPECT_TRUE(running.Bytes() == undisturbed.Bytes());
    EXPECT_EQ(Sheet->JobRenderer(), nullptr);
    EXPECT_TRUE(Street.GetBoolOption(EdgesOption));
    EXPECT_FALSE(Street.Modified());
}

// ---- Stamps

// A point's distance from the segment.
double SegmentDistance(QPointF p, QPointF a, QPointF b) {
    const QPointF d = b - a;
    const double len2 = d.x() * d.x() + d.y() * d.y();
    const double t = std::clamp(((p.x() - a.x()) * d.x() + (p.y() - a.y()) * d.y()) / len2, 0.0, 1.0);
    return std::hypot(a.x() + t * d.x() - p.x(), a.y() + t * d.y() - p.y());
}

TEST(PlanPrintStamps, StampsPrintInTheirCornersWithAndWithoutTheFrame) {
    UseObjectClasses();
    RegisterExchangeObjects();
    RegisterPlainLine();
    constexpr double L = 20, R = 10, T = 10, B = 20, W = 120, H = 100, DPI = 150;
    const double angle = 0.5;
    // Far from the plan's origin, near which the stamps' own millimetres lie.
    const TXYZ p0{2300, -1700, 0};
    constexpr int Wp = 531, Hp = 413; // 90 x 70 mm
    // Paper mm (from the paper's bottom-left corner) in pixels of the printable area.
    auto toPixels = [](double x, double y) {
        return QPointF((x - L) / 25.4 * DPI, (H - T - y) / 25.4 * DPI);
    };

    struct Corner {
        TStampCorner Which;
        double X, Y; // anchor, paper mm
    };
    struct Case {
        bool Rotation;
        double Turn; // counter-clockwise, radians
        Corner Corners[4];
    };
    const double q = std::numbers::pi / 2, h = std::numbers::pi;
    const Case cases[] = {
        {false,
         q,
         {{TStampCorner::TopLeft, L, H - T},
          {TStampCorner::TopRight, W - R, H - T},
          {TStampCorner::BotLeft, L, B},
          {TStampCorner::BotRight, W - R, B}}},
        {true,
         h,
         {{TStampCorner::TopLeft, L, B},
          {TStampCorner::TopRight, L, H - T},
          {TStampCorner::BotLeft, W - R, B},
          {TStampCorner::BotRight, W - R, H - T}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Rotation ? "stamp rotation on" : "stamp rotation off");
        TStreetStructure street;
        TPlanDefineItem &sheet = AddSheet(street, p0, angle);
        sheet.Format.Scale = 0.002;
        sheet.Format.DPI = int(DPI);
        sheet.Format.SheetWidth = int(W);
        sheet.Format.SheetHeight = int(H);
        sheet.Format.StampRotation = c.Rotation;
        ASSERT_EQ(sheet.PrintWidthPx(), Wp);
        ASSERT_EQ(sheet.PrintHeightPx(), Hp);
        // In each corner's stamp a black line, a different one in each, running from the corner into the
        // printable area; its stamp points are what the corner's turn and anchor take to those paper points.
        std::vector<std::pair<QPointF, QPointF>> predicted;
        for (int i = 0; i < 4; ++i) {
            const Corner &k = c.Corners[i];
            const double sx = k.X == L ? 1 : -1, sy = k.Y == B ? 1 : -1;
            const double from[2] = {sx * (4 + i), sy * 6}, to[2] = {sx * 28, sy * (18 + 2 * i)};
            auto stampPoint = [&](const double *d) {
                return TXYZ{float(d[0] * std::cos(c.Turn) + d[1] * std::sin(c.Turn)),
                            float(-d[0] * std::sin(c.Turn) + d[1] * std::cos(c.Turn)), 0};
            };
            TStreetStructure &stamp = sheet.EnsureStamp(k.Which);
            TAbstractItem *line = stamp.Lists(PlainLine).AddNew();
            line->Points.InsertNewPoint(0, stampPoint(from));
            line->Points.InsertNewPoint(1, stampPoint(to));
            stamp.UpdateGraphics(FullTypeSet());
            for (auto &batch : stamp.TypeBatches(PlainLine))
                batch->SetColor(MakeD3DColor(0, 0, 0, 255));
            predicted.emplace_back(toPixels(k.X + from[0], k.Y + from[1]),
                                   toPixels(k.X + to[0], k.Y + to[1]));
        }

        const QImage withFrame = Assemble(sheet, 128, true), withoutFrame = Assemble(sheet, 128, false);
        auto dark = [](const QImage &image, int x, int y) { return qGray(image.pixel(x, y)) < 60; };
        auto nearEdge = [](int x, int y) { return x < 4 || y < 4 || x >= Wp - 4 || y >= Hp - 4; };
        for (const bool frame : {false, true}) {
            SCOPED_TRACE(frame ? "frame on" : "frame off");
            const QImage &out = frame ? withFrame : withoutFrame;
            std::vector<int> onLine(4);
            int edge = 0, stray = 0;
            QPoint firstStray;
            for (int y = 0; y < Hp; ++y)
                for (int x = 0; x < Wp; ++x) {
                    if (!dark(out, x, y))
                        continue;
                    int nearest = -1;
                    for (int i = 0; i < 4; ++i)
                        if (SegmentDistance(QPointF(x, y), predicted[i].first, predicted[i].second) <= 1.5)
                            nearest = i;
                    if (nearest >= 0)
                        ++onLine[std::size_t(nearest)];
                    else if (frame && nearEdge(x, y))
                        ++edge;
                    else if (stray++ == 0)
                        firstStray = QPoint(x, y);
                }
            EXPECT_EQ(stray, 0) << "dark pixels on no stamp line, the first at " << firstStray.x() << ", "
                                << firstStray.y();
            for (int i = 0; i < 4; ++i) {
                SCOPED_TRACE(i);
                const auto [a, b] = predicted[std::size_t(i)];
                // Points along the line have a dark pixel next to their prediction, and the line is whole.
                for (double s : {0.1, 0.5, 0.9}) {
                    const QPointF p = a + s * (b - a);
                    int best = 1 << 30;
                    for (int y = int(p.y()) - 3; y <= int(p.y()) + 3; ++y)
                        for (int x = int(p.x()) - 3; x <= int(p.x()) + 3; ++x)
                            if (out.valid(x, y) && dark(out, x, y))
                                best = std::min(best, int(std::lround(std::hypot(x - p.x(), y - p.y()))));
                    EXPECT_LE(best, 1) << "at " << s;
                }
                EXPECT_GE(onLine[std::size_t(i)],
                          int(std::max(std::fabs(b.x() - a.x()), std::fabs(b.y() - a.y()))) - 2);
            }
            // The frame runs round the whole printable area (without it, no dark pixel is off the lines).
            if (frame) {
                EXPECT_GE(edge, 2 * (Wp + Hp) - 16);
            }
        }
        // Away from the frame the two prints are the same.
        int differing = 0;
        for (int y = 0; y < Hp; ++y)
            for (int x = 0; x < Wp; ++x)
                differing += !nearEdge(x, y) && withFrame.pixel(x, y) != withoutFrame.pixel(x, y);
        EXPECT_EQ(differing, 0);
    }
}

// The frame's dark pixels on a rasterised page: the first and last columns and rows (mm from the
// paper's top-left corner) where a long dark run stands.
struct FrameEdges {
    double Left = -1, Top = -1, Right = -1, Bottom = -1;
};

FrameEdges FindFrame(const QImage &page, double pxPerMm) {
    auto darkColumn = [&](int x) {
        int n = 0;
        for (int y = 0; y < page.height(); ++y)
            n += qGray(page.pixel(x, y)) < 100;
        return n > page.height() / 4;
    };
    auto darkRow = [&](int y) {
        int n = 0;
        for (int x = 0; x < page.width(); ++x)
            n += qGray(page.pixel(x, y)) < 100;
        return n > page.width() / 4;
    };
    FrameEdges e;
    for (int x = 0; x < page.width() && e.Left < 0; ++x)
        if (darkColumn(x))
            e.Left = x / pxPerMm;
    for (int x = page.width() - 1; x >= 0 && e.Right < 0; --x)
        if (darkColumn(x))
            e.Right = (x + 1) / pxPerMm;
    for (int y = 0; y < page.height() && e.Top < 0; ++y)
        if (darkRow(y))
            e.Top = y / pxPerMm;
    for (int y = page.height() - 1; y >= 0 && e.Bottom < 0; --y)
        if (darkRow(y))
            e.Bottom = (y + 1) / pxPerMm;
    return e;
}

TEST(PlanPrintPage, FrameLiesAtTheMarginsOfThePdfPage) {
    UseObjectClasses();
    RegisterExchangeObjects();
    struct Case {
        int W, H, L, R, T, B;
    };
    // A4 with the default margins, and a paper of our own with margins of its own.
    for (const Case c : {Case{210, 297, 20, 10, 10, 20}, Case{160, 124, 15, 12, 8, 27}}) {
        SCOPED_TRACE(c.W);
        TStreetStructure street;
        TPlanDefineItem &sheet = AddSheet(street, {0, 0, 0}, 0.4);
        sheet.Format.DPI = 150;
        sheet.Format.SheetWidth = c.W;
        sheet.Format.SheetHeight = c.H;
        sheet.Format.LeftMargin = c.L;
        sheet.Format.RightMargin = c.R;
        sheet.Format.TopMargin = c.T;
        sheet.Format.BottomMargin = c.B;

        sptest::TempDir dir;
        const QString pdf = QString::fromStdString(dir.File("sheet.pdf"));
        auto printer = CreateSheetPrinter(SheetPaper(sheet), QString(), pdf);
        ASSERT_TRUE(PrintsToFile(*printer));
        PrintPlanSheet(sheet, *printer, true);
        printer.reset();

        constexpr int RasterDPI = 254; // 10 pixels a millimetre
        QProcess p;
        p.start("pdftoppm", {"-r", QString::number(RasterDPI), "-png", "-singlefile", pdf,
                             QString::fromStdString(dir.File("page"))});
        ASSERT_TRUE(p.waitForFinished(60000));
        ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
        const QImage page(QString::fromStdString(dir.File("page.png")));
        ASSERT_FALSE(page.isNull());
        EXPECT_NEAR(page.width(), c.W * 10, 2);
        EXPECT_NEAR(page.height(), c.H * 10, 2);
        const FrameEdges e = FindFrame(page, 10);
        EXPECT_NEAR(e.Left, c.L, 0.5);
        EXPECT_NEAR(e.Top, c.T, 0.5);
        EXPECT_NEAR(e.Right, c.W - c.R, 0.5);
        EXPECT_NEAR(e.Bottom, c.H - c.B, 0.5);
    }
}

TEST(PlanPrintPage, DeviceOutputStretchesEachAxisOnItsOwn) {
    UseObjectClasses();
    RegisterExchangeObjects();
    TStreetStructure street;
    TPlanDefineItem &sheet = AddSheet(street, {0, 0, 0}, 0.3);
    sheet.Format.DPI = 50;
    // A printable area of 120 x 60 mm, 236 x 118 pixels, stretched twice in x and three times in y.
    sheet.Format.SheetWidth = 150;
    sheet.Format.SheetHeight = 90;
    ASSERT_EQ(sheet.PrintWidthPx(), 236);
    ASSERT_EQ(sheet.PrintHeightPx(), 118);
    const QImage source = DirectRender(sheet, true);
    ASSERT_GT(CountPixels(source, 50), 500); // the frame
    QImage image(600, 400, QImage::Format_RGB888);
    image.fill(Qt::blue);
    {
        QPainter painter(&image);
        sheet.RenderToDC(painter, QRect(50, 20, 472, 354), true);
    }
    int wrong = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const bool inside = x >= 50 && x < 522 && y >= 20 && y < 374;
            const QRgb want = inside ? source.pixel((x - 50) / 2, (y - 20) / 3) : qRgb(0, 0, 255);
            wrong += image.pixel(x, y) != want;
        }
    EXPECT_EQ(wrong, 0);
}

} // namespace
