// Items and item lists: ids, the record head, nearest-item searches, the graphics protocol with the
// type's batches, joining, cloning and freeing.
#include "StreetTestUtil.h"

#include "engine/DxRenderer.h"
#include "platform/d3d9/RecordingDevice.h"

using namespace streettest;
using sptest::ItemRec;
using sptest::Rec;
using sptest::StreetFile;

namespace {

class ItemsTest : public ::testing::Test {
protected:
    TStreetStructure S;
};

TItemBatch &Batch(TStreetStructure &s, int code, std::size_t i = 0) {
    return *s.TypeBatches(code).at(i);
}

TEST_F(ItemsTest, IdsAtLoadAndAfterwards) {
    StreetFile f = StreetFile::Canonical();
    f.Points = {{1, 0, 0}, {2, 5, 0}, {3, 9, 0}};
    f.Lists = {
        {"BORT", {Rec("BORT", 5, {1, 2}), Rec("BORT", 7, {2, 3})}},
        {"RAD_MEAS", {Rec("RAD_MEAS", 1, {1, 2}), Rec("RAD_MEAS", 2, {3}), Rec("RAD_MEAS", 3, {2, 3})}}};
    std::unique_ptr<TStreetStructure> s = LoadBytes(f.Bytes());
    EXPECT_EQ(s->Lists(BortTypeCode).MaxId(), 7);
    EXPECT_EQ(s->Lists(BortTypeCode).AddNew()->ID(), 8);
    ASSERT_EQ(s->Lists(PlainLine).Count(), 2);
    EXPECT_EQ(s->Lists(PlainLine).Items(1)->ID(), 3);
    EXPECT_EQ(s->Lists(PlainLine).MaxId(), 3);
    EXPECT_EQ(s->Lists(PlainLine).FindById(3), s->Lists(PlainLine).Items(1));
    EXPECT_EQ(s->Lists(PlainLine).FindById(2), nullptr);

    // A list whose type has no class can neither make nor read items.
    const std::string e = ErrorOf([&] { s->Lists(0).AddNew(); });
    EXPECT_NE(e.find("type 0 (SUBLAYER) has no registered item class"), std::string::npos) << e;
}

TEST_F(ItemsTest, RecordHeadReadIntoAnExistingItem) {
    TAbstractItem *item = MakeItem(S, BortTypeCode, {{0, 0, 0}, {1, 0, 0}});
    item->SetComment(Cp("старый"));
    // A record without "COMMENT " clears the comment; the id stays.
    ItemRec r = Rec("BORT", 55);
    r.Comment2 = "two";
    TMemoryStream m(r.Bytes().Data());
    item->LoadFromStreamKeepId(m);
    EXPECT_EQ(item->ID(), 1);
    EXPECT_TRUE(item->Comment().Empty());
    EXPECT_EQ(item->GetCaption(), Cp1251String("<<two>>"));

    TMemoryStream wrong(Rec("RAD_MEAS", 1).Bytes().Data());
    std::string e = ErrorOf([&] { item->LoadFromStream(wrong); });
    EXPECT_NE(e.find("TAbstractItem.LoadFromStream: Ident<>BORT    "), std::string::npos) << e;
    TMemoryStream noHead(sptest::ByteBuilder().Tag("ITEMX").Data());
    e = ErrorOf([&] { item->LoadFromStream(noHead); });
    EXPECT_NE(e.find("TAbstractItem.LoadFromStream: Ident<>ITEM"), std::string::npos) << e;

    TMemoryStream peek(Rec("KOLOD", 3).Bytes().Data());
    EXPECT_EQ(TAbstractItem::TagFromStream(peek), KolodTypeCode);
    EXPECT_EQ(peek.Position(), 0);
    TMemoryStream unknown(Rec("NOTATYPE", 3).Bytes().Data());
    e = ErrorOf([&] { TAbstractItem::TagFromStream(unknown); });
    EXPECT_NE(e.find("TAbstractItem.TagFromStream: class ident \"NOTATYPE\" names no item type"),
              std::string::npos)
        << e;
    TMemoryStream notItem(sptest::ByteBuilder().Tag("POINT").Data());
    e = ErrorOf([&] { TAbstractItem::TagFromStream(notItem); });
    EXPECT_NE(e.find("Ident<>ITEM"), std::string::npos) << e;
}

TEST_F(ItemsTest, NearestItems) {
    TAbstractItem *a = MakeItem(S, BortTypeCode, {{0, 1, 0}, {10, 1, 0}});
    TAbstractItem *b = MakeItem(S, BortTypeCode, {{0, -1, 0}, {10, -1, 0}});
    TAbstractItem *road = MakeItem(S, RoadWayTypeCode, {{0, -1, 0}, {10, -1, 0}, {10, -11, 0}, {0, -11, 0}});
    const TXYZ p{5, 0, 0};
    EXPECT_EQ(S.Lists(BortTypeCode).FindNearest(p, {}, 5), a); // the first of equal distances
    EXPECT_EQ(S.Lists(BortTypeCode).FindNearest(p, {}, 0.5), nullptr);
    TAbstractItem *excluded[] = {a};
    EXPECT_EQ(S.Lists(BortTypeCode).FindNearest(p, excluded, 5), b);
    a->Active = false;
    EXPECT_EQ(S.Lists(BortTypeCode).FindNearest(p, {}, 5), b);
    a->Active = true;
    // Equal distances over types: the higher type code wins.
    EXPECT_EQ(S.FindNearestItem({5, -2, 0}, TItemTypeSet{RoadWayTypeCode, BortTypeCode}, 5), b);
    EXPECT_EQ(S.FindNearestItem({5, -2, 0}, TItemTypeSet{RoadWayTypeCode}, 5), road);
    std::vector<TAbstractItem *> found;
    S.CollectNearestItems({5, -1.5f, 0}, TItemTypeSet{RoadWayTypeCode, BortTypeCode}, 5, {}, found);
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0], b);
    EXPECT_EQ(found[1], road);
}

