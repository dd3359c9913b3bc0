// What commands ask of item sets, the change of an item's type, and where items lie along their reference
// axis: all without a window.
#include "StreetTestUtil.h"

#include "model/AxisSpan.h"
#include "model/GuideAxisInfo.h"
#include "model/ItemConversion.h"
#include "model/ItemSetRules.h"
#include "model/LineItem.h"

#include <cmath>
#include <limits>

namespace {

using namespace streettest;

// A reference axis with side names of its own, on a code nobody builds here.
constexpr TItemTypeCode TestAxisCode = SqDefectTypeCode;
class TTestAxis : public TLineItem, public TGuideAxisInfo {
public:
    int GetTypeCode() const override { return TestAxisCode; }
    bool HasAttribute(const Cp1251String &) const override { return false; }
    Cp1251String GetLeftSideName() const override { return Cp1251String("L"); }
    Cp1251String GetRightSideName() const override { return Cp1251String("R"); }
    Cp1251String GetCenterSideName() const override { return Cp1251String("C"); }
};

const bool AxisRegistered = [] {
    RegisterTestClasses();
    if (!ItemClasses[TestAxisCode])
        ItemClasses.Register(std::make_unique<TItemClassOf<TTestAxis>>(TestAxisCode));
    return true;
}();

TEST(ItemSetRules, OneTypeAndOfType) {
    TStreetStructure s;
    TAbstractItem *a = MakeItem(s, RoadWayTypeCode, {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}});
    TAbstractItem *b = MakeItem(s, RoadWayTypeCode, {{5, 0, 0}, {6, 0, 0}, {6, 1, 0}});
    TAbstractItem *c = MakeItem(s, TrotuarTypeCode, {{9, 0, 0}, {8, 0, 0}, {8, 1, 0}});
    const struct {
        std::vector<TAbstractItem *> Items;
        bool OneType, AllRoadWays;
    } cases[] = {
        {{}, true, false},
        {{a}, true, true},
        {{a, b}, true, true},
        {{a, c}, false, false},
        // The odd one last, where a check of the first two alone would miss it.
        {{a, b, c}, false, false},
        {{c, c}, true, false},
    };
    for (const auto &k : cases) {
        SCOPED_TRACE(k.Items.size());
        EXPECT_EQ(AllOfOneType(k.Items), k.OneType);
        EXPECT_EQ(AllOfType(k.Items, RoadWayTypeCode), k.AllRoadWays);
    }
}

TEST(ItemConversion, KeepsSharedVerticesTextsAndSelectionPlace) {
    TStreetStructure s;
    TAbstractItem *road = MakeItem(s, RoadWayTypeCode, {{0, 0, 1}, {10, 0, 2}, {10, 5, 3}});
    TAbstractItem *curb = MakeItemOn(s, BortTypeCode, {road->Points.PointRec(2), road->Points.PointRec(1)});
    TAbstractItem *other = MakeItem(s, RoadWayTypeCode, {{20, 0, 0}, {30, 0, 0}, {30, 5, 0}});
    road->SetGroupName(Cp1251String("G"));
    road->SetComment(Cp1251String("c1"));
    road->SetComment2(Cp1251String("c2"));
    s.Selection().AddItem(other);
    s.Selection().AddItem(road);
    s.Selection().AddItem(curb);
    TStreetPointRec *shared = road->Points.PointRec(2);
    TAbstractItem *const items[] = {road, other};
    const std::vector<TAbstractItem *> made = ReplaceWithType(s, items, TrotuarTypeCode);

    ASSERT_EQ(made.size(), 2u);
    EXPECT_EQ(s.Lists(RoadWayTypeCode).Count(), 0);
    EXPECT_EQ(s.Lists(TrotuarTypeCode).Count(), 2);
    TAbstractItem *walk = made[0];
    EXPECT_EQ(walk->GetTypeCode(), TrotuarTypeCode);
    ASSERT_EQ(walk->Points.Count(), 3);
    // The vertex is the curb's still: moving one moves the other.
    EXPECT_EQ(walk->Points.PointRec(2), shared);
    EXPECT_EQ(curb->Points.PointRec(0), shared);
    EXPECT_EQ(walk->Points.GetPoint(1).z, 2);
    EXPECT_EQ(walk->GroupName(), Cp1251String("G"));
    EXPECT_EQ(walk->Comment(), Cp1251String("c1"));
    EXPECT_EQ(walk->Comment2(), Cp1251String("c2"));
    // Each new item stands where its old one stood in the selection.
    ASSERT_EQ(s.Selection().Count(), 3);
    EXPECT_EQ(s.Selection().Items(0), made[1]);
    EXPECT_EQ(s.Selection().Items(1), walk);
    EXPECT_EQ(s.Selection().Items(2), curb);
    EXPECT_TRUE(s.Modified());
}

