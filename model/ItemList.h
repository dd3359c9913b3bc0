#pragma once
// The items of one type in a street. The list owns them, hands out ids (the largest so far plus one),
// reads the item-list section of a street file, finds the item nearest to a point, takes over another
// street's list of the same type in a merge and draws the immediate part of its items. Its Dirty flag
// carries point changes to the next drawing.
//
// Ids are unique within a list; lookups by id are hashed. Items leave the list only through Delete and
// DeleteItems (one compaction per batch), never by deleting themselves.
#include "engine/DxCalc_0.h"
#include "engine/Streams.h"
#include "model/BatchSeam.h"
#include "model/HitRank.h"

#include "engine/UndefinedValue.h"
#include <cstdint>
#include <memory>
#include <span>
#include <unordered_map>
#include <vector>

class TAbstractItem;
class TItemClass;

// The rule every nearest-item search keeps: of the items itemOf gives for the range's entries (nullptr
// skips one), the first of the nearest hits within maxDistance (TAbstractItem::PickRank); its rank goes to
// rank when given.
template <class Range, class ItemOf>
TAbstractItem *NearestByHitTest(const Range &range, ItemOf itemOf, const TXYZ &point, double maxDistance,
                                THitRank *rank = nullptr) {
    TAbstractItem *best = nullptr;
    THitRank bestRank;
    for (const auto &entry : range) {
        auto *item = itemOf(entry);
        if (!item)
            continue;
        const THitRank r = item->PickRank(point, maxDistance);
        if (r.Hit() && (!best || r < bestRank)) {
            best = item;
            bestRank = r;
        }
    }
    if (rank)
        *rank = bestRank;
    return best;
}
class TStreetStructure;

class TItemList {
public:
    // itemClass may be nullptr: a type whose class is not registered can neither create nor load items.
    TItemList(TStreetStructure *street, int typeCode, const TItemClass *itemClass);
    ~TItemList();
    TItemList(const TItemList &) = delete;
    TItemList &operator=(const TItemList &) = delete;

    TStreetStructure *Street() const { return Street_; }
    int TypeCode() const { return TypeCode_; }
    const TItemClass *ItemClass() const { return ItemClass_; }

    int Count() const { return static_cast<int>(Items_.size()); }
    // Index checks throw EStreetError.
    TAbstractItem *Items(int i) const;
    auto begin() const { return Items_.begin(); }
    auto end() const { return Items_.end(); }
    int32_t MaxId() const { return MaxId_; }
    // Some item's points changed since the list was last drawn.
    bool Dirty = false;

    // A new item of the list's class, bound to the street, appended with the id MaxId + 1.
    TAbstractItem *AddNew();
    // The item with the id (the first in list order), or nullptr.
    TAbstractItem *FindById(int32_t id) const;
    // Reads an item-list section ("ITEMLIST", the class ident, n, n item records). Stored ids are kept;
    // an item whose record has too few vertices is dropped. A missing or foreign ident, an id that is
    // not positive or repeats within the list, a count beyond the data present or a record error is an
    // EStreetError naming the stream and offset.
    void LoadFromStream(TStream &stream);
    // Writes that section with the items that are complete (TAbstractItem::IsComplete): one the reader
    // would drop is left out, so that what is written reads back as written. Nothing when none is.
    void SaveToStream(TStream &stream) const;

    // The active item not excluded that ranks nearest in a pick within maxDistance (TAbstractItem::
    // PickRank; the first of equal ones).
    TAbstractItem *FindNearest(const TXYZ &point, std::span<TAbstractItem *const> exclusion,
                               double maxDistance);
    // The same search; the found item is appended.
    void CollectNearest(const TXYZ &point, std::span<TAbstractItem *const> exclusion, double maxDistance,
                        std::vector<TAbstractItem *> &result);

    // Takes over every item of the other list (of the same type, in another street): renumbered from
    // MaxId + 1 in their order, moved to this list's street and pool, marked changed.
    void Append(TItemList &other);
    // Item i gets the id first + i.
    void Renumber(int32_t first);

    // Immediate drawing of every active item: by the class in one pass when it draws its items itself
    // (TItemClass::DrawItems), else item by item.
    void DrawAll(const TDxDrawParams &params, uint32_t layerMask);
    // The active items that may draw something in the view, in list order: for a class whose items draw
    // nothing unless their hit box comes within the view's radius of its centre
    // (TItemClass::DrawsNearHitBounds), those the street's index finds there; else every active item.
    // The span lives until the next call.
    std::span<TAbstractItem *const> ItemsToDraw(const TDxDrawParams &params);
    // Every item is rebuilt at the next drawing.
    void InvalidateAll();

    // Frees every item; MaxId := 0.
    void Clear();
    // Frees the item (which must be in this list).
    void Delete(TAbstractItem *item);
    // Frees every item of the batch (in this list or not: each goes through its own list), with one
    // compaction per list.
    void DeleteItems(std::span<TAbstractItem *const> items);

private:
    friend class TStreetStructure;
    friend class TAbstractItem;

    std::unique_ptr<TAbstractItem> MakeItem(const char *where);
    void Adopt(std::unique_ptr<TAbstractItem> item);
    void IndexId(TAbstractItem *item);
    void UnindexId(TAbstractItem *item);
    // Removes the items marked dying and returns them (still alive).
    std::vector<std::unique_ptr<TAbstractItem>> ExtractDying();
    void ChangeId(TAbstractItem *item, int32_t id);

    TStreetStructure *Street_;
    int TypeCode_;
    const TItemClass *ItemClass_;
    std::vector<std::unique_ptr<TAbstractItem>> Items_;
    std::unordered_map<int32_t, TAbstractItem *> ById_;
    int32_t MaxId_ = 0;
    uint64_t LastOrder_ = 0;
    std::vector<TAbstractItem *> ToDraw_;
};
