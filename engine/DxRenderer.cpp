#include "engine/DxRenderer.h"

#include "engine/DxTexture.h"
#include "engine/NumText.h"
#include "engine/StreetError.h"
#include "platform/d3d9/GLDevice.h"
#include "platform/gdi/Bitmap.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

namespace {

D3DCAPS9 &CapsOfLastRenderer() {
    static D3DCAPS9 caps{};
    return caps;
}

// Scratch vertices come from blocks of at least this many, kept from frame to frame.
constexpr std::size_t ScratchBlockVertices = std::size_t(1) << 16;

// The unit left normal of the segment a -> b in the plane; (0, 0, 0) for a segment of no length.
TXYZ LeftNormal(const TXYZ &a, const TXYZ &b) {
    const double dx = double(b.x) - a.x, dy = double(b.y) - a.y;
    const double len = std::sqrt(dx * dx + dy * dy);
    if (len == 0)
        return {};
    return {float(-dy / len), float(dx / len), 0};
}

bool SameXY(const TXYZ &a, const TXYZ &b) {
    return a.x == b.x && a.y == b.y;
}

std::shared_ptr<IDirect3DDevice9> CheckedDevice(std::shared_ptr<IDirect3DDevice9> device) {
    if (!device)
        RaiseStreetError("TdxRenderer.Create", "no device");
    return device;
}

} // namespace

void DxStripNormals(std::span<const TXYZ> points, std::vector<TXYZ> &normals) {
    const std::size_t n = points.size();
    normals.assign(n, TXYZ{});
    if (n < 2)
        return;
    std::size_t j = 1;
    while (j < n - 1 && SameXY(points[j], points[0]))
        ++j;
    normals[0] = LeftNormal(points[0], points[j]);
    j = n - 2;
    while (j > 0 && SameXY(points[j], points[n - 1]))
        --j;
    normals[n - 1] = LeftNormal(points[j], points[n - 1]);
    for (std::size_t i = 1; i + 1 < n; ++i) {
        TXYZ m = MiterVector(points[i - 1], points[i], points[i + 1]);
        m.z = 0;
        normals[i] = m;
    }
}

namespace {

uint64_t NextFrameSerial() {
    static uint64_t last = 0;
    return ++last;
}

} // namespace

const D3DCAPS9 &DxDeviceCaps() {
    return CapsOfLastRenderer();
}

// ---- TdxRenderer

TdxRenderer::TdxRenderer(std::shared_ptr<IDirect3DDevice9> device)
    : device_(CheckedDevice(std::move(device))), frameSerial_(NextFrameSerial()) {
    ReadViewport();
    device_->GetDeviceCaps(caps_);
    CapsOfLastRenderer() = caps_;
    world_ = std::make_unique<TMatrixShell>(device_.get(), D3DTS_WORLD);
    view_ = std::make_unique<TMatrixShell>(device_.get(), D3DTS_VIEW);
    projection_ = std::make_unique<TMatrixShell>(device_.get(), D3DTS_PROJECTION);
}

TdxRenderer::~TdxRenderer() {
    for (TTextureSurface *surface : TTextureSurface::All())
        surface->ReleaseDeviceTexture(device_.get());
}

void TdxRenderer::ReadViewport() {
    device_->GetViewport(viewport_);
    width_ = viewport_.Width;
    height_ = viewport_.Height;
}

void TdxRenderer::SetViewport(const D3DVIEWPORT9 &viewport) {
    device_->SetViewport(viewport);
    ReadViewport();
}

void TdxRenderer::BeginDraw() {
    frameSerial_ = NextFrameSerial();
    // The frame's scratch arrays go; one block big enough for the last frame stays.
    std::size_t used = 0;
    for (const TScratchBlock &b : scratch_)
        used += b.Used;
    if (scratch_.size() > 1) {
        scratch_.clear();
        const std::size_t size = std::max(used, ScratchBlockVertices);
        scratch_.push_back({std::make_unique<TDxVertex[]>(size), size, 0});
    } else if (!scratch_.empty()) {
        scratch_[0].Used = 0;
    }
    IDirect3DDevice9 &d = *device_;
    d.SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    d.SetRenderState(D3DRS_AMBIENTMATERIALSOURCE, D3DMCS_COLOR1);
    d.SetRenderState(D3DRS_AMBIENT, 0xFFFFFFFF);
    d.SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    d.SetFVF(DxVertexFVF);
}

