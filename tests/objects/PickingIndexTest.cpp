// Picking through the street's spatial index gives exactly what a scan of every list gives: nearest item
// over type sets and radii, the candidates of each type and their ranking, on a generated street and after
// every kind of change the index must follow (moved shared vertices, new, freed and inactive items,
// splines, merges). Plus the rules a scan makes plain: a click inside a polygon far from its edges, what lies
// on a surface before it and the smaller surface first, ties within a type (list order) and across types
// (the higher code).
#include "ObjectsTestUtil.h"

#include "model/ItemList.h"
#include "model/ItemTypeCodes.h"
#include "model/PointStructure.h"
#include "objects/BortItem.h"
#include "objects/RoadWay.h"
#include "tools/make-street/ObjectFillers.h"
#include "tools/make-street/StreetGen.h"

#include "engine/UndefinedValue.h"
#include <algorithm>
#include <cmath>
#include <random>

using namespace objtest;

namespace {

constexpr double Far = UndefinedValue;

// The scan the index stands in for: each list's own search, types from the highest code down, a later
// type replacing the best only when it ranks strictly nearer.
TAbstractItem *ScanNearest(TStreetStructure &s, const TXYZ &p, const TItemTypeSet &types, double r) {
    TAbstractItem *best = nullptr;
    THitRank bestRank;
    for (int code = ItemTypeCount - 1; code >= 0; --code) {
        if (!types.Contains(code))
            continue;
        TAbstractItem *c = s.Lists(code).FindNearest(p, {}, r);
        if (!c)
            continue;
        const THitRank rank = c->PickRank(p, r);
        if (!best || rank < bestRank) {
            best = c;
            bestRank = rank;
        }
    }
    return best;
}

std::vector<TAbstractItem *> ScanCollect(TStreetStructure &s, const TXYZ &p, const TItemTypeSet &types,
                                         double r) {
    std::vector<TAbstractItem *> found;
    for (int code = ItemTypeCount - 1; code >= 0; --code)
        if (types.Contains(code))
            s.Lists(code).CollectNearest(p, {}, r, found);
    std::vector<std::pair<THitRank, TAbstractItem *>> ranked;
    for (TAbstractItem *item : found)
        ranked.emplace_back(item->PickRank(p, r), item);
    std::stable_sort(ranked.begin(), ranked.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });
    std::vector<TAbstractItem *> out;
    for (const auto &x : ranked)
        out.push_back(x.second);
    return out;
}

TItemTypeSet AllTypes() {
    TItemTypeSet all;
    for (int c = 0; c < ItemTypeCount; ++c)
        all.Include(c);
    return all;
}

// Compares index and scan at many points around the street; returns how many searches hit something.
int CompareWithScan(TStreetStructure &s, uint32_t seed, const char *stage) {
    float x0, y0, x1, y1;
    s.Pool().GetBounds(x0, y0, x1, y1);
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> ux(x0 - 20, x1 + 20), uy(y0 - 20, y1 + 20);
    const TItemTypeSet sets[] = {AllTypes(), {1, 2, 3, 4, 5, 7}, {8, 9, 26, 35}, {27, 28}};
    const double radii[] = {0.3, 2, 10, Far};
    // Vertices of the street's items, where lines, points and the surfaces they lie on meet.
    std::vector<TXYZ> onItems;
    for (int code = 0; code < ItemTypeCount; ++code)
        for (const auto &item : s.Lists(code))
            if (item->Points.Count() > 0)
                onItems.push_back(item->Points.GetPoint(0));
    std::uniform_real_distribution<double> jitter(-0.4, 0.4);
    int hits = 0;
    for (int i = 0; i < 300; ++i) {
        TXYZ p{float(ux(rng)), float(uy(rng)), 0};
        if (i % 2 == 1 && !onItems.empty()) {
            const TXYZ &v = onItems[rng() % onItems.size()];
            p = {float(v.x + jitter(rng)), float(v.y + jitter(rng)), 0};
        }
        for (const TItemTypeSet &types : sets)
            for (double r : radii) {
                TAbstractItem *want = ScanNearest(s, p, types, r);
                EXPECT_EQ(s.FindNearestItem(p, types, r), want)
                    << stage << " at " << p.x << "," << p.y << " r " << r;
                std::vector<TAbstractItem *> got;
                s.CollectNearestItems(p, types, r, {}, got);
                EXPECT_EQ(got, ScanCollect(s, p, types, r))
                    << stage << " at " << p.x << "," << p.y << " r " << r;
                hits += want != nullptr;
            }
    }
    return hits;
}

