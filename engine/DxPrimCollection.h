#pragma once
// Retained primitives of one item type. When an item's points change it turns its geometry into lines or
// triangles and adds them, one primitive (a group) at a time; the street draws each batch once a frame.
// Every group keeps its owner key, its layers and a bounding circle; the batch culls the groups against
// the circle of the view, packs deleted groups out lazily and draws the visible ones with one optional
// texture, in calls of at most 3000 vertices. Each block of BoxGroups consecutive groups keeps a box
// around its vertices, handed to the device with the draw so that it can pass over whole blocks that
// light no pixel (a street seen whole puts thousands of primitives into each pixel). Long stretches of
// visible groups are drawn from where they are kept; short ones are gathered into a buffer first.
//
// Groups are named by serials that are never reused in the process (NewDxSerial), so an id an owner kept
// from a batch that has since freed the group (by compaction, DeleteOwner or Clear) simply matches nothing.
//
// The owner's protocol: MarkDeleted(the ids kept from the last build); set the layer mask, colour and
// transform as needed; ClearNew; add through the builders (DxPrimBuilders.h); GetNewGroups into the list
// kept for the next rebuild or for the owner's removal.
#include "engine/DxCalc_0.h"
#include "engine/DxVertex.h"
#include "engine/MatrixShell.h"
#include "platform/d3d9/D3D9.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

struct TDxDrawParams;
class TTextureSurface;

// A group of one batch.
using TDxGroupId = uint64_t;
// The object that added a group; compared by value only (items pass their serial).
using TDxOwnerKey = uint64_t;

// A fresh serial for a group, an owner or a batch: never 0, never handed out twice in the process.
uint64_t NewDxSerial();

// What a batch keeps of one group.
struct TDxPrimGroup {
    TDxGroupId Id = 0;
    TDxOwnerKey Owner = 0;
    uint32_t Layers = 0; // the batch's layer mask when it was added; 0: in every layer
    bool Deleted = false;
    TXYZ Center;      // mean x and mean y of the vertices; z is 0
    float Radius = 0; // largest |x - cx| + |y - cy| (a diamond, which bounds the circle)
    std::span<const TDxVertex> Vertices;
};

class TDxPrimCollection {
public:
    // A view that moves (centre distance plus change of radius) by less than this keeps the visible list,
    // which is built with this margin around the view.
    static constexpr float CullMargin = 20;
    // Vertices per draw call: a multiple of 2 and 3, so no primitive is split.
    static constexpr std::size_t ChunkVertices = 3000;
    // Groups per box.
    static constexpr std::size_t BoxGroups = 32;
    // Consecutive visible groups that fill a draw call (ChunkVertices) are drawn without being copied.

    virtual ~TDxPrimCollection();
    TDxPrimCollection(const TDxPrimCollection &) = delete;
    TDxPrimCollection &operator=(const TDxPrimCollection &) = delete;

    // 2 for lines, 3 for triangles.
    std::size_t VertsPerPrim() const { return vertsPerPrim_; }
    D3DPRIMITIVETYPE PrimType() const { return primType_; }

    // Frees every group; the transform becomes the identity (layer mask, colour, texture and view stay).
    void Clear();

    // One group from the first VertsPerPrim vertices (fewer raise EStreetError): positions through the
    // transform, every colour the batch's colour, u and v as given. The group joins the new groups, and the
    // visible ones when it passes the cull test of the stored view.
    TDxGroupId AddPrimitive(TDxOwnerKey owner, std::span<const TDxVertex> vertices);
    // AddPrimitive for count consecutive blocks of VertsPerPrim vertices.
    void AddPrimitives(TDxOwnerKey owner, std::span<const TDxVertex> vertices, std::size_t count);
    // AddPrimitives with the vertices handed over one at a time, straight into the batch, with no buffer to
    // copy them from: fill(add) calls add(const TDxVertex &) for the count * VertsPerPrim vertices in order.
    // A fill that hands over another number adds nothing and raises EStreetError.
    template <class Fill> void AddPrimitivesFrom(TDxOwnerKey owner, std::size_t count, Fill &&fill) {
        if (count == 0)
            return;
        const std::size_t first = vertices_.size(), end = first + count * vertsPerPrim_;
        if (vertices_.capacity() < end)
            vertices_.reserve(std::max(end, 2 * vertices_.capacity()));
        try {
            fill([this](const TDxVertex &v) { vertices_.push_back(v); });
        } catch (...) {
            vertices_.resize(first);
            throw;
        }
        if (vertices_.size() != end) {
            const std::size_t given = vertices_.size() - first;
            vertices_.resize(first);
            RaiseVertexCount(given, count);
        }
        AddGroups(owner, first, count);
    }

    // Marks the groups deleted: they are no longer drawn and are freed at a later compaction. Ids the batch
    // does not hold (freed since, or of another batch) are ignored. Ids in the order they were handed out
    // cost O(1) each.
    void MarkDeleted(std::span<const TDxGroupId> groups);
    // Frees every group of the owner at once.
    void DeleteOwner(TDxOwnerKey owner);
    // Starts a new record of added groups.
    void ClearNew();
    // The ids of the groups added since ClearNew (and not freed since), in order; the list is emptied first.
    void GetNewGroups(std::vector<TDxGroupId> &groups) const;

