#include "shell/PointEditOps.h"

#include "engine/Cp1251Qt.h"
#include "model/AbstractItem.h"
#include "model/PointList.h"
#include "model/PointStructure.h"
#include "model/StreetStructure.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

bool OwnList(const TPointList *list) {
    const TAbstractItem *owner = list->GetOwner();
    return owner != nullptr && &owner->Points == list;
}

QString TooFewMessage(const TAbstractItem &item) {
    return QStringLiteral("У объекта «%1» осталось бы меньше %2 различных точек.")
        .arg(ItemCaption(item))
        .arg(item.MinPointCount());
}

QString TooManyMessage(const TAbstractItem &item) {
    return QStringLiteral("У объекта «%1» не может быть больше %2 точек.")
        .arg(ItemCaption(item))
        .arg(item.MaxPointCount());
}

TXYZArray PositionsWithout(const TPointList &list, const TStreetPointRec *rec) {
    TXYZArray out;
    for (const TStreetPointRec *r : list.Refs())
        if (r != rec)
            out.push_back(r->Position());
    return out;
}

TXYZArray PositionsOf(const TPointList &list, int from, int to) {
    TXYZArray out;
    for (int i = from; i <= to; ++i)
        out.push_back(list.GetPoint(i));
    return out;
}

// The distinct point lists using the record.
std::vector<TPointList *> UsersOf(const TStreetPointRec *rec) {
    std::vector<TPointList *> lists;
    for (TPointList *l : rec->Owners)
        if (std::find(lists.begin(), lists.end(), l) == lists.end())
            lists.push_back(l);
    return lists;
}

// The record leaves the list, and the pool too when nothing uses it any more (it was made for the edit).
void TakeBackNewPoint(TPointList &list, TStreetPointRec *rec) {
    const int i = list.IndexOfRec(rec);
    if (i >= 0)
        list.Delete(i);
    TPointStructure *pool = list.GetPool();
    if (pool == nullptr || !rec->Owners.empty())
        return;
    for (int k = pool->Count() - 1; k >= 0; --k)
        if (pool->Points(k) == rec) {
            pool->Delete(k);
            return;
        }
}

// Would the list accept the record at the index (Insert refuses a position equal to a neighbour's)?
bool InsertAccepted(const TPointList &list, int index, const TXYZ &p, bool closed) {
    if (index > 0 && VectorsEqual(list.GetPoint(index - 1), p))
        return false;
    if (index < list.Count())
        return !VectorsEqual(list.GetPoint(index), p);
    return !(list.Count() > 0 && closed && VectorsEqual(list.GetPoint(0), p));
}

// Would the list accept the position in place of its vertex i (deleted first, then inserted there)?
bool ReplaceAccepted(const TPointList &list, int i, const TXYZ &p, bool closed) {
    const int n = list.Count();
    if (i > 0 && VectorsEqual(list.GetPoint(i - 1), p))
        return false;
    if (i + 1 < n)
        return !VectorsEqual(list.GetPoint(i + 1), p);
    return !(n > 1 && closed && VectorsEqual(list.GetPoint(0), p));
}

// Replaces vertex i of the list by the record: where the list would refuse it beside its new neighbours,
// the vertex only goes.
void ReplaceVertex(TPointList &list, int i, TStreetPointRec *rec, bool closed) {
    list.Delete(i);
    if (InsertAccepted(list, i, rec->Position(), closed))
        list.Insert(i, rec);
}

// Where a point on the shared edge goes in a neighbour's list: between the edge's two vertices, or first
// when the edge is the neighbour's closing one.
int NeighbourInsertIndex(const TPointList::TEdgeNeighbour &nb) {
    const int lo = std::min(nb.A, nb.B), hi = std::max(nb.A, nb.B);
    return hi - lo == 1 ? lo + 1 : lo;
}

void StepBack(TPointList &list, int from) {
    list.CurrentIndex = list.Count() == 0 ? -1 : std::clamp(from - 1, 0, list.Count() - 1);
}