TEST_F(ItemsTest, GraphicsFollowChangesThroughTheBatches) {
    S.SetGroupValue(Cp1251String("G"), Cp1251String("ON"));
    TAbstractItem *line = MakeItem(S, BortTypeCode, {{0, 0, 0}, {5, 0, 0}, {10, 0, 0}});
    TAbstractItem *other = MakeItem(S, BortTypeCode, {{0, 5, 0}, {5, 5, 0}});
    TItemBatch &batch = Batch(S, BortTypeCode);
    S.UpdateGraphics(FullTypeSet());
    EXPECT_EQ(LiveGroupCount(batch, line->Serial()), 2);
    EXPECT_EQ(LiveGroupCount(batch, other->Serial()), 1);
    EXPECT_FALSE(S.Lists(BortTypeCode).Dirty);

    line->Points.SetPoint(2, {10, 3, 0});
    S.UpdateGraphics(FullTypeSet());
    const auto groups = LiveGroups(batch, line->Serial());
    ASSERT_EQ(groups.size(), 2u);
    EXPECT_EQ(groups[1].B.y, 3); // the old segments are gone, the new ones are there
    EXPECT_EQ(LiveGroupCount(batch, other->Serial()), 1);

    // An item hidden by its group has no primitives after the next drawing; shown again, it rebuilds.
    line->SetGroupName(Cp1251String("G"));
    S.SetGroupValue(Cp1251String("G"), Cp1251String("OFF"));
    EXPECT_FALSE(line->Active);
    S.UpdateGraphics(FullTypeSet());
    EXPECT_EQ(LiveGroupCount(batch, line->Serial()), 0);
    S.SetGroupValue(Cp1251String("G"), Cp1251String("ON"));
    S.UpdateGraphics(FullTypeSet());
    EXPECT_EQ(LiveGroupCount(batch, line->Serial()), 2);

    // New batches for the type: the item's old groups are forgotten, the new batch gets its primitives.
    ItemClasses[BortTypeCode]->InitDrawBatches(S);
    TItemBatch &fresh = Batch(S, BortTypeCode);
    S.Lists(BortTypeCode).InvalidateAll();
    S.UpdateGraphics(FullTypeSet());
    EXPECT_EQ(LiveGroupCount(fresh, line->Serial()), 2);
    ASSERT_EQ(line->BatchGroups().size(), 1u);
    EXPECT_EQ(line->BatchGroups()[0].BatchSerial, fresh.Serial());

    // A freed item's groups are marked deleted.
    S.Lists(BortTypeCode).Delete(line);
    EXPECT_EQ(LiveGroupCount(fresh), 1);
}

