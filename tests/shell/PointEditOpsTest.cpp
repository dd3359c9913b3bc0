// The point editor's vertex edits on shared vertices: every item using a vertex follows, and no edit leaves
// an item outside its vertex limits (also as a reader of the saved street sees it) or a vertex twice in one
// list.
#include "shell/PointEditTestUtil.h"

#include <cmath>
#include <functional>
#include <numbers>

using namespace pointedit;

namespace {

// Two unit squares side by side sharing the edge x = 1, and a curb-like line on that edge.
struct TSharedEdge : TStreetFixture {
    TSharedEdge() {
        a = MakeItem(street, Outline, {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}});
        r10 = a->Points.PointRec(1);
        r11 = a->Points.PointRec(2);
        b = MakeItemOn(street, Outline2, {r10, nullptr, nullptr, r11});
        b->Points.InsertNewPoint(1, {2, 0, 0});
        b->Points.InsertNewPoint(2, {2, 1, 0});
        line = MakeItemOn(street, Line, {r10, r11});
    }
    TAbstractItem *a, *b, *line;
    TStreetPointRec *r10, *r11;
};

class SharedEdge : public ::testing::Test, public TSharedEdge {};

TEST_F(SharedEdge, FixtureSharesTheEdge) {
    ASSERT_EQ(b->Points.Count(), 4);
    EXPECT_EQ(b->Points.PointRec(0), r10);
    EXPECT_EQ(b->Points.PointRec(3), r11);
    EXPECT_EQ(r10->Owners.size(), 3u);
}

TEST_F(SharedEdge, MovingASharedVertexMovesEveryItemUsingIt) {
    a->Points.CurrentIndex = 1;
    EXPECT_TRUE(MoveCurrentPoint(*a, {1.25f, -0.5f, 0}).Changed());
    for (const TAbstractItem *item : {a, b, line})
        EXPECT_TRUE(VectorsEqual(item->Points.GetPoint(item->Points.IndexOfRec(r10)), TXYZ{1.25f, -0.5f, 0}));
}

TEST_F(SharedEdge, CtrlAddGoesIntoEveryItemOnTheEdge) {
    // b holds the edge as its closing edge (3 -> 0): the point goes to its index 0; the line holds it as 0-1.
    a->Points.CurrentIndex = 1;
    ASSERT_TRUE(AddPoint(*a, {1, 0.5f, 0}, true).Changed());
    TStreetPointRec *added = a->Points.PointRec(2);
    EXPECT_EQ(a->Points.CurrentIndex, 2);
    EXPECT_EQ(a->Points.Count(), 5);
    ASSERT_EQ(b->Points.Count(), 5);
    EXPECT_EQ(b->Points.PointRec(0), added);
    ASSERT_EQ(line->Points.Count(), 3);
    EXPECT_EQ(line->Points.PointRec(1), added);
    // Without Ctrl only the edited item gets it.
    ASSERT_TRUE(AddPoint(*a, {1, 0.75f, 0}, false).Changed());
    EXPECT_EQ(b->Points.Count(), 5);
    EXPECT_EQ(CheckItemLimits(street), "");
}

TEST_F(SharedEdge, AddingToAnEmptyItemMakesVertexZeroCurrent) {
    TAbstractItem *empty = street.Lists(Line).AddNew();
    empty->Points.CurrentIndex = 5;
    ASSERT_TRUE(AddPoint(*empty, {7, 7, 0}, false).Changed());
    EXPECT_EQ(empty->Points.Count(), 1);
    EXPECT_EQ(empty->Points.CurrentIndex, 0);
}

TEST_F(SharedEdge, DeletingEverywhereAsksBeforeDroppingDegenerateItems) {
    struct Case {
        const char *name;
        bool answer;
        int asked, countA, countB;
        bool lineLives;
    };
    for (const Case &c : {Case{"refused", false, 1, 4, 4, true}, Case{"confirmed", true, 1, 3, 3, false}}) {
        SCOPED_TRACE(c.name);
        TSharedEdge fresh;
        fresh.a->Points.CurrentIndex = 1;
        int asked = 0;
        const TEditResult r = DeleteCurrentPointEverywhere(*fresh.a, [&](int degenerate) {
            ++asked;
            EXPECT_EQ(degenerate, 1);
            return c.answer;
        });
        EXPECT_EQ(asked, c.asked);
        EXPECT_EQ(r.Changed(), c.answer);
        EXPECT_EQ(fresh.a->Points.Count(), c.countA);
        EXPECT_EQ(fresh.b->Points.Count(), c.countB);
        EXPECT_EQ(fresh.street.Lists(Line).Count() == 1, c.lineLives);
        EXPECT_EQ(CheckItemLimits(fresh.street), "");
    }
}