// KeepsLimits, measured from the given positions of the item rather than its present ones.
bool KeepsLimitsFrom(const TAbstractItem &item, std::span<const TXYZ> before, std::span<const TXYZ> after) {
    const bool closed = item.IsClosed();
    const int keptBefore = StoredVertexCount(before, closed), keptAfter = StoredVertexCount(after, closed);
    const bool minimum = keptAfter >= item.MinPointCount() || keptAfter >= keptBefore;
    const bool maximum = after.size() <= std::size_t(item.MaxPointCount()) || after.size() <= before.size();
    return minimum && maximum;
}

// Splits a closed item: it keeps 0..lo and hi..end, a copy lo..hi. Checked before anything changes, from
// the item's positions before the edit (a cut's crossing points are in it already and may have cost it
// vertices on reading themselves).
TAbstractItem *SplitClosedAt(TAbstractItem &item, int lo, int hi, std::span<const TXYZ> before) {
    TPointList &list = item.Points;
    if (lo < 0 || hi >= list.Count() || hi - lo < 1)
        return nullptr;
    TXYZArray keep = PositionsOf(list, 0, lo);
    const TXYZArray tail = PositionsOf(list, hi, list.Count() - 1);
    keep.insert(keep.end(), tail.begin(), tail.end());
    if (!KeepsLimitsFrom(item, before, keep) || !KeepsLimitsFrom(item, before, PositionsOf(list, lo, hi)))
        return nullptr;
    TAbstractItem *copy = CopyWithoutPoints(item);
    for (int i = lo; i <= hi; ++i)
        copy->Points.Insert(copy->Points.Count(), list.PointRec(i));
    for (int i = hi - 1; i > lo; --i)
        list.Delete(i);
    list.CurrentIndex = lo;
    copy->Points.CurrentIndex = 0;
    return copy;
}

// Splits an open item at vertex k, checked as SplitClosedAt.
TAbstractItem *SplitOpenAt(TAbstractItem &item, int k, std::span<const TXYZ> before, QString *why) {
    TPointList &list = item.Points;
    const int n = list.Count();
    if (item.IsClosed() || k < 1 || k > n - 2)
        return nullptr;
    const TXYZArray head = PositionsOf(list, 0, k), tail = PositionsOf(list, k, n - 1);
    if (!KeepsLimitsFrom(item, before, head) || !KeepsLimitsFrom(item, before, tail)) {
        if (why != nullptr)
            *why = TooFewMessage(item);
        return nullptr;
    }
    TAbstractItem *copy = CopyWithoutPoints(item);
    if (copy == nullptr)
        return nullptr;
    for (int i = k; i < n; ++i)
        copy->Points.Insert(copy->Points.Count(), list.PointRec(i));
    for (int i = n - 1; i > k; --i)
        list.Delete(i);
    list.CurrentIndex = k;
    copy->Points.CurrentIndex = 0;
    return copy;
}

} // namespace

// ---- Vertex limits

int SharingListCount(const TStreetPointRec &rec) {
    return static_cast<int>(UsersOf(&rec).size());
}

int StoredVertexCount(std::span<const TXYZ> positions, bool closed) {
    return static_cast<int>(ReadBackIndices(positions, closed).size());
}

bool KeepsLimits(const TAbstractItem &item, std::span<const TXYZ> positions) {
    return KeepsLimitsFrom(item, item.Points.GetPoints(), positions);
}

QString ItemCaption(const TAbstractItem &item) {
    return ToQString(item.GetDisplayName());
}

void TMoveGuard::AddUsers(TStreetPointRec *rec) {
    for (TPointList *l : rec->Owners) {
        if (!OwnList(l))
            continue;
        const TAbstractItem *owner = l->GetOwner();
        if (std::find(users_.begin(), users_.end(), owner) != users_.end())
            continue;
        users_.push_back(owner);
        keptBefore_.push_back(StoredVertexCount(l->GetPoints(), owner->IsClosed()) >= owner->MinPointCount());
    }
}

