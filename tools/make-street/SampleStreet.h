#pragma once
// The sample street the program opens on `make run`: a gently curving avenue 160 m long with two road ways
// and a dividing strip between them, lawns and sidewalks on both sides sharing their edges, curbs along
// the road ways' edges on the shared vertices, and manholes on the road. Only the item types that have a
// registered class are placed.
#include "model/StreetStructure.h"

void MakeSampleStreet(TStreetStructure &street);
