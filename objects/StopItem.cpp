#include "objects/StopItem.h"

#include "engine/DxPrimBuilders.h"
#include "model/GuideAxisInfo.h"
#include "model/ItemIndex.h"
#include "model/ItemLayers.h"
#include "model/ItemList.h"
#include "model/StreamTags.h"
#include "model/StreetStructure.h"
#include "objects/RoadWay.h"

#include <algorithm>
#include <cmath>

namespace {

const char *const Where = "TStopItem.LoadFromStream";

bool IsBusBay(const TRoadWayItem &road, bool stopToo) {
    const Cp1251String category = UpperCase(road.PasspCategory());
    return category.Contains(Cp("КАРМАН")) && (!stopToo || category.Contains(Cp("ОСТ")));
}

} // namespace

void TStopItem::ClassInitDrawBatches(TStreetStructure &street) {
    street.TypeBatches(StopTypeCode) = {NewItemBatch(TBatchKind::Triangles), NewItemBatch(TBatchKind::Lines)};
}

// ---- Reading and writing

void TStopItem::LoadFromStream(TStream &stream) {
    TOrientPointItem::LoadFromStream(stream);
    TStopItem d; // the defaults
    if (CheckStreamTag(stream, "STOPLENG"))
        d.Length_ = stream.ReadSingle(Where);
    if (CheckStreamTag(stream, "STOPWIDT"))
        d.Width_ = stream.ReadSingle(Where);
    if (CheckStreamTag(stream, "STOPNAME"))
        d.Name_ = ReadStreamString(stream, Where);
    if (CheckStreamTag(stream, "STOPROOT"))
        d.Routes_ = ReadStreamString(stream, Where);
    if (CheckStreamTag(stream, "STOPTRSQ"))
        d.PlatformArea_ = stream.ReadSingle(Where);
    if (CheckStreamTag(stream, "STOP_PAV"))
        d.Pavilion_ = stream.ReadByte(Where);
    Length_ = d.Length_;
    Width_ = d.Width_;
    Name_ = d.Name_;
    Routes_ = d.Routes_;
    PlatformArea_ = d.PlatformArea_;
    Pavilion_ = d.Pavilion_;
    Invalid = Points.Count() < ClassMinPointCount();
}

void TStopItem::SaveToStream(TStream &stream) const {
    TOrientPointItem::SaveToStream(stream);
    WriteStreamTag(stream, "STOPLENG");
    stream.WriteSingle(Length_);
    WriteStreamTag(stream, "STOPWIDT");
    stream.WriteSingle(Width_);
    if (!Name_.Empty()) {
        WriteStreamTag(stream, "STOPNAME");
        WriteStreamString(stream, Name_);
    }
    if (!Routes_.Empty()) {
        WriteStreamTag(stream, "STOPROOT");
        WriteStreamString(stream, Routes_);
    }
    WriteStreamTag(stream, "STOPTRSQ");
    stream.WriteSingle(PlatformArea_);
    WriteStreamTag(stream, "STOP_PAV");
    stream.WriteByte(Pavilion_);
}

// ---- Fields

namespace {

template <class T> bool Assign(T &field, const T &value) {
    if (field == value)
        return false;
    field = value;
    return true;
}

} // namespace

void TStopItem::SetWidth(float width) {
    if (Assign(Width_, width))
        Points.SetChanged(true);
}

void TStopItem::SetLength(float length) {
    if (Assign(Length_, length))
        Points.SetChanged(true);
}

void TStopItem::SetRoutes(const Cp1251String &text) {
    if (Assign(Routes_, text))
        NotifyModified();
}

void TStopItem::SetName(const Cp1251String &text) {
    if (Assign(Name_, text))
        NotifyModified();
}

void TStopItem::SetPlatformArea(float area) {
    if (Assign(PlatformArea_, area))
        NotifyModified();
}

void TStopItem::SetPavilion(uint8_t flag) {
    bool changed = Assign(Pavilion_, flag);
    if (flag == 0) {
        changed = Assign(Width_, 0.0f) || changed;
        changed = Assign(Length_, 0.0f) || changed;
    }
    if (changed)
        Points.SetChanged(true);
}