void TMoveGuard::AddRecord(TStreetPointRec *rec) {
    if (rec == nullptr ||
        std::any_of(entries_.begin(), entries_.end(), [rec](const TEntry &e) { return e.Rec == rec; }))
        return;
    entries_.push_back({rec, rec->Position()});
    AddUsers(rec);
}

void TMoveGuard::AddList(const TPointList &list) {
    for (TStreetPointRec *rec : list.Refs())
        AddRecord(rec);
}

bool TMoveGuard::Check() {
    bool ok = true;
    for (std::size_t i = 0; i < users_.size() && ok; ++i) {
        const TAbstractItem *u = users_[i];
        ok = !keptBefore_[i] || StoredVertexCount(u->Points.GetPoints(), u->IsClosed()) >= u->MinPointCount();
    }
    if (ok)
        return true;
    for (const TEntry &e : entries_) {
        // Through a list that uses the record, so that every list sharing it hears of the move back.
        if (!e.Rec->Owners.empty()) {
            TPointList *l = e.Rec->Owners[0];
            l->SetPoint(l->IndexOfRec(e.Rec), e.Position);
        } else {
            e.Rec->SetPosition(e.Position);
        }
    }
    return false;
}

// ---- Single vertices

TEditResult AddPoint(TAbstractItem &item, const TXYZ &position, bool intoNeighbours) {
    TPointList &list = item.Points;
    if (list.Count() >= item.MaxPointCount())
        return TEditResult::NoChange();
    if (list.Count() == 0)
        list.CurrentIndex = -1;
    list.CurrentIndex = std::clamp(list.CurrentIndex, -1, list.Count() - 1);
    std::vector<TPointList::TEdgeNeighbour> neighbours;
    if (intoNeighbours)
        neighbours = list.GetEdgeNeighbours(list.CurrentIndex);
    for (const TPointList::TEdgeNeighbour &nb : neighbours) {
        const TAbstractItem *other = nb.List->GetOwner();
        if (other == nullptr)
            continue;
        if (nb.List->Count() >= other->MaxPointCount())
            return TEditResult::Refuse(TooManyMessage(*other));
        // The neighbour may hold the edge with fewer vertices to spare than this item: a short edge that
        // costs this item one vertex on reading can cost a triangle beside it its existence.
        if (OwnList(nb.List)) {
            TXYZArray theirs = nb.List->GetPoints();
            theirs.insert(theirs.begin() + NeighbourInsertIndex(nb), position);
            if (!KeepsLimits(*other, theirs))
                return TEditResult::Refuse(TooFewMessage(*other));
        }
    }
    const int at = list.CurrentIndex + 1;
    // Two neighbours a hair apart with the new point between them would all collapse into one on reading.
    TXYZArray after = list.GetPoints();
    after.insert(after.begin() + at, position);
    if (!KeepsLimits(item, after))
        return TEditResult::Refuse(TooFewMessage(item));
    TStreetPointRec *rec = list.InsertNewPoint(at, position);
    if (rec == nullptr)
        return TEditResult::NoChange();
    for (const TPointList::TEdgeNeighbour &nb : neighbours)
        nb.List->Insert(NeighbourInsertIndex(nb), rec);
    list.CurrentIndex = std::min(at, item.MaxPointCount() - 1);
    return TEditResult::MadeChange();
}

TEditResult MoveCurrentPoint(TAbstractItem &item, const TXYZ &position) {
    TPointList &list = item.Points;
    if (!list.IsValidIndex(list.CurrentIndex))
        return TEditResult::NoChange();
    TMoveGuard guard;
    guard.AddRecord(list.PointRec(list.CurrentIndex));
    list.SetPoint(list.CurrentIndex, position);
    return guard.Check() ? TEditResult::MadeChange() : TEditResult::NoChange();
}

