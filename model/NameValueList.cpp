#include "model/NameValueList.h"

#include "engine/StreetError.h"

#include <string>

const Cp1251String &TNameValueList::Lines(int i) const {
    if (i < 0 || i >= Count())
        RaiseStreetError("TNameValueList.Lines", "index " + std::to_string(i) + " out of range (" +
                                                     std::to_string(Count()) + " lines)");
    return Lines_[static_cast<std::size_t>(i)];
}

void TNameValueList::SetLine(int i, const Cp1251String &line) {
    if (i < 0 || i >= Count())
        RaiseStreetError("TNameValueList.SetLine", "index " + std::to_string(i) + " out of range (" +
                                                       std::to_string(Count()) + " lines)");
    Lines_[static_cast<std::size_t>(i)] = line;
}

Cp1251String TNameValueList::Text() const {
    std::string out;
    for (const Cp1251String &l : Lines_) {
        out += l.Bytes();
        out += "\r\n";
    }
    return Cp1251String(std::move(out));
}

void TNameValueList::SetText(const Cp1251String &text) {
    Lines_.clear();
    const std::string &s = text.Bytes();
    std::size_t start = 0, i = 0;
    while (i < s.size()) {
        if (s[i] == '\r' || s[i] == '\n') {
            Lines_.emplace_back(s.substr(start, i - start));
            if (s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n')
                ++i;
            start = ++i;
        } else {
            ++i;
        }
    }
    if (start < s.size())
        Lines_.emplace_back(s.substr(start));
}

Cp1251String TNameValueList::Names(int i) const {
    const std::string &l = Lines(i).Bytes();
    return Cp1251String(l.substr(0, l.find('=')));
}

Cp1251String TNameValueList::ValueFromIndex(int i) const {
    const std::string &l = Lines(i).Bytes();
    const std::size_t eq = l.find('=');
    return eq == std::string::npos ? Cp1251String() : Cp1251String(l.substr(eq + 1));
}

int TNameValueList::IndexOfName(const Cp1251String &name) const {
    for (int i = 0; i < Count(); ++i) {
        const std::string &l = Lines_[static_cast<std::size_t>(i)].Bytes();
        const std::size_t eq = l.find('=');
        if (eq != std::string::npos && SameText(Cp1251String(l.substr(0, eq)), name))
            return i;
    }
    return -1;
}

Cp1251String TNameValueList::Values(const Cp1251String &name) const {
    const int i = IndexOfName(name);
    return i < 0 ? Cp1251String() : ValueFromIndex(i);
}

bool TNameValueList::SetValue(const Cp1251String &name, const Cp1251String &value) {
    const int i = IndexOfName(name);
    if (value.Empty()) {
        if (i < 0)
            return false;
        Lines_.erase(Lines_.begin() + i);
        return true;
    }
    Cp1251String line = name;
    line += Cp1251String("=");
    line += value;
    if (i < 0) {
        Lines_.push_back(std::move(line));
        return true;
    }
    if (Lines_[static_cast<std::size_t>(i)] == line)
        return false;
    Lines_[static_cast<std::size_t>(i)] = std::move(line);
    return true;
}
