// The glyph streets of painted road text and painted signs: each glyph a group of design figures (its
// pieces) and a reference point at its origin, written with the program's own street writer.
#include "Generators.h"
#include "Tables.h"

#include "engine/Cp1251.h"
#include "engine/Streams.h"
#include "model/AbstractItem.h"
#include "model/ItemList.h"
#include "model/ItemTypeCodes.h"
#include "model/StreetStructure.h"
#include "objects/RegisterObjects.h"

#include <charconv>
#include <cmath>
#include <map>
#include <numbers>
#include <set>

namespace datagen {

namespace {

struct TPt {
    double x, y;
};
using TPiece = std::vector<TPt>;

// The rectangles of rows of cells (top row first, "X" paint): each run of a row, joined with the same
// run in the rows below.
std::vector<TPiece> CellPieces(const std::vector<std::string> &rows, double x0, double y0, double w,
                               double h) {
    std::vector<TPiece> pieces;
    std::map<std::pair<std::size_t, std::size_t>, std::size_t> open; // run -> top row
    const auto close = [&](std::size_t from, std::size_t to, std::size_t top, std::size_t bottom) {
        const double l = x0 + double(from) * w, r = x0 + double(to) * w;
        const double t = y0 + double(rows.size() - top) * h, b = y0 + double(rows.size() - bottom) * h;
        pieces.push_back({{l, b}, {r, b}, {r, t}, {l, t}});
    };
    for (std::size_t row = 0; row <= rows.size(); ++row) {
        std::map<std::pair<std::size_t, std::size_t>, std::size_t> next;
        if (row < rows.size()) {
            const std::string &cells = rows[row];
            for (std::size_t c = 0; c < cells.size();) {
                if (cells[c] != 'X') {
                    ++c;
                    continue;
                }
                std::size_t e = c;
                while (e < cells.size() && cells[e] == 'X')
                    ++e;
                const auto run = std::make_pair(c, e);
                const auto was = open.find(run);
                next[run] = was != open.end() ? was->second : row;
                c = e;
            }
        }
        for (const auto &[run, top] : open)
            if (!next.count(run) || next[run] != top)
                close(run.first, run.second, top, row);
        open = std::move(next);
    }
    return pieces;
}

double Number(const TTable &t, std::size_t row, std::size_t column, const std::string &text) {
    double v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(v))
        t.Fail(row, column, "expected a number, not \"" + text + "\"");
    return v;
}

TPt Point(const TTable &t, std::size_t row, std::size_t column, const std::string &text) {
    const std::vector<std::string> xy = Split(text, ',');
    if (xy.size() != 2)
        t.Fail(row, column, "expected x,y, not \"" + text + "\"");
    return {Number(t, row, column, xy[0]), Number(t, row, column, xy[1])};
}

std::vector<TPt> Points(const TTable &t, std::size_t row, std::size_t column, const std::string &text) {
    std::vector<TPt> points;
    for (const std::string &p : Split(text, ' '))
        points.push_back(Point(t, row, column, p));
    return points;
}

// The pieces of one row of the sign table.
std::vector<TPiece> SignPieces(const TTable &t, std::size_t row) {
    enum { Name, Kind, Shape };
    const std::string &kind = t.Cell(row, Kind), &shape = t.Cell(row, Shape);
    if (kind == "polygon") {
        const std::vector<TPt> p = Points(t, row, Shape, shape);
        if (p.size() < 3)
            t.Fail(row, Shape, "a polygon needs 3 points");
        return {p};
    }
    if (kind == "ring") {
        const std::vector<std::string> parts = Split(shape, ';');
        if (parts.size() != 2)
            t.Fail(row, Shape, "expected f;points");
        const double f = Number(t, row, Shape, parts[0]);
        const std::vector<TPt> outer = Points(t, row, Shape, parts[1]);
        if (!(f > 0 && f < 1) || outer.size() < 3)
            t.Fail(row, Shape, "expected 0 < f < 1 and 3 points");
        TPt c{0, 0};
        for (const TPt &p : outer)
            c = {c.x + p.x / double(outer.size()), c.y + p.y / double(outer.size())};
        std::vector<TPiece> pieces;
        for (std::size_t i = 0; i < outer.size(); ++i) {
            const TPt a = outer[i], b = outer[(i + 1) % outer.size()];
            const TPt ia{c.x + (a.x - c.x) * f, c.y + (a.y - c.y) * f};
            const TPt ib{c.x + (b.x - c.x) * f, c.y + (b.y - c.y) * f};
            pieces.push_back({a, b, ib, ia});
        }
        return pieces;
    }
    if (kind == "oval") {
        const std::vector<std::string> parts = Split(shape, ' ');
        if (parts.size() != 4)
            t.Fail(row, Shape, "expected cx,cy rx,ry width n");
        const TPt c = Point(t, row, Shape, parts[0]), r = Point(t, row, Shape, parts[1]);
        const double width = Number(t, row, Shape, parts[2]);
        const int n = static_cast<int>(Number(t, row, Shape, parts[3]));
        if (n < 8 || n % 4 != 0 || !(width > 0 && width < std::min(r.x, r.y)))
            t.Fail(row, Shape, "expected n a multiple of 4 from 8 and a width below the radii");
        const auto at = [&](int k, double shrink) {
            const double a = 2 * std::numbers::pi * k / n;
            return TPt{c.x + (r.x - shrink) * std::cos(a), c.y + (r.y - shrink) * std::sin(a)};
        };
        std::vector<TPiece> pieces;
        for (int q = 0; q < 4; ++q) {
            TPiece p;
            for (int k = q * n / 4; k <= (q + 1) * n / 4; ++k)
                p.push_back(at(k, 0));
            for (int k = (q + 1) * n / 4; k >= q * n / 4; --k)
                p.push_back(at(k, width));
            pieces.push_back(std::move(p));
        }
        return pieces;
    }
    if (kind == "cells") {
        const std::vector<std::string> parts = Split(shape, ' ');
        if (parts.size() != 3)
            t.Fail(row, Shape, "expected x,y w,h rows");
        const TPt o = Point(t, row, Shape, parts[0]), size = Point(t, row, Shape, parts[1]);
        return CellPieces(Split(parts[2], '/'), o.x, o.y, size.x, size.y);
    }
    t.Fail(row, Kind, "expected polygon, ring, oval or cells");
}

// A glyph street: the pieces of each glyph moved by its offset, a reference point at the offset, every
// item in the glyph's group, the groups listed in order.
class TGlyphStreet {
public:
    void Add(const Cp1251String &name, const std::vector<TPiece> &pieces, TPt offset) {
        if (groups_.IndexOfName(name) < 0)
            groups_.Add(name + Cp1251String("=ON"));
        for (const TPiece &piece : pieces) {
            TAbstractItem *figure = street_.Lists(DesignFigureTypeCode).AddNew();
            for (const TPt &p : piece)
                figure->Points.InsertNewPoint(figure->Points.Count(),
                                              {float(p.x + offset.x), float(p.y + offset.y), 0});
            figure->SetGroupName(name);
        }
        TAbstractItem *ruler = street_.Lists(RulerTypeCode).AddNew();
        ruler->Points.InsertNewPoint(0, {float(offset.x), float(offset.y), 0});
        ruler->SetGroupName(name);
    }

