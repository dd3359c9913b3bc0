// The auto-save tick as the user feels it: the time the UI thread stands still while the holder writes a
// changed street of 10^6 vertices to its side file, against writing the same bytes to a file (the floor:
// the street's bytes already made); a tick on a street unchanged since its last auto-save, which is to
// write nothing; and making the street's bytes in memory, which shows how much of the stall is the writer.
#include "BenchSupport.h"

#include "engine/Streams.h"
#include "platform/settings/SettingsStore.h"
#include "shell/StreetsHolder.h"
#include "tools/make-street/ObjectFillers.h"
#include "tools/make-street/StreetGen.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include <cstdio>
#include <memory>
#include <new>
#include <vector>

namespace {

constexpr int Vertices = 1000000;

struct TScene {
    QTemporaryDir Dir;
    std::unique_ptr<TStreetsHolderModule> Holder;
    std::vector<uint8_t> Bytes;
    std::string FloorFile;

    TScene() {
        static int argc = 1;
        static char name[] = "autosave";
        static char *argv[] = {name, nullptr};
        // The holder's timers need the application object; kept to the end of the process.
        alignas(QCoreApplication) static unsigned char storage[sizeof(QCoreApplication)];
        static QCoreApplication *app = new (storage) QCoreApplication(argc, argv);
        (void)app;
        SetSettingsDir(Dir.path());
        UseObjectClasses();
        const QString file = QDir(Dir.path()).filePath(QStringLiteral("bench.zrv"));
        {
            TStreetStructure street;
            GenerateStreet(street, {Vertices, 1});
            street.SaveToFile(file.toStdString());
        }
        Holder = std::make_unique<TStreetsHolderModule>();
        Holder->AutoSaveTimer.stop(); // ticks come from the benchmark only
        Holder->SetActiveIndex(Holder->OpenFile(file));
        Change();
        Holder->AutoSave();
        TMemoryStream m;
        m.LoadFromFile(Holder->AutoSaveFileName(0).toStdString());
        Bytes = m.Bytes();
        FloorFile = QDir(Dir.path()).filePath(QStringLiteral("floor.zrv")).toStdString();
        std::printf("autosave: %d vertices, side file %zu bytes\n", Street().Pool().Count(), Bytes.size());
    }

    TStreetStructure &Street() { return Holder->Streets(0); }
    // What the change is does not matter to the tick: only that the street changed since its side file.
    void Change() { Street().SetModified(); }
};

TScene &Scene() {
    // Torn down at the end: the holder removes its side file and lock, and the folder goes.
    static TScene scene;
    return scene;
}

void SetBytes(benchmark::State &state, std::size_t bytes) {
    state.counters["MB/s"] =
        benchmark::Counter(static_cast<double>(bytes) / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_AutoSaveTick(benchmark::State &state) {
    TScene &s = Scene();
    for (auto _ : state) {
        state.PauseTiming();
        s.Change();
        state.ResumeTiming();
        s.Holder->AutoSave();
    }
    SetBytes(state, s.Bytes.size());
}

void BM_AutoSaveTickUnchanged(benchmark::State &state) {
    TScene &s = Scene();
    s.Change();
    s.Holder->AutoSave();
    for (auto _ : state)
        s.Holder->AutoSave();
}

void BM_StreetToMemory(benchmark::State &state) {
    TScene &s = Scene();
    for (auto _ : state) {
        TMemoryStream m;
        s.Street().SaveToStream(m);
        benchmark::DoNotOptimize(m.Bytes().data());
    }
    SetBytes(state, s.Bytes.size());
}

void BM_WriteSameBytes(benchmark::State &state) {
    TScene &s = Scene();
    for (auto _ : state)
        SaveBytesToFile(s.FloorFile, s.Bytes.data(), s.Bytes.size());
    SetBytes(state, s.Bytes.size());
}

// A tick takes about a second: a few of them, so that one disturbed run does not make the figure.
BENCHMARK(BM_AutoSaveTick)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_AutoSaveTickUnchanged)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_StreetToMemory)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_WriteSameBytes)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

const bool registered = [] {
    spbench::ResultPair("tick_stall_1000000_vs_write_bytes", "BM_AutoSaveTick/iterations:5/real_time",
                        "BM_WriteSameBytes/iterations:5/real_time");
    spbench::ResultPair("unchanged_tick_stall_vs_write_bytes", "BM_AutoSaveTickUnchanged/real_time",
                        "BM_WriteSameBytes/iterations:5/real_time", spbench::TFigure::TimeUs);
    spbench::ResultPair("street_to_memory_vs_write_bytes", "BM_StreetToMemory/iterations:5/real_time",
                        "BM_WriteSameBytes/iterations:5/real_time");
    return true;
}();

} // namespace