TEST_F(SharedEdge, DeleteKeepsTheMinimumAsAReaderSeesIt) {
    // A square whose vertex 2 sits within a millimetre of vertex 1: deleting vertex 3 leaves what a reader
    // reads as two points.
    TAbstractItem *q = MakeItem(street, Outline, {{10, 0, 0}, {11, 0, 0}, {11.0005f, 0, 0}, {10, 1, 0}});
    q->Points.CurrentIndex = 3;
    const TEditResult r = DeleteCurrentPoint(*q);
    EXPECT_EQ(r.Kind, TEditResult::Refused);
    EXPECT_FALSE(r.Message.isEmpty());
    EXPECT_EQ(q->Points.Count(), 4);
    // A triangle at its minimum: nothing at all.
    TAbstractItem *t = MakeItem(street, Outline, {{20, 0, 0}, {21, 0, 0}, {20, 1, 0}});
    t->Points.CurrentIndex = 0;
    EXPECT_EQ(DeleteCurrentPoint(*t).Kind, TEditResult::Nothing);
    EXPECT_EQ(t->Points.Count(), 3);
}

TEST_F(SharedEdge, AddingBetweenNeighboursAHairApartIsRefused) {
    // 1.5 mm apart: a point between them would make a reader drop two of the three.
    TAbstractItem *t = MakeItem(street, Outline, {{10, 0, 0}, {10.0015f, 0, 0}, {10, 1, 0}});
    t->Points.CurrentIndex = 0;
    const int points = street.Pool().Count();
    EXPECT_EQ(AddPoint(*t, {10.00075f, 0, 0}, false).Kind, TEditResult::Refused);
    EXPECT_EQ(t->Points.Count(), 3);
    EXPECT_EQ(street.Pool().Count(), points);
}

// A road way of five vertices whose edge P-Q is 1.5 mm long, a sidewalk triangle (Q, P, R) and a curb
// (P, Q) on that edge, and a line with a vertex M in the middle of it: whatever lands on M falls within a
// millimetre of both P and Q, so a reader keeps only one of the three.
struct THairEdge : TStreetFixture {
    THairEdge() {
        road = MakeItem(street, Outline, {{10, 0, 0}, {10.0015f, 0, 0}, {12, 1, 0}, {11, 3, 0}, {9, 2, 0}});
        TStreetPointRec *p = road->Points.PointRec(0), *q = road->Points.PointRec(1);
        triangle = MakeItemOn(street, Outline2, {q, p});
        triangle->Points.InsertNewPoint(2, {10, -1, 0});
        curb = MakeItemOn(street, Line, {p, q});
        TAbstractItem *line = MakeItem(street, Line, {Mid, {10.5f, -2, 0}});
        m = line->Points.PointRec(0);
    }
    static constexpr TXYZ Mid{10.00075f, 0, 0};
    TAbstractItem *road, *triangle, *curb;
    TStreetPointRec *m;
};