    void Write(const TContext &ctx, const std::string &relName) {
        street_.SetGroupNames(groups_);
        TMemoryStream m;
        street_.SaveToStream(m);
        const std::vector<uint8_t> &bytes = m.Bytes();
        WriteDataFile(ctx, relName, std::string(bytes.begin(), bytes.end()));
    }

private:
    // A street's lists take their classes when it is made.
    [[maybe_unused]] bool registered_ = (RegisterObjects(), true);
    TStreetStructure street_;
    TNameValueList groups_;
};

Cp1251String Name(const TTable &t, std::size_t row, std::size_t column) {
    Cp1251String name;
    if (!Cp1251String::TryFromUtf8(t.Cell(row, column), name) || name.Empty() ||
        name.Contains(Cp1251String("=")))
        t.Fail(row, column, "expected a name in code page 1251 without \"=\"");
    return name;
}

} // namespace

void GenerateRoadGlyphs(const TContext &ctx) {
    constexpr double CellWidth = 0.16, CellHeight = 1.6 / 7;
    constexpr std::size_t GlyphRows = 7;
    {
        enum { Glyph, Cells };
        const TTable t(ctx.sources / "razmet" / "font.tsv", {"Glyph", "Cells"});
        TGlyphStreet street;
        std::set<Cp1251String> seen;
        for (std::size_t r = 0; r < t.Rows(); r += GlyphRows) {
            const Cp1251String name = Name(t, r, Glyph);
            if (name.Size() != 1 || !seen.insert(name).second)
                t.Fail(r, Glyph, "expected one character, not repeated");
            if (r + GlyphRows > t.Rows())
                t.Fail(r, Cells, "a glyph has 7 rows");
            std::vector<std::string> rows;
            for (std::size_t k = r; k < r + GlyphRows; ++k) {
                if (k > r && !t.Cell(k, Glyph).empty())
                    t.Fail(k, Glyph, "a glyph has 7 rows");
                if (t.Cell(k, Cells).size() != t.Cell(r, Cells).size() ||
                    t.Cell(k, Cells).find_first_not_of("X.") != std::string::npos)
                    t.Fail(k, Cells, "expected rows of one length of \"X\" and \".\"");
                rows.push_back(t.Cell(k, Cells));
            }
            street.Add(name, CellPieces(rows, 0, 0, CellWidth, CellHeight), {double(seen.size()) * 2.0, 0});
        }
        street.Write(ctx, "Разметка/RazmetFont.zrv");
    }
    {
        enum { Name_, Kind, Shape };
        const TTable t(ctx.sources / "razmet" / "signs.tsv", {"Name", "Kind", "Shape"});
        TGlyphStreet street;
        std::map<Cp1251String, TPt> offsets;
        for (std::size_t r = 0; r < t.Rows(); ++r) {
            const Cp1251String name = Name(t, r, Name_);
            const auto at = offsets.emplace(name, TPt{double(offsets.size()) * 3000.0, 0}).first;
            street.Add(name, SignPieces(t, r), at->second);
        }
        street.Write(ctx, "Знаки/ZnakRoadCopy.zrv");
    }
}

} // namespace datagen