TEditResult SetCurrentCoordinate(TAbstractItem &item, int axis, float value) {
    TPointList &list = item.Points;
    if (!list.IsValidIndex(list.CurrentIndex) || axis < 0 || axis > 2 || !std::isfinite(value))
        return TEditResult::NoChange();
    TXYZ p = list.GetPoint(list.CurrentIndex);
    (axis == 0 ? p.x : axis == 1 ? p.y : p.z) = value;
    TMoveGuard guard;
    guard.AddRecord(list.PointRec(list.CurrentIndex));
    list.SetPoint(list.CurrentIndex, p);
    return guard.Check() ? TEditResult::MadeChange() : TEditResult::Refuse(TooFewMessage(item));
}

TEditResult DeleteCurrentPoint(TAbstractItem &item) {
    TPointList &list = item.Points;
    const int i = list.CurrentIndex;
    if (!list.IsValidIndex(i) || list.Count() <= item.MinPointCount())
        return TEditResult::NoChange();
    TXYZArray rest = list.GetPoints();
    rest.erase(rest.begin() + i);
    if (!KeepsLimits(item, rest))
        return TEditResult::Refuse(TooFewMessage(item));
    list.Delete(i);
    StepBack(list, i);
    return TEditResult::MadeChange();
}

TEditResult DeleteCurrentPointEverywhere(TAbstractItem &item,
                                         const std::function<bool(int degenerateCount)> &confirmDelete) {
    TPointList &list = item.Points;
    const int i = list.CurrentIndex;
    if (!list.IsValidIndex(i))
        return TEditResult::NoChange();
    TStreetPointRec *rec = list.PointRec(i);
    std::vector<TPointList *> keep;
    std::vector<TAbstractItem *> degenerate;
    for (TPointList *l : UsersOf(rec)) {
        if (!OwnList(l))
            continue;
        TAbstractItem *owner = l->GetOwner();
        if (KeepsLimits(*owner, PositionsWithout(*l, rec)))
            keep.push_back(l);
        else
            degenerate.push_back(owner);
    }
    if (!degenerate.empty() && !(confirmDelete && confirmDelete(static_cast<int>(degenerate.size()))))
        return TEditResult::NoChange();
    for (TPointList *l : keep) {
        for (int k = l->Count() - 1; k >= 0; --k)
            if (l->PointRec(k) == rec)
                l->Delete(k);
    }
    const bool itemGoes = std::find(degenerate.begin(), degenerate.end(), &item) != degenerate.end();
    if (!itemGoes)
        StepBack(list, i);
    if (!degenerate.empty())
        item.Street()->DeleteItems(degenerate);
    return TEditResult::MadeChange();
}