// ---- Geometry

TXYZ TStopItem::Direction() const {
    if (Points.Count() < 2)
        return {1, 0, 0};
    const TXYZ p0 = Points.GetPoint(0), p1 = Points.GetPoint(1);
    const double dx = double(p1.x) - p0.x, dy = double(p1.y) - p0.y;
    const double len = std::hypot(dx, dy);
    // Coincident points have no direction: the stop takes angle 0.
    if (!(len > 0) || !std::isfinite(len))
        return {1, 0, 0};
    return {float(dx / len), float(dy / len), 0};
}

std::vector<TXYZ> TStopItem::Outline() const {
    std::vector<TXYZ> out;
    if (Points.Count() == 0)
        return out;
    const TXYZ p0 = Points.GetPoint(0);
    const auto at = [&p0](double x, double y) { return TXYZ{float(p0.x + x), float(p0.y + y), p0.z}; };
    const TXYZ u = Direction();
    if (Pavilion_ == 1) {
        if (Points.Count() < 2)
            return out;
        const double lx = double(u.x) * Length_, ly = double(u.y) * Length_;
        const double wx = -double(u.y) * Width_, wy = double(u.x) * Width_;
        return {at(0, 0), at(wx, wy), at(wx + lx, wy + ly), at(lx, ly), at(0, 0)};
    }
    double ux = u.x, uy = u.y;
    double axisAngle = 0;
    if (TAbstractItem *axis = GetReferAxis()) {
        TPointList &line = axis->Points;
        axisAngle = line.DirectionAtParam(line.ParamOfPoint(p0));
    }
    const double alpha = std::atan2(uy, ux);
    if (!(std::cos(alpha - axisAngle) > 0))
        ux = -ux, uy = -uy;
    const double nx = -uy, ny = ux;
    const TXYZ o0 = at(0, 0), o1 = at(0.5 * ux, 0.5 * uy), o2 = at(1.5 * nx, 1.5 * ny),
               o3 = at(2.5 * nx, 2.5 * ny), o4 = at(1.5 * nx + 1.5 * ux, 1.5 * ny + 1.5 * uy),
               o5 = at(2.5 * nx + 1.5 * ux, 2.5 * ny + 1.5 * uy);
    return {o0, o1, o2, o3, o4, o5};
}

void TStopItem::RebuildGraphics() {
    TStreetStructure *street = Street();
    if (!street)
        return;
    Points.EnsureGeometry();
    TDxPrimCollection *triangles = TypePrimCollection(*street, StopTypeCode, 0);
    TDxPrimCollection *lines = TypePrimCollection(*street, StopTypeCode, 1);
    const std::vector<TXYZ> o = Outline();
    if (!lines || o.empty())
        return;
    if (Pavilion_ == 1) {
        static const Cp1251String yellowOption("StopsYellow");
        if (street->GetBoolOption(yellowOption)) {
            if (triangles) {
                triangles->SetColor(YellowFill);
                DxAddQuadsA(*triangles, Serial(), {o[0], o[1], o[3], o[2]});
            }
            lines->SetColor(DarkOutline);
            DxAddPolyline(*lines, Serial(), o);
        } else {
            lines->SetColor(Red);
            DxAddPolyline(*lines, Serial(), o);
            DxAddLinesA(*lines, Serial(), {o[0], o[2], o[1], o[3]});
        }
        return;
    }
    lines->SetColor(Red);
    DxAddLinesA(*lines, Serial(),
                {o[0], o[1], o[0], o[2], o[2], o[3], o[3], o[4], o[4], o[5], o[5], o[2], o[2], o[4], o[3], o[5]});
}

bool TStopItem::HitTest(const TXYZ &point, double &distance, double maxDistance) {
    distance = UndefinedValue;
    for (const TXYZ &p : Outline())
        distance = std::min(distance, double(VectorDistance(point, p)));
    return distance < maxDistance;
}

