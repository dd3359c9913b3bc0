// Generated streets with the surface and curb classes: every type appears, road ways share edges with
// sidewalks and lawns with curbs on the shared vertices, and the street reads back as written.
#include "ObjectsTestUtil.h"

#include "model/ItemLayers.h"
#include "objects/BortItem.h"
#include "objects/Gazon.h"
#include "objects/OstrovokItem.h"
#include "objects/RoadWay.h"
#include "objects/Trotuar.h"
#include "objects/ZebraItem.h"
#include "tools/make-street/ObjectFillers.h"
#include "tools/make-street/StreetGen.h"
#include "tools/make-street/StreetInvariants.h"

#include <cmath>
#include <set>
#include <string>
#include <vector>

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

// Islands of every scheme and crossings of every kind, all measurable, on the carriageway (rows 1 and 2,
// y 3.5 to 10.5) and clear of one another and of the other marking figures.
TEST(GeneratedStreet, IslandsAndCrossingsOfEveryKindLieOnTheCarriageway) {
    RegisterClasses();
    UseObjectClasses();
    TStreetStructure s;
    GenerateStreet(s, {.Vertices = 20000, .Seed = 3});
    EXPECT_EQ(CheckStreetInvariants(s), "");
    EXPECT_EQ(CheckPaintFigures(s), "");

    struct TBox {
        TItemBounds Box;
        const TAbstractItem *Item;
    };
    std::vector<TBox> boxes;
    std::set<int> schemes; // 0 to 4, 5 for the nose hatch
    int outlineless = 0;
    for (const auto &item : s.Lists(OstrovokTypeCode)) {
        auto *island = dynamic_cast<TOstrovokItem *>(item.get());
        ASSERT_TRUE(island);
        SCOPED_TRACE("island " + std::to_string(island->ID()));
        schemes.insert(island->StandardScheme ? island->GostVariant() : 5);
        outlineless += island->NoOutline != 0;
        // Items of a group switched off are not drawn, so they keep no figures.
        if (island->Active) {
            EXPECT_EQ(island->GetPaintDoubt(), TOstrovokItem::TPaintDoubt::None);
            EXPECT_FALSE(island->HatchQuads.empty()) << "filled plainly: its shape does not fit its scheme";
            EXPECT_GT(island->FillArea, 0);
            EXPECT_GE(island->GetPaintArea().value_or(0), island->FillArea);
        }
        TItemBounds box;
        ASSERT_TRUE(island->GetHitBounds(box));
        EXPECT_GE(box.MinY, 3.5);
        EXPECT_LE(box.MaxY, 10.5);
        boxes.push_back({box, island});
    }
    EXPECT_EQ(schemes, (std::set<int>{0, 1, 2, 3, 4, 5}));
    EXPECT_GT(outlineless, 0);

    std::set<std::pair<bool, bool>> crossings; // wide, yellow
    for (const auto &item : s.Lists(ZebraTypeCode)) {
        auto *zebra = dynamic_cast<TZebraItem *>(item.get());
        ASSERT_TRUE(zebra);
        SCOPED_TRACE("crossing " + std::to_string(zebra->ID()));
        crossings.insert({zebra->Width > TZebraItem::NarrowLimit, zebra->YellowBackground != 0});
        // Seven metres of carriageway: stripes at 0.5 to 6.5 m, the second and the second last halved
        // when wide.
        const double stripes = zebra->Width > TZebraItem::NarrowLimit ? 6 : 7;
        if (zebra->Active)
            EXPECT_NEAR(zebra->GetWhiteArea().value_or(-1), stripes * zebra->Width * TZebraItem::StripeWidth, 1e-6);
        if (zebra->Active)
            EXPECT_EQ(zebra->GetYellowArea().value_or(-1) > 0, zebra->YellowBackground != 0);
        TItemBounds box;
        ASSERT_TRUE(zebra->GetHitBounds(box));
        EXPECT_GE(box.MinY, 3.5 - 0.01);
        EXPECT_LE(box.MaxY, 10.5 + 0.01);
        // The stripes reach half the width either side of the crossing line.
        box.MinX -= zebra->Width / 2 + TZebraItem::HalfGap;
        box.MaxX += zebra->Width / 2 + TZebraItem::HalfGap;
        boxes.push_back({box, zebra});
    }
    EXPECT_EQ(crossings.size(), 4u);

    for (int code : {ArrowRazmetTypeCode, RazmetStopTypeCode, RazmetLabelPlaceTypeCode})
        for (const auto &item : s.Lists(code)) {
            TItemBounds box;
            if (item->GetHitBounds(box))
                boxes.push_back({box, item.get()});
        }
    const auto overlap = [](const TItemBounds &a, const TItemBounds &b) {
        return a.MinX < b.MaxX && b.MinX < a.MaxX && a.MinY < b.MaxY && b.MinY < a.MaxY;
    };
    int overlaps = 0;
    for (std::size_t i = 0; i < boxes.size(); ++i)
        for (std::size_t k = i + 1; k < boxes.size(); ++k)
            if ((boxes[i].Item->GetTypeCode() == OstrovokTypeCode ||
                 boxes[i].Item->GetTypeCode() == ZebraTypeCode) &&
                overlap(boxes[i].Box, boxes[k].Box) && ++overlaps < 5)
                ADD_FAILURE() << "type " << boxes[i].Item->GetTypeCode() << " id " << boxes[i].Item->ID()
                              << " overlaps type " << boxes[k].Item->GetTypeCode() << " id "
                              << boxes[k].Item->ID();
}

