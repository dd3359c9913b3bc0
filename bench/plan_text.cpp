// Plan text on an off-screen target of 1024 x 768 (Mesa here). Vector text: 2,000 labels of 8 characters
// drawn by TDxFont::DrawText (one World move a label) against the same triangles and outline lines drawn
// raw from one prebuilt array. Atlas text: the same labels made into quads by TFontTexture::TextQuads every
// frame and placed into one array, against the same textured vertices drawn raw from a prebuilt array. Every
// frame ends by reading the picture back. Also: loading one vector font (256 glyphs read, flattened and
// triangulated) against reading the same glyph outlines alone, and the heap allocations a frame of vector
// labels makes once the first frame has been drawn.
#include "BenchSupport.h"

#include "engine/DxFont.h"
#include "engine/DxRenderer.h"
#include "engine/FontTexture.h"
#include "engine/FontsDataForm.h"
#include "platform/d3d9/GLDevice.h"
#include "platform/gdi/GlyphOutline.h"

#include <QGuiApplication>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>
#include <vector>

namespace {

std::atomic<int64_t> Allocations{0};

} // namespace

// Every allocation of the plain and array forms is counted (the aligned forms are left to the library).
namespace {
void *CountedAlloc(std::size_t n) noexcept {
    Allocations.fetch_add(1, std::memory_order_relaxed);
    return std::malloc(n ? n : 1);
}
} // namespace

void *operator new(std::size_t n) {
    if (void *p = CountedAlloc(n))
        return p;
    throw std::bad_alloc();
}
void *operator new[](std::size_t n) {
    if (void *p = CountedAlloc(n))
        return p;
    throw std::bad_alloc();
}
void *operator new(std::size_t n, const std::nothrow_t &) noexcept {
    return CountedAlloc(n);
}
void *operator new[](std::size_t n, const std::nothrow_t &) noexcept {
    return CountedAlloc(n);
}
void operator delete(void *p) noexcept {
    std::free(p);
}
void operator delete[](void *p) noexcept {
    std::free(p);
}
void operator delete(void *p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void *p, std::size_t) noexcept {
    std::free(p);
}
void operator delete(void *p, const std::nothrow_t &) noexcept {
    std::free(p);
}
void operator delete[](void *p, const std::nothrow_t &) noexcept {
    std::free(p);
}

namespace {

constexpr int Width = 1024, Height = 768;
constexpr int Labels = 2000;

void EnsureApplication() {
    static int argc = 1;
    static char name[] = "plan_text";
    static char *argv[] = {name, nullptr};
    alignas(QGuiApplication) static unsigned char storage[sizeof(QGuiApplication)];
    static QGuiApplication *app = new (storage) QGuiApplication(argc, argv);
    (void)app;
}

struct TScene {
    std::unique_ptr<TdxRenderer> Renderer;
    std::unique_ptr<TFontsDataForm> Fonts;
    TDxFont *Font = nullptr;
    TFontTexture *Atlas = nullptr;
    std::vector<Cp1251String> Texts;
    std::vector<TXYZ> Anchors;
    std::vector<TDxVertex> RawLines, RawTriangles, RawQuads, Quads, Frame;
    std::vector<uint8_t> Image;
    TDxDrawParams Params;

    TScene() {
        EnsureApplication();
        Renderer = std::make_unique<TSurfaceRenderer>(CreateOffscreenDevice(Width, Height, true));
        Fonts = std::make_unique<TFontsDataForm>();
        Fonts->BuildAtlases(DxDeviceCaps().MaxTextureWidth, DxDeviceCaps().MaxTextureHeight);
        Font = Fonts->GetDxFont("Arial", 0);
        Atlas = Fonts->SmallArialTexture();
        Params.Renderer = Renderer.get();
        Params.ViewRadius = 1e6f;
        Image.resize(static_cast<std::size_t>(Width) * Height * 4);
        for (int i = 0; i < Labels; ++i) {
            char buf[16];
            std::snprintf(buf, sizeof buf, "ПК%06d", i);
            Texts.push_back(Cp(buf).Sub(0, 8));
            Anchors.push_back({float(i % 40) * 25 + 5, float(i / 40) * 15 + 5, 0});
        }
        // The raw arrays: every glyph's points moved to where DrawText puts them (alignment 6, the baseline
        // start at the anchor), a label 0.1 of the font's pixels.
        for (int i = 0; i < Labels; ++i) {
            float x = 0;
            for (std::size_t c = 0; c < Texts[i].Size(); ++c) {
                const TCharOutLine &g = Font->Glyph(Texts[i][c]);
                const auto put = [&](const TXYZArray &pts, std::vector<TDxVertex> &out) {
                    for (const TXYZ &p : pts)
                        out.push_back({Anchors[i].x + (p.x + x) * 0.1f, Anchors[i].y + p.y * 0.1f, 0,
                                       0xFF000000, 0, 0});
                };
                put(g.Lines, RawLines);
                put(g.Triangles, RawTriangles);
                x += g.Advance.x;
            }
            Atlas->TextQuads(Texts[i], Quads);
            for (TDxVertex v : Quads) {
                v.x = Anchors[i].x + v.x * 0.5f;
                v.y = Anchors[i].y + v.y * 0.5f;
                RawQuads.push_back(v);
            }
        }
        std::printf("plan_text: %zu triangle and %zu line vertices of vector text, %zu atlas vertices, "
                    "atlas %d\n",
                    RawTriangles.size(), RawLines.size(), RawQuads.size(), Atlas->AtlasSize());
    }

