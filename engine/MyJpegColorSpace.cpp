#include "engine/MyJpegColorSpace.h"

#include "engine/StreetError.h"

#include <string>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

uint8_t Clamp255(int v) {
    return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
}

// Chroma bytes are offsets from 127 taken as a signed byte: 0..254 give -127..127 and 255 gives -128.
int ChromaOffset(uint8_t c) {
    return static_cast<int8_t>(static_cast<uint8_t>(c - 127));
}

void ConvertPixel(int y, int sv, int su, uint8_t *px) {
    px[0] = Clamp255(y + ((454 * su) >> 8));
    px[1] = Clamp255(y - ((183 * sv) >> 8) - ((88 * su) >> 8));
    px[2] = Clamp255(y + ((359 * sv) >> 8));
    px[3] = 0;
}

// Converts pixels [x0, Width) of rows 2i and 2i+1 with the scalar formula.
void ConvertRowPairTail(const uint8_t *y0, const uint8_t *y1, const uint8_t *v, const uint8_t *u, int32_t x0,
                        int32_t width, uint8_t *d0, uint8_t *d1) {
    for (int32_t x = x0; x < width; ++x) {
        const int sv = ChromaOffset(v[x / 2]);
        const int su = ChromaOffset(u[x / 2]);
        ConvertPixel(y0[x], sv, su, d0 + 4 * x);
        ConvertPixel(y1[x], sv, su, d1 + 4 * x);
    }
}

uint8_t SubAdd(uint8_t p, uint8_t sub, uint8_t add) {
    const int d = p - sub < 0 ? 0 : p - sub;
    return static_cast<uint8_t>(d + add > 255 ? 255 : d + add);
}

void CheckSizes(const char *where, int32_t width, int32_t height) {
    if (width < 0 || height < 0 || (width & 1) || (height & 1))
        RaiseStreetError(where, "picture size " + std::to_string(width) + "x" + std::to_string(height) +
                                    " is not even");
}

} // namespace

void YuvToBgrxRef(const uint8_t *Buffer, int32_t Width, int32_t Height, uint8_t *Dest,
                  std::ptrdiff_t Stride) {
    const std::ptrdiff_t cw = Width / 2;
    const uint8_t *vPlane = Buffer + static_cast<std::ptrdiff_t>(Width) * Height;
    const uint8_t *uPlane = vPlane + cw * (Height / 2);
    for (int32_t i = 0; i < Height / 2; ++i)
        ConvertRowPairTail(Buffer + 2 * i * static_cast<std::ptrdiff_t>(Width),
                           Buffer + (2 * i + 1) * static_cast<std::ptrdiff_t>(Width), vPlane + i * cw,
                           uPlane + i * cw, 0, Width, Dest + 2 * i * Stride, Dest + (2 * i + 1) * Stride);
}

#if defined(__SSE2__)
namespace {

// 16 pixels of one row: luma bytes y, per-pair chroma terms (eight lanes, each for two pixels). Large
// aligned pictures are written with streaming stores: they are four times the decoded buffer and would
// only push it out of the cache.
template <bool Stream>
inline void ConvertRow16(const uint8_t *y, __m128i dR, __m128i dG, __m128i dB, uint8_t *d) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i yy = _mm_loadu_si128(reinterpret_cast<const __m128i *>(y));
    const __m128i yLo = _mm_unpacklo_epi8(yy, zero), yHi = _mm_unpackhi_epi8(yy, zero);
    const __m128i rLo = _mm_unpacklo_epi16(dR, dR), rHi = _mm_unpackhi_epi16(dR, dR);
    const __m128i gLo = _mm_unpacklo_epi16(dG, dG), gHi = _mm_unpackhi_epi16(dG, dG);
    const __m128i bLo = _mm_unpacklo_epi16(dB, dB), bHi = _mm_unpackhi_epi16(dB, dB);
    const __m128i r = _mm_packus_epi16(_mm_add_epi16(yLo, rLo), _mm_add_epi16(yHi, rHi));
    const __m128i g = _mm_packus_epi16(_mm_sub_epi16(yLo, gLo), _mm_sub_epi16(yHi, gHi));
    const __m128i b = _mm_packus_epi16(_mm_add_epi16(yLo, bLo), _mm_add_epi16(yHi, bHi));
    const __m128i bgLo = _mm_unpacklo_epi8(b, g), bgHi = _mm_unpackhi_epi8(b, g);
    const __m128i r0Lo = _mm_unpacklo_epi8(r, zero), r0Hi = _mm_unpackhi_epi8(r, zero);
    auto *out = reinterpret_cast<__m128i *>(d);
    if constexpr (Stream) {
        _mm_stream_si128(out + 0, _mm_unpacklo_epi16(bgLo, r0Lo));
        _mm_stream_si128(out + 1, _mm_unpackhi_epi16(bgLo, r0Lo));
        _mm_stream_si128(out + 2, _mm_unpacklo_epi16(bgHi, r0Hi));
        _mm_stream_si128(out + 3, _mm_unpackhi_epi16(bgHi, r0Hi));
    } else {
        _mm_storeu_si128(out + 0, _mm_unpacklo_epi16(bgLo, r0Lo));
        _mm_storeu_si128(out + 1, _mm_unpackhi_epi16(bgLo, r0Lo));
        _mm_storeu_si128(out + 2, _mm_unpacklo_epi16(bgHi, r0Hi));
        _mm_storeu_si128(out + 3, _mm_unpackhi_epi16(bgHi, r0Hi));
    }
}

