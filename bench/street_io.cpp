// Street files: loading and saving generated streets of 10^4, 10^5 and 10^6 vertices (about a tenth as
// many items), against the floor of moving the same bytes between the file and memory; and, on the
// 10^6-vertex street, freeing a tenth of its items and closing it, against the same reading floor.
// Growth is to stay near linear: no quadratic step in reading, reference binding, id lookup or freeing.
#include "BenchSupport.h"

#include "engine/Streams.h"
#include "model/AbstractItem.h"
#include "model/StreetStructure.h"
#include "tools/make-street/ObjectFillers.h"
#include "tools/make-street/StreetGen.h"

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct TSample {
    std::string File;
    std::vector<uint8_t> Bytes;
};

fs::path Folder() {
    static const fs::path dir = [] {
        fs::path d = fs::temp_directory_path() / ("street_io_" + std::to_string(::getpid()));
        fs::create_directories(d);
        return d;
    }();
    return dir;
}

const TSample &Sample(int vertices) {
    static std::map<int, TSample> samples;
    auto it = samples.find(vertices);
    if (it != samples.end())
        return it->second;
    UseObjectClasses();
    TStreetStructure street;
    GenerateStreet(street, TStreetGenOptions{vertices, 1});
    TSample s;
    s.File = (Folder() / ("street_" + std::to_string(vertices) + ".zrv")).string();
    street.SaveToFile(s.File);
    TMemoryStream m;
    m.LoadFromFile(s.File);
    s.Bytes = m.Bytes();
    return samples.emplace(vertices, std::move(s)).first->second;
}

void SetThroughput(benchmark::State &state, std::size_t bytes) {
    state.counters["MB/s"] =
        benchmark::Counter(static_cast<double>(bytes) / 1e6, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["bytes"] = static_cast<double>(bytes);
}

void BM_Load(benchmark::State &state) {
    const TSample &s = Sample(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        std::unique_ptr<TStreetStructure> street = LoadStreetFile(s.File);
        benchmark::DoNotOptimize(street.get());
        state.PauseTiming();
        street.reset();
        state.ResumeTiming();
    }
    SetThroughput(state, s.Bytes.size());
}

void BM_ReadFloor(benchmark::State &state) {
    const TSample &s = Sample(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        TMemoryStream m;
        m.LoadFromFile(s.File);
        benchmark::DoNotOptimize(m.Bytes().data());
    }
    SetThroughput(state, s.Bytes.size());
}

void BM_Save(benchmark::State &state) {
    const TSample &s = Sample(static_cast<int>(state.range(0)));
    std::unique_ptr<TStreetStructure> street = LoadStreetFile(s.File);
    const std::string out = (Folder() / "saved.zrv").string();
    for (auto _ : state)
        street->SaveToFile(out);
    SetThroughput(state, s.Bytes.size());
}

void BM_WriteFloor(benchmark::State &state) {
    const TSample &s = Sample(static_cast<int>(state.range(0)));
    const std::string out = (Folder() / "written.zrv").string();
    for (auto _ : state)
        SaveBytesToFile(out, s.Bytes.data(), s.Bytes.size());
    SetThroughput(state, s.Bytes.size());
}

// Every tenth item of every type, in one batch.
void BM_DeleteTenth(benchmark::State &state) {
    const TSample &s = Sample(static_cast<int>(state.range(0)));
    std::size_t deleted = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::unique_ptr<TStreetStructure> street = LoadStreetFile(s.File);
        std::vector<TAbstractItem *> items;
        for (int code = 0; code < ItemTypeCount; ++code)
            for (int i = 0; i < street->Lists(code).Count(); i += 10)
                items.push_back(street->Lists(code).Items(i));
        deleted = items.size();
        state.ResumeTiming();
        street->DeleteItems(items);
        state.PauseTiming();
        street.reset();
        state.ResumeTiming();
    }
    state.counters["items"] = static_cast<double>(deleted);
}

void BM_Close(benchmark::State &state) {
    const TSample &s = Sample(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        std::unique_ptr<TStreetStructure> street = LoadStreetFile(s.File);
        state.ResumeTiming();
        street.reset();
    }
}

BENCHMARK(BM_Load)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReadFloor)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Save)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_WriteFloor)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DeleteTenth)->Arg(1000000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_Close)->Arg(1000000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

const bool Registered = [] {
    for (const char *n : {"10000", "100000", "1000000"}) {
        const std::string size = n;
        spbench::ResultPair("load_" + size, "BM_Load/" + size + "/real_time",
                            "BM_ReadFloor/" + size + "/real_time");
        spbench::ResultPair("load_" + size + "_throughput", "BM_Load/" + size + "/real_time",
                            "BM_ReadFloor/" + size + "/real_time", spbench::TFigure::Counter, "MB/s");
        spbench::ResultPair("save_" + size, "BM_Save/" + size + "/real_time",
                            "BM_WriteFloor/" + size + "/real_time");
        spbench::ResultPair("save_" + size + "_throughput", "BM_Save/" + size + "/real_time",
                            "BM_WriteFloor/" + size + "/real_time", spbench::TFigure::Counter, "MB/s");
    }
    spbench::ResultPair("delete_tenth_1000000", "BM_DeleteTenth/1000000/iterations:5/real_time",
                        "BM_ReadFloor/1000000/real_time");
    spbench::ResultPair("close_1000000", "BM_Close/1000000/iterations:5/real_time",
                        "BM_ReadFloor/1000000/real_time");
    return true;
}();

} // namespace
