#include "model/PointStructure.h"

#include "engine/StreetError.h"
#include "model/AbstractItem.h"
#include "model/ItemTypeCodes.h"
#include "model/PointList.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include "engine/UndefinedValue.h"
#include "support/Expectations.h"
#include <cmath>
#include <limits>
#include <random>
#include <string>

using sptest::ByteBuilder;

namespace {

class TTestItem : public TAbstractItem {
public:
    explicit TTestItem(int code) : Code(code) {}
    int GetTypeCode() const override { return Code; }
    int Code;
};

// Items with one point list each, standing in for a street's items.
class TOwners {
public:
    explicit TOwners(TPointStructure &pool) : Pool(pool) {}
    TPointList *List(int code, bool active = true) {
        Items.push_back(std::make_unique<TTestItem>(code));
        Items.back()->Active = active;
        Lists.push_back(std::make_unique<TPointList>(&Pool, Items.back().get()));
        return Lists.back().get();
    }
    // A new pool point at (x, y, z) used by the list.
    TStreetPointRec *Point(TPointList *list, float x, float y, float z = 0) {
        TStreetPointRec *r = Pool.AddPointRec({x, y, z});
        if (list)
            r->Owners.push_back(list);
        return r;
    }
    TPointStructure &Pool;
    std::vector<std::unique_ptr<TTestItem>> Items;
    std::vector<std::unique_ptr<TPointList>> Lists;
};

using sptest::ErrorOf;

ByteBuilder PointTable(std::initializer_list<std::array<double, 4>> points) {
    ByteBuilder b;
    b.Tag("PNTSTRCT").I32(static_cast<int32_t>(points.size()));
    for (const auto &p : points)
        b.I32(static_cast<int32_t>(p[0])).F64(p[1]).F64(p[2]).F64(p[3]);
    return b;
}

std::vector<int32_t> Ids(const TPointStructure &pool) {
    std::vector<int32_t> ids;
    for (int i = 0; i < pool.Count(); ++i)
        ids.push_back(pool.Points(i)->Id());
    return ids;
}

TEST(PointStructure, AddFindAndIndexErrors) {
    TPointStructure pool;
    EXPECT_TRUE(pool.Sorted());
    EXPECT_EQ(pool.MaxId(), 0);
    EXPECT_EQ(pool.FindById(1), nullptr);
    EXPECT_EQ(pool.AddPoint({1, 2, 3}), 1);
    EXPECT_EQ(pool.AddPoint({4, 5, 6}), 2);
    TStreetPointRec *r = pool.AddPointRec({7, 8, 9});
    EXPECT_EQ(r->Id(), 3);
    EXPECT_EQ(pool.MaxId(), 3);
    EXPECT_EQ(pool.Count(), 3);
    EXPECT_EQ(pool.FindById(2)->Position(), (TXYZ{4, 5, 6}));
    EXPECT_EQ(pool.FindById(3), r);
    EXPECT_EQ(pool.FindById(4), nullptr);
    EXPECT_EQ(pool.FindById(0), nullptr);
    EXPECT_TRUE(pool.Sorted());
    EXPECT_THROW(pool.Points(3), EStreetError);
    EXPECT_THROW(pool.Points(-1), EStreetError);
    EXPECT_THROW(pool.Delete(3), EStreetError);
    EXPECT_THROW(r->SetId(0), EStreetError);
}

TEST(PointStructure, SetStreetOnce) {
    TPointStructure pool;
    int a = 0, b = 0;
    pool.SetStreet(reinterpret_cast<TStreetStructure *>(&a));
    EXPECT_EQ(pool.GetStreet(), reinterpret_cast<TStreetStructure *>(&a));
    EXPECT_EQ(ErrorOf([&] { pool.SetStreet(reinterpret_cast<TStreetStructure *>(&b)); }),
              "TPointStructure : SetStreet - Street<>nil");
    EXPECT_EQ(pool.GetStreet(), reinterpret_cast<TStreetStructure *>(&a));
}

TEST(PointStructure, NewPointWithOwnIdsIsFoundAfterSorting) {
    TPointStructure pool;
    for (int32_t id : {30, 10, 20}) {
        TStreetPointRec *r = pool.NewPoint();
        EXPECT_EQ(r->Position(), (TXYZ{}));
        EXPECT_EQ(r->Id(), 0);
        r->SetPosition({static_cast<float>(id), 0, 0});
        r->SetId(id);
    }
    EXPECT_FALSE(pool.Sorted());
    EXPECT_EQ(pool.MaxId(), 30);
    for (int32_t id : {10, 20, 30})
        EXPECT_EQ(pool.FindById(id)->X(), static_cast<float>(id));
    EXPECT_TRUE(pool.Sorted());
    EXPECT_EQ(Ids(pool), (std::vector<int32_t>{10, 20, 30}));
    EXPECT_EQ(pool.AddPoint({}), 31); // never an id already taken
}

TEST(PointStructure, LoadKeepsXYAndDropsZ) {
    TPointStructure pool;
    TMemoryStream s(PointTable({{1, 10.5, -2.25, 7}, {2, 1e6, 3, -1e5}, {4, 0.1, 0.2, 0.3}}).I32(99).Data());
    pool.LoadFromStream(s);
    EXPECT_EQ(s.Remaining(), 4);
    ASSERT_EQ(pool.Count(), 3);
    EXPECT_EQ(pool.Points(0)->Position(), (TXYZ{10.5f, -2.25f, 0}));
    EXPECT_EQ(pool.Points(1)->Position(), (TXYZ{1e6f, 3, 0}));
    EXPECT_EQ(pool.Points(2)->Position(), (TXYZ{0.1f, 0.2f, 0}));
    EXPECT_EQ(pool.MaxId(), 4);
    EXPECT_EQ(pool.AddPoint({}), 5);
}

TEST(PointStructure, LoadSortsIdsOutOfOrder) {
    const std::vector<std::vector<int32_t>> orders = {{5, 2, 9, 1}, {9, 5, 2, 1}, {1, 2, 5, 9}, {2, 1, 9, 5}};
    for (const auto &order : orders) {
        ByteBuilder b;
        b.Tag("PNTSTRCT").I32(static_cast<int32_t>(order.size()));
        for (int32_t id : order)
            b.I32(id).F64(id * 10.0).F64(-id).F64(0);
        TPointStructure pool;
        TMemoryStream s(b.Data());
        pool.LoadFromStream(s);
        EXPECT_EQ(Ids(pool), (std::vector<int32_t>{1, 2, 5, 9}));
        EXPECT_TRUE(pool.Sorted());
        EXPECT_EQ(pool.MaxId(), 9);
        for (int32_t id : order) {
            TStreetPointRec *r = pool.FindById(id);
            ASSERT_NE(r, nullptr) << id;
            EXPECT_EQ(r->Position(), (TXYZ{id * 10.0f, static_cast<float>(-id), 0}));
        }
    }
}

TEST(PointStructure, LoadErrorsLeaveThePoolAsItWas) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct TCase {
        const char *name;
        ByteBuilder bytes;
        const char *reason;
    };
    const TCase cases[] = {
        {"missing tag", ByteBuilder().Tag("PNTSTRCX").I32(0),
         "TPointStructure.LoadFromStream: Ident<>PNTSTRCT"},
        {"truncated count", ByteBuilder().Tag("PNTSTRCT").U8(1), "unexpected end of data"},
        {"negative count", ByteBuilder().Tag("PNTSTRCT").I32(-2), "negative count -2"},
        {"count beyond the data", ByteBuilder().Tag("PNTSTRCT").I32(2).I32(7).F64(1).F64(1).F64(0),
         "count 2 exceeds the data present"},
        {"entry cut short", ByteBuilder().Tag("PNTSTRCT").I32(1).I32(7).F64(1),
         "count 1 exceeds the data present"},
        {"id zero", PointTable({{7, 1, 1, 0}, {0, 1, 1, 0}}), "point id 0 is not positive"},
        {"negative id", PointTable({{-3, 1, 1, 0}}), "point id -3 is not positive"},
        {"duplicate id", PointTable({{7, 1, 1, 0}, {8, 1, 1, 0}, {7, 2, 2, 0}}), "duplicate point id 7"},
        {"id of a point already there", PointTable({{50, 1, 1, 0}}), "duplicate point id 50"},
        {"NaN", PointTable({{7, nan, 1, 0}}), "point id 7 has a coordinate out of range"},
        {"beyond single", PointTable({{8, 1, 1e300, 0}}), "point id 8 has a coordinate out of range"},
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.name);
        TPointStructure pool;
        TOwners owners(pool);
        owners.Point(nullptr, 1, 2);
        owners.Pool.FindById(1)->SetId(50);
        TMemoryStream s(c.bytes.Data());
        const std::string e = ErrorOf([&] { pool.LoadFromStream(s); });
        EXPECT_EQ(e.rfind("TPointStructure.LoadFromStream: ", 0), 0u) << e;
        EXPECT_NE(e.find(c.reason), std::string::npos) << e;
        EXPECT_EQ(Ids(pool), (std::vector<int32_t>{50}));
        EXPECT_EQ(pool.MaxId(), 50);
    }
}

