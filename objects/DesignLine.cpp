#include "objects/DesignLine.h"

#include "engine/DataFiles.h"
#include "engine/DxDraw.h"
#include "engine/DxRenderer.h"
#include "engine/DxTexture.h"
#include "engine/UndefinedValue.h"
#include "model/ItemIndex.h"
#include "model/ItemLayers.h"
#include "model/ItemTypes.h"
#include "model/StreamTags.h"
#include "model/StreetStructure.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <exception>

namespace {

constexpr std::size_t BuiltInBatches = 4;
constexpr D3DCOLOR MissingPictureRed = MakeD3DColor(192, 0, 0, 255);

float EffectivePeriod(float period) {
    return std::isfinite(period) && period > 0 ? period : 1.0f;
}

float Finite(float value) {
    return std::isfinite(value) ? value : 0.0f;
}

int32_t EffectiveStyle(int32_t style) {
    return style >= TDesignLineItem::Solid && style <= TDesignLineItem::DashDotted ? style
                                                                                   : TDesignLineItem::Solid;
}

// The width of a picture that has pixels; 0 for none.
int PictureWidth(TDsnLineDef &def, TDsnLineDef::TPart part) {
    const bool has = part == TDsnLineDef::Start    ? def.HasStartBitmap()
                     : part == TDsnLineDef::Repeat ? def.HasRepeatBitmap()
                                                   : def.HasFinishBitmap();
    if (!has)
        return 0;
    const TBitmap &b = def.GetBitmap(part).Bitmap();
    return b.Empty() ? 0 : b.Width();
}

void LoadStyleTexture(TItemBatch &batch, const char *name) {
    TDxPrimCollection *prims = PrimCollection(&batch);
    const auto file = FindDataFile(Cp(name));
    if (!prims || !file)
        return;
    try {
        prims->LoadTexture(file->string());
    } catch (const std::exception &) {
        // An unreadable picture leaves the style's bands untextured.
        return;
    }
    TTextureSurface &t = *prims->Texture();
    t.MinFilter = 1;
    t.MagFilter = 1;
    t.ColorArg1 = 0;
    t.ColorArg2 = 1;
    t.ColorOp = 0;
}

template <class T> bool SameBits(const T &a, const T &b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

} // namespace

TLineCuts CutDesignLine(double length, double startLength, double finishLength) {
    const double total = std::max(0.0, length);
    const double start = startLength > 0 ? std::min(startLength, total) : 0.0;
    const double finish = finishLength > 0 ? std::min(finishLength, total - start) : 0.0;
    return {start, total - finish};
}

TXYZArray PolylinePiece(const TXYZArray &points, const std::vector<double> &cumulative, double from, double to) {
    TXYZArray out;
    if (!(to > from) || points.size() < 2 || cumulative.size() != points.size())
        return out;
    for (std::size_t i = 0; i + 1 < points.size(); ++i) {
        const double c0 = cumulative[i], c1 = cumulative[i + 1], length = c1 - c0;
        if (!(length > 0) || c1 < from || c0 > to)
            continue;
        const double a = std::max(from, c0), b = std::min(to, c1);
        if (out.empty())
            out.push_back(VectorLerp(points[i], points[i + 1], float((a - c0) / length)));
        if (b > a)
            out.push_back(b >= c1 ? points[i + 1] : VectorLerp(points[i], points[i + 1], float((b - c0) / length)));
    }
    if (out.size() < 2)
        out.clear();
    return out;
}

// ---- TDesignLineItem

void TDesignLineItem::ClassInitDrawBatches(TStreetStructure &street) {
    TItemBatches &batches = street.TypeBatches(DesignLineTypeCode);
    if (batches.size() < BuiltInBatches)
        batches.resize(BuiltInBatches);
    if (!batches[0])
        batches[0] = NewItemBatch(TBatchKind::Lines);
    if (!batches[1])
        batches[1] = NewItemBatch(TBatchKind::Triangles);
    const char *textures[] = {"Текстуры\\LnStyle_Dash.bmp", "Текстуры\\LnStyle_Dash_Dot.bmp"};
    for (std::size_t k = 2; k < BuiltInBatches; ++k) {
        if (batches[k])
            continue;
        batches[k] = NewItemBatch(TBatchKind::Triangles);
        LoadStyleTexture(*batches[k], textures[k - 2]);
    }
}

void TDesignLineItem::LoadFromStream(TStream &stream) {
    TLineItem::LoadFromStream(stream);
    ReadFields(stream);
}

void TDesignLineItem::SaveToStream(TStream &stream) const {
    TLineItem::SaveToStream(stream);
    SaveFields(stream);
}

void TDesignLineItem::ReadFields(TStream &stream) {
    const char *what = "TDesignLineItem.LoadFields";
    D3DCOLOR color = 0;
    float width = 0, period = 0, disp = 0;
    int32_t style = Solid;
    Cp1251String ext;
    if (CheckStreamTag(stream, "DSLCOLOR"))
        color = static_cast<D3DCOLOR>(stream.ReadInt32(what));
    if (CheckStreamTag(stream, "DSLWIDTH"))
        width = stream.ReadSingle(what);
    if (CheckStreamTag(stream, "DSLPERID"))
        period = stream.ReadSingle(what);
    if (CheckStreamTag(stream, "DSL_DISP"))
        disp = stream.ReadSingle(what);
    if (CheckStreamTag(stream, "DSLSTYLE"))
        style = stream.ReadInt32(what);
    if (CheckStreamTag(stream, "DSLEXDEF"))
        ext = ReadStreamString(stream, what);
    Color_ = color;
    Width_ = width;
    Period_ = period;
    Disp_ = disp;
    Style_ = style;
    ExtDef_ = std::move(ext);
}

void TDesignLineItem::LoadFields(TStream &stream) {
    ReadFields(stream);
    Points.SetChanged(true);
}

void TDesignLineItem::SaveFields(TStream &stream) const {
    WriteStreamTag(stream, "DSLCOLOR");
    stream.WriteInt32(static_cast<int32_t>(Color_));
    WriteStreamTag(stream, "DSLWIDTH");
    stream.WriteSingle(Width_);
    WriteStreamTag(stream, "DSLPERID");
    stream.WriteSingle(Period_);
    WriteStreamTag(stream, "DSL_DISP");
    stream.WriteSingle(Disp_);
    WriteStreamTag(stream, "DSLSTYLE");
    stream.WriteInt32(Style_);
    WriteStreamTag(stream, "DSLEXDEF");
    WriteStreamString(stream, ExtDef_);
}

void TDesignLineItem::SetColor(D3DCOLOR color) {
    if (color != Color_) {
        Color_ = color;
        Points.SetChanged(true);
    }
}

void TDesignLineItem::SetWidth(float width) {
    if (!SameBits(width, Width_)) {
        Width_ = width;
        Points.SetChanged(true);
    }
}

void TDesignLineItem::SetStyle(int32_t style) {
    if (style != Style_) {
        Style_ = style;
        Points.SetChanged(true);
    }
}

void TDesignLineItem::SetPeriod(float period) {
    if (!SameBits(period, Period_)) {
        Period_ = period;
        Points.SetChanged(true);
    }
}

void TDesignLineItem::SetDisp(float disp) {
    if (!SameBits(disp, Disp_)) {
        Disp_ = disp;
        Points.SetChanged(true);
    }
}

void TDesignLineItem::SetExtDef(const Cp1251String &name) {
    if (name != ExtDef_) {
        ExtDef_ = name;
        Points.SetChanged(true);
    }
}

void TDesignLineItem::GetUsedNames(TUsedNames &names) const {
    if (!ExtDef_.Empty())
        names.LineDefs.insert(ExtDef_);
}

TDsnLineDefList *TDesignLineItem::GetLineDefs() const {
    return Street() ? &Street()->LineDefs() : nullptr;
}

TDsnLineDef *TDesignLineItem::FindLineDef() const {
    TDsnLineDefList *defs = GetLineDefs();
    return defs && !ExtDef_.Empty() ? defs->FindByName(ExtDef_) : nullptr;
}

void TDesignLineItem::RebuildGraphics() {
    TStreetStructure *street = Street();
    if (!street)
        return;
    Points.EnsureGeometry();
    MaxX = MaxY = -UndefinedValueF;
    MinX = MinY = UndefinedValueF;
    if (Points.Count() < 2)
        return;
    const TXYZArray &dense = Points.Dense();
    for (const TXYZ &p : dense) {
        MaxX = std::max(MaxX, p.x);
        MaxY = std::max(MaxY, p.y);
        MinX = std::min(MinX, p.x);
        MinY = std::min(MinY, p.y);
    }
    TItemBatches &batches = street->TypeBatches(DesignLineTypeCode);
    const auto band = [&](const TItemBatchPtr &batch, D3DCOLOR color, const TXYZArray &points, float width,
                          float disp, float period) {
        TDxPrimCollection *prims = PrimCollection(batch.get());
        if (!prims || points.size() < 2)
            return;
        batch->SetColor(color);
        prims->SetLayerMask(PlanLayerMask);
        DxAddThickPolyline(*prims, Serial(), points, -disp - width / 2, -disp + width / 2, period, 0, 1);
    };

    TDsnLineDef *def = FindLineDef();
    if (!def) {
        const float width = Finite(Width_);
        const std::size_t index = static_cast<std::size_t>(EffectiveStyle(Style_)) + 1;
        if (width != 0 && index < batches.size())
            band(batches[index], Color_, dense, width, Finite(Disp_), EffectivePeriod(Period_));
        return;
    }
    const float width = Finite(def->Width), disp = Finite(def->Disp), period = EffectivePeriod(def->Period);
    const int repeatWidth = PictureWidth(*def, TDsnLineDef::Repeat);
    if (repeatWidth == 0) {
        band(def->RepeatBatch(), MissingPictureRed, dense, width, disp, period);
        return;
    }
    // The pictures keep the proportions of the repeated one.
    const double startLength = double(period) / repeatWidth * PictureWidth(*def, TDsnLineDef::Start);
    const double finishLength = double(period) / repeatWidth * PictureWidth(*def, TDsnLineDef::Finish);
    std::vector<double> cumulative(dense.size(), 0.0);
    for (std::size_t i = 1; i < dense.size(); ++i)
        cumulative[i] = cumulative[i - 1] + VectorDistance(dense[i - 1], dense[i]);
    const double length = cumulative.back();
    const TLineCuts cuts = CutDesignLine(length, startLength, finishLength);
    band(def->StartBatch(), Color_, PolylinePiece(dense, cumulative, 0, cuts.Start), width, disp,
         float(startLength));
    band(def->RepeatBatch(), Color_, PolylinePiece(dense, cumulative, cuts.Start, cuts.Finish), width, disp,
         period);
    band(def->FinishBatch(), Color_, PolylinePiece(dense, cumulative, cuts.Finish, length), width, disp,
         float(finishLength));
}

void TDesignLineItem::Draw(const TDxDrawParams &params, uint32_t) {
    if (!params.Renderer)
        return;
    // The view test before the look-up of the line's definition by name: most lines of a long street are
    // out of view.
    const float cx = params.ViewCenter.x, cy = params.ViewCenter.y, r = params.ViewRadius;
    if (!(MaxX + r >= cx && MaxY + r >= cy && MinX - r < cx && MinY - r < cy))
        return;
    if (FindLineDef() || (Finite(Width_) != 0 && EffectiveStyle(Style_) != Solid))
        return;
    const float disp = Finite(Disp_);
    if (disp == 0)
        params.Renderer->DrawPolyline(Points.Dense(), Color_);
    else
        params.Renderer->DrawPolyline(Points.GetOffsetLine(-disp), Color_);
}

bool TDesignLineItem::HitTest(const TXYZ &point, double &distance, double maxDistance) {
    Points.EnsureGeometry();
    const TXYZArray &d = Points.Dense();
    const double disp = Finite(Disp_);
    distance = UndefinedValue;
    for (std::size_t i = 0; i + 1 < d.size(); ++i) {
        if (d[i].x == d[i + 1].x && d[i].y == d[i + 1].y)
            continue;
        float t = 0, dist = 0;
        ProjectPointOnSegment(point, d[i], d[i + 1], t, dist);
        if (t > 0 && t < 1)
            distance = std::min(distance, std::fabs(dist + disp));
    }
    return distance < maxDistance;
}

bool TDesignLineItem::GetHitBounds(TItemBounds &box) {
    if (!TLineItem::GetHitBounds(box))
        return false;
    const double d = std::fabs(double(Finite(Disp_)));
    box.MinX -= d;
    box.MinY -= d;
    box.MaxX += d;
    box.MaxY += d;
    return true;
}

void RegisterDesignLineItem() {
    ItemClasses.Register(std::make_unique<TItemClassOf<TDesignLineItem>>(DesignLineTypeCode));
}
