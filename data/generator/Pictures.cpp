// Small fixed pictures: the default design block, the built-in design-line textures, the kilometre plate,
// the hatch laid over selected polygons, the manhole cover and the drain grating.
#include "Bmp.h"
#include "Generators.h"
#include "Tables.h"

namespace datagen {

namespace {

enum Column { PicFile, PicWidth, PicHeight, PicBackground, PicRects };

TRgb ParseRgb(const TTable &t, std::size_t row, std::size_t column, const std::string &text) {
    const auto parts = Split(text, ',');
    if (parts.size() != 3)
        t.Fail(row, column, "expected r,g,b in \"" + text + "\"");
    int v[3];
    for (int i = 0; i < 3; ++i) {
        try {
            std::size_t n = 0;
            v[i] = std::stoi(parts[i], &n);
            if (n != parts[i].size() || v[i] < 0 || v[i] > 255)
                throw std::invalid_argument("range");
        } catch (const std::exception &) {
            t.Fail(row, column, "bad colour \"" + text + "\"");
        }
    }
    return TRgb{uint8_t(v[0]), uint8_t(v[1]), uint8_t(v[2])};
}

// "a-b" of whole pixels with 0 <= a < b <= limit.
void ParseSpan(const TTable &t, std::size_t row, const std::string &text, int limit, int &a, int &b) {
    const auto parts = Split(text, '-');
    try {
        if (parts.size() != 2)
            throw std::invalid_argument("form");
        std::size_t n0 = 0, n1 = 0;
        a = std::stoi(parts[0], &n0);
        b = std::stoi(parts[1], &n1);
        if (n0 != parts[0].size() || n1 != parts[1].size() || a < 0 || a >= b || b > limit)
            throw std::invalid_argument("range");
    } catch (const std::exception &) {
        t.Fail(row, PicRects, "bad pixel span \"" + text + "\" (0 <= a < b <= " + std::to_string(limit) + ")");
    }
}

// "disc:cx,cy,r:r,g,b": the pixels whose centres lie within r of (cx, cy).
void PaintDisc(const TTable &t, std::size_t row, const std::vector<std::string> &parts, int w, int h,
               std::vector<TRgb> &pixels) {
    const auto numbers = Split(parts[1], ',');
    double v[3] = {0, 0, 0};
    try {
        if (numbers.size() != 3)
            throw std::invalid_argument("form");
        for (int i = 0; i < 3; ++i) {
            std::size_t n = 0;
            v[i] = std::stod(numbers[std::size_t(i)], &n);
            if (n != numbers[std::size_t(i)].size() || !(v[i] >= 0 && v[i] <= 4096))
                throw std::invalid_argument("range");
        }
    } catch (const std::exception &) {
        t.Fail(row, PicRects, "bad disc \"" + parts[1] + "\" (cx,cy,r)");
    }
    const TRgb c = ParseRgb(t, row, PicRects, parts[2]);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const double dx = x + 0.5 - v[0], dy = y + 0.5 - v[1];
            if (dx * dx + dy * dy <= v[2] * v[2])
                pixels[std::size_t(y) * w + x] = c;
        }
}

} // namespace

void GeneratePictures(const TContext &ctx) {
    const TTable t(ctx.sources / "pictures" / "pictures.tsv", {"file", "width", "height", "background", "rects"});
    for (std::size_t row = 0; row < t.Rows(); ++row) {
        const int w = t.Int(row, PicWidth, 1, 4096), h = t.Int(row, PicHeight, 1, 4096);
        std::vector<TRgb> pixels(std::size_t(w) * h, ParseRgb(t, row, PicBackground, t.Cell(row, PicBackground)));
        for (const std::string &rect : Split(t.Cell(row, PicRects), ' ')) {
            if (rect.empty())
                continue;
            const auto parts = Split(rect, ':');
            if (parts.size() == 3 && parts[0] == "disc") {
                PaintDisc(t, row, parts, w, h, pixels);
                continue;
            }
            if (parts.size() != 3)
                t.Fail(row, PicRects, "expected x0-x1:y0-y1:r,g,b in \"" + rect + "\"");
            int x0, x1, y0, y1;
            ParseSpan(t, row, parts[0], w, x0, x1);
            ParseSpan(t, row, parts[1], h, y0, y1);
            const TRgb c = ParseRgb(t, row, PicRects, parts[2]);
            for (int y = y0; y < y1; ++y)
                for (int x = x0; x < x1; ++x)
                    pixels[std::size_t(y) * w + x] = c;
        }
        const auto bytes = EncodeBmp24(w, h, pixels);
        WriteDataFile(ctx, t.Cell(row, PicFile), std::string(bytes.begin(), bytes.end()));
    }
}

} // namespace datagen
