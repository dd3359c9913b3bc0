#include "shell/ReportTable.h"

#include "engine/Cp1251Qt.h"
#include "engine/ListUtils.h"
#include "engine/NumText.h"
#include "engine/Streams.h"

#include <utility>

Cp1251String EncodeReportField(const Cp1251String &value, char separator) {
    const std::string &s = value.Bytes();
    if (s.find(separator) == std::string::npos && (s.empty() || s[0] != '"'))
        return value;
    std::string out = "\"";
    for (char c : s) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
    return Cp1251String(std::move(out));
}

std::vector<Cp1251String> SplitReportLine(const Cp1251String &line, char separator) {
    std::vector<Cp1251String> fields;
    const std::string &s = line.Bytes();
    std::size_t i = 0;
    while (true) {
        std::string field;
        if (i < s.size() && s[i] == '"') {
            // Quoted: up to the quote that is not doubled; text after it up to the separator is kept too.
            ++i;
            while (i < s.size()) {
                if (s[i] == '"') {
                    if (i + 1 < s.size() && s[i + 1] == '"') {
                        field += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                field += s[i++];
            }
        }
        const std::size_t end = s.find(separator, i);
        field += s.substr(i, end == std::string::npos ? std::string::npos : end - i);
        fields.emplace_back(std::move(field));
        if (end == std::string::npos)
            break;
        i = end + 1;
    }
    return fields;
}

Cp1251String JoinReportFields(const std::vector<Cp1251String> &fields, char separator) {
    std::string out;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0)
            out += separator;
        out += EncodeReportField(fields[i], separator).Bytes();
    }
    return Cp1251String(std::move(out));
}

TReportTable TReportTable::WithHeader(const std::vector<Cp1251String> &columns, char separator) {
    TReportTable t;
    t.Lines.push_back({Cp1251String("0"), {}});
    t.Lines.push_back({Cp1251String(std::string(1, separator)), {}});
    t.Lines.push_back({JoinReportFields(columns, separator), {}});
    return t;
}

void TReportTable::AddRow(const std::vector<Cp1251String> &fields, const QVariant &object) {
    while (Lines.size() < 3)
        Lines.push_back({Cp1251String(Lines.size() == 1 ? std::string(1, '#') : std::string()), {}});
    Lines.push_back({JoinReportFields(fields, Separator()), object});
    Lines[0].Text = Cp1251String(IntToStr(RowCount()));
}

char TReportTable::Separator() const {
    return Lines.size() > 1 && !Lines[1].Text.Empty() ? Lines[1].Text.Bytes()[0] : '#';
}

std::vector<Cp1251String> TReportTable::Columns() const {
    return Lines.size() > 2 ? SplitReportLine(Lines[2].Text, Separator()) : std::vector<Cp1251String>{};
}

int TReportTable::RowCount() const {
    return Lines.size() > 3 ? static_cast<int>(Lines.size() - 3) : 0;
}

std::vector<Cp1251String> TReportTable::RowFields(int row) const {
    return SplitReportLine(Lines.at(static_cast<std::size_t>(row) + 3).Text, Separator());
}

const QVariant &TReportTable::RowObject(int row) const {
    return Lines.at(static_cast<std::size_t>(row) + 3).Object;
}

namespace {

int CompareFields(const Cp1251String &a, const Cp1251String &b) {
    double x = 0, y = 0;
    if (TryStrToFloat(a.Bytes(), x) && TryStrToFloat(b.Bytes(), y))
        return x < y ? -1 : x > y ? 1 : 0;
    // Character codes: bytes compared as unsigned.
    const int c = a.Bytes().compare(b.Bytes());
    return c < 0 ? -1 : c > 0 ? 1 : 0;
}

} // namespace

void TReportTable::SortByColumn(int column) {
    if (Lines.size() < 5 || column < 0)
        return;
    const char sep = Separator();
    // The sort key of each line is split once, not at every comparison.
    std::vector<std::pair<Cp1251String, std::size_t>> keyed;
    for (std::size_t i = 3; i < Lines.size(); ++i) {
        const auto fields = SplitReportLine(Lines[i].Text, sep);
        keyed.emplace_back(static_cast<std::size_t>(column) < fields.size()
                               ? fields[static_cast<std::size_t>(column)]
                               : Cp1251String(),
                           i);
    }
    SortStrings(
        keyed, 0, static_cast<std::ptrdiff_t>(keyed.size()) - 1,
        [](int, const Cp1251String &a, const Cp1251String &b) { return CompareFields(a, b); }, 0);
    std::vector<TReportLine> sorted(Lines.begin(), Lines.begin() + 3);
    for (const auto &k : keyed)
        sorted.push_back(std::move(Lines[k.second]));
    Lines = std::move(sorted);
}

QString TReportTable::ClipboardText() const {
    QString out;
    const char sep = Separator();
    for (std::size_t i = 2; i < Lines.size(); ++i) {
        const auto fields = SplitReportLine(Lines[i].Text, sep);
        for (std::size_t f = 0; f < fields.size(); ++f) {
            if (f > 0)
                out += u'\t';
            out += ToQString(fields[f]);
        }
        out += QStringLiteral("\r\n");
    }
    return out;
}

void TReportTable::SaveToFile(const std::string &fileName) const {
    std::string bytes;
    for (std::size_t i = 2; i < Lines.size(); ++i) {
        bytes += Lines[i].Text.Bytes();
        bytes += "\r\n";
    }
    SaveBytesToFile(fileName, bytes.data(), bytes.size());
}