TEST(PointStructure, SaveWritesAscendingIds) {
    TPointStructure pool;
    for (int32_t id : {3, 1, 2}) {
        TStreetPointRec *r = pool.NewPoint();
        r->SetPosition({static_cast<float>(id), 0.5f, 2.0f});
        r->SetId(id);
    }
    TMemoryStream out;
    pool.SaveToStream(out);
    // Heights are not kept by the table: what is written is what reading gives.
    EXPECT_EQ(out.Bytes(), PointTable({{1, 1, 0.5, 0}, {2, 2, 0.5, 0}, {3, 3, 0.5, 0}}).Data());

    TPointStructure back;
    out.Seek(0, TSeekOrigin::Begin);
    back.LoadFromStream(out);
    EXPECT_EQ(Ids(back), (std::vector<int32_t>{1, 2, 3}));
    EXPECT_EQ(back.FindById(3)->Position(), (TXYZ{3, 0.5f, 0}));

    TMemoryStream empty;
    TPointStructure().SaveToStream(empty);
    EXPECT_EQ(empty.Bytes(), ByteBuilder().Tag("PNTSTRCT").I32(0).Data());
}

TEST(PointStructure, Bounds) {
    TPointStructure pool;
    float b[4] = {1, 1, 1, 1};
    pool.GetBounds(b[0], b[1], b[2], b[3]);
    EXPECT_EQ((std::array<float, 4>{b[0], b[1], b[2], b[3]}), (std::array<float, 4>{0, 0, 0, 0}));
    EXPECT_FALSE(pool.BoundsValid());

    pool.AddPoint({1, 5, 100});
    TStreetPointRec *r = pool.AddPointRec({-2, 3, -100});
    pool.AddPoint({4, -1, 0});
    pool.GetBounds(b[0], b[1], b[2], b[3]);
    EXPECT_EQ((std::array<float, 4>{b[0], b[1], b[2], b[3]}), (std::array<float, 4>{-2, -1, 4, 5}));
    EXPECT_TRUE(pool.BoundsValid());

    r->SetPosition({10, 20, 0}); // a moved point is inside the bounds again
    pool.GetBounds(b[0], b[1], b[2], b[3]);
    EXPECT_EQ((std::array<float, 4>{b[0], b[1], b[2], b[3]}), (std::array<float, 4>{1, -1, 10, 20}));
    pool.Delete(1); // and a deleted one no longer widens them
    pool.GetBounds(b[0], b[1], b[2], b[3]);
    EXPECT_EQ((std::array<float, 4>{b[0], b[1], b[2], b[3]}), (std::array<float, 4>{1, -1, 4, 5}));
}