    void Begin() {
        Renderer->BeginDraw();
        Renderer->Clear(0xFFFFFFFF, true, false, false);
        Renderer->LoadIdentityAll();
        Renderer->Projection().Translate(true, -Width / 2.0f, -Height / 2.0f, 0);
        Renderer->Projection().Scale(true, 2.0f / Width, 2.0f / Height, 1);
    }
    void End() {
        Renderer->EndDraw();
        Renderer->Device().GetRenderTargetData(Image.data(), Width * 4);
    }

    void VectorFrame() {
        Begin();
        TMatrixShell &w = Renderer->World();
        for (int i = 0; i < Labels; ++i) {
            w.PushMatrix();
            w.Translate(false, Anchors[i].x, Anchors[i].y, 0);
            w.Scale(false, 0.1f, 0.1f, 0.1f);
            Font->DrawText(Params, Texts[i], 6, 0xFF000000, true, true);
            w.PopMatrix();
        }
        End();
    }
    void RawVectorFrame() {
        Begin();
        Renderer->DrawLineListV(RawLines);
        Renderer->DrawTriangleListV(RawTriangles);
        End();
    }
    // As the items write atlas labels: each label's quads placed by its transform into one array that is
    // drawn in one call.
    void AtlasFrame() {
        Begin();
        Frame.clear();
        for (int i = 0; i < Labels; ++i) {
            Atlas->TextQuads(Texts[i], Quads);
            for (TDxVertex v : Quads) {
                v.x = Anchors[i].x + v.x * 0.5f;
                v.y = Anchors[i].y + v.y * 0.5f;
                Frame.push_back(v);
            }
        }
        Renderer->SetTexture(Atlas);
        Renderer->DrawTriangleListV(Frame);
        Renderer->SetTexture(nullptr);
        End();
    }
    void RawAtlasFrame() {
        Begin();
        Renderer->SetTexture(Atlas);
        Renderer->DrawTriangleListV(RawQuads);
        Renderer->SetTexture(nullptr);
        End();
    }
};

TScene &Scene() {
    static TScene *scene = new TScene; // never torn down: GL contexts outlive static destructors badly
    return *scene;
}

template <void (TScene::*Frame)()> void RunFrames(benchmark::State &state) {
    TScene &s = Scene();
    (s.*Frame)();
    const int64_t before = Allocations.load();
    int64_t frames = 0;
    for (auto _ : state) {
        (s.*Frame)();
        ++frames;
    }
    state.counters["allocs_per_frame"] = frames ? double(Allocations.load() - before) / double(frames) : 0.0;
}

void BM_VectorLabels(benchmark::State &state) {
    RunFrames<&TScene::VectorFrame>(state);
}
void BM_VectorRaw(benchmark::State &state) {
    RunFrames<&TScene::RawVectorFrame>(state);
}
void BM_AtlasLabels(benchmark::State &state) {
    RunFrames<&TScene::AtlasFrame>(state);
}
void BM_AtlasRaw(benchmark::State &state) {
    RunFrames<&TScene::RawAtlasFrame>(state);
}

void BM_LoadFont(benchmark::State &state) {
    EnsureApplication();
    for (auto _ : state) {
        TDxFont font;
        font.LoadFromFont({"Road", 0, TFontsDataForm::CustomLabelHeight});
        benchmark::DoNotOptimize(font.Glyph('A').Triangles.data());
    }
}
void BM_ReadOutlines(benchmark::State &state) {
    TGlyphMetrics m;
    std::vector<TTPolygon> contours;
    for (auto _ : state) {
        TGlyphFont font({"Road", TFontsDataForm::CustomLabelHeight});
        for (int c = 0; c < 256; ++c)
            font.GetGlyphOutline(Cp1251ToUnicode(static_cast<unsigned char>(c)), m, contours);
        benchmark::DoNotOptimize(contours.data());
    }
}

BENCHMARK(BM_VectorLabels)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_VectorRaw)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_AtlasLabels)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_AtlasRaw)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LoadFont)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReadOutlines)->Unit(benchmark::kMillisecond)->UseRealTime();

const bool registered = [] {
    spbench::ResultPair("vector_labels_vs_raw_triangles", "BM_VectorLabels/real_time",
                        "BM_VectorRaw/real_time");
    spbench::ResultPair("atlas_labels_vs_raw_quads", "BM_AtlasLabels/real_time", "BM_AtlasRaw/real_time");
    spbench::ResultPair("load_font_vs_read_outlines", "BM_LoadFont/real_time", "BM_ReadOutlines/real_time");
    spbench::ResultPair("vector_allocs_per_frame_vs_raw", "BM_VectorLabels/real_time",
                        "BM_VectorRaw/real_time", spbench::TFigure::Counter, "allocs_per_frame",
                        "allocations");
    return true;
}();

} // namespace
