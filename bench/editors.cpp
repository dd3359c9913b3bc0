// The editors over a generated street of 10^5 vertices:
// (a) one refresh of every line of the common item editor and the road-way editor with every item
//     selected (a road way first), against a raw pass reading the same fields of every item;
// (b) the area table of every road way, against measuring them alone;
// (c) "Выбрать" on every row of a 10^4-row table window, against filling a vector of the same items, and at
//     10^3 and 10^4 rows against looking the rows' items up.
#include "BenchSupport.h"

#include "editors/EditorKit.h"
#include "editors/ItemEditor.h"
#include "editors/SurfaceEditors.h"
#include "model/AbstractItem.h"
#include "model/ItemList.h"
#include "model/ItemTypeCodes.h"
#include "model/PolygonItem.h"
#include "model/StreetStructure.h"
#include "objects/RoadWay.h"
#include "shell/StreetTableForm.h"
#include "tools/make-street/ObjectFillers.h"
#include "tools/make-street/StreetGen.h"

#include <QApplication>
#include <QTableWidget>

#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int StreetVertices = 100000;
constexpr int TableRows = 10000;

struct TScene {
    bool Classes = (UseObjectClasses(), true);
    TStreetStructure Street;
    std::vector<TAbstractItem *> All, Roads;

    TScene() {
        GenerateStreet(Street, {StreetVertices, 1});
        for (int code = 0; code < ItemTypeCount; ++code)
            for (const auto &item : Street.Lists(code)) {
                All.push_back(item.get());
                if (code == RoadWayTypeCode)
                    Roads.push_back(item.get());
            }
        // A road way first, so that the road-way lines apply.
        if (!Roads.empty())
            std::swap(*std::find(All.begin(), All.end(), Roads.front()), All.front());
        Street.Selection().Clear();
        for (TAbstractItem *i : All)
            Street.Selection().AddItem(i);
        TEditorHost host;
        host.Street = [this]() -> TStreetStructure * { return &Street; };
        SetEditorHost(host);
    }
};

TScene &Scene() {
    static TScene scene;
    return scene;
}

std::vector<TItemLineSpec> Lines() {
    std::vector<TItemLineSpec> lines = TItemEditorModule::LineSpecs();
    for (TItemLineSpec &s : TRoadWayEditorModule::LineSpecs())
        lines.push_back(std::move(s));
    return lines;
}

void BM_InfoRefresh(benchmark::State &state) {
    TScene &s = Scene();
    const std::vector<TItemLineSpec> lines = Lines();
    for (auto _ : state) {
        const std::vector<TAbstractItem *> selection = EditorSelection();
        for (const TItemLineSpec &line : lines)
            if (LineValid(line, selection))
                benchmark::DoNotOptimize(LineText(line, selection));
    }
    state.counters["items"] = double(s.All.size());
}

// The worst case of a refresh: every selected item agrees on every line, so no line stops at a first
// difference and each reads the whole selection. The items get their own values back afterwards.
void BM_InfoRefreshAgreeing(benchmark::State &state) {
    TScene &s = Scene();
    struct TSaved {
        Cp1251String Group, Comment, Comment2;
        TAbstractItem *Axis;
    };
    std::vector<TSaved> saved;
    saved.reserve(s.All.size());
    for (TAbstractItem *i : s.All) {
        saved.push_back({i->GroupName(), i->Comment(), i->Comment2(), i->GetReferAxis()});
        i->SetGroupName({});
        i->SetComment({});
        i->SetComment2({});
        i->SetReferAxis(nullptr);
    }
    const std::vector<TItemLineSpec> lines = Lines();
    for (auto _ : state) {
        const std::vector<TAbstractItem *> selection = EditorSelection();
        for (const TItemLineSpec &line : lines)
            if (LineValid(line, selection))
                benchmark::DoNotOptimize(LineText(line, selection));
    }
    for (std::size_t k = 0; k < s.All.size(); ++k) {
        TAbstractItem *i = s.All[k];
        i->SetGroupName(saved[k].Group);
        i->SetComment(saved[k].Comment);
        i->SetComment2(saved[k].Comment2);
        i->SetReferAxis(saved[k].Axis);
    }
    state.counters["items"] = double(s.All.size());
}

void BM_InfoRaw(benchmark::State &state) {
    TScene &s = Scene();
    for (auto _ : state) {
        const std::vector<TAbstractItem *> selection(s.Street.Selection().Slots());
        int differ = 0;
        const TAbstractItem &first = *selection.front();
        for (TAbstractItem *i : selection) {
            differ += i->GroupName() != first.GroupName();
            differ += i->Comment() != first.Comment();
            differ += i->Comment2() != first.Comment2();
            differ += i->GetReferAxisName() != first.GetReferAxisName();
            differ += dynamic_cast<TRoadWayItem *>(i) != nullptr;
        }
        benchmark::DoNotOptimize(differ);
    }
}