// What a street shows around x = at: each item lying wholly within 70 m of it, by type, comment, group
// and spline flag, with its points relative to at, in order.
struct TItemAround {
    std::string Head;
    std::vector<TXYZ> Points;
};

std::vector<TItemAround> ItemsAround(TStreetStructure &s, double at) {
    std::vector<TItemAround> items;
    for (int code = 0; code < ItemTypeCount; ++code)
        for (const auto &item : s.Lists(code)) {
            TItemAround a{std::to_string(code) + " " + item->Comment().Bytes() + " " + item->GroupName().Bytes() +
                              " " + std::to_string(item->Points.Spline()),
                          {}};
            bool inside = item->Points.Count() > 0;
            for (int i = 0; i < item->Points.Count(); ++i) {
                const TXYZ p = item->Points.GetPoint(i);
                inside = inside && std::fabs(p.x - at) < 70;
                a.Points.push_back({static_cast<float>(p.x - at), p.y, p.z});
            }
            if (inside)
                items.push_back(std::move(a));
        }
    return items;
}

// Equal items; points equal but for single-precision rounding of coordinates ten times larger.
bool SameItems(const std::vector<TItemAround> &a, const std::vector<TItemAround> &b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].Head != b[i].Head || a[i].Points.size() != b[i].Points.size())
            return false;
        for (std::size_t k = 0; k < a[i].Points.size(); ++k)
            if (VectorDistance(a[i].Points[k], b[i].Points[k]) > 0.02)
                return false;
    }
    return true;
}

TEST(GeneratedStreet, ARepeatingStreetShowsTheSameItemsAtEachPeriod) {
    RegisterClasses();
    UseObjectClasses();
    TStreetStructure shorter, longer;
    const TStreetGenOptions a{.Vertices = 8000, .Seed = 4, .RepeatBlocks = 20},
        b{.Vertices = 30000, .Seed = 4, .RepeatBlocks = 20};
    GenerateStreet(shorter, a);
    GenerateStreet(longer, b);
    const double atA = StreetGenMiddlePeriodStart(a), atB = StreetGenMiddlePeriodStart(b);
    // Period starts near the middle, apart from the street's ends.
    EXPECT_EQ(std::fmod(atA, 20 * StreetGenBlockLength()), 0);
    EXPECT_GT(atA, 2 * StreetGenBlockLength());
    EXPECT_LT(atA, (StreetGenBlocks(a) - 2) * StreetGenBlockLength());
    EXPECT_NE(atA, atB);
    const std::vector<TItemAround> itemsA = ItemsAround(shorter, atA), itemsB = ItemsAround(longer, atB);
    EXPECT_GT(itemsA.size(), 20u);
    EXPECT_TRUE(SameItems(itemsA, itemsB));
    // The same place of the pattern further along the longer street looks the same too.
    EXPECT_TRUE(SameItems(ItemsAround(longer, atB + 20 * StreetGenBlockLength()), itemsB));
    // Without repetition the streets differ there.
    TStreetStructure plain;
    GenerateStreet(plain, {.Vertices = 8000, .Seed = 4});
    EXPECT_FALSE(SameItems(ItemsAround(plain, atA), itemsA));
}

} // namespace
