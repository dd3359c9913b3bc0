// Line markings on a generated street of 10^5 vertices: rebuilding every marking's textured strip, against
// rebuilding the same dense lines as plain polylines, held by plain line items on the markings' vertices
// and rebuilt the same way (goal: ratio <= 3), and against the floor of adding those lines straight to one
// line batch; and replacing the street's marking records (new batches, every marking bound again by its
// code and rebuilt), against the rebuild alone (goal: ratio <= 1.5).
#include "BenchSupport.h"

#include "engine/DxPrimBuilders.h"
#include "engine/DxRenderer.h"
#include "model/ItemTypeCodes.h"
#include "model/LineItem.h"
#include "model/StreetStructure.h"
#include "objects/LineRazmetItem.h"
#include "platform/d3d9/RecordingDevice.h"
#include "tools/make-street/ObjectFillers.h"
#include "tools/make-street/StreetGen.h"

#include <algorithm>
#include <memory>
#include <vector>

namespace {

constexpr int StreetVertices = 100000;

// A renderer over a device that keeps nothing: drawing packs out the groups a rebuild replaced.
struct TFrame {
    std::shared_ptr<TRecordingDevice> Device = std::make_shared<TRecordingDevice>(1024, 768);
    TDisplayRenderer Renderer{Device};
    TFrame() {
        Device->SetKeepVertices(false);
        Renderer.BeginDraw();
    }
    TDxDrawParams Params(const TStreetStructure &street) {
        const TStreetView &v = street.View();
        return {&Renderer, {v.X, v.Y, 0}, 1e6f};
    }
};

// A line item that draws its dense line as a plain polyline, at a code no item type of the street uses.
constexpr int PlainLineCode = SlopeMeasureTypeCode;
class TPlainLine : public TLineItem {
public:
    static void ClassInitDrawBatches(TStreetStructure &street) {
        street.TypeBatches(PlainLineCode) = {NewItemBatch(TBatchKind::Lines)};
    }
    int GetTypeCode() const override { return PlainLineCode; }
    void RebuildGraphics() override {
        Points.EnsureGeometry();
        if (TDxPrimCollection *lines = PrimCollection(Street()->TypeBatches(PlainLineCode)[0].get()))
            DxAddPolyline(*lines, Serial(), Points.Dense());
    }
};

// Streets take the class table as it is when they are made: the classes come first.
struct TClasses {
    TClasses() {
        UseObjectClasses();
        if (!ItemClasses[PlainLineCode])
            ItemClasses.Register(std::make_unique<TItemClassOf<TPlainLine>>(PlainLineCode));
    }
};

struct TScene : TClasses {
    TStreetStructure Street;
    TFrame Frame;
    TScene() {
        GenerateStreet(Street, TStreetGenOptions{StreetVertices, 1});
        // The plain lines hold the markings' vertices, so their dense lines are the markings' own.
        for (const auto &marking : Street.Lists(LineRazmetTypeCode)) {
            TAbstractItem *line = Street.Lists(PlainLineCode).AddNew();
            for (TStreetPointRec *r : marking->Points.Refs())
                line->Points.Insert(line->Points.Count(), r);
        }
        Street.UpdateGraphics(FullTypeSet());
    }
    int Markings() const { return Street.Lists(LineRazmetTypeCode).Count(); }
    void RebuildMarkings() {
        Street.Lists(LineRazmetTypeCode).InvalidateAll();
        Street.UpdateGraphics(TItemTypeSet{LineRazmetTypeCode});
    }
    void RebuildPlainLines() {
        Street.Lists(PlainLineCode).InvalidateAll();
        Street.UpdateGraphics(TItemTypeSet{PlainLineCode});
    }
    void DrawMarkings() { Draw(LineRazmetTypeCode); }
    void Draw(int code) {
        Device().ClearRecord();
        Street.Draw(Frame.Params(Street), TItemTypeSet{code}, 1);
    }
    TRecordingDevice &Device() { return *Frame.Device; }
};

TScene &Scene() {
    static TScene scene;
    return scene;
}

void BM_RebuildMarkings(benchmark::State &state) {
    TScene &s = Scene();
    for (auto _ : state) {
        s.RebuildMarkings();
        state.PauseTiming();
        s.DrawMarkings();
        state.ResumeTiming();
    }
    state.counters["markings"] = s.Markings();
}

void BM_RebuildPlainLines(benchmark::State &state) {
    TScene &s = Scene();
    for (auto _ : state) {
        s.RebuildPlainLines();
        state.PauseTiming();
        s.Draw(PlainLineCode);
        state.ResumeTiming();
    }
    state.counters["lines"] = s.Street.Lists(PlainLineCode).Count();
}

// The floor: the same dense lines, already built, added as polylines to one line batch, each line's
// previous groups marked deleted first, as an item's rebuild does.
void BM_PlainPolylines(benchmark::State &state) {
    TScene &s = Scene();
    std::vector<TXYZArray> lines;
    for (const auto &item : s.Street.Lists(LineRazmetTypeCode)) {
        item->Points.EnsureGeometry();
        lines.push_back(item->Points.Dense());
    }
    TDxLineCollection batch;
    std::vector<std::vector<TDxGroupId>> groups(lines.size());
    TFrame frame;
    for (auto _ : state) {
        for (std::size_t i = 0; i < lines.size(); ++i) {
            batch.MarkDeleted(groups[i]);
            batch.ClearNew();
            DxAddPolyline(batch, i + 1, lines[i]);
            batch.GetNewGroups(groups[i]);
        }
        state.PauseTiming();
        frame.Device->ClearRecord();
        batch.Draw({&frame.Renderer, {0, 0, 0}, 1e6f});
        state.ResumeTiming();
    }
    state.counters["lines"] = static_cast<double>(lines.size());
}

void BM_ReplaceRecords(benchmark::State &state) {
    TScene &s = Scene();
    TLnParamArray table = s.Street.GetLnRazmetParams();
    for (auto _ : state) {
        // Another order each time: every marking's record moves.
        std::rotate(table.begin(), table.begin() + 1, table.end());
        s.Street.SetLnRazmetParams(table);
        s.Street.UpdateGraphics(TItemTypeSet{LineRazmetTypeCode});
        state.PauseTiming();
        s.DrawMarkings();
        state.ResumeTiming();
    }
    state.counters["records"] = static_cast<double>(table.size());
}

BENCHMARK(BM_RebuildMarkings)->Unit(benchmark::kMillisecond)->UseRealTime()->MinWarmUpTime(1);
BENCHMARK(BM_RebuildPlainLines)->Unit(benchmark::kMillisecond)->UseRealTime()->MinWarmUpTime(1);
BENCHMARK(BM_PlainPolylines)->Unit(benchmark::kMillisecond)->UseRealTime()->MinWarmUpTime(1);
BENCHMARK(BM_ReplaceRecords)->Unit(benchmark::kMillisecond)->UseRealTime()->MinWarmUpTime(1);

const bool Registered = [] {
    spbench::ResultPair("rebuild_markings_100000", "BM_RebuildMarkings/min_warmup_time:1.000/real_time",
                        "BM_RebuildPlainLines/min_warmup_time:1.000/real_time");
    spbench::ResultPair("rebuild_markings_vs_raw_batch_100000",
                        "BM_RebuildMarkings/min_warmup_time:1.000/real_time",
                        "BM_PlainPolylines/min_warmup_time:1.000/real_time");
    spbench::ResultPair("replace_records_100000", "BM_ReplaceRecords/min_warmup_time:1.000/real_time",
                        "BM_RebuildMarkings/min_warmup_time:1.000/real_time");
    return true;
}();

} // namespace
