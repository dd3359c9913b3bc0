#pragma once
// What the street model needs of a retained primitive batch. Items add their geometry to the batches of
// their type when their points change and keep the groups they added, so that the next rebuild (or their
// removal) can mark exactly those deleted. Groups and batches are named by serial numbers that are never
// reused: an item may outlive a batch it once drew into (the batch array of a type is rebuilt when a
// library is republished), and a stale serial then simply matches nothing.
//
// The model reaches a batch only through this interface; TPrimBatch puts the drawing layer's retained
// batches (TDxLineCollection, TDxTriangleCollection) behind it, and item classes add their primitives to
// PrimCollection(batch) with the drawing layer's builders.
#include "engine/DxCalc_0.h"
#include "engine/DxPrimCollection.h"
#include "platform/gdi/Bitmap.h"

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

// A primitive group of one batch; unique over the whole process.
using TBatchGroupId = TDxGroupId;
// The item that added a group (TAbstractItem::Serial); unique over the whole process.
using TBatchOwnerKey = TDxOwnerKey;

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
    virtual uint32_t Color() const = 0;
    virtual void SetColor(uint32_t color) = 0;
    // The picture the batch draws with (copied into a texture of its own; colour = texture + vertex
    // colour); nullptr takes it off.
    virtual void SetPicture(const TBitmap *picture, TTextureAddress u, TTextureAddress v) = 0;

    // The layer mask used as the filter of the next Draw (and given to groups added afterwards).
    virtual void SetLayerFilter(uint32_t mask) = 0;
    virtual void Draw(const TDxDrawParams &params) = 0;

private:
    uint64_t Serial_;
    TBatchKind Kind_;
};

using TItemBatchPtr = std::shared_ptr<TItemBatch>;
// The batches of one item type, in the order the type's classes index them. An entry may be empty.
using TItemBatches = std::vector<TItemBatchPtr>;

// A retained batch of the drawing layer behind the model's interface.
class TPrimBatch final : public TItemBatch {
public:
    explicit TPrimBatch(TBatchKind kind);

    TDxPrimCollection &Collection() { return *Collection_; }
    const TDxPrimCollection &Collection() const { return *Collection_; }

    void MarkDeleted(std::span<const TBatchGroupId> groups) override { Collection_->MarkDeleted(groups); }
    void ClearNew() override { Collection_->ClearNew(); }
    void GetNewGroups(std::vector<TBatchGroupId> &groups) override { Collection_->GetNewGroups(groups); }
    void DeleteOwner(TBatchOwnerKey owner) override { Collection_->DeleteOwner(owner); }
    void AddPolylineRange(TBatchOwnerKey owner, std::span<const TXYZ> points, int last, int first) override;
    uint32_t Color() const override { return Collection_->Color(); }
    void SetColor(uint32_t color) override { Collection_->SetColor(color); }
    void SetPicture(const TBitmap *picture, TTextureAddress u, TTextureAddress v) override;
    void SetLayerFilter(uint32_t mask) override { Collection_->SetLayerMask(mask); }
    void Draw(const TDxDrawParams &params) override { Collection_->Draw(params); }

private:
    std::unique_ptr<TDxPrimCollection> Collection_;
};

// Makes a batch for an item type or a library style.
TItemBatchPtr NewItemBatch(TBatchKind kind);

// The drawing layer's batch behind a model batch (nullptr for none), for item classes adding primitives.
TDxPrimCollection *PrimCollection(TItemBatch *batch);

// A fresh serial for a group, an owner or a batch (never 0, never reused).
uint64_t NewBatchSerial();
