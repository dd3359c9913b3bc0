#pragma once
// Glyphs painted on the road surface at an oriented point: road text ("СТОП", road numbers) and painted
// copies of signs. The glyphs are drawn immediately from the glyph tables (RazmetGlyphs); the retained
// batch of each type holds only a small label with the marking's standard number. The glyphs' x runs
// from vertex 0 towards vertex 1.
#include "engine/Cp1251.h"
#include "model/ItemTypeCodes.h"
#include "objects/OrientPointItem.h"

#include <cstdint>
#include <optional>

class TRazmetTextItem : public TOrientPointItem {
public:
    // One triangle batch with the texture font's atlas (the labels).
    static void ClassInitDrawBatches(TStreetStructure &street);
    int GetTypeCode() const override { return RazmetTextTypeCode; }

    // The point-item record, then "TEXTTEXT" (string), always written, probed on reading.
    void LoadFromStream(TStream &stream) override;
    void SaveToStream(TStream &stream) const override;
    // The standard number beside the text, turned to read along the reference axis.
    void RebuildGraphics() override;
    // The glyphs one after the other from vertex 0, 2.5 times as long with the street's ARROWBIG flag.
    void Draw(const TDxDrawParams &params, uint32_t layer) override;

    const Cp1251String &Text() const { return Text_; }
    void SetText(const Cp1251String &text);

    // "1.21" for exactly "СТОП", else "1.22".
    Cp1251String GetGostNumber() const;
    // Square metres of paint: the glyph areas of the characters; unknown when the font file could not be
    // read or a character other than the space has no glyph of its own.
    std::optional<double> GetPaintArea() const;
    // The sum of the characters' advances (metres).
    double TextLength() const;

private:
    Cp1251String Text_;
};

class TRazmetZnakItem : public TOrientPointItem {
public:
    static void ClassInitDrawBatches(TStreetStructure &street);
    int GetTypeCode() const override { return RazmetZnakTypeCode; }

    // The point-item record, then "ZNAKNAME" (string), always written, probed on reading.
    void LoadFromStream(TStream &stream) override;
    void SaveToStream(TStream &stream) const override;
    // The standard number and "(" + name + ")" beside the sign.
    void RebuildGraphics() override;
    // The frame and the sign glyph (millimetres) from vertex 0; the default rectangle when neither exists.
    void Draw(const TDxDrawParams &params, uint32_t layer) override;

    const Cp1251String &SignName() const { return SignName_; }
    // The glyphs are looked up again at the next use.
    void SetSignName(const Cp1251String &name);

    // By the first character of the name: "1.24.1", "1.24.2" ("3"), "1.24.3" ("8"), "1.24.4(*)" ("5"),
    // else "????".
    Cp1251String GetGostNumber() const;
    // Square metres of paint of the frame and the sign glyph (0.3125 x 0.3125 of it for names beginning
    // with "5"); unknown when the glyph file could not be read or the name has no glyph.
    std::optional<double> GetPaintArea() const;

    // Indexes into the sign glyph table (-1: none), as last looked up.
    int32_t FrameGlyph() const { return FrameGlyph_; }
    int32_t SignGlyph() const { return SignGlyph_; }
    bool GlyphsResolved() const { return GlyphsResolved_; }

private:
    // Looks both glyphs up when the name changed or the table was made again since.
    void ResolveGlyphs() const;

    Cp1251String SignName_;
    // Caches of the lookup: not stored, so they may change under a const item.
    mutable int32_t FrameGlyph_ = -1, SignGlyph_ = -1;
    mutable bool GlyphsResolved_ = false;
    mutable uint64_t ResolvedGeneration_ = 0;
};

void RegisterRazmetTextItem();
void RegisterRazmetZnakItem();
