#pragma once
// The street's pool of shared vertices. Items never own coordinates: their point lists reference pool
// records, so two items sharing a vertex share one record, and every record knows the point lists that
// use it. The pool hands out street-unique ids, keeps its records in ascending id order for lookups,
// keeps the bounding rectangle and answers the editors' snapping query.
#include "engine/DxCalc_0.h"
#include "engine/Streams.h"
#include "model/ItemTypes.h"
#include "model/PointGrid.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

class TPointList;
class TPointStructure;
class TStreetStructure;

// The point lists using a vertex. Most vertices have one or two users, so those are kept in place and
// only a vertex with more users allocates: a street of a million vertices would otherwise make a
// million small allocations to read.
class TOwnerList {
public:
    TOwnerList() = default;
    ~TOwnerList() { Release(); }
    TOwnerList(const TOwnerList &) = delete;
    TOwnerList &operator=(const TOwnerList &) = delete;

    std::size_t size() const { return Size_; }
    bool empty() const { return Size_ == 0; }
    TPointList **begin() { return Data(); }
    TPointList **end() { return Data() + Size_; }
    TPointList *const *begin() const { return Data(); }
    TPointList *const *end() const { return Data() + Size_; }
    TPointList *operator[](std::size_t i) const { return Data()[i]; }
    void push_back(TPointList *list);
    // Removes the entry at i, keeping the order of the others.
    void erase_at(std::size_t i);
    void clear() { Size_ = 0; }

    friend bool operator==(const TOwnerList &a, const std::vector<TPointList *> &b) {
        return a.Size_ == b.size() && std::equal(a.begin(), a.end(), b.begin());
    }

private:
    static constexpr uint32_t InPlace = 3;
    TPointList **Data() { return Capacity_ > InPlace ? Heap_ : Local_; }
    TPointList *const *Data() const { return Capacity_ > InPlace ? Heap_ : Local_; }
    void Release();

    union {
        TPointList *Local_[InPlace];
        TPointList **Heap_;
    };
    uint32_t Size_ = 0;
    uint32_t Capacity_ = InPlace;
};

// One shared vertex, owned by its pool. Position and id change only through the setters, so the pool's
// order and spatial index follow every change.
class TStreetPointRec {
public:
    TStreetPointRec() = default;
    TStreetPointRec(const TStreetPointRec &) = delete;
    TStreetPointRec &operator=(const TStreetPointRec &) = delete;

    float X() const { return X_; }
    float Y() const { return Y_; }
    float Z() const { return Z_; }
    TXYZ Position() const { return {X_, Y_, Z_}; }
    int32_t Id() const { return Id_; }

    // Moves the vertex (the point lists that use it are notified by their own SetPoint).
    void SetPosition(const TXYZ &p);
    // Gives the record its street-unique id (> 0; an EStreetError otherwise). The pool's MaxId grows to
    // it, and an id out of the pool's ascending order makes the next lookup sort the pool.
    void SetId(int32_t id);

    // Every point list that references this vertex, once per reference (not owned).
    TOwnerList Owners;

private:
    friend class TPointStructure;
    friend class TPointGrid;

    float X_ = 0, Y_ = 0, Z_ = 0;
    int32_t Id_ = 0;
    TPointStructure *Pool_ = nullptr;
    std::size_t Index_ = 0; // position in the pool's Points
    uint64_t CellKey_ = 0;
    uint32_t CellSlot_ = 0;
    bool InGrid_ = false;
};

class TPointStructure {
public:
    TPointStructure() = default;
    ~TPointStructure();
    TPointStructure(const TPointStructure &) = delete;
    TPointStructure &operator=(const TPointStructure &) = delete;

    // Binds the pool to its street once; a second binding is an EStreetError.
    void SetStreet(TStreetStructure *street);
    TStreetStructure *GetStreet() const { return Street_; }

    // A zero-filled record appended to Points (and to the snapping cache when that is not empty); the
    // caller sets position and id.
    TStreetPointRec *NewPoint();
    // A new record at the position with the id MaxId + 1.
    int32_t AddPoint(const TXYZ &position);
    TStreetPointRec *AddPointRec(const TXYZ &position);
    // Frees the record at the index (it leaves the snapping cache first).
    void Delete(int index);
    // Frees every record; MaxId := 0.
    void Clear();
    // Frees every record no point list uses, in one pass; the others keep their order and ids.
    void RemoveUnowned();

