#pragma once
// The report table: every report of the program is a list of lines in one text form
//
//   line 0   the number of data rows, in decimal
//   line 1   the separator line; its first character separates the columns ("#")
//   line 2   the header: the column names joined with the separator
//   line 3.. one data row per line, the fields joined with the separator
//
// and each line may carry an object (the item the row describes), kept with the line when rows are sorted.
// Objects are ids the caller resolves when it uses them, never pointers.
//
// A field that holds the separator, or that starts with a double quote, is written in double quotes
// with every double quote inside doubled ("a#b" -> "\"a#b\"", "\"x" -> "\"\"\"x\""). Any other field is
// written as it is, so tables of plain values read as they always have, and every field reads back as
// it was written: a "#" inside a user value never shifts the columns.
#include "engine/Cp1251.h"

#include <QString>
#include <QVariant>

#include <string>
#include <vector>

struct TReportLine {
    Cp1251String Text;
    QVariant Object;
};

class TReportTable {
public:
    std::vector<TReportLine> Lines;

    // A table with the count, separator and header lines.
    static TReportTable WithHeader(const std::vector<Cp1251String> &columns, char separator = '#');
    // Appends a data row from its fields and updates the count line.
    void AddRow(const std::vector<Cp1251String> &fields, const QVariant &object = {});

    // The separator (first character of line 1; "#" when the table has no such line).
    char Separator() const;
    std::vector<Cp1251String> Columns() const;
    int RowCount() const; // data rows present (lines - 3), not line 0
    std::vector<Cp1251String> RowFields(int row) const;
    const QVariant &RowObject(int row) const;

    // Sorts the data rows by the column, ascending: as numbers when both fields are numbers ("." decimal
    // separator), else by their character codes. Rows without the column sort as an empty field.
    void SortByColumn(int column);
    // Header and data rows, fields separated by tabs, each line ending with CR LF (for the clipboard).
    QString ClipboardText() const;
    // Header and data lines as they stand, in code page 1251, each ending with CR LF. Written through a
    // temporary file and a rename; throws EStreetError when the file cannot be written.
    void SaveToFile(const std::string &fileName) const;
};

// A field as written in a line (quoted only when it must be).
Cp1251String EncodeReportField(const Cp1251String &value, char separator);
// The fields of a line. A line with n separators outside quotes has n + 1 fields; a quoted field that is
// not closed takes the rest of the line.
std::vector<Cp1251String> SplitReportLine(const Cp1251String &line, char separator);
Cp1251String JoinReportFields(const std::vector<Cp1251String> &fields, char separator);
