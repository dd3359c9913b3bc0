// Fences, tram lines and reference points through the GL device on an off-screen target, each frame
// finished by reading the image back.
//   fence_tram_strips: 2,000 fences and 2,000 tram lines (about 10^6 strip vertices) drawn as the street
//     draws them, textured, against the same street with the pictures taken off its strip batches (the
//     same vertices untextured).
//   ruler_crosses: the crosses of 10^4 reference points (10^3 items) through the items' drawing pass,
//     against the same lines drawn from one retained line batch.
#include "BenchSupport.h"

#include "engine/DxDraw.h"
#include "engine/DxRenderer.h"
#include "model/ItemLayers.h"
#include "model/StreetStructure.h"
#include "objects/RegisterObjects.h"
#include "objects/RoadWallItem.h"
#include "objects/RulerItem.h"
#include "objects/TramWayItem.h"
#include "platform/gdi/Bitmap.h"

#include <QGuiApplication>

#include <memory>
#include <new>
#include <random>
#include <vector>

namespace {

constexpr int Width = 1024, Height = 768;
constexpr int Fences = 2000, TramLines = 2000, SegmentsPerLine = 42;
constexpr int Rulers = 1000, PointsPerRuler = 10;
// The plan area the items lie in and the view shows: x 0..Span, y 0..Span * Height / Width.
constexpr float Span = 2000;

void EnsureApplication() {
    static int argc = 1;
    static char name[] = "strips";
    static char *argv[] = {name, nullptr};
    // Kept to the end of the process: GL contexts cannot be torn down from static destructors.
    alignas(QGuiApplication) static unsigned char storage[sizeof(QGuiApplication)];
    static QGuiApplication *app = new (storage) QGuiApplication(argc, argv);
    (void)app;
}

// Plan metres onto the whole target.
TDxMatrix PlanToClip() {
    TDxMatrix m{};
    m.m[0][0] = 2.0f / Span;
    m.m[1][1] = 2.0f / (Span * Height / Width);
    m.m[2][2] = 1;
    m.m[3][0] = -1;
    m.m[3][1] = -1;
    m.m[3][2] = 0.5f;
    m.m[3][3] = 1;
    return m;
}

// Wandering lines of their own vertices, 2 m a segment.
void AddLines(TStreetStructure &street, int type, int count, std::mt19937 &rng) {
    std::uniform_real_distribution<float> px(20, Span - 120), py(20, Span * Height / Width - 120),
        turn(-0.3f, 0.3f);
    for (int i = 0; i < count; ++i) {
        TAbstractItem *item = street.Lists(type).AddNew();
        float x = px(rng), y = py(rng), heading = turn(rng) * 10;
        for (int k = 0; k <= SegmentsPerLine; ++k) {
            item->Points.InsertNewPoint(k, {x, y, 0});
            heading += turn(rng);
            x += 2 * std::cos(heading);
            y += 2 * std::sin(heading);
        }
    }
}

// Streets copy the class table when they are made: the application and the classes come first.
struct TSetUp {
    TSetUp() {
        EnsureApplication();
        RegisterObjects();
    }
};

struct TScene : TSetUp {
    std::unique_ptr<TSurfaceRenderer> Renderer;
    TStreetStructure Textured, Plain, Points;
    TDxLineCollection RetainedCrosses;
    TDxDrawParams Params;
    TBitmap Image;
    std::size_t StripVertices = 0;