TEST(HairEdge, NoEditLetsAReaderDropAnItemOnTheShortEdge) {
    struct Case {
        const char *name;
        std::function<TEditResult(THairEdge &)> edit;
        TEditResult::TKind kind;
    };
    const Case cases[] = {
        // The road way keeps four vertices a reader reads; the triangle would keep two.
        {"Ctrl-add on the road way goes into the triangle too",
         [](THairEdge &f) {
             f.road->Points.CurrentIndex = 0;
             return AddPoint(*f.road, THairEdge::Mid, true);
         },
         TEditResult::Refused},
        {"add on the road way alone",
         [](THairEdge &f) {
             f.road->Points.CurrentIndex = 0;
             return AddPoint(*f.road, THairEdge::Mid, false);
         },
         TEditResult::Done},
        {"Ctrl-connect puts M into the triangle",
         [](THairEdge &f) {
             f.triangle->Points.CurrentIndex = 0;
             return ConnectCurrentPoint(*f.triangle, f.m, TConnectKind::Insert);
         },
         TEditResult::Refused},
        {"Ctrl-connect puts M into the road way",
         [](THairEdge &f) {
             f.road->Points.CurrentIndex = 0;
             return ConnectCurrentPoint(*f.road, f.m, TConnectKind::Insert);
         },
         TEditResult::Done},
        // The cut's new vertex in the middle would leave both halves a single vertex each on reading.
        {"a cut across the curb",
         [](THairEdge &f) {
             const TXYZ from{THairEdge::Mid.x, -1, 0}, to{THairEdge::Mid.x, 1, 0};
             return CutItem(*f.curb, from, to) ? TEditResult::MadeChange() : TEditResult::NoChange();
         },
         TEditResult::Nothing},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        THairEdge f;
        const int points = f.street.Pool().Count();
        const TEditResult r = c.edit(f);
        EXPECT_EQ(r.Kind, c.kind);
        EXPECT_EQ(f.triangle->Points.Count(), 3);
        EXPECT_EQ(f.curb->Points.Count(), 2);
        if (r.Kind != TEditResult::Done) {
            EXPECT_EQ(r.Message.isEmpty(), r.Kind == TEditResult::Nothing);
            EXPECT_EQ(f.road->Points.Count(), 5);
            EXPECT_EQ(f.street.Pool().Count(), points);
        }
        EXPECT_EQ(CheckItemLimits(f.street), "");
        const std::unique_ptr<TStreetStructure> back = LoadBytes(SaveBytes(f.street));
        EXPECT_EQ(back->Lists(Outline).Count(), 1);
        EXPECT_EQ(back->Lists(Outline2).Count(), 1);
        EXPECT_EQ(back->Lists(Line).Count(), f.street.Lists(Line).Count());
    }
}

TEST_F(SharedEdge, DisconnectLeavesTheOthersOnTheOldVertex) {
    a->Points.CurrentIndex = 1;
    ASSERT_TRUE(DisconnectCurrentPoint(*a).Changed());
    EXPECT_NE(a->Points.PointRec(1), r10);
    EXPECT_TRUE(VectorsEqual(a->Points.GetPoint(1), r10->Position()));
    EXPECT_EQ(b->Points.PointRec(0), r10);
    EXPECT_EQ(line->Points.PointRec(0), r10);
    EXPECT_EQ(r10->Owners.size(), 2u);
    // A vertex of its own has nothing to leave.
    a->Points.CurrentIndex = 0;
    EXPECT_EQ(DisconnectCurrentPoint(*a).Kind, TEditResult::Nothing);
}

TEST_F(SharedEdge, ConnectKindsOnSharedVertices) {
    // A separate line from (0, 2) to (1, 2) joins the square's corner (0, 1) in three ways.
    struct Case {
        const char *name;
        TConnectKind kind;
        int count, current;
    };
    for (const Case &c :
         {Case{"replace", TConnectKind::Replace, 2, 0}, Case{"insert", TConnectKind::Insert, 3, 1},
          Case{"relink", TConnectKind::Relink, 2, 0}}) {
        SCOPED_TRACE(c.name);
        TSharedEdge f;
        TAbstractItem *l = MakeItem(f.street, Line, {{0, 2, 0}, {1, 2, 0}});
        TStreetPointRec *corner = f.a->Points.PointRec(3);
        l->Points.CurrentIndex = 0;
        ASSERT_TRUE(ConnectCurrentPoint(*l, corner, c.kind).Changed());
        EXPECT_EQ(l->Points.Count(), c.count);
        EXPECT_EQ(l->Points.CurrentIndex, c.current);
        EXPECT_EQ(l->Points.PointRec(c.current), corner);
        // Connecting to a vertex already in the item does nothing.
        EXPECT_EQ(ConnectCurrentPoint(*l, corner, c.kind).Kind, TEditResult::Nothing);
        EXPECT_EQ(CheckItemLimits(f.street), "");
    }
}

