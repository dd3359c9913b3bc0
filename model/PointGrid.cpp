#include "model/PointGrid.h"

#include "engine/NumText.h"
#include "model/PointStructure.h"

#include <cmath>

namespace {

// Saturating, so that huge and infinite coordinates still get a cell, and monotone, so that a range of
// coordinates maps onto a range of cells.
int32_t CellIndex(double v) {
    return FloatToInt<int32_t>(std::floor(v / TPointGrid::CellSize));
}

uint64_t CellKey(int32_t cx, int32_t cy) {
    return (static_cast<uint64_t>(static_cast<uint32_t>(cx)) << 32) | static_cast<uint32_t>(cy);
}

double AxisGap(double v, double lo, double hi) {
    // Written so that a NaN gives 0: never a reason to skip a cell.
    if (v < lo)
        return lo - v;
    if (v > hi)
        return v - hi;
    return 0;
}

} // namespace

void TPointGrid::Clear() {
    Cells_.clear();
}

void TPointGrid::Insert(TStreetPointRec *rec) {
    const double x = rec->X_, y = rec->Y_;
    if (std::isnan(x) || std::isnan(y)) {
        rec->InGrid_ = false;
        return;
    }
    const uint64_t key = CellKey(CellIndex(x), CellIndex(y));
    auto [it, made] = Cells_.try_emplace(key);
    TCell &cell = it->second;
    if (made) {
        cell.MinX = cell.MaxX = x;
        cell.MinY = cell.MaxY = y;
    } else {
        cell.MinX = std::min(cell.MinX, x);
        cell.MaxX = std::max(cell.MaxX, x);
        cell.MinY = std::min(cell.MinY, y);
        cell.MaxY = std::max(cell.MaxY, y);
    }
    rec->CellKey_ = key;
    rec->CellSlot_ = static_cast<uint32_t>(cell.Recs.size());
    rec->InGrid_ = true;
    cell.Recs.push_back(rec);
}

void TPointGrid::Remove(TStreetPointRec *rec) {
    if (!rec->InGrid_)
        return;
    rec->InGrid_ = false;
    auto it = Cells_.find(rec->CellKey_);
    if (it == Cells_.end())
        return;
    std::vector<TStreetPointRec *> &recs = it->second.Recs;
    TStreetPointRec *last = recs.back();
    recs[rec->CellSlot_] = last;
    last->CellSlot_ = rec->CellSlot_;
    recs.pop_back();
    if (recs.empty())
        Cells_.erase(it);
}

void TPointGrid::Update(TStreetPointRec *rec) {
    Remove(rec);
    Insert(rec);
}

double TPointGrid::LowerBound(const TCell &cell, double x, double y) {
    const double dx = AxisGap(x, cell.MinX, cell.MaxX), dy = AxisGap(y, cell.MinY, cell.MaxY);
    return std::sqrt(dx * dx + dy * dy);
}

void TPointGrid::CellsNear(double x, double y, double radius, std::vector<const TCell *> &out) const {
    if (Cells_.empty() || !(radius >= 0))
        return;
    // The margin covers the rounding of the distance computation, so no cell holding a record the
    // distance test would accept falls outside the range.
    const double margin = 1e-9 * (std::fabs(x) + std::fabs(y) + radius) + 1e-9;
    const int64_t cx0 = CellIndex(x - radius - margin), cx1 = CellIndex(x + radius + margin);
    const int64_t cy0 = CellIndex(y - radius - margin), cy1 = CellIndex(y + radius + margin);
    const double range = static_cast<double>(cx1 - cx0 + 1) * static_cast<double>(cy1 - cy0 + 1);
    if (std::isnan(x) || std::isnan(y) || range > static_cast<double>(Cells_.size())) {
        for (const auto &[key, cell] : Cells_)
            if (!(LowerBound(cell, x, y) > radius))
                out.push_back(&cell);
        return;
    }
    for (int64_t cx = cx0; cx <= cx1; ++cx) {
        for (int64_t cy = cy0; cy <= cy1; ++cy) {
            auto it = Cells_.find(CellKey(static_cast<int32_t>(cx), static_cast<int32_t>(cy)));
            if (it != Cells_.end() && !(LowerBound(it->second, x, y) > radius))
                out.push_back(&it->second);
        }
    }
}

void TPointGrid::AllCells(double x, double y, std::vector<std::pair<double, const TCell *>> &out) const {
    out.reserve(out.size() + Cells_.size());
    for (const auto &[key, cell] : Cells_)
        out.emplace_back(LowerBound(cell, x, y), &cell);
}