    TScene() {
        Renderer = std::make_unique<TSurfaceRenderer>(Width, Height);
        Params = {Renderer.get(), {Span / 2, Span * Height / Width / 2, 0}, Span};
        for (TStreetStructure *s : {&Textured, &Plain}) {
            std::mt19937 rng(7);
            AddLines(*s, RoadWallTypeCode, Fences, rng);
            AddLines(*s, TramWayTypeCode, TramLines, rng);
            s->UpdateGraphics(FullTypeSet());
        }
        Plain.TypeBatches(RoadWallTypeCode)[1]->SetPicture(nullptr, TTextureAddress::Wrap,
                                                           TTextureAddress::Clamp);
        Plain.TypeBatches(TramWayTypeCode)[0]->SetPicture(nullptr, TTextureAddress::Wrap,
                                                          TTextureAddress::Clamp);
        for (auto [code, entry] : {std::pair{RoadWallTypeCode, 1}, std::pair{TramWayTypeCode, 0}})
            StripVertices += TypePrimCollection(Textured, code, static_cast<std::size_t>(entry))->Count() * 3;

        std::mt19937 rng(11);
        std::uniform_real_distribution<float> px(10, Span - 10), py(10, Span * Height / Width - 10);
        std::vector<TDxVertex> crosses;
        for (int i = 0; i < Rulers; ++i) {
            auto *ruler = dynamic_cast<TRulerItem *>(Points.Lists(RulerTypeCode).AddNew());
            ruler->SetColor(MakeD3DColor(200, 0, 0, 255));
            for (int k = 0; k < PointsPerRuler; ++k)
                ruler->Points.InsertNewPoint(k, {px(rng), py(rng), 0});
            ruler->AddCrosses(Params.ViewCenter, Params.ViewRadius, crosses);
        }
        RetainedCrosses.SetColor(MakeD3DColor(200, 0, 0, 255));
        for (std::size_t i = 0; i + 1 < crosses.size(); i += 2) {
            const TXYZ line[2] = {{crosses[i].x, crosses[i].y, 0}, {crosses[i + 1].x, crosses[i + 1].y, 0}};
            DxAddLines(RetainedCrosses, 1, line);
        }
        Points.UpdateGraphics(FullTypeSet());
        // The first frames pay for the shaders, the textures and the batches' visible lists.
        for (int i = 0; i < 2; ++i) {
            Frame([&] { Textured.Draw(Params, FullTypeSet(), PlanLayerMask); });
            Frame([&] { Plain.Draw(Params, FullTypeSet(), PlanLayerMask); });
            Frame([&] { Points.Draw(Params, TItemTypeSet{RulerTypeCode}, PlanLayerMask | TechLayerMask); });
            Frame([&] { RetainedCrosses.Draw(Params); });
        }
    }

    template <class DrawFn> void Frame(DrawFn draw) {
        Renderer->BeginDraw();
        Renderer->Clear(0xFFFFFFFF, true, false, false);
        Renderer->Projection().SetMatrix(PlanToClip());
        draw();
        Renderer->EndDraw();
        Renderer->CopyToBitmap(Image); // waits for the frame to be finished
    }
};

TScene &Scene() {
    static TScene scene;
    return scene;
}

void BM_TexturedStrips(benchmark::State &state) {
    TScene &s = Scene();
    for (auto _ : state)
        s.Frame([&] { s.Textured.Draw(s.Params, FullTypeSet(), PlanLayerMask); });
    state.counters["strip_vertices"] = double(s.StripVertices);
}

void BM_UntexturedStrips(benchmark::State &state) {
    TScene &s = Scene();
    for (auto _ : state)
        s.Frame([&] { s.Plain.Draw(s.Params, FullTypeSet(), PlanLayerMask); });
}

void BM_RulerCrosses(benchmark::State &state) {
    TScene &s = Scene();
    for (auto _ : state)
        s.Frame([&] { s.Points.Draw(s.Params, TItemTypeSet{RulerTypeCode}, PlanLayerMask | TechLayerMask); });
}

void BM_RetainedCrosses(benchmark::State &state) {
    TScene &s = Scene();
    for (auto _ : state)
        s.Frame([&] { s.RetainedCrosses.Draw(s.Params); });
}

// Frames of a tenth of a second and more: a few seconds each keep a busy machine's noise out of the ratio.
BENCHMARK(BM_TexturedStrips)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3);
BENCHMARK(BM_UntexturedStrips)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3);
BENCHMARK(BM_RulerCrosses)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RetainedCrosses)->Unit(benchmark::kMillisecond)->UseRealTime();

const bool registered = [] {
    spbench::ResultPair("fence_tram_strips", "BM_TexturedStrips/min_time:3.000/real_time",
                        "BM_UntexturedStrips/min_time:3.000/real_time");
    spbench::ResultPair("ruler_crosses", "BM_RulerCrosses/real_time", "BM_RetainedCrosses/real_time");
    return true;
}();

} // namespace