void BM_AreaTable(benchmark::State &state) {
    TScene &s = Scene();
    const TReportSpec spec = TRoadWayEditorModule::AreaReportSpec();
    for (auto _ : state)
        benchmark::DoNotOptimize(MakeItemReport(spec, s.Roads));
}

void BM_AxisMeasures(benchmark::State &state) {
    TScene &s = Scene();
    for (auto _ : state)
        for (TAbstractItem *i : s.Roads) {
            TPolygonItem::TAxisMeasures m;
            dynamic_cast<TPolygonItem &>(*i).GetAxisMeasures(m);
            benchmark::DoNotOptimize(m);
        }
}

QApplication &App() {
    static int argc = 1;
    static char name[] = "editors";
    static char *argv[] = {name, nullptr};
    static std::unique_ptr<QApplication> app = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        return std::make_unique<QApplication>(argc, argv);
    }();
    return *app;
}

void BM_SelectRows(benchmark::State &state) {
    App();
    TScene &s = Scene();
    const std::vector<TAbstractItem *> rows(
        s.All.begin(), s.All.begin() + std::min<std::size_t>(state.range(0), s.All.size()));
    TStreetTableHost host;
    host.ActivateStreet = [&s](uint64_t) -> TStreetStructure * { return &s.Street; };
    host.ClearSelection = [&s] { s.Street.Selection().Clear(); };
    SetStreetTableHost(host);
    TReportSpec spec{QStringLiteral("T"), {Cp("Тип")}, {}, [](TAbstractItem &i) {
                         return std::vector<Cp1251String>{i.GetDisplayName()};
                     }};
    auto *table =
        TStreetTableForm::ShowStreetTable(QStringLiteral("T"), MakeItemReport(spec, rows), s.Street);
    table->Grid()->selectAll();
    for (auto _ : state)
        table->SelectRows();
    delete table;
    SetStreetTableHost({});
    state.counters["rows"] = double(rows.size());
}

void BM_FillVector(benchmark::State &state) {
    TScene &s = Scene();
    const std::size_t n = std::min<std::size_t>(TableRows, s.All.size());
    for (auto _ : state) {
        std::vector<TAbstractItem *> v;
        for (std::size_t i = 0; i < n; ++i)
            v.push_back(s.All[i]);
        benchmark::DoNotOptimize(v);
    }
}

// The lookups every selected row needs at least (its item by type and id, and the item itself): the
// selection's cost against it should not grow with the table's size, whatever the caches make of both.
void BM_LookUpRows(benchmark::State &state) {
    TScene &s = Scene();
    const std::size_t n = std::min<std::size_t>(state.range(0), s.All.size());
    for (auto _ : state) {
        int64_t sum = 0;
        for (std::size_t i = 0; i < n; ++i) {
            const TAbstractItem *item = s.All[i];
            if (const TAbstractItem *found = s.Street.Lists(item->GetTypeCode()).FindById(item->ID()))
                sum += found->ID();
        }
        benchmark::DoNotOptimize(sum);
    }
}

BENCHMARK(BM_InfoRefresh)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_InfoRefreshAgreeing)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_InfoRaw)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_AreaTable)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_AxisMeasures)->Unit(benchmark::kMillisecond)->UseRealTime();
// Two table sizes: "Выбрать" must take time in proportion to the rows.
BENCHMARK(BM_SelectRows)->Arg(TableRows / 10)->Arg(TableRows)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LookUpRows)->Arg(TableRows / 10)->Arg(TableRows)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FillVector)->Unit(benchmark::kMillisecond)->UseRealTime();

const bool Paired = [] {
    spbench::ResultPair("info_refresh", "BM_InfoRefresh/real_time", "BM_InfoRaw/real_time");
    spbench::ResultPair("info_refresh_agreeing", "BM_InfoRefreshAgreeing/real_time", "BM_InfoRaw/real_time");
    spbench::ResultPair("area_table", "BM_AreaTable/real_time", "BM_AxisMeasures/real_time");
    spbench::ResultPair("select_rows", "BM_SelectRows/10000/real_time", "BM_FillVector/real_time");
    spbench::ResultPair("select_rows_10000_vs_1000", "BM_SelectRows/10000/real_time",
                        "BM_SelectRows/1000/real_time");
    spbench::ResultPair("lookups_10000_vs_1000", "BM_LookUpRows/10000/real_time",
                        "BM_LookUpRows/1000/real_time");
    for (const char *n : {"1000", "10000"})
        spbench::ResultPair(std::string("select_rows_vs_lookups_") + n,
                            std::string("BM_SelectRows/") + n + "/real_time",
                            std::string("BM_LookUpRows/") + n + "/real_time");
    return true;
}();

} // namespace
