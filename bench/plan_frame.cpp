// Frames of the plan view drawn by the plan drawer on an off-screen target of 1024 x 768 (Mesa here): the
// generated street of 10^5 vertices fitted into the view, the same street zoomed in so that the view spans
// 1 % of its length (retained batches cull what lies outside), and an empty street (what a frame costs at
// all). Every frame ends by reading the picture back, so it is finished when it is counted.
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
#include <memory>
#include <new>
#include <vector>

namespace {

constexpr int Width = 1024, Height = 768;
constexpr int Vertices = 100000;

void EnsureApplication() {
    static int argc = 1;
    static char name[] = "plan_frame";
    static char *argv[] = {name, nullptr};
    // Kept to the end of the process: GL contexts cannot be torn down from static destructors.
    alignas(QGuiApplication) static unsigned char storage[sizeof(QGuiApplication)];
    static QGuiApplication *app = new (storage) QGuiApplication(argc, argv);
    (void)app;
}

struct TScene {
    QTemporaryDir Dir;
    std::unique_ptr<TStreetsHolderModule> Holder;
    std::unique_ptr<TdxRenderer> Renderer;
    std::unique_ptr<TMainPlanDrawer> Drawer;
    std::vector<uint8_t> Image;
    TStreetView Full, Zoomed;
    int StreetIndex = -1, EmptyIndex = -1;

    TScene() {
        EnsureApplication();
        // The holder keeps its settings in a folder of the benchmark's own.
        SetSettingsDir(Dir.path());
        UseObjectClasses();
        const std::string file = QDir(Dir.path()).filePath(QStringLiteral("bench.zrv")).toStdString();
        {
            TStreetStructure street;
            GenerateStreet(street, {Vertices, 1});
            street.SaveToFile(file);
        }
        Holder = std::make_unique<TStreetsHolderModule>();
        StreetIndex = Holder->OpenFile(QString::fromStdString(file));
        EmptyIndex = Holder->NewStreet();
        Renderer = std::make_unique<TSurfaceRenderer>(CreateOffscreenDevice(Width, Height, true));
        Drawer = std::make_unique<TMainPlanDrawer>(*Holder, [this] { return Renderer.get(); });
        Image.resize(static_cast<std::size_t>(Width) * Height * 4);

        Holder->SetActiveIndex(StreetIndex);
        Drawer->ShowAll();
        Full = Holder->ActiveStreet().View();
        Zoomed = Full;
        // The fit leaves a margin around the street; the zoomed view's width is 1 % of the street's longer
        // side (a view shows 2 / Scale across).
        float x0 = 0, y0 = 0, x1 = 0, y1 = 0;
        Holder->ActiveStreet().Pool().GetBounds(x0, y0, x1, y1);
        Zoomed.Scale = static_cast<float>(2 / (0.01 * std::max(double(x1) - x0, double(y1) - y0)));
        std::printf("plan_frame: %d vertices, fitted scale %g, zoomed scale %g\n",
                    Holder->ActiveStreet().Pool().Count(), double(Full.Scale), double(Zoomed.Scale));
        Frame(); // the first draw builds every item's geometry
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

void Run(benchmark::State &state, int which) {
    TScene &s = Scene();
    if (which == 2)
        s.Show(s.EmptyIndex, nullptr);
    else
        s.Show(s.StreetIndex, which == 0 ? &s.Full : &s.Zoomed);
    s.Frame();
    for (auto _ : state)
        s.Frame();
    state.counters["fps"] = benchmark::Counter(1, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_PlanFrameFull(benchmark::State &state) {
    Run(state, 0);
}
void BM_PlanFrameZoomed(benchmark::State &state) {
    Run(state, 1);
}
void BM_PlanFrameEmpty(benchmark::State &state) {
    Run(state, 2);
}

BENCHMARK(BM_PlanFrameFull)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PlanFrameZoomed)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PlanFrameEmpty)->Unit(benchmark::kMillisecond)->UseRealTime();

const bool registered = [] {
    spbench::ResultPair("full_view_fps_vs_empty_street", "BM_PlanFrameFull/real_time",
                        "BM_PlanFrameEmpty/real_time", spbench::TFigure::Counter, "fps", "frames/s");
    spbench::ResultPair("zoomed_1pct_fps_vs_empty_street", "BM_PlanFrameZoomed/real_time",
                        "BM_PlanFrameEmpty/real_time", spbench::TFigure::Counter, "fps", "frames/s");
    spbench::ResultPair("zoomed_1pct_fps_vs_full_view", "BM_PlanFrameZoomed/real_time",
                        "BM_PlanFrameFull/real_time", spbench::TFigure::Counter, "fps", "frames/s");
    return true;
}();

} // namespace