void TdxRenderer::EndDraw() {}

void TdxRenderer::Clear(D3DCOLOR color, bool target, bool stencil, bool zbuffer) {
    const DWORD flags =
        (target ? D3DCLEAR_TARGET : 0) | (stencil ? D3DCLEAR_STENCIL : 0) | (zbuffer ? D3DCLEAR_ZBUFFER : 0);
    if (flags)
        device_->Clear(flags, color, 1.0f, 0);
}

HRESULT TdxRenderer::Present() {
    return device_->Present();
}

void TdxRenderer::SetAmbient(D3DCOLOR color) {
    device_->SetRenderState(D3DRS_AMBIENT, color);
}

void TdxRenderer::SetTexture(TTextureSurface *texture) {
    if (texture) {
        texture->Apply(*this);
        return;
    }
    device_->SetTexture(0, nullptr);
    device_->SetRenderState(D3DRS_ALPHABLENDENABLE, 0);
}

void TdxRenderer::LoadIdentityAll() {
    world_->LoadIdentity();
    view_->LoadIdentity();
    projection_->LoadIdentity();
}

void TdxRenderer::PushMatrices() {
    world_->PushMatrix();
    view_->PushMatrix();
    projection_->PushMatrix();
}

void TdxRenderer::PopMatrices() {
    world_->PopMatrix();
    view_->PopMatrix();
    projection_->PopMatrix();
}

TXYZ TdxRenderer::ProjectPoint(const TXYZ &p) const {
    TXYZ q = p;
    world_->TransformPoint(q);
    view_->TransformPoint(q);
    projection_->TransformPoint(q);
    return q;
}

TXYZ TdxRenderer::ProjectPointClip(const TXYZ &p, bool &behind) const {
    TXYZ q = p;
    world_->TransformPointClip(q, behind);
    view_->TransformPointClip(q, behind);
    projection_->TransformPointClip(q, behind);
    return q;
}

TXYZ TdxRenderer::UnprojectPoint(const TXYZ &p) {
    TXYZ q = p;
    projection_->InverseTransform(q);
    view_->InverseTransform(q);
    world_->InverseTransform(q);
    return q;
}

namespace {

TXYZ ToPixel(const TXYZ &p, const D3DVIEWPORT9 &vp) {
    const double w = vp.Width, h = vp.Height;
    return {float(Round((p.x * w + w) / 2 + vp.X)), float(Round((h - p.y * h) / 2 + vp.Y)), p.z};
}

} // namespace

TXYZ TdxRenderer::WorldToScreen(const TXYZ &p) const {
    return ToPixel(ProjectPoint(p), viewport_);
}

TXYZ TdxRenderer::WorldToScreenClip(const TXYZ &p, bool &behind) const {
    return ToPixel(ProjectPointClip(p, behind), viewport_);
}

namespace {

// Normalised device x and y of a pixel.
void PixelToDevice(const D3DVIEWPORT9 &vp, int32_t x, int32_t y, float &nx, float &ny) {
    nx = float((double(x) - vp.X) / vp.Width * 2 - 1);
    ny = float(1 - (double(y) - vp.Y) / vp.Height * 2);
}

} // namespace

TXYZ TdxRenderer::ScreenToNear(int32_t x, int32_t y) {
    float nx, ny;
    PixelToDevice(viewport_, x, y, nx, ny);
    return UnprojectPoint({nx, ny, 0});
}

TXYZ TdxRenderer::ScreenToFar(int32_t x, int32_t y) {
    float nx, ny;
    PixelToDevice(viewport_, x, y, nx, ny);
    return UnprojectPoint({nx, ny, 1});
}