    int Count() const { return static_cast<int>(Points_.size()); }
    TStreetPointRec *Points(int index) const;
    // The record with the id, or nullptr. Sorts the pool by id first when it is not known to be sorted.
    TStreetPointRec *FindById(int32_t id);

    // The point table of a street file: "PNTSTRCT", int32 n, n times (int32 id, double x, y, z). X and Y
    // become singles, Z is discarded. Records are appended; the pool ends in ascending id order and MaxId
    // at least the largest id read. Any fault (missing tag, truncated table, id <= 0, a duplicate id, a
    // coordinate beyond the single range) is an EStreetError, and the pool is left as it was.
    void LoadFromStream(TStream &stream);
    // Writes that table with every record in ascending id order; Z is written as 0, which is what
    // reading gives.
    void SaveToStream(TStream &stream);

    // Bounds of X and Y over all points; four zeros for an empty pool.
    void GetBounds(float &minX, float &minY, float &maxX, float &maxY);
    void UpdateBounds();

    // Takes over every record of the other pool: renumbered consecutively from MaxId + 1 in their order
    // and appended; the other pool is left empty. Records keep their Owners.
    void Append(TPointStructure &other);
    // Record i of Points gets the id first + i.
    void Renumber(int32_t first);

    // Snapping: the id of the nearest record used by an active item of one of the types, -1 when there
    // is none; the position is moved onto it. Looks at the cached neighbourhood (radius 100 around the
    // last refresh centre, reused while the position stays within 50 of it) first and at the whole pool
    // only when nothing there qualifies. Of equal distances the record later in the cache's (or the
    // pool's) order wins.
    int32_t FindNearest(TXYZ &position, const TItemTypeSet &types);
    // Appends, in pool order, every record within the radius (inclusive) whose owner types meet the types.
    void CollectWithinList(const TXYZ &position, const TItemTypeSet &types, double radius,
                           std::vector<TStreetPointRec *> &list) const;
    // The positions of those records.
    TXYZArray CollectWithin(const TXYZ &position, const TItemTypeSet &types, double radius) const;

    int32_t MaxId() const { return MaxId_; }
    bool Sorted() const { return Sorted_; }
    bool BoundsValid() const { return BoundsValid_; }
    const TXYZ &SnapCentre() const { return SnapCentre_; }
    const std::vector<TStreetPointRec *> &SnapCandidates() const { return SnapCandidates_; }

private:
    friend class TStreetPointRec;

    TStreetPointRec *AppendRecord();
    // Records live in blocks the pool owns: a million vertices are a few hundred allocations.
    TStreetPointRec *Allocate();
    void Recycle(TStreetPointRec *rec);
    void Reindex(std::size_t from);
    void EnsureSorted();
    TPointGrid &Grid() const;
    void RecordMoved(TStreetPointRec *rec);
    void RecordIdChanged(TStreetPointRec *rec);
    void ReleaseAll();

    std::vector<TStreetPointRec *> Points_;
    std::vector<std::unique_ptr<TStreetPointRec[]>> Blocks_;
    TStreetPointRec *BlockNext_ = nullptr;
    std::size_t BlockLeft_ = 0;
    std::vector<TStreetPointRec *> Free_;
    // Records by id while the ids are dense (reading a street looks up every vertex of every item);
    // rebuilt on the first lookup after a change, unused for sparse ids.
    std::vector<TStreetPointRec *> IdIndex_;
    bool IdIndexValid_ = false;
    TStreetStructure *Street_ = nullptr;
    bool Sorted_ = true;
    bool BoundsValid_ = false;
    int32_t MaxId_ = 0;
    float Bounds_[4] = {0, 0, 0, 0};
    TXYZ SnapCentre_;
    std::vector<TStreetPointRec *> SnapCandidates_;
    // Built on the first spatial query, then kept up to date with every change.
    mutable TPointGrid Grid_;
    mutable bool GridBuilt_ = false;
};

// The type codes of the active items whose point lists use the record.
TItemTypeSet GetPointOwnerTypes(const TStreetPointRec &rec);

// The index of the position nearest (3-D) to the point, the first of equal ones; -1 for an empty list.
int FindNearestInList(const TXYZ &position, std::span<const TXYZ> list);