// Eight chroma bytes to signed offsets (c - 127 as a signed byte) times 256 in 16-bit lanes: mulhi with
// the coefficient then gives floor(coefficient * offset / 256) exactly.
inline __m128i ChromaTimes256(const uint8_t *c) {
    const __m128i raw = _mm_loadl_epi64(reinterpret_cast<const __m128i *>(c));
    const __m128i s = _mm_sub_epi8(raw, _mm_set1_epi8(127));
    return _mm_unpacklo_epi8(_mm_setzero_si128(), s); // the signed byte in the high half
}

template <bool Stream>
void YuvToBgrxRows(const uint8_t *Buffer, int32_t Width, int32_t Height, uint8_t *Dest,
                   std::ptrdiff_t Stride) {
    const std::ptrdiff_t cw = Width / 2;
    const uint8_t *vPlane = Buffer + static_cast<std::ptrdiff_t>(Width) * Height;
    const uint8_t *uPlane = vPlane + cw * (Height / 2);
    const int32_t groups = Width / 16;
    const __m128i kR = _mm_set1_epi16(359), kGv = _mm_set1_epi16(183), kGu = _mm_set1_epi16(88),
                  kB = _mm_set1_epi16(454);
    for (int32_t i = 0; i < Height / 2; ++i) {
        const uint8_t *y0 = Buffer + 2 * i * static_cast<std::ptrdiff_t>(Width);
        const uint8_t *y1 = y0 + Width;
        const uint8_t *v = vPlane + i * cw;
        const uint8_t *u = uPlane + i * cw;
        uint8_t *d0 = Dest + 2 * i * Stride;
        uint8_t *d1 = d0 + Stride;
        for (int32_t g = 0; g < groups; ++g) {
            const __m128i sv = ChromaTimes256(v + 8 * g);
            const __m128i su = ChromaTimes256(u + 8 * g);
            const __m128i dR = _mm_mulhi_epi16(sv, kR);
            const __m128i dG = _mm_add_epi16(_mm_mulhi_epi16(sv, kGv), _mm_mulhi_epi16(su, kGu));
            const __m128i dB = _mm_mulhi_epi16(su, kB);
            ConvertRow16<Stream>(y0 + 16 * g, dR, dG, dB, d0 + 64 * g);
            ConvertRow16<Stream>(y1 + 16 * g, dR, dG, dB, d1 + 64 * g);
        }
        ConvertRowPairTail(y0, y1, v, u, 16 * groups, Width, d0, d1);
    }
    if constexpr (Stream)
        _mm_sfence();
}

} // namespace

void YuvToBgrxSse2(const uint8_t *Buffer, int32_t Width, int32_t Height, uint8_t *Dest,
                   std::ptrdiff_t Stride) {
    const bool aligned = (reinterpret_cast<std::uintptr_t>(Dest) % 16) == 0 && Stride % 16 == 0;
    if (aligned && Stride * Height >= (std::ptrdiff_t(1) << 20))
        YuvToBgrxRows<true>(Buffer, Width, Height, Dest, Stride);
    else
        YuvToBgrxRows<false>(Buffer, Width, Height, Dest, Stride);
}
#else
void YuvToBgrxSse2(const uint8_t *Buffer, int32_t Width, int32_t Height, uint8_t *Dest,
                   std::ptrdiff_t Stride) {
    YuvToBgrxRef(Buffer, Width, Height, Dest, Stride);
}
#endif

void YuvToBitmap(TFrameBitmap &Bitmap, const uint8_t *Buffer, int32_t Width, int32_t Height) {
    CheckSizes("YuvToBitmap", Width, Height);
    if (Bitmap.Width != Width || Bitmap.Height != Height ||
        Bitmap.Stride < 4 * static_cast<std::ptrdiff_t>(Width))
        RaiseStreetError("YuvToBitmap", "bitmap size differs from the picture's");
    if (Width == 0 || Height == 0)
        return;
    YuvToBgrxSse2(Buffer, Width, Height, Bitmap.ScanLine(0), Bitmap.Stride);
}

