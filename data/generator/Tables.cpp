#include "Tables.h"

#include <charconv>
#include <fstream>
#include <iterator>

namespace datagen {

std::vector<std::string> Split(const std::string &s, char separator) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = s.find(separator, start);
        parts.push_back(s.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos)
            return parts;
        start = end + 1;
    }
}

TTable::TTable(const std::filesystem::path &file, const std::vector<std::string> &columns)
    : name_(file.filename().string()), columns_(columns) {
    std::ifstream in(file, std::ios::binary);
    if (!in)
        throw std::runtime_error(file.string() + ": cannot read");
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    bool header = true;
    int line = 0;
    for (std::string row : Split(text, '\n')) {
        ++line;
        if (!row.empty() && row.back() == '\r')
            row.pop_back();
        if (row.empty() || row.front() == '#')
            continue;
        std::vector<std::string> cells = Split(row, '\t');
        if (header) {
            if (cells != columns)
                throw std::runtime_error(name_ + ":" + std::to_string(line) +
                                         ": header is not the expected columns");
            header = false;
            continue;
        }
        if (cells.size() != columns.size())
            throw std::runtime_error(name_ + ":" + std::to_string(line) + ": " +
                                     std::to_string(cells.size()) + " cells, expected " +
                                     std::to_string(columns.size()));
        rows_.push_back({line, std::move(cells)});
    }
    if (header)
        throw std::runtime_error(name_ + ": no header line");
}

void TTable::Fail(std::size_t row, std::size_t column, const std::string &reason) const {
    throw std::runtime_error(name_ + ":" + std::to_string(rows_[row].line) + ": column " + columns_[column] +
                             ": " + reason);
}

int TTable::Int(std::size_t row, std::size_t column, int lo, int hi) const {
    const std::string &s = Cell(row, column);
    int v = 0;
    const auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    if (r.ec != std::errc() || r.ptr != s.data() + s.size() || v < lo || v > hi)
        Fail(row, column,
             "\"" + s + "\" is not a whole number from " + std::to_string(lo) + " to " + std::to_string(hi));
    return v;
}

float TTable::Single(std::size_t row, std::size_t column) const {
    const std::string &s = Cell(row, column);
    float v = 0;
    const auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    if (r.ec != std::errc() || r.ptr != s.data() + s.size() || !(v == v) || v - v != 0)
        Fail(row, column, "\"" + s + "\" is not a finite number");
    return v;
}

bool TTable::Flag(std::size_t row, std::size_t column) const {
    const std::string &s = Cell(row, column);
    if (s != "0" && s != "1")
        Fail(row, column, "\"" + s + "\" is neither 0 nor 1");
    return s == "1";
}

std::string SingleText(float v) {
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

} // namespace datagen
