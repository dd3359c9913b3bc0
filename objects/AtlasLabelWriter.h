#pragma once
// Atlas text of items: the glyph quads of a label through a transform into a triangle batch that draws
// with the atlas (guide-axis pickets, dimension values).
#include "engine/Cp1251.h"
#include "engine/DxCalc_0.h"
#include "engine/DxPrimCollection.h"
#include "engine/FontTexture.h"
#include "engine/MatrixShell.h"

#include <vector>

class TAtlasLabelWriter {
public:
    TAtlasLabelWriter(TDxPrimCollection *batch, TFontTexture *atlas, TDxOwnerKey owner)
        : batch_(batch), atlas_(atlas), owner_(owner) {}
    bool Enabled() const { return batch_ && atlas_ && atlas_->AtlasSize() > 0; }
    float Width(const Cp1251String &text) const { return float(atlas_->TextWidth(text)); }
    float Height() const { return float(atlas_->TextHeight()); }

    // The glyphs moved by (gx, gy), scaled by (sx, sy, sy), turned about Z by angle (clockwise positive,
    // as the transforms turn) and moved to the point.
    void Add(const Cp1251String &text, float gx, float gy, float sx, float sy, float angle, const TXYZ &at,
             float liftY = 0) {
        atlas_->TextQuads(text, quads_);
        if (quads_.empty())
            return;
        TMatrixShell &m = batch_->Transform();
        m.LoadIdentity();
        m.Translate(true, gx, gy, 0);
        m.Scale(true, sx, sy, sy);
        if (liftY != 0)
            m.Translate(true, 0, liftY, 0);
        m.RotateZ(true, angle);
        m.Translate(true, at.x, at.y, at.z);
        batch_->AddPrimitives(owner_, quads_, quads_.size() / 3);
        m.LoadIdentity();
    }

private:
    TDxPrimCollection *batch_;
    TFontTexture *atlas_;
    TDxOwnerKey owner_;
    std::vector<TDxVertex> quads_;
};