TEditResult ConnectCurrentPoint(TAbstractItem &item, TStreetPointRec *target, TConnectKind kind) {
    TPointList &list = item.Points;
    const int i = list.CurrentIndex;
    if (target == nullptr || !list.IsValidIndex(i) || list.IndexOfRec(target) >= 0)
        return TEditResult::NoChange();
    TStreetPointRec *const cur = list.PointRec(i);
    const TXYZ to = target->Position();
    if (kind == TConnectKind::Insert && list.Count() >= item.MaxPointCount())
        kind = TConnectKind::Replace;

    if (kind == TConnectKind::Insert) {
        if (!InsertAccepted(list, i + 1, to, item.IsClosed()))
            return TEditResult::NoChange();
        // A record within a millimetre of both ends of the current edge takes them with it on reading.
        TXYZArray after = list.GetPoints();
        after.insert(after.begin() + i + 1, to);
        if (!KeepsLimits(item, after))
            return TEditResult::Refuse(TooFewMessage(item));
        list.Insert(i + 1, target);
        list.CurrentIndex = i + 1;
        return TEditResult::MadeChange();
    }

    if (kind == TConnectKind::Replace) {
        TXYZArray after = list.GetPoints();
        after[static_cast<std::size_t>(i)] = to;
        if (!KeepsLimits(item, after))
            return TEditResult::Refuse(TooFewMessage(item));
        // A record the list would refuse beside the neighbours would only delete the vertex.
        if (!ReplaceAccepted(list, i, to, item.IsClosed()))
            return TEditResult::NoChange();
        list.Delete(i);
        list.Insert(i, target);
        list.CurrentIndex = i;
        return TEditResult::MadeChange();
    }

    // Relink: every list using the current vertex takes the target instead; a list that already holds the
    // target only loses the current vertex.
    const std::vector<TPointList *> users = UsersOf(cur);
    for (TPointList *l : users) {
        if (!OwnList(l))
            continue;
        TXYZArray after;
        const bool holds = l->IndexOfRec(target) >= 0;
        for (const TStreetPointRec *r : l->Refs())
            if (r != cur)
                after.push_back(r->Position());
            else if (!holds)
                after.push_back(to);
        if (!KeepsLimits(*l->GetOwner(), after))
            return TEditResult::Refuse(TooFewMessage(*l->GetOwner()));
    }
    for (TPointList *l : users) {
        const bool holds = l->IndexOfRec(target) >= 0;
        const bool closed = l->GetOwner() != nullptr && l->GetOwner()->IsClosed();
        for (int k = l->Count() - 1; k >= 0; --k) {
            if (l->PointRec(k) != cur)
                continue;
            if (holds || l->IndexOfRec(target) >= 0)
                l->Delete(k);
            else
                ReplaceVertex(*l, k, target, closed);
        }
    }
    const int at = list.IndexOfRec(target);
    list.CurrentIndex = at >= 0 ? at : std::clamp(i - 1, -1, list.Count() - 1);
    return TEditResult::MadeChange();
}

TEditResult DisconnectCurrentPoint(TAbstractItem &item) {
    TPointList &list = item.Points;
    const int i = list.CurrentIndex;
    if (!list.IsValidIndex(i))
        return TEditResult::NoChange();
    TStreetPointRec *cur = list.PointRec(i);
    if (UsersOf(cur).size() <= 1)
        return TEditResult::NoChange();
    const TXYZ p = cur->Position();
    if (!ReplaceAccepted(list, i, p, item.IsClosed())) {
        // A neighbour lies on the very same place: the vertex could not come back as a point of its own.
        return TEditResult::Refuse(
            QStringLiteral("Точка совпадает с соседней точкой объекта «%1»; отделить её "
                           "нельзя.")
                .arg(ItemCaption(item)));
    }
    list.Delete(i);
    list.InsertNewPoint(i, p);
    list.CurrentIndex = i;
    return TEditResult::MadeChange();
}

// ---- Edges

int CurrentEdgeEnd(const TAbstractItem &item) {
    const TPointList &list = item.Points;
    const int i = list.CurrentIndex, n = list.Count();
    if (!list.IsValidIndex(i) || n < 2)
        return -1;
    if (i + 1 < n)
        return i + 1;
    return item.IsClosed() ? 0 : -1;
}

TEditResult SetCurrentEdgeLength(TAbstractItem &item, float length) {
    const int j = CurrentEdgeEnd(item);
    if (j < 0 || !std::isfinite(length) || length < 0)
        return TEditResult::NoChange();
    TMoveGuard guard;
    guard.AddRecord(item.Points.PointRec(j));
    item.Points.SetEdgeLength(item.Points.CurrentIndex, length);
    return guard.Check() ? TEditResult::MadeChange() : TEditResult::Refuse(TooFewMessage(item));
}

TEditResult SetCurrentEdgeAngle(TAbstractItem &item, float angle) {
    const int j = CurrentEdgeEnd(item);
    if (j < 0 || !std::isfinite(angle))
        return TEditResult::NoChange();
    TMoveGuard guard;
    guard.AddRecord(item.Points.PointRec(j));
    item.Points.SetEdgeAngle(item.Points.CurrentIndex, angle);
    return guard.Check() ? TEditResult::MadeChange() : TEditResult::Refuse(TooFewMessage(item));
}

