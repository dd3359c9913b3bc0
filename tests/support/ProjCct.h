#pragma once
// PROJ's cct as the outside oracle of geodesy: points in, transformed points out. The tool is part of
// every set-up (scripts/install-deps installs it), so its absence fails the test that needs it.
#include "engine/GPSCalc3.h"

#include <string>
#include <vector>

namespace sptest {

// Runs cct with the given operation over the points (x y z, time 0), printing 12 decimals; returns the
// first three columns of each output row. A missing tool or a failed run is a test failure (the result is
// then empty).
std::vector<TXYZ_Dbl> RunCct(const std::string &operation, const std::vector<TXYZ_Dbl> &points);

} // namespace sptest
