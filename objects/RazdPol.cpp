#include "objects/RazdPol.h"

void RegisterRazdPolItem() {
    ItemClasses.Register(std::make_unique<TItemClassOf<TRazdPolItem>>(RazdPolTypeCode));
}