TEST_F(SharedEdge, RelinkNeverLeavesAVertexTwiceInAList) {
    // A line from (1, 0) to (1, -1) is re-linked from (1, 0) onto (1, 1): both squares and the curb already
    // hold (1, 1), so they lose (1, 0) instead of holding (1, 1) twice.
    TAbstractItem *l = MakeItemOn(street, Line, {r10});
    l->Points.InsertNewPoint(1, {1, -1, 0});
    l->Points.CurrentIndex = 0;
    // The curb would keep one vertex only: the whole re-link is refused.
    const TEditResult refused = ConnectCurrentPoint(*l, r11, TConnectKind::Relink);
    EXPECT_EQ(refused.Kind, TEditResult::Refused);
    EXPECT_EQ(r10->Owners.size(), 4u);
    TAbstractItem *const gone[] = {line};
    street.DeleteItems(gone);
    ASSERT_TRUE(ConnectCurrentPoint(*l, r11, TConnectKind::Relink).Changed());
    EXPECT_EQ(l->Points.PointRec(0), r11);
    EXPECT_EQ(a->Points.Count(), 3);
    EXPECT_EQ(b->Points.Count(), 3);
    EXPECT_TRUE(r10->Owners.empty());
    EXPECT_EQ(CheckItemLimits(street), "");
}

TEST_F(SharedEdge, ReplaceOntoAPointAtTheSamePlaceMergesIt) {
    // Two separate records at one place: connecting merges them rather than being refused as a duplicate.
    TAbstractItem *l = MakeItem(street, Line, {{1, 0, 0}, {3, -1, 0}});
    l->Points.CurrentIndex = 0;
    ASSERT_TRUE(ConnectCurrentPoint(*l, r10, TConnectKind::Replace).Changed());
    EXPECT_EQ(l->Points.PointRec(0), r10);
}

TEST_F(SharedEdge, EditsThatWouldCollapseAnItemAreRefusedAndUndone) {
    // Each edit would put a vertex of the triangle onto (or within a millimetre of) its neighbour.
    struct Case {
        const char *name;
        std::function<TEditResult(TAbstractItem &)> edit;
        TEditResult::TKind kind;
    };
    const Case cases[] = {
        {"drag onto neighbour",
         [](TAbstractItem &t) {
             return MoveCurrentPoint(t, {31, 0, 0});
         },
         TEditResult::Nothing},
        {"coordinate", [](TAbstractItem &t) { return SetCurrentCoordinate(t, 0, 31.0004f); },
         TEditResult::Refused},
        {"edge length 0", [](TAbstractItem &t) { return SetCurrentEdgeLength(t, 0); }, TEditResult::Refused},
        {"scale 0",
         [](TAbstractItem &t) {
             t.Points.StoreRelative(t.Points.GetPoint(0));
             TAbstractItem *const items[] = {&t};
             return ScaleItemsRelative(items, t.Points.GetPoint(0), 0);
         },
         TEditResult::Refused},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TAbstractItem *t = MakeItem(street, Outline, {{30, 0, 0}, {31, 0, 0}, {30, 1, 0}});
        // A neighbour shares the moved vertex: it must come back too.
        TAbstractItem *n = MakeItemOn(street, Line, {t->Points.PointRec(0)});
        n->Points.InsertNewPoint(1, {29, -1, 0});
        const TXYZArray before = t->Points.GetPoints();
        t->Points.CurrentIndex = 0;
        EXPECT_EQ(c.edit(*t).Kind, c.kind);
        const TXYZArray after = t->Points.GetPoints();
        ASSERT_EQ(after.size(), before.size());
        for (std::size_t i = 0; i < after.size(); ++i)
            EXPECT_TRUE(VectorsEqual(after[i], before[i])) << i;
        EXPECT_TRUE(VectorsEqual(n->Points.GetPoint(0), before[0]));
        TAbstractItem *const gone[] = {t, n};
        street.DeleteItems(gone);
    }
}

