#pragma once
// Spatial index of a street's items for picking and the rubber band: every item is filed by the box that
// holds its hit region (TAbstractItem::GetHitBounds) in a hierarchy of square grids, one level per power
// of two of cell size, at the level whose cells are at least as large as the box, under the cell of the
// box's lower corner. A search near a point looks at the few cells of each level that can hold a box
// reaching it.
//
// The index only narrows searches: the street applies every hit test and rule to the items it returns,
// so answers do not depend on it. It is built on the first search, follows every geometry change of an
// item (the item reports it through its type list's dirty mark) lazily at the next search, and forgets
// freed items at once. Items without a finite box are always returned.
//
// Each item type has grids of its own, so a search for a few types costs what their items cost, however
// many items of other types the street holds; a search whose rectangle holds every box of a type takes that
// type's list whole, without looking at cells.
#include "model/ItemTypes.h"

#include <cstdint>
#include <unordered_map>
#include <unordered_set>
#include <vector>

class TAbstractItem;
class TStreetStructure;

struct TItemBounds {
    double MinX = 0, MinY = 0, MaxX = 0, MaxY = 0;
};

class TItemIndex {
public:
    explicit TItemIndex(TStreetStructure &street) : Street_(street) {}
    TItemIndex(const TItemIndex &) = delete;
    TItemIndex &operator=(const TItemIndex &) = delete;

    // Forgets everything; the next search builds the index from the street's items.
    void Invalidate();
    // The item's geometry changed, or it is new: it is refiled at the next search.
    void ItemChanged(TAbstractItem *item);
    // The item is being freed (or leaves the street).
    void ItemRemoved(TAbstractItem *item);

    // Items of the types whose box comes within radius of (x, y) (boundary included), in no set order,
    // each once. Nothing for a point or radius that is not a number.
    void Near(double x, double y, double radius, const TItemTypeSet &types,
              std::vector<TAbstractItem *> &out);
    // Items of the types whose box meets the rectangle.
    void InRect(const TItemBounds &rect, const TItemTypeSet &types, std::vector<TAbstractItem *> &out);

    bool Built() const { return Built_; }
    // How many items are filed in cells (the rest are always returned); for tests.
    std::size_t FiledCount() const;

private:
    struct TEntry {
        TItemBounds Box;
        uint64_t Key = 0;
        int Type = 0;
        bool Unbounded = false;
    };
    // An item in its cell, with its box at hand for the search.
    struct TFiled {
        TAbstractItem *Item;
        TItemBounds Box;
    };
    struct TLevel {
        std::unordered_map<uint64_t, std::vector<TFiled>> Cells;
        std::size_t Items = 0;
    };
    // The grids of one item type.
    struct TTypeCells {
        std::vector<TLevel> Levels;
        std::unordered_set<TAbstractItem *> Unbounded;
        // Holds every box filed since the index was built (never shrinks, so it may be too large).
        TItemBounds Extent{0, 0, -1, -1};
    };

    void Build();
    void Refresh();
    void File(TAbstractItem *item);
    void Unfile(TAbstractItem *item);
    template <class Visit>
    void VisitCells(const TTypeCells &type, const TItemBounds &rect, Visit &&visit) const;

    TStreetStructure &Street_;
    bool Built_ = false;
    std::unordered_map<TAbstractItem *, TEntry> Entries_;
    std::vector<TTypeCells> Types_;
    std::unordered_set<TAbstractItem *> Stale_;
};
