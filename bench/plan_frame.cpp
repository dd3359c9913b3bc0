// Frames of the plan view drawn by the plan drawer on an off-screen target of 1024 x 768 (Mesa here), on
// generated streets of 10^5 and 10^6 vertices that repeat one cross-section every few hundred blocks:
// - the whole street fitted into the view (10^5 and 10^6 vertices);
// - one view 100 m wide at the start of the period nearest the street's middle, on both streets: the two
//   views hold the same items, so their frames should cost the same however long the street;
// - the 10^5-vertex street zoomed in so that the view spans 1 % of its length;
// - an empty street (what a frame costs at all).
// Every frame ends by reading the picture back, so it is finished when it is counted.
#include "BenchSupport.h"

#include "engine/DX_Shell.h"
#include "platform/d3d9/GLDevice.h"
#include "platform/settings/SettingsStore.h"
#include "shell/MainPlan.h"
#include "shell/StreetsHolder.h"
#include "tools/make-street/ObjectFillers.h"
#include "tools/make-street/StreetGen.h"

#include <QDir>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace {

constexpr int Width = 1024, Height = 768;
constexpr int SmallVertices = 100000, LargeVertices = 1000000;
// The generator's block pattern (every 3rd, 4th, 10th and 100th block) comes round every 300 blocks.
constexpr int RepeatBlocks = 300;
constexpr double FixedViewWidth = 100; // metres

void EnsureApplication() {
    static int argc = 1;
    static char name[] = "plan_frame";
    static char *argv[] = {name, nullptr};
    // Kept to the end of the process: GL contexts cannot be torn down from static destructors.
    alignas(QGuiApplication) static unsigned char storage[sizeof(QGuiApplication)];
    static QGuiApplication *app = new (storage) QGuiApplication(argc, argv);
    (void)app;
}

enum class TCase { Full, Zoomed, Fixed, Empty };

struct TScene {
    QTemporaryDir Dir;
    std::unique_ptr<TStreetsHolderModule> Holder;
    std::unique_ptr<TdxRenderer> Renderer;
    std::unique_ptr<TMainPlanDrawer> Drawer;
    std::vector<uint8_t> Image;
    struct TStreet {
        int Index = -1;
        TStreetView Full, Zoomed, Fixed;
    } Small, Large;
    int EmptyIndex = -1;

    TScene() {
        EnsureApplication();
        // The holder keeps its settings in a folder of the benchmark's own.
        SetSettingsDir(Dir.path());
        UseObjectClasses();
        Holder = std::make_unique<TStreetsHolderModule>();
        Renderer = std::make_unique<TSurfaceRenderer>(CreateOffscreenDevice(Width, Height, true));
        Drawer = std::make_unique<TMainPlanDrawer>(*Holder, [this] { return Renderer.get(); });
        Image.resize(static_cast<std::size_t>(Width) * Height * 4);
        Open(Small, SmallVertices);
        Open(Large, LargeVertices);
        // The same spot of the pattern on both streets, seen from the same height across the street.
        Large.Fixed.Y = Small.Fixed.Y;
        EmptyIndex = Holder->NewStreet();
        CompareFixedViews();
    }

    void Open(TStreet &s, int vertices) {
        const TStreetGenOptions options{.Vertices = vertices, .Seed = 1, .RepeatBlocks = RepeatBlocks};
        const std::string file =
            QDir(Dir.path()).filePath(QStringLiteral("bench%1.zrv").arg(vertices)).toStdString();
        {
            TStreetStructure street;
            GenerateStreet(street, options);
            street.SaveToFile(file);
        }
        s.Index = Holder->OpenFile(QString::fromStdString(file));
        Holder->SetActiveIndex(s.Index);
        Drawer->ShowAll();
        s.Full = Holder->ActiveStreet().View();
        // The fit leaves a margin around the street; the zoomed view's width is 1 % of the street's longer
        // side (a view shows 2 / Scale across).
        float x0 = 0, y0 = 0, x1 = 0, y1 = 0;
        Holder->ActiveStreet().Pool().GetBounds(x0, y0, x1, y1);
        s.Zoomed = s.Full;
        s.Zoomed.Scale = static_cast<float>(2 / (0.01 * std::max(double(x1) - x0, double(y1) - y0)));
        s.Fixed = s.Full;
        s.Fixed.X = static_cast<float>(StreetGenMiddlePeriodStart(options));
        s.Fixed.Scale = static_cast<float>(2 / FixedViewWidth);
        std::printf("plan_frame: %d vertices, fitted scale %g, zoomed scale %g, fixed view at x %g\n",
                    Holder->ActiveStreet().Pool().Count(), double(s.Full.Scale), double(s.Zoomed.Scale),
                    double(s.Fixed.X));
        Frame(); // the first draw builds every item's geometry
    }

