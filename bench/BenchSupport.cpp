#include "BenchSupport.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <vector>

namespace spbench {
namespace {

struct TPair {
    std::string caseName, ours, baseline, counter, unit;
    TFigure figure;
};

std::vector<TPair> &Pairs() {
    static std::vector<TPair> pairs;
    return pairs;
}

std::string &ProgramName() {
    static std::string name;
    return name;
}

// Keeps each run's figures so the RESULT lines can be printed after the console output.
class TCollectingReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, Run> runs;

    void ReportRuns(const std::vector<Run> &reports) override {
        ConsoleReporter::ReportRuns(reports);
        for (const Run &r : reports) {
            if (r.run_type == Run::RT_Iteration && !r.error_occurred)
                runs[r.benchmark_name()] = r;
        }
    }
};

bool Figure(const TPair &p, const benchmark::BenchmarkReporter::Run &r, double &value, std::string &unit) {
    const double secs = r.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(r.time_unit);
    switch (p.figure) {
    case TFigure::TimeMs: value = secs * 1e3; unit = "ms"; return true;
    case TFigure::TimeUs: value = secs * 1e6; unit = "us"; return true;
    case TFigure::TimeNs: value = secs * 1e9; unit = "ns"; return true;
    case TFigure::Counter: {
        auto it = r.counters.find(p.counter);
        if (it == r.counters.end())
            return false;
        value = it->second.value;
        unit = p.unit.empty() ? p.counter : p.unit;
        return true;
    }
    }
    return false;
}

} // namespace

void ResultPair(const std::string &caseName, const std::string &ours, const std::string &baseline,
                TFigure figure, const std::string &counter, const std::string &unit) {
    Pairs().push_back({caseName, ours, baseline, counter, unit, figure});
}

void SetProgramName(const std::string &name) { ProgramName() = name; }

} // namespace spbench

int main(int argc, char **argv) {
    using namespace spbench;
    if (ProgramName().empty())
        ProgramName() = std::filesystem::path(argv[0]).filename().string();
    // Pictures, tables and libraries are looked up beside the executable, and the programs are not there:
    // without this the benches would measure the fallbacks of missing data files.
    setenv("STREETPLAN_DATAFILES", SP_BENCH_BUILD_DATAFILES, 0);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    TCollectingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    for (const TPair &p : Pairs()) {
        auto a = reporter.runs.find(p.ours), b = reporter.runs.find(p.baseline);
        if (a == reporter.runs.end() || b == reporter.runs.end())
            continue; // filtered out on the command line
        double va = 0, vb = 0;
        std::string ua, ub;
        if (!Figure(p, a->second, va, ua) || !Figure(p, b->second, vb, ub))
            continue;
        std::printf("RESULT %s/%s: ours %.6g %s, baseline %.6g %s, ratio %.4g\n", ProgramName().c_str(),
                    p.caseName.c_str(), va, ua.c_str(), vb, ub.c_str(), vb != 0 ? va / vb : 0.0);
    }
    benchmark::Shutdown();
    return 0;
}
