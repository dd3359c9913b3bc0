#include "shell/StreetSelection.h"

#include "model/AbstractItem.h"
#include "model/StreetStructure.h"
#include "shell/StreetsHolder.h"

namespace {

// The selection of the active street; nullptr when no street is open (nothing is made here).
const TConnectedItems *ActiveSelection(const TStreetsHolderModule &holder) {
    TStreetStructure *street = holder.FindActiveStreet();
    return street != nullptr ? &street->Selection() : nullptr;
}

} // namespace

int TStreetSelection::CurrentItemType() const {
    const TAbstractItem *item = CurrentItem();
    return item != nullptr ? item->GetTypeCode() : -1;
}

int TStreetSelection::SelectedCount() const {
    const TConnectedItems *s = ActiveSelection(holder_);
    if (s == nullptr)
        return 0;
    int n = 0;
    for (const TAbstractItem *item : s->Slots())
        n += item != nullptr ? 1 : 0;
    return n;
}

TItemTypeSet TStreetSelection::SelectedTypes() const {
    TItemTypeSet types;
    if (const TConnectedItems *s = ActiveSelection(holder_))
        for (const TAbstractItem *item : s->Slots())
            if (item != nullptr)
                types.Include(item->GetTypeCode());
    return types;
}

TAbstractItem *TStreetSelection::CurrentItem() const {
    const TConnectedItems *s = ActiveSelection(holder_);
    if (s == nullptr)
        return nullptr;
    for (TAbstractItem *item : s->Slots())
        if (item != nullptr)
            return item;
    return nullptr;
}
