// Sign pictures on the plan.
//
// library_textures: the whole generated sign library turned into textures (each metafile rendered into its
// colour-keyed bitmap and uploaded to an off-screen GL device), against the floor of the same pictures
// painted by QPainter straight from the generator's sign descriptions into bitmaps of the same sizes, and
// against only decoding the metafiles' bytes.
//
// draw_10k_signs: one frame of 10^4 posts (1 to 3 plates each, 48 distinct pictures) and 10^4 chained-type
// signs, every plate textured, against the same quads and textures drawn by a plain loop with the textures
// resolved beforehand. Also printed: how many metafile renders a warm frame costs with 100 distinct
// pictures in view (more than the 64 the cache keeps).
#include "BenchSupport.h"

#include "SignDraw.h"
#include "Tables.h"

#include "engine/DataFiles.h"
#include "engine/DxRenderer.h"
#include "engine/DxTexture.h"
#include "model/ItemList.h"
#include "model/ItemTypeCodes.h"
#include "model/StreetStructure.h"
#include "objects/EmfTexture.h"
#include "objects/MetafileLib.h"
#include "objects/RegisterObjects.h"
#include "objects/RoadSignItem.h"
#include "objects/ZnakItem.h"
#include "platform/d3d9/GLDevice.h"
#include "platform/gdi/Metafile.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <new>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

void EnsureApplication() {
    static int argc = 1;
    static char name[] = "signs";
    static char *argv[] = {name, nullptr};
    // Kept to the end of the process: GL contexts cannot be torn down from static destructors.
    alignas(QGuiApplication) static unsigned char storage[sizeof(QGuiApplication)];
    static QGuiApplication *app = new (storage) QGuiApplication(argc, argv);
    (void)app;
}

fs::path DataDir() {
    if (const char *env = std::getenv("STREETPLAN_DATAFILES"); env && *env)
        return env;
    return SP_BENCH_DATAFILES;
}

QColor Q(datagen::TSignRgb c) {
    return QColor(c.r, c.g, c.b);
}