// ---- Whole items

namespace {

template <class Apply> TEditResult TransformItems(std::span<TAbstractItem *const> items, Apply apply) {
    TMoveGuard guard;
    for (TAbstractItem *item : items)
        if (item != nullptr)
            guard.AddList(item->Points);
    for (TAbstractItem *item : items)
        if (item != nullptr) {
            item->Points.SetChanged(true);
            apply(item->Points);
        }
    if (guard.Check())
        return TEditResult::MadeChange();
    for (TAbstractItem *item : items)
        if (item != nullptr &&
            StoredVertexCount(item->Points.GetPoints(), item->IsClosed()) < item->MinPointCount())
            return TEditResult::Refuse(TooFewMessage(*item));
    return TEditResult::Refuse(QStringLiteral("Точки объектов совпали бы."));
}

} // namespace

TEditResult MoveItemsRelative(std::span<TAbstractItem *const> items, const TXYZ &origin) {
    return TransformItems(items, [&origin](TPointList &l) { l.MoveRelative(origin); });
}

TEditResult RotateItemsRelative(std::span<TAbstractItem *const> items, const TXYZ &origin, float angle) {
    if (!std::isfinite(angle))
        return TEditResult::NoChange();
    return TransformItems(items, [&origin, angle](TPointList &l) { l.RotateRelative(origin, angle); });
}

TEditResult ScaleItemsRelative(std::span<TAbstractItem *const> items, const TXYZ &origin, float factor) {
    if (!std::isfinite(factor))
        return TEditResult::NoChange();
    TEditResult r =
        TransformItems(items, [&origin, factor](TPointList &l) { l.ScaleRelative(origin, factor); });
    if (r.Kind == TEditResult::Refused) {
        // The guard's own messages name one item; a scale that merges points says so for all of them.
        for (TAbstractItem *item : items)
            if (item != nullptr)
                return TEditResult::Refuse(TooFewMessage(*item));
    }
    return r;
}

TEditResult ArrangeItemAngles(TAbstractItem &item, int n) {
    TMoveGuard guard;
    guard.AddList(item.Points);
    item.Points.ArrangeAngles(n);
    return guard.Check() ? TEditResult::MadeChange() : TEditResult::Refuse(TooFewMessage(item));
}

// ---- Splitting and joining

TAbstractItem *CopyWithoutPoints(TAbstractItem &item) {
    TStreetStructure *street = item.Street();
    if (street == nullptr)
        return nullptr;
    const TXYZ origin{0, 0, 0};
    TAbstractItem *copy = item.CloneTo(*street, origin, origin);
    const std::vector<TStreetPointRec *> made = copy->Points.Refs();
    copy->Points.Clear();
    // The copy's own new vertices are not wanted: the pieces share the item's.
    TPointStructure &pool = street->Pool();
    for (TStreetPointRec *rec : made) {
        if (!rec->Owners.empty())
            continue;
        for (int k = pool.Count() - 1; k >= 0; --k)
            if (pool.Points(k) == rec) {
                pool.Delete(k);
                break;
            }
    }
    copy->Points.CurrentIndex = -1;
    return copy;
}

TAbstractItem *SplitOpenItem(TAbstractItem &item, int k, QString *why) {
    return SplitOpenAt(item, k, item.Points.GetPoints(), why);
}

namespace {

// A new pool point at the crossing after vertex v, or the vertex already lying there.
TStreetPointRec *PointAtCrossing(TPointList &list, int v, const TXYZ &p, bool closed, bool &made) {
    made = false;
    const int n = list.Count();
    if (VectorsEqual(list.GetPoint(v), p))
        return list.PointRec(v);
    const int next = v + 1 < n ? v + 1 : (closed ? 0 : -1);
    if (next >= 0 && VectorsEqual(list.GetPoint(next), p))
        return list.PointRec(next);
    TStreetPointRec *rec = list.InsertNewPoint(v + 1, p);
    made = rec != nullptr;
    return rec;
}

} // namespace

