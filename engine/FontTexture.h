#pragma once
// Atlas text: small annotations that stay readable at any zoom (picket numbers, sizes). The 256 characters
// of the code page are drawn once into a 16 x 16 grid of cells of one texture; a string becomes two
// textured triangles per character.
#include "engine/Cp1251.h"
#include "engine/DxTexture.h"
#include "engine/DxVertex.h"

#include <array>
#include <cstdint>
#include <vector>

// The font an atlas is drawn with: a face name, the height in pixels (below 0 the character height, above 0
// the cell height) and the colour of the characters.
struct TFontTextureSource {
    std::string Name = "Arial";
    int32_t Height = -12;
    uint32_t Color = 0x000000; // 0x00RRGGBB
};

// Pixels of the character height of a font of that many points at 96 dots per inch (a negative height).
int32_t FontHeightOfPoints(int32_t points);

class TFontTexture : public TTextureSurface {
public:
    struct TCell {
        int32_t X = 0, Y = 0;          // top-left corner in the atlas
        int32_t Width = 0, Height = 0; // the character's extent plus 1
        float S0 = 0, T0 = 0, DS = 0, DT = 0;
    };

    // Draws the atlas (size x size pixels): the characters on white with a light halo, white transparent.
    // A font too large for 16 cells across or down is made smaller until the cells fit.
    void BuildFromCanvas(const TFontTextureSource &source, int32_t size);

    // Six vertices a character (z and colour 0) into the block, which is resized to that (its storage is
    // reused); in atlas units: x along the text from 0, y from 0 up to the text height.
    void TextQuads(const Cp1251String &text, std::vector<TDxVertex> &block) const;
    // Round(largest character height x scale).
    int32_t TextHeight() const;
    // Round(sum of the characters' widths x scale).
    int32_t TextWidth(const Cp1251String &text) const;

    const TCell &Cell(unsigned char code) const { return cells_[code]; }
    int32_t AtlasSize() const { return size_; }
    int32_t MaxCharWidth() const { return maxW_; }
    int32_t MaxCharHeight() const { return maxH_; }
    // 256 / atlas size: atlas units are pixels of a 256-pixel atlas.
    float Scale() const { return scale_; }
    // The pixel height the characters were drawn at (the source's, or smaller when it did not fit).
    int32_t FontHeight() const { return fontHeight_; }

private:
    std::array<TCell, 256> cells_{};
    int32_t size_ = 0, maxW_ = 0, maxH_ = 0, fontHeight_ = 0;
    float scale_ = 1;
};
