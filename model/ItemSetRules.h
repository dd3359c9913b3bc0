#pragma once
// Questions many commands and editors ask of a set of items (usually the selection).
#include <span>

class TAbstractItem;

// Every item is of the first one's type (true for no items).
bool AllOfOneType(std::span<TAbstractItem *const> items);
// Every item is of the type, and there is at least one.
bool AllOfType(std::span<TAbstractItem *const> items, int typeCode);
