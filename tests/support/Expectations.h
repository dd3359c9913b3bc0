#pragma once
// Checks that many tests share: the text of a model error, points compared within a tolerance, and values
// that may be undefined printed the way reports show them.
#include "engine/DxCalc_0.h"
#include "engine/StreetError.h"
#include "engine/UndefinedValue.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <source_location>
#include <string>

namespace sptest {

// The text of the EStreetError that f throws; empty when f returns normally, so that comparing it with
// the expected text fails when nothing was thrown.
template <class F> std::string ErrorOf(F &&f) {
    try {
        f();
    } catch (const EStreetError &e) {
        return e.what();
    }
    return {};
}

// Each coordinate of got within tol of want's; a failure names the line that asked.
inline void ExpectNear(const TXYZ &got, const TXYZ &want, double tol,
                       std::source_location where = std::source_location::current()) {
    const testing::ScopedTrace trace(where.file_name(), static_cast<int>(where.line()), "ExpectNear");
    EXPECT_NEAR(got.x, want.x, tol);
    EXPECT_NEAR(got.y, want.y, tol);
    EXPECT_NEAR(got.z, want.z, tol);
}

inline bool Finite(const TXYZ &v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

// A station, distance or other value as a report shows it: empty when it is undefined, otherwise the
// shortest text that reads back to the same number.
inline std::string ValueText(double v) {
    if (IsUndefinedValue(v))
        return {};
    char buffer[32];
    const auto r = std::to_chars(buffer, buffer + sizeof buffer, v);
    return std::string(buffer, r.ptr);
}

} // namespace sptest
