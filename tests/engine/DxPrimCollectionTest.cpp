// Retained batches above a recording device: culling against the stored view, layer masks, compaction,
// draw chunks, exactly the vertices of the frame, the owner's protocol with ids that never come back,
// group records and the texture.
#include "engine/DxPrimCollection.h"
#include "engine/DxPrimBuilders.h"
#include "engine/DxRenderer.h"
#include "engine/DxTexture.h"
#include "engine/StreetError.h"
#include "platform/d3d9/RecordingDevice.h"
#include "platform/gdi/Bitmap.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <memory>
#include <set>
#include <vector>

namespace {

struct TRig {
    std::shared_ptr<TRecordingDevice> Device = std::make_shared<TRecordingDevice>();
    TDisplayRenderer Renderer{Device};

    TRig() { Renderer.BeginDraw(); }

    // One frame of the batch with the view; the draws it made.
    std::vector<TRecordedDraw> Draw(TDxPrimCollection &batch, TXYZ centre = {}, float radius = 0) {
        Device->ClearRecord();
        batch.Draw({&Renderer, centre, radius});
        return Device->Draws();
    }
};

// All vertices of the draws, in order.
std::vector<TRecordedVertex> Drawn(const std::vector<TRecordedDraw> &draws) {
    std::vector<TRecordedVertex> v;
    for (const TRecordedDraw &d : draws) {
        const auto dv = d.Vertices();
        v.insert(v.end(), dv.begin(), dv.end());
    }
    return v;
}

// A short line around (x, y), of the owner.
TDxGroupId AddLineAt(TDxPrimCollection &batch, TDxOwnerKey owner, float x, float y) {
    const TDxVertex v[2] = {{x - 0.5f, y, 0, 0, 0, 0}, {x + 0.5f, y, 0, 0, 0, 0}};
    return batch.AddPrimitive(owner, v);
}

// The owners of the drawn lines (each line's owner is put into its x by AddLineAt at x = owner).
std::vector<int> DrawnOwners(const std::vector<TRecordedDraw> &draws) {
    std::vector<int> owners;
    const auto v = Drawn(draws);
    for (std::size_t i = 0; i + 1 < v.size(); i += 2)
        owners.push_back(int(v[i].X + 0.5f));
    return owners;
}

TEST(DxPrimCollection, AGroupKeepsItsOwnerLayersCentreAndDiamondRadius) {
    TDxTriangleCollection batch;
    batch.SetLayerMask(6);
    batch.SetColor(0x80FF0000);
    batch.Transform().Translate(true, 10, 0, 0);
    const TDxVertex v[3] = {{0, 0, 5, 1, 0.25f, 0.5f}, {4, 0, 5, 2, 1, 0}, {0, 2, 7, 3, 0, 1}};
    const TDxGroupId id = batch.AddPrimitive(77, v);
    const TDxPrimGroup g = batch.Group(0);
    EXPECT_EQ(g.Id, id);
    EXPECT_EQ(g.Owner, 77u);
    EXPECT_EQ(g.Layers, 6u);
    EXPECT_FALSE(g.Deleted);
    // Positions through the transform; colour from the batch; u and v as given.
    EXPECT_EQ(g.Vertices[1].x, 14);
    EXPECT_EQ(g.Vertices[2].z, 7);
    EXPECT_EQ(g.Vertices[0].color, 0x80FF0000u);
    EXPECT_EQ(g.Vertices[0].u, 0.25f);
    EXPECT_EQ(g.Vertices[2].v, 1);
    // Centre: mean x and y, z 0 whatever the vertices' z; radius: largest |dx| + |dy|.
    EXPECT_FLOAT_EQ(g.Center.x, 10 + 4.0f / 3);
    EXPECT_FLOAT_EQ(g.Center.y, 2.0f / 3);
    EXPECT_EQ(g.Center.z, 0);
    EXPECT_FLOAT_EQ(g.Radius, 8.0f / 3 + 2.0f / 3);

    EXPECT_THROW(batch.AddPrimitive(1, std::span<const TDxVertex>(v, 2)), EStreetError);
    // A group of the batch itself can be added again, however the batch grows meanwhile.
    for (int i = 0; i < 100; ++i)
        batch.AddPrimitive(78, batch.Group(std::size_t(i)).Vertices);
    EXPECT_EQ(batch.Group(100).Vertices[1].x, 14 + 10 * 100.0f);
    batch.Clear();
    EXPECT_EQ(batch.Count(), 0u);
    EXPECT_TRUE(batch.Transform().IsIdentity());
    EXPECT_EQ(batch.LayerMask(), 6u);
    EXPECT_EQ(batch.Color(), 0x80FF0000u);
}

TEST(DxPrimCollection, AViewMovingByLessThanTheMarginKeepsTheVisibleList) {
    TRig rig;
    TDxLineCollection batch;
    // Stored view: centre (0, 0, 0), radius 0. Groups within 20 (plus their radius) are visible.
    AddLineAt(batch, 10, 10, 0); // 10 - 0.5 - 20 < 0
    AddLineAt(batch, 25, 25, 0); // 25 - 0.5 - 20 >= 0
    AddLineAt(batch, 60, 60, 0);
    EXPECT_EQ(DrawnOwners(rig.Draw(batch)), (std::vector<int>{10}));
    // Moved by 19.9: the list stays, though the group at 25 would now be in view.
    EXPECT_EQ(DrawnOwners(rig.Draw(batch, {19.9f, 0, 0}, 0)), (std::vector<int>{10}));
    // A group added meanwhile is tested against the stored view.
    AddLineAt(batch, 15, 15, 0);
    AddLineAt(batch, 35, 35, 0);
    EXPECT_EQ(DrawnOwners(rig.Draw(batch, {19.9f, 0, 0}, 0)), (std::vector<int>{10, 15}));
    // Centre distance plus radius change reaching 20 rebuilds the list in the order added.
    EXPECT_EQ(DrawnOwners(rig.Draw(batch, {10, 0, 0}, 10)), (std::vector<int>{10, 25, 15, 35}));
    EXPECT_EQ(batch.ViewCenter(), (TXYZ{10, 0, 0}));
    EXPECT_EQ(batch.ViewRadius(), 10);
    // The view's own z counts in the distance.
    EXPECT_EQ(DrawnOwners(rig.Draw(batch, {60, 0, 45}, 0)), (std::vector<int>{}));
    EXPECT_EQ(DrawnOwners(rig.Draw(batch, {60, 0, 0}, 0)), (std::vector<int>{60}));
}

TEST(DxPrimCollection, ARebuiltVisibleListHoldsExactlyTheGroupsInViewInOrder) {
    TRig rig;
    TDxLineCollection batch;
    std::vector<TDxGroupId> ids;
    for (int i = 0; i < 50; ++i)
        ids.push_back(AddLineAt(batch, 3 * i, float(3 * i), 0));
    // Deleted groups stay out of a rebuilt list (a tenth is not reached: they stay in the batch).
    batch.MarkDeleted(std::vector<TDxGroupId>{ids[20], ids[21], ids[33]});
    struct TView {
        float X, Radius;
    } const views[] = {{60, 10}, {200, 0}, {100, 50}, {0, 0}, {147, 3}, {75, 200}};
    for (const TView &v : views) {
        std::vector<int> expected;
        for (int i = 0; i < 50; ++i)
            if (i != 20 && i != 21 && i != 33 && std::abs(3.0f * i - v.X) < v.Radius + 0.5f + 20)
                expected.push_back(3 * i);
        rig.Draw(batch, {v.X + 100, 0, 0}, v.Radius); // far enough to force a rebuild
        EXPECT_EQ(DrawnOwners(rig.Draw(batch, {v.X, 0, 0}, v.Radius)), expected) << v.X << " / " << v.Radius;
        EXPECT_EQ(batch.VisibleCount(), expected.size());
    }
}

TEST(DxPrimCollection, LayerMaskFiltersGroupsButLayersZeroAreEverywhere) {
    TRig rig;
    TDxLineCollection batch;
    for (const uint32_t layers : {0u, 1u, 2u, 3u}) {
        batch.SetLayerMask(layers);
        AddLineAt(batch, int(layers) + 1, float(layers) + 1, 0);
    }
    struct TCase {
        uint32_t Mask;
        std::vector<int> Owners;
    } const cases[] = {
        {1, {1, 2, 4}}, {2, {1, 3, 4}}, {3, {1, 2, 3, 4}}, {0, {1}}, {4, {1}},
    };
    for (const TCase &c : cases) {
        batch.SetLayerMask(c.Mask);
        EXPECT_EQ(DrawnOwners(rig.Draw(batch)), c.Owners) << c.Mask;
    }
}

TEST(DxPrimCollection, DeletedGroupsAreCompactedOnceTheyAreATenth) {
    struct TCase {
        int Groups, Deleted;
        bool Compacted;
    } const cases[] = {{10, 1, true}, {19, 1, true}, {20, 1, false},
                       {20, 2, true}, {9, 0, false}, {1, 1, true}};
    for (const TCase &c : cases) {
        TRig rig;
        TDxLineCollection batch;
        std::vector<TDxGroupId> ids;
        for (int i = 0; i < c.Groups; ++i)
            ids.push_back(AddLineAt(batch, i, 0, 0));
        batch.MarkDeleted(std::span(ids).first(static_cast<std::size_t>(c.Deleted)));
        EXPECT_EQ(batch.DeletedCount(), std::size_t(c.Deleted));
        rig.Draw(batch);
        const std::size_t expected = c.Compacted ? std::size_t(c.Groups - c.Deleted) : std::size_t(c.Groups);
        EXPECT_EQ(batch.Count(), expected) << c.Groups << " / " << c.Deleted;
        EXPECT_EQ(batch.DeletedCount(), c.Compacted ? 0u : std::size_t(c.Deleted));
        // Whether packed or not, the deleted ones are not drawn.
        EXPECT_EQ(DrawnOwners(rig.Draw(batch)).size(), std::size_t(c.Groups - c.Deleted));
    }
}

TEST(DxPrimCollection, DrawsInChunksOf3000Vertices) {
    struct TCase {
        bool Lines;
        int Primitives;
        std::vector<UINT> Counts;
    } const cases[] = {
        {false, 1000, {1000}},            // exactly 3000 vertices: one call
        {true, 1501, {1500, 1}},          // 3002 line vertices: two calls
        {false, 2500, {1000, 1000, 500}}, // 7500 triangle vertices
        {true, 1, {1}},
    };
    for (const TCase &c : cases) {
        TRig rig;
        std::unique_ptr<TDxPrimCollection> batch;
        if (c.Lines)
            batch = std::make_unique<TDxLineCollection>();
        else
            batch = std::make_unique<TDxTriangleCollection>();
        const TDxVertex v[3] = {{0, 0, 0, 0, 0, 0}, {1, 0, 0, 0, 0, 0}, {0, 1, 0, 0, 0, 0}};
        for (int i = 0; i < c.Primitives; ++i)
            batch->AddPrimitive(1, v);
        std::vector<UINT> counts;
        for (const TRecordedDraw &d : rig.Draw(*batch)) {
            counts.push_back(d.PrimitiveCount);
            EXPECT_EQ(d.Type, c.Lines ? D3DPT_LINELIST : D3DPT_TRIANGLELIST);
            EXPECT_EQ(d.Stride, 24u);
        }
        EXPECT_EQ(counts, c.Counts) << c.Primitives;
    }
}

TEST(DxPrimCollection, AFrameDrawsExactlyTheVerticesItCopied) {
    // Less than a block, and several whole blocks (drawn a block at a time where nothing in them is left
    // out) with a deleted group or a group of another layer inside whole blocks.
    struct TCase {
        int Groups;
        std::vector<int> Deleted;
        int OtherLayerEvery; // every n-th group (i % n == n - 1) is in layer 2 only
    } const cases[] = {
        {30, {3, 17}, 6},
        {100, {33, 70, 95}, 0},
        {130, {}, 40},
        {130, {0, 64}, 97},
    };
    for (const TCase &c : cases) {
        TRig rig;
        TDxTriangleCollection batch;
        std::vector<TDxGroupId> ids;
        // Close together: every group lies within the cull margin of the view at the origin.
        const auto otherLayer = [&](int i) {
            return c.OtherLayerEvery > 0 && i % c.OtherLayerEvery == c.OtherLayerEvery - 1;
        };
        for (int i = 0; i < c.Groups; ++i) {
            batch.SetLayerMask(otherLayer(i) ? 2 : 1);
            const float x = float(i) / 8;
            const TDxVertex v[3] = {{x, 0, 0, 0, 0, 0}, {x, 1, 0, 0, 0, 0}, {x, 2, 0, 0, 0, 0}};
            ids.push_back(batch.AddPrimitive(TDxOwnerKey(i), v));
        }
        // A first frame draws all.
        batch.SetLayerMask(3);
        EXPECT_EQ(Drawn(rig.Draw(batch)).size(), std::size_t(c.Groups) * 3) << c.Groups;
        // Deleted ones (below a tenth: they stay in the batch) and those of layer 2 are left out.
        std::vector<TDxGroupId> deleted;
        for (int i : c.Deleted)
            deleted.push_back(ids[std::size_t(i)]);
        batch.MarkDeleted(deleted);
        batch.SetLayerMask(1);
        const auto v = Drawn(rig.Draw(batch));
        EXPECT_EQ(batch.Count(), std::size_t(c.Groups));
        std::vector<float> expected;
        for (int i = 0; i < c.Groups; ++i)
            if (std::find(c.Deleted.begin(), c.Deleted.end(), i) == c.Deleted.end() && !otherLayer(i))
                expected.push_back(float(i) / 8);
        ASSERT_EQ(v.size(), expected.size() * 3) << c.Groups;
        for (std::size_t k = 0; k < expected.size(); ++k)
            for (int j = 0; j < 3; ++j) {
                EXPECT_EQ(v[k * 3 + j].X, expected[k]) << c.Groups;
                EXPECT_EQ(v[k * 3 + j].Y, float(j)) << c.Groups;
            }
        // Nothing passes: no draw at all.
        batch.SetLayerMask(4);
        EXPECT_TRUE(rig.Draw(batch).empty()) << c.Groups;
    }
}

TEST(DxPrimCollection, OwnersProtocolWithIdsThatNeverComeBack) {
    TDxLineCollection batch;
    std::vector<TDxGroupId> a, b, recent;
    // Owner 1 builds three groups and keeps them.
    batch.ClearNew();
    DxAddPolyline(batch, 1, TXYZArray{{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {3, 0, 0}});
    batch.GetNewGroups(a);
    ASSERT_EQ(a.size(), 3u);
    // Owner 2 builds two.
    batch.ClearNew();
    DxAddLinesA(batch, 2, {{0, 5, 0}, {1, 5, 0}, {2, 5, 0}, {3, 5, 0}});
    batch.GetNewGroups(b);
    ASSERT_EQ(b.size(), 2u);
    EXPECT_TRUE(std::is_sorted(a.begin(), a.end()));
    EXPECT_LT(a.back(), b.front());

    // Owner 1 rebuilds: old groups marked, new ones kept.
    batch.MarkDeleted(a);
    batch.MarkDeleted(a); // twice counts once
    EXPECT_EQ(batch.DeletedCount(), 3u);
    batch.ClearNew();
    DxAddPolyline(batch, 1, TXYZArray{{0, 1, 0}, {1, 1, 0}});
    std::vector<TDxGroupId> a2;
    batch.GetNewGroups(a2);
    ASSERT_EQ(a2.size(), 1u);
    EXPECT_EQ(batch.Count(), 6u);

    // DeleteOwner frees every group of owner 1 at once, deleted or not; its kept ids reach nothing after.
    batch.DeleteOwner(1);
    EXPECT_EQ(batch.Count(), 2u);
    EXPECT_EQ(batch.DeletedCount(), 0u);
    EXPECT_EQ(batch.IndexOf(a2[0]), -1);
    batch.GetNewGroups(recent);
    EXPECT_TRUE(recent.empty()); // the new group was freed with its owner
    // Owner 1 comes back with new groups; marking its stale ids touches none of them, nor owner 2's.
    batch.ClearNew();
    DxAddPolyline(batch, 1, TXYZArray{{0, 2, 0}, {1, 2, 0}});
    batch.GetNewGroups(recent);
    batch.MarkDeleted(a);
    batch.MarkDeleted(a2);
    EXPECT_EQ(batch.DeletedCount(), 0u);
    std::set<TDxGroupId> all(a.begin(), a.end());
    all.insert(b.begin(), b.end());
    all.insert(a2.begin(), a2.end());
    all.insert(recent.begin(), recent.end());
    EXPECT_EQ(all.size(), a.size() + b.size() + a2.size() + recent.size());
    // Ids of another batch are ignored too.
    TDxLineCollection other;
    std::vector<TDxGroupId> foreign{AddLineAt(other, 9, 0, 0)};
    batch.MarkDeleted(foreign);
    EXPECT_EQ(batch.DeletedCount(), 0u);
    // The owner's live ids still work, in any order.
    std::vector<TDxGroupId> live{recent[0], b[1], b[0]};
    batch.MarkDeleted(live);
    EXPECT_EQ(batch.DeletedCount(), 3u);
}

TEST(DxPrimCollection, NewGroupsSurviveCompactionOfOthersAndClearEndsThem) {
    TRig rig;
    TDxLineCollection batch;
    std::vector<TDxGroupId> old, fresh, got;
    for (int i = 0; i < 5; ++i)
        old.push_back(AddLineAt(batch, 1, float(i), 0));
    batch.ClearNew();
    for (int i = 0; i < 3; ++i)
        fresh.push_back(AddLineAt(batch, 2, float(i), 1));
    batch.MarkDeleted(std::span(old).first(2));
    rig.Draw(batch); // compacts (2 of 8)
    ASSERT_EQ(batch.Count(), 6u);
    batch.GetNewGroups(got);
    EXPECT_EQ(got, fresh);
    for (TDxGroupId id : fresh)
        EXPECT_GE(batch.IndexOf(id), 0);
    batch.Clear();
    batch.GetNewGroups(got);
    EXPECT_TRUE(got.empty());
    EXPECT_EQ(batch.IndexOf(fresh[0]), -1);
    EXPECT_EQ(batch.VisibleCount(), 0u);
}

TEST(DxPrimCollection, TheTextureIsAppliedForTheDrawAndTakenOffAfter) {
    TRig rig;
    TDxTriangleCollection batch;
    batch.CreateOwnTexture();
    TBitmap picture(2, 2, TPixelFormat::pf24bit);
    batch.Texture()->Assign(picture);
    DxAddTrianglesA(batch, 1, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}});
    const auto draws = rig.Draw(batch);
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_NE(draws[0].State.Texture, nullptr);
    EXPECT_EQ(draws[0].State.AlphaBlendEnable, 1u);
    EXPECT_EQ(rig.Device->State().Texture, nullptr);
    EXPECT_EQ(rig.Device->State().AlphaBlendEnable, 0u);

