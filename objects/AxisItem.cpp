#include "objects/AxisItem.h"

#include "engine/DxDraw.h"
#include "engine/FontsDataForm.h"
#include "engine/MatrixShell.h"
#include "engine/NumText.h"
#include "model/ItemLayers.h"
#include "model/StreamTags.h"
#include "model/StreetStructure.h"
#include "objects/AtlasLabelWriter.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <numbers>
#include <vector>

namespace {

const char *const Where = "TAxisItem.LoadFromStream";

bool SameSingle(float a, float b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

} // namespace

Cp1251String AxisTickLabel(int64_t i, float step) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%2.0f", 0.1 * double(i % 10) * double(step));
    return Cp1251String(buf);
}

// ---- Batches

void TAxisItem::ClassInitDrawBatches(TStreetStructure &street) {
    TItemBatchPtr lines = NewItemBatch(TBatchKind::Lines);
    lines->SetColor(MakeD3DColor(70, 70, 70, 255));
    TItemBatchPtr labels = NewItemBatch(TBatchKind::Triangles);
    if (TFontsDataForm *fonts = TFontsDataForm::Instance())
        if (TDxPrimCollection *c = PrimCollection(labels.get()))
            c->SetTexture(fonts->SmallArialTexture(false));
    street.TypeBatches(AxisTypeCode) = {lines, labels};
}

// ---- Reading and writing

void TAxisItem::LoadFromStream(TStream &stream) {
    TLineItem::LoadFromStream(stream);
    ReadFields(stream, true);
    Points.SetChanged(true);
}

void TAxisItem::SaveToStream(TStream &stream) const {
    TLineItem::SaveToStream(stream);
    SaveFields(stream);
}

void TAxisItem::ReadFields(TStream &stream, bool nameFromComment) {
    TAxisItem d; // the defaults
    if (CheckStreamTag(stream, "AXISNAME"))
        d.Name_ = ReadStreamString(stream, Where);
    else if (nameFromComment)
        d.Name_ = Comment(); // records of old files name the axis by its comment
    if (CheckStreamTag(stream, "AXISMARK"))
        d.DrawMarks_ = stream.ReadByte(Where);
    if (CheckStreamTag(stream, "AXISLSTP"))
        d.PicketStep_ = stream.ReadSingle(Where);
    if (CheckStreamTag(stream, "AXISMRKW"))
        d.MarkWidth_ = stream.ReadSingle(Where);
    if (CheckStreamTag(stream, "AXISTECH"))
        d.TechAttr_ = ReadStreamString(stream, Where);
    if (CheckStreamTag(stream, "AXISCNTR"))
        d.OnMainLayer_ = stream.ReadByte(Where);
    if (CheckStreamTag(stream, "AXISSHRT"))
        d.DrawShortMarks_ = stream.ReadByte(Where);
    if (CheckStreamTag(stream, "AXISCOLR"))
        d.Color_ = static_cast<D3DCOLOR>(stream.ReadInt32(Where));
    if (CheckStreamTag(stream, "LfSideNm"))
        d.LeftSideName_ = ReadStreamString(stream, Where);
    if (CheckStreamTag(stream, "RtSideNm"))
        d.RightSideName_ = ReadStreamString(stream, Where);
    if (CheckStreamTag(stream, "CnSideNm"))
        d.CenterSideName_ = ReadStreamString(stream, Where);
    DrawMarks_ = d.DrawMarks_;
    OnMainLayer_ = d.OnMainLayer_;
    DrawShortMarks_ = d.DrawShortMarks_;
    Color_ = d.Color_;
    PicketStep_ = d.PicketStep_;
    MarkWidth_ = d.MarkWidth_;
    TechAttr_ = std::move(d.TechAttr_);
    Name_ = std::move(d.Name_);
    LeftSideName_ = std::move(d.LeftSideName_);
    RightSideName_ = std::move(d.RightSideName_);
    CenterSideName_ = std::move(d.CenterSideName_);
}

