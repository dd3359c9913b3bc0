#include "objects/Gazon.h"

#include "objects/CurbStrips.h"

namespace {

constexpr TCurbStripRules Rules{false};

} // namespace

double TGazonItem::EdgeCurbLength(int i) {
    return ::EdgeCurbLength(*this, i, Rules);
}

double TGazonItem::CurbLength() {
    return ::CurbLength(*this, Rules);
}

std::optional<double> TGazonItem::EdgeCurbArea(int i) {
    return ::EdgeCurbArea(*this, i, Rules);
}

std::optional<double> TGazonItem::CurbArea() {
    return ::CurbArea(*this, Rules);
}

void RegisterGazonItem() {
    ItemClasses.Register(std::make_unique<TItemClassOf<TGazonItem>>(GazonTypeCode));
}