    // A texture not owned stays with its owner when the batch lets it go.
    TTextureSurface shared;
    batch.SetTexture(&shared);
    EXPECT_EQ(batch.Texture(), &shared);
    batch.SetTexture(nullptr);
    EXPECT_EQ(batch.Texture(), nullptr);
    EXPECT_EQ(rig.Draw(batch)[0].State.Texture, nullptr);
}

// A device that checks, for every draw with runs, that each run's box holds the positions of its primitives.
class TBoxCheckingDevice : public TRecordingDevice {
public:
    int Outside = 0;       // vertices found outside their run's box
    int UnboundedRuns = 0; // runs whose box is not finite (holds anything)
    void DrawPrimitiveRunsUP(D3DPRIMITIVETYPE type, UINT primitiveCount, const void *vertexData,
                             UINT vertexStride, const D3DPRIMITIVERUN *runs, UINT runCount) override {
        const UINT perPrim = type == D3DPT_LINELIST ? 2 : 3;
        const auto *base = static_cast<const uint8_t *>(vertexData);
        for (UINT r = 0; r < runCount; ++r) {
            const D3DPRIMITIVERUN &run = runs[r];
            const float lo[3] = {run.MinX, run.MinY, run.MinZ}, hi[3] = {run.MaxX, run.MaxY, run.MaxZ};
            if (!std::isfinite(lo[0]) || !std::isfinite(hi[0]))
                ++UnboundedRuns;
            for (UINT k = run.FirstPrimitive * perPrim;
                 k < (run.FirstPrimitive + run.PrimitiveCount) * perPrim; ++k) {
                const auto *v = reinterpret_cast<const TDxVertex *>(base + std::size_t(k) * vertexStride);
                const float p[3] = {v->x, v->y, v->z};
                for (int a = 0; a < 3; ++a)
                    if (!(p[a] >= lo[a] && p[a] <= hi[a]))
                        ++Outside;
            }
        }
        TRecordingDevice::DrawPrimitiveRunsUP(type, primitiveCount, vertexData, vertexStride, runs, runCount);
    }
};

