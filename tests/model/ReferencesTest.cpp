// Reference containers, merging streets and item fragments (copy and paste).
#include "StreetTestUtil.h"

#include <algorithm>
#include <iterator>
#include <limits>
#include <set>

using namespace streettest;
using sptest::ItemRec;
using sptest::Rec;
using sptest::StreetFile;

namespace {

using TRefs = std::vector<std::pair<std::string, int32_t>>;

std::vector<uint8_t> Saved(const TConnectedItems &c) {
    TMemoryStream m;
    c.SaveToStream(m);
    return m.Bytes();
}

TEST(ConnectedItems, RecordsSlotsAndTheirLimits) {
    TStreetStructure s;
    std::unique_ptr<TConnectedItems> one = TConnectedItems::CreateFixed(&s, 1);
    EXPECT_EQ(Saved(*one), sptest::ConnectdBytes({sptest::EmptyRef()}).Data());
    TMemoryStream back(Saved(*one));
    one->LoadFromStream(back);
    one->Resolve();
    EXPECT_EQ(one->Count(), 1);
    EXPECT_EQ(one->Items(0), nullptr);

    TMemoryStream two(sptest::ConnectdBytes({{"BORT", 1}, {"BORT", 2}}).Data());
    const std::string e = ErrorOf([&] { one->LoadFromStream(two); });
    EXPECT_NE(e.find("TConnectedItems.LoadFromStream: Fixed, but Size>Capacity"), std::string::npos) << e;
    EXPECT_NE(e.find(" at offset "), std::string::npos) << e;
    EXPECT_THROW(one->AddItem(nullptr), EStreetError);

    TAbstractItem *a = MakeItem(s, BortTypeCode, {{0, 0, 0}, {1, 0, 0}});
    TAbstractItem *b = MakeItem(s, BortTypeCode, {{0, 1, 0}, {1, 1, 0}});
    std::unique_ptr<TConnectedItems> g = TConnectedItems::CreateGrowing(&s);
    g->AddItem(a);
    g->AddItem(b);
    g->AddItem(a);
    EXPECT_EQ(g->Slots(), (std::vector<TAbstractItem *>{a, b}));
    g->Move(b, 0);
    EXPECT_EQ(g->Slots(), (std::vector<TAbstractItem *>{b, a}));
    EXPECT_EQ(g->CountOfTypes(TItemTypeSet{BortTypeCode}), 2);
    EXPECT_EQ(Saved(*g), sptest::ConnectdBytes({{"BORT", 2}, {"BORT", 1}}).Data());
    g->SetCount(3);
    EXPECT_EQ(g->Items(2), nullptr);
    g->Delete(2);
    g->Remove(b);
    EXPECT_EQ(g->Slots(), (std::vector<TAbstractItem *>{a}));
    EXPECT_TRUE(a->Referenced);

    // A growing container takes as many slots as stored; unknown classes and ids bind to nothing.
    TMemoryStream three(sptest::ConnectdBytes({{"BORT", 2}, {"NOSUCHTP", 1}, {"BORT", 99}}).Data());
    g->LoadFromStream(three);
    g->Resolve();
    EXPECT_EQ(g->Slots(), (std::vector<TAbstractItem *>{b, nullptr, nullptr}));
    EXPECT_TRUE(g->HasPending()); // BORT 99 may still be found by a merge
}

TEST(ConnectedItems, TranslateMovesASharedVertexOnce) {
    TStreetStructure s;
    TAbstractItem *a = MakeItem(s, BortTypeCode, {{0, 0, 0}, {10, 0, 0}});
    TAbstractItem *b =
        MakeItemOn(s, PlainLine, {a->Points.PointRec(1), s.Pool().AddPointRec({10, 10, 0})});
    TAbstractItem *c = MakeItemOn(s, KolodTypeCode, {a->Points.PointRec(0)});
    TConnectedItems sel(false);
    sel.AddItem(a);
    sel.AddItem(b);
    std::vector<TStreetPointRec *> pts;
    sel.CollectPoints(pts);
    EXPECT_EQ(pts.size(), 3u);
    s.UpdateGraphics(FullTypeSet());
    s.ClearModified();
    sel.Translate({1, 2, 0});
    EXPECT_EQ(a->Points.GetPoint(1), (TXYZ{11, 2, 0}));
    EXPECT_EQ(b->Points.GetPoint(1), (TXYZ{11, 12, 0}));
    EXPECT_EQ(c->Points.GetPoint(0), (TXYZ{1, 2, 0})); // moves with the shared vertex
    EXPECT_TRUE(c->Points.Changed());
    EXPECT_TRUE(s.Modified());
}

// An item keeps count of the containers holding it (the first few in the item itself, the rest in a
// table): whatever the order containers take and release it, each holds it at most once, and a freed item
// leaves every one of them.
TEST(ConnectedItems, AnItemHeldByManyContainersLeavesEveryOneWhenFreed) {
    TStreetStructure s;
    TAbstractItem *a = MakeItem(s, BortTypeCode, {{0, 0, 0}, {1, 0, 0}});
    TAbstractItem *b = MakeItem(s, BortTypeCode, {{0, 1, 0}, {1, 1, 0}});
    std::vector<std::unique_ptr<TConnectedItems>> growing;
    for (int k = 0; k < 5; ++k) {
        growing.push_back(TConnectedItems::CreateGrowing(&s));
        growing.back()->AddItem(a);
    }
    std::unique_ptr<TConnectedItems> fixed = TConnectedItems::CreateFixed(&s, 3);
    fixed->Put(0, a);
    fixed->Put(2, a);
    // The first holders let go and take it again, the later ones ask for it again meanwhile.
    struct TStep {
        int Holder;
        bool Add;
        std::vector<TAbstractItem *> Expected;
    };
    const TStep steps[] = {{0, false, {}}, {1, false, {}}, {4, true, {a}}, {2, true, {a}}, {1, true, {a}},
                           {0, true, {a}}, {3, false, {}}, {3, true, {a}}, {4, false, {}}, {4, true, {a}}};
    for (const TStep &step : steps) {
        TConnectedItems &c = *growing[static_cast<std::size_t>(step.Holder)];
        if (step.Add)
            c.AddItems(std::vector<TAbstractItem *>{a, b, a});
        else
            c.Remove(a);
        std::vector<TAbstractItem *> held;
        std::copy_if(c.Slots().begin(), c.Slots().end(), std::back_inserter(held),
                     [&](TAbstractItem *i) { return i == a; });
        EXPECT_EQ(held, step.Expected) << "holder " << step.Holder << (step.Add ? " adds" : " removes");
    }
    fixed->Remove(a);
    EXPECT_EQ(fixed->Slots(), (std::vector<TAbstractItem *>{nullptr, nullptr, nullptr}));
    fixed->Put(1, a);

    TAbstractItem *const gone[] = {a};
    s.DeleteItems(gone);
    for (const auto &c : growing)
        EXPECT_EQ(std::count(c->Slots().begin(), c->Slots().end(), a), 0);
    EXPECT_EQ(fixed->Slots(), (std::vector<TAbstractItem *>{nullptr, nullptr, nullptr}));
    EXPECT_EQ(growing[4]->Slots(), (std::vector<TAbstractItem *>{b}));
    EXPECT_THROW(fixed->AddItems(std::vector<TAbstractItem *>{b}), EStreetError);
}

class MergeTest : public ::testing::Test {};

// Street B: two walls (3 and 4), a curb referring to wall 3, a curb referring to a wall 9 B lacks, and a
// group. Street A: walls 1 to 9 of its own.
TEST_F(MergeTest, ReferencesAmongMovedItemsStayWithThem) {
    TStreetStructure a;
    for (int i = 0; i < 9; ++i)
        MakeItem(a, PlainLine, {{0, float(100 + i), 0}, {1, float(100 + i), 0}});
    a.SetGroupValue(Cp1251String("Mine"), Cp1251String("ON"));
    a.SetGroupValue(Cp1251String("Shared"), Cp1251String("ON"));

    StreetFile f = StreetFile::Canonical();
    f.GrpNames = "Shared=OFF\r\nUsed=OFF\r\nUnused=ON\r\n";
    f.Points = {{1, 0, 0}, {2, 5, 0}, {3, 5, 5}};
    f.StrConn = TRefs{{"RAD_MEAS", 3}};
    ItemRec c1 = Rec("BORT", 1, {1, 2});
    c1.ReferAx = TRefs{{"RAD_MEAS", 3}};
    c1.Group = "Used";
    c1.Active = 0;
    ItemRec c2 = Rec("BORT", 2, {2, 3});
    c2.ReferAx = TRefs{{"RAD_MEAS", 9}};
    c2.Group = "Shared";
    c2.Active = 0;
    f.Lists = {{"BORT", {c1, c2}}, {"RAD_MEAS", {Rec("RAD_MEAS", 3, {1, 3}), Rec("RAD_MEAS", 4, {2, 3})}}};
    std::unique_ptr<TStreetStructure> b = LoadBytes(f.Bytes());
    TAbstractItem *wall3 = b->Lists(PlainLine).FindById(3);
    TAbstractItem *curb1 = b->Lists(BortTypeCode).FindById(1);
    TAbstractItem *curb2 = b->Lists(BortTypeCode).FindById(2);
    ASSERT_EQ(curb1->ReferAxis.Items(0), wall3);
    ASSERT_EQ(curb2->ReferAxis.Items(0), nullptr);

    a.ClearModified();
    a.Merge(*b);
    EXPECT_TRUE(a.Modified());
    EXPECT_EQ(b->Lists(BortTypeCode).Count(), 0);
    EXPECT_EQ(b->Pool().Count(), 0);
    EXPECT_EQ(b->GetMainAxis(), nullptr); // what the other street named has left it
    EXPECT_EQ(wall3->Street(), &a);
    EXPECT_EQ(wall3->ID(), 10); // renumbered after A's walls
    EXPECT_EQ(a.Lists(PlainLine).FindById(11)->Points.Count(), 2);
    EXPECT_EQ(curb1->ID(), 1);
    EXPECT_EQ(a.Pool().MaxId(), 18 + 3);
    // The moved reference still names the moved wall, not A's own wall 3.
    EXPECT_EQ(curb1->ReferAxis.Items(0), wall3);
    // What B could not bind finds A's own wall 9, not the moved wall that is now number 9 + ...
    EXPECT_EQ(curb2->ReferAxis.Items(0), a.Lists(PlainLine).FindById(9));
    // A keeps its main axis (none); groups used by the moved items come along unless A has them.
    EXPECT_EQ(a.GetMainAxis(), nullptr);
    EXPECT_EQ(a.GroupNames().Values(Cp1251String("Used")), Cp1251String("OFF"));
    EXPECT_EQ(a.GroupNames().Values(Cp1251String("Shared")), Cp1251String("ON"));
    EXPECT_EQ(a.GroupNames().IndexOfName(Cp1251String("Unused")), -1);
    EXPECT_FALSE(curb1->Active);
    EXPECT_TRUE(curb2->Active); // follows A's value of its group now
    // The merged street saves and reads back the same.
    const std::vector<uint8_t> bytes = SaveBytes(a);
    EXPECT_EQ(SaveBytes(*LoadBytes(bytes)), bytes);
}

TEST_F(MergeTest, ADanglingReferenceNeverBindsToAMovedItem) {
    // B's curb refers to wall 2, which B lacks; B's only wall becomes A's wall 2 by renumbering.
    TStreetStructure a;
    MakeItem(a, PlainLine, {{0, 9, 0}, {1, 9, 0}});
    StreetFile f = StreetFile::Canonical();
    f.Points = {{1, 0, 0}, {2, 5, 0}};
    ItemRec c = Rec("BORT", 1, {1, 2});
    c.ReferAx = TRefs{{"RAD_MEAS", 2}};
    f.Lists = {{"BORT", {c}}, {"RAD_MEAS", {Rec("RAD_MEAS", 7, {1, 2})}}};
    std::unique_ptr<TStreetStructure> b = LoadBytes(f.Bytes());
    TAbstractItem *curb = b->Lists(BortTypeCode).Items(0);
    a.Merge(*b);
    ASSERT_NE(a.Lists(PlainLine).FindById(2), nullptr);
    EXPECT_EQ(curb->ReferAxis.Items(0), nullptr);
}

class FragmentTest : public ::testing::Test {
protected:
    void SetUp() override {
        axis = MakeItem(S, PlainLine, {{0, -10, 0}, {100, -10, 0}});
        road = MakeItem(S, RoadWayTypeCode, {{0, 0, 0}, {10, 0, 0}, {10, 10, 0}, {0, 10, 0}});
        curb = MakeItemOn(S, BortTypeCode, {road->Points.PointRec(1), road->Points.PointRec(2)});
        road->SetReferAxis(axis);
        curb->SetReferAxis(road);
        copy.AddItem(road);
        copy.AddItem(curb);
        copy.SaveIndependent(buffer);
    }
    std::vector<TAbstractItem *> Paste(TStreetStructure &into, bool sameStreet = true) {
        TConnectedItems pasted(false);
        buffer.Seek(0, TSeekOrigin::Begin);
        pasted.LoadIndependent(buffer, into, sameStreet);
        return pasted.Slots();
    }
    TStreetStructure S;
    TAbstractItem *axis = nullptr, *road = nullptr, *curb = nullptr;
    TConnectedItems copy{false};
    TMemoryStream buffer;
};

TEST_F(FragmentTest, SharedVerticesAreWrittenOnceAndSharedAgain) {
    // Written from the format: 4 vertices (the curb's two are the road's), then the two records.
    std::vector<sptest::FragmentPoint> pts;
    for (int i = 0; i < 4; ++i) {
        const TXYZ p = road->Points.GetPoint(i);
        pts.push_back({p.x, p.y, p.z, road->Points.IdAt(i)});
    }
    ItemRec r = Rec("ROADWAY", road->ID(), {3, 4, 5, 6});
    r.ReferAx = TRefs{{"RAD_MEAS", 1}};
    ItemRec c = Rec("BORT", curb->ID(), {4, 5});
    c.ReferAx = TRefs{{"ROADWAY", 1}};
    EXPECT_EQ(buffer.Bytes(), sptest::FragmentBytes(pts, {r, c}));

    const std::vector<TAbstractItem *> first = Paste(S);
    ASSERT_EQ(first.size(), 2u);
    TAbstractItem *road2 = first[0], *curb2 = first[1];
    EXPECT_EQ(road2->ID(), 2);
    EXPECT_EQ(curb2->Points.PointRec(0), road2->Points.PointRec(1));
    EXPECT_NE(road2->Points.PointRec(1), road->Points.PointRec(1));
    EXPECT_EQ(road2->Points.IdAt(0), 7); // after the 6 vertices of the street
    // The copied road refers to the pasted road; the axis that was not copied is the street's own.
    EXPECT_EQ(curb2->ReferAxis.Items(0), road2);
    EXPECT_EQ(road2->ReferAxis.Items(0), axis);

    const std::vector<TAbstractItem *> second = Paste(S);
    EXPECT_EQ(second[0]->ID(), 3);
    EXPECT_EQ(second[1]->ReferAxis.Items(0), second[0]);
    std::set<TStreetPointRec *> recs;
    for (TAbstractItem *i : {road, road2, second[0]})
        for (TStreetPointRec *p : i->Points.Refs())
            recs.insert(p);
    EXPECT_EQ(recs.size(), 12u);

    // Into another street: the axis reference finds that street's wall 1.
    TStreetStructure other;
    TAbstractItem *otherWall = MakeItem(other, PlainLine, {{5, 5, 0}, {6, 5, 0}});
    const std::vector<TAbstractItem *> there = Paste(other);
    EXPECT_EQ(there[0]->ReferAxis.Items(0), otherWall);
    EXPECT_EQ(there[0]->Street(), &other);
}

TEST_F(FragmentTest, PastedIntoAnotherStreetReferencesBindOnlyToCopiedItems) {
    // The other street's wall 1 is no relative of the copied road's axis: the reference stays empty,
    // also after saving and reading (nothing pending is written that would bind it then).
    TStreetStructure other;
    MakeItem(other, PlainLine, {{5, 5, 0}, {6, 5, 0}});
    const std::vector<TAbstractItem *> there = Paste(other, false);
    ASSERT_EQ(there.size(), 2u);
    EXPECT_EQ(there[0]->ReferAxis.Items(0), nullptr);
    EXPECT_FALSE(there[0]->ReferAxis.HasPending());
    EXPECT_EQ(there[1]->ReferAxis.Items(0), there[0]);
    std::unique_ptr<TStreetStructure> back = LoadBytes(SaveBytes(other));
    TAbstractItem *road2 = back->Lists(RoadWayTypeCode).FindById(there[0]->ID());
    ASSERT_NE(road2, nullptr);
    EXPECT_EQ(road2->ReferAxis.Items(0), nullptr);
}

TEST_F(FragmentTest, PastedVerticesKeepTheirStoredHeight) {
    TMemoryStream m(sptest::FragmentBytes({{0, 0, 1.5f, 1}, {5, 0, -2, 2}, {5, 5, 0, 3}},
                                          {Rec("BORT", 1, {1, 2, 3}), Rec("KOLOD", 1, {3})}));
    TConnectedItems pasted(false);
    pasted.LoadIndependent(m, S);
    ASSERT_EQ(pasted.Count(), 2);
    const TAbstractItem *line = pasted.Items(0);
    ASSERT_EQ(line->Points.Count(), 3);
    EXPECT_EQ(line->Points.GetPoint(0).z, 1.5f);
    EXPECT_EQ(line->Points.GetPoint(1).z, -2);
    EXPECT_EQ(line->Points.GetPoint(2).z, 0);
    // A copy of the pasted items carries the heights on.
    TConnectedItems again(false);
    again.AddItem(pasted.Items(0));
    TMemoryStream copied;
    again.SaveIndependent(copied);
    copied.Seek(0, TSeekOrigin::Begin);
    TConnectedItems twice(false);
    twice.LoadIndependent(copied, S);
    EXPECT_EQ(twice.Items(0)->Points.GetPoint(0).z, 1.5f);
    // The street file keeps no heights: what is written still reads back as written.
    const std::vector<uint8_t> saved = SaveBytes(S);
    EXPECT_EQ(SaveBytes(*LoadBytes(saved)), saved);
}

TEST_F(FragmentTest, AnEmptyFragmentPastesNothing) {
    TConnectedItems none(false);
    TMemoryStream empty;
    none.SaveIndependent(empty);
    const int before = S.Pool().Count();
    S.ClearModified();
    empty.Seek(0, TSeekOrigin::Begin);
    none.LoadIndependent(empty, S);
    EXPECT_EQ(none.Count(), 0);
    EXPECT_EQ(S.Pool().Count(), before);
    EXPECT_TRUE(S.Modified());
    // Vertices that no pasted item uses do not come along.
    TMemoryStream stray(sptest::FragmentBytes({{1, 1, 0, 5}, {2, 2, 0, 6}}, {Rec("BORT", 1, {5})}));
    none.LoadIndependent(stray, S);
    EXPECT_EQ(none.Count(), 0);
    EXPECT_EQ(S.Pool().Count(), before);
}

TEST_F(FragmentTest, BadFragmentsLeaveTheTargetUntouched) {
    const std::vector<uint8_t> good = buffer.Bytes();
    auto cut = [&](std::size_t n) {
        return std::vector<uint8_t>(good.begin(), good.begin() + static_cast<long>(n));
    };
    auto withTail = [&] {
        std::vector<uint8_t> v = good;
        v.push_back(0);
        return v;
    };
    struct TBad {
        const char *Name;
        std::vector<uint8_t> Bytes;
        const char *Expect;
    };
    const TBad cases[] = {
        {"empty", {}, "Ident<>ITMSINDP"},
        {"no point table", sptest::ByteBuilder().Tag("ITMSINDP").Tag("ITEMS").I32(0).Data(),
         "Ident<>PNTCOORD"},
        {"no items tag", sptest::ByteBuilder().Tag("ITMSINDP").Tag("PNTCOORD").I32(0).Data(),
         "Ident<>ITEMS   "},
        {"point count beyond the data", sptest::ByteBuilder().Tag("ITMSINDP").Tag("PNTCOORD").I32(5).Data(),
         "exceeds the data present"},
        {"duplicate point id", sptest::FragmentBytes({{0, 0, 0, 4}, {1, 0, 0, 4}}, {}),
         "duplicate point id 4"},
        {"point id 0", sptest::FragmentBytes({{0, 0, 0, 0}}, {}), "point id 0 is not positive"},
        {"height not a number",
         sptest::FragmentBytes({{0, 0, std::numeric_limits<float>::quiet_NaN(), 1}}, {}),
         "point id 1 has a coordinate that is not a number"},
        {"unknown class", sptest::FragmentBytes({}, {Rec("NOSUCHTP", 1)}), "names no item type"},
        {"class without a registered type", sptest::FragmentBytes({}, {Rec("SUBLAYER", 1)}),
         "has no registered item class"},
        {"duplicate item id",
         sptest::FragmentBytes({{0, 0, 0, 1}, {1, 0, 0, 2}},
                               {Rec("BORT", 3, {1, 2}), Rec("BORT", 3, {2, 1})}),
         "duplicate item id 3"},
        {"truncated", cut(good.size() - 5), "exceeds the data present"},
        {"trailing byte", withTail(), "unexpected data after the last item"},
    };
    const std::vector<uint8_t> before = SaveBytes(S);
    for (const TBad &c : cases) {
        S.ClearModified();
        TConnectedItems pasted(false);
        TMemoryStream m(c.Bytes, "fragment");
        const std::string e = ErrorOf([&] { pasted.LoadIndependent(m, S); });
        EXPECT_NE(e.find(c.Expect), std::string::npos) << c.Name << ": " << e;
        EXPECT_NE(e.find(" at offset "), std::string::npos) << c.Name << ": " << e;
        EXPECT_EQ(pasted.Count(), 0) << c.Name;
        EXPECT_FALSE(S.Modified()) << c.Name;
        EXPECT_EQ(SaveBytes(S), before) << c.Name;
    }
    // Records with too few vertices are dropped like the street reader drops them.
    TConnectedItems pasted(false);
    TMemoryStream m(sptest::FragmentBytes({{0, 0, 0, 1}}, {Rec("BORT", 1, {1}), Rec("KOLOD", 1, {1})}));
    pasted.LoadIndependent(m, S);
    ASSERT_EQ(pasted.Count(), 1);
    EXPECT_EQ(pasted.Items(0)->GetTypeCode(), KolodTypeCode);
}

} // namespace