TEST(PickingIndex, AnswersAsAScanOfEveryListThroughEveryKindOfChange) {
    RegisterClasses();
    UseObjectClasses();
    TStreetStructure s;
    GenerateStreet(s, {.Vertices = 4000, .Seed = 3});
    EXPECT_GT(CompareWithScan(s, 1, "generated"), 500);
    EXPECT_TRUE(s.ItemIndex().Built());

    // Shared vertices move (every item using them follows), some far away.
    std::mt19937 rng(7);
    for (int k = 0; k < 40; ++k) {
        TStreetPointRec *rec = s.Pool().Points(int(rng() % uint32_t(s.Pool().Count())));
        if (rec->Owners.empty())
            continue;
        TPointList *owner = rec->Owners[0];
        const int i = owner->IndexOfRec(rec);
        const TXYZ p = owner->GetPoint(i);
        const float jump = k % 5 == 0 ? 300.0f : 3.0f;
        owner->SetPoint(i, {p.x + jump, p.y - jump / 2, 0});
    }
    CompareWithScan(s, 2, "moved");

    // Items go, come, lose their activity, become splines.
    std::vector<TAbstractItem *> doomed;
    for (int code : {RoadWayTypeCode, BortTypeCode})
        for (int i = 0; i < s.Lists(code).Count(); i += 3)
            doomed.push_back(s.Lists(code).Items(i));
    s.DeleteItems(doomed);
    MakeItem(s, RoadWayTypeCode, {{5, 5, 0}, {400, 5, 0}, {400, 60, 0}, {5, 60, 0}});
    MakeItem(s, BortTypeCode, {{-50, -50, 0}, {50, 90, 0}});
    // Surfaces nested in that road way and in each other, of its type and of others, a point on them.
    MakeItem(s, RoadWayTypeCode, {{20, 10, 0}, {60, 10, 0}, {60, 40, 0}, {20, 40, 0}});
    MakeItem(s, RazdPolTypeCode, {{25, 15, 0}, {40, 15, 0}, {40, 30, 0}, {25, 30, 0}});
    MakeItem(s, GazonTypeCode, {{28, 18, 0}, {35, 18, 0}, {35, 25, 0}, {28, 25, 0}});
    MakeItem(s, TestPoint, {{30, 20, 0}});
    s.SetGroupValue(Cp("Группа2"), Cp1251String("OFF"));
    for (int i = 0; i < s.Lists(BortTypeCode).Count(); i += 4)
        s.Lists(BortTypeCode).Items(i)->Points.SetSpline(true);
    CompareWithScan(s, 3, "edited");

    // A merged street's items are found where they are, the index of the emptied one is empty.
    TStreetStructure other;
    GenerateStreet(other, {.Vertices = 1500, .Seed = 9});
    CompareWithScan(other, 4, "other");
    s.Merge(other);
    CompareWithScan(s, 5, "merged");
    EXPECT_EQ(other.FindNearestItem({10, 10, 0}, AllTypes(), Far), nullptr);

    // A street read back from its bytes.
    std::unique_ptr<TStreetStructure> back = LoadBytes(SaveBytes(s));
    CompareWithScan(*back, 6, "reloaded");
}