void TAxisItem::SaveFields(TStream &stream) const {
    // The name is written even when empty: a reader that misses it takes the comment instead.
    WriteStreamTag(stream, "AXISNAME");
    WriteStreamString(stream, Name_);
    WriteStreamTag(stream, "AXISMARK");
    stream.WriteByte(DrawMarks_);
    WriteStreamTag(stream, "AXISLSTP");
    stream.WriteSingle(PicketStep_);
    WriteStreamTag(stream, "AXISMRKW");
    stream.WriteSingle(MarkWidth_);
    if (!TechAttr_.Empty()) {
        WriteStreamTag(stream, "AXISTECH");
        WriteStreamString(stream, TechAttr_);
    }
    WriteStreamTag(stream, "AXISCNTR");
    stream.WriteByte(OnMainLayer_);
    WriteStreamTag(stream, "AXISSHRT");
    stream.WriteByte(DrawShortMarks_);
    WriteStreamTag(stream, "AXISCOLR");
    stream.WriteInt32(static_cast<int32_t>(Color_));
    const std::pair<const char *, const Cp1251String *> sides[] = {
        {"LfSideNm", &LeftSideName_}, {"RtSideNm", &RightSideName_}, {"CnSideNm", &CenterSideName_}};
    for (const auto &[tag, text] : sides)
        if (!text->Empty()) {
            WriteStreamTag(stream, tag);
            WriteStreamString(stream, *text);
        }
}

void TAxisItem::LoadFields(TStream &stream) {
    TMemoryStream before;
    SaveFields(before);
    ReadFields(stream, false);
    TMemoryStream after;
    SaveFields(after);
    if (before.Bytes() != after.Bytes())
        Changed(true);
}

// ---- Guide-axis information

bool TAxisItem::IsMainAxis() const {
    return Street() && Street()->GetMainAxis() == this;
}

bool TAxisItem::HasAttribute(const Cp1251String &text) const {
    return UpperCase(TechAttr_).Contains(UpperCase(text));
}

Cp1251String TAxisItem::GetLeftSideName() const {
    return LeftSideName_.Empty() ? DefaultLeftSideName() : LeftSideName_;
}

Cp1251String TAxisItem::GetRightSideName() const {
    return RightSideName_.Empty() ? DefaultRightSideName() : RightSideName_;
}

Cp1251String TAxisItem::GetCenterSideName() const {
    return CenterSideName_.Empty() ? DefaultCenterSideName() : CenterSideName_;
}

void TAxisItem::SetLeftSideName(const Cp1251String &text) {
    if (text == GetLeftSideName())
        return;
    LeftSideName_ = text;
    Changed(true);
}

void TAxisItem::SetRightSideName(const Cp1251String &text) {
    if (text == GetRightSideName())
        return;
    RightSideName_ = text;
    Changed(true);
}

void TAxisItem::SetCenterSideName(const Cp1251String &text) {
    if (text == GetCenterSideName())
        return;
    CenterSideName_ = text;
    Changed(true);
}

// ---- Fields

void TAxisItem::Changed(bool redraw) {
    NotifyModified();
    if (redraw)
        Points.SetChanged(true);
}

void TAxisItem::SetDrawMarks(bool on) {
    if (DrawMarks() == on)
        return;
    DrawMarks_ = on;
    Changed(true);
}

void TAxisItem::SetOnMainLayer(bool on) {
    if (OnMainLayer() == on)
        return;
    OnMainLayer_ = on;
    Changed(true);
}

void TAxisItem::SetDrawShortMarks(bool on) {
    if (DrawShortMarks() == on)
        return;
    DrawShortMarks_ = on;
    Changed(true);
}

void TAxisItem::SetColor(D3DCOLOR color) {
    if (color == Color_)
        return;
    Color_ = color;
    Changed(true);
}

void TAxisItem::SetPicketStep(float step) {
    if (SameSingle(step, PicketStep_))
        return;
    PicketStep_ = step;
    Changed(true);
}

float TAxisItem::EffectivePicketStep() const {
    return std::isfinite(PicketStep_) && PicketStep_ > 0 ? PicketStep_ : DefaultPicketStep;
}

void TAxisItem::SetMarkWidth(float width) {
    if (SameSingle(width, MarkWidth_))
        return;
    MarkWidth_ = width;
    Changed(true);
}

void TAxisItem::SetTechAttr(const Cp1251String &text) {
    if (text == TechAttr_)
        return;
    TechAttr_ = text;
    Changed(false);
}

void TAxisItem::SetName(const Cp1251String &name) {
    if (name == Name_)
        return;
    Name_ = name;
    Changed(true);
}

// ---- Drawing

