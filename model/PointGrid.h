#pragma once
// Spatial index of a vertex pool: every record is filed under the square cell its X, Y fall into, so that
// searches near a position look at a few cells instead of the whole pool. The index only narrows the
// search; the pool applies its own distance and type tests to the records found, so results do not
// depend on it.
#include <cstdint>
#include <unordered_map>
#include <utility>
#include <vector>

class TStreetPointRec;

class TPointGrid {
public:
    // Metres; the snapping neighbourhood (radius 100) spans about five cells each way.
    static constexpr double CellSize = 50.0;

    struct TCell {
        std::vector<TStreetPointRec *> Recs;
        // Extent of every position filed here while the cell existed. It only grows, so it always
        // encloses the cell's records and gives a lower bound of their distance from any point.
        double MinX = 0, MinY = 0, MaxX = 0, MaxY = 0;
    };

    void Clear();
    // Files a record at its current position (records with a NaN coordinate are left out: no distance
    // test can accept them).
    void Insert(TStreetPointRec *rec);
    void Remove(TStreetPointRec *rec);
    // Refiles a record after its position changed.
    void Update(TStreetPointRec *rec);

    // The planar distance from (x, y) to the cell's extent, computed as the pool computes distances, so
    // it is never above the computed distance of a record in the cell.
    static double LowerBound(const TCell &cell, double x, double y);
    // Every cell whose extent comes within radius of (x, y).
    void CellsNear(double x, double y, double radius, std::vector<const TCell *> &out) const;
    // Every cell with its lower bound from (x, y).
    void AllCells(double x, double y, std::vector<std::pair<double, const TCell *>> &out) const;

private:
    std::unordered_map<uint64_t, TCell> Cells_;
};
