#include "model/PointList.h"

#include "engine/CSpline.h"
#include "engine/NumText.h"
#include "engine/StreetError.h"
#include "model/AbstractItem.h"
#include "model/PointStructure.h"
#include "model/StreamTags.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>

namespace {

constexpr float SplineTolerance = 0.1f;
constexpr double DuplicateDistance = 0.001; // consecutive vertices closer than this collapse at load

void RemoveOneOwner(TStreetPointRec *rec, const TPointList *list) {
    TOwnerList &owners = rec->Owners;
    // The newest reference is the likeliest to go first (lists detach from their last vertex).
    for (std::size_t i = owners.size(); i-- > 0;) {
        if (owners[i] == list) {
            owners.erase_at(i);
            return;
        }
    }
}

double Dist3(const TXYZ &a, const TXYZ &b) {
    const double dx = double(b.x) - a.x, dy = double(b.y) - a.y, dz = double(b.z) - a.z;
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

// The unit left normal of a->b, or nothing for a zero-length segment.
bool LeftNormal(const TXYZ &a, const TXYZ &b, TXYZ &n) {
    const double dx = double(b.x) - a.x, dy = double(b.y) - a.y;
    const double len = std::sqrt(dx * dx + dy * dy);
    if (!(len > 0) || !std::isfinite(len))
        return false;
    n = {float(-dy / len), float(dx / len), 0};
    return true;
}

} // namespace

TPointList::TPointList(TPointStructure *pool, TAbstractItem *owner) : Pool_(pool), Owner_(owner) {}

TPointList::~TPointList() {
    // The owner may be half destroyed here: only the records and the other lists are touched. Items that
    // leave a street detach their vertices through Clear before they die, with the full notification.
    for (int i = Count() - 1; i >= 0; --i) {
        TStreetPointRec *rec = Refs_[static_cast<std::size_t>(i)];
        Refs_.pop_back();
        RemoveOneOwner(rec, this);
        NotifySharers(rec);
    }
}

// ---- Owner queries

bool TPointList::OwnerIsClosed() const {
    return Owner_ && Owner_->IsClosed();
}

bool TPointList::OwnerHasControlPoints() const {
    return Owner_ && Owner_->HasControlPoints();
}

int TPointList::OwnerTypeCode() const {
    return Owner_ ? Owner_->GetTypeCode() : -1;
}

void TPointList::MarkOwnerDirty() const {
    if (Owner_)
        Owner_->MarkListDirty();
}

void TPointList::NotifyModified() const {
    if (Owner_)
        Owner_->NotifyModified();
}

void TPointList::CheckIndex(int i, const char *where) const {
    if (!IsValidIndex(i))
        RaiseStreetError(std::string("TPointList.") + where, "index " + std::to_string(i) +
                                                                 " out of range (" + std::to_string(Count()) +
                                                                 " points)");
}

// ---- Vertices

int32_t TPointList::IdAt(int i) const {
    CheckIndex(i, "IdAt");
    return Refs_[static_cast<std::size_t>(i)]->Id();
}

int TPointList::IndexOfId(int32_t id) const {
    for (int i = 0; i < Count(); ++i)
        if (Refs_[static_cast<std::size_t>(i)]->Id() == id)
            return i;
    return -1;
}

int TPointList::IndexOfRec(const TStreetPointRec *rec) const {
    for (int i = 0; i < Count(); ++i)
        if (Refs_[static_cast<std::size_t>(i)] == rec)
            return i;
    return -1;
}

TStreetPointRec *TPointList::PointRec(int i) const {
    CheckIndex(i, "PointRec");
    return Refs_[static_cast<std::size_t>(i)];
}

TXYZ TPointList::GetPoint(int i) const {
    CheckIndex(i, "GetPoint");
    return Refs_[static_cast<std::size_t>(i)]->Position();
}

TXYZArray TPointList::GetPoints() const {
    TXYZArray out;
    out.reserve(Refs_.size());
    for (const TStreetPointRec *r : Refs_)
        out.push_back(r->Position());
    return out;
}

void TPointList::Insert(int index, TStreetPointRec *rec) {
    if (!rec)
        return;
    if (index < 0 || index > Count())
        RaiseStreetError("TPointList.Insert", "index " + std::to_string(index) + " out of range (" +
                                                  std::to_string(Count()) + " points)");
    const TXYZ p = rec->Position();
    if (index > 0 && VectorsEqual(Refs_[static_cast<std::size_t>(index) - 1]->Position(), p))
        return;
    const TStreetPointRec *next = nullptr;
    if (index < Count())
        next = Refs_[static_cast<std::size_t>(index)];
    else if (Count() > 0 && OwnerIsClosed())
        next = Refs_.front();
    if (next && VectorsEqual(next->Position(), p))
        return;
    rec->Owners.push_back(this);
    Refs_.insert(Refs_.begin() + index, rec);
    PointChanged(index);
}

void TPointList::InsertById(int index, int32_t id) {
    if (!Pool_)
        return;
    Insert(index, Pool_->FindById(id));
}

TStreetPointRec *TPointList::InsertNewPoint(int index, const TXYZ &position) {
    if (!Pool_)
        RaiseStreetError("TPointList.InsertNewPoint", "the list has no point pool");
    const int before = Count();
    TStreetPointRec *rec = Pool_->AddPointRec(position);
    Insert(index, rec);
    if (Count() == before) {
        // Refused as equal to a neighbour: the record just made must not stay behind unused.
        Pool_->Delete(Pool_->Count() - 1);
        return nullptr;
    }
    return rec;
}

void TPointList::Delete(int i) {
    CheckIndex(i, "Delete");
    TStreetPointRec *rec = Refs_[static_cast<std::size_t>(i)];
    Refs_.erase(Refs_.begin() + i);
    LetGo(rec);
    VerticesRemoved();
}

void TPointList::LetGo(TStreetPointRec *rec) {
    RemoveOneOwner(rec, this);
    // Every other list still using the record is told that its vertex changed (a list using it twice
    // hears it twice, which changes nothing the second time).
    for (std::size_t k = 0; k < rec->Owners.size(); ++k)
        if (TPointList *l = rec->Owners[k]; l != this)
            l->PointChangedRec(rec);
}

void TPointList::VerticesRemoved() {
    Changed_ = true;
    GeometryValid_ = false;
    if (Owner_)
        Owner_->PointsChanged();
    MarkOwnerDirty();
    NotifyModified();
}

void TPointList::Clear() {
    while (Count() > 0)
        Delete(Count() - 1);
}

void TPointList::SetPoint(int i, const TXYZ &position) {
    CheckIndex(i, "SetPoint");
    Refs_[static_cast<std::size_t>(i)]->SetPosition(position);
    PointChanged(i);
}

void TPointList::Reverse() {
    std::reverse(Refs_.begin(), Refs_.end());
    if (CurrentIndex >= 0)
        CurrentIndex = Count() - 1 - CurrentIndex;
    SetChanged(true);
}

void TPointList::SetSpline(bool flag) {
    if (flag == Spline_)
        return;
    Spline_ = flag;
    SetChanged(true);
}

int TPointList::NeighbourIndex(int i, bool forward) const {
    if (i < 0 || i >= Count())
        return -1;
    const int j = forward ? i + 1 : i - 1;
    if (j >= 0 && j < Count())
        return j;
    if (!OwnerIsClosed())
        return -1;
    return forward ? 0 : Count() - 1;
}

// ---- Change propagation

void TPointList::MarkChangedByNeighbour() {
    Changed_ = true;
    GeometryValid_ = false;
    MarkOwnerDirty();
}

void TPointList::NotifySharers(TStreetPointRec *rec) {
    for (TPointList *l : rec->Owners)
        if (l != this)
            l->MarkChangedByNeighbour();
}

void TPointList::SetChanged(bool flag) {
    Changed_ = flag;
    if (!flag)
        return;
    // Whatever the flag was: since the list was last marked the street may have been saved, and the
    // geometry (its own or a neighbour's) built again from what is now out of date.
    for (TStreetPointRec *rec : Refs_)
        for (TPointList *l : rec->Owners)
            l->MarkChangedByNeighbour();
    GeometryValid_ = false;
    if (Owner_)
        Owner_->PointsChanged();
    NotifyModified();
    MarkOwnerDirty();
}

void TPointList::InvalidateGraphics() {
    Changed_ = true;
    MarkOwnerDirty();
}

void TPointList::PointChangedRec(TStreetPointRec *rec) {
    NotifySharers(rec);
    Changed_ = true;
    GeometryValid_ = false;
    // Also when already marked: the owner's caches may have been rebuilt since.
    if (Owner_)
        Owner_->PointsChanged();
    // Every vertex change alters what is saved, whether or not the graphics were already stale.
    NotifyModified();
    MarkOwnerDirty();
}

void TPointList::PointChanged(int i) {
    CheckIndex(i, "PointChanged");
    PointChangedRec(Refs_[static_cast<std::size_t>(i)]);
}

// ---- Relative transforms

void TPointList::StoreRelative(const TXYZ &origin) {
    Relative_.clear();
    Relative_.reserve(Refs_.size());
    for (const TStreetPointRec *r : Refs_)
        Relative_.push_back(VectorFromTo(origin, r->Position()));
}

void TPointList::MoveRelative(const TXYZ &origin) {
    const int n = std::min(Count(), static_cast<int>(Relative_.size()));
    for (int i = 0; i < n; ++i)
        SetPoint(i, VectorAdd(origin, Relative_[static_cast<std::size_t>(i)]));
}

void TPointList::RotateRelative(const TXYZ &origin, float angle) {
    const int n = std::min(Count(), static_cast<int>(Relative_.size()));
    for (int i = 0; i < n; ++i)
        SetPoint(i, VectorAdd(origin, VectorRotate(Relative_[static_cast<std::size_t>(i)], angle)));
}

void TPointList::ScaleRelative(const TXYZ &origin, float factor) {
    const int n = std::min(Count(), static_cast<int>(Relative_.size()));
    for (int i = 0; i < n; ++i)
        SetPoint(i, VectorAdd(origin, VectorScale(Relative_[static_cast<std::size_t>(i)], factor)));
}

// ---- Edges

float TPointList::EdgeLength(int i) const {
    CheckIndex(i, "EdgeLength");
    const int j = (i + 1) % Count();
    return VectorDistance(Refs_[static_cast<std::size_t>(i)]->Position(),
                          Refs_[static_cast<std::size_t>(j)]->Position());
}

float TPointList::EdgeAngle(int i) const {
    if (i == -1)
        i = Count() - 1;
    CheckIndex(i, "EdgeAngle");
    const int j = (i + 1) % Count();
    return VectorAngle(VectorFromTo(Refs_[static_cast<std::size_t>(i)]->Position(),
                                    Refs_[static_cast<std::size_t>(j)]->Position()));
}

void TPointList::SetEdgeLength(int i, float length) {
    CheckIndex(i, "SetEdgeLength");
    const int j = (i + 1) % Count();
    const TXYZ a = GetPoint(i), b = GetPoint(j);
    const double dx = double(b.x) - a.x, dy = double(b.y) - a.y, dz = double(b.z) - a.z;
    const double cur = std::sqrt(dx * dx + dy * dy + dz * dz);
    // A zero-length edge has no direction to stretch along.
    if (!(cur > 0) || !std::isfinite(length))
        return;
    const double k = length / cur;
    SetPoint(j, {float(a.x + dx * k), float(a.y + dy * k), float(a.z + dz * k)});
}

void TPointList::SetEdgeAngle(int i, float angle) {
    CheckIndex(i, "SetEdgeAngle");
    if (!std::isfinite(angle))
        return;
    const int j = (i + 1) % Count();
    const TXYZ a = GetPoint(i), b = GetPoint(j);
    const double len = EdgeLength(i);
    SetPoint(j,
             {float(a.x + len * std::cos(double(angle))), float(a.y + len * std::sin(double(angle))), b.z});
}

float TPointList::PathLength(int a, int b) const {
    if (a < 0 || b >= Count() || a >= b)
        return 0;
    double sum = 0;
    for (int i = a; i < b; ++i)
        sum += Dist3(Refs_[static_cast<std::size_t>(i)]->Position(),
                     Refs_[static_cast<std::size_t>(i) + 1]->Position());
    return float(sum);
}

void TPointList::ArrangeAngles(int n) {
    if (n <= 0 || Count() < 2)
        return;
    const double step = 2 * std::numbers::pi / n;
    auto snap = [step](double a) { return std::nearbyint(a / step) * step; };
    double sumW = 0, sumDev = 0;
    for (int i = 0; i < Count(); ++i) {
        const double a = EdgeAngle(i), w = EdgeLength(i);
        sumW += w;
        sumDev += (a - snap(a)) * w;
    }
    // Every edge of zero length: no deviation to share.
    const double off = sumW > 0 && std::isfinite(sumDev / sumW) ? sumDev / sumW : 0;
    for (int i = 0; i + 1 < Count(); ++i)
        SetEdgeAngle(i, float(snap(EdgeAngle(i)) + off));
    if (OwnerIsClosed() && Count() >= 3) {
        const TXYZ v0 = GetPoint(0), v1 = GetPoint(1), vl = GetPoint(Count() - 1);
        const double r0 = snap(VectorAngle(VectorFromTo(v1, v0))) + off;
        const double r1 = snap(VectorAngle(VectorFromTo(vl, v0))) + off;
        const TXYZ d0{float(v1.x + std::cos(r0)), float(v1.y + std::sin(r0)), v1.z};
        const TXYZ d1{float(vl.x + std::cos(r1)), float(vl.y + std::sin(r1)), vl.z};
        float t = 0, u = 0;
        // Parallel lines meet nowhere (or anywhere): vertex 0 then stays where it is. The directions are
        // multiples of the step plus one offset, so parallel ones differ by a multiple of pi up to
        // rounding, which a crossing test alone would turn into a point far away.
        const bool parallel = std::fabs(std::remainder(r0 - r1, std::numbers::pi)) < 1e-9;
        if (!parallel && LinesIntersect(v1, d0, vl, d1, t, u)) {
            TXYZ p = VectorLerp(v1, d0, t);
            p.z = v0.z;
            SetPoint(0, p);
        }
    }
}

// ---- Dense geometry

void TPointList::ClearGeometry() {
    Dense_.clear();
    DenseIndex_.clear();
    Lengths_.clear();
    Normals_.clear();
}

void TPointList::EnsureGeometry() {
    // A list whose graphics were rebuilt while its item was hidden has Changed cleared but no geometry:
    // every query rebuilds whatever is not valid.
    if (!GeometryValid_)
        BuildGeometry();
}

void TPointList::SegmentSpan(int i, std::span<const TXYZ> &points, TXYZ straight[2], int &a, int &b) const {
    const int n = Count();
    TStreetPointRec *s = Refs_[static_cast<std::size_t>(i)];
    TStreetPointRec *e = Refs_[static_cast<std::size_t>((i + 1) % n)];
    for (TPointList *l : s->Owners) {
        if (l->OwnerTypeCode() != ArcCoordsTypeCode)
            continue;
        const int m = l->Count();
        for (int ia = 0; ia < m; ++ia) {
            if (l->Refs_[static_cast<std::size_t>(ia)] != s)
                continue;
            int ib = -1;
            if (ia + 1 < m && l->Refs_[static_cast<std::size_t>(ia) + 1] == e)
                ib = ia + 1;
            else if (ia > 0 && l->Refs_[static_cast<std::size_t>(ia) - 1] == e)
                ib = ia - 1;
            if (ib < 0)
                continue;
            // A curve builds its dense line from its own vertices only, so this never recurses back.
            l->EnsureGeometry();
            if (!l->GeometryValid_ || static_cast<std::size_t>(std::max(ia, ib)) >= l->DenseIndex_.size())
                continue;
            points = l->Dense_;
            a = l->DenseIndex_[static_cast<std::size_t>(ia)];
            b = l->DenseIndex_[static_cast<std::size_t>(ib)];
            return;
        }
    }
    straight[0] = s->Position();
    straight[1] = e->Position();
    points = std::span<const TXYZ>(straight, 2);
    a = 0;
    b = 1;
}

void TPointList::SegmentGeometry(int i, TXYZArray &points, int &a, int &b) const {
    CheckIndex(i, "SegmentGeometry");
    std::span<const TXYZ> span;
    TXYZ straight[2];
    SegmentSpan(i, span, straight, a, b);
    points.assign(span.begin(), span.end());
}

void TPointList::BuildGeometry() {
    if (GeometryValid_)
        return;
    ClearGeometry();
    const int n = Count();
    if (n < 2)
        return;
    if (OwnerTypeCode() == ArcCoordsTypeCode || (Spline_ && CanBuildSpline())) {
        TXYZArray control(static_cast<std::size_t>(3 * n - 2));
        for (int i = 0; i < n; ++i)
            control[static_cast<std::size_t>(3 * i)] = Refs_[static_cast<std::size_t>(i)]->Position();
        CSplineSmooth(control);
        const CSP_Coeffs_Array spans = CSplineCoeffs(control);
        for (std::size_t i = 0; i < spans.size(); ++i) {
            DenseIndex_.push_back(static_cast<int32_t>(Dense_.size()));
            Dense_.push_back(CSplineEval(spans[i], 0));
            const TSingleDynAr steps = CSplineSteps(spans[i], SplineTolerance);
            for (std::size_t k = 0; k + 1 < steps.size(); ++k)
                Dense_.push_back(CSplineEval(spans[i], steps[k]));
        }
        DenseIndex_.push_back(static_cast<int32_t>(Dense_.size()));
        Dense_.push_back(Refs_.back()->Position());
    } else {
        const bool closed = OwnerIsClosed();
        const int edges = closed ? n : n - 1;
        for (int i = 0; i < edges; ++i) {
            DenseIndex_.push_back(static_cast<int32_t>(Dense_.size()));
            std::span<const TXYZ> pts;
            TXYZ straight[2];
            int a = 0, b = 0;
            SegmentSpan(i, pts, straight, a, b);
            if (a < b)
                for (int k = a; k < b; ++k)
                    Dense_.push_back(pts[static_cast<std::size_t>(k)]);
            else if (a > b)
                for (int k = a; k > b; --k)
                    Dense_.push_back(pts[static_cast<std::size_t>(k)]);
        }
        DenseIndex_.push_back(static_cast<int32_t>(Dense_.size()));
        Dense_.push_back(closed ? Refs_.front()->Position() : Refs_.back()->Position());
    }

    const std::size_t m = Dense_.size();
    Lengths_.resize(m);
    double sum = 0;
    Lengths_[0] = 0;
    for (std::size_t j = 1; j < m; ++j) {
        sum += Dist3(Dense_[j - 1], Dense_[j]);
        Lengths_[j] = float(sum);
    }

    Normals_.resize(m);
    for (std::size_t j = 1; j + 1 < m; ++j)
        Normals_[j] = MiterVector(Dense_[j - 1], Dense_[j], Dense_[j + 1]);
    // At the ends the perpendicular of the end segment; a zero-length end segment borrows the nearest
    // segment that has a direction (all points equal: no normal at all).
    auto endNormal = [this, m](bool atStart) {
        TXYZ nrm{0, 0, 0};
        if (atStart) {
            for (std::size_t j = 0; j + 1 < m; ++j)
                if (LeftNormal(Dense_[j], Dense_[j + 1], nrm))
                    break;
        } else {
            for (std::size_t j = m - 1; j > 0; --j)
                if (LeftNormal(Dense_[j - 1], Dense_[j], nrm))
                    break;
        }
        return nrm;
    };
    Normals_[0] = endNormal(true);
    Normals_[m - 1] = endNormal(false);
    GeometryValid_ = true;
}

float TPointList::DenseLength() {
    EnsureGeometry();
    return Lengths_.empty() ? 0.0f : Lengths_.back();
}

int TPointList::ClampedSegment(float t) const {
    const int last = static_cast<int>(Dense_.size()) - 2;
    return std::clamp(static_cast<int>(Trunc32(t)), 0, last);
}

TXYZ TPointList::PointAtParam(float t) {
    EnsureGeometry();
    if (Dense_.size() < 2)
        return {0, 0, 0};
    const int k = ClampedSegment(t);
    return VectorLerp(Dense_[static_cast<std::size_t>(k)], Dense_[static_cast<std::size_t>(k) + 1],
                      t - float(k));
}

float TPointList::DirectionAtParam(float t) {
    EnsureGeometry();
    if (Dense_.size() < 2)
        return 0;
    const std::size_t k = static_cast<std::size_t>(ClampedSegment(t));
    return VectorAngle(VectorFromTo(Dense_[k], Dense_[k + 1]));
}

float TPointList::DistanceAtParam(float t) {
    EnsureGeometry();
    if (Dense_.size() < 2)
        return 0;
    const int k = ClampedSegment(t);
    const std::size_t uk = static_cast<std::size_t>(k);
    return float(Lengths_[uk] + (double(Lengths_[uk + 1]) - Lengths_[uk]) * (double(t) - k));
}

float TPointList::ParamAtDistance(float d) {
    EnsureGeometry();
    const std::size_t m = Dense_.size();
    if (m < 2)
        return 0;
    std::size_t i = m - 1;
    for (std::size_t j = 0; j + 1 < m; ++j) {
        if (Lengths_[j] >= d) {
            i = j;
            break;
        }
    }
    const std::size_t k = i > 0 ? i - 1 : 0;
    const double span = double(Lengths_[k + 1]) - Lengths_[k];
    // A zero-length dense segment has no inside: the distance maps onto its start or its end.
    if (!(span > 0))
        return float(k) + (d > Lengths_[k] ? 1.0f : 0.0f);
    return float(double(k) + (double(d) - Lengths_[k]) / span);
}

bool TPointList::Project(const TXYZ &point, float &t, float &along, float &offset) {
    EnsureGeometry();
    const int m = static_cast<int>(Dense_.size());
    if (m < 2)
        return false;
    int k = NearestSegmentIndex(Dense_, point);
    if (k < 0)
        return false;
    k = std::min(k, m - 2);
    // A zero-length segment has no line to measure from: take the nearest one that has, forward first.
    auto hasLength = [this](int j) {
        const TXYZ &p = Dense_[static_cast<std::size_t>(j)], &q = Dense_[static_cast<std::size_t>(j) + 1];
        return p.x != q.x || p.y != q.y;
    };
    if (!hasLength(k)) {
        int f = k + 1, b = k - 1;
        while (f <= m - 2 && !hasLength(f))
            ++f;
        while (b >= 0 && !hasLength(b))
            --b;
        if (f <= m - 2)
            k = f;
        else if (b >= 0)
            k = b;
        else {
            t = float(k);
            along = Lengths_[static_cast<std::size_t>(k)];
            offset = 0;
            return true;
        }
    }
    const std::size_t uk = static_cast<std::size_t>(k);
    float t0 = 0, u = 0;
    ProjectPointOnSegment(point, Dense_[uk], Dense_[uk + 1], t0, u);
    const TXYZ a = VectorAdd(Dense_[uk], VectorScale(Normals_[uk], u));
    const TXYZ b = VectorAdd(Dense_[uk + 1], VectorScale(Normals_[uk + 1], u));
    float f = t0, dist = 0;
    if (a.x != b.x || a.y != b.y)
        ProjectPointOnSegment(point, a, b, f, dist);
    if (!std::isfinite(f))
        f = t0;
    t = float(k) + f;
    along = float(Lengths_[uk] + (double(Lengths_[uk + 1]) - Lengths_[uk]) * f);
    offset = u;
    return true;
}

float TPointList::ParamOfPoint(const TXYZ &point) {
    float t = 0, along = 0, offset = 0;
    if (!Project(point, t, along, offset))
        return 0;
    return t;
}

TXYZ TPointList::OffsetPointAtParam(float t, float offset) {
    EnsureGeometry();
    const std::size_t m = Dense_.size();
    if (m < 2)
        return {0, 0, 0};
    const float last = float(m - 1);
    if (t < 0) {
        const TXYZ d = VectorFromTo(Dense_[0], Dense_[1]);
        return VectorAdd(VectorAdd(Dense_[0], VectorScale(d, t)), VectorScale(Normals_[0], offset));
    }
    if (t > last) {
        const TXYZ d = VectorFromTo(Dense_[m - 2], Dense_[m - 1]);
        return VectorAdd(VectorAdd(Dense_[m - 1], VectorScale(d, t - last)),
                         VectorScale(Normals_[m - 1], offset));
    }
    std::size_t k = static_cast<std::size_t>(Trunc32(t));
    if (k > m - 2)
        k = m - 2;
    const TXYZ a = VectorAdd(Dense_[k], VectorScale(Normals_[k], offset));
    const TXYZ b = VectorAdd(Dense_[k + 1], VectorScale(Normals_[k + 1], offset));
    return VectorLerp(a, b, t - float(k));
}

TXYZArray TPointList::GetOffsetLine(float offset) const {
    TXYZArray out;
    out.reserve(Dense_.size());
    for (std::size_t i = 0; i < Dense_.size() && i < Normals_.size(); ++i)
        out.push_back(VectorAdd(Dense_[i], VectorScale(Normals_[i], offset)));
    return out;
}

int TPointList::VertexIndexAtParam(float t) {
    EnsureGeometry();
    if (Dense_.size() < 2)
        return 0;
    const int k = std::min(std::max(int(Trunc32(t)), 0), int(Dense_.size()) - 2);
    for (std::size_t i = 0; i + 1 < DenseIndex_.size(); ++i)
        if (DenseIndex_[i] <= k && k < DenseIndex_[i + 1])
            return static_cast<int>(i);
    return 0;
}

bool TPointList::IntersectWithSegment(const TXYZ &p1, const TXYZ &p2, float &t, float &s, float start) {
    EnsureGeometry();
    for (std::size_t j = 0; j + 1 < Dense_.size(); ++j) {
        float tt = 0, ss = 0;
        if (!LinesIntersect(Dense_[j], Dense_[j + 1], p1, p2, tt, ss))
            continue;
        if (tt < 0 || tt > 1 || ss < 0 || ss > 1)
            continue;
        t = float(j) + tt;
        s = ss;
        if (t > start)
            return true;
    }
    return false;
}

std::vector<TPointList::TSegmentCrossing> TPointList::SegmentCrossings(const TXYZ &p1, const TXYZ &p2) {
    EnsureGeometry();
    std::vector<TSegmentCrossing> out;
    for (std::size_t j = 0; j + 1 < Dense_.size(); ++j) {
        float tt = 0, ss = 0;
        if (!LinesIntersect(Dense_[j], Dense_[j + 1], p1, p2, tt, ss))
            continue;
        if (tt < 0 || tt > 1 || ss < 0 || ss > 1)
            continue;
        out.push_back({VectorLerp(Dense_[j], Dense_[j + 1], tt), float(j) + tt, ss});
    }
    return out;
}

// ---- Neighbours and outlines

std::vector<TPointList::TEdgeNeighbour> TPointList::GetEdgeNeighbours(int i) const {
    std::vector<TEdgeNeighbour> out;
    const int n = Count();
    if (i < 0 || i >= n || (i == n - 1 && !OwnerIsClosed()) || n < 2)
        return out;
    TStreetPointRec *s = Refs_[static_cast<std::size_t>(i)];
    TStreetPointRec *e = Refs_[static_cast<std::size_t>((i + 1) % n)];
    for (TPointList *l : s->Owners) {
        if (l == this ||
            std::any_of(out.begin(), out.end(), [l](const TEdgeNeighbour &x) { return x.List == l; }))
            continue;
        const int m = l->Count();
        const bool closed = l->OwnerIsClosed();
        bool found = false;
        for (int a = 0; a < m && !found; ++a) {
            if (l->Refs_[static_cast<std::size_t>(a)] != s)
                continue;
            for (int b = 0; b < m && !found; ++b) {
                if (l->Refs_[static_cast<std::size_t>(b)] != e)
                    continue;
                const int d = std::abs(a - b);
                if (d == 1 || (closed && m > 2 && d == m - 1)) {
                    out.push_back({l, a, b});
                    found = true;
                }
            }
        }
    }
    return out;
}

TItemTypeSet TPointList::GetEdgeNeighbourTypes(int i) const {
    TItemTypeSet set;
    for (const TEdgeNeighbour &nb : GetEdgeNeighbours(i))
        set.Include(nb.List->OwnerTypeCode());
    return set;
}

TItemTypeSet TPointList::GetAllEdgeNeighbourTypes() const {
    TItemTypeSet set;
    const int edges = OwnerIsClosed() ? Count() : Count() - 1;
    for (int i = 0; i < edges; ++i)
        set |= GetEdgeNeighbourTypes(i);
    return set;
}

void TPointList::BuildBorderEdges(TItemBatch &lineBatch, TBatchOwnerKey owner) {
    EnsureGeometry();
    if (Dense_.size() < 3)
        return;
    const int n = Count();
    const int edges = OwnerIsClosed() ? n : n - 1;
    const int type = OwnerTypeCode();
    for (int i = 0; i < edges && static_cast<std::size_t>(i) + 1 < DenseIndex_.size(); ++i) {
        bool shared = false;
        for (const TEdgeNeighbour &nb : GetEdgeNeighbours(i))
            if (nb.List->OwnerTypeCode() == type) {
                shared = true;
                break;
            }
        if (!shared)
            lineBatch.AddPolylineRange(owner, Dense_, DenseIndex_[static_cast<std::size_t>(i) + 1],
                                       DenseIndex_[static_cast<std::size_t>(i)]);
    }
}

void TPointList::BuildAllEdges(TItemBatch &lineBatch, TBatchOwnerKey owner) {
    lineBatch.DeleteOwner(owner);
    TXYZArray pts = GetPoints();
    if (pts.size() < 2)
        return;
    if (OwnerIsClosed())
        pts.push_back(pts.front());
    lineBatch.AddPolylineRange(owner, pts, static_cast<int>(pts.size()) - 1, 0);
}

// ---- Stream

std::vector<std::size_t> ReadBackIndices(std::span<const TXYZ> positions, bool closed) {
    auto stored = [positions](std::size_t i) { return TXYZ{positions[i].x, positions[i].y, 0}; };
    std::vector<std::size_t> kept(positions.size());
    for (std::size_t i = 0; i < kept.size(); ++i)
        kept[i] = i;
    // The reader's pass can leave two vertices within a millimetre that were not neighbours before (the
    // one between them went); the next reading would drop one of them. So the passes go on until one
    // drops nothing: written with what is left, the list reads back whole.
    for (std::size_t before = kept.size() + 1; kept.size() < before;) {
        before = kept.size();
        std::vector<std::size_t> next;
        next.reserve(kept.size());
        for (const std::size_t i : kept) {
            const TXYZ p = stored(i);
            if (!next.empty() &&
                (VectorsEqual(stored(next.back()), p) || (closed && VectorsEqual(stored(next.front()), p))))
                continue;
            next.push_back(i);
        }
        // A vertex within a millimetre of the one before it in the pass's input goes (the reader compares
        // with that one, not with the last vertex kept).
        std::vector<std::size_t> spaced;
        spaced.reserve(next.size());
        for (std::size_t k = 0; k < next.size(); ++k)
            if (k == 0 || Dist3(stored(next[k - 1]), stored(next[k])) >= DuplicateDistance)
                spaced.push_back(next[k]);
        kept = std::move(spaced);
    }
    return kept;
}

// The vertices a reader keeps of this list, on the positions a street stream gives back.
std::vector<const TStreetPointRec *> TPointList::RecordVertices() const {
    TXYZArray positions;
    positions.reserve(Refs_.size());
    for (const TStreetPointRec *r : Refs_)
        positions.push_back(r->Position());
    std::vector<const TStreetPointRec *> kept;
    for (const std::size_t i : ReadBackIndices(positions, OwnerIsClosed()))
        kept.push_back(Refs_[i]);
    return kept;
}

void TPointList::SaveToStream(TStream &stream) const {
    if (Refs_.empty())
        return;
    // Normally the vertices as they are; a vertex a reader would drop (moved onto its neighbour, or
    // within a millimetre of it) is left out, so that what is written reads back as written.
    const std::vector<const TStreetPointRec *> kept = RecordVertices();
    WriteStreamTag(stream, "PNTLIST ");
    WriteStreamTag(stream, "PNTLSTSP");
    stream.WriteBool(Spline_);
    stream.WriteInt32(static_cast<int32_t>(kept.size()));
    for (const TStreetPointRec *r : kept)
        stream.WriteInt32(r->Id());
}

void TPointList::LoadFromStream(TStream &stream) {
    const char *what = "TPointList.LoadFromStream";
    if (!CheckStreamTag(stream, "PNTLIST "))
        return;
    if (CheckStreamTag(stream, "PNTLSTSP")) {
        Spline_ = stream.ReadBool(what);
        GeometryValid_ = false;
    }
    const int32_t n = stream.ReadInt32(what);
    stream.CheckCount(n, 4, what);
    Refs_.reserve(Refs_.size() + static_cast<std::size_t>(n));
    for (int32_t i = 0; i < n; ++i)
        InsertById(Count(), stream.ReadInt32(what));
    // A vertex within a millimetre of the one before it goes. Decided on the list as read, then removed in
    // one sweep: deleting one at a time would move the rest of the list for each, and a file of many close
    // vertices would take quadratic time to read.
    std::vector<bool> drop(Refs_.size(), false);
    bool any = false;
    for (std::size_t i = 1; i < Refs_.size(); ++i)
        if (Dist3(Refs_[i - 1]->Position(), Refs_[i]->Position()) < DuplicateDistance)
            any = drop[i] = true;
    if (any)
        DeleteMarked(drop);
}

void TPointList::DeleteMarked(const std::vector<bool> &drop) {
    std::vector<TStreetPointRec *> gone;
    std::size_t out = 0;
    for (std::size_t i = 0; i < Refs_.size(); ++i) {
        if (drop[i])
            gone.push_back(Refs_[i]);
        else
            Refs_[out++] = Refs_[i];
    }
    Refs_.resize(out);
    for (TStreetPointRec *rec : gone)
        LetGo(rec);
    VerticesRemoved();
}

bool TPointList::CanBuildSpline() const {
    if (OwnerHasControlPoints() || OwnerIsClosed())
        return false;
    if (Count() < 3)
        return true;
    for (int i = 1; i + 1 < Count(); ++i)
        for (const TPointList *l : Refs_[static_cast<std::size_t>(i)]->Owners)
            if (l != this && !l->OwnerHasControlPoints())
                return false;
    return true;
}
