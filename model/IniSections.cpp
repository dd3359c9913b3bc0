#include "model/IniSections.h"

#include "engine/NumText.h"

#include <cfloat>
#include <cmath>

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

} // namespace

std::string_view TrimIniBlanks(std::string_view s) {
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

const std::string *TIniSection::Find(std::string_view key) const {
    const Cp1251String wanted{std::string(key)};
    for (const auto &[k, v] : Values)
        if (SameText(Cp1251String(k), wanted))
            return &v;
    return nullptr;
}

std::vector<TIniSection> ReadIniSections(std::string_view bytes) {
    std::vector<TIniSection> sections;
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        std::size_t end = pos;
        while (end < bytes.size() && bytes[end] != '\r' && bytes[end] != '\n')
            ++end;
        const std::string_view line = TrimIniBlanks(bytes.substr(pos, end - pos));
        pos = end + 1;
        if (line.empty() || line.front() == ';')
            continue;
        if (line.front() == '[') {
            // The name runs to the last "]" of the line, so names holding "]" come back whole.
            const std::size_t close = line.rfind(']');
            const std::string_view name =
                close == std::string_view::npos ? line.substr(1) : line.substr(1, close - 1);
            sections.push_back({Cp1251String(std::string(name)), {}});
            continue;
        }
        const std::size_t eq = line.find('=');
        if (sections.empty() || eq == std::string_view::npos)
            continue;
        sections.back().Values.emplace_back(std::string(TrimIniBlanks(line.substr(0, eq))),
                                            std::string(TrimIniBlanks(line.substr(eq + 1))));
    }
    return sections;
}

bool ParseIniSingle(std::string_view text, float &out) {
    std::string s(text);
    if (s.find('.') == std::string::npos) {
        const std::size_t comma = s.find(',');
        if (comma != std::string::npos && s.find(',', comma + 1) == std::string::npos)
            s[comma] = '.';
    }
    double v = 0;
    if (!TryStrToFloat(s, v))
        return false;
    if (std::isfinite(v) && std::fabs(v) > FLT_MAX)
        return false;
    out = static_cast<float>(v);
    return true;
}
