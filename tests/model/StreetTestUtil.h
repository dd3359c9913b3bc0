#pragma once
// Helpers of the street-model tests: the stand-in item classes registered once, streets read from and
// written to bytes, and small test classes that count their notifications.
#include "engine/StreetError.h"
#include "model/AbstractItem.h"
#include "model/ItemTypeCodes.h"
#include "model/StreetStructure.h"
#include "objects/ArcCoordsItem.h"
#include "objects/StandInItems.h"
#include "support/StreetBuild.h"

#include "support/Expectations.h"
#include "support/StreetBytes.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace streettest {

using sptest::LoadBytes;
using sptest::MakeItem;
using sptest::MakeItemOn;
using sptest::SaveBytes;

// The codes the counting test classes take (their own classes are not built here).
constexpr TItemTypeCode CountingOutline = HouseTypeCode, CountingLine = LnDefectTypeCode;

// An outline or a line that counts its PointsChanged calls and groups like the stand-ins.
template <int Code, TStandInShape Shape> class TCountingItem : public TStandInItem<Code, Shape> {
public:
    void PointsChanged() override { ++PointsChangedCalls; }
    void AfterLoad() override { ++AfterLoadCalls; }
    int PointsChangedCalls = 0;
    int AfterLoadCalls = 0;
};
using TCountingOutline = TCountingItem<CountingOutline, TStandInShape::Outline>;
using TCountingLine = TCountingItem<CountingLine, TStandInShape::Line>;

// A plain line (a stand-in) for the tests that need any line type.
constexpr TItemTypeCode PlainLine = RadiusMeasureTypeCode;
using TPlainLine = TStandInItem<PlainLine, TStandInShape::Line>;

// A line that draws with the library styles its comment names (a block, a line and a fill style).
constexpr TItemTypeCode StyledLine = SlopeMeasureTypeCode;
class TStyledLine : public TStandInItem<StyledLine, TStandInShape::Line> {
public:
    void GetUsedNames(TUsedNames &names) const override {
        names.BlockDefs.insert(Comment());
        names.LineDefs.insert(Comment());
        names.FigDefs.insert(Comment());
    }
};

inline void RegisterTestClasses() {
    static const bool done = [] {
        RegisterStandInItemClasses();
        if (!ItemClasses[ArcCoordsTypeCode])
            RegisterArcCoordsItem();
        if (!ItemClasses[CountingOutline])
            ItemClasses.Register(std::make_unique<TItemClassOf<TCountingOutline>>(CountingOutline));
        if (!ItemClasses[CountingLine])
            ItemClasses.Register(std::make_unique<TItemClassOf<TCountingLine>>(CountingLine));
        if (!ItemClasses[PlainLine])
            ItemClasses.Register(std::make_unique<TItemClassOf<TPlainLine>>(PlainLine));
        if (!ItemClasses[StyledLine])
            ItemClasses.Register(std::make_unique<TItemClassOf<TStyledLine>>(StyledLine));
        return true;
    }();
    (void)done;
}

// Streets copy the class table when they are made, so the classes are there before any test object.
inline const bool TestClassesRegistered = (RegisterTestClasses(), true);

// The groups of a batch not marked deleted (of one owner, or all), in the order added, as the positions
// of their first and last vertex.
struct TGroupEnds {
    TXYZ A, B;
};
inline std::vector<TGroupEnds> LiveGroups(const TItemBatch &batch, TBatchOwnerKey owner = 0) {
    const TDxPrimCollection &c = dynamic_cast<const TPrimBatch &>(batch).Collection();
    std::vector<TGroupEnds> out;
    for (std::size_t i = 0; i < c.Count(); ++i) {
        const TDxPrimGroup g = c.Group(i);
        if (g.Deleted || (owner != 0 && g.Owner != owner))
            continue;
        const TDxVertex &a = g.Vertices.front(), &b = g.Vertices.back();
        out.push_back({{a.x, a.y, a.z}, {b.x, b.y, b.z}});
    }
    return out;
}
inline int LiveGroupCount(const TItemBatch &batch, TBatchOwnerKey owner = 0) {
    return static_cast<int>(LiveGroups(batch, owner).size());
}

using sptest::ErrorOf;

} // namespace streettest
