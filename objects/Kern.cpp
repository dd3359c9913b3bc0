#include "objects/Kern.h"

#include "engine/DxDraw.h"
#include "model/ItemLayers.h"
#include "model/ItemTypes.h"
#include "model/StreamTags.h"
#include "model/StreetStructure.h"

namespace {

TKernLabelFont &LabelFont() {
    static TKernLabelFont font;
    return font;
}

} // namespace

void SetKernLabelFont(TKernLabelFont font) {
    LabelFont() = std::move(font);
}

TKernItem::TKernItem() {
    BlockName_ = Cp("Керн");
}

void TKernItem::ClassInitDrawBatches(TStreetStructure &street) {
    TItemBatchPtr labels = NewItemBatch(TBatchKind::Triangles);
    labels->SetColor(MakeD3DColor(0, 0, 0, 255));
    if (TTextureSurface *texture = LabelFont().Texture)
        PrimCollection(labels.get())->SetTexture(texture);
    street.TypeBatches(KernTypeCode) = {labels};
}

void TKernItem::LoadFromStream(TStream &stream) {
    const char *what = "TKernItem.LoadFromStream";
    TDesignBlockItem::LoadFromStream(stream);
    Cp1251String label, name1, name2, name3;
    float h1 = 0, h2 = 0, h3 = 0;
    if (CheckStreamTag(stream, "TXTLABEL"))
        label = ReadStreamString(stream, what);
    if (CheckStreamTag(stream, "MATNAME1"))
        name1 = ReadStreamString(stream, what);
    if (CheckStreamTag(stream, "MAT_H1  "))
        h1 = stream.ReadSingle(what);
    if (CheckStreamTag(stream, "MATNAME2"))
        name2 = ReadStreamString(stream, what);
    if (CheckStreamTag(stream, "MAT_H2  "))
        h2 = stream.ReadSingle(what);
    if (CheckStreamTag(stream, "MATNAME3"))
        name3 = ReadStreamString(stream, what);
    if (CheckStreamTag(stream, "MAT_H3  "))
        h3 = stream.ReadSingle(what);
    KernLabel_ = std::move(label);
    MatName1 = std::move(name1);
    MatName2 = std::move(name2);
    MatName3 = std::move(name3);
    MatH1 = h1;
    MatH2 = h2;
    MatH3 = h3;
}

void TKernItem::SaveToStream(TStream &stream) const {
    TDesignBlockItem::SaveToStream(stream);
    WriteStreamTag(stream, "TXTLABEL");
    WriteStreamString(stream, KernLabel_);
    WriteStreamTag(stream, "MATNAME1");
    WriteStreamString(stream, MatName1);
    WriteStreamTag(stream, "MAT_H1  ");
    stream.WriteSingle(MatH1);
    WriteStreamTag(stream, "MATNAME2");
    WriteStreamString(stream, MatName2);
    WriteStreamTag(stream, "MAT_H2  ");
    stream.WriteSingle(MatH2);
    WriteStreamTag(stream, "MATNAME3");
    WriteStreamString(stream, MatName3);
    WriteStreamTag(stream, "MAT_H3  ");
    stream.WriteSingle(MatH3);
}

void TKernItem::SetLabel(const Cp1251String &text) {
    KernLabel_ = text;
    Points.SetChanged(true);
}

void TKernItem::RebuildGraphics() {
    TDesignBlockItem::RebuildGraphics();
    TStreetStructure *street = Street();
    const TKernLabelFont &font = LabelFont();
    if (!street || Points.Count() < 1 || KernLabel_.Empty() || !font.Triangles)
        return;
    TItemBatches &batches = street->TypeBatches(KernTypeCode);
    TDxPrimCollection *prims = batches.empty() ? nullptr : PrimCollection(batches[0].get());
    if (!prims)
        return;
    std::vector<TDxVertex> triangles;
    float w = 0, h = 0;
    font.Triangles(KernLabel_, triangles, w, h);
    if (triangles.size() < 3)
        return;
    double a = 0;
    if (TAbstractItem *axis = GetReferAxis())
        a = axis->Points.DirectionAtParam(axis->Points.ParamOfPoint(Points.GetPoint(0)));
    const TDsnBlockDef &def = GetBlockDef();
    const TXYZ v0 = Points.GetPoint(0);
    prims->SetLayerMask(PlanLayerMask);
    // Each step applies to the label's points before the ones above it: the text is centred on its
    // height, scaled to metres, set beside the block's symbol and turned with the axis.
    TMatrixShell &m = prims->Transform();
    m.PushMatrix();
    m.Translate(false, v0.x, v0.y, v0.z);
    m.RotateZ(false, static_cast<float>(-a));
    m.Translate(false, def.Width / 4, def.Height / 3, 0);
    m.Scale(false, 0.08f, 0.1f, 0.1f);
    m.Translate(false, -0.2f * w, -0.5f * h, 0);
    prims->AddPrimitives(Serial(), triangles, triangles.size() / 3);
    m.PopMatrix();
}

void RegisterKernItem() {
    ItemClasses.Register(std::make_unique<TItemClassOf<TKernItem>>(KernTypeCode));
}
