#include "platform/d3d9/GLDevice.h"

#include "platform/d3d9/D3DError.h"
#include "platform/d3d9/DeviceBase.h"
#include "platform/d3d9/SmallPrimitives.h"

#include <QGuiApplication>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions_3_3_Core>
#include <QOpenGLVersionFunctionsFactory>
#include <QOpenGLWidget>
#include <QPointer>

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <cmath>
#include <cstring>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace {

using TGL = QOpenGLFunctions_3_3_Core;

// GL_TEXTURE_MAX_ANISOTROPY and GL_MAX_TEXTURE_MAX_ANISOTROPY (core in 4.6, same values in the
// anisotropic-filtering extensions).
constexpr GLenum GLTextureMaxAnisotropy = 0x84FE;
constexpr GLenum GLMaxTextureMaxAnisotropy = 0x84FF;

std::atomic<bool> smallPrimitiveFilter{true};

// The context a device and its textures draw with. Textures keep it alive (as resources keep their
// device), so that each can free its GL objects in the right context whatever dies first.
class TGLContext {
public:
    // Off-screen: a context of our own on a hidden surface. In the program it shares its resources with
    // the display contexts (the application asks for one share group); without a display it stands alone.
    TGLContext()
        : owned_(std::make_unique<QOpenGLContext>()), surface_(std::make_unique<QOffscreenSurface>()) {
        QSurfaceFormat f = DeviceSurfaceFormat();
        f.setDepthBufferSize(0);
        f.setStencilBufferSize(0);
        owned_->setFormat(f);
        if (QOpenGLContext *shared = QOpenGLContext::globalShareContext())
            owned_->setShareContext(shared);
        if (!owned_->create())
            RaiseD3DError("Direct3D.CreateDevice", D3DERR_NOTAVAILABLE, "no OpenGL context can be made");
        surface_->setFormat(owned_->format());
        surface_->create();
        context_ = owned_.get();
        Init();
    }

    // On-screen: the widget's context.
    explicit TGLContext(QOpenGLWidget *widget) : widget_(widget), context_(widget->context()) {
        if (!context_)
            RaiseD3DError("Direct3D.CreateDevice", D3DERR_NOTAVAILABLE,
                          "the widget has no OpenGL context yet");
        Init();
    }

    ~TGLContext() {
        QObject::disconnect(lost_);
        FreeSpares();
        if (owned_ && !QGuiApplication::instance()) {
            // Past the application's end the platform cannot release them any more.
            (void)owned_.release();
            (void)surface_.release();
        }
    }

    bool Alive() const { return alive_ && context_ && (!IsWidget() || widget_); }

    // Names of dead textures kept with their storage, so that the next texture of the same size is filled
    // in place: fresh storage costs the driver an allocation and a page fault per page, more than the
    // upload itself. Kept up to SpareBytes; freed with the context.
    static constexpr std::size_t SpareBytes = std::size_t(32) << 20;
    GLuint TakeSpare(UINT width, UINT height) {
        for (std::size_t i = spares_.size(); i-- > 0;)
            if (spares_[i].Width == width && spares_[i].Height == height) {
                const GLuint name = spares_[i].Name;
                spareBytes_ -= TextureBytes(width, height);
                spares_.erase(spares_.begin() + static_cast<std::ptrdiff_t>(i));
                return name;
            }
        return 0;
    }
    // False when the spares are full: the caller deletes the name.
    bool KeepSpare(UINT width, UINT height, GLuint name) {
        const std::size_t bytes = TextureBytes(width, height);
        if (spareBytes_ + bytes > SpareBytes)
            return false;
        spares_.push_back({width, height, name});
        spareBytes_ += bytes;
        return true;
    }
    void FreeSpares();

    // Rows lent to one lock at a time: the pixels go up from them on unlock and are not kept, so a
    // texture costs no copy of its own in memory. nullptr when lent already or too large to keep around.
    uint8_t *LendScratch(std::size_t bytes) {
        if (scratchLent_ || bytes > SpareBytes / 4)
            return nullptr;
        if (scratch_.size() < bytes)
            scratch_.resize(bytes);
        scratchLent_ = true;
        return scratch_.data();
    }
    void ReturnScratch(const uint8_t *rows) {
        if (rows == scratch_.data())
            scratchLent_ = false;
    }

    static std::size_t TextureBytes(UINT width, UINT height) { return std::size_t(width) * height * 4; }

    // Called before every GL call on a texture of the context (made, filled, read back or freed): the
    // device sends the draws it holds back first, so that they sample the texels they were drawn with and
    // find the texture binding they left.
    std::function<void()> BeforeTextureCall;
    void TextureCall() {
        if (BeforeTextureCall)
            BeforeTextureCall();
    }
    void Lose() { alive_ = false; }
    TGL &GL() { return *gl_; }
    QOpenGLContext *Context() const { return context_; }
    QOpenGLWidget *Widget() const { return widget_; }
    bool IsWidget() const { return owned_ == nullptr; }

    // Makes the context current without asking; false when that fails.
    bool MakeCurrentRaw() {
        if (IsWidget()) {
            widget_->makeCurrent();
            return QOpenGLContext::currentContext() == context_;
        }
        return context_->makeCurrent(surface_.get());
    }

private:
    void Init() {
        if (context_->format().version() < qMakePair(3, 3))
            RaiseD3DError("Direct3D.CreateDevice", D3DERR_NOTAVAILABLE,
                          "OpenGL " + std::to_string(context_->format().majorVersion()) + "." +
                              std::to_string(context_->format().minorVersion()) + " is below 3.3");
        QOpenGLContext *prev = QOpenGLContext::currentContext();
        QSurface *prevSurface = prev ? prev->surface() : nullptr;
        if (prev != context_ && !MakeCurrentRaw())
            RaiseD3DError("Direct3D.CreateDevice", D3DERR_NOTAVAILABLE,
                          "the OpenGL context cannot be made current");
        gl_ = QOpenGLVersionFunctionsFactory::get<TGL>(context_);
        const bool ok = gl_ && gl_->initializeOpenGLFunctions();
        if (prev && prev != context_)
            prev->makeCurrent(prevSurface);
        if (!ok)
            RaiseD3DError("Direct3D.CreateDevice", D3DERR_NOTAVAILABLE,
                          "OpenGL 3.3 core functions are missing");
        if (IsWidget())
            lost_ = QObject::connect(context_, &QOpenGLContext::aboutToBeDestroyed, context_,
                                     [this] { alive_ = false; });
    }

    std::unique_ptr<QOpenGLContext> owned_;
    std::unique_ptr<QOffscreenSurface> surface_;
    QPointer<QOpenGLWidget> widget_;
    QOpenGLContext *context_ = nullptr;
    TGL *gl_ = nullptr;
    bool alive_ = true;
    QMetaObject::Connection lost_;
    struct TSpare {
        UINT Width, Height;
        GLuint Name;
    };
    std::vector<TSpare> spares_;
    std::size_t spareBytes_ = 0;
    std::vector<uint8_t> scratch_;
    bool scratchLent_ = false;
};

// Makes a context current for one call and gives the previous one back afterwards, so that drawing
// from inside another widget's paint or between two devices leaves each context as it was.
class TCurrentScope {
public:
    TCurrentScope(TGLContext &c, const char *call) {
        if (!c.Alive())
            RaiseD3DError(call, D3DERR_DEVICELOST, "the OpenGL context is gone");
        QOpenGLContext *cur = QOpenGLContext::currentContext();
        if (cur == c.Context())
            return;
        prev_ = cur;
        prevSurface_ = cur ? cur->surface() : nullptr;
        if (!c.MakeCurrentRaw())
            RaiseD3DError(call, D3DERR_DEVICELOST, "the OpenGL context cannot be made current");
    }
    ~TCurrentScope() {
        if (prev_)
            prev_->makeCurrent(prevSurface_);
    }
    TCurrentScope(const TCurrentScope &) = delete;
    TCurrentScope &operator=(const TCurrentScope &) = delete;

private:
    QOpenGLContext *prev_ = nullptr;
    QSurface *prevSurface_ = nullptr;
};