TEST(PointStructure, AppendRenumbersAfterMaxId) {
    TPointStructure pool, other;
    TOwners owners(pool);
    TPointList *list = owners.List(2);
    TStreetPointRec *mine = owners.Point(list, 0, 0);
    mine->SetId(10);
    TXYZ q{0, 0, 0};
    EXPECT_EQ(pool.FindNearest(q, FullTypeSet()), 10);
    EXPECT_FALSE(pool.SnapCandidates().empty());

    std::vector<TStreetPointRec *> moved;
    for (float x : {1.0f, 2.0f, 3.0f}) {
        moved.push_back(other.AddPointRec({x, 0, 0}));
        moved.back()->Owners.push_back(list);
    }
    pool.Append(other);
    EXPECT_EQ(Ids(pool), (std::vector<int32_t>{10, 11, 12, 13}));
    EXPECT_EQ(pool.MaxId(), 13);
    EXPECT_EQ(other.Count(), 0);
    EXPECT_TRUE(pool.SnapCandidates().empty());
    EXPECT_EQ(pool.FindById(12), moved[1]);
    EXPECT_EQ(moved[1]->Owners, (std::vector<TPointList *>{list}));
    EXPECT_EQ(other.FindById(12), nullptr);

    // The moved records are the receiving pool's now: moving one is seen by its searches.
    moved[2]->SetPosition({500, 500, 0});
    TXYZ far{499, 499, 0};
    EXPECT_EQ(pool.FindNearest(far, FullTypeSet()), 13);
    EXPECT_THROW(pool.Append(pool), EStreetError);
}

