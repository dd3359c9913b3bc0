// Text labels on an off-screen target of 1024 x 768 (Mesa here), every frame read back.
// glyph_labels: 1,000 labels of 10 characters drawn as vector glyphs through the street's drawing,
// against the same triangles prepared once as one list.
// frame_labels: 10,000 labels zoomed out so far that each shows as its frame, against the same rectangles
// as one line list.
#include "BenchSupport.h"

#include "engine/DxFont.h"
#include "engine/DxRenderer.h"
#include "engine/FontsDataForm.h"
#include "model/ItemList.h"
#include "model/ItemTypeCodes.h"
#include "model/StreetStructure.h"
#include "objects/RegisterObjects.h"
#include "objects/TextLabelItem.h"
#include "platform/d3d9/GLDevice.h"

#include <QGuiApplication>

#include <cstdio>
#include <memory>
#include <new>
#include <vector>

namespace {

constexpr int Width = 1024, Height = 768;
constexpr int GlyphLabels = 1000, FrameLabels = 10000;

void EnsureApplication() {
    static int argc = 1;
    static char name[] = "labels";
    static char *argv[] = {name, nullptr};
    alignas(QGuiApplication) static unsigned char storage[sizeof(QGuiApplication)];
    static QGuiApplication *app = new (storage) QGuiApplication(argc, argv);
    (void)app;
}

struct TScene {
    std::unique_ptr<TdxRenderer> Renderer;
    std::unique_ptr<TFontsDataForm> Fonts;
    std::unique_ptr<TStreetStructure> Glyphs, Frames; // made once the classes are registered
    std::vector<TDxVertex> RawTriangles, RawLines;
    std::vector<uint8_t> Image;
    TDxDrawParams Params;

    TScene() {
        EnsureApplication();
        RegisterObjects();
        Glyphs = std::make_unique<TStreetStructure>();
        Frames = std::make_unique<TStreetStructure>();
        Renderer = std::make_unique<TSurfaceRenderer>(CreateOffscreenDevice(Width, Height, true));
        Fonts = std::make_unique<TFontsDataForm>();
        Params.Renderer = Renderer.get();
        Params.ViewRadius = 1e6f;
        Image.resize(static_cast<std::size_t>(Width) * Height * 4);
        TDxFont *font = Fonts->GetDxFont("Arial", 0);
        // Glyphs: 10 columns of 100 rows, 5 cm a pixel (size 12: about 0.15 font units a pixel).
        for (int i = 0; i < GlyphLabels; ++i) {
            char buf[16];
            std::snprintf(buf, sizeof buf, "Колодец%03d", i);
            const TXYZ at{float(i % 10) * 5 - 25, float(i / 10) * 0.38f - 19, 0};
            TTextLabelItem *l = Add(*Glyphs, at, Cp(buf));
            const double u = l->UnitMetres();
            float x = 0;
            for (std::size_t c = 0; c < l->Text().Size(); ++c) {
                const TCharOutLine &g = font->Glyph(l->Text()[c]);
                for (const TXYZ &p : g.Triangles)
                    RawTriangles.push_back(
                        {at.x + float((p.x + x) * u), at.y + float(p.y * u), 0, l->Color(), 0, 0});
                x += g.Advance.x;
            }
        }
        // Frames: 100 x 100 labels 7 m apart, 1 m a pixel (about 130 font units a pixel).
        for (int i = 0; i < FrameLabels; ++i) {
            const TXYZ at{float(i % 100) * 7 - 350, float(i / 100) * 7 - 350, 0};
            TTextLabelItem *l = Add(*Frames, at, Cp("Водоканал1"));
            const TTextFrame f = l->GetTextFrame();
            const TXYZ c[4] = {{at.x + float(f.X0), at.y + float(f.Y0), 0},
                               {at.x + float(f.X1), at.y + float(f.Y0), 0},
                               {at.x + float(f.X1), at.y + float(f.Y1), 0},
                               {at.x + float(f.X0), at.y + float(f.Y1), 0}};
            for (int k = 0; k < 4; ++k)
                for (const TXYZ &p : {c[k], c[(k + 1) % 4]})
                    RawLines.push_back({p.x, p.y, 0, l->Color(), 0, 0});
        }
        std::printf("labels: %zu glyph triangle vertices, %zu frame line vertices\n", RawTriangles.size(),
                    RawLines.size());
    }

    static TTextLabelItem *Add(TStreetStructure &s, const TXYZ &at, const Cp1251String &text) {
        auto *l = dynamic_cast<TTextLabelItem *>(s.Lists(TextLabelTypeCode).AddNew());
        l->Points.InsertNewPoint(0, at);
        l->Points.InsertNewPoint(1, {at.x + 1, at.y, 0});
        l->SetText(text);
        return l;
    }

    void Begin(float metresPerPixel) {
        Renderer->BeginDraw();
        Renderer->Clear(0xFFFFFFFF, true, false, false);
        Renderer->LoadIdentityAll();
        Renderer->Projection().Scale(true, 2.0f / (Width * metresPerPixel), 2.0f / (Height * metresPerPixel),
                                     1);
    }
    void End() {
        Renderer->EndDraw();
        Renderer->Device().GetRenderTargetData(Image.data(), Width * 4);
    }

    void GlyphFrame() {
        Begin(0.05f);
        Glyphs->Draw(Params, TItemTypeSet{TextLabelTypeCode}, 0xFFFFFFFF);
        End();
    }
    void RawGlyphFrame() {
        Begin(0.05f);
        Renderer->DrawTriangleListV(RawTriangles);
        End();
    }
    void FrameFrame() {
        Begin(1);
        Frames->Draw(Params, TItemTypeSet{TextLabelTypeCode}, 0xFFFFFFFF);
        End();
    }
    void RawFrameFrame() {
        Begin(1);
        Renderer->DrawLineListV(RawLines);
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
    for (auto _ : state)
        (s.*Frame)();
}

void BM_GlyphLabels(benchmark::State &state) {
    RunFrames<&TScene::GlyphFrame>(state);
}
void BM_GlyphRaw(benchmark::State &state) {
    RunFrames<&TScene::RawGlyphFrame>(state);
}
void BM_FrameLabels(benchmark::State &state) {
    RunFrames<&TScene::FrameFrame>(state);
}
void BM_FrameRaw(benchmark::State &state) {
    RunFrames<&TScene::RawFrameFrame>(state);
}

BENCHMARK(BM_GlyphLabels)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_GlyphRaw)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FrameLabels)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FrameRaw)->Unit(benchmark::kMillisecond)->UseRealTime();

const bool registered = [] {
    spbench::ResultPair("glyph_labels", "BM_GlyphLabels/real_time", "BM_GlyphRaw/real_time");
    spbench::ResultPair("frame_labels", "BM_FrameLabels/real_time", "BM_FrameRaw/real_time");
    return true;
}();

} // namespace
