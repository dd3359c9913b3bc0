#pragma once
// The drawing vertices and colour helpers shared by the renderer, the textures and the retained batches.
#include "platform/d3d9/D3D9.h"

#include <cstdint>
#include <span>
#include <string>

// 24 bytes, vertex format 0x142 (XYZ | DIFFUSE | TEX1): position, colour (stored as the bytes B, G, R, A),
// texture coordinates.
struct TDxVertex {
    float x = 0, y = 0, z = 0;
    D3DCOLOR color = 0;
    float u = 0, v = 0;
};
static_assert(sizeof(TDxVertex) == 24);

// 16 bytes, vertex format 0x42 (XYZ | DIFFUSE): a vertex without texture coordinates.
struct TDxColorVertex {
    float x = 0, y = 0, z = 0;
    D3DCOLOR color = 0;
};
static_assert(sizeof(TDxColorVertex) == 16);

constexpr DWORD DxVertexFVF = D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1;
constexpr DWORD DxColorVertexFVF = D3DFVF_XYZ | D3DFVF_DIFFUSE;

// (a << 24) | (r << 16) | (g << 8) | b.
constexpr D3DCOLOR MakeD3DColor(uint8_t r, uint8_t g, uint8_t b, uint8_t a) {
    return D3DCOLOR(a) << 24 | D3DCOLOR(r) << 16 | D3DCOLOR(g) << 8 | D3DCOLOR(b);
}

// "r" red "g" green "b" blue, each byte in upper-case hexadecimal at least two wide, padded on the left with
// a blank: 0x00FF0A05 gives "rFFg Ab 5".
std::string D3DColorToStr(D3DCOLOR color);

// Sets the colour of the first count vertices (count is limited to the vertices given).
void SetVerticesColor(std::span<TDxVertex> vertices, D3DCOLOR color, std::size_t count);
