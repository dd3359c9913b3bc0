#include "objects/RazmetLabelPlaceItem.h"

#include "engine/DxPrimBuilders.h"
#include "engine/FontsDataForm.h"
#include "engine/MatrixShell.h"
#include "model/ItemIndex.h"
#include "model/ItemLayers.h"
#include "model/RazmetParams2.h"
#include "model/StreetStructure.h"
#include "objects/ArrowRazmetItem.h"
#include "objects/AxisItem.h"
#include "objects/LineRazmetItem.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

uint64_t Layouts = 0;

} // namespace

Cp1251String MarkingLabelText(const Cp1251String &code) {
    const std::string &bytes = code.Bytes();
    Cp1251String text(bytes.substr(0, bytes.find('_')));
    if (text == Cp1251String("1.4") || text == Cp1251String("1.10"))
        text = text + Cp("(желтая)");
    return text;
}

float MarkingLabelOffset(bool mirror, bool side, bool flipped, float dmin, float dmax) {
    switch (int(mirror) + 2 * int(side) + 4 * int(flipped)) {
    case 0:
    case 5:
        return dmax;
    case 1:
    case 4:
        return -dmin;
    case 2:
    case 7:
        return dmin;
    default: // 3, 6
        return -dmax;
    }
}

uint64_t LabelPlaceLayouts() {
    return Layouts;
}

void TRazmetLabelPlaceItem::ClassInitDrawBatches(TStreetStructure &street) {
    TItemBatchPtr line = NewItemBatch(TBatchKind::Lines);
    line->SetColor(LineColor);
    TItemBatchPtr labels = NewItemBatch(TBatchKind::Triangles);
    labels->SetColor(MakeD3DColor(0, 0, 0, 255));
    if (TFontsDataForm *fonts = TFontsDataForm::Instance())
        if (TDxPrimCollection *c = PrimCollection(labels.get()))
            c->SetTexture(fonts->SmallArialTexture(false));
    street.TypeBatches(RazmetLabelPlaceTypeCode) = {line, labels};
}

void TRazmetLabelPlaceItem::AddLabel(TLineRazmetItem &marking, float t, const TXYZ &a, const TXYZ &b,
                                     bool hasAxis) {
    TLblCashRec rec;
    const TXYZ pos = marking.Points.PointAtParam(t);
    double dir = marking.Points.DirectionAtParam(t);
    float axisDir = 0;
    bool flipped = false;
    if (hasAxis && GuideAxisDirectionAt(*this, pos, axisDir) && std::cos(dir - axisDir) < 0.1) {
        flipped = true;
        dir += std::numbers::pi;
    }
    const double edge = std::atan2(double(b.y) - a.y, double(b.x) - a.x);
    const bool side = std::sin(dir - edge) > 0;
    float offset = 0;
    const TStreetStructure *street = Street();
    // The records as they stand now (the marking binds its own again only when it is drawn).
    const int32_t index = street ? FindLnParam(street->LnParams(), marking.Gost()) : -1;
    if (index >= 0) {
        const TLnParamRec &p = street->LnParams()[std::size_t(index)];
        const float d1 = std::isfinite(p.Disp1) ? p.Disp1 : 0, d2 = std::isfinite(p.Disp2) ? p.Disp2 : 0;
        offset = MarkingLabelOffset(marking.Mirror() != 0, side, flipped, std::min(d1, d2), std::max(d1, d2));
    }
    rec.Text = MarkingLabelText(marking.Gost());
    rec.X = pos.x;
    rec.Y = pos.y;
    rec.Z = pos.z;
    rec.Offset = offset;
    rec.Cos = float(std::cos(dir));
    rec.Sin = float(std::sin(dir));
    rec.Side = side ? 1 : 0;
    if (std::isfinite(rec.X) && std::isfinite(rec.Y) && std::isfinite(rec.Cos) && std::isfinite(rec.Sin))
        Labels_.push_back(std::move(rec));
}

void TRazmetLabelPlaceItem::LayOutLabels() {
    ++Layouts;
    Labels_.clear();
    TStreetStructure *street = Street();
    const int n = Points.Count();
    if (!street || n < 2)
        return;
    const bool hasAxis = dynamic_cast<const TAxisItem *>(GetReferAxis()) != nullptr;
    std::vector<TAbstractItem *> found;
    for (int i = 0; i + 1 < n; ++i) {
        const TXYZ a = Points.GetPoint(i), b = Points.GetPoint(i + 1);
        const TItemBounds box{std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y)};
        found.clear();
        street->ItemIndex().InRect(box, TItemTypeSet{LineRazmetTypeCode}, found);
        // The markings in list order, so the labels come out in the same order whatever the index holds.
        std::sort(found.begin(), found.end(),
                  [](const TAbstractItem *x, const TAbstractItem *y) { return x->ListOrder() < y->ListOrder(); });
        for (TAbstractItem *item : found) {
            auto *marking = dynamic_cast<TLineRazmetItem *>(item);
            float t = 0;
            if (marking && marking->Active && marking->Points.IntersectsSegment(a, b, t))
                AddLabel(*marking, t, a, b, hasAxis);
        }
    }
}

void TRazmetLabelPlaceItem::RebuildGraphics() {
    TStreetStructure *street = Street();
    Points.EnsureGeometry();
    LayOutLabels();
    if (!street || Points.Count() < 2)
        return;
    TDxPrimCollection *line = TypePrimCollection(*street, RazmetLabelPlaceTypeCode, 0);
    TDxPrimCollection *labels = TypePrimCollection(*street, RazmetLabelPlaceTypeCode, 1);
    if (line) {
        line->SetLayerMask(TechLayerMask);
        DxAddPolyline(*line, Serial(), Points.GetPoints());
    }
    TFontsDataForm *fonts = TFontsDataForm::Instance();
    TFontTexture *atlas = fonts ? fonts->SmallArialTexture() : nullptr;
    if (!labels || !atlas || atlas->AtlasSize() <= 0)
        return;
    if (labels->Texture() != atlas)
        labels->SetTexture(atlas);
    labels->SetLayerMask(PlanLayerMask);
    const double s = double(street->GetZnakScale()) * 0.09;
    const float scale = std::isfinite(s) && s != 0 ? float(s) : 0.09f;
    const float h = float(atlas->TextHeight());
    std::vector<TDxVertex> quads;
    for (const TLblCashRec &rec : Labels_) {
        atlas->TextQuads(rec.Text, quads);
        if (quads.empty())
            continue;
        const float w = float(atlas->TextWidth(rec.Text));
        const float dir = float(std::atan2(double(rec.Sin), double(rec.Cos)));
        // The stack applies the last step first: the text is set on its base, scaled, moved off the
        // marking across it, turned along it and moved to the crossing.
        TMatrixShell &m = labels->Transform();
        m.PushMatrix();
        m.Translate(false, rec.X, rec.Y, rec.Z);
        m.RotateZ(false, -dir);
        m.Translate(false, 0, rec.Offset, 0);
        m.Scale(false, scale, scale, scale);
        m.Translate(false, -w / 2, rec.Side ? -h : 0, 0);
        labels->AddPrimitives(Serial(), quads, quads.size() / 3);
        m.PopMatrix();
    }
}

void RegisterRazmetLabelPlaceItem() {
    ItemClasses.Register(std::make_unique<TItemClassOf<TRazmetLabelPlaceItem>>(RazmetLabelPlaceTypeCode));
}
