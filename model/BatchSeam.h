#pragma once
// What the street model needs of a retained primitive batch. Items add their geometry to the batches of
// their type when their points change and keep the groups they added, so that the next rebuild (or their
// removal) can mark exactly those deleted. Groups and batches are named by serial numbers that are never
// reused: an item may outlive a batch it once drew into (the batch array of a type is rebuilt when a
// library is republished), and a stale serial then simply matches nothing.
//
// The retained batches of the drawing layer plug in behind NewItemBatch; until then a batch keeps only
// the bookkeeping of its groups and draws nothing.
#include "engine/DxCalc_0.h"
#include "platform/gdi/Bitmap.h"

#include <cstdint>
#include <memory>
#include <span>
#include <unordered_map>
#include <vector>

// What street drawing hands to every batch and every item: the target, the view centre and radius.
// Defined by the renderer.
struct TDxDrawParams;

// A primitive group of one batch; unique over the whole process.
using TBatchGroupId = uint64_t;
// The item that added a group (TAbstractItem::Serial); unique over the whole process.
using TBatchOwnerKey = uint64_t;

enum class TBatchKind { Lines, Triangles };
// How a batch's picture repeats along u and v.
enum class TTextureAddress { Wrap, Clamp };

class TItemBatch {
public:
    explicit TItemBatch(TBatchKind kind);
    virtual ~TItemBatch() = default;
    TItemBatch(const TItemBatch &) = delete;
    TItemBatch &operator=(const TItemBatch &) = delete;

    // Unique over the whole process; 0 is never used.
    uint64_t Serial() const { return Serial_; }
    TBatchKind Kind() const { return Kind_; }

    // The owner's protocol: before rebuilding, the groups of the previous build are marked deleted (ids
    // the batch no longer has are ignored); ClearNew starts the record of added groups, the builders add
    // primitives, GetNewGroups hands the record over (the list is emptied first).
    virtual void MarkDeleted(std::span<const TBatchGroupId> groups) = 0;
    virtual void ClearNew() = 0;
    virtual void GetNewGroups(std::vector<TBatchGroupId> &groups) = 0;
    // Removes every group of the owner at once.
    virtual void DeleteOwner(TBatchOwnerKey owner) = 0;

    // One line group per segment (points[i], points[i + 1]) for i from first to last - 1; nothing below
    // two points. Only line batches take lines.
    virtual void AddPolylineRange(TBatchOwnerKey owner, std::span<const TXYZ> points, int last,
                                  int first) = 0;

    // The colour (D3DCOLOR, alpha in the top byte) every new primitive's vertices get.
    uint32_t Color() const { return Color_; }
    void SetColor(uint32_t color) { Color_ = color; }
    // The picture the batch draws with (copied into a texture of its own, colour = texture + vertex
    // colour); nullptr takes it off.
    virtual void SetPicture(const TBitmap *picture, TTextureAddress u, TTextureAddress v) = 0;

    // The layer mask used as the filter of the next Draw.
    virtual void SetLayerFilter(uint32_t mask) = 0;
    virtual void Draw(const TDxDrawParams &params) = 0;

private:
    uint64_t Serial_;
    TBatchKind Kind_;
    uint32_t Color_ = 0;
};

using TItemBatchPtr = std::shared_ptr<TItemBatch>;
// The batches of one item type, in the order the type's classes index them. An entry may be empty.
using TItemBatches = std::vector<TItemBatchPtr>;

// A batch that keeps the bookkeeping of its groups (owner, deleted flag, the segments of line groups)
// and draws nothing: what every batch is until the retained batches of the drawing layer are plugged in.
class TBookkeepingBatch : public TItemBatch {
public:
    struct TGroup {
        TBatchOwnerKey Owner = 0;
        bool Deleted = false;
        TXYZ A, B;
    };

    explicit TBookkeepingBatch(TBatchKind kind) : TItemBatch(kind) {}

    void MarkDeleted(std::span<const TBatchGroupId> groups) override;
    void ClearNew() override { Recent_.clear(); }
    void GetNewGroups(std::vector<TBatchGroupId> &groups) override { groups = Recent_; }
    void DeleteOwner(TBatchOwnerKey owner) override;
    void AddPolylineRange(TBatchOwnerKey owner, std::span<const TXYZ> points, int last, int first) override;
    void SetPicture(const TBitmap *picture, TTextureAddress u, TTextureAddress v) override;
    void SetLayerFilter(uint32_t mask) override { LayerFilter_ = mask; }
    void Draw(const TDxDrawParams &) override { ++DrawCount_; }

    // The picture last given (its size) and how it repeats.
    bool HasPicture() const { return HasPicture_; }
    int PictureWidth() const { return PictureWidth_; }
    int PictureHeight() const { return PictureHeight_; }
    TTextureAddress AddressU() const { return AddressU_; }
    TTextureAddress AddressV() const { return AddressV_; }

    // Adds one group of the owner (for item classes whose primitives are not lines yet).
    TBatchGroupId AddGroup(TBatchOwnerKey owner, const TXYZ &a = {}, const TXYZ &b = {});
    // Groups not marked deleted, of one owner or of all.
    int LiveGroupCount(TBatchOwnerKey owner) const;
    int LiveGroupCount() const;
    // Live groups in the order they were added.
    std::vector<TGroup> LiveGroups(TBatchOwnerKey owner) const;
    uint32_t LayerFilter() const { return LayerFilter_; }
    int DrawCount() const { return DrawCount_; }

private:
    void CompactIfWorthIt();

    std::vector<std::pair<TBatchGroupId, TGroup>> Groups_; // ascending ids
    std::unordered_map<TBatchGroupId, std::size_t> Index_;
    std::vector<TBatchGroupId> Recent_;
    std::size_t DeletedCount_ = 0;
    uint32_t LayerFilter_ = 0;
    int DrawCount_ = 0;
    bool HasPicture_ = false;
    int PictureWidth_ = 0, PictureHeight_ = 0;
    TTextureAddress AddressU_ = TTextureAddress::Wrap, AddressV_ = TTextureAddress::Wrap;
};

// Makes a batch for an item type or a library style.
TItemBatchPtr NewItemBatch(TBatchKind kind);

// A fresh serial for a group or an owner (never 0, never reused).
uint64_t NewBatchSerial();
