#pragma once
// Every benchmark program measures our code and its baseline in one run and ends with one line per figure:
//   RESULT <program>/<case>: ours <value> <unit>, baseline <value> <unit>, ratio <ours/baseline>
// A program registers its pairs with ResultPair; the shared main runs the benchmarks and prints the lines.
#include <benchmark/benchmark.h>

#include <string>

namespace spbench {

enum class TFigure {
    TimeMs,      // real time per iteration, milliseconds
    TimeUs,      // real time per iteration, microseconds
    TimeNs,      // real time per iteration, nanoseconds
    Counter,     // a named user counter (rate counters give per-second values)
};

// Pairs the benchmark named `ours` with the one named `baseline` (full names as Google Benchmark prints
// them, e.g. "BM_Nearest/1000000") under `caseName`.
void ResultPair(const std::string &caseName, const std::string &ours, const std::string &baseline,
                TFigure figure = TFigure::TimeMs, const std::string &counter = {},
                const std::string &unit = {});

// Name of the program for RESULT lines; defaults to the executable's file name.
void SetProgramName(const std::string &name);

} // namespace spbench