TEST(PointStructure, RenumberDeleteClear) {
    TPointStructure pool;
    for (int i = 0; i < 4; ++i)
        pool.AddPoint({static_cast<float>(i), 0, 0});
    pool.Renumber(100);
    EXPECT_EQ(Ids(pool), (std::vector<int32_t>{100, 101, 102, 103}));
    EXPECT_EQ(pool.MaxId(), 103);
    EXPECT_EQ(pool.FindById(102)->X(), 2.0f);
    EXPECT_THROW(pool.Renumber(0), EStreetError);
    EXPECT_THROW(pool.Renumber(std::numeric_limits<int32_t>::max() - 2), EStreetError);

    pool.Delete(1);
    EXPECT_EQ(Ids(pool), (std::vector<int32_t>{100, 102, 103}));
    EXPECT_EQ(pool.FindById(101), nullptr);
    EXPECT_EQ(pool.FindById(103)->X(), 3.0f);
    pool.Clear();
    EXPECT_EQ(pool.Count(), 0);
    EXPECT_EQ(pool.MaxId(), 0);
    EXPECT_EQ(pool.AddPoint({}), 1);
}

TEST(PointStructure, NoIdsLeft) {
    TPointStructure pool;
    TMemoryStream s(PointTable({{std::numeric_limits<int32_t>::max(), 0, 0, 0}}).Data());
    pool.LoadFromStream(s);
    EXPECT_THROW(pool.AddPoint({}), EStreetError);
    EXPECT_EQ(pool.Count(), 1);
    TPointStructure other;
    other.AddPoint({});
    EXPECT_THROW(pool.Append(other), EStreetError);
    EXPECT_EQ(other.Count(), 1);
}