    // Stores the view and rebuilds the visible list when it moved by CullMargin or more.
    void SetView(const TXYZ &center, float radius);
    // Packs out deleted groups once they are a tenth of all, culls against the parameters' view and draws
    // the visible groups that are not deleted and share a layer with the layer mask (or have layers 0),
    // with the texture when there is one. Exactly the vertices copied in this frame are drawn.
    void Draw(const TDxDrawParams &params);

    // A new empty texture owned by the batch (an owned one before is freed).
    void CreateOwnTexture();
    // Uses the texture without owning it (it must outlive its use here, or be replaced); nullptr for none.
    void SetTexture(TTextureSurface *texture);
    // A new owned texture from a bitmap file; a file that cannot be read raises and changes nothing.
    void LoadTexture(const std::string &fileName);
    TTextureSurface *Texture() const { return texture_; }

    // Applied to the positions of every primitive added; device-less.
    TMatrixShell &Transform() { return transform_; }
    // Given as layers to each new group, and the filter of Draw.
    uint32_t LayerMask() const { return layerMask_; }
    void SetLayerMask(uint32_t mask) { layerMask_ = mask; }
    // Given to every vertex of each new group.
    D3DCOLOR Color() const { return color_; }
    void SetColor(D3DCOLOR color) { color_ = color; }

    // Groups held, deleted or not.
    std::size_t Count() const { return ids_.size(); }
    // Groups marked deleted and not yet freed.
    std::size_t DeletedCount() const { return deletedCount_; }
    std::size_t VisibleCount() const { return visible_.size(); }
    // Group i in the order added (0 <= i < Count()).
    TDxPrimGroup Group(std::size_t i) const;
    // The index of the group; -1 when the batch does not hold it.
    std::ptrdiff_t IndexOf(TDxGroupId id) const;
    const TXYZ &ViewCenter() const { return viewCenter_; }
    float ViewRadius() const { return viewRadius_; }

protected:
    TDxPrimCollection(std::size_t vertsPerPrim, D3DPRIMITIVETYPE primType);

private:
    bool PassesCull(std::size_t i) const;
    [[noreturn]] void RaiseVertexCount(std::size_t vertices, std::size_t count) const;
    // The records of count groups whose vertices are in place from vertex first on (colours set here).
    void AddGroups(TDxOwnerKey owner, std::size_t first, std::size_t count);
    void Compact();
    // Frees the groups for which remove(i) holds, keeping the order of the rest.
    template <class Pred> void RemoveIf(Pred remove);
    // One run of the draw being gathered per block that groups [first, last) touch; first primitive at.
    void AddRuns(std::size_t first, std::size_t last, std::size_t at);
    void DrawChunk(const TDxDrawParams &params, const TDxVertex *vertices, std::size_t primitives);

    const std::size_t vertsPerPrim_;
    const D3DPRIMITIVETYPE primType_;

    // One entry per group, in the order added (ids ascend).
    std::vector<TDxGroupId> ids_;
    std::vector<TDxOwnerKey> owners_;
    // The bounding circles, one array per field so that culling the whole batch runs on packed lanes.
    std::vector<float> centerX_, centerY_, radius_;
    std::vector<uint32_t> layers_;
    std::vector<uint8_t> deleted_;
    std::vector<TDxVertex> vertices_; // VertsPerPrim per group

    std::vector<uint32_t> visible_; // indices of groups that passed the cull test, ascending
    std::size_t recentStart_ = 0;   // the groups from this index on are the new ones
    std::size_t deletedCount_ = 0;
    mutable std::size_t hint_ = 0; // where the next id of a run is looked for first

    // Block b's box: the vertices of groups b * BoxGroups to (b + 1) * BoxGroups - 1, deleted or not.
    struct TBox {
        float Min[3], Max[3];
    };
    std::vector<TBox> boxes_;
    // Per block: the AND of its groups' layers (a group of layers 0 counting as all layers), and how many
    // of its groups are marked deleted. A block whose layers share a bit with the mask and that has none
    // deleted is drawn whole without a look at each group.
    std::vector<uint32_t> blockLayers_;
    std::vector<uint32_t> blockDeleted_;
    // Takes groups first to first + count - 1 (the last ones held) into their blocks' boxes.
    void ExtendBoxes(std::size_t first, std::size_t count);

    std::vector<TDxVertex> drawBuffer_;
    std::vector<D3DPRIMITIVERUN> runs_;
    bool textureApplied_ = false;
    std::vector<uint32_t> remap_;
    std::vector<uint8_t> cullPass_;
    TDxGroupId nextId_ = 0, idLimit_ = 0; // ids taken from the process-wide serials a block at a time

    std::unique_ptr<TTextureSurface> ownTexture_;
    TTextureSurface *texture_ = nullptr;
    TMatrixShell transform_;
    uint32_t layerMask_ = 0;
    D3DCOLOR color_ = 0;
    TXYZ viewCenter_;
    float viewRadius_ = 0;
};

class TDxLineCollection final : public TDxPrimCollection {
public:
    TDxLineCollection() : TDxPrimCollection(2, D3DPT_LINELIST) {}
};

class TDxTriangleCollection final : public TDxPrimCollection {
public:
    TDxTriangleCollection() : TDxPrimCollection(3, D3DPT_TRIANGLELIST) {}
};

// The batches an item type keeps.
using TDxPrimCollections = std::vector<std::unique_ptr<TDxPrimCollection>>;