void TGLContext::FreeSpares() {
    if (!spares_.empty() && Alive() && QGuiApplication::instance()) {
        try {
            TCurrentScope scope(*this, "IDirect3DTexture9.Release");
            for (const TSpare &s : spares_)
                gl_->glDeleteTextures(1, &s.Name);
        } catch (...) { // names that cannot be freed any more die with the context
        }
    }
    spares_.clear();
    spareBytes_ = 0;
}

void CheckGLError(TGL &gl, const char *call) {
    GLenum e = gl.glGetError(), first = e;
    while (e != GL_NO_ERROR)
        e = gl.glGetError();
    if (first == GL_OUT_OF_MEMORY)
        RaiseD3DError(call, D3DERR_OUTOFVIDEOMEMORY, "OpenGL is out of memory");
    if (first != GL_NO_ERROR)
        RaiseD3DError(call, D3DERR_DRIVERINTERNALERROR, "OpenGL error " + std::to_string(first));
}

class TGLTexture final : public IDirect3DTexture9 {
public:
    TGLTexture(std::shared_ptr<TGLContext> context, const void *owner, UINT width, UINT height)
        : context_(std::move(context)), owner_(owner), width_(width), height_(height) {
        const char *call = "IDirect3DDevice9.CreateTexture";
        context_->TextureCall();
        TCurrentScope scope(*context_, call);
        TGL &gl = context_->GL();
        name_ = context_->TakeSpare(width, height);
        if (name_ != 0)
            return;
        gl.glGenTextures(1, &name_);
        gl.glBindTexture(GL_TEXTURE_2D, name_);
        gl.glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
        // Storage only: zeros go up on first use unless a lock fills it before, so a texture made to be
        // filled at once is uploaded once. The texels are stored in the order of the bytes we are given
        // (blue first) and the swizzle puts red and blue in their places when sampled: a driver that
        // keeps red first then copies the rows as they are instead of turning every texel round.
        gl.glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, static_cast<GLsizei>(width), static_cast<GLsizei>(height),
                        0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
        gl.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_R, GL_BLUE);
        gl.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_B, GL_RED);
        gl.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_BASE_LEVEL, 0);
        gl.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
        gl.glBindTexture(GL_TEXTURE_2D, 0);
        try {
            CheckGLError(gl, call);
        } catch (...) {
            gl.glDeleteTextures(1, &name_);
            throw;
        }
    }

    ~TGLTexture() override {
        if (locked_)
            context_->ReturnScratch(lockedRows_);
        if (!context_->Alive() || !QGuiApplication::instance())
            return;
        try {
            context_->TextureCall();
        } catch (...) { // draws that cannot be sent any more are lost with the context
        }
        if (context_->KeepSpare(width_, height_, name_))
            return;
        try {
            TCurrentScope scope(*context_, "IDirect3DTexture9.Release");
            context_->GL().glDeleteTextures(1, &name_);
        } catch (...) { // a texture that cannot be freed any more dies with its context
        }
    }

    UINT Width() const override { return width_; }
    UINT Height() const override { return height_; }

    // The lock shows the texels in place: read back from the texture once it holds any, zeros before.
    void LockRect(UINT level, D3DLOCKED_RECT &locked) override {
        const char *call = "IDirect3DTexture9.LockRect";
        if (level != 0 || locked_)
            RaiseD3DError(call, D3DERR_INVALIDCALL,
                          locked_ ? "the texture is locked" : "only level 0 exists");
        uint8_t *rows = BorrowRows();
        try {
            if (uploaded_) {
                context_->TextureCall();
                TCurrentScope scope(*context_, call);
                TGL &gl = context_->GL();
                gl.glBindTexture(GL_TEXTURE_2D, name_);
                gl.glPixelStorei(GL_PACK_ALIGNMENT, 4);
                gl.glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, rows); // as stored
                gl.glBindTexture(GL_TEXTURE_2D, 0);
                CheckGLError(gl, call);
            } else {
                std::memset(rows, 0, TGLContext::TextureBytes(width_, height_));
            }
        } catch (...) {
            GiveBackRows(rows);
            throw;
        }
        locked_ = true;
        lockedRows_ = rows;
        locked.Pitch = static_cast<int32_t>(width_ * 4);
        locked.pBits = rows;
    }

    void UnlockRect(UINT level) override {
        const char *call = "IDirect3DTexture9.UnlockRect";
        if (level != 0 || !locked_)
            RaiseD3DError(call, D3DERR_INVALIDCALL, "the texture is not locked");
        locked_ = false;
        uint8_t *rows = std::exchange(lockedRows_, nullptr);
        try {
            Upload(call, rows);
        } catch (...) {
            GiveBackRows(rows);
            throw;
        }
        GiveBackRows(rows);
    }

    const void *Owner() const { return owner_; }
    // The texture's name, its pixels in place (zeros, when no lock filled it yet).
    GLuint Name() {
        if (!uploaded_) {
            uint8_t *rows = BorrowRows();
            std::memset(rows, 0, TGLContext::TextureBytes(width_, height_));
            try {
                Upload("IDirect3DDevice9.DrawPrimitiveUP", rows);
            } catch (...) {
                GiveBackRows(rows);
                throw;
            }
            GiveBackRows(rows);
        }
        return name_;
    }

private:
    // The context's scratch rows when free, else a block of the texture's own for the time of one lock.
    uint8_t *BorrowRows() {
        const std::size_t bytes = TGLContext::TextureBytes(width_, height_);
        if (uint8_t *rows = context_->LendScratch(bytes))
            return rows;
        own_.resize(bytes);
        return own_.data();
    }
    void GiveBackRows(const uint8_t *rows) {
        context_->ReturnScratch(rows);
        own_ = {};
    }

    void Upload(const char *call, const uint8_t *rows) {
        context_->TextureCall();
        TCurrentScope scope(*context_, call);
        TGL &gl = context_->GL();
        gl.glBindTexture(GL_TEXTURE_2D, name_);
        gl.glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
        gl.glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, static_cast<GLsizei>(width_),
                           static_cast<GLsizei>(height_), GL_RGBA, GL_UNSIGNED_BYTE, rows); // swizzled
        gl.glBindTexture(GL_TEXTURE_2D, 0);
        CheckGLError(gl, call);
        uploaded_ = true;
    }

    std::shared_ptr<TGLContext> context_;
    const void *owner_;
    UINT width_, height_;
    GLuint name_ = 0;
    std::vector<uint8_t> own_; // rows of a lock while the context's scratch is lent to another
    uint8_t *lockedRows_ = nullptr;
    bool locked_ = false;
    bool uploaded_ = false;
};

// The fixed-function stage as far as we use it. Clip z 0..w becomes GL's -w..w.
//
// x and y go to GL's window through a viewport of our own choosing (ApplyViewport): q is the position in
// pixels from a whole pixel near the centre of the caller's viewport, with the half-pixel shift that moves
// Direct3D's pixel centres (whole coordinates) onto GL's (half coordinates). For a point at w = 1 it is
// rounded to 1/256 pixel, which GL's power-of-two viewport scale and whole-pixel centre then carry into
// window coordinates without rounding: a scene drawn with the caller's viewport at two origins lands on
// exactly the same sub-pixel positions, moved by whole pixels, and the rasteriser's fixed-point grid sees
// the same picture.
const char *const VertexShader = R"(#version 330 core
layout(location = 0) in vec3 aPos;
layout(location = 1) in vec4 aColor;
layout(location = 2) in vec2 aUV;
uniform mat4 uWorldViewProj;
uniform vec2 uHalf;
uniform vec2 uOffset;
uniform float uToGL;
uniform vec3 uAmbient;
uniform bool uHasUV;
out vec4 vColor;
out vec2 vUV;
void main() {
    vec4 p = uWorldViewProj * vec4(aPos, 1.0);
    vec2 q = p.xy * uHalf + uOffset * p.w;
    if (p.w == 1.0)
        q = floor(q * 256.0 + 0.5) / 256.0;
    p.xy = q * uToGL;
    p.z = 2.0 * p.z - p.w;
    gl_Position = p;
    vColor = vec4(aColor.rgb * uAmbient, aColor.a);
    vUV = uHasUV ? aUV : vec2(0.0);
}
)";

