#include "model/ItemLayers.h"

#include "model/StreetStructure.h"

TDxPrimCollection *TypePrimCollection(TStreetStructure &street, int typeCode, std::size_t i) {
    TItemBatches &b = street.TypeBatches(typeCode);
    return i < b.size() ? PrimCollection(b[i].get()) : nullptr;
}
