// Generated streets with the surface and curb classes: every type appears, road ways share edges with
// sidewalks and lawns with curbs on the shared vertices, and the street reads back as written.
#include "ObjectsTestUtil.h"

#include "model/ItemLayers.h"
#include "objects/BortItem.h"
#include "objects/Gazon.h"
#include "objects/RoadWay.h"
#include "objects/Trotuar.h"
#include "tools/make-street/ObjectFillers.h"
#include "tools/make-street/StreetGen.h"
#include "tools/make-street/StreetInvariants.h"

using namespace objtest;

namespace {

TEST(GeneratedStreet, HoldsSurfacesSharingEdgesWithCurbsOnThem) {
    RegisterClasses();
    UseObjectClasses();
    TStreetStructure s;
    GenerateStreet(s, {.Vertices = 3000, .Seed = 5});
    for (int code : {1, 2, 3, 4, 5, 6, 8, int(AxisTypeCode), int(KMSignTypeCode)})
        EXPECT_GT(s.Lists(code).Count(), 0) << code;
    EXPECT_EQ(s.GetMainAxis(), s.Lists(AxisTypeCode).Items(0));

    // Road ways beside sidewalks and lawns, curbs on those edges.
    TItemTypeSet roadNeighbours;
    for (const auto &item : s.Lists(RoadWayTypeCode))
        roadNeighbours |= item->Points.GetAllEdgeNeighbourTypes();
    EXPECT_TRUE(roadNeighbours.Contains(TrotuarTypeCode));
    EXPECT_TRUE(roadNeighbours.Contains(GazonTypeCode));
    EXPECT_TRUE(roadNeighbours.Contains(BortTypeCode));
    double walkCurbs = 0, lawnCurbs = 0;
    int unknownAreas = 0;
    for (const auto &item : s.Lists(TrotuarTypeCode)) {
        auto *walk = dynamic_cast<TTrotuarItem *>(item.get());
        walkCurbs += walk->CurbLength();
        unknownAreas += !walk->CurbArea();
    }
    for (const auto &item : s.Lists(GazonTypeCode))
        lawnCurbs += dynamic_cast<TGazonItem *>(item.get())->CurbLength();
    EXPECT_GT(walkCurbs, 0);
    EXPECT_GT(lawnCurbs, 0);
    EXPECT_GT(unknownAreas, 0) << "some curbs carry a grade the dictionary lacks";

    EXPECT_EQ(CheckStreetInvariants(s), "");
    const std::vector<uint8_t> bytes = SaveBytes(s);
    std::unique_ptr<TStreetStructure> back = LoadBytes(bytes);
    EXPECT_EQ(CheckStreetInvariants(*back), "");
    EXPECT_EQ(SaveBytes(*back), bytes);

    back->UpdateGraphics(FullTypeSet());
    for (int code : {1, 2, 3, 4, 5, 6, 8, int(AxisTypeCode)})
        EXPECT_GT(TypePrimCollection(*back, code, code == BortTypeCode ? 1 : 0)->Count(), 0u) << code;
}

} // namespace