// uColorOp 0: no texture, the stage passes the vertex colour. Otherwise Direct3D's operation codes.
const char *const FragmentShader = R"(#version 330 core
in vec4 vColor;
in vec2 vUV;
uniform sampler2D uTexture;
uniform int uColorOp;
uniform int uArg1;
uniform int uArg2;
out vec4 fragColor;
vec3 Arg(int a, vec4 t) { return a == 2 ? t.rgb : vColor.rgb; }
void main() {
    if (uColorOp == 0) {
        fragColor = vColor;
        return;
    }
    vec4 t = texture(uTexture, vUV);
    vec3 a1 = Arg(uArg1, t);
    vec3 a2 = Arg(uArg2, t);
    vec3 c;
    if (uColorOp == 2) c = a1;
    else if (uColorOp == 4) c = a1 * a2;
    else if (uColorOp == 5) c = a1 * a2 * 2.0;
    else if (uColorOp == 6) c = a1 * a2 * 4.0;
    else if (uColorOp == 7) c = a1 + a2;
    else c = a1 + a2 - 0.5;
    fragColor = vec4(clamp(c, 0.0, 1.0), t.a);
}
)";

GLenum GLMode(D3DPRIMITIVETYPE type) {
    switch (type) {
    case D3DPT_POINTLIST:
        return GL_POINTS;
    case D3DPT_LINELIST:
        return GL_LINES;
    case D3DPT_LINESTRIP:
        return GL_LINE_STRIP;
    case D3DPT_TRIANGLELIST:
        return GL_TRIANGLES;
    case D3DPT_TRIANGLESTRIP:
        return GL_TRIANGLE_STRIP;
    case D3DPT_TRIANGLEFAN:
        return GL_TRIANGLE_FAN;
    }
    return GL_POINTS;
}

D3DMATRIX Multiply(const D3DMATRIX &a, const D3DMATRIX &b) {
    D3DMATRIX r{};
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            double s = 0;
            for (int k = 0; k < 4; ++k)
                s += static_cast<double>(a.m[i][k]) * b.m[k][j];
            r.m[i][j] = static_cast<float>(s);
        }
    return r;
}

// Well above the rasteriser's sub-pixel precision, well below anything visible.
constexpr float PixelBias = 1.0f / 128.0f;

constexpr std::size_t InitialStreamBytes = std::size_t(4) << 20;
// A stream buffer grows (doubling) to hold a whole scene's vertices up to this size; scenes larger than
// that orphan it when it is full.
constexpr std::size_t MaxStreamBytes = std::size_t(64) << 20;
// How long a scene waits for the GL to be done with the vertices of the scene before last.
constexpr GLuint64 StreamWaitNs = 2'000'000'000;
// Triangles held back for one draw are sent once they fill this much.
constexpr std::size_t MaxHeldBytes = std::size_t(4) << 20;

