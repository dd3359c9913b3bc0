#pragma once
// Streets for the point-editor tests: the real item classes with stand-ins for the missing ones and an
// oriented point test class, items made on new or shared vertices, the limits every item must keep, and a
// street's bytes before and after a reload.
#include "engine/Streams.h"
#include "model/AbstractItem.h"
#include "model/ItemList.h"
#include "model/ItemTypeCodes.h"
#include "model/PointStructure.h"
#include "model/StreetStructure.h"
#include "objects/OrientPointItem.h"
#include "objects/RegisterObjects.h"
#include "objects/StandInItems.h"
#include "shell/PointEditOps.h"
#include "support/StreetBuild.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

namespace pointedit {

using sptest::LoadBytes;
using sptest::MakeItem;
using sptest::MakeItemOn;
using sptest::SaveBytes;

// The types the tests use by shape: outlines (road way, sidewalk), an open line (stand-in), a point
// (stand-in) and an oriented point (test class).
constexpr TItemTypeCode Outline = RoadWayTypeCode, Outline2 = TrotuarTypeCode, Line = LnDefectTypeCode,
                        Point = KolodTypeCode, Oriented = RadiusMeasureTypeCode;

class TTestOriented : public TOrientPointItem {
public:
    int GetTypeCode() const override { return Oriented; }
};

inline void RegisterTestClasses() {
    RegisterObjects();
    RegisterStandInItemClasses();
    if (ItemClasses[Line] == nullptr)
        ItemClasses.Register(std::make_unique<TItemClassOf<TStandInItem<Line, TStandInShape::Line>>>(Line));
    if (ItemClasses[Oriented] == nullptr)
        ItemClasses.Register(std::make_unique<TItemClassOf<TTestOriented>>(Oriented));
}

struct TRegistered {
    TRegistered() { RegisterTestClasses(); }
};

// A street made after the classes are registered.
struct TStreetFixture : TRegistered {
    std::unique_ptr<TStreetStructure> holder_ = std::make_unique<TStreetStructure>();
    TStreetStructure &street = *holder_;
};

class TWithStreet : public ::testing::Test, public TStreetFixture {};

// "" when every item keeps its vertex limits (also after a reload) and no list holds a vertex twice; else
// the first fault.
inline std::string CheckItemLimits(TStreetStructure &street) {
    for (int code = 0; code < ItemTypeCount; ++code) {
        for (const auto &owned : street.Lists(code)) {
            TAbstractItem *item = owned.get();
            const TPointList &l = item->Points;
            const std::string what = "type " + std::to_string(code) + " id " + std::to_string(item->ID());
            if (l.Count() > item->MaxPointCount())
                return what + ": " + std::to_string(l.Count()) + " vertices above the maximum";
            if (StoredVertexCount(l.GetPoints(), item->IsClosed()) < item->MinPointCount())
                return what + ": fewer than " + std::to_string(item->MinPointCount()) +
                       " vertices after a reload";
            std::vector<const TStreetPointRec *> refs(l.Refs().begin(), l.Refs().end());
            std::sort(refs.begin(), refs.end());
            if (std::adjacent_find(refs.begin(), refs.end()) != refs.end())
                return what + ": a vertex twice in the list";
        }
    }
    return {};
}

inline bool SameRecords(const TAbstractItem *a, int i, const TAbstractItem *b, int j) {
    return a->Points.PointRec(i) == b->Points.PointRec(j);
}

} // namespace pointedit
