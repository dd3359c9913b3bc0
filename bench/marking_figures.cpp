// Marking figures (lane arrows, stop zones, label places, traffic islands and crossings; other marking
// figure types join with a line in FigureTypes) on a generated street of 10^5 vertices: rebuilding every
// such item, against adding the same primitives, captured from one rebuild, to fresh batches (goal: ratio
// <= 8). And one drag step of a line marking's vertex on a street of 10^4 markings and 10^3 label places,
// against rebuilding that marking alone (goal: under 1 ms; only the label places it crossed or crosses are
// laid out again, the "layouts" counter, found through the street's spatial index).
#include "BenchSupport.h"

#include "engine/DxPrimCollection.h"
#include "model/ItemLayers.h"
#include "model/ItemTypeCodes.h"
#include "model/StreetStructure.h"
#include "objects/ArrowRazmetItem.h"
#include "objects/LineRazmetItem.h"
#include "objects/RazmetLabelPlaceItem.h"
#include "tools/make-street/ObjectFillers.h"
#include "tools/make-street/StreetGen.h"

#include <memory>
#include <vector>

namespace {

constexpr int StreetVertices = 100000;

// The types rebuilt by the first case.
const int FigureTypes[] = {
    ArrowRazmetTypeCode,
    RazmetStopTypeCode,
    RazmetLabelPlaceTypeCode,
    OstrovokTypeCode,
    ZebraTypeCode,
};

TItemTypeSet FigureTypeSet() {
    TItemTypeSet set;
    for (int code : FigureTypes)
        set.Include(code);
    return set;
}

struct TClasses {
    TClasses() { UseObjectClasses(); }
};

// What one rebuild added: per type and batch, its kind and each owner's groups' vertices.
struct TCaptured {
    struct TBlock {
        TDxOwnerKey Owner;
        std::vector<TDxVertex> Vertices;
    };
    struct TBatch {
        TBatchKind Kind;
        std::vector<TBlock> Blocks;
    };
    std::vector<TBatch> Batches;
    std::size_t Groups = 0;
};

struct TFigureScene : TClasses {
    TStreetStructure Street;
    TCaptured Captured;
    TFigureScene() {
        GenerateStreet(Street, TStreetGenOptions{StreetVertices, 1});
        Street.UpdateGraphics(FullTypeSet());
        for (int code : FigureTypes) {
            for (std::size_t b = 0; b < Street.TypeBatches(code).size(); ++b) {
                TDxPrimCollection *c = TypePrimCollection(Street, code, b);
                if (!c)
                    continue;
                TCaptured::TBatch batch{Street.TypeBatches(code)[b]->Kind(), {}};
                for (std::size_t g = 0; g < c->Count(); ++g) {
                    const TDxPrimGroup group = c->Group(g);
                    if (group.Deleted)
                        continue;
                    batch.Blocks.push_back({group.Owner, {group.Vertices.begin(), group.Vertices.end()}});
                    ++Captured.Groups;
                }
                Captured.Batches.push_back(std::move(batch));
            }
        }
    }
    int Items() const {
        int n = 0;
        for (int code : FigureTypes)
            n += Street.Lists(code).Count();
        return n;
    }
};

TFigureScene &FigureScene() {
    static TFigureScene scene;
    return scene;
}

void BM_RebuildFigures(benchmark::State &state) {
    TFigureScene &s = FigureScene();
    for (auto _ : state) {
        for (int code : FigureTypes)
            s.Street.Lists(code).InvalidateAll();
        s.Street.UpdateGraphics(FigureTypeSet());
    }
    state.counters["items"] = s.Items();
}

// The floor: the captured primitives added to fresh batches, each owner's previous groups marked deleted
// first, as an item's rebuild does.
void BM_AddCapturedPrimitives(benchmark::State &state) {
    TFigureScene &s = FigureScene();
    std::vector<TItemBatchPtr> batches;
    std::vector<std::vector<std::vector<TDxGroupId>>> groups;
    for (const TCaptured::TBatch &b : s.Captured.Batches) {
        batches.push_back(NewItemBatch(b.Kind));
        groups.emplace_back(b.Blocks.size());
    }
    for (auto _ : state) {
        for (std::size_t i = 0; i < batches.size(); ++i) {
            TDxPrimCollection &c = *PrimCollection(batches[i].get());
            const TCaptured::TBatch &b = s.Captured.Batches[i];
            const std::size_t per = b.Kind == TBatchKind::Lines ? 2 : 3;
            for (std::size_t k = 0; k < b.Blocks.size(); ++k) {
                c.MarkDeleted(groups[i][k]);
                c.ClearNew();
                c.AddPrimitives(b.Blocks[k].Owner, b.Blocks[k].Vertices, b.Blocks[k].Vertices.size() / per);
                c.GetNewGroups(groups[i][k]);
            }
        }
    }
    state.counters["groups"] = static_cast<double>(s.Captured.Groups);
}

// 100 x 100 markings 8 m long in rows 4 m apart; 1000 label places each across three rows.
struct TDragScene : TClasses {
    TStreetStructure Street;
    TLineRazmetItem *Dragged = nullptr;
    TDragScene() {
        for (int row = 0; row < 100; ++row)
            for (int col = 0; col < 100; ++col) {
                auto *m = dynamic_cast<TLineRazmetItem *>(Street.Lists(LineRazmetTypeCode).AddNew());
                m->Points.InsertNewPoint(0, {float(col * 10), float(row * 4), 0});
                m->Points.InsertNewPoint(1, {float(col * 10 + 8), float(row * 4), 0});
                m->SetGost(Cp("1.5"));
                if (!Dragged)
                    Dragged = m;
            }
        for (int i = 0; i < 1000; ++i) {
            const float x = float((i % 100) * 10 + 4), y = float((i / 100) * 40);
            TAbstractItem *p = Street.Lists(RazmetLabelPlaceTypeCode).AddNew();
            p->Points.InsertNewPoint(0, {x, y - 1, 0});
            p->Points.InsertNewPoint(1, {x, y + 9, 0});
        }
        Street.UpdateGraphics(FullTypeSet());
    }
};

TDragScene &DragScene() {
    static TDragScene scene;
    return scene;
}

void BM_DragMarkingVertex(benchmark::State &state) {
    TDragScene &s = DragScene();
    const uint64_t before = LabelPlaceLayouts();
    int step = 0;
    for (auto _ : state) {
        // Back and forth across the label place's line at x = 4.
        s.Dragged->Points.SetPoint(1, {++step % 2 ? 3.0f : 8.0f, 0.5f, 0});
        s.Street.UpdateGraphics(TItemTypeSet{LineRazmetTypeCode, RazmetLabelPlaceTypeCode});
    }
    state.counters["layouts"] =
        benchmark::Counter(double(LabelPlaceLayouts() - before), benchmark::Counter::kAvgIterations);
}

void BM_RebuildOneMarking(benchmark::State &state) {
    TDragScene &s = DragScene();
    for (auto _ : state) {
        s.Dragged->Points.InvalidateGraphics();
        s.Street.UpdateGraphics(TItemTypeSet{LineRazmetTypeCode});
    }
}

BENCHMARK(BM_RebuildFigures)->Unit(benchmark::kMillisecond)->UseRealTime()->MinWarmUpTime(1);
BENCHMARK(BM_AddCapturedPrimitives)->Unit(benchmark::kMillisecond)->UseRealTime()->MinWarmUpTime(1);
BENCHMARK(BM_DragMarkingVertex)->Unit(benchmark::kMicrosecond)->UseRealTime()->MinWarmUpTime(0.5);
BENCHMARK(BM_RebuildOneMarking)->Unit(benchmark::kMicrosecond)->UseRealTime()->MinWarmUpTime(0.5);

const bool Registered = [] {
    spbench::ResultPair("rebuild_figures_100000", "BM_RebuildFigures/min_warmup_time:1.000/real_time",
                        "BM_AddCapturedPrimitives/min_warmup_time:1.000/real_time");
    spbench::ResultPair("drag_marking_vertex", "BM_DragMarkingVertex/min_warmup_time:0.500/real_time",
                        "BM_RebuildOneMarking/min_warmup_time:0.500/real_time", spbench::TFigure::TimeUs);
    return true;
}();

} // namespace