// The generator's drawing calls painted with QPainter: millimetres of the sign's box scaled into a rect.
class TQPainterCanvas final : public datagen::TSignCanvas {
public:
    TQPainterCanvas(QPainter &p, const datagen::TSignShape &box, const QRectF &rect) : p_(p) {
        p_.translate(rect.topLeft());
        p_.scale(rect.width() / box.w, rect.height() / box.h);
    }
    void Polygon(const std::vector<datagen::TSignPt> &pts, datagen::TSignRgb c) override {
        QPolygonF poly;
        for (const auto &q : pts)
            poly << QPointF(q.x, q.y);
        p_.setPen(Qt::NoPen);
        p_.setBrush(Q(c));
        p_.drawPolygon(poly);
    }
    void Rect(double x0, double y0, double x1, double y1, datagen::TSignRgb c) override {
        p_.setPen(Qt::NoPen);
        p_.setBrush(Q(c));
        p_.drawRect(QRectF(QPointF(x0, y0), QPointF(x1, y1)));
    }
    void Circle(double cx, double cy, double r, datagen::TSignRgb c) override {
        p_.setPen(Qt::NoPen);
        p_.setBrush(Q(c));
        p_.drawEllipse(QPointF(cx, cy), r, r);
    }
    void Ring(double cx, double cy, double r, double w, datagen::TSignRgb c) override {
        p_.setPen(QPen(Q(c), w));
        p_.setBrush(Qt::NoBrush);
        p_.drawEllipse(QPointF(cx, cy), r, r);
    }
    void Bar(const std::vector<datagen::TSignPt> &pts, double w, datagen::TSignRgb c) override {
        QPolygonF line;
        for (const auto &q : pts)
            line << QPointF(q.x, q.y);
        p_.setPen(QPen(Q(c), w, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
        p_.setBrush(Qt::NoBrush);
        p_.drawPolyline(line);
    }
    void Text(double cx, double cy, double h, const std::string &utf8, datagen::TSignRgb c) override {
        QFont font(QStringLiteral("Arial"));
        font.setBold(true);
        font.setPixelSize(std::max(1, int(h)));
        p_.setFont(font);
        p_.setPen(Q(c));
        p_.drawText(QRectF(cx - 4 * h, cy - h, 8 * h, 2 * h), Qt::AlignCenter,
                    QString::fromUtf8(utf8.c_str()).replace(QLatin1Char('_'), QLatin1Char(' ')));
    }

private:
    QPainter &p_;
};

struct TSignRow {
    std::string Shape, Border, Fill, Elements;
    datagen::TSignShape Box;
    int TexW = 0, TexH = 0;
};

struct TLibraryScene {
    std::vector<std::shared_ptr<const std::vector<uint8_t>>> Bytes;
    std::vector<TSignRow> Rows;
    std::unique_ptr<TdxRenderer> Renderer;
    std::vector<uint8_t> Pixels = std::vector<uint8_t>(64 * 64 * 4);

    TLibraryScene() {
        EnsureApplication();
        const fs::path lib = DataDir() / "DefaultDirs" / u8"Каталог библиотеки метафайлов";
        TNamedMetafileLib library;
        library.LoadDirectory(lib, ".emf");
        for (int i = 0; i < library.Count(); ++i)
            Bytes.push_back(library.GetMetafile(i).SharedBytes());
        enum { Number, Name, Shape, Size, Border, Fill, Elements };
        const datagen::TTable t(fs::path(SP_BENCH_SOURCE) / "data" / "signs" / "signs.tsv",
                                {"number", "name", "shape", "size", "border", "fill", "elements"});
        for (std::size_t r = 0; r < t.Rows(); ++r) {
            TSignRow row{t.Cell(r, Shape), t.Cell(r, Border), t.Cell(r, Fill), t.Cell(r, Elements), {}};
            row.Box = datagen::SignShapeOf(row.Shape, t.Cell(r, Size));
            const auto units = [](double mm) { return int(std::lround(mm / 1000 * datagen::SignUnitsPerMetre)); };
            row.TexW = TEMFTexture::BitmapSide(units(row.Box.w));
            row.TexH = TEMFTexture::BitmapSide(units(row.Box.h));
            Rows.push_back(row);
        }
        Renderer = std::make_unique<TSurfaceRenderer>(CreateOffscreenDevice(64, 64));
        std::printf("signs: %zu library pictures, %zu descriptions\n", Bytes.size(), Rows.size());
    }
};

TLibraryScene &LibraryScene() {
    static TLibraryScene *scene = new TLibraryScene; // never torn down: GL contexts outlive static destructors
    return *scene;
}

void BM_LibraryTextures(benchmark::State &state) {
    TLibraryScene &s = LibraryScene();
    for (auto _ : state) {
        TEMFTexture::FreeCache();
        for (const auto &bytes : s.Bytes) {
            int32_t hint = 0;
            TEMFTexture *t = TEMFTexture::Acquire(bytes, hint);
            s.Renderer->SetTexture(&t->Texture()); // the upload
        }
        s.Renderer->SetTexture(nullptr);
        // Reading the target back waits for the device: every upload is done before the clock stops.
        s.Renderer->Device().GetRenderTargetData(s.Pixels.data(), 64 * 4);
    }
    TEMFTexture::FreeCache();
}

void BM_LibraryQPainter(benchmark::State &state) {
    TLibraryScene &s = LibraryScene();
    for (auto _ : state) {
        for (const TSignRow &row : s.Rows) {
            QImage image(row.TexW, row.TexH, QImage::Format_RGB32);
            image.fill(QColor(255, 0, 255));
            QPainter p(&image);
            TQPainterCanvas canvas(p, row.Box, QRectF(1, 1, row.TexW - 2, row.TexH - 2));
            datagen::DrawSignDescription(canvas, row.Shape, row.Box, row.Border, row.Fill, row.Elements);
            benchmark::DoNotOptimize(image.constBits());
        }
    }
}

void BM_LibraryDecode(benchmark::State &state) {
    TLibraryScene &s = LibraryScene();
    for (auto _ : state)
        for (const auto &bytes : s.Bytes) {
            TMetafile m;
            m.LoadFromBytes(bytes->data(), bytes->size());
            benchmark::DoNotOptimize(m.Width());
        }
}

BENCHMARK(BM_LibraryTextures)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LibraryQPainter)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LibraryDecode)->Unit(benchmark::kMillisecond)->UseRealTime();

const bool registered = [] {
    spbench::ResultPair("library_textures", "BM_LibraryTextures/real_time", "BM_LibraryQPainter/real_time");
    spbench::ResultPair("library_textures_vs_decode", "BM_LibraryTextures/real_time",
                        "BM_LibraryDecode/real_time");
    return true;
}();

} // namespace