TEST(PointStructure, OwnerTypes) {
    TPointStructure pool;
    TOwners owners(pool);
    TStreetPointRec *r = owners.Point(owners.List(RoadWayTypeCode), 0, 0);
    r->Owners.push_back(owners.List(BortTypeCode, false));
    r->Owners.push_back(owners.List(AxisTypeCode));
    r->Owners.push_back(r->Owners[0]); // a list holding the point twice
    EXPECT_EQ(GetPointOwnerTypes(*r), (TItemTypeSet{RoadWayTypeCode, AxisTypeCode}));
    owners.Items[0]->Active = false;
    EXPECT_EQ(GetPointOwnerTypes(*r), (TItemTypeSet{AxisTypeCode}));
    EXPECT_EQ(GetPointOwnerTypes(*owners.Point(nullptr, 1, 1)), TItemTypeSet());
}

TEST(PointStructure, FindNearestInList) {
    struct TCase {
        TXYZ p;
        std::vector<TXYZ> list;
        int index;
    };
    const TCase cases[] = {
        {{0, 0, 0}, {}, -1},
        {{0, 0, 0}, {{3, 0, 0}, {1, 0, 0}, {2, 0, 0}}, 1},
        {{0, 0, 0}, {{1, 0, 0}, {0, 1, 0}, {-1, 0, 0}}, 0}, // the first of equal distances
        {{0, 0, 0}, {{1, 0, 5}, {2, 0, 0}}, 1},             // 3-D
        {{0, 0, 0}, {{NAN, 0, 0}, {9, 9, 9}}, 1},
    };
    for (const TCase &c : cases)
        EXPECT_EQ(FindNearestInList(c.p, c.list), c.index);
}

TEST(PointStructureSnap, NothingQualifies) {
    TPointStructure pool;
    TXYZ p{1, 2, 3};
    EXPECT_EQ(pool.FindNearest(p, FullTypeSet()), -1);
    TOwners owners(pool);
    owners.Point(owners.List(2, false), 1, 1); // inactive owner
    owners.Point(owners.List(8), 2, 2);        // type not asked for
    owners.Point(nullptr, 1, 2);               // no owner at all
    EXPECT_EQ(pool.FindNearest(p, TItemTypeSet{2, 3}), -1);
    EXPECT_EQ(p, (TXYZ{1, 2, 3}));
    EXPECT_EQ(pool.FindNearest(p, TItemTypeSet{8}), 2);
    EXPECT_EQ(p, (TXYZ{2, 2, 0}));
}

TEST(PointStructureSnap, EqualDistancesTakeTheLaterCandidate) {
    // Same two positions created in both orders: the one later in the pool wins, wherever it lies.
    for (bool leftFirst : {true, false}) {
        TPointStructure pool;
        TOwners owners(pool);
        TPointList *list = owners.List(4);
        const float first = leftFirst ? -1.0f : 1.0f;
        owners.Point(list, first, 0);
        owners.Point(list, -first, 0);
        owners.Point(list, 0, 1.5f);
        TXYZ p{0, 0, 0};
        EXPECT_EQ(pool.FindNearest(p, TItemTypeSet{4}), 2);
        EXPECT_EQ(p, (TXYZ{-first, 0, 0}));
        // The same rules in the scan of the whole pool (nothing within 100 of the position).
        TXYZ farUp{0, 1000, 0}, farDown{0, -1000, 0};
        EXPECT_EQ(pool.FindNearest(farUp, TItemTypeSet{4}), 3);
        EXPECT_EQ(pool.FindNearest(farDown, TItemTypeSet{4}), 2);
        EXPECT_EQ(farDown, (TXYZ{-first, 0, 0}));
    }
}

