#pragma once
// The INI text our data files are written in ("*.LnRazmet", the arrow library): code page 1251, one
// section per "[name]" line in file order (a name repeated gives a section each), "key=value" lines below
// it. Lines may end in CR LF, LF or CR; lines starting with ";" are comments; blanks around names, keys
// and values are not part of them; a section's name runs to the last "]" of its line. Values are bytes,
// untouched. Lines before the first section and lines without "=" are ignored.
#include "engine/Cp1251.h"

#include <string>
#include <string_view>
#include <vector>

struct TIniSection {
    Cp1251String Name;
    // The key and value lines of the section, in order.
    std::vector<std::pair<std::string, std::string>> Values;

    // The value of the first line whose key is the name, letter case ignored; nullptr when none.
    const std::string *Find(std::string_view key) const;
};

std::vector<TIniSection> ReadIniSections(std::string_view bytes);
// A single written with "." or, by other programs, with one "," as the decimal separator. Values beyond
// the range of a single are malformed (False, out unchanged).
bool ParseIniSingle(std::string_view text, float &out);
// Spaces and tabs gone from both ends.
std::string_view TrimIniBlanks(std::string_view s);