TXYZ TdxRenderer::ScreenToGround(int32_t x, int32_t y) {
    float nx, ny;
    PixelToDevice(viewport_, x, y, nx, ny);
    const TXYZ n = UnprojectPoint({nx, ny, 0});
    const TXYZ f = UnprojectPoint({nx, ny, 1});
    const double dz = double(n.z) - f.z;
    if (std::fabs(dz) <= 0.001)
        return {n.x, n.y, 0};
    const double t = (0 - double(f.z)) / dz;
    return {float((double(n.x) - f.x) * t + f.x), float((double(n.y) - f.y) * t + f.y), 0};
}

float TdxRenderer::PixelSizeAt(int32_t x, int32_t y) {
    return float(VectorDistance(ScreenToGround(x, y), ScreenToGround(x + 1, y + 1)) * 0.707);
}

float TdxRenderer::PixelSize() {
    return PixelSizeAt(width_ / 2, height_);
}

void TdxRenderer::ComputeViewPlane() {
    viewPlane_ = MakePlane(UnprojectPoint({0, 0, 0}), UnprojectPoint({0, 0, 1}));
}

std::span<TDxVertex> TdxRenderer::AllocVertices(std::size_t count) {
    if (count == 0)
        return {};
    TScratchBlock *block = scratch_.empty() ? nullptr : &scratch_.back();
    if (!block || block->Size - block->Used < count) {
        const std::size_t size = std::max(count, ScratchBlockVertices);
        scratch_.push_back({std::make_unique<TDxVertex[]>(size), size, 0});
        block = &scratch_.back();
    }
    TDxVertex *v = block->Data.get() + block->Used;
    block->Used += count;
    std::memset(static_cast<void *>(v), 0, count * sizeof(TDxVertex));
    return {v, count};
}

void TdxRenderer::BeginStippleMask() {
    PushMatrices();
    LoadIdentityAll();
    projection_->Scale(true, 2.0f / float(width_), 2.0f / float(height_), 1);
    TXYZArray lines;
    const int32_t hw = width_ / 2, hh = height_ / 2;
    lines.reserve(static_cast<std::size_t>(2 * (hw + hh + 1) * 2));
    for (int32_t i = -hw; i <= hw; ++i) {
        lines.push_back({float(2 * i), float(-height_), 0});
        lines.push_back({float(2 * i), float(height_), 0});
    }
    for (int32_t j = -hh; j <= hh; ++j) {
        lines.push_back({float(-width_), float(2 * j), 0});
        lines.push_back({float(width_), float(2 * j), 0});
    }
    IDirect3DDevice9 &d = *device_;
    d.SetRenderState(D3DRS_COLORWRITEENABLE, 0);
    d.SetRenderState(D3DRS_STENCILENABLE, 1);
    d.SetRenderState(D3DRS_STENCILFUNC, D3DCMP_ALWAYS);
    d.SetRenderState(D3DRS_STENCILPASS, D3DSTENCILOP_INVERT);
    d.SetRenderState(D3DRS_STENCILWRITEMASK, 0xFFFFFFFF);
    DrawLines(lines, 0);
    PopMatrices();
    d.SetRenderState(D3DRS_STENCILWRITEMASK, 0);
    d.SetRenderState(D3DRS_STENCILMASK, 0xFFFFFFFF);
    d.SetRenderState(D3DRS_STENCILFUNC, D3DCMP_EQUAL);
    d.SetRenderState(D3DRS_STENCILREF, 0);
    d.SetRenderState(D3DRS_STENCILPASS, D3DSTENCILOP_KEEP);
    d.SetRenderState(D3DRS_COLORWRITEENABLE, 0xFFFFFFFF);
}

void TdxRenderer::EndStippleMask() {
    device_->SetRenderState(D3DRS_STENCILENABLE, 0);
}

// ---- Immediate drawing