class TGLDevice final : public TD3DDeviceBase {
public:
    // Off-screen target.
    TGLDevice(int width, int height, bool withStencil)
        : context_(std::make_shared<TGLContext>()), width_(width), height_(height), hasStencil_(withStencil),
          hasDepth_(withStencil) {
        const char *call = "Direct3D.CreateDevice";
        context_->BeforeTextureCall = [this] { SendHeld(); };
        TCurrentScope scope(*context_, call);
        CreateObjects(call);
        TGL &gl = context_->GL();
        GLint maxRb = 0;
        gl.glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &maxRb);
        if (width < 1 || height < 1 || width > maxRb || height > maxRb)
            RaiseD3DError(call, D3DERR_INVALIDCALL,
                          "target size " + std::to_string(width) + " x " + std::to_string(height));
        gl.glGenFramebuffers(1, &fbo_);
        gl.glBindFramebuffer(GL_FRAMEBUFFER, fbo_);
        gl.glGenRenderbuffers(1, &colorRb_);
        gl.glBindRenderbuffer(GL_RENDERBUFFER, colorRb_);
        gl.glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, width, height);
        gl.glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colorRb_);
        if (withStencil) {
            gl.glGenRenderbuffers(1, &depthRb_);
            gl.glBindRenderbuffer(GL_RENDERBUFFER, depthRb_);
            gl.glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, width, height);
            gl.glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER,
                                         depthRb_);
        }
        const GLenum status = gl.glCheckFramebufferStatus(GL_FRAMEBUFFER);
        gl.glBindRenderbuffer(GL_RENDERBUFFER, 0);
        CheckGLError(gl, call);
        if (status != GL_FRAMEBUFFER_COMPLETE)
            RaiseD3DError(call, D3DERR_NOTAVAILABLE, "the off-screen target is incomplete");
        // A fresh target is black.
        gl.glClearColor(0, 0, 0, 1);
        gl.glClearStencil(0);
        gl.glClearDepth(1.0);
        gl.glClear(GL_COLOR_BUFFER_BIT | (withStencil ? GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT : 0));
    }

    // On-screen target.
    explicit TGLDevice(QOpenGLWidget *widget)
        : context_(std::make_shared<TGLContext>(widget)), widget_(widget) {
        const char *call = "Direct3D.CreateDevice";
        const QSurfaceFormat f = widget->format();
        hasStencil_ = f.stencilBufferSize() > 0;
        hasDepth_ = f.depthBufferSize() > 0;
        context_->BeforeTextureCall = [this] { SendHeld(); };
        TCurrentScope scope(*context_, call);
        CreateObjects(call);
    }

    ~TGLDevice() override {
        // Textures may outlive the device; what it holds back is not drawn any more.
        context_->BeforeTextureCall = nullptr;
        if (!context_->Alive() || !QGuiApplication::instance())
            return;
        try {
            TCurrentScope scope(*context_, "IDirect3DDevice9.Release");
            TGL &gl = context_->GL();
            gl.glDeleteProgram(program_);
            gl.glDeleteVertexArrays(1, &vao_);
            for (TStreamBuffer &b : stream_) {
                if (b.Fence)
                    gl.glDeleteSync(b.Fence);
                gl.glDeleteBuffers(1, &b.Vbo);
            }
            gl.glDeleteSamplers(1, &sampler_);
            gl.glDeleteFramebuffers(1, &fbo_);
            gl.glDeleteRenderbuffers(1, &colorRb_);
            gl.glDeleteRenderbuffers(1, &depthRb_);
        } catch (...) { // a context that cannot be made current takes its objects with it
        }
    }

    void BeginScene() override {
        const char *call = "IDirect3DDevice9.BeginScene";
        if (InScene())
            RaiseD3DError(call, D3DERR_INVALIDCALL, "a scene is already open");
        if (widget_)
            drawnOutsidePaint_ = QOpenGLContext::currentContext() != context_->Context();
        TCurrentScope scope(*context_, call);
        BindTarget();
        NextStreamBuffer(context_->GL());
        // Whoever else draws with this context (the widget's own painting) may have changed its state.
        stateDirty_ = transformDirty_ = true;
        applied_ = {};
        EnterScene(call);
    }

    void EndScene() override {
        const char *call = "IDirect3DDevice9.EndScene";
        LeaveScene(call);
        SendHeld();
        TCurrentScope scope(*context_, call);
        TGL &gl = context_->GL();
        // Whoever draws with the context next (the widget's own painting) expects no scissor.
        gl.glDisable(GL_SCISSOR_TEST);
        gl.glFlush();
        CheckGLError(gl, call);
    }

    HRESULT Present() override {
        if (!context_->Alive())
            return D3DERR_DEVICELOST;
        if (InScene())
            return D3DERR_INVALIDCALL;
        if (widget_ && drawnOutsidePaint_)
            widget_->update();
        return D3D_OK;
    }

    void Clear(DWORD flags, D3DCOLOR color, float z, DWORD stencil) override {
        const char *call = "IDirect3DDevice9.Clear";
        if (flags == 0 || (flags & ~(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)) != 0)
            RaiseD3DError(call, D3DERR_INVALIDCALL, "clear flags " + std::to_string(flags));
        if ((flags & D3DCLEAR_STENCIL) && !hasStencil_)
            RaiseD3DError(call, D3DERR_INVALIDCALL, "the target has no stencil buffer");
        if ((flags & D3DCLEAR_ZBUFFER) && !hasDepth_)
            RaiseD3DError(call, D3DERR_INVALIDCALL, "the target has no depth buffer");
        SendHeld();
        TCurrentScope scope(*context_, call);
        TGL &gl = context_->GL();
        BindTarget();
        // Clearing ignores the write masks in force for drawing.
        gl.glDisable(GL_SCISSOR_TEST);
        gl.glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
        gl.glStencilMask(0xFF);
        gl.glDepthMask(GL_TRUE);
        gl.glClearColor(((color >> 16) & 255) / 255.0f, ((color >> 8) & 255) / 255.0f, (color & 255) / 255.0f,
                        ((color >> 24) & 255) / 255.0f);
        gl.glClearDepth(std::clamp(z, 0.0f, 1.0f));
        gl.glClearStencil(static_cast<GLint>(stencil & 0xFF));
        gl.glClear(((flags & D3DCLEAR_TARGET) ? GL_COLOR_BUFFER_BIT : 0) |
                   ((flags & D3DCLEAR_ZBUFFER) ? GL_DEPTH_BUFFER_BIT : 0) |
                   ((flags & D3DCLEAR_STENCIL) ? GL_STENCIL_BUFFER_BIT : 0));
        stateDirty_ = transformDirty_ = true;
        applied_ = {};
        CheckGLError(gl, call);
    }

    void GetViewport(D3DVIEWPORT9 &viewport) override { viewport = Viewport(); }

    void SetViewport(const D3DVIEWPORT9 &viewport) override {
        const QSize s = TargetSize();
        CheckViewport("IDirect3DDevice9.SetViewport", viewport, maxViewportSide_ - 2, s.width(), s.height());
        viewport_ = viewport;
        viewportSet_ = true;
        transformDirty_ = true;
    }

    void GetDeviceCaps(D3DCAPS9 &caps) override {
        caps = {maxTextureSize_, maxTextureSize_, static_cast<DWORD>(maxViewportSide_ - 2), maxAnisotropy_};
    }

    void DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitiveCount, const void *vertexData,
                         UINT vertexStride) override {
        const char *call = "IDirect3DDevice9.DrawPrimitiveUP";
        const UINT n = CheckDraw(call, type, primitiveCount, vertexData, vertexStride);
        if (n == 0)
            return;
        SendHeld();
        TCurrentScope scope(*context_, call);
        TGL &gl = context_->GL();
        ApplyState();
        if ((type == D3DPT_TRIANGLELIST || type == D3DPT_LINELIST) && smallPrimitiveFilter.load() &&
            DrawFiltered(gl, type, n, static_cast<const uint8_t *>(vertexData), vertexStride, call))
            return;
        DrawAsGiven(gl, type, n, vertexData, vertexStride, call);
    }

    // A run whose box shows that it lights nothing is passed over whole; a run of lines within one pixel
    // is reduced to its last line, the only one whose end the small-primitive filter would keep.
    void DrawPrimitiveRunsUP(D3DPRIMITIVETYPE type, UINT primitiveCount, const void *vertexData,
                             UINT vertexStride, const D3DPRIMITIVERUN *runs, UINT runCount) override {
        const char *call = "IDirect3DDevice9.DrawPrimitiveRunsUP";
        const UINT n = CheckDraw(call, type, primitiveCount, vertexData, vertexStride);
        CheckRuns(call, primitiveCount, runs, runCount);
        if (n == 0)
            return;
        const bool filter = smallPrimitiveFilter.load();
        // Triangles held back are drawn with the state they were given under.
        if (type != D3DPT_TRIANGLELIST || !filter || stateDirty_ || transformDirty_ ||
            vertexStride != heldStride_)
            SendHeld();
        TCurrentScope scope(*context_, call);
        TGL &gl = context_->GL();
        ApplyState();
        const auto *data = static_cast<const uint8_t *>(vertexData);
        if ((type != D3DPT_TRIANGLELIST && type != D3DPT_LINELIST) || !filter || !filterUsable_) {
            SendHeld();
            DrawAsGiven(gl, type, n, vertexData, vertexStride, call);
            return;
        }
        const std::size_t stride = vertexStride;
        if (type == D3DPT_TRIANGLELIST) {
            // What stays is held back: the next draws of triangle runs under the same state join it, and
            // the GL gets them in one draw (its cost per draw call is far above its cost per triangle).
            const std::size_t held = heldVertices_ * stride;
            if (heldTriangles_.size() < held + std::size_t(n) * stride)
                heldTriangles_.resize(held + std::size_t(n) * stride);
            uint8_t *out = heldTriangles_.data() + held;
            heldStride_ = vertexStride;
            heldHasUV_ = FvfVertexSize(State().FVF) == 24;
            std::vector<TSmallPrimitiveFilter::TRun> &lit = keptRuns_;
            lit.clear();
            WalkRuns(
                runs, runCount,
                [](const TSmallPrimitiveFilter::TRunBox &group) { return group.TrianglesDark; },
                [&](const D3DPRIMITIVERUN &r) {
                    const TSmallPrimitiveFilter::TRunBox box = RunBox(r);
                    if (!box.TrianglesDark)
                        lit.push_back({r.FirstPrimitive, r.PrimitiveCount, box});
                });
            heldVertices_ += filter_.TriangleRuns(data, lit.data(), lit.size(), stride, out);
            if (heldVertices_ * stride >= MaxHeldBytes)
                SendHeld();
            return;
        }
        // Lines: what is left of the runs goes through the filter as one list, which keeps the last end
        // in each pixel over the whole draw.
        const bool overwrite = LinesOverwrite();
        std::vector<TSmallPrimitiveFilter::TRun> &kept = keptRuns_;
        kept.clear();
        std::size_t lines = 0;
        // Runs (or groups of runs) within one pixel leave nothing but their last line, as the filter would.
        const auto take = [&](std::size_t first, std::size_t count,
                              const TSmallPrimitiveFilter::TRunBox &box) {
            if (box.LinesOutside)
                return;
            if (overwrite && box.OnePixel) {
                first += count - 1;
                count = 1;
            }
            kept.push_back({first, count, box});
            lines += count;
        };
        WalkRuns(
            runs, runCount,
            [&](const TSmallPrimitiveFilter::TRunBox &group) {
                return group.LinesOutside || (overwrite && group.OnePixel);
            },
            [&](const D3DPRIMITIVERUN &r) { take(r.FirstPrimitive, r.PrimitiveCount, RunBox(r)); },
            [&](const D3DPRIMITIVERUN &group, const TSmallPrimitiveFilter::TRunBox &box) {
                take(group.FirstPrimitive, group.PrimitiveCount, box);
            });
        if (lines == 0)
            return;
        const auto [offset, out] = MapStream(gl, (2 * lines + lines) * stride, call);
        const auto r = filter_.LineRuns(data, kept.data(), kept.size(), stride, overwrite, out);
        gl.glUnmapBuffer(GL_ARRAY_BUFFER);
        streamOffset_ = offset + (r.LineVertices + r.PointVertices) * stride;
        DrawLinesAndEnds(gl, offset, vertexStride, r.LineVertices, r.PointVertices);
    }

