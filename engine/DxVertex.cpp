#include "engine/DxVertex.h"

#include <algorithm>
#include <cstdio>

std::string D3DColorToStr(D3DCOLOR color) {
    char text[16];
    std::snprintf(text, sizeof text, "r%2Xg%2Xb%2X", unsigned(color >> 16 & 0xFF),
                  unsigned(color >> 8 & 0xFF), unsigned(color & 0xFF));
    return text;
}

void SetVerticesColor(std::span<TDxVertex> vertices, D3DCOLOR color, std::size_t count) {
    for (TDxVertex &v : vertices.first(std::min(count, vertices.size())))
        v.color = color;
}
