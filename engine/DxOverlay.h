#pragma once
// Markers, rubber bands, selection outlines and handles drawn over the plan after the street, sized in
// screen pixels whatever the zoom. Lines and triangles gather in two pending batches per renderer frame
// (up to DxOverlayBatchVertices each), drawn when full and by DxOverlayFlush.
//
// In a draw listener: Renderer->PushMatrices(), DxOverlayBeginScreen, the drawing, DxOverlayFlush,
// Renderer->PopMatrices(). Pending vertices live in the renderer's scratch arrays, so they belong to the
// renderer and the frame they were added in: a renderer's next BeginDraw forgets them, and drawing on
// another renderer never mixes its vertices with them.
#include "engine/DxCalc_0.h"
#include "engine/DxRenderer.h"
#include "platform/d3d9/D3D9.h"

#include <cstddef>
#include <span>

class TTextureSurface;

// The colour of every overlay vertex; opaque red at start-up. Callers set it before drawing.
extern D3DCOLOR DxOverlayColor;

inline constexpr std::size_t DxOverlayBatchVertices = 2048;
// Dashed segments of more periods than this draw nothing.
inline constexpr int DxOverlayMaxDashes = 1000;

// Puts a pixel projection straight onto the device (the matrix shells keep theirs): a point given in
// window pixels (x to the right, y down) lands on its pixel.
void DxOverlayBeginScreen(const TDxDrawParams &params);
// Pixel points, two per line (three per triangle); lists longer than a batch are drawn at once.
void DxOverlayAddLines(const TDxDrawParams &params, std::span<const TXYZ> points);
void DxOverlayAddTriangles(const TDxDrawParams &params, std::span<const TXYZ> points);
// Draws what is pending for the renderer's frame (lines, then triangles) and forgets it.
void DxOverlayFlush(const TDxDrawParams &params);
// How many vertices are pending for the renderer's current frame.
std::size_t DxOverlayPendingLines(const TDxDrawParams &params);
std::size_t DxOverlayPendingTriangles(const TDxDrawParams &params);

// Point markers: nothing when the point lies behind the eye or outside the closed viewport rectangle.
void DxOverlayDrawCross(const TDxDrawParams &params, const TXYZ &p, float halfSize);
void DxOverlayDrawSquare(const TDxDrawParams &params, const TXYZ &p, bool filled, float halfSize);
// World points; width in pixels (a width above 1 adds a quad of that width around the line).
void DxOverlayDrawSegment(const TDxDrawParams &params, const TXYZ &a, const TXYZ &b, float width);
void DxOverlayDrawPolyline(const TDxDrawParams &params, std::span<const TXYZ> points, float width);
// Dashes of dash pixels with gaps of gap pixels, drawn at once. Nothing when a period is not a positive
// finite length or the segment holds more than DxOverlayMaxDashes periods.
void DxOverlayDrawDashedSegment(const TDxDrawParams &params, const TXYZ &a, const TXYZ &b, float width,
                                float dash, float gap);
// A triangle list of world points textured one texel per pixel from the top-left of its bounding box.
void DxOverlayDrawTexturedPolygon(const TDxDrawParams &params, std::span<const TXYZ> points,
                                  TTextureSurface &texture);
