// The plan window the item pixel tests draw into: W x H pixels, PixelsPerMetre pixels a metre, x from 0
// and y down from Top, so plan point (x, y) lands on pixel (x, Top - y) times the scale.
#pragma once

#include "engine/DxCalc_0.h"

namespace planwindow {

constexpr int W = 400, H = 400;
constexpr float PixelsPerMetre = 20;
constexpr float Top = 18;

// Plan metres to clip space, origin at the top-left pixel's centre, z at 0.5.
inline TDxMatrix PlanToClip() {
    TDxMatrix m{};
    m.m[0][0] = 2.0f * PixelsPerMetre / W;
    m.m[1][1] = 2.0f * PixelsPerMetre / H;
    m.m[2][2] = 1;
    m.m[3][0] = -1;
    m.m[3][1] = 1 - 2.0f * PixelsPerMetre * Top / H;
    m.m[3][2] = 0.5f;
    m.m[3][3] = 1;
    return m;
}

} // namespace planwindow