TEST(PickingIndex, RulesOfTheSearch) {
    RegisterClasses();
    TStreetStructure s;
    // A large road way: a click in its middle is 100 m from every edge.
    TAbstractItem *big = MakeItem(s, RoadWayTypeCode, {{0, 0, 0}, {200, 0, 0}, {200, 200, 0}, {0, 200, 0}});
    // Two equal figures, a smaller one of their type inside them, and a road way equal to them.
    TAbstractItem *fig1 = MakeItem(s, TestFigure, {{500, 0, 0}, {520, 0, 0}, {520, 20, 0}, {500, 20, 0}});
    TAbstractItem *fig2 = MakeItem(s, TestFigure, {{505, 5, 0}, {515, 5, 0}, {515, 15, 0}, {505, 15, 0}});
    MakeItem(s, TestFigure, {{500, 0, 0}, {520, 0, 0}, {520, 20, 0}, {500, 20, 0}});
    TAbstractItem *road =
        MakeItem(s, RoadWayTypeCode, {{500, 0, 0}, {520, 0, 0}, {520, 20, 0}, {500, 20, 0}});
    TAbstractItem *curb = MakeItem(s, BortTypeCode, {{0, 300, 0}, {100, 300, 0}});
    TAbstractItem *post = MakeItem(s, TestPoint, {{50, 303, 0}});
    struct TCase {
        const char *Name;
        TXYZ P;
        TItemTypeSet Types;
        double R;
        TAbstractItem *Want;
    } const cases[] = {
        {"inside a polygon far from its edges", {100, 100, 0}, {RoadWayTypeCode}, 0.5, big},
        {"nested in one type: the smaller, though later in its list", {510, 10, 0}, {TestFigure}, 1, fig2},
        {"equal areas in one type: the first in its list", {502, 2, 0}, {TestFigure}, 1, fig1},
        {"equal areas across types: the higher code", {502, 2, 0}, {RoadWayTypeCode, TestFigure}, 1, fig1},
        {"a line within the radius", {50, 302, 0}, {BortTypeCode}, 2.5, curb},
        {"a line beyond it", {50, 303, 0}, {BortTypeCode}, 2.5, nullptr},
        {"the nearer of a line and a point", {50, 302.4f, 0}, {BortTypeCode, TestPoint}, 5, post},
        {"a type outside the set is never hit", {100, 100, 0}, {BortTypeCode}, 5, nullptr},
        {"nothing near", {1000, 1000, 0}, AllTypes(), 10, nullptr},
        {"not a number", {std::nanf(""), 0, 0}, AllTypes(), Far, nullptr},
    };
    for (const TCase &c : cases)
        EXPECT_EQ(s.FindNearestItem(c.P, c.Types, c.R), c.Want) << c.Name;

    // One candidate per type, nearest first.
    std::vector<TAbstractItem *> got;
    s.CollectNearestItems({50, 302.4f, 0}, AllTypes(), 5, {}, got);
    EXPECT_EQ(got, (std::vector<TAbstractItem *>{post, curb}));
    // Excluded items step aside for the next of their type.
    got.clear();
    const std::vector<TAbstractItem *> exclusion{fig2};
    s.CollectNearestItems({510, 10, 0}, {TestFigure}, 1, exclusion, got);
    EXPECT_EQ(got, (std::vector<TAbstractItem *>{fig1}));

    // Moved far away: found at its new place, no longer at its old one; freed: never returned again.
    for (int i = 0; i < road->Points.Count(); ++i) {
        const TXYZ p = road->Points.GetPoint(i);
        road->Points.SetPoint(i, {p.x + 5000, p.y, 0});
    }
    EXPECT_EQ(s.FindNearestItem({510, 10, 0}, {RoadWayTypeCode}, 1), nullptr);
    EXPECT_EQ(s.FindNearestItem({5510, 10, 0}, {RoadWayTypeCode}, 1), road);
    const std::vector<TAbstractItem *> gone{road, fig1};
    s.DeleteItems(gone);
    EXPECT_EQ(s.FindNearestItem({5510, 10, 0}, {RoadWayTypeCode}, 1), nullptr);
    EXPECT_EQ(s.FindNearestItem({510, 10, 0}, {TestFigure}, 1), fig2);

    // The rectangle search returns every item whose points lie in the rectangle.
    got.clear();
    s.ItemsNearRect({-1, 290, 120, 310}, AllTypes(), got);
    EXPECT_NE(std::find(got.begin(), got.end(), curb), got.end());
    EXPECT_NE(std::find(got.begin(), got.end(), post), got.end());
    EXPECT_EQ(std::find(got.begin(), got.end(), fig2), got.end());
}

// What lies on a surface is picked before the surface, the smallest surface holding the click before the
// larger ones, and a surface whose outline only passes near the click after those holding it; the list of
// candidates (the Ctrl menu) shows the same order.
TEST(PickingIndex, WhatLiesOnASurfaceComesBeforeIt) {
    RegisterClasses();
    TStreetStructure s;
    TAbstractItem *road = MakeItem(s, RoadWayTypeCode, {{0, 0, 0}, {40, 0, 0}, {40, 20, 0}, {0, 20, 0}});
    TAbstractItem *curb = MakeItem(s, BortTypeCode, {{10, 10, 0}, {30, 10, 0}});
    TAbstractItem *strip = MakeItem(s, RazdPolTypeCode, {{2, 2, 0}, {8, 2, 0}, {8, 6, 0}, {2, 6, 0}});
    TAbstractItem *post = MakeItem(s, TestPoint, {{25, 15, 0}});
    TAbstractItem *walk = MakeItem(s, TrotuarTypeCode, {{0, 30, 0}, {40, 30, 0}, {40, 40, 0}, {0, 40, 0}});
    TAbstractItem *lawn = MakeItem(s, GazonTypeCode, {{10, 32, 0}, {14, 32, 0}, {14, 36, 0}, {10, 36, 0}});
    TAbstractItem *house =
        MakeItem(s, HouseTypeCode, {{40.3f, 30, 0}, {50, 30, 0}, {50, 40, 0}, {40.3f, 40, 0}});
    // Two road ways of one type, the larger first in the list.
    TAbstractItem *outer = MakeItem(s, RoadWayTypeCode, {{60, 0, 0}, {100, 0, 0}, {100, 20, 0}, {60, 20, 0}});
    TAbstractItem *inner = MakeItem(s, RoadWayTypeCode, {{70, 5, 0}, {75, 5, 0}, {75, 10, 0}, {70, 10, 0}});
    (void)outer;
    using TItems = std::vector<TAbstractItem *>;
    struct TCase {
        const char *Name;
        TXYZ P;
        TItems Menu; // nearest first; its first entry is what a click picks
    } const cases[] = {
        {"a curb 5 cm from the click inside a road way", {20, 10.05f, 0}, {curb, road}},
        {"a curb beyond the pick distance", {20, 10.6f, 0}, {road}},
        {"a dividing strip inside a road way", {5, 4, 0}, {strip, road}},
        {"a lawn inside a sidewalk", {12, 34, 0}, {lawn, walk}},
        {"inside a road way away from everything", {35, 5, 0}, {road}},
        {"two nested road ways: the smaller", {72, 7, 0}, {inner}},
        {"a point item on a road way", {25.1f, 15, 0}, {post, road}},
        {"a sidewalk holding the click before a house whose outline is near", {39.9f, 35, 0}, {walk, house}},
        {"only an outline near", {50.3f, 35, 0}, {house}},
    };
    constexpr double pick = 0.5;
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(s.FindNearestItem(c.P, AllTypes(), pick), c.Menu.front());
        TItems menu;
        s.CollectNearestItems(c.P, AllTypes(), pick, {}, menu);
        EXPECT_EQ(menu, c.Menu);
        EXPECT_EQ(menu, ScanCollect(s, c.P, AllTypes(), pick));
    }
}

