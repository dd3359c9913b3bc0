#pragma once
// Free text on the plan: vertex 0 is the anchor and the direction to vertex 1 the baseline. The text is
// drawn every frame in a vector font, filled or outlined, or as its frame rectangle when it is too small
// to read. Sixteen size units make one metre of text height.
#include "engine/Cp1251.h"
#include "engine/DxCalc_0.h"
#include "model/ItemTypeCodes.h"
#include "objects/OrientPointItem.h"
#include "engine/DxVertex.h"

#include <cstdint>
#include <string>

class TDxFont;

// A label's frame in metres about its anchor, in the text's own frame (x along the baseline).
struct TTextFrame {
    double X0 = 0, X1 = 0, Y0 = 0, Y1 = 0;
};

class TTextLabelItem : public TOrientPointItem {
public:
    static constexpr int32_t DefaultSize = 12;
    static constexpr uint8_t DefaultAlign = 6;
    // A pixel covering this many font units or more shows the frame instead of the glyphs.
    static constexpr double FrameFromUnitsPerPixel = 20;

    TTextLabelItem();
    // A triangle and a line batch, both (1, 1, 1); the labels add nothing to them (they draw each frame).
    static void ClassInitDrawBatches(TStreetStructure &street);
    int GetTypeCode() const override { return TextLabelTypeCode; }

    // The point record, then "TXTLTEXT", "TXTLSIZE", "TXTLCOLR", "TXTLFONT", "TXTLSTYL", "TXTLALGN" and
    // "TXTLOUTL", all written; reading probes each (a record without "TXTLFONT" takes "Arial").
    void LoadFromStream(TStream &stream) override;
    void SaveToStream(TStream &stream) const override;
    void Draw(const TDxDrawParams &params, uint32_t layer) override;
    // The four frame corners moved to the anchor and turned with the direction, then through the view.
    void GetTransformedPoints(const TMatrixShell &view, TXYZArray &points) const override;

    // The frame of the text (GetTextFrame) with the font of the fonts object; a text without a font to
    // measure it by is 0 wide.
    TTextFrame GetTextFrame() const;
    // The same for a text w metres wide.
    static TTextFrame FrameOfWidth(double w, int32_t size, uint8_t align);
    // The text's width in metres in that font.
    double TextWidthMetres(const TDxFont *font) const;
    // Metres per font unit.
    double UnitMetres() const { return double(Size_) / 100 / 15.625; }
    // The vector font of the label's face and style; nullptr without the fonts object.
    TDxFont *Font() const;

    const Cp1251String &Text() const { return Text_; }
    void SetText(const Cp1251String &text);
    int32_t Size() const { return Size_; }
    void SetSize(int32_t size);
    D3DCOLOR Color() const { return Color_; }
    void SetColor(D3DCOLOR color);
    const Cp1251String &FontName() const { return FontName_; }
    void SetFontName(const Cp1251String &name);
    uint8_t Style() const { return Style_; }
    void SetStyle(uint8_t style);
    uint8_t Align() const { return Align_; }
    void SetAlign(uint8_t align);
    bool Outline() const { return Outline_ != 0; }
    void SetOutline(bool outline);

private:
    void Changed();

    Cp1251String Text_;
    int32_t Size_ = DefaultSize;
    D3DCOLOR Color_ = MakeD3DColor(5, 5, 5, 255);
    Cp1251String FontName_;
    uint8_t Style_ = 0;
    uint8_t Align_ = DefaultAlign;
    uint8_t Outline_ = 0;
};

void RegisterTextLabelItem();
