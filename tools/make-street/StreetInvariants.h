#pragma once
// The consistency a street must keep whatever happened to it: every item in its list with its street and
// a unique positive id not above the list's MaxId; every vertex of every point list a record of the
// street's pool that lists the point list among its owners as often as it is used, and no other owner;
// every slot of every registered container an item of this street that is still in its list.
// Used by the fuzz targets and the tests after loads, merges, pastes and deletions.
#include "model/StreetStructure.h"

#include <string>

// "" when the street is consistent, else what is wrong first.
std::string CheckStreetInvariants(TStreetStructure &street);

// Rebuilds every marking item and checks the paint figures and laid-out labels they keep: "" when every one
// is a finite number not below 0 (an island or a crossing may report its paint area unknown), else the first
// that is not. New marking types add their figures here.
std::string CheckPaintFigures(TStreetStructure &street);