TEST(PointStructureSnap, CacheIsReusedWithin50) {
    TPointStructure pool;
    TOwners owners(pool);
    TPointList *list = owners.List(8);
    owners.Point(list, 0, -20);                      // 1: in the first neighbourhood
    TStreetPointRec *b = owners.Point(list, 0, 300); // 2: outside it
    TXYZ p{0, 0, 0};
    EXPECT_EQ(pool.FindNearest(p, FullTypeSet()), 1);
    EXPECT_EQ(pool.SnapCentre(), (TXYZ{0, 0, 0}));

    b->SetPosition({49, 1, 0}); // moved into the cached neighbourhood from outside: not seen until a refresh
    TXYZ at49{49, 0, 0};
    EXPECT_EQ(pool.FindNearest(at49, FullTypeSet()), 1);
    EXPECT_EQ(pool.SnapCentre(), (TXYZ{0, 0, 0}));
    TXYZ at51{51, 0, 0};
    EXPECT_EQ(pool.FindNearest(at51, FullTypeSet()), 2);
    EXPECT_EQ(pool.SnapCentre(), (TXYZ{51, 0, 0}));
    EXPECT_EQ(at51, (TXYZ{49, 1, 0}));

    // A record created afterwards joins the cache at once.
    owners.Point(list, 60, 0); // 3
    TXYZ at59{59, 0, 0};
    EXPECT_EQ(pool.FindNearest(at59, FullTypeSet()), 3);
    EXPECT_EQ(pool.SnapCentre(), (TXYZ{51, 0, 0}));

    // A deleted record leaves it.
    pool.Delete(2);
    TXYZ again{59, 0, 0};
    EXPECT_EQ(pool.FindNearest(again, FullTypeSet()), 2);
}

TEST(PointStructureCollect, RadiusTypesAndOrder) {
    TPointStructure pool;
    TOwners owners(pool);
    TPointList *road = owners.List(2), *curb = owners.List(8);
    owners.Point(curb, 100, 0);       // 1: exactly at the radius
    owners.Point(road, 0, 0);         // 2
    owners.Point(road, 100.01f, 0);   // 3: just outside
    owners.Point(curb, -30, 40);      // 4
    owners.Point(nullptr, 1, 1);      // 5: no owner
    owners.Point(road, 60, 80, 0.5f); // 6: 3-D distance above 100
    std::vector<TStreetPointRec *> list;
    pool.CollectWithinList({0, 0, 0}, FullTypeSet(), 100, list);
    EXPECT_EQ((std::vector<int32_t>{list[0]->Id(), list[1]->Id(), list[2]->Id()}),
              (std::vector<int32_t>{1, 2, 4}));
    EXPECT_EQ(list.size(), 3u);
    pool.CollectWithinList({0, 0, 0}, TItemTypeSet{8}, 1e9, list); // appends
    EXPECT_EQ(list.size(), 5u);
    EXPECT_EQ(list[3]->Id(), 1);
    EXPECT_EQ(list[4]->Id(), 4);
    EXPECT_EQ(pool.CollectWithin({0, 0, 0}, TItemTypeSet{2}, 100), (TXYZArray{{0, 0, 0}}));
}

// The snapping rules written out plainly, scanning every record, as the oracle for the indexed search.
class TReferenceSnap {
public:
    static double Dist(const TXYZ &p, const TXYZ &q) {
        const double dx = static_cast<double>(q.x) - p.x, dy = static_cast<double>(q.y) - p.y,
                     dz = static_cast<double>(q.z) - p.z;
        return std::sqrt(dx * dx + dy * dy + dz * dz);
    }
    static std::vector<TStreetPointRec *> Collect(const TPointStructure &pool, const TXYZ &p,
                                                  TItemTypeSet types, double radius) {
        std::vector<TStreetPointRec *> out;
        for (int i = 0; i < pool.Count(); ++i)
            if (Dist(p, pool.Points(i)->Position()) <= radius &&
                GetPointOwnerTypes(*pool.Points(i)).Meets(types))
                out.push_back(pool.Points(i));
        return out;
    }
    int32_t Find(const TPointStructure &pool, TXYZ &p, TItemTypeSet types) {
        if (pool.Count() == 0)
            return -1;
        if (Dist(Centre, p) > 50 || Cache.empty()) {
            Cache = Collect(pool, p, FullTypeSet(), 100);
            Centre = p;
        }
        TStreetPointRec *best = nullptr;
        double bestD = UndefinedValue;
        auto consider = [&](TStreetPointRec *r) {
            const double d = Dist(p, r->Position());
            if (d <= bestD && GetPointOwnerTypes(*r).Meets(types)) {
                best = r;
                bestD = d;
            }
        };
        for (TStreetPointRec *r : Cache)
            consider(r);
        if (!best)
            for (int i = 0; i < pool.Count(); ++i)
                consider(pool.Points(i));
        if (!best)
            return -1;
        p = best->Position();
        return best->Id();
    }
    TXYZ Centre;
    std::vector<TStreetPointRec *> Cache;
};

