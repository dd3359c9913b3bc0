// One frame of 10^5 coloured triangles and 10^5 lines through the GL device on an off-screen target,
// drawn in calls of 3000 vertices as the retained batches submit them, finished by reading the image
// back. Baselines: the same frame with nothing drawn (what a frame costs at all), and copying the
// frame's vertex bytes once (the floor of handing them over).
#include "BenchSupport.h"

#include "platform/d3d9/GLDevice.h"

#include <QGuiApplication>

#include <cstring>
#include <new>
#include <random>
#include <vector>

namespace {

struct TVertex {
    float X, Y, Z;
    D3DCOLOR Color;
    float U, V;
};

constexpr int Width = 1024, Height = 768;
constexpr int Triangles = 100000, Lines = 100000, ChunkVertices = 3000;

void EnsureApplication() {
    static int argc = 1;
    static char name[] = "gl_frame";
    static char *argv[] = {name, nullptr};
    // Kept to the end of the process: GL contexts cannot be torn down from static destructors.
    alignas(QGuiApplication) static unsigned char storage[sizeof(QGuiApplication)];
    static QGuiApplication *app = new (storage) QGuiApplication(argc, argv);
    (void)app;
}

struct TScene {
    std::shared_ptr<IDirect3DDevice9> Device;
    std::vector<TVertex> TriangleVertices, LineVertices;
    std::vector<uint8_t> Image;

    TScene() {
        EnsureApplication();
        Device = CreateOffscreenDevice(Width, Height);
        Image.resize(std::size_t(Width) * Height * 4);
        std::mt19937 rng(42);
        std::uniform_real_distribution<float> px(0, Width), py(0, Height), d(-12, 12);
        std::uniform_int_distribution<uint32_t> colour(0, 0xFFFFFF);
        for (int i = 0; i < Triangles; ++i) {
            const float x = px(rng), y = py(rng);
            const D3DCOLOR c = 0xFF000000 | colour(rng);
            for (int k = 0; k < 3; ++k)
                TriangleVertices.push_back({x + d(rng), y + d(rng), 0.5f, c, 0, 0});
        }
        for (int i = 0; i < Lines; ++i) {
            const float x = px(rng), y = py(rng);
            const D3DCOLOR c = 0xFF000000 | colour(rng);
            LineVertices.push_back({x, y, 0.5f, c, 0, 0});
            LineVertices.push_back({x + d(rng), y + d(rng), 0.5f, c, 0, 0});
        }
        D3DMATRIX p{};
        p.m[0][0] = 2.0f / Width;
        p.m[1][1] = -2.0f / Height;
        p.m[2][2] = 1.0f;
        p.m[3][0] = -1.0f;
        p.m[3][1] = 1.0f;
        p.m[3][3] = 1.0f;
        Device->SetTransform(D3DTS_PROJECTION, p);
        Device->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1);
        Device->SetRenderState(D3DRS_AMBIENT, 0xFFFFFFFF);
    }

    void Frame(bool draw) {
        Device->BeginScene();
        Device->Clear(D3DCLEAR_TARGET, 0xFF203040, 1.0f, 0);
        if (draw) {
            for (std::size_t at = 0; at < TriangleVertices.size(); at += ChunkVertices) {
                const std::size_t n = std::min<std::size_t>(ChunkVertices, TriangleVertices.size() - at);
                Device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, static_cast<UINT>(n / 3), &TriangleVertices[at],
                                        sizeof(TVertex));
            }
            for (std::size_t at = 0; at < LineVertices.size(); at += ChunkVertices) {
                const std::size_t n = std::min<std::size_t>(ChunkVertices, LineVertices.size() - at);
                Device->DrawPrimitiveUP(D3DPT_LINELIST, static_cast<UINT>(n / 2), &LineVertices[at],
                                        sizeof(TVertex));
            }
        }
        Device->EndScene();
        Device->GetRenderTargetData(Image.data(), Width * 4); // waits for the frame to be finished
    }
};

TScene &Scene() {
    static TScene scene;
    return scene;
}

void Counters(benchmark::State &state) {
    state.counters["fps"] = benchmark::Counter(1, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["triangles"] =
        benchmark::Counter(Triangles, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_Frame(benchmark::State &state) {
    TScene &s = Scene();
    for (auto _ : state)
        s.Frame(true);
    Counters(state);
}

void BM_EmptyFrame(benchmark::State &state) {
    TScene &s = Scene();
    for (auto _ : state)
        s.Frame(false);
    Counters(state);
}

void BM_CopyVertices(benchmark::State &state) {
    TScene &s = Scene();
    std::vector<TVertex> copy(s.TriangleVertices.size() + s.LineVertices.size());
    for (auto _ : state) {
        std::memcpy(copy.data(), s.TriangleVertices.data(), s.TriangleVertices.size() * sizeof(TVertex));
        std::memcpy(copy.data() + s.TriangleVertices.size(), s.LineVertices.data(),
                    s.LineVertices.size() * sizeof(TVertex));
        benchmark::DoNotOptimize(copy.data());
        benchmark::ClobberMemory();
    }
    Counters(state);
}

BENCHMARK(BM_Frame)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_EmptyFrame)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CopyVertices)->Unit(benchmark::kMillisecond)->UseRealTime();

const bool registered = [] {
    spbench::ResultPair("frame_vs_empty_frame", "BM_Frame/real_time", "BM_EmptyFrame/real_time",
                        spbench::TFigure::TimeMs);
    spbench::ResultPair("frames_per_second", "BM_Frame/real_time", "BM_EmptyFrame/real_time",
                        spbench::TFigure::Counter, "fps", "frames/s");
    spbench::ResultPair("triangles_per_second_vs_vertex_copy", "BM_Frame/real_time",
                        "BM_CopyVertices/real_time", spbench::TFigure::Counter, "triangles", "triangles/s");
    return true;
}();

} // namespace