TEST_F(ItemsTest, DrawingAppliesThePlacementAndDrawsTypeByType) {
    auto device = std::make_shared<TRecordingDevice>(64, 64);
    TDisplayRenderer renderer(device);
    MakeItem(S, ArcCoordsTypeCode, {{0, 5, 0}, {10, 5, 0}});
    MakeItem(S, BortTypeCode, {{0, 0, 0}, {10, 0, 0}});
    MakeItem(S, KolodTypeCode, {{3, 3, 0}}); // not among the drawn types
    S.Placement().Translate(false, 100, 0, 0);
    const TDxMatrix before = renderer.World().GetMatrix();
    const TDxDrawParams params{&renderer, {5, 0, 0}, 1000};
    renderer.BeginDraw();
    // Both layers: the curve draws on the technical one.
    S.Draw(params, TItemTypeSet{BortTypeCode, ArcCoordsTypeCode}, 3);
    renderer.EndDraw();
    EXPECT_EQ(renderer.World().GetMatrix(), before);
    EXPECT_TRUE(S.Lists(KolodTypeCode).Dirty);

    std::vector<float> drawnY;
    bool placed = false;
    for (const TRecordedCall &c : device->Calls()) {
        if (c.Call == TDeviceCall::SetTransform && c.Type == D3DTS_WORLD && c.Matrix.m[3][0] == 100)
            placed = true;
        if (c.Call == TDeviceCall::DrawPrimitiveUP) {
            EXPECT_TRUE(placed);
            drawnY.push_back(device->Draws()[static_cast<std::size_t>(c.DrawIndex)].Vertices().front().Y);
        }
    }
    // The curb (type 8) under the curve (type 26).
    EXPECT_EQ(drawnY, (std::vector<float>{0, 5}));
}

TEST_F(ItemsTest, JoiningLinesAndOutlines) {
    TAbstractItem *a = MakeItem(S, BortTypeCode, {{0, 0, 0}, {10, 0, 0}});
    TAbstractItem *b = MakeItemOn(S, BortTypeCode, {S.Pool().AddPointRec({20, 0, 0}), a->Points.PointRec(1)});
    ASSERT_TRUE(a->CanLinkWith(b));
    a->LinkWith(b);
    EXPECT_EQ(S.Lists(BortTypeCode).Count(), 1);
    ASSERT_EQ(a->Points.Count(), 3);
    EXPECT_EQ(a->Points.GetPoint(2).x, 20);
    EXPECT_EQ(a->Points.PointRec(1)->Owners.size(), 1u);

    TAbstractItem *c =
        MakeItemOn(S, BortTypeCode, {a->Points.PointRec(1), S.Pool().AddPointRec({10, 10, 0})});
    EXPECT_FALSE(a->CanLinkWith(c)); // an inner vertex is shared
    const std::string e = ErrorOf([&] { a->LinkWith(c); });
    EXPECT_NE(e.find("TAbstractItem.LinkWith: CanLinkWith=FALSE."), std::string::npos) << e;
    EXPECT_FALSE(a->CanLinkWith(MakeItem(S, PlainLine, {{10, 0, 0}, {10, 20, 0}}))); // another type

    TStreetPointRec *p[6];
    const TXYZ pos[6] = {{0, 0, 0}, {10, 0, 0}, {10, 10, 0}, {0, 10, 0}, {20, 0, 0}, {20, 10, 0}};
    for (int i = 0; i < 6; ++i)
        p[i] = S.Pool().AddPointRec(pos[i]);
    for (bool sameTurn : {true, false}) {
        TAbstractItem *left = MakeItemOn(S, RoadWayTypeCode, {p[0], p[1], p[2], p[3]});
        TAbstractItem *right = sameTurn ? MakeItemOn(S, RoadWayTypeCode, {p[1], p[4], p[5], p[2]})
                                        : MakeItemOn(S, RoadWayTypeCode, {p[2], p[5], p[4], p[1]});
        ASSERT_TRUE(left->CanLinkWith(right));
        left->LinkWith(right);
        ASSERT_EQ(left->Points.Count(), 6) << sameTurn;
        const std::vector<TStreetPointRec *> want = {p[0], p[1], p[4], p[5], p[2], p[3]};
        EXPECT_EQ(left->Points.Refs(), want) << sameTurn;
        S.Lists(RoadWayTypeCode).Delete(left);
    }
    EXPECT_EQ(S.Lists(RoadWayTypeCode).Count(), 0);
}