namespace {

UINT PrimitiveCount(D3DPRIMITIVETYPE type, std::size_t vertices) {
    switch (type) {
    case D3DPT_POINTLIST:
        return UINT(vertices);
    case D3DPT_LINELIST:
        return UINT(vertices / 2);
    case D3DPT_LINESTRIP:
        return vertices ? UINT(vertices - 1) : 0;
    case D3DPT_TRIANGLELIST:
        return UINT(vertices / 3);
    case D3DPT_TRIANGLESTRIP:
    case D3DPT_TRIANGLEFAN:
        return vertices >= 2 ? UINT(vertices - 2) : 0;
    }
    return 0;
}

// Cumulative distances along the points, scaled into texture u.
void TextureU(std::span<const TXYZ> points, float period, bool wholePeriods, std::vector<float> &u) {
    const std::size_t n = points.size();
    std::vector<double> len(n, 0.0);
    for (std::size_t i = 1; i < n; ++i)
        len[i] = len[i - 1] + VectorDistance(points[i - 1], points[i]);
    double total = n ? len[n - 1] : 0;
    if (total == 0)
        total = 1;
    const double p = period == 0 ? 1.0 : double(period);
    const double k = wholePeriods ? double(std::max<int64_t>(1, Round(total / p))) / total : 1.0 / p;
    u.resize(n);
    for (std::size_t i = 0; i < n; ++i)
        u[i] = float(len[i] * k);
}

} // namespace

void TdxRenderer::DrawVertices(D3DPRIMITIVETYPE type, std::span<const TDxVertex> vertices,
                               std::size_t minCount) {
    if (vertices.size() < minCount)
        return;
    device_->SetFVF(DxVertexFVF);
    device_->DrawPrimitiveUP(type, PrimitiveCount(type, vertices.size()), vertices.data(), sizeof(TDxVertex));
}

std::span<TDxVertex> TdxRenderer::PointVertices(std::span<const TXYZ> points, D3DCOLOR color) {
    std::span<TDxVertex> v = AllocVertices(points.size());
    for (std::size_t i = 0; i < points.size(); ++i) {
        v[i].x = points[i].x;
        v[i].y = points[i].y;
        v[i].z = points[i].z;
        v[i].color = color;
    }
    return v;
}

void TdxRenderer::DrawPoints(std::span<const TXYZ> points, D3DCOLOR color) {
    if (points.size() >= 1)
        DrawVertices(D3DPT_POINTLIST, PointVertices(points, color), 1);
}

void TdxRenderer::DrawPolyline(std::span<const TXYZ> points, D3DCOLOR color) {
    if (points.size() >= 2)
        DrawVertices(D3DPT_LINESTRIP, PointVertices(points, color), 2);
}

void TdxRenderer::DrawLines(std::span<const TXYZ> points, D3DCOLOR color) {
    if (points.size() >= 2)
        DrawVertices(D3DPT_LINELIST, PointVertices(points, color), 2);
}

void TdxRenderer::DrawTriangles(std::span<const TXYZ> points, D3DCOLOR color) {
    if (points.size() >= 3)
        DrawVertices(D3DPT_TRIANGLELIST, PointVertices(points, color), 3);
}

void TdxRenderer::DrawTexturedPolyline(std::span<const TXYZ> points, D3DCOLOR color, float period,
                                       bool wholePeriods, float v) {
    if (points.size() < 2)
        return;
    std::vector<float> u;
    TextureU(points, period, wholePeriods, u);
    std::span<TDxVertex> vs = PointVertices(points, color);
    for (std::size_t i = 0; i < vs.size(); ++i) {
        vs[i].u = u[i];
        vs[i].v = v;
    }
    DrawVertices(D3DPT_LINESTRIP, vs, 2);
}

void TdxRenderer::WideVertices(std::span<const TXYZ> points, D3DCOLOR color, const float *u, float offsetA,
                               float vA, float offsetB, float vB) {
    std::vector<TXYZ> normals;
    DxStripNormals(points, normals);
    std::span<TDxVertex> vs = AllocVertices(points.size() * 2);
    for (std::size_t i = 0; i < points.size(); ++i) {
        const TXYZ &p = points[i], &n = normals[i];
        const float ui = u ? u[i] : 0;
        vs[2 * i] = {p.x + n.x * offsetA, p.y + n.y * offsetA, p.z, color, ui, vA};
        vs[2 * i + 1] = {p.x + n.x * offsetB, p.y + n.y * offsetB, p.z, color, ui, vB};
    }
    DrawVertices(D3DPT_TRIANGLESTRIP, vs, 4);
}

