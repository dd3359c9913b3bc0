#pragma once
// The largest single the system stores, 3.4e38, stands for "no value": a station off every axis, no
// distance found yet, the open end of an extent being grown. Files and reports carry it as such, so it
// is one constant rather than a literal wherever it is needed.
constexpr double UndefinedValue = 3.4e38;
constexpr float UndefinedValueF = static_cast<float>(UndefinedValue);

// True for the marker and anything beyond it (either sign), as read back from a single.
constexpr bool IsUndefinedValue(double v) {
    return v >= UndefinedValueF || v <= -UndefinedValueF;
}
