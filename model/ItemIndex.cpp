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
    Types_.clear();
    Stale_.clear();
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

std::size_t TItemIndex::FiledCount() const {
    std::size_t unbounded = 0;
    for (const TTypeCells &type : Types_)
        unbounded += type.Unbounded.size();
    return Entries_.size() - unbounded;
}

void TItemIndex::Build() {
    Invalidate();
    Types_.resize(ItemTypeCount);
    for (TTypeCells &type : Types_)
        type.Levels.resize(LevelCount);
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
    e.Type = item->GetTypeCode();
    if (!IsItemTypeCode(e.Type))
        return; // no list holds it, no search asks for it
    TTypeCells &type = Types_[std::size_t(e.Type)];
    e.Unbounded = !item->GetHitBounds(e.Box) || !Finite(e.Box);
    int level = -1;
    if (!e.Unbounded) {
        level = LevelFor(std::max(e.Box.MaxX - e.Box.MinX, e.Box.MaxY - e.Box.MinY));
        e.Unbounded = level < 0;
    }
    if (e.Unbounded) {
        type.Unbounded.insert(item);
    } else {
        e.Key = CellKey(level, CellIndex(e.Box.MinX, level), CellIndex(e.Box.MinY, level));
        TLevel &l = type.Levels[std::size_t(level)];
        l.Cells[e.Key].push_back({item, e.Box});
        ++l.Items;
        TItemBounds &x = type.Extent;
        x = Finite(x) ? TItemBounds{std::min(x.MinX, e.Box.MinX), std::min(x.MinY, e.Box.MinY),
                                    std::max(x.MaxX, e.Box.MaxX), std::max(x.MaxY, e.Box.MaxY)}
                      : e.Box;
    }
    Entries_[item] = e;
}

void TItemIndex::Unfile(TAbstractItem *item) {
    const auto it = Entries_.find(item);
    if (it == Entries_.end())
        return;
    const TEntry &e = it->second;
    TTypeCells &type = Types_[std::size_t(e.Type)];
    if (e.Unbounded) {
        type.Unbounded.erase(item);
    } else {
        TLevel &l = type.Levels[std::size_t(e.Key >> 56)];
        auto cell = l.Cells.find(e.Key);
        if (cell != l.Cells.end()) {
            std::vector<TFiled> &v = cell->second;
            const auto pos =
                std::find_if(v.begin(), v.end(), [&](const TFiled &f) { return f.Item == item; });
            if (pos != v.end()) {
                *pos = v.back();
                v.pop_back();
            }
            if (v.empty())
                l.Cells.erase(cell);
        }
        --l.Items;
    }
    Entries_.erase(it);
}

template <class Visit>
void TItemIndex::VisitCells(const TTypeCells &type, const TItemBounds &rect, Visit &&visit) const {
    for (int level = 0; level < LevelCount; ++level) {
        const TLevel &l = type.Levels[std::size_t(level)];
        if (l.Items == 0)
            continue;
        // A box filed at this level starts in its cell and reaches at most one cell further.
        const int32_t x0 = CellIndex(rect.MinX, level) - 1, x1 = CellIndex(rect.MaxX, level);
        const int32_t y0 = CellIndex(rect.MinY, level) - 1, y1 = CellIndex(rect.MaxY, level);
        if (int64_t(x1 - x0 + 1) * (y1 - y0 + 1) > int64_t(l.Cells.size())) {
            // A search wider than the level's filed cells: walk the cells instead.
            for (const auto &[key, items] : l.Cells)
                for (const TFiled &f : items)
                    visit(f);
            continue;
        }
        for (int32_t cx = x0; cx <= x1; ++cx)
            for (int32_t cy = y0; cy <= y1; ++cy) {
                const auto it = l.Cells.find(CellKey(level, cx, cy));
                if (it != l.Cells.end())
                    for (const TFiled &f : it->second)
                        visit(f);
            }
    }
}

void TItemIndex::InRect(const TItemBounds &rect, const TItemTypeSet &types,
                        std::vector<TAbstractItem *> &out) {
    if (!(rect.MinX <= rect.MaxX) || !(rect.MinY <= rect.MaxY))
        return;
    Refresh();
    for (int code = 0; code < ItemTypeCount; ++code) {
        if (!types.Contains(code))
            continue;
        const TTypeCells &type = Types_[std::size_t(code)];
        const TItemBounds &x = type.Extent;
        if (!Finite(x) ||
            (rect.MinX <= x.MinX && x.MaxX <= rect.MaxX && rect.MinY <= x.MinY && x.MaxY <= rect.MaxY)) {
            // Every box of the type (if any) meets the rectangle: the list is the answer, cells unseen.
            for (const auto &item : Street_.Lists(code))
                out.push_back(item.get());
            continue;
        }
        VisitCells(type, rect, [&](const TFiled &f) {
            if (Meets(f.Box, rect))
                out.push_back(f.Item);
        });
        out.insert(out.end(), type.Unbounded.begin(), type.Unbounded.end());
    }
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
