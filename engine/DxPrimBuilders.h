#pragma once
// Builders that turn polylines, point lists, quads and wide strips into the primitives of a batch. Each
// takes the batch, the owner key and the points first; every primitive goes through AddPrimitive, so the
// vertices take the batch's colour and transform, and u and v are 0 unless said otherwise. Line builders
// need a line batch and triangle builders a triangle batch (EStreetError otherwise).
#include "engine/DxCalc_0.h"
#include "engine/DxPrimCollection.h"

#include <cstdint>
#include <initializer_list>
#include <span>

// One line per pair (p0 p1), (p2 p3), ...; a last odd point is ignored.
void DxAddLines(TDxPrimCollection &batch, TDxOwnerKey owner, std::span<const TXYZ> points);
inline void DxAddLinesA(TDxPrimCollection &batch, TDxOwnerKey owner, std::initializer_list<TXYZ> points) {
    DxAddLines(batch, owner, std::span<const TXYZ>(points.begin(), points.size()));
}
// One line per segment (p(i), p(i + 1)) for i from first to last - 1, the indices limited to the points.
void DxAddPolylineRange(TDxPrimCollection &batch, TDxOwnerKey owner, std::span<const TXYZ> points,
                        int32_t last, int32_t first);
void DxAddPolyline(TDxPrimCollection &batch, TDxOwnerKey owner, std::span<const TXYZ> points);
// The polyline and the line from the last point back to the first (from 2 points on).
void DxAddClosedPolyline(TDxPrimCollection &batch, TDxOwnerKey owner, std::span<const TXYZ> points);

// One triangle per three points; a last incomplete triple is ignored.
void DxAddTriangles(TDxPrimCollection &batch, TDxOwnerKey owner, std::span<const TXYZ> points);
inline void DxAddTrianglesA(TDxPrimCollection &batch, TDxOwnerKey owner, std::initializer_list<TXYZ> points) {
    DxAddTriangles(batch, owner, std::span<const TXYZ>(points.begin(), points.size()));
}
// Per four points p0..p3 the triangles (p0, p1, p3) and (p2, p3, p0): the points come in strip order, p0 p1
// on one side and p2 p3 on the other, so p0-p3 is a diagonal. A last incomplete quad is ignored.
void DxAddQuads(TDxPrimCollection &batch, TDxOwnerKey owner, std::span<const TXYZ> points);
inline void DxAddQuadsA(TDxPrimCollection &batch, TDxOwnerKey owner, std::initializer_list<TXYZ> points) {
    DxAddQuads(batch, owner, std::span<const TXYZ>(points.begin(), points.size()));
}
// As DxAddTriangles with a tiling: dx = (x - originX) / repeatU, dy = (y - originY) / repeatV (a repeat of 0
// counts as 1), u = dx cos - dy sin, v = dx sin + dy cos. The vertices carry the batch's colour, as every
// primitive does; callers set the batch's colour to the one they pass.
void DxAddTexturedTriangles(TDxPrimCollection &batch, TDxOwnerKey owner, std::span<const TXYZ> points,
                            float repeatU, float repeatV, float originX, float originY, float cosA,
                            float sinA, D3DCOLOR color);

// A band along p(first)..p(last) between the lateral offsets a and b (along the left normal, mitred at the
// joints; see DxStripNormals): per point A = p + n a and B = p + n b, per segment the triangles
// (A(i - 1), B(i - 1), A(i)) and (A(i), B(i), B(i - 1)). v is vA on side A and vB on side B; u grows with
// the distance along the band so that it carries a whole number (at least one) of texture periods, or is 0
// with a period of 0 or a band of no length. Repeated points give degenerate triangles, never NaN.
void DxAddWideStrip(TDxPrimCollection &batch, TDxOwnerKey owner, std::span<const TXYZ> points, int32_t first,
                    int32_t last, float a, float b, float period, float vA, float vB);
// DxAddWideStrip over all points; with a period, corners turning with |sin| > 0.3 are cut first: such a
// point becomes three, at the fractions min(0.3, |a - b| / segment length) before and after it.
void DxAddThickPolyline(TDxPrimCollection &batch, TDxOwnerKey owner, std::span<const TXYZ> points, float a,
                        float b, float period, float vA, float vB);
