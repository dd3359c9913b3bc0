#include "objects/KolodItem.h"

#include "engine/DxDraw.h"
#include "engine/DxFont.h"
#include "engine/FontsDataForm.h"
#include "engine/MatrixShell.h"
#include "model/ItemLayers.h"
#include "model/ItemTypes.h"
#include "model/StreamTags.h"
#include "model/StreetStructure.h"
#include "objects/ItemTextures.h"

#include <array>
#include <cmath>
#include <vector>

namespace {

const Cp1251String &TextureFolder() {
    static const Cp1251String folder = Cp("Текстуры");
    return folder;
}

// Two triangles (corners 0, 1, 2 and 3, 0, 2) with u, v (0, 0), (1, 0), (1, 1), (0, 1) in corner order.
std::array<TDxVertex, 6> TexturedQuad(const std::array<TXYZ, 4> &c) {
    const auto v = [&](int i, float u, float t) { return TDxVertex{c[i].x, c[i].y, c[i].z, 0, u, t}; };
    return {v(0, 0, 0), v(1, 1, 0), v(2, 1, 1), v(3, 0, 1), v(0, 0, 0), v(2, 1, 1)};
}

} // namespace

uint8_t EffectiveTextAlign(uint8_t code) {
    return code > 8 ? TKolodItem::DefaultTextAlign : code;
}

// ---- Manholes

void TKolodItem::ClassInitDrawBatches(TStreetStructure &street) {
    TItemBatchPtr squares = NewItemBatch(TBatchKind::Triangles);
    squares->SetColor(MakeD3DColor(5, 5, 5, 255));
    SetItemTexture(*squares, TextureFolder(), Cp1251String("Kolod.bmp"));
    TItemBatchPtr labels = NewItemBatch(TBatchKind::Triangles);
    labels->SetColor(MakeD3DColor(0, 0, 0, 255));
    if (TFontsDataForm *fonts = TFontsDataForm::Instance())
        if (TDxPrimCollection *c = PrimCollection(labels.get()))
            c->SetTexture(fonts->SmallArialTexture(false));
    street.TypeBatches(KolodTypeCode) = {squares, labels};
}

void TKolodItem::LoadFromStream(TStream &stream) {
    const char *what = "TKolodItem.LoadFromStream";
    TPointItem::LoadFromStream(stream);
    Cp1251String owner;
    uint8_t align = DefaultTextAlign;
    if (CheckStreamTag(stream, "KOLODOWN"))
        owner = ReadStreamString(stream, what);
    if (CheckStreamTag(stream, "KOLTXALG"))
        align = EffectiveTextAlign(stream.ReadByte(what));
    Owner_ = std::move(owner);
    TextAlign_ = align;
}

void TKolodItem::SaveToStream(TStream &stream) const {
    TPointItem::SaveToStream(stream);
    if (!Owner_.Empty()) {
        WriteStreamTag(stream, "KOLODOWN");
        WriteStreamString(stream, Owner_);
    }
    WriteStreamTag(stream, "KOLTXALG");
    stream.WriteByte(TextAlign_);
}

void TKolodItem::SetOwner(const Cp1251String &owner) {
    Owner_ = owner;
    Points.SetChanged(true);
}

void TKolodItem::SetTextAlign(uint8_t code) {
    TextAlign_ = EffectiveTextAlign(code);
    Points.SetChanged(true);
}

void TKolodItem::SetSize(float size) {
    Size_ = size;
    Points.InvalidateGraphics();
}

void TKolodItem::LabelTransform(TMatrixShell &m, const TXYZ &at, float theta, float size, uint8_t align,
                                float w, float h) {
    // Each step applies to the glyphs before the ones above it.
    const TTextAlignFactors f = TextAlignOffsets(EffectiveTextAlign(align));
    m.Translate(false, at.x, at.y, at.z);
    m.RotateZ(false, -theta);
    m.Translate(false, (0.5f + f.X) * size, (0.4f + f.Y) * size, 0);
    m.Scale(false, 0.08f, 0.1f, 0.1f);
    m.Translate(false, w * f.X, h * f.Y, 0);
}