// A triangle of its own near a spot that wanders with i, so that no two neighbours share a box by chance.
std::array<TDxVertex, 3> WanderingTriangle(int i) {
    const float x = float((i * 37) % 101) * 3, y = float((i * 53) % 97) * -2, z = float(i % 7);
    return {TDxVertex{x, y, z, 0, 0, 0}, TDxVertex{x + 1, y + float(i % 5), z, 0, 0, 0},
            TDxVertex{x, y + 1, z + 1, 0, 0, 0}};
}

TEST(DxPrimCollection, EveryRunsBoxHoldsItsPrimitivesHoweverTheyWereAdded) {
    auto device = std::make_shared<TBoxCheckingDevice>();
    TDisplayRenderer renderer(device);
    renderer.BeginDraw();
    TDxTriangleCollection batch;
    int next = 0;
    // One at a time, then in bulk from the middle of a block across several, then handed over vertex by
    // vertex, through a transform.
    for (int i = 0; i < 5; ++i) {
        const auto t = WanderingTriangle(next++);
        batch.AddPrimitive(1, t);
    }
    std::vector<TDxVertex> bulk;
    for (int i = 0; i < 70; ++i) {
        const auto t = WanderingTriangle(next++);
        bulk.insert(bulk.end(), t.begin(), t.end());
    }
    batch.AddPrimitives(2, bulk, 70);
    batch.Transform().Translate(true, 500, 0, 0);
    batch.AddPrimitivesFrom(3, 40, [&](auto &&add) {
        for (int i = 0; i < 40; ++i)
            for (const TDxVertex &v : WanderingTriangle(next++))
                add(v);
    });
    std::vector<TDxGroupId> early;
    for (std::size_t i = 0; i < 20; ++i)
        early.push_back(batch.Group(i).Id);
    const TDxDrawParams view{&renderer, {0, 0, 0}, 1e6f};
    device->ClearRecord();
    batch.Draw(view);
    EXPECT_EQ(Drawn(device->Draws()).size(), 115u * 3);
    // The boxes are made again when deleted groups are packed out.
    batch.MarkDeleted(early);
    device->ClearRecord();
    batch.Draw(view);
    EXPECT_EQ(batch.Count(), 95u);
    EXPECT_EQ(Drawn(device->Draws()).size(), 95u * 3);
    EXPECT_EQ(device->Outside, 0);
    EXPECT_EQ(device->UnboundedRuns, 0);

    // A position that is not finite makes its block's box hold anything; that group itself is never drawn.
    TDxTriangleCollection wild;
    const TDxVertex nan[3] = {{std::nanf(""), 0, 0, 0, 0, 0}, {1, 0, 0, 0, 0, 0}, {0, 1, 0, 0, 0, 0}};
    wild.AddPrimitives(1, bulk, 3);
    wild.AddPrimitives(1, nan, 1);
    device->ClearRecord();
    wild.Draw(view);
    EXPECT_EQ(Drawn(device->Draws()).size(), 9u);
    EXPECT_GT(device->UnboundedRuns, 0);
    EXPECT_EQ(device->Outside, 0);
}

