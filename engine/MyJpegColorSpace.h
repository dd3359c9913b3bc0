#pragma once
// Colour conversion of decoded YUV 4:2:0 pictures to 32-bit pixels, and the sharpening filter of video
// frames. Reference paths are plain scalar code; the SSE2 paths must give the same bytes.
#include "engine/MyJpegTypes.h"

#include <cstddef>
#include <cstdint>

// YUV 4:2:0 buffer (Y: Width*Height, then V and U: (Width/2)*(Height/2) each) to blue, green, red, 0
// pixels; row 0 of Y is Dest's first row. Width and Height are even.
void YuvToBgrxRef(const uint8_t *Buffer, int32_t Width, int32_t Height, uint8_t *Dest, std::ptrdiff_t Stride);
void YuvToBgrxSse2(const uint8_t *Buffer, int32_t Width, int32_t Height, uint8_t *Dest,
                   std::ptrdiff_t Stride);
// Converts into a bitmap the caller has already sized Width x Height (throws EStreetError when the size
// differs or Width or Height is odd).
void YuvToBitmap(TFrameBitmap &Bitmap, const uint8_t *Buffer, int32_t Width, int32_t Height);

// Sharpens a luma plane in place: each pixel gains Factor/65536 times (4p - up - down - left - right),
// clamped after every step.
void SharpenYuvPlaneRef(uint8_t *Plane, int32_t Width, int32_t Height, uint16_t Factor);
void SharpenYuvPlaneSse2(uint8_t *Plane, int32_t Width, int32_t Height, uint16_t Factor);
void SharpenYuvPlane(uint8_t *Plane, int32_t Width, int32_t Height, uint16_t Factor);

// The filter factor for a sharpening percentage: percent/100 of 65536 rounded, 0 at or below 0 %, and the
// strongest factor 65535 at 100 % and above.
uint16_t SharpenFactorFromPercent(int32_t Percent);
