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
#include "engine/Streams.h"
#include "model/ItemLayers.h"
#include "model/ItemTypes.h"
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
#include <QOpenGLContext>
#include <QPainter>
#include <QPainterPath>

#include <array>
#include <cmath>
#include <cstring>
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

// In the program a device uploads and draws while its own context is current. A context that another
// scene of this program left current would make every device call switch contexts there and back, and
// each switch flushes the driver: that would be measured instead of the work.
void LeaveNoContextCurrent() {
    if (QOpenGLContext *current = QOpenGLContext::currentContext())
        current->doneCurrent();
}

TLibraryScene &LibraryScene() {
    static TLibraryScene *scene = new TLibraryScene; // never torn down: GL contexts outlive static destructors
    return *scene;
}

void BM_LibraryTextures(benchmark::State &state) {
    TLibraryScene &s = LibraryScene();
    LeaveNoContextCurrent();
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

// The same without the upload: the pictures rendered into their keyed bitmaps only.
void BM_LibraryRenderOnly(benchmark::State &state) {
    TLibraryScene &s = LibraryScene();
    for (auto _ : state) {
        TEMFTexture::FreeCache();
        for (const auto &bytes : s.Bytes) {
            int32_t hint = 0;
            benchmark::DoNotOptimize(TEMFTexture::Acquire(bytes, hint));
        }
    }
    TEMFTexture::FreeCache();
}

void BM_LibraryQPainter(benchmark::State &state) {
    TLibraryScene &s = LibraryScene();
    // The floor makes the whole set of pictures too: each bitmap stays until the next round, as the
    // textures stay in their cache.
    std::vector<QImage> images;
    for (auto _ : state) {
        images.clear();
        for (const TSignRow &row : s.Rows) {
            QImage &image = images.emplace_back(row.TexW, row.TexH, QImage::Format_RGB32);
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

// ---- A frame of signs

constexpr int FrameW = 1024, FrameH = 768;
constexpr int Grid = 100; // posts on a 100 x 100 grid, 1 m apart; the chained-type signs between them

// A metafile of our own: a square of the colour (0xRRGGBB), 96 units a side.
std::shared_ptr<const std::vector<uint8_t>> SquareEmf(uint32_t rgb) {
    // The smallest enhanced metafile: a header, a brush, a rectangle and the end record, laid out here
    // directly (96 pixels per inch reference device, 0.01 mm frame).
    std::vector<uint8_t> b;
    const auto u32 = [&](uint32_t v) {
        for (int i = 0; i < 4; ++i)
            b.push_back(uint8_t(v >> (8 * i)));
    };
    const uint32_t side = 96, frame = side * 2540 / 96;
    u32(1), u32(88), u32(0), u32(0), u32(side - 1), u32(side - 1), u32(0), u32(0), u32(frame), u32(frame);
    u32(0x464D4520), u32(0x10000), u32(0), u32(5), u32(2), u32(0), u32(0), u32(0), u32(96 * 10), u32(96 * 10);
    u32(254), u32(254);
    u32(39), u32(24), u32(1), u32(0), u32(((rgb >> 16) & 0xFF) | (rgb & 0xFF00) | ((rgb & 0xFF) << 16)), u32(0);
    u32(37), u32(12), u32(1);
    u32(43), u32(24), u32(0), u32(0), u32(side), u32(side);
    u32(14), u32(20), u32(0), u32(16), u32(20);
    const uint32_t total = uint32_t(b.size());
    std::memcpy(b.data() + 48, &total, 4);
    return std::make_shared<const std::vector<uint8_t>>(std::move(b));
}

TDxMatrix PlanToClip(float perMetre, float cx, float cy) {
    TDxMatrix m{};
    m.m[0][0] = 2.0f * perMetre / FrameW;
    m.m[1][1] = 2.0f * perMetre / FrameH;
    m.m[2][2] = 1;
    m.m[3][0] = -cx * m.m[0][0];
    m.m[3][1] = -cy * m.m[1][1];
    m.m[3][2] = 0.5f;
    m.m[3][3] = 1;
    return m;
}

struct TFrameScene {
    std::unique_ptr<TStreetStructure> Street, Varied;
    std::unique_ptr<TdxRenderer> Renderer;
    std::vector<uint8_t> Image = std::vector<uint8_t>(std::size_t(FrameW) * FrameH * 4);
    // The plain loop's quads: texture and six vertices each.
    std::vector<std::pair<TTextureSurface *, std::array<TDxVertex, 6>>> Quads;

    static TMetafile MetafileOf(const std::shared_ptr<const std::vector<uint8_t>> &bytes) {
        TMetafile m;
        m.LoadFromBytes(bytes->data(), bytes->size());
        return m;
    }

    // Posts with 1 to 3 plates of `pictures`, and as many chained-type signs, the first of every four
    // heading a column of two.
    static std::unique_ptr<TStreetStructure> Build(const std::vector<TMetafile> &pictures) {
        auto street = std::make_unique<TStreetStructure>();
        std::size_t next = 0;
        const auto picture = [&] { return pictures[next++ % pictures.size()]; };
        TStreetPointRec *above = nullptr;
        for (int i = 0; i < Grid; ++i)
            for (int j = 0; j < Grid; ++j) {
                const float x = float(i) - Grid / 2, y = float(j) - Grid / 2;
                auto *post = dynamic_cast<TZnakItem *>(street->Lists(ZnakTypeCode).AddNew());
                for (const TXYZ &p : {TXYZ{x, y, 0}, TXYZ{x, y + 0.2f, 0}, TXYZ{x, y + 0.4f, 0}})
                    post->Points.InsertNewPoint(post->Points.Count(), p);
                for (int k = 0; k <= (i + j) % 3; ++k) {
                    TEmfSubItem *plate = post->AddPlate();
                    plate->SetOrigin({0, float(k) * 0.7f, 0});
                    plate->SetMetafile(picture());
                }
                auto *sign = dynamic_cast<TRoadSignItem *>(street->Lists(RoadSignTypeCode).AddNew());
                TStreetPointRec *at = street->Pool().AddPointRec({x + 0.5f, y + 0.5f, 0});
                sign->Points.Insert(0, at);
                if (above && j % 2 == 1)
                    sign->Points.Insert(1, above);
                above = at;
                sign->InitNewItem();
                TMemoryStream m(picture().Bytes());
                sign->LoadFromMetafileStream(m, Cp1251String("sign.emf"));
            }
        return street;
    }

    TFrameScene() {
        EnsureApplication();
        RegisterObjects();
        TLibraryScene &lib = LibraryScene();
        std::vector<TMetafile> library, varied;
        for (std::size_t i = 0; i < 48 && i < lib.Bytes.size(); ++i)
            library.push_back(MetafileOf(lib.Bytes[i]));
        for (uint32_t i = 0; i < 100; ++i)
            varied.push_back(MetafileOf(SquareEmf(0x010203 * (i + 1))));
        Street = Build(library);
        Varied = Build(varied);
        Renderer = std::make_unique<TSurfaceRenderer>(CreateOffscreenDevice(FrameW, FrameH));
        // The plain loop's quads: the same corners and pictures, textures resolved once.
        Frame(*Street); // builds every item's geometry and every texture
        for (const auto &item : Street->Lists(ZnakTypeCode)) {
            const auto *post = dynamic_cast<const TZnakItem *>(item.get());
            for (int k = 0; k < post->PlateCount(); ++k) {
                TEmfSubItem *plate = post->GetPlate(k);
                TXYZ c[4];
                plate->GetCorners(c);
                Quads.push_back({&TEMFTexture::Acquire(*plate->Metafile(), plate->TextureHint())->Texture(),
                                 Quad(c)});
            }
        }
        for (const auto &item : Street->Lists(RoadSignTypeCode)) {
            auto *sign = dynamic_cast<TRoadSignItem *>(item.get());
            TXYZ centre, ax, ay;
            sign->GetFrame(centre, ax, ay);
            const double hw = sign->Width() / 2.0, hh = sign->Height() / 2.0;
            TXYZ c[4];
            const double xs[4] = {-hw, hw, hw, -hw}, ys[4] = {hh, hh, -hh, -hh};
            for (int i = 0; i < 4; ++i)
                c[i] = {float(centre.x + xs[i] * ax.x + ys[i] * ay.x), float(centre.y + xs[i] * ax.y + ys[i] * ay.y),
                        centre.z};
            Quads.push_back({&TEMFTexture::Acquire(*sign->Metafile(), sign->TextureHint())->Texture(), Quad(c)});
        }
        std::printf("signs: %zu plates and signs in a frame, %zu textures cached\n", Quads.size(),
                    TEMFTexture::Cache().size());
    }

    static std::array<TDxVertex, 6> Quad(const TXYZ c[4]) {
        const D3DCOLOR w = 0xFFFFFFFF;
        return {TDxVertex{c[0].x, c[0].y, c[0].z, w, 0, 0}, {c[1].x, c[1].y, c[1].z, w, 1, 0},
                {c[2].x, c[2].y, c[2].z, w, 1, 1},          {c[2].x, c[2].y, c[2].z, w, 1, 1},
                {c[3].x, c[3].y, c[3].z, w, 0, 1},          {c[0].x, c[0].y, c[0].z, w, 0, 0}};
    }

    void Begin() {
        Renderer->BeginDraw();
        Renderer->Clear(0xFF808080, true, false, false);
        Renderer->Projection().SetMatrix(PlanToClip(FrameW / float(Grid + 4), 0, 0));
    }
    void End() {
        Renderer->EndDraw();
        Renderer->Device().GetRenderTargetData(Image.data(), FrameW * 4);
    }
    void Frame(TStreetStructure &street) {
        Begin();
        street.Draw({Renderer.get(), {0, 0, 0}, float(Grid)}, TItemTypeSet{ZnakTypeCode, RoadSignTypeCode},
                    PlanLayerMask);
        End();
    }
    void PlainFrame() {
        Begin();
        for (auto &[texture, vertices] : Quads) {
            Renderer->SetTexture(texture);
            Renderer->DrawTriangleListV(vertices);
        }
        Renderer->SetTexture(nullptr);
        End();
    }
};

TFrameScene &FrameScene() {
    static TFrameScene *scene = new TFrameScene; // never torn down: GL contexts outlive static destructors
    return *scene;
}

void BM_Draw10kSigns(benchmark::State &state) {
    TFrameScene &s = FrameScene();
    LeaveNoContextCurrent();
    s.Frame(*s.Street);
    const uint64_t renders = TEMFTexture::RenderCount();
    for (auto _ : state)
        s.Frame(*s.Street);
    state.counters["renders_per_frame"] =
        benchmark::Counter(double(TEMFTexture::RenderCount() - renders), benchmark::Counter::kAvgIterations);
}

void BM_Draw10kQuadsPlain(benchmark::State &state) {
    TFrameScene &s = FrameScene();
    LeaveNoContextCurrent();
    s.PlainFrame();
    for (auto _ : state)
        s.PlainFrame();
}

void BM_Draw100Pictures(benchmark::State &state) {
    TFrameScene &s = FrameScene();
    LeaveNoContextCurrent();
    s.Frame(*s.Varied);
    const uint64_t renders = TEMFTexture::RenderCount();
    for (auto _ : state)
        s.Frame(*s.Varied);
    const double perFrame = double(TEMFTexture::RenderCount() - renders) / double(state.iterations());
    state.counters["renders_per_frame"] = perFrame;
    std::printf("signs: %g metafile renders a warm frame with 100 distinct pictures in view\n", perFrame);
}

BENCHMARK(BM_Draw10kSigns)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Draw10kQuadsPlain)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Draw100Pictures)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

BENCHMARK(BM_LibraryTextures)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LibraryRenderOnly)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LibraryQPainter)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LibraryDecode)->Unit(benchmark::kMillisecond)->UseRealTime();

const bool registered = [] {
    spbench::ResultPair("library_textures", "BM_LibraryTextures/real_time", "BM_LibraryQPainter/real_time");
    spbench::ResultPair("library_render_only", "BM_LibraryRenderOnly/real_time", "BM_LibraryQPainter/real_time");
    spbench::ResultPair("library_textures_vs_decode", "BM_LibraryTextures/real_time",
                        "BM_LibraryDecode/real_time");
    spbench::ResultPair("draw_10k_signs", "BM_Draw10kSigns/real_time", "BM_Draw10kQuadsPlain/real_time");
    return true;
}();

} // namespace
