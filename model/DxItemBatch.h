#pragma once
// An item type's batch that draws: the model's batch protocol over a retained primitive batch of the
// drawing layer (a line or a triangle collection). Item classes that fill their batches with the
// builders of the drawing layer (triangles, wide strips) create their type's batches as these and reach
// the collection through DxPrims.
#include "engine/DxDraw.h"
#include "model/BatchSeam.h"

#include <memory>

// Layer bits of batch groups: ordinary plan geometry, technical details.
constexpr uint32_t PlanLayerMask = 1;
constexpr uint32_t TechLayerMask = 2;

class TDxItemBatch final : public TItemBatch {
public:
    explicit TDxItemBatch(TBatchKind kind);

    // The collection, its colour made the batch's colour first (the builders colour every vertex with it).
    TDxPrimCollection &Prims();
    const TDxPrimCollection &Prims() const { return *Prims_; }

    void MarkDeleted(std::span<const TBatchGroupId> groups) override { Prims_->MarkDeleted(groups); }
    void ClearNew() override { Prims_->ClearNew(); }
    void GetNewGroups(std::vector<TBatchGroupId> &groups) override { Prims_->GetNewGroups(groups); }
    void DeleteOwner(TBatchOwnerKey owner) override { Prims_->DeleteOwner(owner); }
    // Lines only; a triangle batch raises EStreetError.
    void AddPolylineRange(TBatchOwnerKey owner, std::span<const TXYZ> points, int last, int first) override;
    void SetPicture(const TBitmap *picture, TTextureAddress u, TTextureAddress v) override;
    uint32_t Color() const override { return Prims_->Color(); }
    void SetColor(uint32_t color) override { Prims_->SetColor(color); }
    void SetLayerFilter(uint32_t mask) override { Prims_->SetLayerMask(mask); }
    void Draw(const TDxDrawParams &params) override { Prims_->Draw(params); }

private:
    std::unique_ptr<TDxPrimCollection> Prims_;
};

inline TItemBatchPtr NewDxItemBatch(TBatchKind kind) {
    return std::make_shared<TDxItemBatch>(kind);
}

// The drawing collection behind a batch (its colour made the batch's colour); nullptr when the batch
// is missing or only keeps bookkeeping.
TDxPrimCollection *DxPrims(TItemBatch *batch);
// Entry i of the type's batches, as a drawing collection (nullptr when there is none).
class TStreetStructure;
TDxPrimCollection *TypeDxPrims(TStreetStructure &street, int typeCode, std::size_t i);
