#include "model/DxItemBatch.h"

#include "engine/DxTexture.h"
#include "model/StreetStructure.h"

TDxItemBatch::TDxItemBatch(TBatchKind kind) : TItemBatch(kind) {
    if (kind == TBatchKind::Lines)
        Prims_ = std::make_unique<TDxLineCollection>();
    else
        Prims_ = std::make_unique<TDxTriangleCollection>();
}

TDxPrimCollection &TDxItemBatch::Prims() {
    return *Prims_;
}

void TDxItemBatch::AddPolylineRange(TBatchOwnerKey owner, std::span<const TXYZ> points, int last, int first) {
    DxAddPolylineRange(Prims(), owner, points, last, first);
}

void TDxItemBatch::SetPicture(const TBitmap *picture, TTextureAddress u, TTextureAddress v) {
    if (!picture) {
        Prims_->SetTexture(nullptr);
        return;
    }
    Prims_->CreateOwnTexture();
    TTextureSurface &t = *Prims_->Texture();
    t.AddressU = u == TTextureAddress::Clamp ? 1 : 0;
    t.AddressV = v == TTextureAddress::Clamp ? 1 : 0;
    t.Assign(*picture);
}

TDxPrimCollection *DxPrims(TItemBatch *batch) {
    auto *dx = dynamic_cast<TDxItemBatch *>(batch);
    return dx ? &dx->Prims() : nullptr;
}

TDxPrimCollection *TypeDxPrims(TStreetStructure &street, int typeCode, std::size_t i) {
    TItemBatches &b = street.TypeBatches(typeCode);
    return i < b.size() ? DxPrims(b[i].get()) : nullptr;
}
