#pragma once
// An item's ordered chain of references to shared pool vertices: the only place item geometry lives. It
// keeps its references and the pool records' Owners consistent, propagates every vertex change to every
// item sharing the vertex (marking their type lists for a graphics rebuild), and derives lazily a dense
// polyline that follows curve items and splines, with cumulative lengths and miter normals, on which all
// station, projection, offset and drawing queries run.
//
// A parameter t along the list is a dense segment index plus a fraction: 0 at Dense[0], the last index
// of Dense at the end.
#include "engine/DxCalc_0.h"
#include "engine/Streams.h"
#include "model/BatchSeam.h"
#include "model/ItemTypes.h"

#include "model/ItemTypeCodes.h"
#include <cstdint>
#include <span>
#include <vector>

class TAbstractItem;
class TItemBatch;
class TPointStructure;
class TStreetPointRec;

// The indices of the positions a reader keeps of a point list written with them (heights are not stored):
// a position equal to the one kept before it, or to the first for a closed owner, is refused, then a
// vertex closer than 0.001 to the one before it goes, as LoadFromStream does. Repeated until nothing
// goes, so that a list written with the positions kept reads back whole.
std::vector<std::size_t> ReadBackIndices(std::span<const TXYZ> positions, bool closed);

class TPointList {
public:
    // One edge of another list that joins the same two records: that list and the indexes of the edge's
    // start and end records in it.
    struct TEdgeNeighbour {
        TPointList *List;
        int A, B;
    };

    // Neither pointer is owned: the item owns this list, the street owns the pool. Either may be nullptr
    // (a list not yet bound to a street).
    TPointList(TPointStructure *pool, TAbstractItem *owner);
    // Detaches every vertex, the last first, so every sharing list is notified.
    ~TPointList();
    TPointList(const TPointList &) = delete;
    TPointList &operator=(const TPointList &) = delete;

    TAbstractItem *GetOwner() const { return Owner_; }
    TPointStructure *GetPool() const { return Pool_; }
    // Binding to a street and moving with a merged street (the records move with the list).
    void SetPool(TPointStructure *pool) { Pool_ = pool; }

    // ---- Vertices
    int Count() const { return static_cast<int>(Refs_.size()); }
    bool IsValidIndex(int i) const { return i >= 0 && i < Count(); }
    // Index checks throw EStreetError.
    int32_t IdAt(int i) const;
    // -1 when absent.
    int IndexOfId(int32_t id) const;
    int IndexOfRec(const TStreetPointRec *rec) const;
    TStreetPointRec *PointRec(int i) const;
    TXYZ GetPoint(int i) const;
    TXYZArray GetPoints() const;
    const std::vector<TStreetPointRec *> &Refs() const { return Refs_; }

    // Inserts a pool record at index (Count appends). Nothing for nullptr, and nothing when the
    // record's position equals the previous vertex or the next one (the first vertex after the last one
    // for closed owners).
    void Insert(int index, TStreetPointRec *rec);
    // Nothing for an id the pool lacks.
    void InsertById(int index, int32_t id);
    // A new pool point at the position (the next id of the pool), inserted; nullptr when refused.
    TStreetPointRec *InsertNewPoint(int index, const TXYZ &position);
    // Removes vertex i; the record stays in the pool and every other list using it is notified.
    void Delete(int i);
    void Clear();
    // Writes the position into the shared record and notifies every list using it.
    void SetPoint(int i, const TXYZ &position);
    void Reverse();
    bool Spline() const { return Spline_; }
    void SetSpline(bool flag);
    // The next (forward) or previous vertex; wraps for closed owners, else -1 at the ends; -1 for -1.
    int NeighbourIndex(int i, bool forward) const;

    // The vertex the point editor works at; -1 none.
    int CurrentIndex = -1;

    // ---- Change propagation
    bool Changed() const { return Changed_; }
    bool GeometryValid() const { return GeometryValid_; }
    // True records a change, whatever the flag was: marks every list sharing a vertex changed too (their
    // geometry is built anew), calls the owner's PointsChanged and marks the street modified; False only
    // clears the flag (after a graphics rebuild).
    void SetChanged(bool flag);
    // The item is rebuilt at the next drawing (the look of its type changed); nothing saved changed.
    void InvalidateGraphics();
    // Vertex i moved or was inserted.
    void PointChanged(int i);

    // ---- Relative transforms (each result goes through SetPoint, so sharing lists follow)
    void StoreRelative(const TXYZ &origin);
    void MoveRelative(const TXYZ &origin);
    void RotateRelative(const TXYZ &origin, float angle);
    void ScaleRelative(const TXYZ &origin, float factor);
    void ClearRelative() { Relative_.clear(); }

    // ---- Edges (edge i runs from vertex i to vertex i + 1; the last one back to vertex 0)
    float EdgeLength(int i) const;
    // Direction in [0, 2 pi); -1 means the last edge.
    float EdgeAngle(int i) const;
    void SetEdgeLength(int i, float length);
    void SetEdgeAngle(int i, float angle);
    // Sum of straight distances between consecutive vertices from a to b.
    float PathLength(int a, int b) const;
    float TotalLength() const { return PathLength(0, Count() - 1); }
    // Straightens the chain to multiples of 2 pi / n plus one common deviation.
    void ArrangeAngles(int n);