TAbstractItem *CutItem(TAbstractItem &item, const TXYZ &p1, const TXYZ &p2) {
    TPointList &list = item.Points;
    if (item.HasControlPoints() || list.Count() < 2)
        return nullptr;
    const bool closed = item.IsClosed();
    const TXYZArray before = list.GetPoints();
    float t1 = 0, t2 = 0, s = 0;
    if (!list.IntersectSegment(p1, p2, t1, s))
        return nullptr;
    if (closed && !list.IntersectWithSegment(p1, p2, t2, s, t1))
        return nullptr;
    const TXYZ at1 = list.PointAtParam(t1);
    const int v1 = list.VertexIndexAtParam(t1);
    TStreetPointRec *r1 = nullptr, *r2 = nullptr;
    bool made1 = false, made2 = false;
    if (closed) {
        const TXYZ at2 = list.PointAtParam(t2);
        const int v2 = list.VertexIndexAtParam(t2);
        r2 = PointAtCrossing(list, v2, at2, closed, made2);
        // t1 < t2, so the second crossing lies at or after the first one's stretch and leaves v1 in place.
        r1 = PointAtCrossing(list, v1, at1, closed, made1);
    } else {
        r1 = PointAtCrossing(list, v1, at1, closed, made1);
    }
    TAbstractItem *copy = nullptr;
    if (r1 != nullptr && (!closed || r2 != nullptr)) {
        if (closed) {
            const int a = list.IndexOfRec(r1), b = list.IndexOfRec(r2);
            if (a >= 0 && b >= 0 && a != b)
                copy = SplitClosedAt(item, std::min(a, b), std::max(a, b), before);
        } else {
            copy = SplitOpenAt(item, list.IndexOfRec(r1), before, nullptr);
        }
    }
    if (copy == nullptr) {
        if (made1)
            TakeBackNewPoint(list, r1);
        if (made2)
            TakeBackNewPoint(list, r2);
    }
    return copy;
}

TAbstractItem *SplitAlongChord(TAbstractItem &item, int a, int b) {
    if (!item.IsClosed() || !item.Points.IsValidIndex(a) || !item.Points.IsValidIndex(b) || a == b)
        return nullptr;
    return SplitClosedAt(item, std::min(a, b), std::max(a, b), item.Points.GetPoints());
}

int LinkManyItems(std::vector<TAbstractItem *> &items) {
    int joins = 0;
    for (bool linked = true; linked;) {
        linked = false;
        for (std::size_t i = 0; i < items.size() && !linked; ++i) {
            TAbstractItem *item = items[i];
            const int n = item->Points.Count();
            if (n == 0)
                continue;
            for (int end : {0, n - 1}) {
                TAbstractItem *other = nullptr;
                for (TPointList *l : UsersOf(item->Points.PointRec(end))) {
                    TAbstractItem *o = l->GetOwner();
                    if (o != nullptr && o != item && OwnList(l) &&
                        std::find(items.begin(), items.end(), o) != items.end() && item->CanLinkWith(o)) {
                        other = o;
                        break;
                    }
                }
                if (other == nullptr)
                    continue;
                // The join frees the other item: it leaves the list first.
                std::erase(items, other);
                item->LinkWith(other);
                ++joins;
                linked = true;
                break;
            }
        }
    }
    return joins;
}

// ---- Regular polygons

TXYZArray RegularPolygonPoints(const TXYZ &centre, int n, double radius) {
    TXYZArray out;
    if (n <= 0)
        return out;
    out.reserve(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        const double a = -2 * std::numbers::pi * i / n;
        out.push_back(
            {float(centre.x + radius * std::cos(a)), float(centre.y + radius * std::sin(a)), centre.z});
    }
    return out;
}