TEST_F(SharedEdge, FullItemsTakeNoMorePoints) {
    // An oriented point holds two vertices at most; the curb shares its edge.
    TAbstractItem *o = MakeItem(street, Oriented, {{5, 5, 0}});
    o->Points.CurrentIndex = 0;
    ASSERT_TRUE(AddPoint(*o, {6, 5, 0}, false).Changed());
    EXPECT_EQ(o->Points.CurrentIndex, 1);
    EXPECT_EQ(AddPoint(*o, {7, 5, 0}, false).Kind, TEditResult::Nothing);
    EXPECT_EQ(o->Points.Count(), 2);
    // Ctrl-add on the line's edge that the full oriented item shares: refused, nothing added anywhere.
    TAbstractItem *l = MakeItemOn(street, Line, {o->Points.PointRec(0), o->Points.PointRec(1)});
    l->Points.CurrentIndex = 0;
    const TEditResult r = AddPoint(*l, {5.5f, 5, 0}, true);
    EXPECT_EQ(r.Kind, TEditResult::Refused);
    EXPECT_EQ(l->Points.Count(), 2);
    EXPECT_EQ(o->Points.Count(), 2);
    EXPECT_EQ(CheckItemLimits(street), "");
}

// ---- Splitting

TEST_F(SharedEdge, SplittingAnOpenLineSharesTheSplitVertex) {
    TAbstractItem *l = MakeItem(street, Line, {{0, 5, 0}, {1, 5, 0}, {2, 5, 0}, {3, 5, 0}});
    for (int k : {0, 3})
        EXPECT_EQ(SplitOpenItem(*l, k), nullptr) << k;
    TAbstractItem *copy = SplitOpenItem(*l, 2);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(l->Points.Count(), 3);
    EXPECT_EQ(copy->Points.Count(), 2);
    EXPECT_TRUE(SameRecords(l, 2, copy, 0));
    EXPECT_EQ(l->Points.CurrentIndex, 2);
    EXPECT_EQ(copy->Points.CurrentIndex, 0);
    EXPECT_EQ(copy->GetTypeCode(), Line);
}

TEST_F(SharedEdge, CuttingByALine) {
    struct Case {
        const char *name;
        bool closed;
        TXYZ from, to;
        int pieces, countItem, countCopy, shared;
    };
    const Case cases[] = {
        {"square crossed twice", true, {1, -1, 0}, {1, 3, 0}, 2, 4, 4, 2},
        {"square crossed once", true, {1, -1, 0}, {1, 1, 0}, 1, 4, 0, 0},
        {"square missed", true, {5, -1, 0}, {5, 3, 0}, 1, 4, 0, 0},
        {"line crossed", false, {1, -1, 0}, {1, 3, 0}, 2, 2, 3, 1},
        {"corner cut off", true, {-0.5f, 1, 0}, {1, -0.5f, 0}, 2, 3, 5, 2},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TStreetFixture f;
        TAbstractItem *item =
            c.closed ? MakeItem(*f.holder_, Outline, {{0, 0, 0}, {2, 0, 0}, {2, 2, 0}, {0, 2, 0}})
                     : MakeItem(*f.holder_, Line, {{0, 0, 0}, {2, 0, 0}, {2, 2, 0}});
        TAbstractItem *copy = CutItem(*item, c.from, c.to);
        const int type = item->GetTypeCode();
        EXPECT_EQ(f.holder_->Lists(type).Count(), c.pieces);
        EXPECT_EQ(item->Points.Count(), c.countItem);
        if (c.pieces == 1) {
            EXPECT_EQ(copy, nullptr);
            // Nothing was left behind in the pool either.
            EXPECT_EQ(f.holder_->Pool().Count(), c.closed ? 4 : 3);
            continue;
        }
        ASSERT_NE(copy, nullptr);
        EXPECT_EQ(copy->Points.Count(), c.countCopy);
        int shared = 0;
        for (TStreetPointRec *r : copy->Points.Refs())
            shared += item->Points.IndexOfRec(r) >= 0;
        EXPECT_EQ(shared, c.shared);
        EXPECT_EQ(CheckItemLimits(*f.holder_), "");
    }
}