void TAxisItem::RebuildGraphics() {
    TStreetStructure *street = Street();
    if (!street)
        return;
    Points.EnsureGeometry();
    const TXYZArray &dense = Points.Dense();
    if (Points.Count() < 2 || dense.size() < 2)
        return;
    TDxPrimCollection *lines = TypePrimCollection(*street, AxisTypeCode, 0);
    if (!lines)
        return;
    TDxPrimCollection *triangles = TypePrimCollection(*street, AxisTypeCode, 1);
    TFontsDataForm *fonts = TFontsDataForm::Instance();
    TFontTexture *atlas = fonts ? fonts->SmallArialTexture() : nullptr;
    TAtlasLabelWriter labels(triangles, atlas, Serial());
    // The fonts object may have come after the batches were made.
    if (triangles && atlas && triangles->Texture() != atlas)
        triangles->SetTexture(atlas);

    lines->SetLayerMask(OnMainLayer() ? PlanLayerMask : TechLayerMask);
    lines->SetColor(Color_);
    DxAddPolyline(*lines, Serial(), dense);

    lines->SetLayerMask(TechLayerMask);
    for (int i = 0; i < Points.Count(); ++i) {
        const TXYZ v = Points.GetPoint(i);
        const TXYZ diamond[] = {{v.x + 0.2f, v.y, v.z},
                                {v.x, v.y + 0.2f, v.z},
                                {v.x - 0.2f, v.y, v.z},
                                {v.x, v.y - 0.2f, v.z},
                                {v.x + 0.2f, v.y, v.z}};
        DxAddPolyline(*lines, Serial(), diamond);
    }

    const double length = Points.DenseLength();
    const double step = EffectivePicketStep();
    // A stored mark width that is not a number draws as the default.
    const float markWidth = std::isfinite(MarkWidth_) ? MarkWidth_ : DefaultMarkWidth;
    if (triangles)
        triangles->SetColor(MakeD3DColor(0, 0, 0, 255));

    if (DrawShortMarks()) {
        const double count = std::floor(length / (0.1 * step));
        if (count >= 0 && count < double(MaxMarks)) {
            lines->SetLayerMask(PlanLayerMask);
            if (triangles)
                triangles->SetLayerMask(PlanLayerMask);
            for (int64_t i = 0; i <= int64_t(count); ++i) {
                if (i % 10 == 0)
                    continue;
                const float t = Points.ParamAtDistance(float(0.1 * double(i) * step));
                DxAddLinesA(*lines, Serial(),
                            {Points.OffsetPointAtParam(t, 0.5f), Points.OffsetPointAtParam(t, -0.5f)});
                if (labels.Enabled()) {
                    const Cp1251String text = AxisTickLabel(i, float(step));
                    labels.Add(text, -0.5f * labels.Width(text), 0.1f * labels.Height(), 0.08f, 0.07f,
                               -Points.DirectionAtParam(t), Points.PointAtParam(t), 0.5f);
                }
            }
        }
    }

    if (DrawMarks()) {
        const double count = std::floor(length / step);
        if (count >= 0 && count < double(MaxMarks)) {
            lines->SetLayerMask(PlanLayerMask);
            if (triangles)
                triangles->SetLayerMask(PlanLayerMask);
            const Cp1251String axisName = Name_.Empty() ? Cp1251String() : Cp("Ось ") + Name_;
            for (int64_t i = 0; i <= int64_t(count); ++i) {
                const float t = Points.ParamAtDistance(float(double(i) * step));
                const TXYZ left = Points.OffsetPointAtParam(t, markWidth);
                const TXYZ right = Points.OffsetPointAtParam(t, -markWidth);
                DxAddLinesA(*lines, Serial(), {left, right});
                if (!labels.Enabled())
                    continue;
                // The labels run along the mark, reading away from the axis on the left: beyond the left
                // end, and ending before the right end; the axis name one line further along the axis.
                const float angle = -float(std::numbers::pi / 2 + Points.DirectionAtParam(t));
                const float h = labels.Height();
                const Cp1251String picket = Cp("ПК ") + Cp1251String(IntToStr(i));
                const float wp = labels.Width(picket);
                labels.Add(picket, 0.1f * wp, -0.5f * h, 0.08f, 0.1f, angle, left);
                labels.Add(picket, -1.1f * wp, -0.5f * h, 0.08f, 0.1f, angle, right);
                if (!axisName.Empty()) {
                    const float wn = labels.Width(axisName);
                    labels.Add(axisName, 0.1f * wn, -1.6f * h, 0.08f, 0.1f, angle, left);
                    labels.Add(axisName, -1.1f * wn, -1.6f * h, 0.08f, 0.1f, angle, right);
                }
            }
        }
    }
}

void RegisterAxisItem() {
    ItemClasses.Register(std::make_unique<TItemClassOf<TAxisItem>>(AxisTypeCode));
}
