// Design fills and bands. 10^4 design figures of 100 vertices in 8 fill styles with reference axes: their
// rebuild tiled against the same figures filled plainly (goal: ratio <= 1.25), and one off-screen frame of
// the whole street through the GL device, tiled against plain (goal: ratio <= 2). 10^4 design lines in a
// library style with start and finish pictures: their rebuild against the same lines in the solid
// built-in style (goal: ratio <= 1.5).
#include "BenchSupport.h"

#include "engine/DxRenderer.h"
#include "model/ItemLayers.h"
#include "model/ItemList.h"
#include "model/ItemTypes.h"
#include "model/StreetStructure.h"
#include "objects/DesignFigure.h"
#include "objects/DesignLine.h"
#include "tools/make-street/ObjectFillers.h"
#include "tools/make-street/StreetGen.h"

#include <QGuiApplication>

#include <cmath>
#include <new>
#include <numbers>
#include <random>
#include <vector>

namespace {

constexpr int Figures = 10000, FigureVertices = 100, Columns = 100;
constexpr int Lines = 10000;
constexpr float Spacing = 10; // metres between figure centres
constexpr int FrameSize = 1024;

void EnsureApplication() {
    static int argc = 1;
    static char name[] = "design_fill";
    static char *argv[] = {name, nullptr};
    // Kept to the end of the process: GL contexts cannot be torn down from static destructors.
    alignas(QGuiApplication) static unsigned char storage[sizeof(QGuiApplication)];
    static QGuiApplication *app = new (storage) QGuiApplication(argc, argv);
    (void)app;
}

// A street of design figures (tiled or plain) or design lines (library style or solid).
struct TDesignStreet {
    // A street's lists take their classes when it is made.
    bool Registered = (UseObjectClasses(), true);
    TStreetStructure Street;
    std::vector<TAbstractItem *> Items;

    TDesignStreet(bool figures, bool styled) {
        AddDesignLibraries(Street);
        // Reference axes: one turned line per row of figures.
        std::vector<TAbstractItem *> axes;
        for (int row = 0; figures && row < Figures / Columns; ++row) {
            TAbstractItem *axis = Street.Lists(DesignLineTypeCode).AddNew();
            const float y = row * Spacing;
            axis->Points.InsertNewPoint(0, {-10, y, 0});
            axis->Points.InsertNewPoint(1, {Columns * Spacing, y + 0.3f * Columns * Spacing, 0});
            axes.push_back(axis);
        }
        std::mt19937 rng(7);
        std::uniform_real_distribution<float> jitter(0.8f, 1.0f);
        const std::vector<Cp1251String> fills = Street.FigDefs().GetNames();
        const std::vector<Cp1251String> bands = Street.LineDefs().GetNames();
        const int count = figures ? Figures : Lines;
        for (int i = 0; i < count; ++i) {
            const float cx = (i % Columns) * Spacing, cy = float(i / Columns) * Spacing;
            if (figures) {
                auto *f = dynamic_cast<TDesignFigureItem *>(Street.Lists(DesignFigureTypeCode).AddNew());
                for (int k = 0; k < FigureVertices; ++k) {
                    const double a = 2 * std::numbers::pi * k / FigureVertices;
                    const float r = 4 * jitter(rng);
                    f->Points.InsertNewPoint(k, {cx + r * float(std::cos(a)), cy + r * float(std::sin(a)), 0});
                }
                f->SetFillColor(0xFF000000u | uint32_t(i * 2654435761u >> 8));
                f->SetReferAxis(axes[std::size_t(i / Columns)]);
                if (styled)
                    f->SetStyleName(fills[std::size_t(i) % fills.size()]);
                Items.push_back(f);
            } else {
                auto *l = dynamic_cast<TDesignLineItem *>(Street.Lists(DesignLineTypeCode).AddNew());
                for (int k = 0; k < 6; ++k)
                    l->Points.InsertNewPoint(k, {cx + 1.6f * k, cy + (k % 2) * 0.7f, 0});
                l->SetWidth(0.3f);
                l->SetColor(0xFF000000u);
                if (styled)
                    l->SetExtDef(bands[0]); // start, repeated and finish pictures
                Items.push_back(l);
            }
        }
        Rebuild();
    }

    void Rebuild() {
        const int code = Items.front()->GetTypeCode();
        Street.Lists(code).InvalidateAll();
        Street.UpdateGraphics(TItemTypeSet{code});
    }
};

TDesignStreet &FigureStreet(bool tiled) {
    static TDesignStreet plain(true, false), styled(true, true);
    return tiled ? styled : plain;
}

TDesignStreet &LineStreet(bool styled) {
    static TDesignStreet solid(false, false), library(false, true);
    return styled ? library : solid;
}

void BM_RebuildFigures(benchmark::State &state) {
    TDesignStreet &s = FigureStreet(state.range(0) != 0);
    for (auto _ : state)
        s.Rebuild();
}

void BM_RebuildLines(benchmark::State &state) {
    TDesignStreet &s = LineStreet(state.range(0) != 0);
    for (auto _ : state)
        s.Rebuild();
}

// One full-view frame of the figures off-screen, read back.
void BM_FigureFrame(benchmark::State &state) {
    EnsureApplication();
    TDesignStreet &s = FigureStreet(state.range(0) != 0);
    static TSurfaceRenderer renderer(FrameSize, FrameSize);
    const float extent = Columns * Spacing;
    TDxMatrix p{};
    p.m[0][0] = 2.0f / extent;
    p.m[1][1] = 2.0f / extent;
    p.m[2][2] = 1;
    p.m[3][0] = -1;
    p.m[3][1] = -1;
    p.m[3][2] = 0.5f;
    p.m[3][3] = 1;
    TBitmap image;
    for (auto _ : state) {
        renderer.BeginDraw();
        renderer.Clear(0xFFFFFFFF, true, false, false);
        renderer.Projection().SetMatrix(p);
        s.Street.Draw({&renderer, {extent / 2, extent / 2, 0}, extent}, TItemTypeSet{DesignFigureTypeCode},
                      PlanLayerMask);
        renderer.EndDraw();
        renderer.CopyToBitmap(image);
    }
}

BENCHMARK(BM_RebuildFigures)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FigureFrame)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RebuildLines)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

const bool registered = [] {
    spbench::ResultPair("rebuild_tiled_vs_plain", "BM_RebuildFigures/1/real_time", "BM_RebuildFigures/0/real_time");
    spbench::ResultPair("frame_tiled_vs_plain", "BM_FigureFrame/1/real_time", "BM_FigureFrame/0/real_time");
    spbench::ResultPair("rebuild_library_lines_vs_solid", "BM_RebuildLines/1/real_time",
                        "BM_RebuildLines/0/real_time");
    return true;
}();

} // namespace
