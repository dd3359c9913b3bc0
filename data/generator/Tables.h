#pragma once
// Reading the readable source tables of data/: tab-separated UTF-8 text, "#" comment lines, one header
// line naming the columns, then one row per line. Mistakes in a table stop the build with a message
// naming the table, the line and the column.
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace datagen {

class TTable {
public:
    // Reads the table and checks that its header names exactly these columns, in this order.
    TTable(const std::filesystem::path &file, const std::vector<std::string> &columns);

    std::size_t Rows() const { return rows_.size(); }
    const std::string &Cell(std::size_t row, std::size_t column) const { return rows_[row].cells[column]; }

    // Cell values checked and converted; a bad value throws naming the table, line and column.
    int Int(std::size_t row, std::size_t column, int lo, int hi) const;
    float Single(std::size_t row, std::size_t column) const;
    bool Flag(std::size_t row, std::size_t column) const;
    [[noreturn]] void Fail(std::size_t row, std::size_t column, const std::string &reason) const;

private:
    struct TRow {
        int line;
        std::vector<std::string> cells;
    };
    std::string name_;
    std::vector<std::string> columns_;
    std::vector<TRow> rows_;
};

std::vector<std::string> Split(const std::string &s, char separator);

// The shortest text that reads back to the same single ("0.05", "12", "-0.2").
std::string SingleText(float v);

} // namespace datagen