TEST(DxPrimCollection, PrimitivesHandedOverOneVertexAtATimeAreAddedAsFromAnArray) {
    const TDxVertex v[6] = {{0, 0, 5, 9, 0.25f, 0.5f}, {4, 0, 5, 9, 1, 0}, {0, 2, 7, 9, 0, 1},
                            {8, 8, 0, 9, 2, 2},        {9, 8, 0, 9, 3, 3}, {8, 9, 0, 9, 4, 4}};
    TDxTriangleCollection fromArray, handed;
    for (TDxTriangleCollection *b : {&fromArray, &handed}) {
        b->SetColor(0x80FF0000);
        b->SetLayerMask(4);
        b->Transform().Translate(true, 10, 0, 0);
    }
    fromArray.AddPrimitives(7, v, 2);
    handed.ClearNew();
    handed.AddPrimitivesFrom(7, 2, [&](auto &&add) {
        for (const TDxVertex &x : v)
            add(x);
    });
    ASSERT_EQ(handed.Count(), 2u);
    std::vector<TDxGroupId> fresh;
    handed.GetNewGroups(fresh);
    EXPECT_EQ(fresh.size(), 2u);
    for (std::size_t g = 0; g < 2; ++g) {
        const TDxPrimGroup a = fromArray.Group(g), b = handed.Group(g);
        EXPECT_EQ(b.Owner, 7u);
        EXPECT_EQ(b.Layers, a.Layers);
        EXPECT_EQ(b.Center.x, a.Center.x);
        EXPECT_EQ(b.Center.y, a.Center.y);
        EXPECT_EQ(b.Radius, a.Radius);
        for (std::size_t k = 0; k < 3; ++k) {
            EXPECT_EQ(b.Vertices[k].x, a.Vertices[k].x);
            EXPECT_EQ(b.Vertices[k].y, a.Vertices[k].y);
            EXPECT_EQ(b.Vertices[k].color, 0x80FF0000u);
            EXPECT_EQ(b.Vertices[k].u, a.Vertices[k].u);
            EXPECT_EQ(b.Vertices[k].v, a.Vertices[k].v);
        }
    }
    // A fill that hands over too few or too many vertices, or fails, leaves the batch as it was.
    const std::function<void(const std::function<void(const TDxVertex &)> &)> fills[] = {
        [&](const auto &add) {
            for (int k = 0; k < 5; ++k)
                add(v[k]);
        },
        [&](const auto &add) {
            for (int k = 0; k < 6; ++k)
                add(v[k]);
            add(v[0]);
        },
        [&](const auto &add) {
            add(v[0]);
            RaiseStreetError("fill", "failed");
        },
    };
    for (const auto &fill : fills) {
        EXPECT_THROW(handed.AddPrimitivesFrom(8, 2, [&](auto &&add) { fill(add); }), EStreetError);
        EXPECT_EQ(handed.Count(), 2u);
        handed.AddPrimitivesFrom(9, 1, [&](auto &&add) {
            for (int k = 3; k < 6; ++k)
                add(v[k]);
        });
        ASSERT_EQ(handed.Count(), 3u);
        EXPECT_EQ(handed.Group(2).Vertices[0].x, 18);
        EXPECT_EQ(handed.Group(2).Owner, 9u);
        handed.DeleteOwner(9);
    }
}

} // namespace
