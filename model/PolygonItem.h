#pragma once
// Items with a closed outline of at least three vertices: road way, sidewalk, lawn, figures, areas. The
// outline is filled by the even-odd rule: its triangulation is what the fill draws and what areas and
// overlaps are measured on. A polygon may name its passport axis, the guide axis its area report measures
// lengths and widths along.
#include "engine/DxVertex.h"
#include "model/AbstractItem.h"

#include <functional>

class TPolygonItem : public TAbstractItem {
public:
    TPolygonItem();

    static int ClassMinPointCount() { return 3; }
    static bool ClassIsClosed() { return true; }
    static bool ClassHasControlPoints() { return false; }

    // The record head, then the optional "POLYCONN" passport axis; an item with fewer than 3 vertices is
    // dropped by the list loader.
    void LoadFromStream(TStream &stream) override;
    // The record head, then "POLYCONN" always.
    void SaveToStream(TStream &stream) const override;

    // Inside the filled outline (or on it): a hit whatever maxDistance, the distance being the area.
    // Outside: the distance to the outline, a hit below maxDistance.
    bool HitTest(const TXYZ &point, double &distance, double maxDistance) override;
    // Inside: ranked as a surface holding the point, by its area; outside within maxDistance of the
    // outline: after every surface holding it, by that distance.
    THitRank PickRank(const TXYZ &point, double maxDistance) override;
    // Even-odd inside test on the dense outline (a point on the outline counts as inside).
    bool Contains(const TXYZ &point);

    // The fill (three points per triangle) of the outline as it is now; triangulated again only when the
    // dense outline changed.
    const TXYZArray &Triangles();
    // The last triangulation covers the whole outline (False: the triangulator stopped, and Triangles
    // holds what was made before the stop).
    bool TrianglesComplete();
    // The even-odd area of the outline: the sum of the triangles, in double. When the triangulation is
    // incomplete the contour's own shoelace area stands in (exact for an outline that does not cross
    // itself) and AreaReliable says False, so a report can mark the figure.
    double Area();
    bool AreaReliable() { return TrianglesComplete(); }

    // Fill into batch 0 of the type, and outline edges into batch 1 as the street's options
    // "UpdateDiffTagEdges" (edges no item of the same type shares) and "UpdateAllEdges" (all edges) ask; both
    // off: no outline.
    void RebuildGraphics() override;

    // ---- Passport axis
    // The explicit axis when one is set; otherwise the one guide axis with the attribute "PasspSq" whose
    // line crosses the outline exactly twice (nullptr when none or several do).
    TAbstractItem *GetPasspAxis();
    void SetPasspAxis(TAbstractItem *axis);
    TConnectedItems PasspAxisRef{true, 1};

    // The crossings of the passport axis with the outline edges: parameters along the axis and edge
    // indexes of the first and the last one (first = met first along the reference axis). True for
    // exactly two crossings.
    bool FindAxisCrossings(float &tFirst, float &tLast, int &edgeFirst, int &edgeLast, int &count);

    struct TAxisMeasures {
        double StartStation = -1, EndStation = -1, Length = -1, StartWidth = -1, EndWidth = -1;
        double Area = 0;
        bool AreaReliable = true;
        Cp1251String SideName{"???"};
    };
    // The area report's figures of the polygon along its reference and passport axes. False (with the
    // defaults where a figure could not be measured) without a reference axis, with fewer than 3
    // vertices, or when the passport axis does not cross the outline exactly twice.
    bool GetAxisMeasures(TAxisMeasures &m);

    // ---- Measures over other items of a type (only active ones unless includeInactive). The callback,
    // when given, receives every item with a value other than 0.
    using TItemValueCallback = std::function<void(TAbstractItem *item, double value)>;
    // Their overlap area with this polygon.
    double SumOverlapArea(int typeCode, bool includeInactive, const TItemValueCallback &callback = {});
    // The length of their dense lines inside this polygon.
    double SumLengthInside(int typeCode, bool includeInactive, const TItemValueCallback &callback = {});
    // The number of them whose vertex 0 lies inside this polygon (value 1 each).
    int CountPointsInside(int typeCode, bool includeInactive, const TItemValueCallback &callback = {});

    // For the classes' InitDrawBatches: the type's batches become a triangle batch (the fill) and a line
    // batch (the outline) with these colours (D3DCOLOR).
    static void InitPolygonBatches(TStreetStructure &street, int typeCode, D3DCOLOR fill, D3DCOLOR outline);

protected:
    void Created() override;

private:
    void EnsureTriangulation();
    double OutlineDistance(const TXYZ &point);
    // Inside with the area, or outside with the distance to the outline (at any distance); Miss without
    // an outline.
    THitRank Locate(const TXYZ &point);

    TXYZArray Triangles_;
    bool Complete_ = true;
    // The dense outline the triangles were made from.
    TXYZArray TriangulatedOutline_;
    bool Triangulated_ = false;
};