TEST_F(SharedEdge, ChordSplitOfAClosedItem) {
    TAbstractItem *s = MakeItem(street, Outline, {{0, 0, 0}, {2, 0, 0}, {2, 2, 0}, {0, 2, 0}});
    // Neighbouring vertices leave a piece of two vertices: refused.
    EXPECT_EQ(SplitAlongChord(*s, 0, 1), nullptr);
    TAbstractItem *copy = SplitAlongChord(*s, 2, 0);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(s->Points.Count(), 3);
    EXPECT_EQ(copy->Points.Count(), 3);
    EXPECT_TRUE(SameRecords(s, 0, copy, 0));
    EXPECT_EQ(CheckItemLimits(street), "");
}

TEST_F(SharedEdge, LinkingManyLinesJoinsChainsInAnyOrder) {
    TAbstractItem *l1 = MakeItem(street, Line, {{0, 9, 0}, {1, 9, 0}});
    TAbstractItem *l2 = MakeItemOn(street, Line, {l1->Points.PointRec(1)});
    l2->Points.InsertNewPoint(1, {2, 9, 0});
    TAbstractItem *l3 = MakeItemOn(street, Line, {l2->Points.PointRec(1)});
    l3->Points.InsertNewPoint(1, {3, 9, 0});
    std::vector<TAbstractItem *> items{l3, l1, l2};
    EXPECT_EQ(LinkManyItems(items), 2);
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0]->Points.Count(), 4);
    EXPECT_EQ(street.Lists(Line).Count(), 2); // the chain and the curb of the fixture
}

// ---- Regular polygons

TEST(RegularPolygon, PointsTurnClockwiseFromTheRadius) {
    const TXYZArray p = RegularPolygonPoints({10, 20, 3}, 4, 2);
    ASSERT_EQ(p.size(), 4u);
    const TXYZ expected[4] = {{12, 20, 3}, {10, 18, 3}, {8, 20, 3}, {10, 22, 3}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_NEAR(p[i].x, expected[i].x, 1e-5) << i;
        EXPECT_NEAR(p[i].y, expected[i].y, 1e-5) << i;
        EXPECT_EQ(p[i].z, 3);
    }
}

