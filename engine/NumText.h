#pragma once
// Conversions between numbers and text. Every one uses "." as the decimal separator whatever the
// locale, and every conversion of a float to an integer goes through FloatToInt, which defines the
// result for NaN (0) and for values beyond the integer's range (saturated).
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

// The system's general float text: fixed notation while the value has at most 15 digits before the
// point and is at least 0.00001 in magnitude, else scientific ("1.5E20", "1E-7"); 15 significant
// digits, trailing zeros removed; "0" for zero, "NAN", "INF", "-INF".
std::string FloatToStr(double v);
// Fixed notation with the given number of decimals ("0.00" style formats), rounding half away from zero
// on the decimal value as printed by the C library.
std::string FormatFixed(double v, int decimals);
// Shortest text that reads back to the same double.
std::string FloatToStrRoundTrip(double v);
// Same for a single: the shortest text that reads back to the same float.
std::string SingleToStrRoundTrip(float v);
std::string IntToStr(int64_t v);

// Accepts optional surrounding blanks, a sign, digits with "." and an exponent; nothing else.
bool TryStrToFloat(std::string_view s, double &out);
double StrToFloatDef(std::string_view s, double def);
// Decimal integers with optional sign and surrounding blanks; out of int32 range fails.
bool TryStrToInt(std::string_view s, int32_t &out);
int32_t StrToIntDef(std::string_view s, int32_t def);

namespace numtext_detail {
template <class I> I Saturate(double v) {
    if (v != v)
        return 0;
    constexpr double lo = static_cast<double>(std::numeric_limits<I>::min());
    // 2^N (or 2^(N-1) when signed) is exactly representable; anything at or above it is out of range.
    constexpr double hi = std::numeric_limits<I>::is_signed
                              ? -lo
                              : 2.0 * static_cast<double>(std::numeric_limits<I>::max() / 2 + 1);
    if (v <= lo)
        return std::numeric_limits<I>::min();
    if (v >= hi)
        return std::numeric_limits<I>::max();
    return static_cast<I>(v);
}
} // namespace numtext_detail

// Truncates toward zero; NaN gives 0, values out of range saturate.
template <class I = int32_t> I FloatToInt(double v) { return numtext_detail::Saturate<I>(v); }

// Rounds half to even (as the x87 unit does by default), then FloatToInt.
int64_t Round(double v);
int32_t Round32(double v);
// Truncates toward zero, then FloatToInt.
int64_t Trunc(double v);
int32_t Trunc32(double v);