void TdxRenderer::DrawWideTexturedPolyline(std::span<const TXYZ> points, D3DCOLOR color, float period,
                                           bool wholePeriods, float offsetA, float vA, float offsetB,
                                           float vB) {
    if (points.size() < 2)
        return;
    std::vector<float> u;
    TextureU(points, period, wholePeriods, u);
    WideVertices(points, color, u.data(), offsetA, vA, offsetB, vB);
}

void TdxRenderer::DrawWidePolyline(std::span<const TXYZ> points, D3DCOLOR color, float offsetA,
                                   float offsetB) {
    if (points.size() < 2)
        return;
    WideVertices(points, color, nullptr, offsetA, 0, offsetB, 0);
}

void TdxRenderer::DrawLineListV(std::span<const TDxVertex> vertices) {
    DrawVertices(D3DPT_LINELIST, vertices, 2);
}

void TdxRenderer::DrawTriangleListV(std::span<const TDxVertex> vertices) {
    DrawVertices(D3DPT_TRIANGLELIST, vertices, 3);
}

void TdxRenderer::DrawTriangleStripV(std::span<const TDxVertex> vertices) {
    DrawVertices(D3DPT_TRIANGLESTRIP, vertices, 3);
}

void TdxRenderer::DrawTriangleFanV(std::span<const TDxVertex> vertices) {
    DrawVertices(D3DPT_TRIANGLEFAN, vertices, 3);
}

void TdxRenderer::DrawPrimitiveV(D3DPRIMITIVETYPE type, int32_t primitiveCount, const void *vertices,
                                 UINT stride) {
    if (primitiveCount < 1)
        return;
    device_->DrawPrimitiveUP(type, UINT(primitiveCount), vertices, stride);
}

void TdxRenderer::DrawPrimitiveRunsV(D3DPRIMITIVETYPE type, int32_t primitiveCount, const void *vertices,
                                     UINT stride, std::span<const D3DPRIMITIVERUN> runs) {
    if (primitiveCount < 1)
        return;
    device_->DrawPrimitiveRunsUP(type, UINT(primitiveCount), vertices, stride, runs.data(), UINT(runs.size()));
}

// ---- TDisplayRenderer

TDisplayRenderer::TDisplayRenderer(QOpenGLWidget *widget) : TdxRenderer(CreateWidgetDevice(widget)) {}

TDisplayRenderer::TDisplayRenderer(std::shared_ptr<IDirect3DDevice9> device)
    : TdxRenderer(std::move(device)) {}

void TDisplayRenderer::BeginDraw() {
    ReadViewport();
    Device().BeginScene();
    TdxRenderer::BeginDraw();
}

void TDisplayRenderer::EndDraw() {
    TdxRenderer::EndDraw();
    Device().EndScene();
}

std::string DeviceCreateFailedText(HRESULT result) {
    return "dx9_dev create failed: " + std::to_string(result);
}

// ---- TSurfaceRenderer

TSurfaceRenderer::TSurfaceRenderer(int32_t width, int32_t height)
    : TdxRenderer(CreateOffscreenDevice(width, height, false)), targetWidth_(Width()),
      targetHeight_(Height()) {}

// A fresh device's viewport is its whole target.
TSurfaceRenderer::TSurfaceRenderer(std::shared_ptr<IDirect3DDevice9> device)
    : TdxRenderer(std::move(device)), targetWidth_(Width()), targetHeight_(Height()) {}

void TSurfaceRenderer::BeginDraw() {
    TdxRenderer::BeginDraw();
    Device().BeginScene();
}

void TSurfaceRenderer::EndDraw() {
    TdxRenderer::EndDraw();
    Device().EndScene();
}

void TSurfaceRenderer::CopyToBitmap(TBitmap &bitmap) {
    const int32_t w = targetWidth_, h = targetHeight_;
    std::vector<uint8_t> rows(static_cast<std::size_t>(w) * h * 4);
    Device().GetRenderTargetData(rows.data(), w * 4);
    bitmap = TBitmap(w, h, TPixelFormat::pf32bit);
    for (int32_t y = 0; y < h; ++y)
        std::memcpy(bitmap.ScanLine(y), rows.data() + static_cast<std::size_t>(y) * w * 4,
                    static_cast<std::size_t>(w) * 4);
    bitmap.SetPixelFormat(TPixelFormat::pf24bit);
}
