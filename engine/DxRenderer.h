#pragma once
// The drawing target: a device with its world, view and projection stacks, the viewport, the helpers that
// turn pixels into plan coordinates and back, and immediate drawing of point, line and triangle lists.
// TDisplayRenderer draws into a window's GL widget (or any device handed to it); TSurfaceRenderer draws
// off-screen, on a context of its own, and copies each finished image into a bitmap.
//
// One frame: BeginDraw, optionally Clear, drawing, EndDraw, and for the display renderer Present.
#include "engine/DxCalc_0.h"
#include "engine/DxVertex.h"
#include "engine/MatrixShell.h"
#include "platform/d3d9/D3D9.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <span>
#include <vector>

class QOpenGLWidget;
class TBitmap;
class TTextureSurface;
class TdxRenderer;

// What street drawing and every draw listener receive: the target, the view centre and the view radius
// (plan units).
struct TDxDrawParams {
    TdxRenderer *Renderer = nullptr;
    TXYZ ViewCenter;
    float ViewRadius = 0;
};

// A drawing callback: an object's method called with the active drawer's parameters.
using TDxStandartProc = std::function<void(const TDxDrawParams &)>;

// The offset directions of a wide line, one per point, in the plane (z 0): the unit left normal of the
// first and of the last segment at the ends and the miter vector (DxCalc_0) inside. Repeated points take
// the normal of the nearest segment that has a length, so no direction is ever NaN; points that all
// coincide give (0, 0, 0).
void DxStripNormals(std::span<const TXYZ> points, std::vector<TXYZ> &normals);

// The capabilities of the device of the renderer made last (all 0 before the first); the fonts read the
// largest texture size from it.
const D3DCAPS9 &DxDeviceCaps();

class TdxRenderer {
public:
    // Binds the renderer to the device; its size is the device's viewport. The device is shared with
    // whoever else holds it (tests keep the recording device they hand over).
    explicit TdxRenderer(std::shared_ptr<IDirect3DDevice9> device);
    // Releases the textures every texture surface made for this device.
    virtual ~TdxRenderer();
    TdxRenderer(const TdxRenderer &) = delete;
    TdxRenderer &operator=(const TdxRenderer &) = delete;

    // Frees the frame's scratch vertices and sets the frame's states: no culling, ambient white from the
    // vertex colour, no depth test, vertex format 0x142.
    virtual void BeginDraw();
    virtual void EndDraw();

    // Clears the whole target: colour, stencil (to 0) and depth (to 1) as chosen; nothing when none is.
    void Clear(D3DCOLOR color, bool target, bool stencil, bool zbuffer);
    // The device's result (a lost on-screen target reports D3DERR_DEVICELOST).
    HRESULT Present();
    // Tints everything drawn afterwards by the colour, until the next BeginDraw.
    void SetAmbient(D3DCOLOR color);
    // nullptr: stage 0 emptied and blending off; else the surface applies itself (and its options).
    void SetTexture(TTextureSurface *texture);

    TMatrixShell &World() { return *world_; }
    TMatrixShell &View() { return *view_; }
    TMatrixShell &Projection() { return *projection_; }
    // World, View and Projection in this order.
    void LoadIdentityAll();
    void PushMatrices();
    void PopMatrices();

    // Through World, View and Projection, each dividing by w.
    TXYZ ProjectPoint(const TXYZ &p) const;
    // As ProjectPoint; behind is set (never cleared) when a stage puts the point behind the eye.
    TXYZ ProjectPointClip(const TXYZ &p, bool &behind) const;
    // Back through the inverses of Projection, View and World.
    TXYZ UnprojectPoint(const TXYZ &p);
    // The pixel of a plan point: whole x and y (rounded half to even), z from the projection.
    TXYZ WorldToScreen(const TXYZ &p) const;
    TXYZ WorldToScreenClip(const TXYZ &p, bool &behind) const;
    // The plan points at the near (depth 0) and far (depth 1) ends of a pixel's ray.
    TXYZ ScreenToNear(int32_t x, int32_t y);
    TXYZ ScreenToFar(int32_t x, int32_t y);
    // Where the pixel's ray meets the ground z = 0; a ray parallel to the ground (its depth changes by
    // 0.001 or less) gives its near point. z is 0 either way.
    TXYZ ScreenToGround(int32_t x, int32_t y);
    // The ground size of one pixel: 0.707 x the distance between the ground points of (x, y) and
    // (x + 1, y + 1).
    float PixelSizeAt(int32_t x, int32_t y);
    // At the bottom centre of the view.
    float PixelSize();
    // The plane through the near end of the centre ray, facing along it; the overlay clips by it.
    void ComputeViewPlane();
    const TDxPlane &ViewPlane() const { return viewPlane_; }

    // Zero-filled vertices that stay valid until the next BeginDraw or the renderer's end.
    std::span<TDxVertex> AllocVertices(std::size_t count);
    // Names the span in which AllocVertices' arrays stay valid: a number no other renderer or frame of
    // this process has had, renewed by every BeginDraw. Holders of scratch arrays between calls (the
    // overlay batches) key them on it.
    uint64_t FrameSerial() const { return frameSerial_; }

    // The stencil screen-door: afterwards only pixels whose x and y (from the view centre) are both even or
    // both odd are drawn, until EndStippleMask. The stencil must have been cleared in this frame.
    void BeginStippleMask();
    void EndStippleMask();

