#pragma once
// What a merge knows while it binds the moved containers: the moved items by their ids in the street
// they came from, and where the ids of moved items begin in each receiving list.
#include "model/AbstractItem.h"
#include "model/ItemTypes.h"

#include <array>
#include <cstdint>
#include <unordered_map>

struct TMergeMap {
    std::array<std::unordered_map<int32_t, TAbstractItem *>, ItemTypeCount> OldIds;
    // Items of the receiving list with an id at or above this came with the merge.
    std::array<int32_t, ItemTypeCount> FirstMovedId{};
    // References the moved items cannot bind may take the receiving street's own items.
    bool BindOwnItems = true;

    TAbstractItem *Find(int code, int32_t oldId) const {
        const auto &m = OldIds[static_cast<std::size_t>(code)];
        const auto it = m.find(oldId);
        return it == m.end() ? nullptr : it->second;
    }
    bool IsMoved(const TAbstractItem *item) const {
        return item->ID() >= FirstMovedId[static_cast<std::size_t>(item->GetTypeCode())];
    }
};