    // The fixed views are meant to show the same picture; coordinates ten times larger round differently
    // in single precision, so a few edge pixels may differ.
    void CompareFixedViews() {
        Show(Small.Index, &Small.Fixed);
        Frame();
        const std::vector<uint8_t> small = Image;
        Show(Large.Index, &Large.Fixed);
        Frame();
        std::size_t differ = 0;
        for (std::size_t i = 0; i < Image.size(); i += 4)
            differ += std::memcmp(&Image[i], &small[i], 3) != 0;
        std::printf("plan_frame: the fixed views differ in %zu of %d pixels\n", differ, Width * Height);
    }

    void Show(int index, const TStreetView *view) {
        Holder->SetActiveIndex(index);
        if (view != nullptr)
            Drawer->SetView(*view);
    }

    void Frame() {
        Renderer->BeginDraw();
        Drawer->Draw(FullTypeSet());
        Renderer->EndDraw();
        Renderer->Device().GetRenderTargetData(Image.data(), Width * 4);
    }
};

TScene &Scene() {
    static TScene *scene = new TScene; // never torn down: GL contexts outlive static destructors badly
    return *scene;
}

void Run(benchmark::State &state, TCase which, bool large) {
    TScene &s = Scene();
    TScene::TStreet &street = large ? s.Large : s.Small;
    switch (which) {
    case TCase::Full:
        s.Show(street.Index, &street.Full);
        break;
    case TCase::Zoomed:
        s.Show(street.Index, &street.Zoomed);
        break;
    case TCase::Fixed:
        s.Show(street.Index, &street.Fixed);
        break;
    case TCase::Empty:
        s.Show(s.EmptyIndex, nullptr);
        break;
    }
    s.Frame();
    for (auto _ : state)
        s.Frame();
    state.counters["fps"] = benchmark::Counter(1, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_PlanFrameFull(benchmark::State &state) {
    Run(state, TCase::Full, false);
}
void BM_PlanFrameFullLarge(benchmark::State &state) {
    Run(state, TCase::Full, true);
}
void BM_PlanFrameZoomed(benchmark::State &state) {
    Run(state, TCase::Zoomed, false);
}
void BM_PlanFrameFixed(benchmark::State &state) {
    Run(state, TCase::Fixed, false);
}
void BM_PlanFrameFixedLarge(benchmark::State &state) {
    Run(state, TCase::Fixed, true);
}
void BM_PlanFrameEmpty(benchmark::State &state) {
    Run(state, TCase::Empty, false);
}

BENCHMARK(BM_PlanFrameFull)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PlanFrameFullLarge)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PlanFrameZoomed)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PlanFrameFixed)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PlanFrameFixedLarge)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PlanFrameEmpty)->Unit(benchmark::kMillisecond)->UseRealTime();

const bool registered = [] {
    // Goal: 20 frames/s or more for the whole 10^6-vertex street.
    spbench::ResultPair("full_view_1e6_fps_vs_empty_street", "BM_PlanFrameFullLarge/real_time",
                        "BM_PlanFrameEmpty/real_time", spbench::TFigure::Counter, "fps", "frames/s");
    spbench::ResultPair("full_view_1e5_fps_vs_empty_street", "BM_PlanFrameFull/real_time",
                        "BM_PlanFrameEmpty/real_time", spbench::TFigure::Counter, "fps", "frames/s");
    // Goal: a ratio of 1.3 or less (the view's cost follows what it shows, not the street's length).
    spbench::ResultPair("fixed_100m_view_1e6_vs_1e5_street", "BM_PlanFrameFixedLarge/real_time",
                        "BM_PlanFrameFixed/real_time", spbench::TFigure::TimeMs, {}, "ms");
    // Goal: a ratio of 2.0 or less.
    spbench::ResultPair("zoomed_1pct_frame_vs_empty_street", "BM_PlanFrameZoomed/real_time",
                        "BM_PlanFrameEmpty/real_time", spbench::TFigure::TimeMs, {}, "ms");
    spbench::ResultPair("zoomed_1pct_fps_vs_full_view", "BM_PlanFrameZoomed/real_time",
                        "BM_PlanFrameFull/real_time", spbench::TFigure::Counter, "fps", "frames/s");
    return true;
}();

} // namespace
