#pragma once
// Retained primitive batches and their builders: what street items include to draw.
#include "engine/DxPrimBuilders.h"
#include "engine/DxPrimCollection.h"
#include "engine/DxVertex.h"
