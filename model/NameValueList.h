#pragma once
// A list of text lines, mostly "name=value", as the street keeps its group names and drawing options.
// Names are compared case-insensitively (code page 1251 fold); the text form ends every line with CR LF,
// and reading it splits at CR LF, lone CR or lone LF.
#include "engine/Cp1251.h"

#include <vector>

class TNameValueList {
public:
    int Count() const { return static_cast<int>(Lines_.size()); }
    const Cp1251String &Lines(int i) const;
    const std::vector<Cp1251String> &AllLines() const { return Lines_; }
    void Add(const Cp1251String &line) { Lines_.push_back(line); }
    void Clear() { Lines_.clear(); }
    bool Empty() const { return Lines_.empty(); }

    Cp1251String Text() const;
    void SetText(const Cp1251String &text);

    // The part before the first "=" (the whole line without one), and the part after it.
    Cp1251String Names(int i) const;
    Cp1251String ValueFromIndex(int i) const;
    // The first line of that name; -1 when none.
    int IndexOfName(const Cp1251String &name) const;
    // "" when absent.
    Cp1251String Values(const Cp1251String &name) const;
    // Replaces the value of the first line of that name, or appends "name=value"; the empty value
    // removes the line. Returns whether the text changed.
    bool SetValue(const Cp1251String &name, const Cp1251String &value);
    // Replaces line i (index checks throw EStreetError).
    void SetLine(int i, const Cp1251String &line);

    friend bool operator==(const TNameValueList &, const TNameValueList &) = default;

private:
    std::vector<Cp1251String> Lines_;
};