bool TStopItem::GetHitBounds(TItemBounds &box) {
    bool any = TOrientPointItem::GetHitBounds(box);
    for (const TXYZ &p : Outline()) {
        if (!any) {
            box = {p.x, p.y, p.x, p.y};
            any = true;
        }
        box.MinX = std::min<double>(box.MinX, p.x);
        box.MinY = std::min<double>(box.MinY, p.y);
        box.MaxX = std::max<double>(box.MaxX, p.x);
        box.MaxY = std::max<double>(box.MaxY, p.y);
    }
    return any;
}

// ---- Questions of the editor

float TStopItem::FindRoadWay(TRoadWayItem *&roadWay) const {
    roadWay = nullptr;
    TStreetStructure *street = Street();
    if (!street || Points.Count() < 2)
        return -1;
    const TXYZ p0 = Points.GetPoint(0), u = Direction();
    const TXYZ far{float(p0.x + double(u.y) * RoadWaySearch), float(p0.y - double(u.x) * RoadWaySearch), p0.z};
    double best = -1;
    for (const auto &item : street->Lists(RoadWayTypeCode)) {
        auto *road = dynamic_cast<TRoadWayItem *>(item.get());
        if (!road)
            continue;
        // Every crossing counts: a concave road way may meet the ray nearest at its third or fourth.
        for (const TPointList::TSegmentCrossing &x : road->Points.SegmentCrossings(p0, far)) {
            const double d = std::hypot(double(x.Point.x) - p0.x, double(x.Point.y) - p0.y);
            if (std::isfinite(d) && (roadWay == nullptr || d < best)) {
                best = d;
                roadWay = road;
            }
        }
    }
    return roadWay ? float(best) : -1.0f;
}

float TStopItem::RoadWayDistance() const {
    TRoadWayItem *road = nullptr;
    return FindRoadWay(road);
}

void TStopItem::CollectBusBays(TConnectedItems &list) const {
    TRoadWayItem *road = nullptr;
    FindRoadWay(road);
    if (!road || !IsBusBay(*road, false))
        return;
    for (TStreetPointRec *rec : road->Points.Refs())
        for (TPointList *user : rec->Owners) {
            auto *other = dynamic_cast<TRoadWayItem *>(user->GetOwner());
            if (other && list.IndexOf(other) < 0 && IsBusBay(*other, true))
                list.AddItem(other);
        }
}

double TStopItem::BusBayArea() const {
    if (Points.Count() < 2)
        return -1;
    TConnectedItems bays(false);
    CollectBusBays(bays);
    double sum = 0;
    for (TAbstractItem *item : bays.Slots())
        if (auto *polygon = dynamic_cast<TPolygonItem *>(item))
            sum += polygon->Area();
    return sum;
}

bool TStopItem::AxisStations(float &a, float &b) const {
    TAbstractItem *axis = GetReferAxis();
    if (!axis || Points.Count() < 2)
        return false;
    const TXYZ p0 = Points.GetPoint(0), u = Direction();
    const TXYZ end{float(p0.x + double(u.x) * Length_), float(p0.y + double(u.y) * Length_), p0.z};
    float t = 0, offset = 0;
    return axis->Points.Project(p0, t, a, offset) && axis->Points.Project(end, t, b, offset);
}

float TStopItem::AxisStart() const {
    float a = 0, b = 0;
    return AxisStations(a, b) ? std::min(a, b) : -1.0f;
}

float TStopItem::AxisEnd() const {
    float a = 0, b = 0;
    return AxisStations(a, b) ? std::max(a, b) : -1.0f;
}

Cp1251String TStopItem::GetAxisSideName() const {
    TAbstractItem *axis = GetReferAxis();
    const auto *info = dynamic_cast<const TGuideAxisInfo *>(axis);
    float t = 0, along = 0, offset = 0;
    if (!info || Points.Count() < 2 || !axis->Points.Project(Points.GetPoint(0), t, along, offset))
        return Cp1251String("???");
    return offset <= 0 ? info->GetRightSideName() : info->GetLeftSideName();
}

void RegisterStopItem() {
    ItemClasses.Register(std::make_unique<TItemClassOf<TStopItem>>(StopTypeCode));
}