void TKolodItem::RebuildGraphics() {
    TStreetStructure *street = Street();
    Points.EnsureGeometry();
    if (!street || Points.Count() < 1)
        return;
    const TXYZ p = Points.GetPoint(0);
    if (TDxPrimCollection *squares = TypePrimCollection(*street, KolodTypeCode, 0)) {
        // A manhole of size 0 is drawn a metre wide.
        const float h = Size_ != 0 ? Size_ / 2 : 0.5f;
        const std::array<TDxVertex, 6> quad =
            TexturedQuad({{{p.x - h, p.y - h, p.z}, {p.x + h, p.y - h, p.z}, {p.x + h, p.y + h, p.z},
                           {p.x - h, p.y + h, p.z}}});
        squares->SetLayerMask(PlanLayerMask);
        squares->AddPrimitives(Serial(), quad, 2);
    }
    TDxPrimCollection *labels = TypePrimCollection(*street, KolodTypeCode, 1);
    TFontsDataForm *fonts = TFontsDataForm::Instance();
    TFontTexture *atlas = fonts ? fonts->SmallArialTexture() : nullptr;
    if (Owner_.Empty() || !labels || !atlas || atlas->AtlasSize() <= 0)
        return;
    // The fonts object may have come after the batches were made.
    if (labels->Texture() != atlas)
        labels->SetTexture(atlas);
    std::vector<TDxVertex> quads;
    atlas->TextQuads(Owner_, quads);
    if (quads.size() < 3)
        return;
    float theta = 0;
    if (TAbstractItem *axis = GetReferAxis(); axis && axis->Points.Count() > 1)
        theta = axis->Points.DirectionAtParam(axis->Points.ParamOfPoint(p));
    TMatrixShell &m = labels->Transform();
    m.PushMatrix();
    LabelTransform(m, p, theta, Size_, TextAlign_, float(atlas->TextWidth(Owner_)), float(atlas->TextHeight()));
    labels->SetLayerMask(PlanLayerMask);
    labels->AddPrimitives(Serial(), quads, quads.size() / 3);
    m.PopMatrix();
}

// ---- Gratings

void TReshetItem::ClassInitDrawBatches(TStreetStructure &street) {
    TItemBatchPtr rectangles = NewItemBatch(TBatchKind::Triangles);
    rectangles->SetColor(MakeD3DColor(5, 5, 5, 255));
    SetItemTexture(*rectangles, TextureFolder(), Cp1251String("Reshet.bmp"));
    street.TypeBatches(ReshetTypeCode) = {rectangles};
}

void TReshetItem::LoadFromStream(TStream &stream) {
    TOrientPointItem::LoadFromStream(stream);
    Invalid = Points.Count() < ClassMinPointCount();
}

std::array<TXYZ, 4> TReshetItem::Corners(const TXYZ &at, float angle) {
    // Turning the corner offsets by minus the angle in the transforms' clockwise sense turns them
    // counter-clockwise by the angle: the long side follows the direction.
    const double c = std::cos(double(angle)), s = std::sin(double(angle));
    std::array<TXYZ, 4> out;
    const float corners[4][2] = {
        {-HalfLength, -HalfWidth}, {HalfLength, -HalfWidth}, {HalfLength, HalfWidth}, {-HalfLength, HalfWidth}};
    for (int i = 0; i < 4; ++i) {
        const double x = corners[i][0], y = corners[i][1];
        out[std::size_t(i)] = {float(at.x + x * c - y * s), float(at.y + x * s + y * c), at.z};
    }
    return out;
}

void TReshetItem::RebuildGraphics() {
    TStreetStructure *street = Street();
    Points.EnsureGeometry();
    if (!street || Points.Count() < 1)
        return;
    TDxPrimCollection *rectangles = TypePrimCollection(*street, ReshetTypeCode, 0);
    if (!rectangles)
        return;
    const std::array<TDxVertex, 6> quad = TexturedQuad(Corners(Points.GetPoint(0), GetAngle()));
    rectangles->SetLayerMask(PlanLayerMask);
    rectangles->AddPrimitives(Serial(), quad, 2);
}

void RegisterKolodItems() {
    ItemClasses.Register(std::make_unique<TItemClassOf<TKolodItem>>(KolodTypeCode));
    ItemClasses.Register(std::make_unique<TItemClassOf<TReshetItem>>(ReshetTypeCode));
}
