#include "engine/NumText.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <system_error>

namespace {

std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

} // namespace

std::string FloatToStr(double v) {
    if (std::isnan(v))
        return "NAN";
    if (std::isinf(v))
        return v > 0 ? "INF" : "-INF";
    if (v == 0)
        return "0";
    // 15 significant digits, in scientific form, to find the decimal exponent after rounding.
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.14e", v);
    std::string s(buf);
    const auto ePos = s.find('e');
    const int exp10 = std::atoi(s.c_str() + ePos + 1);
    std::string digits;
    bool negative = false;
    for (std::size_t i = 0; i < ePos; ++i) {
        if (s[i] == '-')
            negative = true;
        else if (s[i] >= '0' && s[i] <= '9')
            digits += s[i];
    }
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();
    std::string out = negative ? "-" : "";
    if (exp10 < 15 && exp10 >= -5) {
        if (exp10 < 0) {
            out += "0.";
            out.append(static_cast<std::size_t>(-exp10 - 1), '0');
            out += digits;
        } else {
            const std::size_t intDigits = static_cast<std::size_t>(exp10) + 1;
            if (digits.size() <= intDigits) {
                out += digits;
                out.append(intDigits - digits.size(), '0');
            } else {
                out += digits.substr(0, intDigits);
                out += '.';
                out += digits.substr(intDigits);
            }
        }
    } else {
        out += digits[0];
        if (digits.size() > 1) {
            out += '.';
            out += digits.substr(1);
        }
        out += 'E';
        out += std::to_string(exp10);
    }
    return out;
}

std::string FormatFixed(double v, int decimals) {
    if (!std::isfinite(v))
        return FloatToStr(v);
    if (decimals < 0)
        decimals = 0;
    if (decimals > 30)
        decimals = 30;
    char buf[512];
    std::to_chars_result r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
    if (r.ec != std::errc())
        return FloatToStr(v);
    std::string s(buf, r.ptr);
    // "-0.00" reads badly in tables; a value that rounds to zero is shown unsigned.
    if (s[0] == '-' && s.find_first_not_of("-0.") == std::string::npos)
        s.erase(0, 1);
    return s;
}

std::string FloatToStrRoundTrip(double v) {
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

std::string SingleToStrRoundTrip(float v) {
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

std::string IntToStr(int64_t v) { return std::to_string(v); }

bool TryStrToFloat(std::string_view s, double &out) {
    s = TrimBlanks(s);
    if (s.empty())
        return false;
    if (s.front() == '+')
        s.remove_prefix(1);
    if (s.empty() || s.front() == '+')
        return false;
    double v = 0;
    auto r = std::from_chars(s.data(), s.data() + s.size(), v, std::chars_format::general);
    if (r.ec != std::errc() || r.ptr != s.data() + s.size())
        return false;
    out = v;
    return true;
}

double StrToFloatDef(std::string_view s, double def) {
    double v;
    return TryStrToFloat(s, v) ? v : def;
}

bool TryStrToInt(std::string_view s, int32_t &out) {
    s = TrimBlanks(s);
    if (!s.empty() && s.front() == '+')
        s.remove_prefix(1);
    if (s.empty() || s.front() == '+')
        return false;
    int32_t v = 0;
    auto r = std::from_chars(s.data(), s.data() + s.size(), v, 10);
    if (r.ec != std::errc() || r.ptr != s.data() + s.size())
        return false;
    out = v;
    return true;
}

int32_t StrToIntDef(std::string_view s, int32_t def) {
    int32_t v;
    return TryStrToInt(s, v) ? v : def;
}

int64_t Round(double v) { return FloatToInt<int64_t>(std::nearbyint(v)); }
int32_t Round32(double v) { return FloatToInt<int32_t>(std::nearbyint(v)); }
int64_t Trunc(double v) { return FloatToInt<int64_t>(v); }
int32_t Trunc32(double v) { return FloatToInt<int32_t>(v); }
