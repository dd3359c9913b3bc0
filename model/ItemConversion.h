#pragma once
// Changing the type of items: a new item of the target type takes over what every type has (the vertices,
// shared with the same neighbours, the group and both comments) and the old item's place in the
// selection; the old item is freed. Type-specific fields start at the new type's defaults.
#include <span>
#include <vector>

class TAbstractItem;
class TStreetStructure;

// Copies the vertices (sharing the same point records), the group and both comments.
void CopyConvertedAttributes(const TAbstractItem &from, TAbstractItem &to);

// Replaces each item by a new item of the type in the street, at the old item's index in the selection
// (when it was selected), and frees the old ones. The street must have a class for the type. Returns the
// new items in the order given.
std::vector<TAbstractItem *> ReplaceWithType(TStreetStructure &street, std::span<TAbstractItem *const> items,
                                             int typeCode);