TEST(PointStructureSnap, MatchesAScanOfEveryRecord) {
    std::mt19937 rng(12345);
    auto uni = [&](double a, double b) { return std::uniform_real_distribution<double>(a, b)(rng); };
    auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
    const TItemTypeSet typeSets[] = {FullTypeSet(), {2}, {8, 35}, {4}, {40}};

    for (int round = 0; round < 4; ++round) {
        TPointStructure pool;
        TOwners owners(pool);
        for (int code : {2, 8, 35, 4, 2, 8})
            owners.List(code, pick(5) != 0);
        // Whole-metre coordinates make equal distances common, and a few far-off points stretch the index.
        auto randomPoint = [&]() -> TXYZ {
            const int kind = pick(50);
            if (kind == 0)
                return {static_cast<float>(uni(-3e38, 3e38)), static_cast<float>(uni(-1e30, 1e30)), 0};
            if (kind == 1)
                return {static_cast<float>(uni(-1e6, 1e6)), 7, 0};
            return {static_cast<float>(pick(600) - 300), static_cast<float>(pick(200) - 100),
                    static_cast<float>(pick(10) == 0 ? pick(3) : 0)};
        };
        auto addPoint = [&] {
            TStreetPointRec *r = pool.AddPointRec(randomPoint());
            for (int k = pick(3); k > 0; --k)
                r->Owners.push_back(owners.Lists[static_cast<std::size_t>(pick(6))].get());
            return r;
        };
        for (int i = 0; i < 1500; ++i)
            addPoint();

        TReferenceSnap ref;
        TXYZ walk{0, 0, 0};
        for (int step = 0; step < 3000; ++step) {
            const int op = pick(100);
            if (op < 4) {
                pool.Points(pick(pool.Count()))->SetPosition(randomPoint());
            } else if (op < 6) {
                TStreetPointRec *r = addPoint();
                if (!ref.Cache.empty())
                    ref.Cache.push_back(r);
            } else if (op < 8 && pool.Count() > 10) {
                const int i = pick(pool.Count());
                std::erase(ref.Cache, pool.Points(i));
                pool.Delete(i);
            } else if (op < 9) {
                {
                    TTestItem &item = *owners.Items[static_cast<std::size_t>(pick(6))];
                    item.Active = !item.Active;
                }
            } else if (op < 12) {
                const TXYZ c = randomPoint();
                const double radius = pick(4) == 0 ? uni(0, 1e7) : uni(0, 150);
                const TItemTypeSet types = typeSets[pick(5)];
                std::vector<TStreetPointRec *> got;
                pool.CollectWithinList(c, types, radius, got);
                ASSERT_EQ(got, TReferenceSnap::Collect(pool, c, types, radius)) << "step " << step;
            } else {
                if (pick(20) == 0)
                    walk = randomPoint();
                else
                    walk = {walk.x + static_cast<float>(pick(21) - 10),
                            walk.y + static_cast<float>(pick(21) - 10), 0};
                const TItemTypeSet types = typeSets[pick(5)];
                TXYZ ours = walk, theirs = walk;
                const int32_t a = pool.FindNearest(ours, types), b = ref.Find(pool, theirs, types);
                ASSERT_EQ(a, b) << "round " << round << " step " << step;
                ASSERT_EQ(ours, theirs);
                ASSERT_EQ(pool.SnapCandidates(), ref.Cache) << "step " << step;
            }
        }
    }
}

} // namespace
