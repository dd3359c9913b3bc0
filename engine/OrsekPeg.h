#pragma once
// The frame codec of video survey frames and raster tiles: YUV 4:2:0 pictures in 8x8 blocks, a fixed-point
// inverse DCT and power-of-two quantisation, each plane stored coefficient-major as packed small integers.
// The program only decodes. One coder serves every picture of its size and quality.
#include "engine/MyJpegTypes.h"

#include <cstdint>
#include <vector>

class TStream;

class TOrsekPegCoder {
public:
    // Largest picture side and area a coder accepts (sizes come from file headers).
    static constexpr int32_t MaxSide = 16384;
    static constexpr int64_t MaxPixels = int64_t(1) << 26;

    // Throws EStreetError "TOrsekPegCoder.Create: ..." unless Width and Height are positive multiples of
    // 16 within MaxSide and MaxPixels and Quality keeps every shift in 0..14 (MinCoderQuality to
    // MaxCoderQuality). File readers call it when a file opens.
    static void CheckFormat(int32_t Width, int32_t Height, int32_t Quality);

    TOrsekPegCoder(int32_t Width, int32_t Height, int32_t Quality);
    ~TOrsekPegCoder();
    TOrsekPegCoder(const TOrsekPegCoder &) = delete;
    TOrsekPegCoder &operator=(const TOrsekPegCoder &) = delete;

    int32_t Width() const { return fWidth; }
    int32_t Height() const { return fHeight; }
    int32_t Quality() const { return fQuality; }
    // Bytes of a decoded picture (Width*Height*3/2) and of a decoded thumbnail (Width/8 by Height/8).
    int32_t ImageSize() const { return fWidth * fHeight / 2 * 3; }
    int32_t IconSize() const { return fWidth * fHeight / 64 / 2 * 3; }
    // 2 << shift per coefficient position, in 16 bits.
    void GetMultipliers(int16_t M[64]) const;

    // Decodes a packed frame (three sections Y, V, U: u32 byte count, packed stream) held in memory into
    // the YUV 4:2:0 buffer Dest of ImgSize bytes. Every section must lie within DataSize and decode to
    // exactly its plane's count of values.
    void UnPackImage(uint8_t *Dest, int32_t ImgSize, const uint8_t *Data, int32_t DataSize);
    // The same from a stream positioned at the first section.
    void UnPackImageFromStream(uint8_t *Dest, int32_t ImgSize, TStream &Stream);
    // Decodes the 1/8-scale thumbnail (one pixel per 8x8 block) from the DC coefficients alone.
    void UnPackIcon(uint8_t *Dest, int32_t ImgSize, const uint8_t *Data, int32_t DataSize);

    // Decode with the plain scalar reference paths (full plane writes, per-block transform) instead of
    // the fast ones; the bytes must be the same. For tests.
    void SetReferencePaths(bool On) { fReference = On; }

private:
    struct TPlane {
        std::vector<int16_t> Coefs;  // values plus CoefPlaneMarginBytes
        std::vector<uint64_t> Masks; // per group of eight blocks: the coefficients present
        int32_t Count = 0;           // values
        int32_t BlocksX = 0, BlocksY = 0;
    };
    void TransformPlane(int Index, uint8_t *Dest) const;
    uint8_t *PlaneDest(uint8_t *Dest, int Index, std::ptrdiff_t &Stride) const;

    int32_t fHeight = 0;
    int32_t fWidth = 0;
    TPlane fPlanes[3]; // Y, V, U
    int32_t fQuality = 0;
    uint16_t fShift[64] = {};
    bool fReference = false;
};
