#include "model/PointStructure.h"

#include "engine/StreetError.h"
#include "model/AbstractItem.h"
#include "model/PointList.h"
#include "model/StreamTags.h"

#include "engine/UndefinedValue.h"
#include <algorithm>
#include <cfloat>
#include <cmath>
#include <limits>
#include <string>

namespace {

constexpr double SnapRadius = 100;     // neighbourhood cached around the refresh centre
constexpr double SnapReuseRadius = 50; // the cache serves positions this close to its centre
constexpr int PointTableEntrySize = 28;

// Every distance of the pool is computed this one way, in double, so the snapping rules (and the lower
// bounds of the spatial index) compare like with like.
double Distance(const TXYZ &p, const TStreetPointRec &r) {
    const double dx = static_cast<double>(r.X()) - p.x, dy = static_cast<double>(r.Y()) - p.y,
                 dz = static_cast<double>(r.Z()) - p.z;
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

double Distance(const TXYZ &a, const TXYZ &b) {
    const double dx = static_cast<double>(b.x) - a.x, dy = static_cast<double>(b.y) - a.y,
                 dz = static_cast<double>(b.z) - a.z;
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

bool FitsSingle(double v) {
    return std::isfinite(v) && std::fabs(v) <= FLT_MAX;
}

} // namespace

// ---- TOwnerList

void TOwnerList::push_back(TPointList *list) {
    if (Size_ == Capacity_) {
        const uint32_t capacity = Capacity_ * 2;
        auto grown = std::make_unique<TPointList *[]>(capacity);
        std::copy(begin(), end(), grown.get());
        Release();
        Heap_ = grown.release();
        Capacity_ = capacity;
    }
    Data()[Size_++] = list;
}

void TOwnerList::erase_at(std::size_t i) {
    TPointList **d = Data();
    std::copy(d + i + 1, d + Size_, d + i);
    --Size_;
}

void TOwnerList::Release() {
    if (Capacity_ > InPlace) {
        std::unique_ptr<TPointList *[]> owned(Heap_);
        Capacity_ = InPlace;
    }
}

// ---- TStreetPointRec

void TStreetPointRec::SetPosition(const TXYZ &p) {
    X_ = p.x;
    Y_ = p.y;
    Z_ = p.z;
    if (Pool_)
        Pool_->RecordMoved(this);
}

void TStreetPointRec::SetId(int32_t id) {
    if (id <= 0)
        RaiseStreetError("TStreetPointRec.SetId", "point id " + std::to_string(id) + " is not positive");
    Id_ = id;
    if (Pool_)
        Pool_->RecordIdChanged(this);
}

// ---- TPointStructure

TPointStructure::~TPointStructure() = default;

void TPointStructure::SetStreet(TStreetStructure *street) {
    if (Street_)
        throw EStreetError("TPointStructure : SetStreet - Street<>nil");
    Street_ = street;
}

TStreetPointRec *TPointStructure::Allocate() {
    if (!Free_.empty()) {
        TStreetPointRec *r = Free_.back();
        Free_.pop_back();
        return r;
    }
    if (BlockLeft_ == 0) {
        constexpr std::size_t BlockSize = 1024;
        Blocks_.push_back(std::make_unique<TStreetPointRec[]>(BlockSize));
        BlockNext_ = Blocks_.back().get();
        BlockLeft_ = BlockSize;
    }
    --BlockLeft_;
    return BlockNext_++;
}

void TPointStructure::Recycle(TStreetPointRec *rec) {
    rec->Owners.clear();
    rec->X_ = rec->Y_ = rec->Z_ = 0;
    rec->Id_ = 0;
    rec->Pool_ = nullptr;
    rec->Index_ = 0;
    rec->CellKey_ = 0;
    rec->CellSlot_ = 0;
    rec->InGrid_ = false;
    Free_.push_back(rec);
}

TStreetPointRec *TPointStructure::AppendRecord() {
    IdIndexValid_ = false;
    TStreetPointRec *r = Allocate();
    r->Pool_ = this;
    r->Index_ = Points_.size();
    Points_.push_back(r);
    if (GridBuilt_)
        Grid_.Insert(r);
    BoundsValid_ = false;
    if (!SnapCandidates_.empty())
        SnapCandidates_.push_back(r);
    return r;
}

TStreetPointRec *TPointStructure::NewPoint() {
    TStreetPointRec *r = AppendRecord();
    // Its id is not known yet: until it is set, the order cannot be trusted.
    if (Points_.size() > 1)
        Sorted_ = false;
    return r;
}

TStreetPointRec *TPointStructure::AddPointRec(const TXYZ &position) {
    if (MaxId_ == std::numeric_limits<int32_t>::max())
        RaiseStreetError("TPointStructure.AddPointRec", "no point id left after " + std::to_string(MaxId_));
    ++MaxId_;
    TStreetPointRec *r = AppendRecord();
    r->Id_ = MaxId_;
    r->SetPosition(position);
    return r;
}

int32_t TPointStructure::AddPoint(const TXYZ &position) {
    return AddPointRec(position)->Id_;
}

void TPointStructure::Reindex(std::size_t from) {
    IdIndexValid_ = false;
    for (std::size_t i = from; i < Points_.size(); ++i)
        Points_[i]->Index_ = i;
}

void TPointStructure::Delete(int index) {
    if (index < 0 || index >= Count())
        RaiseStreetError("TPointStructure.Delete", "index " + std::to_string(index) + " out of range (" +
                                                       std::to_string(Count()) + " points)");
    TStreetPointRec *r = Points_[static_cast<std::size_t>(index)];
    std::erase(SnapCandidates_, r);
    if (GridBuilt_)
        Grid_.Remove(r);
    Points_.erase(Points_.begin() + index);
    Reindex(static_cast<std::size_t>(index));
    BoundsValid_ = false;
    Recycle(r);
}

void TPointStructure::Clear() {
    IdIndexValid_ = false;
    IdIndex_.clear();
    SnapCandidates_.clear();
    Grid_.Clear();
    Points_.clear();
    Free_.clear();
    Blocks_.clear();
    BlockNext_ = nullptr;
    BlockLeft_ = 0;
    MaxId_ = 0;
    BoundsValid_ = false;
    Sorted_ = true;
}

void TPointStructure::RemoveUnowned() {
    std::size_t w = 0;
    bool any = false;
    for (std::size_t r = 0; r < Points_.size(); ++r) {
        TStreetPointRec *rec = Points_[r];
        if (rec->Owners.empty()) {
            if (GridBuilt_)
                Grid_.Remove(rec);
            Recycle(rec);
            any = true;
        } else {
            Points_[w++] = rec;
        }
    }
    if (!any)
        return;
    Points_.resize(w);
    Reindex(0);
    BoundsValid_ = false;
    SnapCandidates_.clear();
}

TStreetPointRec *TPointStructure::Points(int index) const {
    if (index < 0 || index >= Count())
        RaiseStreetError("TPointStructure.Points", "index " + std::to_string(index) + " out of range (" +
                                                       std::to_string(Count()) + " points)");
    return Points_[static_cast<std::size_t>(index)];
}

void TPointStructure::EnsureSorted() {
    if (Sorted_)
        return;
    auto byId = [](const TStreetPointRec *a, const TStreetPointRec *b) { return a->Id_ < b->Id_; };
    if (!std::is_sorted(Points_.begin(), Points_.end(), byId)) {
        std::stable_sort(Points_.begin(), Points_.end(), byId);
        Reindex(0);
    }
    Sorted_ = true;
}

TStreetPointRec *TPointStructure::FindById(int32_t id) {
    if (Points_.empty())
        return nullptr;
    EnsureSorted();
    if (!IdIndexValid_) {
        IdIndex_.clear();
        const std::size_t n = Points_.size();
        if (MaxId_ > 0 && static_cast<std::size_t>(MaxId_) <= 2 * n + 1024) {
            IdIndex_.assign(static_cast<std::size_t>(MaxId_) + 1, nullptr);
            for (TStreetPointRec *r : Points_)
                if (r->Id_ > 0 && r->Id_ <= MaxId_ && !IdIndex_[static_cast<std::size_t>(r->Id_)])
                    IdIndex_[static_cast<std::size_t>(r->Id_)] = r;
        }
        IdIndexValid_ = true;
    }
    if (!IdIndex_.empty())
        return id > 0 && id <= MaxId_ ? IdIndex_[static_cast<std::size_t>(id)] : nullptr;
    auto it = std::lower_bound(Points_.begin(), Points_.end(), id,
                               [](const TStreetPointRec *r, int32_t v) { return r->Id_ < v; });
    return it != Points_.end() && (*it)->Id_ == id ? *it : nullptr;
}

void TPointStructure::RecordMoved(TStreetPointRec *rec) {
    if (GridBuilt_)
        Grid_.Update(rec);
    BoundsValid_ = false;
}

void TPointStructure::RecordIdChanged(TStreetPointRec *rec) {
    IdIndexValid_ = false;
    MaxId_ = std::max(MaxId_, rec->Id_);
    if (!Sorted_)
        return;
    const std::size_t i = rec->Index_;
    if ((i > 0 && Points_[i - 1]->Id_ >= rec->Id_) ||
        (i + 1 < Points_.size() && Points_[i + 1]->Id_ <= rec->Id_))
        Sorted_ = false;
}

void TPointStructure::LoadFromStream(TStream &stream) {
    const char *what = "TPointStructure.LoadFromStream";
    if (!CheckStreamTag(stream, "PNTSTRCT"))
        stream.Fail(what, "Ident<>PNTSTRCT");
    const int32_t n = stream.ReadInt32(what);
    stream.CheckCount(n, PointTableEntrySize, what);

    // Everything is read and checked before the pool changes, so a bad table leaves it as it was.
    struct TEntry {
        int32_t Id;
        float X, Y;
    };
    std::vector<TEntry> entries;
    entries.reserve(static_cast<std::size_t>(n));
    for (int32_t i = 0; i < n; ++i) {
        const int32_t id = stream.ReadInt32(what);
        const double x = stream.ReadDouble(what), y = stream.ReadDouble(what);
        stream.ReadDouble(what); // Z: heights do not live in the plan's vertices
        if (id <= 0)
            stream.Fail(what, "point id " + std::to_string(id) + " is not positive");
        if (!FitsSingle(x) || !FitsSingle(y))
            stream.Fail(what, "point id " + std::to_string(id) + " has a coordinate out of range");
        entries.push_back({id, static_cast<float>(x), static_cast<float>(y)});
    }

    // Writers store ascending ids, which cannot repeat: only other tables need the sort to find a
    // repeated id.
    bool ascending = entries.empty() || entries.front().Id > MaxId_;
    for (std::size_t i = 1; ascending && i < entries.size(); ++i)
        ascending = entries[i - 1].Id < entries[i].Id;
    if (!ascending) {
        std::vector<int32_t> ids;
        ids.reserve(Points_.size() + entries.size());
        for (const TStreetPointRec *r : Points_)
            ids.push_back(r->Id_);
        for (const TEntry &e : entries)
            ids.push_back(e.Id);
        std::sort(ids.begin(), ids.end());
        if (auto dup = std::adjacent_find(ids.begin(), ids.end()); dup != ids.end())
            stream.Fail(what, "duplicate point id " + std::to_string(*dup));
    }
    Points_.reserve(Points_.size() + entries.size());

    bool inOrder = true;
    int32_t last = Points_.empty() ? 0 : Points_.back()->Id_;
    for (const TEntry &e : entries) {
        TStreetPointRec *r = AppendRecord();
        r->Id_ = e.Id;
        r->X_ = e.X;
        r->Y_ = e.Y;
        if (GridBuilt_)
            Grid_.Update(r);
        inOrder = inOrder && e.Id > last;
        last = e.Id;
        MaxId_ = std::max(MaxId_, e.Id);
    }
    // Writers store ascending ids; a table that does not is sorted here, so lookups find every point.
    Sorted_ = Sorted_ && inOrder;
    EnsureSorted();
}

void TPointStructure::SaveToStream(TStream &stream) {
    EnsureSorted();
    WriteStreamTag(stream, "PNTSTRCT");
    stream.WriteInt32(Count());
    for (const auto &r : Points_) {
        stream.WriteInt32(r->Id_);
        stream.WriteDouble(r->X_);
        stream.WriteDouble(r->Y_);
        // The reader drops heights; writing one would make a stream we wrote read back differently.
        stream.WriteDouble(0.0);
    }
}

void TPointStructure::UpdateBounds() {
    if (BoundsValid_)
        return;
    if (Points_.empty()) {
        std::fill(std::begin(Bounds_), std::end(Bounds_), 0.0f);
        return;
    }
    float minX = Points_[0]->X_, minY = Points_[0]->Y_, maxX = minX, maxY = minY;
    for (const auto &r : Points_) {
        minX = std::min(minX, r->X_);
        minY = std::min(minY, r->Y_);
        maxX = std::max(maxX, r->X_);
        maxY = std::max(maxY, r->Y_);
    }
    Bounds_[0] = minX;
    Bounds_[1] = minY;
    Bounds_[2] = maxX;
    Bounds_[3] = maxY;
    BoundsValid_ = true;
}

void TPointStructure::GetBounds(float &minX, float &minY, float &maxX, float &maxY) {
    UpdateBounds();
    minX = Bounds_[0];
    minY = Bounds_[1];
    maxX = Bounds_[2];
    maxY = Bounds_[3];
}

void TPointStructure::Renumber(int32_t first) {
    IdIndexValid_ = false;
    if (first <= 0 || static_cast<int64_t>(first) + Count() - 1 > std::numeric_limits<int32_t>::max())
        RaiseStreetError("TPointStructure.Renumber", "ids from " + std::to_string(first) + " for " +
                                                         std::to_string(Count()) + " points out of range");
    for (std::size_t i = 0; i < Points_.size(); ++i)
        Points_[i]->Id_ = first + static_cast<int32_t>(i);
    if (!Points_.empty())
        MaxId_ = std::max(MaxId_, Points_.back()->Id_);
    Sorted_ = true;
}

void TPointStructure::Append(TPointStructure &other) {
    IdIndexValid_ = false;
    other.IdIndexValid_ = false;
    if (&other == this)
        RaiseStreetError("TPointStructure.Append", "a pool cannot take over its own points");
    if (other.Points_.empty()) {
        SnapCandidates_.clear();
        return;
    }
    if (static_cast<int64_t>(MaxId_) + other.Count() > std::numeric_limits<int32_t>::max())
        RaiseStreetError("TPointStructure.Append", "no point ids left for " + std::to_string(other.Count()) +
                                                       " points after " + std::to_string(MaxId_));
    other.Renumber(MaxId_ + 1);
    Points_.reserve(Points_.size() + other.Points_.size());
    for (TStreetPointRec *rec : other.Points_) {
        rec->Pool_ = this;
        rec->Index_ = Points_.size();
        rec->InGrid_ = false;
        if (GridBuilt_)
            Grid_.Insert(rec);
        Points_.push_back(rec);
    }
    // The records' memory comes along with them.
    for (auto &block : other.Blocks_)
        Blocks_.push_back(std::move(block));
    Free_.insert(Free_.end(), other.Free_.begin(), other.Free_.end());
    other.Blocks_.clear();
    other.Free_.clear();
    other.BlockNext_ = nullptr;
    other.BlockLeft_ = 0;
    MaxId_ += other.Count();
    other.Points_.clear();
    other.SnapCandidates_.clear();
    other.Grid_.Clear();
    other.BoundsValid_ = false;
    other.Sorted_ = true;
    BoundsValid_ = false;
    SnapCandidates_.clear();
}

TPointGrid &TPointStructure::Grid() const {
    if (!GridBuilt_) {
        Grid_.Clear();
        for (const auto &r : Points_)
            Grid_.Insert(r);
        GridBuilt_ = true;
    }
    return Grid_;
}

void TPointStructure::CollectWithinList(const TXYZ &position, const TItemTypeSet &types, double radius,
                                        std::vector<TStreetPointRec *> &list) const {
    std::vector<const TPointGrid::TCell *> cells;
    Grid().CellsNear(position.x, position.y, radius, cells);
    const std::size_t start = list.size();
    for (const TPointGrid::TCell *cell : cells)
        for (TStreetPointRec *r : cell->Recs)
            if (Distance(position, *r) <= radius && GetPointOwnerTypes(*r).Meets(types))
                list.push_back(r);
    std::sort(list.begin() + static_cast<std::ptrdiff_t>(start), list.end(),
              [](const TStreetPointRec *a, const TStreetPointRec *b) { return a->Index_ < b->Index_; });
}

TXYZArray TPointStructure::CollectWithin(const TXYZ &position, const TItemTypeSet &types,
                                         double radius) const {
    std::vector<TStreetPointRec *> list;
    CollectWithinList(position, types, radius, list);
    TXYZArray out;
    out.reserve(list.size());
    for (const TStreetPointRec *r : list)
        out.push_back(r->Position());
    return out;
}

int32_t TPointStructure::FindNearest(TXYZ &position, const TItemTypeSet &types) {
    if (Points_.empty())
        return -1;
    const TXYZ p = position;
    if (Distance(SnapCentre_, p) > SnapReuseRadius || SnapCandidates_.empty()) {
        SnapCandidates_.clear();
        CollectWithinList(p, FullTypeSet(), SnapRadius, SnapCandidates_);
        SnapCentre_ = p;
    }

    TStreetPointRec *best = nullptr;
    double bestD = UndefinedValue;
    for (TStreetPointRec *r : SnapCandidates_) {
        const double d = Distance(p, *r);
        if (d <= bestD && GetPointOwnerTypes(*r).Meets(types)) {
            best = r;
            bestD = d;
        }
    }

    if (!best) {
        // The whole pool, nearest cells first. The result is the one a scan of every record in pool order
        // gives: the smallest distance, and of equal distances the record latest in the pool.
        std::vector<std::pair<double, const TPointGrid::TCell *>> cells;
        Grid().AllCells(p.x, p.y, cells);
        auto farther = [](const auto &a, const auto &b) { return a.first > b.first; };
        std::make_heap(cells.begin(), cells.end(), farther);
        while (!cells.empty()) {
            std::pop_heap(cells.begin(), cells.end(), farther);
            const auto [bound, cell] = cells.back();
            cells.pop_back();
            if (bound > bestD)
                break;
            for (TStreetPointRec *r : cell->Recs) {
                const double d = Distance(p, *r);
                const bool better = d < bestD || (d == bestD && (!best || r->Index_ > best->Index_));
                if (better && GetPointOwnerTypes(*r).Meets(types)) {
                    best = r;
                    bestD = d;
                }
            }
        }
    }

    if (!best)
        return -1;
    position = best->Position();
    return best->Id_;
}

// ---- free functions

TItemTypeSet GetPointOwnerTypes(const TStreetPointRec &rec) {
    TItemTypeSet set;
    for (const TPointList *list : rec.Owners) {
        const TAbstractItem *item = list ? list->GetOwner() : nullptr;
        if (item && item->Active)
            set.Include(item->GetTypeCode());
    }
    return set;
}

int FindNearestInList(const TXYZ &position, std::span<const TXYZ> list) {
    int best = -1;
    double bestD = std::numeric_limits<double>::infinity();
    for (std::size_t i = 0; i < list.size(); ++i) {
        const double d = Distance(position, list[i]);
        if (d < bestD || (best < 0 && d == bestD)) {
            best = static_cast<int>(i);
            bestD = d;
        }
    }
    return best;
}
