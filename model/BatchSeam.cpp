#include "model/BatchSeam.h"

#include "engine/DxPrimBuilders.h"
#include "engine/DxTexture.h"

uint64_t NewBatchSerial() {
    return NewDxSerial();
}

TItemBatch::TItemBatch(TBatchKind kind) : Serial_(NewBatchSerial()), Kind_(kind) {}

TPrimBatch::TPrimBatch(TBatchKind kind) : TItemBatch(kind) {
    if (kind == TBatchKind::Lines)
        Collection_ = std::make_unique<TDxLineCollection>();
    else
        Collection_ = std::make_unique<TDxTriangleCollection>();
}

void TPrimBatch::AddPolylineRange(TBatchOwnerKey owner, std::span<const TXYZ> points, int last, int first) {
    DxAddPolylineRange(*Collection_, owner, points, last, first);
}

void TPrimBatch::SetPicture(const TBitmap *picture, TTextureAddress u, TTextureAddress v) {
    if (!picture) {
        Collection_->SetTexture(nullptr);
        return;
    }
    if (!Collection_->Texture())
        Collection_->CreateOwnTexture();
    TTextureSurface &texture = *Collection_->Texture();
    texture.Assign(*picture);
    // Texture plus vertex colour.
    texture.ColorArg1 = 0;
    texture.ColorArg2 = 1;
    texture.ColorOp = 0;
    texture.AddressU = u == TTextureAddress::Wrap ? 0 : 1;
    texture.AddressV = v == TTextureAddress::Wrap ? 0 : 1;
}

TItemBatchPtr NewItemBatch(TBatchKind kind) {
    return std::make_shared<TPrimBatch>(kind);
}

TDxPrimCollection *PrimCollection(TItemBatch *batch) {
    auto *prim = dynamic_cast<TPrimBatch *>(batch);
    return prim ? &prim->Collection() : nullptr;
}