// The rectangle search gives, in type and list order, every item whose box meets the rectangle (and every
// item without a finite box), for one type among many and for all types, for rectangles from a few metres
// to wider than the street, also after an item of one type moves far out and items go.
TEST(PickingIndex, RectangleSearchGivesEveryItemWhoseBoxMeetsIt) {
    RegisterClasses();
    UseObjectClasses();
    TStreetStructure s;
    GenerateStreet(s, {.Vertices = 4000, .Seed = 5});
    const auto scan = [&](const TItemBounds &rect, const TItemTypeSet &types) {
        std::vector<TAbstractItem *> out;
        for (int code = 0; code < ItemTypeCount; ++code)
            for (const auto &item : s.Lists(code)) {
                TItemBounds b;
                const bool bounded =
                    item->GetHitBounds(b) && std::isfinite(b.MinX + b.MinY + b.MaxX + b.MaxY);
                if (types.Contains(code) && (!bounded || (b.MinX <= rect.MaxX && rect.MinX <= b.MaxX &&
                                                          b.MinY <= rect.MaxY && rect.MinY <= b.MaxY)))
                    out.push_back(item.get());
            }
        return out;
    };
    const auto compare = [&](const char *stage) {
        float x0, y0, x1, y1;
        s.Pool().GetBounds(x0, y0, x1, y1);
        const double mx = (x0 + x1) / 2, my = (y0 + y1) / 2;
        const struct {
            const char *Name;
            TItemBounds Rect;
        } rects[] = {
            {"a few metres", {mx - 3, my - 3, mx + 3, my + 3}},
            {"a block", {mx - 60, y0 - 1.0, mx + 60, y1 + 1.0}},
            {"the street's start", {x0 - 1.0, y0 - 1.0, x0 + 40.0, y1 + 1.0}},
            {"the whole street and more", {x0 - 500.0, y0 - 500.0, x1 + 500.0, y1 + 500.0}},
            {"beside it", {x1 + 10.0, y1 + 10.0, x1 + 20.0, y1 + 20.0}},
        };
        const TItemTypeSet sets[] = {
            AllTypes(), {BortTypeCode}, {DesignBlockTypeCode}, {RoadWayTypeCode, 25}};
        for (const auto &r : rects)
            for (const TItemTypeSet &types : sets) {
                std::vector<TAbstractItem *> got;
                s.ItemsNearRect(r.Rect, types, got);
                EXPECT_EQ(got, scan(r.Rect, types)) << stage << ": " << r.Name;
            }
    };
    compare("generated");
    // One curb goes far beyond the street: a rectangle around the street no longer holds every curb.
    TAbstractItem *curb = s.Lists(BortTypeCode).Items(0);
    for (int i = 0; i < curb->Points.Count(); ++i) {
        const TXYZ p = curb->Points.GetPoint(i);
        curb->Points.SetPoint(i, {p.x + 100000, p.y, 0});
    }
    compare("moved");
    std::vector<TAbstractItem *> doomed;
    for (int i = 0; i < s.Lists(BortTypeCode).Count(); i += 2)
        doomed.push_back(s.Lists(BortTypeCode).Items(i));
    s.DeleteItems(doomed);
    compare("deleted");
}

} // namespace