private:
    // Runs are looked at a group at a time before one by one: where the box around a whole group decides
    // (decides(its box)), the group is passed to group(a run spanning it, its box) at once, which for a
    // street seen whole spares the look at most runs; else each run that holds primitives goes to run.
    // Groups of GroupRuns runs hold groups of GroupRuns / 8 and so on down to single runs.
    static constexpr UINT GroupRuns = 64;
    template <class Decides, class Run, class Group>
    void WalkRuns(const D3DPRIMITIVERUN *runs, UINT runCount, Decides &&decides, Run &&run, Group &&group) {
        const auto visit = [&](const auto &self, UINT first, UINT last, UINT size) -> void {
            for (UINT g = first; g < last; g += size) {
                const UINT end = std::min(last, g + size);
                D3DPRIMITIVERUN u{};
                if (size == 1 || end - g == 1 || !UnionBox(runs, g, end, u)) {
                    if (size == 1 || end - g == 1) {
                        for (UINT i = g; i < end; ++i)
                            if (runs[i].PrimitiveCount > 0)
                                run(runs[i]);
                    } else {
                        self(self, g, end, size / 8);
                    }
                    continue;
                }
                const TSmallPrimitiveFilter::TRunBox box = RunBox(u);
                if (decides(box))
                    group(u, box);
                else
                    self(self, g, end, size / 8);
            }
        };
        visit(visit, 0, runCount, GroupRuns);
    }
    // A group that lights nothing needs nothing more.
    template <class Decides, class Run>
    void WalkRuns(const D3DPRIMITIVERUN *runs, UINT runCount, Decides &&decides, Run &&run) {
        WalkRuns(runs, runCount, decides, run,
                 [](const D3DPRIMITIVERUN &, const TSmallPrimitiveFilter::TRunBox &) {});
    }

    // The run spanning runs [first, last) with the box around theirs; false when a box that holds
    // primitives is not finite (it holds anything) or none holds any.
    static bool UnionBox(const D3DPRIMITIVERUN *runs, UINT first, UINT last, D3DPRIMITIVERUN &u) {
        bool any = false;
        for (UINT i = first; i < last; ++i) {
            const D3DPRIMITIVERUN &r = runs[i];
            if (r.PrimitiveCount == 0)
                continue;
            const float lo[3] = {r.MinX, r.MinY, r.MinZ}, hi[3] = {r.MaxX, r.MaxY, r.MaxZ};
            for (int k = 0; k < 3; ++k)
                if (!(std::isfinite(lo[k]) && std::isfinite(hi[k])))
                    return false;
            if (!any) {
                u = r;
                any = true;
                continue;
            }
            u.MinX = std::min(u.MinX, r.MinX);
            u.MinY = std::min(u.MinY, r.MinY);
            u.MinZ = std::min(u.MinZ, r.MinZ);
            u.MaxX = std::max(u.MaxX, r.MaxX);
            u.MaxY = std::max(u.MaxY, r.MaxY);
            u.MaxZ = std::max(u.MaxZ, r.MaxZ);
            u.PrimitiveCount = r.FirstPrimitive + r.PrimitiveCount - u.FirstPrimitive;
        }
        return any;
    }

    TSmallPrimitiveFilter::TRunBox RunBox(const D3DPRIMITIVERUN &r) const {
        const float lo[3] = {r.MinX, r.MinY, r.MinZ}, hi[3] = {r.MaxX, r.MaxY, r.MaxZ};
        return filter_.Box(lo, hi);
    }

    // Draws the triangles held back, under the GL state they were given under (which every call that
    // changes that state or the target sends them before).
    void SendHeld() {
        if (heldVertices_ == 0)
            return;
        const char *call = "IDirect3DDevice9.DrawPrimitiveRunsUP";
        const std::size_t vertices = std::exchange(heldVertices_, 0);
        TCurrentScope scope(*context_, call);
        TGL &gl = context_->GL();
        const std::size_t offset = Stream(gl, heldTriangles_.data(), vertices * heldStride_, call);
        SetAttributes(gl, offset, heldStride_, heldHasUV_);
        gl.glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(vertices));
    }

    // Whether a line drawn later surely replaces what an earlier one left in a pixel.
    bool LinesOverwrite() const {
        const TDeviceState &s = State();
        const bool inverts = s.StencilEnable && hasStencil_ && s.StencilPass == D3DSTENCILOP_INVERT &&
                             (s.StencilWriteMask & 0xFF) != 0;
        return !s.AlphaBlendEnable && !inverts;
    }

    void DrawAsGiven(TGL &gl, D3DPRIMITIVETYPE type, UINT n, const void *vertexData, UINT vertexStride,
                     const char *call) {
        const std::size_t bytes = static_cast<std::size_t>(n) * vertexStride;
        const std::size_t offset = Stream(gl, vertexData, bytes, call);
        SetAttributes(gl, offset, vertexStride);
        gl.glDrawArrays(GLMode(type), 0, static_cast<GLsizei>(n));
        // A Direct3D line lights its last pixel too; GL leaves it out.
        if (type == D3DPT_LINESTRIP) {
            gl.glDrawArrays(GL_POINTS, static_cast<GLint>(n - 1), 1);
        } else if (type == D3DPT_LINELIST) {
            SetAttributes(gl, offset + vertexStride, vertexStride * 2);
            gl.glDrawArrays(GL_POINTS, 0, static_cast<GLsizei>(n / 2));
        }
    }

public:
    std::shared_ptr<IDirect3DTexture9> CreateTexture(UINT width, UINT height, UINT levels, DWORD usage,
                                                     D3DFORMAT format, D3DPOOL pool) override {
        const char *call = "IDirect3DDevice9.CreateTexture";
        CheckTextureArgs(call, width, height, levels, usage, format, pool, maxTextureSize_);
        return std::make_shared<TGLTexture>(context_, this, width, height);
    }

    void GetRenderTargetData(void *rows, int32_t pitch) override {
        const char *call = "IDirect3DDevice9.GetRenderTargetData";
        const QSize s = TargetSize();
        const int w = s.width(), h = s.height();
        if (!rows || pitch < w * 4)
            RaiseD3DError(call, D3DERR_INVALIDCALL,
                          "rows of " + std::to_string(pitch) + " bytes are too short");
        SendHeld();
        TCurrentScope scope(*context_, call);
        TGL &gl = context_->GL();
        BindTarget();
        // Kept between reads: a fresh picture-sized block each time costs more than the read.
        std::vector<uint32_t> &buffer = readBuffer_;
        buffer.resize(static_cast<std::size_t>(w) * h);
        gl.glPixelStorei(GL_PACK_ALIGNMENT, 4);
        gl.glReadPixels(0, 0, w, h, GL_BGRA, GL_UNSIGNED_BYTE, buffer.data());
        CheckGLError(gl, call);
        // Bytes B, G, R, A are one little-endian word with A on top; the target has no alpha to give.
        // GL's first row is the bottom one. One pass does both: the picture is read back for every
        // printed tile and every test frame, and each pass over it costs as much as the read.
        static_assert(std::endian::native == std::endian::little);
        for (int y = 0; y < h; ++y) {
            const uint32_t *from = buffer.data() + static_cast<std::size_t>(h - 1 - y) * w;
            uint8_t *to = static_cast<uint8_t *>(rows) + static_cast<std::ptrdiff_t>(y) * pitch;
            for (int x = 0; x < w; ++x) {
                const uint32_t pixel = from[x] | 0xFF000000u;
                std::memcpy(to + static_cast<std::ptrdiff_t>(x) * 4, &pixel, 4);
            }
        }
    }

protected:
    bool OwnsTexture(const IDirect3DTexture9 &texture) const override {
        const auto *t = dynamic_cast<const TGLTexture *>(&texture);
        return t && t->Owner() == this;
    }

