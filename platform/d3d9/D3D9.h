#pragma once
// Our stand-in for the subset of the Direct3D 9 device that the drawing code uses, on OpenGL 3.3 core.
// Only the types and constants our callers use are declared here.
#include <cstdint>

enum D3DTRANSFORMSTATETYPE : int32_t {
    D3DTS_VIEW = 2,
    D3DTS_PROJECTION = 3,
    D3DTS_WORLD = 256,
};

// 4 x 4 singles for row vectors (translation in the fourth row); same layout as the engine's TDxMatrix.
struct D3DMATRIX {
    float m[4][4];
};

class IDirect3DDevice9 {
public:
    virtual ~IDirect3DDevice9() = default;
    virtual void SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX &matrix) = 0;
};