// ---- sharpening ----

namespace {

// The scaled copy S with one repeated byte at each row end, so that neighbours at x - 1 and x + 1 are
// plain loads: row r starts at Row(r), Row(r)[-1] = Row(r)[0], Row(r)[Width] = Row(r)[Width - 1].
class TScaledCopy {
public:
    TScaledCopy(const uint8_t *plane, int32_t width, int32_t height, uint16_t factor)
        : stride_(static_cast<std::ptrdiff_t>(width) + 2),
          bytes_(static_cast<std::size_t>(stride_ * height + 16)) {
        for (int32_t r = 0; r < height; ++r) {
            const uint8_t *src = plane + r * static_cast<std::ptrdiff_t>(width);
            uint8_t *dst = Row(r);
            for (int32_t x = 0; x < width; ++x)
                dst[x] = static_cast<uint8_t>((src[x] * static_cast<uint32_t>(factor)) >> 16);
            dst[-1] = dst[0];
            dst[width] = dst[width - 1];
        }
    }
    uint8_t *Row(int32_t r) { return bytes_.data() + r * stride_ + 1; }

private:
    std::ptrdiff_t stride_;
    std::vector<uint8_t> bytes_;
};

void SharpenColumns(uint8_t *p0, uint8_t *p1, const uint8_t *s0, const uint8_t *s1, int32_t x0,
                    int32_t width) {
    for (int32_t x = x0; x < width; ++x) {
        p0[x] = SubAdd(p0[x], s1[x], s0[x]);
        p1[x] = SubAdd(p1[x], s0[x], s1[x]);
        p0[x] = SubAdd(p0[x], s0[x - 1], s0[x]);
        p0[x] = SubAdd(p0[x], s0[x + 1], s0[x]);
    }
}

} // namespace

void SharpenYuvPlaneRef(uint8_t *Plane, int32_t Width, int32_t Height, uint16_t Factor) {
    if (Width <= 0 || Height < 2)
        return;
    TScaledCopy s(Plane, Width, Height, Factor);
    for (int32_t r = 0; r + 1 < Height; ++r)
        SharpenColumns(Plane + r * static_cast<std::ptrdiff_t>(Width),
                       Plane + (r + 1) * static_cast<std::ptrdiff_t>(Width), s.Row(r), s.Row(r + 1), 0,
                       Width);
}

#if defined(__SSE2__)
void SharpenYuvPlaneSse2(uint8_t *Plane, int32_t Width, int32_t Height, uint16_t Factor) {
    if (Width <= 0 || Height < 2)
        return;
    TScaledCopy s(Plane, Width, Height, Factor);
    const int32_t whole = Width & ~15;
    for (int32_t r = 0; r + 1 < Height; ++r) {
        uint8_t *p0 = Plane + r * static_cast<std::ptrdiff_t>(Width);
        uint8_t *p1 = p0 + Width;
        const uint8_t *s0 = s.Row(r);
        const uint8_t *s1 = s.Row(r + 1);
        for (int32_t x = 0; x < whole; x += 16) {
            auto load = [](const uint8_t *q) {
                return _mm_loadu_si128(reinterpret_cast<const __m128i *>(q));
            };
            const __m128i c0 = load(s0 + x), c1 = load(s1 + x), left = load(s0 + x - 1),
                          right = load(s0 + x + 1);
            __m128i a = load(p0 + x), b = load(p1 + x);
            a = _mm_adds_epu8(_mm_subs_epu8(a, c1), c0);
            b = _mm_adds_epu8(_mm_subs_epu8(b, c0), c1);
            a = _mm_adds_epu8(_mm_subs_epu8(a, left), c0);
            a = _mm_adds_epu8(_mm_subs_epu8(a, right), c0);
            _mm_storeu_si128(reinterpret_cast<__m128i *>(p0 + x), a);
            _mm_storeu_si128(reinterpret_cast<__m128i *>(p1 + x), b);
        }
        SharpenColumns(p0, p1, s0, s1, whole, Width);
    }
}
#else
void SharpenYuvPlaneSse2(uint8_t *Plane, int32_t Width, int32_t Height, uint16_t Factor) {
    SharpenYuvPlaneRef(Plane, Width, Height, Factor);
}
#endif

void SharpenYuvPlane(uint8_t *Plane, int32_t Width, int32_t Height, uint16_t Factor) {
    SharpenYuvPlaneSse2(Plane, Width, Height, Factor);
}

uint16_t SharpenFactorFromPercent(int32_t Percent) {
    if (Percent <= 0)
        return 0;
    if (Percent >= 100)
        return 65535;
    return static_cast<uint16_t>((Percent * 65536 + 50) / 100);
}
