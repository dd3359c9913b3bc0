#pragma once
// The layers item primitives are drawn in, and the drawing collection behind a batch of an item type.
#include "model/BatchSeam.h"

#include <cstddef>
#include <cstdint>

class TStreetStructure;

// Layer bits of primitive groups: ordinary plan geometry, technical details.
constexpr uint32_t PlanLayerMask = 1;
constexpr uint32_t TechLayerMask = 2;

// Entry i of the type's batches as a drawing collection; nullptr when there is none.
TDxPrimCollection *TypePrimCollection(TStreetStructure &street, int typeCode, std::size_t i);
