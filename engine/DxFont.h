#pragma once
// Vector fonts: text that belongs to the drawing and scales with it. Each character's outline is read once
// from the platform font as quadratic curves, flattened, triangulated and kept; a string is drawn from the
// kept triangles and contour lines, glyph after glyph along the advances, in one pair of draw calls.
#include "engine/Cp1251.h"
#include "engine/DxCalc_0.h"
#include "engine/DxVertex.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

struct TDxDrawParams;

// Where the anchor of a text lies, codes 0..8 (others count as 0): the text's top (0-2), middle (3-5) or
// baseline (6-8), and its left, centre or right. The factors multiply the text's width and height to give
// its offset from the anchor: x 0, -0.5, -1 by code mod 3; y -1, -0.5, 0 by code div 3.
struct TTextAlignFactors {
    float X = 0, Y = 0;
};
TTextAlignFactors TextAlignOffsets(int code);

// Font style bits, as a canvas's font keeps them.
constexpr uint8_t FontStyleBold = 1;
constexpr uint8_t FontStyleItalic = 2;
constexpr uint8_t FontStyleUnderline = 4;
constexpr uint8_t FontStyleStrikeOut = 8;

// The font of a canvas, as the loader reads it: a face name, the style bits and a height in pixels (above
// 0 the cell height, below 0 the character height) at 96 dots per inch.
struct TDxFontSource {
    std::string Name = "Arial";
    uint8_t Style = 0;
    int32_t Height = 133;
};

// One glyph, in font pixels with y up from the baseline.
struct TCharOutLine {
    TXYZArrays Contours; // each closed (the closing point not repeated)
    TXYZArray Lines;     // a line list of every contour edge
    TXYZArray Triangles; // three points each, covering the even-odd inside of the contours
    TXYZ Advance;        // to the next glyph's origin
    TXYZ Origin;         // top-left corner of the black box
    TXYZ OriginPlusBox;  // the origin plus the black box's size
};

class TDxFont {
public:
    // Reads all 256 glyphs (index = code-page-1251 code) of the source's font and triangulates them.
    // Raises EPlatformError when no scalable font can be read; the font is then unchanged.
    void LoadFromFont(const TDxFontSource &source);

    const std::string &Name() const { return name_; }
    uint8_t Style() const { return style_; }
    // The family the name was found as.
    const std::string &FamilyName() const { return family_; }
    const TCharOutLine &Glyph(unsigned char code) const { return chars_[code]; }

    // The absolute font size in points (also the text height used for alignment).
    int32_t Height() const { return size_; }
    // The sum of the characters' advances.
    int32_t TextWidth(const Cp1251String &text) const;
    // Draws the text at the origin of the renderer's World (which is pushed, moved by the alignment and
    // restored), in the colour, as outlines and/or filled.
    void DrawText(const TDxDrawParams &params, const Cp1251String &text, int alignment, D3DCOLOR color,
                  bool outline, bool fill);

    // The vertices DrawText draws (outlines into lines, filled glyphs into triangles, either may be null),
    // put through the transform instead of World and appended: texts of many places gathered into one
    // pair of draw calls.
    void AppendText(const Cp1251String &text, int alignment, D3DCOLOR color, const TDxMatrix &m,
                    std::vector<TDxVertex> *lines, std::vector<TDxVertex> *triangles) const;

private:
    void AppendGlyphs(const Cp1251String &text, D3DCOLOR color, float dx, float dy, const TDxMatrix *m,
                      std::vector<TDxVertex> *lines, std::vector<TDxVertex> *triangles) const;

    std::array<TCharOutLine, 256> chars_{};
    std::string name_, family_;
    uint8_t style_ = 0;
    int32_t size_ = 0;
    // The string's vertices, reused from draw to draw.
    std::vector<TDxVertex> lineBuffer_, triangleBuffer_;
};