    // ---- Dense geometry (built on demand)
    void EnsureGeometry();
    void BuildGeometry();
    const TXYZArray &Dense() const { return Dense_; }
    const std::vector<int32_t> &DenseIndex() const { return DenseIndex_; }
    const std::vector<float> &Lengths() const { return Lengths_; }
    const TXYZArray &Normals() const { return Normals_; }

    float DenseLength();
    TXYZ PointAtParam(float t);
    float DirectionAtParam(float t);
    float DistanceAtParam(float t);
    float ParamAtDistance(float d);
    float ParamOfPoint(const TXYZ &point);
    // False (outputs unchanged) when there is no dense segment.
    bool Project(const TXYZ &point, float &t, float &along, float &offset);
    TXYZ OffsetPointAtParam(float t, float offset);
    // Uses the geometry as it stands (callers build it first).
    TXYZArray GetOffsetLine(float offset) const;
    int VertexIndexAtParam(float t);
    bool IntersectWithSegment(const TXYZ &p1, const TXYZ &p2, float &t, float &s, float start);
    bool IntersectSegment(const TXYZ &p1, const TXYZ &p2, float &t, float &s) {
        return IntersectWithSegment(p1, p2, t, s, 0);
    }
    bool IntersectsSegment(const TXYZ &p1, const TXYZ &p2, float &t) {
        float s = 0;
        return IntersectWithSegment(p1, p2, t, s, 0);
    }
    // Every crossing of the dense line with the segment p1-p2, in dense order: the point, the parameter t
    // on the list and s along the segment (0 at p1). A crossing at a dense vertex may come twice.
    struct TSegmentCrossing {
        TXYZ Point;
        float T, S;
    };
    std::vector<TSegmentCrossing> SegmentCrossings(const TXYZ &p1, const TXYZ &p2);

    // ---- Neighbours and outlines
    std::vector<TEdgeNeighbour> GetEdgeNeighbours(int i) const;
    TItemTypeSet GetEdgeNeighbourTypes(int i) const;
    TItemTypeSet GetAllEdgeNeighbourTypes() const;
    // The points of edge i: a curve's dense stretch when both ends are consecutive vertices of a curve
    // item, else the two vertex positions (a = 0, b = 1); b < a when the curve runs the other way.
    void SegmentGeometry(int i, TXYZArray &points, int &a, int &b) const;
    // Outline edges that no other item of the same type holds, as dense stretches, one group per segment.
    void BuildBorderEdges(TItemBatch &lineBatch, TBatchOwnerKey owner);
    // Deletes the owner's groups, then one straight segment per edge (the closing one for closed owners).
    void BuildAllEdges(TItemBatch &lineBatch, TBatchOwnerKey owner);

    // ---- Stream
    // Nothing for an empty list; else "PNTLIST ", "PNTLSTSP", the Spline byte, n and the n vertex ids,
    // without the vertices the reader would drop.
    void SaveToStream(TStream &stream) const;
    // Reads that record when "PNTLIST " stands next: ids the pool lacks are skipped, and a vertex whose
    // successor lies closer than 0.001 loses that successor.
    void LoadFromStream(TStream &stream);
    bool CanBuildSpline() const;

private:
    friend class TAbstractItem;
    friend class TStreetStructure;

    // Lets go of every record without touching it (the street drops its pool right after).
    void ForgetRecords() { Refs_.clear(); }
    // Deletes the vertices marked, as Delete does each, in one sweep.
    void DeleteMarked(const std::vector<bool> &drop);
    // What deleting a vertex does besides taking it out of the list: the record leaves this owner and
    // its other owners hear of it; then the list's own marks.
    void LetGo(TStreetPointRec *rec);
    void VerticesRemoved();
    bool OwnerIsClosed() const;
    bool OwnerHasControlPoints() const;
    int OwnerTypeCode() const;
    void MarkOwnerDirty() const;
    void NotifyModified() const;
    // Changed, geometry invalid, type list dirty (a neighbour's vertex changed).
    void MarkChangedByNeighbour();
    // Every other list using the record is marked changed.
    void NotifySharers(TStreetPointRec *rec);
    void PointChangedRec(TStreetPointRec *rec);
    void DetachAll();
    void ClearGeometry();
    int ClampedSegment(float t) const;
    void SegmentSpan(int i, std::span<const TXYZ> &points, TXYZ straight[2], int &a, int &b) const;
    void CheckIndex(int i, const char *where) const;
    std::vector<const TStreetPointRec *> RecordVertices() const;

    TPointStructure *Pool_;
    TAbstractItem *Owner_;
    std::vector<TStreetPointRec *> Refs_;
    bool Changed_ = false;
    TXYZArray Relative_;
    TXYZArray Dense_;
    std::vector<int32_t> DenseIndex_;
    std::vector<float> Lengths_;
    TXYZArray Normals_;
    bool GeometryValid_ = false;
    bool Spline_ = false;
};