TEST(ItemConversion, AnUnselectedItemStaysOutOfTheSelectionAndATypeWithoutClassIsRefused) {
    TStreetStructure s;
    TAbstractItem *road = MakeItem(s, RoadWayTypeCode, {{0, 0, 0}, {10, 0, 0}, {10, 5, 0}});
    TAbstractItem *const items[] = {road};
    const std::vector<TAbstractItem *> made = ReplaceWithType(s, items, TrotuarTypeCode);
    ASSERT_EQ(made.size(), 1u);
    EXPECT_EQ(s.Selection().Count(), 0);

    TAbstractItem *const again[] = {made[0]};
    EXPECT_THROW(ReplaceWithType(s, again, SvetoforTypeCode), EStreetError);
    EXPECT_EQ(s.Lists(TrotuarTypeCode).Count(), 1);
}

TEST(AxisSpan, StationsAndSidesOfItemsAlongTheAxis) {
    TStreetStructure s;
    TAbstractItem *axis = MakeItem(s, TestAxisCode, {{0, 0, 0}, {100, 0, 0}});
    const struct {
        const char *Name;
        std::vector<TXYZ> Points;
        bool Known;
        double First, Last;
        const char *Side;
    } cases[] = {
        {"left", {{10, 3, 0}, {25, 4, 0}}, true, 10, 25, "L"},
        {"right", {{40, -3, 0}, {30, -1, 0}}, true, 30, 40, "R"},
        {"both sides", {{5, 2, 0}, {15, -2, 0}}, true, 5, 15, "C"},
        // On the axis itself counts as its left side.
        {"exactly on the axis", {{50, 0, 0}, {60, 0, 0}}, true, 50, 60, "L"},
        {"no vertices", {}, false, 0, 0, ""},
    };
    for (const auto &k : cases) {
        SCOPED_TRACE(k.Name);
        TAbstractItem *item = s.Lists(BortTypeCode).AddNew();
        for (const TXYZ &p : k.Points)
            item->Points.InsertNewPoint(item->Points.Count(), p);
        item->SetReferAxis(axis);
        const TItemAxisPlace place = ItemAxisPlace(*item);
        EXPECT_EQ(place.Span.Known(), k.Known);
        if (k.Known) {
            EXPECT_NEAR(place.Span.First, k.First, 1e-4);
            EXPECT_NEAR(place.Span.Last, k.Last, 1e-4);
        } else {
            EXPECT_TRUE(IsUndefinedValue(place.Span.First));
            EXPECT_EQ(StationText(place.Span.First), Cp1251String());
        }
        EXPECT_EQ(place.Side, Cp1251String(k.Side));
    }
}

TEST(AxisSpan, NoGuideAxisOrAShortOneKnowsNothing) {
    TStreetStructure s;
    TAbstractItem *item = MakeItem(s, BortTypeCode, {{10, 3, 0}, {25, 4, 0}});
    EXPECT_FALSE(ItemAxisPlace(*item).Span.Known());
    // Without an own axis the street's main axis serves.
    TAbstractItem *main = MakeItem(s, TestAxisCode, {{0, 10, 0}, {100, 10, 0}});
    s.SetMainAxis(main);
    EXPECT_TRUE(ItemAxisPlace(*item).Span.Known());
    EXPECT_EQ(ItemAxisPlace(*item).Side, Cp1251String("R"));
    s.SetMainAxis(nullptr);
    // An item that is no guide axis names no sides.
    TAbstractItem *notAxis = MakeItem(s, BortTypeCode, {{0, 0, 0}, {100, 0, 0}});
    item->SetReferAxis(notAxis);
    EXPECT_FALSE(ItemAxisPlace(*item).Span.Known());
    EXPECT_EQ(ItemAxisPlace(*item).Side, Cp1251String());
    TAbstractItem *stub = MakeItem(s, TestAxisCode, {{0, 0, 0}});
    item->SetReferAxis(stub);
    EXPECT_FALSE(ItemAxisPlace(*item).Span.Known());
}

TEST(AxisSpan, StationTextKeepsTheReportFormat) {
    const struct {
        double Value;
        const char *Text;
    } cases[] = {
        {0, "  0.0"},          {20, " 20.0"},
        {-3.25, " -3.2"},      {1234.56, "1234.6"},
        {0.05, "  0.1"},       {UndefinedValue, ""},
        {-UndefinedValue, ""}, {std::numeric_limits<double>::quiet_NaN(), ""},
    };
    for (const auto &k : cases) {
        SCOPED_TRACE(k.Value);
        EXPECT_EQ(StationText(k.Value), Cp1251String(k.Text));
    }
}

} // namespace