TEST_F(ItemsTest, CloningKeepsReferencesBoundInTheTarget) {
    TAbstractItem *axis = MakeItem(S, PlainLine, {{0, -10, 0}, {100, -10, 0}});
    TAbstractItem *item = MakeItem(S, BortTypeCode, {{0, 0, 0}, {10, 0, 0}});
    item->SetComment(Cp("оригинал"));
    item->SetReferAxis(axis);
    TAbstractItem *copy = item->CloneTo(S, {0, 0, 0}, {5, 5, 0});
    EXPECT_NE(copy->ID(), item->ID());
    EXPECT_EQ(copy->Comment(), item->Comment());
    EXPECT_EQ(copy->ReferAxis.Items(0), axis);
    ASSERT_EQ(copy->Points.Count(), 2);
    EXPECT_EQ(copy->Points.GetPoint(1), (TXYZ{15, 5, 0}));
    EXPECT_NE(copy->Points.PointRec(0), item->Points.PointRec(0));

    // Into another street: the reference finds that street's item of the same type and id.
    TStreetStructure other;
    TAbstractItem *otherAxis = MakeItem(other, PlainLine, {{0, 0, 0}, {1, 0, 0}});
    ASSERT_EQ(otherAxis->ID(), axis->ID());
    TAbstractItem *there = item->CloneTo(other, {0, 0, 0}, {0, 0, 0});
    EXPECT_EQ(there->Street(), &other);
    EXPECT_EQ(there->ReferAxis.Items(0), otherAxis);
}

TEST_F(ItemsTest, FreeingPurgesEveryReference) {
    TAbstractItem *axis = MakeItem(S, PlainLine, {{0, -10, 0}, {100, -10, 0}});
    TAbstractItem *item = MakeItem(S, BortTypeCode, {{0, 0, 0}, {10, 0, 0}});
    TAbstractItem *keep = MakeItem(S, BortTypeCode, {{0, 5, 0}, {10, 5, 0}});
    item->SetReferAxis(axis);
    keep->SetReferAxis(axis);
    S.SetMainAxis(axis);
    std::unique_ptr<TConnectedItems> grow = TConnectedItems::CreateGrowing(&S);
    grow->AddItem(item);
    grow->AddItem(axis);
    grow->AddItem(keep);
    TConnectedItems outside(false); // street-less
    outside.AddItem(axis);
    S.Selection().AddItem(axis);
    S.Selection().AddItem(item);

    S.Lists(PlainLine).Delete(axis);
    EXPECT_EQ(item->ReferAxis.Items(0), nullptr);
    EXPECT_EQ(keep->ReferAxis.Items(0), nullptr);
    EXPECT_EQ(S.GetMainAxis(), nullptr);
    EXPECT_EQ(grow->Slots(), (std::vector<TAbstractItem *>{item, keep}));
    EXPECT_EQ(outside.Count(), 0);
    EXPECT_EQ(S.Selection().Slots(), (std::vector<TAbstractItem *>{item}));

    // Freeing the selection frees its items through their lists.
    S.Selection().AddItem(keep);
    S.Selection().FreeItems();
    EXPECT_EQ(S.Selection().Count(), 0);
    EXPECT_EQ(S.Lists(BortTypeCode).Count(), 0);
    EXPECT_EQ(grow->Count(), 0);

    // Only the street's own items are freed by it.
    TStreetStructure other;
    TAbstractItem *foreign = MakeItem(other, BortTypeCode, {{0, 0, 0}, {1, 0, 0}});
    TAbstractItem *batch[] = {foreign};
    EXPECT_THROW(S.DeleteItems(batch), EStreetError);
    EXPECT_EQ(other.Lists(BortTypeCode).Count(), 1);
    EXPECT_THROW(S.Lists(BortTypeCode).Delete(foreign), EStreetError);
}

TEST_F(ItemsTest, ClearingKeepsTheStreetsOwnSettings) {
    StreetFile f = StreetFile::Canonical();
    f.Name = "N";
    f.DrawOpts = "ZnakScale=150\r\n";
    f.GrpNames = "A=ON\r\n";
    f.WorkTime = 42;
    f.Points = {{1, 0, 0}, {2, 1, 0}};
    f.Lists = {{"BORT", {Rec("BORT", 3, {1, 2})}}};
    std::unique_ptr<TStreetStructure> s = LoadBytes(f.Bytes());
    s->Clear();
    EXPECT_EQ(s->Lists(BortTypeCode).Count(), 0);
    EXPECT_EQ(s->Lists(BortTypeCode).MaxId(), 0);
    EXPECT_EQ(s->Pool().Count(), 0);
    EXPECT_TRUE(s->GroupNames().Empty());
    EXPECT_EQ(s->Name(), Cp1251String("N"));
    EXPECT_EQ(s->GetIntOption(Cp1251String("ZnakScale")), 150);
    EXPECT_EQ(s->WorkTime(), 42);
    EXPECT_FALSE(s->Modified());
    EXPECT_FLOAT_EQ(s->View().Scale, 0.01f);
    // The street is usable again.
    MakeItem(*s, BortTypeCode, {{0, 0, 0}, {1, 0, 0}});
    EXPECT_EQ(s->Lists(BortTypeCode).Items(0)->ID(), 1);
}

} // namespace
