#include "engine/OrsekPeg.h"

#include "engine/MyJpegDCT_mmx.h"
#include "engine/MyJpegPack.h"
#include "engine/MyJpegQuant.h"
#include "engine/Streams.h"
#include "engine/StreetError.h"

#include <cstring>
#include <string>

namespace {

const char *const PlaneNames[3] = {"Y", "V", "U"};

uint32_t ReadLE32(const uint8_t *p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

} // namespace

void TOrsekPegCoder::CheckFormat(int32_t Width, int32_t Height, int32_t Quality) {
    auto fail = [](const std::string &reason) { RaiseStreetError("TOrsekPegCoder.Create", reason); };
    if (Width <= 0 || Height <= 0 || Width % 16 != 0 || Height % 16 != 0)
        fail("picture size " + std::to_string(Width) + "x" + std::to_string(Height) +
             " is not a positive multiple of 16");
    if (Width > MaxSide || Height > MaxSide || int64_t(Width) * Height > MaxPixels)
        fail("picture size " + std::to_string(Width) + "x" + std::to_string(Height) + " is too large");
    if (Quality < MinCoderQuality || Quality > MaxCoderQuality)
        fail("quality " + std::to_string(Quality) + " is outside " + std::to_string(MinCoderQuality) + ".." +
             std::to_string(MaxCoderQuality));
}

TOrsekPegCoder::TOrsekPegCoder(int32_t Width, int32_t Height, int32_t Quality) {
    CheckFormat(Width, Height, Quality);
    fWidth = Width;
    fHeight = Height;
    fQuality = Quality;
    for (int i = 0; i < 3; ++i) {
        TPlane &p = fPlanes[i];
        const int32_t blockSide = i == 0 ? 8 : 16;
        p.BlocksX = Width / blockSide;
        p.BlocksY = Height / blockSide;
        p.Count = p.BlocksX * p.BlocksY * 64;
        p.Coefs.assign(static_cast<std::size_t>(p.Count) + CoefPlaneMarginBytes / 2, 0);
        p.Masks.assign(static_cast<std::size_t>(p.Count / 64 + 7) / 8, 0);
    }
    FillShiftTable(fShift, Quality);
}

TOrsekPegCoder::~TOrsekPegCoder() = default;

void TOrsekPegCoder::GetMultipliers(int16_t M[64]) const {
    MakeMultipliers(fShift, M);
}

uint8_t *TOrsekPegCoder::PlaneDest(uint8_t *Dest, int Index, std::ptrdiff_t &Stride) const {
    const std::ptrdiff_t lumaSize = static_cast<std::ptrdiff_t>(fWidth) * fHeight;
    Stride = Index == 0 ? fWidth : fWidth / 2;
    return Index == 0 ? Dest : Dest + lumaSize + (Index - 1) * (lumaSize / 4);
}

void TOrsekPegCoder::TransformPlane(int Index, uint8_t *Dest) const {
    int16_t m[64];
    GetMultipliers(m);
    std::ptrdiff_t stride = 0;
    uint8_t *dest = PlaneDest(Dest, Index, stride);
    const TPlane &p = fPlanes[Index];
    if (fReference)
        DequantIdctPlaneRef(p.Coefs.data(), p.BlocksX, p.BlocksY, m, dest, stride);
    else
        DequantIdctPlane(p.Coefs.data(), p.BlocksX, p.BlocksY, m, dest, stride, p.Masks.data());
}

void TOrsekPegCoder::UnPackImage(uint8_t *Dest, int32_t ImgSize, const uint8_t *Data, int32_t DataSize) {
    const char *where = "TOrsekPegCoder.UnPackImage";
    if (ImgSize != ImageSize())
        RaiseStreetError(where, "ImgSize<>fWidth* fHeight div 2 * 3");
    const int64_t size = DataSize < 0 ? 0 : DataSize;
    int64_t at = 0;
    for (int i = 0; i < 3; ++i) {
        if (size - at < 4)
            RaiseStreetError(where, std::string("section ") + PlaneNames[i] + " runs past the frame data");
        const int64_t n = ReadLE32(Data + at);
        at += 4;
        if (size - at < n)
            RaiseStreetError(where, std::string("section ") + PlaneNames[i] + " runs past the frame data");
        TPlane &p = fPlanes[i];
        const std::span<int16_t> coefs(p.Coefs.data(), static_cast<std::size_t>(p.Count));
        // The fast path leaves whole zero groups unwritten and tells the transform which groups hold values.
        const int32_t got = fReference ? UnPackSmallInts(coefs, p.Count, Data + at, static_cast<int32_t>(n))
                                       : UnPackCoefPlane(std::span<int16_t>(p.Coefs), p.Count / 64, p.Masks,
                                                         Data + at, static_cast<int32_t>(n));
        // A short plane would show the coefficients of the previous picture.
        if (got != p.Count)
            RaiseStreetError(where, std::string("plane ") + PlaneNames[i] + " holds " + std::to_string(got) +
                                        " values, expected " + std::to_string(p.Count));
        at += n;
        TransformPlane(i, Dest);
    }
}

void TOrsekPegCoder::UnPackImageFromStream(uint8_t *Dest, int32_t ImgSize, TStream &Stream) {
    if (ImgSize != ImageSize())
        RaiseStreetError("TOrsekPegCoder.UnPackImageFromStream", "ImgSize<>fWidth* fHeight div 2 * 3");
    for (int i = 0; i < 3; ++i) {
        TPlane &p = fPlanes[i];
        UnPackSmallInts(std::span<int16_t>(p.Coefs.data(), static_cast<std::size_t>(p.Count)), p.Count,
                        Stream);
        if (!fReference)
            ComputeGroupMasks(p.Coefs.data(), p.Count / 64, p.Masks.data());
        TransformPlane(i, Dest);
    }
}

void TOrsekPegCoder::UnPackIcon(uint8_t *Dest, int32_t ImgSize, const uint8_t *Data, int32_t DataSize) {
    const char *where = "TOrsekPegCoder.UnPackIcon";
    if (ImgSize != IconSize())
        RaiseStreetError(where, "ImgSize<>fWidth * fHeight div 64 div 2 * 3");
    int16_t m[64];
    GetMultipliers(m);
    // The thumbnail is the block mean: DC * M[0] / 64, as the full decode reconstructs a lone DC.
    const int32_t dcMul = static_cast<uint16_t>(m[0]);
    const int64_t size = DataSize < 0 ? 0 : DataSize;
    int64_t at = 0;
    uint8_t *out = Dest;
    for (int i = 0; i < 3; ++i) {
        if (size - at < 4)
            RaiseStreetError(where, std::string("section ") + PlaneNames[i] + " runs past the frame data");
        const int64_t n = ReadLE32(Data + at);
        at += 4;
        if (size - at < n)
            RaiseStreetError(where, std::string("section ") + PlaneNames[i] + " runs past the frame data");
        TPlane &p = fPlanes[i];
        const int32_t blocks = p.Count / 64;
        const int32_t got =
            UnPackSmallInts(std::span<int16_t>(p.Coefs.data(), static_cast<std::size_t>(p.Count)), blocks,
                            Data + at, static_cast<int32_t>(n));
        if (got < blocks)
            RaiseStreetError(where, std::string("plane ") + PlaneNames[i] + " holds " + std::to_string(got) +
                                        " DC values, expected " + std::to_string(blocks));
        for (int32_t b = 0; b < blocks; ++b) {
            const int32_t v = p.Coefs[b] * dcMul / 64;
            out[b] = static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
        }
        out += blocks;
        at += n;
    }
}