    // Immediate drawing from points, in the colour given; nothing below the minimum count (1 point, 2 for
    // lines and wide lines, 3 for triangles).
    void DrawPoints(std::span<const TXYZ> points, D3DCOLOR color);
    void DrawPolyline(std::span<const TXYZ> points, D3DCOLOR color);
    void DrawLines(std::span<const TXYZ> points, D3DCOLOR color);
    void DrawTriangles(std::span<const TXYZ> points, D3DCOLOR color);
    // A line strip whose u grows with the distance along it: u = L / period, or with wholePeriods scaled so
    // that the line carries a whole number (at least one) of periods. A period of 0 counts as 1, a line of
    // zero length as one of length 1.
    void DrawTexturedPolyline(std::span<const TXYZ> points, D3DCOLOR color, float period, bool wholePeriods,
                              float v);
    // A triangle strip of two vertices per point, side A (p + n x offsetA) then side B; n is the unit left
    // normal of the first or last segment at the ends and the miter vector inside.
    void DrawWideTexturedPolyline(std::span<const TXYZ> points, D3DCOLOR color, float period,
                                  bool wholePeriods, float offsetA, float vA, float offsetB, float vB);
    void DrawWidePolyline(std::span<const TXYZ> points, D3DCOLOR color, float offsetA, float offsetB);
    // Ready vertices, drawn as they are.
    void DrawLineListV(std::span<const TDxVertex> vertices);
    void DrawTriangleListV(std::span<const TDxVertex> vertices);
    void DrawTriangleStripV(std::span<const TDxVertex> vertices);
    void DrawTriangleFanV(std::span<const TDxVertex> vertices);
    // DrawPrimitiveUP with the vertex format in force; nothing for a count below 1.
    void DrawPrimitiveV(D3DPRIMITIVETYPE type, int32_t primitiveCount, const void *vertices, UINT stride);
    // DrawPrimitiveV with the primitives in runs with boxes (IDirect3DDevice9::DrawPrimitiveRunsUP).
    void DrawPrimitiveRunsV(D3DPRIMITIVETYPE type, int32_t primitiveCount, const void *vertices, UINT stride,
                            std::span<const D3DPRIMITIVERUN> runs);

    int32_t Width() const { return width_; }
    int32_t Height() const { return height_; }
    const D3DVIEWPORT9 &Viewport() const { return viewport_; }
    // The device's viewport (IDirect3DDevice9.SetViewport: it may lie outside the target); Width, Height and
    // the pixel helpers follow it.
    void SetViewport(const D3DVIEWPORT9 &viewport);
    const D3DCAPS9 &Caps() const { return caps_; }
    IDirect3DDevice9 &Device() const { return *device_; }
    const std::shared_ptr<IDirect3DDevice9> &DeviceRef() const { return device_; }

protected:
    // Reads the viewport (and the size) from the device again.
    void ReadViewport();

private:
    void DrawVertices(D3DPRIMITIVETYPE type, std::span<const TDxVertex> vertices, std::size_t minCount);
    std::span<TDxVertex> PointVertices(std::span<const TXYZ> points, D3DCOLOR color);
    void WideVertices(std::span<const TXYZ> points, D3DCOLOR color, const float *u, float offsetA, float vA,
                      float offsetB, float vB);

    struct TScratchBlock {
        std::unique_ptr<TDxVertex[]> Data;
        std::size_t Size = 0, Used = 0;
    };

    std::shared_ptr<IDirect3DDevice9> device_;
    TDxPlane viewPlane_;
    int32_t width_ = 0, height_ = 0;
    D3DVIEWPORT9 viewport_{};
    D3DCAPS9 caps_{};
    std::unique_ptr<TMatrixShell> world_, view_, projection_;
    std::vector<TScratchBlock> scratch_;
    uint64_t frameSerial_ = 0;
};

// Draws into a window: BeginDraw opens the device's scene, EndDraw closes it.
class TDisplayRenderer : public TdxRenderer {
public:
    // A device on the widget, whose format must have been DeviceSurfaceFormat() and whose context must
    // exist (the widget has been shown). Raises ED3DError when no device can be made; the caller shows
    // DeviceCreateFailedText of its result.
    explicit TDisplayRenderer(QOpenGLWidget *widget);
    explicit TDisplayRenderer(std::shared_ptr<IDirect3DDevice9> device);

    // Also takes the target's current size, so that a resized widget needs no new renderer.
    void BeginDraw() override;
    void EndDraw() override;
};

// "dx9_dev create failed: <result as a signed decimal>".
std::string DeviceCreateFailedText(HRESULT result);

// Draws off-screen into a width x height target of its own (no stencil), on a context of its own on a
// hidden surface; CopyToBitmap takes each finished image.
class TSurfaceRenderer : public TdxRenderer {
public:
    TSurfaceRenderer(int32_t width, int32_t height);
    // Over a device made elsewhere (the tests hand over a recording device).
    explicit TSurfaceRenderer(std::shared_ptr<IDirect3DDevice9> device);

    void BeginDraw() override;
    void EndDraw() override;
    // The bitmap becomes the target's size in 24 bits with the last finished image, top row on top.
    void CopyToBitmap(TBitmap &bitmap);
    int32_t TargetWidth() const { return targetWidth_; }
    int32_t TargetHeight() const { return targetHeight_; }

private:
    int32_t targetWidth_ = 0, targetHeight_ = 0;
};
