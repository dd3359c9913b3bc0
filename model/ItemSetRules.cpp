#include "model/ItemSetRules.h"

#include "model/AbstractItem.h"

#include <algorithm>

bool AllOfOneType(std::span<TAbstractItem *const> items) {
    return items.empty() || AllOfType(items, items.front()->GetTypeCode());
}

bool AllOfType(std::span<TAbstractItem *const> items, int typeCode) {
    return !items.empty() && std::all_of(items.begin(), items.end(), [typeCode](const TAbstractItem *i) {
        return i != nullptr && i->GetTypeCode() == typeCode;
    });
}
