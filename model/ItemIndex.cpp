#include "model/ItemIndex.h"

#include "engine/NumText.h"
#include "model/AbstractItem.h"
#include "model/ItemList.h"
#include "model/StreetStructure.h"

#include <algorithm>
#include <cmath>

namespace {

// Cells of level k are BaseCell x 2^k metres wide.
constexpr double BaseCell = 8.0;
constexpr int LevelCount = 48;
// Cell indexes are held within +-2^26 (saturating and monotone, so huge coordinates still get a cell and
// a range of coordinates maps onto a range of cells).
constexpr int32_t MaxCell = (1 << 26) - 1;

double CellSize(int level) {
    return std::ldexp(BaseCell, level);
}

int32_t CellIndex(double v, int level) {
    return std::clamp(FloatToInt<int32_t>(std::floor(v / CellSize(level))), -MaxCell, MaxCell);
}

uint64_t CellKey(int level, int32_t cx, int32_t cy) {
    return (uint64_t(level) << 56) | (uint64_t(uint32_t(cx + MaxCell)) << 28) |
           uint64_t(uint32_t(cy + MaxCell));
}

// The level at which a box of this extent fits into one cell; -1 when none does.
int LevelFor(double extent) {
    for (int k = 0; k < LevelCount; ++k)
        if (extent <= CellSize(k))
            return k;
    return -1;
}

bool Finite(const TItemBounds &b) {
    return std::isfinite(b.MinX) && std::isfinite(b.MinY) && std::isfinite(b.MaxX) && std::isfinite(b.MaxY) &&
           b.MinX <= b.MaxX && b.MinY <= b.MaxY;
}

bool Meets(const TItemBounds &a, const TItemBounds &b) {
    return a.MinX <= b.MaxX && b.MinX <= a.MaxX && a.MinY <= b.MaxY && b.MinY <= a.MaxY;
}

} // namespace

void TItemIndex::Invalidate() {
    Built_ = false;
    Entries_.clear();
    Cells_.clear();
    Unbounded_.clear();
    Stale_.clear();
    LevelCounts_.clear();
}

void TItemIndex::ItemChanged(TAbstractItem *item) {
    if (Built_)
        Stale_.insert(item);
}

void TItemIndex::ItemRemoved(TAbstractItem *item) {
    if (!Built_)
        return;
    Stale_.erase(item);
    Unfile(item);
}

void TItemIndex::Build() {
    Invalidate();
    LevelCounts_.assign(LevelCount, 0);
    Built_ = true;
    for (int code = 0; code < ItemTypeCount; ++code)
        for (const auto &item : Street_.Lists(code))
            File(item.get());
}

void TItemIndex::Refresh() {
    if (!Built_) {
        Build();
        return;
    }
    if (Stale_.empty())
        return;
    // Filing may rebuild geometry, which marks neighbours dirty again: work on a copy.
    std::vector<TAbstractItem *> stale(Stale_.begin(), Stale_.end());
    Stale_.clear();
    for (TAbstractItem *item : stale) {
        Unfile(item);
        File(item);
    }
}

void TItemIndex::File(TAbstractItem *item) {
    TEntry e;
    e.Unbounded = !item->GetHitBounds(e.Box) || !Finite(e.Box);
    int level = -1;
    if (!e.Unbounded) {
        level = LevelFor(std::max(e.Box.MaxX - e.Box.MinX, e.Box.MaxY - e.Box.MinY));
        e.Unbounded = level < 0;
    }
    if (e.Unbounded) {
        Unbounded_.insert(item);
    } else {
        e.Key = CellKey(level, CellIndex(e.Box.MinX, level), CellIndex(e.Box.MinY, level));
        Cells_[e.Key].push_back(item);
        ++LevelCounts_[std::size_t(level)];
    }
    Entries_[item] = e;
}

void TItemIndex::Unfile(TAbstractItem *item) {
    const auto it = Entries_.find(item);
    if (it == Entries_.end())
        return;
    const TEntry &e = it->second;
    if (e.Unbounded) {
        Unbounded_.erase(item);
    } else {
        auto cell = Cells_.find(e.Key);
        if (cell != Cells_.end()) {
            std::vector<TAbstractItem *> &v = cell->second;
            if (auto pos = std::find(v.begin(), v.end(), item); pos != v.end()) {
                *pos = v.back();
                v.pop_back();
            }
            if (v.empty())
                Cells_.erase(cell);
        }
        --LevelCounts_[std::size_t(e.Key >> 56)];
    }
    Entries_.erase(it);
}

template <class Visit> void TItemIndex::VisitCells(const TItemBounds &rect, Visit &&visit) const {
    for (int level = 0; level < LevelCount; ++level) {
        if (LevelCounts_[std::size_t(level)] == 0)
            continue;
        // A box filed at this level starts in its cell and reaches at most one cell further.
        const int32_t x0 = CellIndex(rect.MinX, level) - 1, x1 = CellIndex(rect.MaxX, level);
        const int32_t y0 = CellIndex(rect.MinY, level) - 1, y1 = CellIndex(rect.MaxY, level);
        if (int64_t(x1 - x0 + 1) * (y1 - y0 + 1) > int64_t(Cells_.size())) {
            // A search wider than the filed cells: walk the cells instead.
            for (const auto &[key, items] : Cells_)
                if (int(key >> 56) == level)
                    for (TAbstractItem *item : items)
                        visit(item);
            continue;
        }
        for (int32_t cx = x0; cx <= x1; ++cx)
            for (int32_t cy = y0; cy <= y1; ++cy) {
                const auto it = Cells_.find(CellKey(level, cx, cy));
                if (it != Cells_.end())
                    for (TAbstractItem *item : it->second)
                        visit(item);
            }
    }
}

void TItemIndex::InRect(const TItemBounds &rect, const TItemTypeSet &types,
                        std::vector<TAbstractItem *> &out) {
    if (!(rect.MinX <= rect.MaxX) || !(rect.MinY <= rect.MaxY))
        return;
    Refresh();
    VisitCells(rect, [&](TAbstractItem *item) {
        if (types.Contains(item->GetTypeCode()) && Meets(Entries_.at(item).Box, rect))
            out.push_back(item);
    });
    for (TAbstractItem *item : Unbounded_)
        if (types.Contains(item->GetTypeCode()))
            out.push_back(item);
}

void TItemIndex::Near(double x, double y, double radius, const TItemTypeSet &types,
                      std::vector<TAbstractItem *> &out) {
    if (!std::isfinite(x) || !std::isfinite(y) || std::isnan(radius))
        return;
    // Hit distances are computed in singles: a little slack keeps every item whose computed distance can
    // fall below the radius.
    const double r = std::max(radius, 0.0) * (1 + 1e-4) + 1e-6 * (1 + std::fabs(x) + std::fabs(y));
    InRect({x - r, y - r, x + r, y + r}, types, out);
}
