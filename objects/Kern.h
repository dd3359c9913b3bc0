#pragma once
// Pavement cores: where a sample was drilled out of the pavement. A design block named "Керн" (its symbol
// comes from the street's block library, else the default block) with a text label beside it and up to
// three pavement layers, each a material name and a thickness.
#include "engine/DxVertex.h"
#include "objects/DesignBlock.h"

#include <functional>
#include <vector>

class TTextureSurface;

// What core labels need of the texture font: the triangles of a text in font units (two per character,
// u and v on the font's texture) with the text's width and height, and that texture. The font unit sets
// it at start-up; without it labels are not drawn.
struct TKernLabelFont {
    std::function<void(const Cp1251String &text, std::vector<TDxVertex> &triangles, float &width,
                       float &height)>
        Triangles;
    TTextureSurface *Texture = nullptr;
};
void SetKernLabelFont(TKernLabelFont font);

class TKernItem : public TDesignBlockItem {
public:
    TKernItem();
    // The label batch (entry 0), with the font's texture when there is a font.
    static void ClassInitDrawBatches(TStreetStructure &street);
    int GetTypeCode() const override { return KernTypeCode; }

    // The design block's record, then "TXTLABEL", "MATNAME1", "MAT_H1  ", "MATNAME2", "MAT_H2  ",
    // "MATNAME3", "MAT_H3  ", all written; reading probes each in this order (a missing one is empty or 0).
    void LoadFromStream(TStream &stream) override;
    void SaveToStream(TStream &stream) const override;
    // The label beside the block, turned with the reference axis at the first vertex.
    void RebuildGraphics() override;

    const Cp1251String &KernLabel() const { return KernLabel_; }
    void SetLabel(const Cp1251String &text);

    // Layer i (1 to 3): material name and thickness.
    Cp1251String MatName1, MatName3, MatName2;
    float MatH1 = 0, MatH3 = 0, MatH2 = 0;

private:
    Cp1251String KernLabel_;
};

void RegisterKernItem();