TEST_F(SharedEdge, RegularPolygonsFromTheCurrentVertex) {
    struct Case {
        const char *name;
        int type, n;
        bool close;
        std::vector<int> counts; // empty: refused
    };
    const Case cases[] = {
        {"open 5", Line, 5, false, {5}},
        {"closed 4", Line, 4, true, {3, 3}},
        {"closed 3", Line, 3, true, {2, 3}},
        {"outline closed 3 would make a two-point outline", Outline, 3, true, {}},
        {"outline open 6", Outline, 6, false, {6}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TStreetFixture f;
        TAbstractItem *source = c.type == Line
                                    ? MakeItem(*f.holder_, Line, {{0, 0, 0}, {5, 0, 0}})
                                    : MakeItem(*f.holder_, Outline, {{0, 0, 0}, {5, 0, 0}, {5, 5, 0}});
        source->Points.CurrentIndex = 1;
        QString why;
        const std::vector<TAbstractItem *> made =
            MakeRegularPolygon(*source, {c.n, 2.0, c.close, true}, &why);
        ASSERT_EQ(made.size(), c.counts.size());
        EXPECT_EQ(why.isEmpty(), !c.counts.empty());
        for (std::size_t i = 0; i < made.size(); ++i) {
            EXPECT_EQ(made[i]->Points.Count(), c.counts[i]);
            EXPECT_TRUE(made[i]->Points.Spline());
            EXPECT_GE(f.holder_->Selection().IndexOf(made[i]), 0);
        }
        if (made.size() == 2) {
            EXPECT_TRUE(SameRecords(made[0], made[0]->Points.Count() - 1, made[1], 0));
            EXPECT_TRUE(SameRecords(made[0], 0, made[1], made[1]->Points.Count() - 1));
        }
        // The source keeps its place: it had more than one vertex.
        EXPECT_EQ(f.holder_->Lists(c.type).FindById(source->ID()), source);
    }
}

TEST_F(SharedEdge, ARegularPolygonReplacesASingleVertexSource) {
    TAbstractItem *marker = MakeItem(street, Line, {{0, 0, 0}});
    marker->Points.CurrentIndex = 0;
    const int lines = street.Lists(Line).Count();
    ASSERT_EQ(MakeRegularPolygon(*marker, {6, 1.0, false, false}).size(), 1u);
    // The marker went, the polygon came.
    EXPECT_EQ(street.Lists(Line).Count(), lines);
}

TEST_F(SharedEdge, ARadiusBelowAMillimetreIsRefused) {
    a->Points.CurrentIndex = 0;
    QString why;
    EXPECT_TRUE(MakeRegularPolygon(*a, {8, 0.0001, false, false}, &why).empty());
    EXPECT_FALSE(why.isEmpty());
    EXPECT_EQ(street.Lists(Outline).Count(), 1);
}

// ---- The stored count agrees with a real reload

TEST_F(SharedEdge, StoredVertexCountIsWhatAReloadKeeps) {
    struct Case {
        const char *name;
        int type;
        std::vector<TXYZ> points;
        int stored;
    };
    const Case cases[] = {
        {"plain line", Line, {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}}, 3},
        {"heights are not stored", Line, {{0, 0, 0}, {0, 0, 5}, {1, 0, 0}}, 2},
        {"within a millimetre", Line, {{0, 0, 0}, {0.0005f, 0, 0}, {1, 0, 0}}, 2},
        {"collapses to one", Line, {{0, 0, 0}, {0.0004f, 0, 0}}, 1},
        // (0, 0) drops (0.0009, 0); then (-0.0002, 0.0008) is within a millimetre of (0, 0): a second
        // reading would drop it too.
        {"a vertex gone brings two within a millimetre",
         Line,
         {{-1, 0, 0}, {0, 0, 0}, {0.0009f, 0, 0}, {-0.0002f, 0.0008f, 0}, {1, 1, 0}},
         3},
        {"closed back to the first", Outline, {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 0, 1}}, 3},
        {"closed square", Outline, {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}, 4},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TStreetFixture f;
        TAbstractItem *item = f.holder_->Lists(c.type).AddNew();
        for (const TXYZ &p : c.points)
            item->Points.InsertNewPoint(item->Points.Count(), p);
        ASSERT_EQ(item->Points.Count(), static_cast<int>(c.points.size()));
        EXPECT_EQ(StoredVertexCount(item->Points.GetPoints(), item->IsClosed()), c.stored);
        const std::unique_ptr<TStreetStructure> back = LoadBytes(SaveBytes(*f.holder_));
        const TItemList &list = back->Lists(c.type);
        if (c.stored < item->MinPointCount()) {
            EXPECT_EQ(list.Count(), 0);
        } else {
            ASSERT_EQ(list.Count(), 1);
            EXPECT_EQ(list.Items(0)->Points.Count(), c.stored);
        }
    }
}

// ---- Stereo rays

TEST(StereoRays, ClosestPointsOfTwoLines) {
    TXYZ p, q;
    // Skew: the x axis and a line along y at x = 2, z = 1.
    ASSERT_TRUE(ClosestPointsOfLines({0, 0, 0}, {1, 0, 0}, {2, -1, 1}, {2, 5, 1}, p, q));
    EXPECT_NEAR(p.x, 2, 1e-6);
    EXPECT_NEAR(p.y, 0, 1e-6);
    EXPECT_NEAR(p.z, 0, 1e-6);
    EXPECT_NEAR(q.x, 2, 1e-6);
    EXPECT_NEAR(q.z, 1, 1e-6);
    // Two rays from different eyes through one ground point meet there.
    const TXYZ target{10, 4, 0};
    ASSERT_TRUE(ClosestPointsOfLines({0, 0, 5}, target, {20, -3, 6}, {15, 0.5f, 3}, p, q));
    EXPECT_NEAR(p.x, target.x, 1e-4);
    EXPECT_NEAR(p.y, target.y, 1e-4);
    EXPECT_NEAR(p.z, target.z, 1e-4);
    // Parallel lines and a ray without direction have no answer; the outputs stay as they were.
    p = {7, 7, 7};
    EXPECT_FALSE(ClosestPointsOfLines({0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {2, 1, 0}, p, q));
    EXPECT_FALSE(ClosestPointsOfLines({0, 0, 0}, {0, 0, 0}, {0, 1, 0}, {2, 1, 0}, p, q));
    EXPECT_TRUE(VectorsEqual(p, TXYZ{7, 7, 7}));
}

} // namespace