std::vector<TAbstractItem *> MakeRegularPolygon(TAbstractItem &source, const TRegularPolygonParams &params,
                                                QString *why) {
    std::vector<TAbstractItem *> made;
    TPointList &list = source.Points;
    TStreetStructure *street = source.Street();
    if (street == nullptr || !list.IsValidIndex(list.CurrentIndex) || params.Vertices < 2 ||
        !std::isfinite(params.Radius))
        return made;
    const int n = params.Vertices;
    const TXYZArray pts = RegularPolygonPoints(list.GetPoint(list.CurrentIndex), n, params.Radius);
    std::vector<TXYZArray> parts;
    if (!params.CloseContour) {
        parts.push_back(pts);
    } else {
        const int half = n / 2;
        parts.emplace_back(pts.begin(), pts.begin() + half + 1);
        TXYZArray second{pts[static_cast<std::size_t>(half)]};
        second.insert(second.end(), pts.begin() + half + 1, pts.end());
        second.push_back(pts.front());
        parts.push_back(second);
    }
    for (const TXYZArray &part : parts) {
        const int count = static_cast<int>(part.size());
        if (StoredVertexCount(part, source.IsClosed()) < source.MinPointCount() ||
            count > source.MaxPointCount()) {
            if (why != nullptr)
                *why =
                    QStringLiteral("Из объекта «%1» такой многоугольник не построить: вершин %2, радиус %3.")
                        .arg(ItemCaption(source))
                        .arg(n)
                        .arg(params.Radius);
            return made;
        }
    }
    for (std::size_t p = 0; p < parts.size(); ++p) {
        TAbstractItem *copy = CopyWithoutPoints(source);
        TPointList &l = copy->Points;
        const TXYZArray &part = parts[p];
        for (std::size_t k = 0; k < part.size(); ++k) {
            // The second half starts and ends on the first half's end records.
            if (p == 1 && k == 0)
                l.Insert(0, made[0]->Points.PointRec(made[0]->Points.Count() - 1));
            else if (p == 1 && k + 1 == part.size())
                l.Insert(l.Count(), made[0]->Points.PointRec(0));
            else
                l.InsertNewPoint(l.Count(), part[k]);
        }
        if (params.SplineContour)
            l.SetSpline(true);
        l.CurrentIndex = 0;
        made.push_back(copy);
    }
    for (TAbstractItem *copy : made)
        street->Selection().AddItem(copy);
    // A source of one vertex only marked the centre; any other stays.
    if (list.Count() <= 1) {
        TAbstractItem *const gone[] = {&source};
        street->DeleteItems(gone);
    }
    return made;
}

// ---- Stereo measurement

bool ClosestPointsOfLines(const TXYZ &p1, const TXYZ &p2, const TXYZ &q1, const TXYZ &q2, TXYZ &onP,
                          TXYZ &onQ) {
    const double d1[3] = {double(p2.x) - p1.x, double(p2.y) - p1.y, double(p2.z) - p1.z};
    const double d2[3] = {double(q2.x) - q1.x, double(q2.y) - q1.y, double(q2.z) - q1.z};
    const double r[3] = {double(p1.x) - q1.x, double(p1.y) - q1.y, double(p1.z) - q1.z};
    auto dot = [](const double *u, const double *v) { return u[0] * v[0] + u[1] * v[1] + u[2] * v[2]; };
    const double a = dot(d1, d1), e = dot(d2, d2), b = dot(d1, d2), c = dot(d1, r), f = dot(d2, r);
    const double denom = a * e - b * b;
    // Parallel (or nearly so) lines have no single pair of closest points.
    if (!(a > 0) || !(e > 0) || !(denom > 1e-12 * a * e) || !std::isfinite(denom))
        return false;
    const double s = (b * f - c * e) / denom, t = (a * f - b * c) / denom;
    onP = {float(p1.x + s * d1[0]), float(p1.y + s * d1[1]), float(p1.z + s * d1[2])};
    onQ = {float(q1.x + t * d2[0]), float(q1.y + t * d2[1]), float(q1.z + t * d2[2])};
    return true;
}