private:
    QSize TargetSize() const {
        if (!widget_)
            return {width_, height_};
        const qreal dpr = widget_->devicePixelRatioF();
        return {qRound(widget_->width() * dpr), qRound(widget_->height() * dpr)};
    }

    // The caller's viewport: the whole target until SetViewport.
    D3DVIEWPORT9 Viewport() const {
        if (viewportSet_)
            return viewport_;
        const QSize s = TargetSize();
        return {0, 0, s.width(), s.height(), 0.0f, 1.0f};
    }

    // GL's viewport is the largest power-of-two square, centred on the whole pixel C at or just before the
    // centre of the caller's viewport, so that the shader's q (pixels from C) becomes window coordinates as
    // C + q exactly; being large, it clips only what lies far outside the caller's. Only the caller's
    // viewport and the target are drawn (scissor). The small-primitive filter takes the same placement.
    void ApplyViewport(TGL &gl, const D3DMATRIX &worldViewProj) {
        const D3DVIEWPORT9 v = Viewport();
        const QSize s = TargetSize();
        const int side = maxViewportSide_;
        // Window x of a pixel centre of ours: X + (nx + 1) W / 2 + shift; GL's y runs up from the bottom.
        const int cx = v.X + v.Width / 2;
        const int cy = s.height() - v.Y - (v.Height + 1) / 2;
        gl.glViewport(cx - side / 2, cy - side / 2, side, side);
        // Half a pixel right and down puts Direct3D's pixel centres on GL's. Short of half a pixel by
        // PixelBias, edges through pixel centres fall the way Direct3D's fill rule has them: left and
        // top edges inside, right and bottom edges outside.
        const float shift = 0.5f - PixelBias;
        const float halfX = v.Width / 2.0f, halfY = v.Height / 2.0f;
        const float offsetX = (v.Width % 2) / 2.0f + shift, offsetY = (v.Height % 2) / 2.0f - shift;
        gl.glUniform2f(uHalf_, halfX, halfY);
        gl.glUniform2f(uOffset_, offsetX, offsetY);
        gl.glUniform1f(uToGL_, 2.0f / side);
        const int left = std::max(v.X, 0), right = std::max(std::min(v.X + v.Width, s.width()), left);
        const int top = std::max(v.Y, 0), bottom = std::max(std::min(v.Y + v.Height, s.height()), top);
        gl.glEnable(GL_SCISSOR_TEST);
        gl.glScissor(left, s.height() - bottom, right - left, bottom - top);

        TPixelGrid grid;
        grid.M = worldViewProj;
        grid.HalfX = halfX;
        grid.HalfY = halfY;
        grid.OffsetX = offsetX;
        grid.OffsetY = offsetY;
        // The scissor box in pixels from C.
        grid.ScissorX0 = left - cx;
        grid.ScissorX1 = right - cx;
        grid.ScissorY0 = s.height() - bottom - cy;
        grid.ScissorY1 = s.height() - top - cy;
        filterUsable_ = filter_.Reset(grid);
    }

    GLuint TargetFramebuffer() const { return widget_ ? widget_->defaultFramebufferObject() : fbo_; }

    void BindTarget() {
        TGL &gl = context_->GL();
        const QSize s = TargetSize();
        gl.glBindFramebuffer(GL_FRAMEBUFFER, TargetFramebuffer());
        gl.glViewport(0, 0, s.width(), s.height());
        gl.glDepthRange(0.0, 1.0);
        // The next draw sets our viewport and scissor again.
        transformDirty_ = true;
    }

    void CreateObjects(const char *call) {
        TGL &gl = context_->GL();
        program_ = gl.glCreateProgram();
        const auto compile = [&](GLenum kind, const char *source) {
            const GLuint s = gl.glCreateShader(kind);
            gl.glShaderSource(s, 1, &source, nullptr);
            gl.glCompileShader(s);
            GLint ok = 0;
            gl.glGetShaderiv(s, GL_COMPILE_STATUS, &ok);
            if (!ok) {
                char log[1024] = {};
                gl.glGetShaderInfoLog(s, sizeof log - 1, nullptr, log);
                gl.glDeleteShader(s);
                RaiseD3DError(call, D3DERR_NOTAVAILABLE, std::string("shader: ") + log);
            }
            gl.glAttachShader(program_, s);
            gl.glDeleteShader(s);
        };
        compile(GL_VERTEX_SHADER, VertexShader);
        compile(GL_FRAGMENT_SHADER, FragmentShader);
        gl.glLinkProgram(program_);
        GLint linked = 0;
        gl.glGetProgramiv(program_, GL_LINK_STATUS, &linked);
        if (!linked)
            RaiseD3DError(call, D3DERR_NOTAVAILABLE, "the shader program does not link");
        uWorldViewProj_ = gl.glGetUniformLocation(program_, "uWorldViewProj");
        uHalf_ = gl.glGetUniformLocation(program_, "uHalf");
        uOffset_ = gl.glGetUniformLocation(program_, "uOffset");
        uToGL_ = gl.glGetUniformLocation(program_, "uToGL");
        uAmbient_ = gl.glGetUniformLocation(program_, "uAmbient");
        uColorOp_ = gl.glGetUniformLocation(program_, "uColorOp");
        uArg1_ = gl.glGetUniformLocation(program_, "uArg1");
        uArg2_ = gl.glGetUniformLocation(program_, "uArg2");
        uHasUV_ = gl.glGetUniformLocation(program_, "uHasUV");
        gl.glUseProgram(program_);
        gl.glUniform1i(gl.glGetUniformLocation(program_, "uTexture"), 0);

        gl.glGenVertexArrays(1, &vao_);
        gl.glBindVertexArray(vao_);
        for (TStreamBuffer &b : stream_) {
            gl.glGenBuffers(1, &b.Vbo);
            gl.glBindBuffer(GL_ARRAY_BUFFER, b.Vbo);
            gl.glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(InitialStreamBytes), nullptr,
                            GL_STREAM_DRAW);
            b.Size = InitialStreamBytes;
        }
        gl.glEnableVertexAttribArray(0);
        gl.glEnableVertexAttribArray(1);
        gl.glGenSamplers(1, &sampler_);

        // Window coordinates stay below 2^15 pixels, where 1/256 pixel is exact in a single.
        GLint maxViewport[2] = {0, 0};
        gl.glGetIntegerv(GL_MAX_VIEWPORT_DIMS, maxViewport);
        maxViewportSide_ = 4;
        while (maxViewportSide_ < 16384 && maxViewportSide_ * 2 <= std::min(maxViewport[0], maxViewport[1]))
            maxViewportSide_ *= 2;
        GLint maxTex = 0;
        gl.glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxTex);
        maxTextureSize_ = static_cast<UINT>(std::max(maxTex, 1));
        // Anisotropic filtering is core only from GL 4.6; before, an extension offers it.
        maxAnisotropy_ = 1;
        const QOpenGLContext *current = QOpenGLContext::currentContext();
        if (current && (current->hasExtension("GL_EXT_texture_filter_anisotropic") ||
                        current->hasExtension("GL_ARB_texture_filter_anisotropic"))) {
            GLfloat maxAniso = 1;
            gl.glGetFloatv(GLMaxTextureMaxAnisotropy, &maxAniso);
            maxAnisotropy_ = static_cast<UINT>(std::clamp(maxAniso, 1.0f, 16.0f));
        }
        CheckGLError(gl, call);
    }

    // Each scene streams its vertices into one of two buffers in turn, front to back without waiting for
    // earlier draws. A buffer is written again only after the GL is done with the scene before last (a
    // fence), so steady drawing neither waits nor allocates: orphaning a full buffer would make the GL
    // hand out (and clear) fresh storage every few megabytes. A scene that does not fit grows its buffer
    // for the next time, or past MaxStreamBytes orphans it.
    void NextStreamBuffer(TGL &gl) {
        TStreamBuffer &done = stream_[streamIndex_];
        if (done.Fence)
            gl.glDeleteSync(done.Fence);
        done.Fence = gl.glFenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0);
        streamIndex_ = (streamIndex_ + 1) % stream_.size();
        streamOffset_ = 0;
        TStreamBuffer &next = stream_[streamIndex_];
        if (!next.Fence)
            return;
        const GLenum waited = gl.glClientWaitSync(next.Fence, GL_SYNC_FLUSH_COMMANDS_BIT, StreamWaitNs);
        gl.glDeleteSync(next.Fence);
        next.Fence = nullptr;
        if (waited != GL_ALREADY_SIGNALED && waited != GL_CONDITION_SATISFIED) {
            // Not known to be done: fresh storage is always safe to write.
            gl.glBindBuffer(GL_ARRAY_BUFFER, next.Vbo);
            gl.glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(next.Size), nullptr, GL_STREAM_DRAW);
        }
    }

    // Triangle and line lists go into the stream without what cannot change a pixel (SmallPrimitives.h);
    // false when the transform does not allow it (ApplyState has placed the filter).
    bool DrawFiltered(TGL &gl, D3DPRIMITIVETYPE type, UINT n, const uint8_t *data, UINT stride,
                      const char *call) {
        if (!filterUsable_)
            return false;
        const bool lines = type == D3DPT_LINELIST;
        const std::size_t room = static_cast<std::size_t>(lines ? n + n / 2 : n) * stride;
        const auto [offset, out] = MapStream(gl, room, call);
        std::size_t drawn = 0, points = 0;
        if (lines) {
            const auto r = filter_.Lines(data, n, stride, LinesOverwrite(), out);
            drawn = r.LineVertices;
            points = r.PointVertices;
        } else {
            drawn = filter_.Triangles(data, n, stride, out);
        }
        gl.glUnmapBuffer(GL_ARRAY_BUFFER);
        streamOffset_ = offset + (drawn + points) * stride;
        if (lines) {
            DrawLinesAndEnds(gl, offset, stride, drawn, points);
        } else if (drawn > 0) {
            SetAttributes(gl, offset, stride);
            gl.glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(drawn));
        }
        return true;
    }

    // Draws what the filter wrote from offset on: line vertices, then the ends they light.
    void DrawLinesAndEnds(TGL &gl, std::size_t offset, UINT stride, std::size_t lineVertices,
                          std::size_t points) {
        if (lineVertices > 0) {
            SetAttributes(gl, offset, stride);
            gl.glDrawArrays(GL_LINES, 0, static_cast<GLsizei>(lineVertices));
        }
        // A Direct3D line lights its last pixel too; GL leaves it out.
        if (points > 0) {
            SetAttributes(gl, offset + lineVertices * stride, stride);
            gl.glDrawArrays(GL_POINTS, 0, static_cast<GLsizei>(points));
        }
    }

    // Maps room for bytes in the scene's stream buffer; returns their offset and the mapped memory
    // (unmap it and move streamOffset_ past what was written).
    std::pair<std::size_t, uint8_t *> MapStream(TGL &gl, std::size_t bytes, const char *call) {
        TStreamBuffer &b = stream_[streamIndex_];
        gl.glBindBuffer(GL_ARRAY_BUFFER, b.Vbo);
        std::size_t offset = (streamOffset_ + 15) & ~std::size_t(15);
        if (offset + bytes > b.Size) {
            // Draws made from the old storage keep it until they are done.
            if (bytes > b.Size || b.Size < MaxStreamBytes)
                b.Size = std::max({bytes, std::min(b.Size * 2, MaxStreamBytes), b.Size});
            gl.glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(b.Size), nullptr, GL_STREAM_DRAW);
            offset = 0;
        }
        void *p = gl.glMapBufferRange(
            GL_ARRAY_BUFFER, static_cast<GLintptr>(offset), static_cast<GLsizeiptr>(bytes),
            GL_MAP_WRITE_BIT | GL_MAP_INVALIDATE_RANGE_BIT | GL_MAP_UNSYNCHRONIZED_BIT);
        if (!p) {
            CheckGLError(gl, call);
            RaiseD3DError(call, D3DERR_OUTOFVIDEOMEMORY, "the vertex buffer cannot be mapped");
        }
        return {offset, static_cast<uint8_t *>(p)};
    }

    // Copies the vertices into the scene's stream buffer; returns their offset.
    std::size_t Stream(TGL &gl, const void *data, std::size_t bytes, const char *call) {
        const auto [offset, p] = MapStream(gl, bytes, call);
        std::memcpy(p, data, bytes);
        gl.glUnmapBuffer(GL_ARRAY_BUFFER);
        streamOffset_ = offset + bytes;
        return offset;
    }

    void SetAttributes(TGL &gl, std::size_t offset, UINT stride) {
        SetAttributes(gl, offset, stride, FvfVertexSize(State().FVF) == 24);
    }
    void SetAttributes(TGL &gl, std::size_t offset, UINT stride, bool hasUV) {
        const auto at = [offset](std::size_t o) { return reinterpret_cast<const void *>(offset + o); };
        const GLsizei s = static_cast<GLsizei>(stride);
        gl.glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, s, at(0));
        // D3DCOLOR bytes are B, G, R, A: GL reads them in that order with the size GL_BGRA.
        gl.glVertexAttribPointer(1, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, s, at(12));
        if (hasUV) {
            gl.glEnableVertexAttribArray(2);
            gl.glVertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, s, at(16));
        } else {
            gl.glDisableVertexAttribArray(2);
        }
    }

    void ApplyState() {
        TGL &gl = context_->GL();
        const TDeviceState &s = State();
        if (transformDirty_) {
            gl.glUseProgram(program_);
            const D3DMATRIX m = Multiply(Multiply(s.World, s.View), s.Projection);
            // Row-vector memory read as GL's column-major is the transpose: uWorldViewProj * v = v x M.
            gl.glUniformMatrix4fv(uWorldViewProj_, 1, GL_FALSE, &m.m[0][0]);
            ApplyViewport(gl, m);
            transformDirty_ = false;
        }
        if (stateDirty_) {
            // Only what differs from what the GL has is set: each state call makes the GL check its whole
            // state again before the next draw, and the items of a plan change a few states between
            // their batches.
            TApplied a;
            a.Valid = true;
            a.Ambient = s.Ambient;
            a.Blend = s.AlphaBlendEnable != 0;
            a.ColorWrite = s.ColorWriteEnable;
            a.Stencil = s.StencilEnable && hasStencil_;
            if (a.Stencil) {
                a.StencilFunc = s.StencilFunc == D3DCMP_EQUAL ? GL_EQUAL : GL_ALWAYS;
                a.StencilRef = static_cast<GLint>(s.StencilRef & 0xFF);
                a.StencilMask = s.StencilMask & 0xFF;
                a.StencilPass = s.StencilPass == D3DSTENCILOP_INVERT ? GL_INVERT : GL_KEEP;
                a.StencilWriteMask = s.StencilWriteMask & 0xFF;
            }
            const auto *texture = static_cast<TGLTexture *>(BoundTexture().get());
            a.ColorOp = texture ? static_cast<GLint>(s.ColorOp) : 0;
            a.Arg1 = static_cast<GLint>(s.ColorArg1);
            a.Arg2 = static_cast<GLint>(s.ColorArg2);
            a.HasUV = FvfVertexSize(s.FVF) == 24;
            const auto filter = [](DWORD f) { return f == D3DTEXF_POINT ? GL_NEAREST : GL_LINEAR; };
            const auto address = [](DWORD f) {
                return f == D3DTADDRESS_CLAMP ? GL_CLAMP_TO_EDGE : GL_REPEAT;
            };
            a.MinFilter = filter(s.MinFilter);
            a.MagFilter = filter(s.MagFilter);
            a.WrapS = address(s.AddressU);
            a.WrapT = address(s.AddressV);
            const bool anisotropic = s.MinFilter == D3DTEXF_ANISOTROPIC || s.MagFilter == D3DTEXF_ANISOTROPIC;
            a.Anisotropy = maxAnisotropy_ > 1 && anisotropic ? static_cast<GLfloat>(maxAnisotropy_) : 1.0f;

            const TApplied &was = applied_;
            const bool all = !was.Valid;
            if (all) {
                gl.glUseProgram(program_);
                gl.glBindVertexArray(vao_);
                gl.glDisable(GL_CULL_FACE);
                gl.glDisable(GL_DEPTH_TEST);
                gl.glDisable(GL_MULTISAMPLE);
                gl.glDisable(GL_PROGRAM_POINT_SIZE);
                gl.glPointSize(1.0f);
                gl.glLineWidth(1.0f);
                gl.glDepthMask(GL_FALSE);
                gl.glBlendEquation(GL_FUNC_ADD);
                gl.glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
            }
            if (all || a.Ambient != was.Ambient) {
                gl.glUseProgram(program_);
                gl.glUniform3f(uAmbient_, ((a.Ambient >> 16) & 255) / 255.0f,
                               ((a.Ambient >> 8) & 255) / 255.0f, (a.Ambient & 255) / 255.0f);
            }
            if (all || a.Blend != was.Blend)
                a.Blend ? gl.glEnable(GL_BLEND) : gl.glDisable(GL_BLEND);
            if (all || a.ColorWrite != was.ColorWrite) {
                const DWORD w = a.ColorWrite;
                gl.glColorMask((w & 1) != 0, (w & 2) != 0, (w & 4) != 0, (w & 8) != 0);
            }
            if (all || a.Stencil != was.Stencil)
                a.Stencil ? gl.glEnable(GL_STENCIL_TEST) : gl.glDisable(GL_STENCIL_TEST);
            if (a.Stencil &&
                (all || !was.Stencil || a.StencilFunc != was.StencilFunc || a.StencilRef != was.StencilRef ||
                 a.StencilMask != was.StencilMask || a.StencilPass != was.StencilPass ||
                 a.StencilWriteMask != was.StencilWriteMask)) {
                gl.glStencilFunc(a.StencilFunc, a.StencilRef, a.StencilMask);
                gl.glStencilOp(GL_KEEP, GL_KEEP, a.StencilPass);
                gl.glStencilMask(a.StencilWriteMask);
            }
            if (all || a.ColorOp != was.ColorOp || a.Arg1 != was.Arg1 || a.Arg2 != was.Arg2 ||
                a.HasUV != was.HasUV) {
                gl.glUseProgram(program_);
                gl.glUniform1i(uColorOp_, a.ColorOp);
                gl.glUniform1i(uArg1_, a.Arg1);
                gl.glUniform1i(uArg2_, a.Arg2);
                gl.glUniform1i(uHasUV_, a.HasUV);
            }
            if (all || a.MinFilter != was.MinFilter)
                gl.glSamplerParameteri(sampler_, GL_TEXTURE_MIN_FILTER, a.MinFilter);
            if (all || a.MagFilter != was.MagFilter)
                gl.glSamplerParameteri(sampler_, GL_TEXTURE_MAG_FILTER, a.MagFilter);
            if (all || a.WrapS != was.WrapS)
                gl.glSamplerParameteri(sampler_, GL_TEXTURE_WRAP_S, a.WrapS);
            if (all || a.WrapT != was.WrapT)
                gl.glSamplerParameteri(sampler_, GL_TEXTURE_WRAP_T, a.WrapT);
            if (maxAnisotropy_ > 1 && (all || a.Anisotropy != was.Anisotropy))
                gl.glSamplerParameterf(sampler_, GLTextureMaxAnisotropy, a.Anisotropy);
            applied_ = a;
            stateDirty_ = false;
        }
        // Texture uploads bind other textures, so the stage's binding is set for every draw.
        auto *texture = static_cast<TGLTexture *>(BoundTexture().get());
        gl.glActiveTexture(GL_TEXTURE0);
        gl.glBindTexture(GL_TEXTURE_2D, texture ? texture->Name() : 0);
        gl.glBindSampler(0, sampler_);
    }

    // The states ApplyState last gave the GL; not Valid once anyone else may have changed them (a new scene,
    // a clear).
    struct TApplied {
        bool Valid = false;
        D3DCOLOR Ambient = 0;
        bool Blend = false;
        DWORD ColorWrite = 0;
        bool Stencil = false;
        GLenum StencilFunc = GL_ALWAYS, StencilPass = GL_KEEP;
        GLint StencilRef = 0;
        GLuint StencilMask = 0, StencilWriteMask = 0;
        GLint ColorOp = 0, Arg1 = 0, Arg2 = 0;
        bool HasUV = false;
        GLint MinFilter = 0, MagFilter = 0, WrapS = 0, WrapT = 0;
        GLfloat Anisotropy = 1;
    };
    TApplied applied_;

    std::shared_ptr<TGLContext> context_;
    QPointer<QOpenGLWidget> widget_;
    int width_ = 0, height_ = 0;
    bool hasStencil_ = false, hasDepth_ = false;
    bool drawnOutsidePaint_ = false;
    GLuint fbo_ = 0, colorRb_ = 0, depthRb_ = 0;
    GLuint program_ = 0, vao_ = 0, sampler_ = 0;
    struct TStreamBuffer {
        GLuint Vbo = 0;
        std::size_t Size = 0;
        // Set when a scene that wrote the buffer ended; the buffer is free once it is signalled.
        GLsync Fence = nullptr;
    };
    std::array<TStreamBuffer, 2> stream_;
    std::size_t streamIndex_ = 0;
    GLint uWorldViewProj_ = -1, uHalf_ = -1, uOffset_ = -1, uToGL_ = -1, uAmbient_ = -1, uColorOp_ = -1,
          uArg1_ = -1, uArg2_ = -1, uHasUV_ = -1;
    std::size_t streamOffset_ = 0;
    std::vector<uint32_t> readBuffer_;
    std::vector<TSmallPrimitiveFilter::TRun> keptRuns_; // runs of a draw left for the filter
    // Triangles of runs that passed the filter and are not drawn yet (SendHeld).
    std::vector<uint8_t> heldTriangles_;
    std::size_t heldVertices_ = 0;
    UINT heldStride_ = 0;
    bool heldHasUV_ = false;
    TSmallPrimitiveFilter filter_;
    bool filterUsable_ = false;
    UINT maxTextureSize_ = 1;
    UINT maxAnisotropy_ = 1;
    // A power of two: GL's viewport side is at most this.
    int maxViewportSide_ = 4;
    D3DVIEWPORT9 viewport_{};
    bool viewportSet_ = false;
};

} // namespace

QSurfaceFormat DeviceSurfaceFormat() {
    QSurfaceFormat f;
    f.setRenderableType(QSurfaceFormat::OpenGL);
    f.setVersion(3, 3);
    f.setProfile(QSurfaceFormat::CoreProfile);
    f.setRedBufferSize(8);
    f.setGreenBufferSize(8);
    f.setBlueBufferSize(8);
    f.setAlphaBufferSize(8);
    f.setDepthBufferSize(24);
    f.setStencilBufferSize(8);
    f.setSamples(0);
    f.setSwapInterval(0);
    return f;
}

std::shared_ptr<IDirect3DDevice9> CreateOffscreenDevice(int width, int height, bool withStencil) {
    return std::make_shared<TGLDevice>(width, height, withStencil);
}

std::shared_ptr<IDirect3DDevice9> CreateWidgetDevice(QOpenGLWidget *widget) {
    if (!widget)
        RaiseD3DError("Direct3D.CreateDevice", D3DERR_INVALIDCALL, "no widget");
    return std::make_shared<TGLDevice>(widget);
}

void SetSmallPrimitiveFilter(bool on) {
    smallPrimitiveFilter = on;
}
