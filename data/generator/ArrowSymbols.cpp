// The lane-arrow library "Разметка/ArrowRazmet.std" (data/marking/arrows.tsv).
#include "Generators.h"
#include "Tables.h"

#include "engine/Cp1251.h"
#include "engine/DxTess3.h"

#include <set>

namespace datagen {

namespace {

enum ArrowColumn { ArName, ArMirrorY, ArGostSubName, ArDescriptionLow, ArDescriptionHigh, ArOutline };

constexpr float BigScale = 1.5f;

std::string IniText(const TTable &t, std::size_t row, std::size_t column) {
    Cp1251String text;
    if (!Cp1251String::TryFromUtf8(t.Cell(row, column), text))
        t.Fail(row, column, "has a character without a code-page-1251 form");
    if (text.Empty() || text.Bytes().find_first_of("[]=;\r\n") != std::string::npos)
        t.Fail(row, column, "empty, or holds a character the INI form cannot keep");
    return text.Bytes();
}

// "x,y x,y ..." as points; at least 3, triangulating whole.
TXYZArray Outline(const TTable &t, std::size_t row) {
    TXYZArray points;
    for (const std::string &pair : Split(t.Cell(row, ArOutline), ' ')) {
        const auto xy = Split(pair, ',');
        std::size_t nx = 0, ny = 0;
        float x = 0, y = 0;
        try {
            if (xy.size() == 2) {
                x = std::stof(xy[0], &nx);
                y = std::stof(xy[1], &ny);
            }
        } catch (const std::exception &) {
        }
        if (xy.size() != 2 || nx != xy[0].size() || ny != xy[1].size())
            t.Fail(row, ArOutline, "\"" + pair + "\" is not x,y");
        points.push_back({x, y, 0});
    }
    if (points.size() < 3)
        t.Fail(row, ArOutline, "fewer than 3 points");
    const TTriangulation tri = Triangulate(points);
    if (!tri.Complete || tri.Triangles.empty())
        t.Fail(row, ArOutline, "does not triangulate: " + tri.Error);
    return points;
}

std::string OutlineValue(const TXYZArray &points, float scale) {
    std::string s;
    for (const TXYZ &p : points)
        s += SingleText(p.x * scale) + "&" + SingleText(p.y * scale) + "#";
    return s;
}

} // namespace

void GenerateArrowSymbols(const TContext &ctx) {
    const TTable arrows(ctx.sources / "marking" / "arrows.tsv",
                        {"Name", "MirrorY", "GostSubName", "DescriptionLow", "DescriptionHigh", "Outline"});
    std::set<std::string> names;
    std::string ini;
    for (std::size_t r = 0; r < arrows.Rows(); ++r) {
        const std::string name = IniText(arrows, r, ArName);
        if (!names.insert(name).second)
            arrows.Fail(r, ArName, "repeated name");
        const TXYZArray outline = Outline(arrows, r);
        if (r > 0)
            ini += "\r\n";
        ini += "[" + name + "]\r\n";
        ini += "LineLoop1=" + OutlineValue(outline, 1) + "\r\n";
        ini += "LineLoop2=" + OutlineValue(outline, BigScale) + "\r\n";
        ini += std::string("MirrorY=") + (arrows.Flag(r, ArMirrorY) ? "1" : "0") + "\r\n";
        ini += "DescriptionLow=" + IniText(arrows, r, ArDescriptionLow) + "\r\n";
        ini += "DescriptionHigh=" + IniText(arrows, r, ArDescriptionHigh) + "\r\n";
        ini += "GostSubName=" + IniText(arrows, r, ArGostSubName) + "\r\n";
    }
    WriteDataFile(ctx, "Разметка/ArrowRazmet.std", ini);
}

} // namespace datagen
