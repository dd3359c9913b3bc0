#include "objects/RulerItem.h"

#include "engine/DxDraw.h"
#include "engine/DxRenderer.h"
#include "model/ItemLayers.h"
#include "model/ItemList.h"
#include "model/ItemTypes.h"
#include "model/StreamTags.h"
#include "model/StreetStructure.h"

#include <cmath>
#include <numbers>

namespace {

// A cosine this close to 0 is square to the arranging direction: rounding of the angle must not decide
// the side.
constexpr double SquareCosine = 1e-9;

// The vertices are drawn without their alpha: a colour of 0 is black, not invisible.
D3DCOLOR Opaque(D3DCOLOR color) {
    return color | 0xFF000000u;
}

void DrawCrossVertices(const TDxDrawParams &params, const std::vector<TDxVertex> &vertices) {
    if (vertices.empty() || !params.Renderer)
        return;
    TdxRenderer &renderer = *params.Renderer;
    renderer.SetTexture(nullptr);
    // Whole crosses per call: a multiple of 4 vertices.
    constexpr std::size_t Chunk = 3000 / 4 * 4;
    for (std::size_t at = 0; at < vertices.size(); at += Chunk) {
        const std::size_t n = std::min(Chunk, vertices.size() - at);
        renderer.DrawLineListV(std::span<const TDxVertex>(vertices.data() + at, n));
    }
}

} // namespace

void TRulerItem::ClassInitDrawBatches(TStreetStructure &street) {
    TItemBatchPtr lines = NewItemBatch(TBatchKind::Lines);
    lines->SetColor(MakeD3DColor(5, 5, 5, 255));
    street.TypeBatches(RulerTypeCode) = {lines};
}

void TRulerItem::LoadFromStream(TStream &stream) {
    const char *what = "TRulerItem.LoadFromStream";
    TAbstractItem::LoadFromStream(stream);
    Invalid = Points.Count() < ClassMinPointCount();
    uint8_t flag = 0;
    D3DCOLOR color = 0;
    if (CheckStreamTag(stream, "RULERTXT"))
        flag = stream.ReadByte(what);
    if (CheckStreamTag(stream, "RULERCLR"))
        color = static_cast<D3DCOLOR>(stream.ReadInt32(what));
    SetTextFlag(flag);
    SetColor(color);
}

void TRulerItem::SaveToStream(TStream &stream) const {
    TAbstractItem::SaveToStream(stream);
    WriteStreamTag(stream, "RULERTXT");
    stream.WriteByte(TextFlag_);
    WriteStreamTag(stream, "RULERCLR");
    stream.WriteInt32(static_cast<int32_t>(Color_));
}

void TRulerItem::SetTextFlag(uint8_t flag) {
    if (flag == TextFlag_)
        return;
    TextFlag_ = flag;
    NotifyModified();
}

void TRulerItem::SetColor(D3DCOLOR color) {
    if (color == Color_)
        return;
    Color_ = color;
    NotifyModified();
}

bool TRulerItem::HitTest(const TXYZ &point, double &distance, double maxDistance) {
    distance = UndefinedValue;
    for (int i = 0; i < Points.Count(); ++i) {
        const TXYZ p = Points.GetPoint(i);
        const double dx = double(point.x) - p.x, dy = double(point.y) - p.y, dz = double(point.z) - p.z;
        distance = std::min(distance, std::sqrt(dx * dx + dy * dy + dz * dz));
    }
    return distance < maxDistance;
}

void TRulerItem::AddCrosses(const TXYZ &viewCenter, float viewRadius, std::vector<TDxVertex> &out) const {
    const D3DCOLOR color = Opaque(Color_);
    for (int i = 0; i < Points.Count(); ++i) {
        const TXYZ p = Points.GetPoint(i);
        const double dx = double(p.x) - viewCenter.x, dy = double(p.y) - viewCenter.y;
        if (dx * dx + dy * dy > double(viewRadius) * viewRadius)
            continue;
        out.push_back({p.x - CrossHalf, p.y, p.z, color, 0, 0});
        out.push_back({p.x + CrossHalf, p.y, p.z, color, 0, 0});
        out.push_back({p.x, p.y - CrossHalf, p.z, color, 0, 0});
        out.push_back({p.x, p.y + CrossHalf, p.z, color, 0, 0});
    }
}

void TRulerItem::Draw(const TDxDrawParams &params, uint32_t layer) {
    if ((layer & TechLayerMask) == 0)
        return;
    std::vector<TDxVertex> vertices;
    AddCrosses(params.ViewCenter, params.ViewRadius, vertices);
    DrawCrossVertices(params, vertices);
}

bool TRulerItem::ClassDrawItems(TItemList &list, const TDxDrawParams &params, uint32_t layer) {
    if ((layer & TechLayerMask) == 0)
        return true;
    static thread_local std::vector<TDxVertex> vertices;
    vertices.clear();
    for (TAbstractItem *item : list.ItemsToDraw(params)) {
        if (const auto *ruler = dynamic_cast<const TRulerItem *>(item))
            ruler->AddCrosses(params.ViewCenter, params.ViewRadius, vertices);
        else
            item->Draw(params, layer);
    }
    DrawCrossVertices(params, vertices);
    return true;
}

void TRulerItem::ArrangePoints(double angle) {
    const int current = Points.CurrentIndex;
    if (current < 0 || current >= Points.Count())
        return;
    const TXYZ c = Points.GetPoint(current);
    const double ca = std::cos(angle), sa = std::sin(angle);
    const double cb = std::cos(angle + std::numbers::pi), sb = std::sin(angle + std::numbers::pi);
    for (int i = 0; i < Points.Count(); ++i) {
        if (i == current)
            continue;
        const TXYZ p = Points.GetPoint(i);
        const double dx = double(p.x) - c.x, dy = double(p.y) - c.y;
        const double d = std::hypot(dx, dy);
        if (d == 0)
            continue;
        // cos(beta - a), beta the direction from the current point to the vertex.
        const double along = (dx * ca + dy * sa) / d;
        const bool ahead = along > SquareCosine;
        const double ux = ahead ? ca : cb, uy = ahead ? sa : sb;
        Points.SetPoint(i, {static_cast<float>(c.x + d * ux), static_cast<float>(c.y + d * uy), p.z});
    }
}

void RegisterRulerItem() {
    ItemClasses.Register(std::make_unique<TItemClassOf<TRulerItem>>(RulerTypeCode));
}
