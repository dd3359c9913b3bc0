// The default line-marking table and its textures.
#include "Bmp.h"
#include "Generators.h"
#include "Tables.h"

#include "engine/Cp1251.h"

#include <map>
#include <set>

namespace datagen {

namespace {

const char *const Folder = "Разметка/";
const TRgb ColourKey{255, 255, 255};

enum TextureColumn { TexFile, TexWidth, TexHeight, TexTint, TexRects };
enum LineColumn {
    LnName,
    LnTexture,
    LnPeriod,
    LnDisp1,
    LnDisp2,
    LnSqCoeff,
    LnFullPeriods,
    LnYellow,
    LnPlastic,
    LnCountItems,
    LnDescription
};

// "a-b" with 0 <= a <= b <= 1.
bool ParseRange(const std::string &s, float &a, float &b) {
    const auto parts = Split(s, '-');
    if (parts.size() != 2)
        return false;
    try {
        std::size_t n0 = 0, n1 = 0;
        a = std::stof(parts[0], &n0);
        b = std::stof(parts[1], &n1);
        return n0 == parts[0].size() && n1 == parts[1].size() && 0 <= a && a <= b && b <= 1;
    } catch (const std::exception &) {
        return false;
    }
}

std::string TextureBytes(const TTable &t, std::size_t row) {
    const int w = t.Int(row, TexWidth, 1, 4096), h = t.Int(row, TexHeight, 1, 4096);
    const auto rgb = Split(t.Cell(row, TexTint), ',');
    if (rgb.size() != 3)
        t.Fail(row, TexTint, "expected r,g,b");
    TRgb tint;
    uint8_t *channel[] = {&tint.r, &tint.g, &tint.b};
    for (int i = 0; i < 3; ++i) {
        int v = -1;
        try {
            std::size_t n = 0;
            v = std::stoi(rgb[i], &n);
            if (n != rgb[i].size())
                v = -1;
        } catch (const std::exception &) {
        }
        if (v < 0 || v > 255)
            t.Fail(row, TexTint, "\"" + rgb[i] + "\" is not 0..255");
        *channel[i] = static_cast<uint8_t>(v);
    }
    if (tint.r == ColourKey.r && tint.g == ColourKey.g && tint.b == ColourKey.b)
        t.Fail(row, TexTint, "the tint is the colour key and would not show");
    std::vector<TRgb> pixels(static_cast<std::size_t>(w) * h, ColourKey);
    for (const std::string &rect : Split(t.Cell(row, TexRects), ' ')) {
        const auto vu = Split(rect, ':');
        float v0, v1, u0, u1;
        if (vu.size() != 2 || !ParseRange(vu[0], v0, v1) || !ParseRange(vu[1], u0, u1))
            t.Fail(row, TexRects, "\"" + rect + "\" is not v0-v1:u0-u1 within 0..1");
        const int y0 = static_cast<int>(v0 * h + 0.5f), y1 = static_cast<int>(v1 * h + 0.5f);
        const int x0 = static_cast<int>(u0 * w + 0.5f), x1 = static_cast<int>(u1 * w + 0.5f);
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x)
                pixels[static_cast<std::size_t>(y) * w + x] = tint;
    }
    const auto bytes = EncodeBmp24(w, h, pixels);
    return std::string(bytes.begin(), bytes.end());
}

// One text field of a record: code page 1251, at most 255 bytes, one line.
std::string RecordText(const TTable &t, std::size_t row, std::size_t column, bool required) {
    Cp1251String text;
    if (!Cp1251String::TryFromUtf8(t.Cell(row, column), text))
        t.Fail(row, column, "has a character without a code-page-1251 form");
    if (text.Size() > 255)
        t.Fail(row, column, "longer than 255 bytes");
    if (required && text.Empty())
        t.Fail(row, column, "empty");
    return text.Bytes();
}

} // namespace

void GenerateLineMarkings(const TContext &ctx) {
    const TTable textures(ctx.sources / "marking" / "textures.tsv",
                          {"file", "width", "height", "tint", "rects"});
    std::set<std::string> textureFiles;
    for (std::size_t r = 0; r < textures.Rows(); ++r) {
        const std::string &file = textures.Cell(r, TexFile);
        if (file.empty() || file.find_first_of("/\\:") != std::string::npos ||
            !textureFiles.insert(file).second)
            textures.Fail(r, TexFile, "empty, a path or a repeated name");
        WriteDataFile(ctx, Folder + file, TextureBytes(textures, r));
    }

    const TTable lines(ctx.sources / "marking" / "Default.LnRazmet.tsv",
                       {"Name", "TextureFile", "Period", "Disp1", "Disp2", "SqCoeff", "FullPeriods", "Yellow",
                        "Plastic", "CountItems", "Description"});
    std::set<std::string> names;
    std::string ini;
    for (std::size_t r = 0; r < lines.Rows(); ++r) {
        const std::string name = RecordText(lines, r, LnName, true);
        if (!names.insert(name).second)
            lines.Fail(r, LnName, "repeated code");
        if (!textureFiles.count(lines.Cell(r, LnTexture)))
            lines.Fail(r, LnTexture, "not a texture of textures.tsv");
        const float period = lines.Single(r, LnPeriod), sq = lines.Single(r, LnSqCoeff);
        const float disp1 = lines.Single(r, LnDisp1), disp2 = lines.Single(r, LnDisp2);
        if (!(period > 0))
            lines.Fail(r, LnPeriod, "not positive");
        if (disp1 == disp2)
            lines.Fail(r, LnDisp2, "the strip has no width");
        if (!(sq > 0 && sq <= 1))
            lines.Fail(r, LnSqCoeff, "not within (0, 1]");
        // The form the program's own writer gives, so that reading and writing the file keeps its bytes.
        if (r > 0)
            ini += "\r\n";
        ini += "[" + name + "]\r\n";
        ini += "TextureFile=" + RecordText(lines, r, LnTexture, true) + "\r\n";
        ini += "Period=" + SingleText(period) + "\r\n";
        ini += "Disp1=" + SingleText(disp1) + "\r\n";
        ini += "Disp2=" + SingleText(disp2) + "\r\n";
        ini += "Description=" + RecordText(lines, r, LnDescription, false) + "\r\n";
        ini += "SqCoeff=" + SingleText(sq) + "\r\n";
        for (const auto &[key, column] :
             {std::pair{"FullPeriods", LnFullPeriods}, std::pair{"Yellow", LnYellow},
              std::pair{"Plastic", LnPlastic}, std::pair{"CountItems", LnCountItems}})
            ini += std::string(key) + "=" + (lines.Flag(r, column) ? "1" : "0") + "\r\n";
    }
    WriteDataFile(ctx, std::string(Folder) + "Default.LnRazmet", ini);
}

} // namespace datagen
