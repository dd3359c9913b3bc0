#include "tools/codec-fixture/CodecFixture.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <stdexcept>

namespace codecfixture {

namespace {

// Bits a group of four values needs: 0 for all zero, else 2, 4, 8 or 12.
int BitsFor(const int16_t *v) {
    int lo = 0, hi = 0;
    for (int i = 0; i < 4; ++i) {
        lo = std::min<int>(lo, v[i]);
        hi = std::max<int>(hi, v[i]);
    }
    if (lo == 0 && hi == 0)
        return 0;
    if (lo >= -2 && hi <= 1)
        return 2;
    if (lo >= -8 && hi <= 7)
        return 4;
    if (lo >= -128 && hi <= 127)
        return 8;
    if (lo >= -2048 && hi <= 2047)
        return 12;
    throw std::invalid_argument("PackInts: value outside -2048..2047");
}

void EmitRun(std::vector<uint8_t> &out, int bits, const int16_t *v, uint32_t groups, TCountStyle style) {
    const int kind = bits == 0 ? 0 : bits == 2 ? 1 : bits == 4 ? 2 : bits == 8 ? 3 : 4;
    int width; // count bytes: 0 short form, else 1, 2, 4
    switch (style) {
    case TCountStyle::Long8:
        width = 1;
        break;
    case TCountStyle::Long16:
        width = 2;
        break;
    case TCountStyle::Long32:
        width = 4;
        break;
    default:
        width = groups <= 15 ? 0 : groups <= 255 ? 1 : groups <= 65535 ? 2 : 4;
    }
    const uint32_t limit = width == 1 ? 255u : width == 2 ? 65535u : 0xFFFFFFFFu;
    if (width != 0 && groups > limit) {
        EmitRun(out, bits, v, limit, style);
        EmitRun(out, bits, v + 4 * static_cast<std::size_t>(limit), groups - limit, style);
        return;
    }
    if (width == 0) {
        out.push_back(static_cast<uint8_t>(((kind + 1) << 4) | groups));
    } else {
        out.push_back(static_cast<uint8_t>(kind * 3 + (width == 1 ? 1 : width == 2 ? 2 : 3)));
        for (int i = 0; i < width; ++i)
            out.push_back(static_cast<uint8_t>(groups >> (8 * i)));
    }
    const std::size_t n = 4 * static_cast<std::size_t>(groups);
    switch (bits) {
    case 2:
        for (std::size_t i = 0; i < n; i += 4)
            out.push_back(static_cast<uint8_t>((v[i] & 3) | ((v[i + 1] & 3) << 2) | ((v[i + 2] & 3) << 4) |
                                               ((v[i + 3] & 3) << 6)));
        break;
    case 4:
        for (std::size_t i = 0; i < n; i += 2)
            out.push_back(static_cast<uint8_t>((v[i] & 15) | ((v[i + 1] & 15) << 4)));
        break;
    case 8:
        for (std::size_t i = 0; i < n; ++i)
            out.push_back(static_cast<uint8_t>(v[i]));
        break;
    case 12:
        for (std::size_t i = 0; i < n; i += 2) {
            const uint32_t w =
                (static_cast<uint32_t>(v[i]) & 0xFFF) | ((static_cast<uint32_t>(v[i + 1]) & 0xFFF) << 12);
            out.push_back(static_cast<uint8_t>(w));
            out.push_back(static_cast<uint8_t>(w >> 8));
            out.push_back(static_cast<uint8_t>(w >> 16));
        }
        break;
    default:
        break;
    }
}

// Base shifts by coefficient position (row = vertical frequency).
constexpr int BaseShift[64] = {1, 1, 2, 2, 3, 3, 4, 4, 1, 1, 2, 2, 3, 3, 4, 4, 2, 2, 2, 2, 3, 3,
                               4, 4, 2, 2, 2, 2, 3, 3, 4, 4, 3, 3, 3, 3, 3, 3, 4, 4, 3, 3, 3, 3,
                               3, 3, 4, 4, 3, 4, 4, 4, 4, 4, 4, 4, 3, 4, 4, 4, 4, 4, 4, 4};

struct TBasis {
    double c[8][8]; // c[k][n]: orthonormal DCT-II basis
    TBasis() {
        for (int k = 0; k < 8; ++k)
            for (int n = 0; n < 8; ++n)
                c[k][n] =
                    (k == 0 ? std::sqrt(0.125) : 0.5) * std::cos((2 * n + 1) * k * std::numbers::pi / 16);
    }
};

void AppendLE32(std::vector<uint8_t> &out, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

} // namespace

std::vector<uint8_t> PackInts(std::span<const int16_t> values, TCountStyle style) {
    if (values.size() % 4 != 0)
        throw std::invalid_argument("PackInts: count is not a multiple of 4");
    std::vector<uint8_t> out{0x00};
    const std::size_t groups = values.size() / 4;
    std::size_t g = 0;
    while (g < groups) {
        const int bits = BitsFor(values.data() + 4 * g);
        std::size_t e = g + 1;
        while (e < groups && BitsFor(values.data() + 4 * e) == bits)
            ++e;
        EmitRun(out, bits, values.data() + 4 * g, static_cast<uint32_t>(e - g), style);
        g = e;
    }
    out.push_back(0xFF);
    return out;
}

int Multiplier(int k, int quality) {
    return 1 << (BaseShift[k] + quality + 2);
}

std::vector<int16_t> EncodePlane(const uint8_t *samples, int width, int height, std::ptrdiff_t stride,
                                 int quality) {
    static const TBasis basis;
    const int bx = width / 8, by = height / 8, blocks = bx * by;
    std::vector<int16_t> plane(static_cast<std::size_t>(blocks) * 64);
    for (int b = 0; b < blocks; ++b) {
        const uint8_t *src = samples + (b / bx) * 8 * stride + (b % bx) * 8;
        double rows[8][8]; // rows[y][v]: horizontal transform of each row
        for (int y = 0; y < 8; ++y)
            for (int v = 0; v < 8; ++v) {
                double s = 0;
                for (int x = 0; x < 8; ++x)
                    s += basis.c[v][x] * src[y * stride + x];
                rows[y][v] = s;
            }
        for (int u = 0; u < 8; ++u)
            for (int v = 0; v < 8; ++v) {
                double s = 0;
                for (int y = 0; y < 8; ++y)
                    s += basis.c[u][y] * rows[y][v];
                const int k = 8 * u + v;
                const int m = Multiplier(k, quality);
                // The decoder reconstructs 1/8 of the orthonormal inverse of coefficient * m; keep the
                // product within 16 bits and the value within the 12-bit kind.
                const double limit = std::min(2047.0, std::floor(32767.0 / m));
                const double q = std::clamp(std::nearbyint(8 * s / m), -limit, limit);
                plane[static_cast<std::size_t>(k) * blocks + b] = static_cast<int16_t>(q);
            }
    }
    return plane;
}

std::vector<uint8_t> PackFrame(std::span<const int16_t> y, std::span<const int16_t> v,
                               std::span<const int16_t> u, TCountStyle style) {
    std::vector<uint8_t> out;
    for (auto plane : {y, v, u}) {
        const std::vector<uint8_t> packed = PackInts(plane, style);
        AppendLE32(out, static_cast<uint32_t>(packed.size()));
        out.insert(out.end(), packed.begin(), packed.end());
    }
    return out;
}

std::vector<uint8_t> EncodeFrame(const uint8_t *yuv, int width, int height, int quality) {
    const std::size_t luma = static_cast<std::size_t>(width) * height;
    const auto y = EncodePlane(yuv, width, height, width, quality);
    const auto v = EncodePlane(yuv + luma, width / 2, height / 2, width / 2, quality);
    const auto u = EncodePlane(yuv + luma + luma / 4, width / 2, height / 2, width / 2, quality);
    return PackFrame(y, v, u);
}

std::vector<uint8_t> BgrxToYuv420(const uint8_t *bgrx, int width, int height, std::ptrdiff_t stride) {
    const std::size_t luma = static_cast<std::size_t>(width) * height;
    std::vector<uint8_t> out(luma + luma / 2);
    auto clamp = [](double v) { return static_cast<uint8_t>(std::clamp(std::nearbyint(v), 0.0, 255.0)); };
    auto lumaOf = [](const uint8_t *p) { return 0.114 * p[0] + 0.587 * p[1] + 0.299 * p[2]; };
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            out[static_cast<std::size_t>(y) * width + x] = clamp(lumaOf(bgrx + y * stride + 4 * x));
    const int cw = width / 2, ch = height / 2;
    for (int j = 0; j < ch; ++j)
        for (int i = 0; i < cw; ++i) {
            double v = 0, u = 0;
            for (int dy = 0; dy < 2; ++dy)
                for (int dx = 0; dx < 2; ++dx) {
                    const uint8_t *p = bgrx + (2 * j + dy) * stride + 4 * (2 * i + dx);
                    const double l = lumaOf(p);
                    v += (p[2] - l) / 1.402;
                    u += (p[0] - l) / 1.772;
                }
            out[luma + static_cast<std::size_t>(j) * cw + i] = clamp(v / 4 + 127);
            out[luma + luma / 4 + static_cast<std::size_t>(j) * cw + i] = clamp(u / 4 + 127);
        }
    return out;
}

std::vector<uint8_t> TestPicture(int width, int height, uint32_t seed) {
    std::vector<uint8_t> px(static_cast<std::size_t>(width) * height * 4);
    uint32_t state = seed * 2654435761u + 1;
    auto noise = [&state]() {
        state = state * 1664525u + 1013904223u;
        return static_cast<int>((state >> 24) & 15) - 8;
    };
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const double fx = static_cast<double>(x) / width, fy = static_cast<double>(y) / height;
            double r = 60 + 120 * fx, g = 50 + 150 * fy, b = 200 - 120 * fx * fy;
            // A disc, a dark band and fine stripes give edges and high frequencies.
            const double dx = fx - 0.6, dy = fy - 0.4;
            if (dx * dx + dy * dy < 0.04) {
                r = 230;
                g = 210;
                b = 40;
            }
            if (std::fabs(fy - 0.75 + 0.2 * fx) < 0.03)
                r = g = b = 25;
            if (fx < 0.3 && fy > 0.5)
                g += 30 * std::sin(x * 0.9) * std::cos(y * 0.7);
            uint8_t *p = px.data() + (static_cast<std::size_t>(y) * width + x) * 4;
            p[0] = static_cast<uint8_t>(std::clamp(b + noise(), 0.0, 255.0));
            p[1] = static_cast<uint8_t>(std::clamp(g + noise(), 0.0, 255.0));
            p[2] = static_cast<uint8_t>(std::clamp(r + noise(), 0.0, 255.0));
            p[3] = 0;
        }
    return px;
}

} // namespace codecfixture
