// The picking, selection, creation, copy-and-paste, deletion and conversion commands of the items module,
// headless: a host whose view maps one pixel to 0.1 m, scripted prompts, a recording device for the
// selection overlay.
#include "shell/ItemsControl.h"

#include "ShellTestSupport.h"
#include "engine/Cp1251Qt.h"
#include "model/AbstractItem.h"
#include "model/GuideAxisInfo.h"
#include "model/ItemList.h"
#include "model/LineItem.h"
#include "model/PointItem.h"
#include "model/PolygonItem.h"
#include "model/StreetStructure.h"
#include "objects/AxisItem.h"
#include "objects/RegisterObjects.h"
#include "objects/StandInItems.h"
#include "platform/d3d9/RecordingDevice.h"
#include "shell/InfoStringActions.h"
#include "shell/PointEditOps.h"
#include "shell/ReportTable.h"
#include "shell/StreetTableForm.h"
#include "shell/TblToGeometryForm.h"

#include "support/StreetBuild.h"
#include <QTableWidget>

#include <gtest/gtest.h>

#include "engine/UndefinedValue.h"
#include "model/ItemTypeCodes.h"
#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

namespace {

class TPost : public TPointItem {
public:
    int GetTypeCode() const override { return KolodTypeCode; }
};

void RegisterClasses() {
    RegisterObjects();
    if (!ItemClasses[KolodTypeCode])
        ItemClasses.Register(std::make_unique<TItemClassOf<TPost>>(KolodTypeCode));
    if (!ItemClasses[DesignLineTypeCode])
        ItemClasses.Register(
            std::make_unique<TItemClassOf<TStandInItem<DesignLineTypeCode, TStandInShape::Line>>>(
                DesignLineTypeCode));
}

TAbstractItem *Make(TStreetStructure &s, int code, std::initializer_list<TXYZ> points) {
    TAbstractItem *item = s.Lists(code).AddNew();
    for (const TXYZ &p : points)
        item->Points.InsertNewPoint(item->Points.Count(), p);
    return item;
}

// Pixel (x, y) is the ground point (x / 10, y / 10).
TMouseEventArgs Click(int x, int y, Qt::MouseButton b = Qt::RightButton, Qt::KeyboardModifiers m = {}) {
    TMouseEventArgs e;
    e.Button = b;
    e.Buttons = b;
    e.Modifiers = m;
    e.X = x;
    e.Y = y;
    return e;
}

// Streets take the item classes registered when they are made: this base registers them first.
struct TClassesFirst {
    TClassesFirst() { RegisterClasses(); }
};

class ItemsControlTest : private TClassesFirst, public shelltest::ShellTest {
protected:
    ItemsControlTest() {
        host.Street = [this]() -> TStreetStructure * { return current; };
        host.ScreenToGround = [](int x, int y) { return TXYZ{float(x) / 10, float(y) / 10, 0}; };
        host.ViewSize = [](int &w, int &h) {
            w = 2000;
            h = 1000;
            return true;
        };
        host.VisibleLayers = [this] { return layers; };
        host.SetVisibleLayers = [this](const TItemTypeSet &s) { layers = s; };
        // As the window's RefreshAll does, a refresh ends with the update listeners.
        host.Refresh = [this] {
            ++refreshes;
            updateListeners.Call();
        };
        host.MouseMode = [this] { return mode; };
        host.SetMouseMode = [this](TMouseEvents *m) { mode = m; };
        host.ShowAt = [this](const TXYZ &p) { shownAt = p; };
        host.DrawListeners = &drawListeners;
        host.UpdateListeners = &updateListeners;
        module = std::make_unique<TItemsControlModule>(host);
        // A road way 20 x 10 m with a curb on its top edge (shared vertices), a post beside it.
        road = Make(street, RoadWayTypeCode, {{0, 0, 0}, {20, 0, 0}, {20, 10, 0}, {0, 10, 0}});
        curb = street.Lists(BortTypeCode).AddNew();
        curb->Points.Insert(0, road->Points.PointRec(2));
        curb->Points.Insert(1, road->Points.PointRec(3));
        post = Make(street, KolodTypeCode, {{25, 5, 0}});
    }
    ~ItemsControlTest() override { module.reset(); }

    std::vector<TAbstractItem *> Sel() const { return module->Selection(); }

    TStreetStructure street;
    TStreetStructure *current = &street;
    TItemTypeSet layers = FullTypeSet();
    int refreshes = 0;
    TMouseEvents *mode = nullptr;
    TXYZ shownAt{-1, -1, -1};
    TListenerList<const TDxDrawParams &> drawListeners;
    TListenerList<> updateListeners;
    TItemsControlHost host;
    std::unique_ptr<TItemsControlModule> module;
    TAbstractItem *road = nullptr, *curb = nullptr, *post = nullptr;
};

TEST_F(ItemsControlTest, PickingHitsTheNearestItemOfTheFilterWithinTenPixels) {
    const TItemTypeSet lines{BortTypeCode}, polygons = TItemsControlModule::PolygonPickTypes;
    struct TCase {
        const char *Name;
        TItemTypeSet Filter;
        TItemTypeSet Visible;
        int X, Y;
        TAbstractItem *Want; // nullptr: the selection stays as it was (the post)
    };
    const TCase cases[] = {
        {"inside the road way, far from its edges", polygons, FullTypeSet(), 100, 50, road},
        {"9 pixels from the curb", lines, FullTypeSet(), 100, 109, curb},
        {"11 pixels from the curb", lines, FullTypeSet(), 100, 111, nullptr},
        {"a type outside the filter", polygons, FullTypeSet(), 250, 50, nullptr},
        {"a hidden layer", polygons, TItemTypeSet{BortTypeCode, KolodTypeCode}, 100, 50, nullptr},
        {"the post among every type", FullTypeSet(), FullTypeSet(), 252, 50, post},
    };
    for (const TCase &c : cases) {
        street.Selection().Clear();
        street.Selection().AddItem(post);
        module->PickFilter = c.Filter;
        layers = c.Visible;
        module->FindItemMode->MouseDown(Click(c.X, c.Y));
        module->FindItemMode->MouseUp(Click(c.X, c.Y));
        TAbstractItem *want = c.Want ? c.Want : post;
        EXPECT_EQ(Sel(), std::vector<TAbstractItem *>{want}) << c.Name;
    }
}

TEST_F(ItemsControlTest, SelectionRulesOfTheRightButton) {
    module->PickFilter = FullTypeSet();
    auto press = [&](int x, int y, Qt::KeyboardModifiers m = {}) {
        module->FindItemMode->MouseDown(Click(x, y, Qt::RightButton, m));
        module->FindItemMode->MouseUp(Click(x, y, Qt::RightButton, m));
    };
    // Ctrl where the road way and the curb lying on it both hit: both offered, the curb first; dismissing
    // changes nothing.
    prompts_.Menu(-1).Menu(0);
    press(100, 99, Qt::ControlModifier);
    EXPECT_EQ(prompts_.LastMenuEntries(),
              (QStringList{ToQString(curb->GetDisplayName()), ToQString(road->GetDisplayName())}));
    EXPECT_TRUE(Sel().empty());
    press(100, 99, Qt::ControlModifier);
    EXPECT_EQ(Sel(), std::vector<TAbstractItem *>{curb});
    // Shift adds at the end, and takes a selected non-current item out.
    press(250, 50, Qt::ShiftModifier);
    press(100, 50, Qt::ShiftModifier);
    EXPECT_EQ(Sel(), (std::vector<TAbstractItem *>{curb, post, road}));
    press(250, 50, Qt::ShiftModifier);
    EXPECT_EQ(Sel(), (std::vector<TAbstractItem *>{curb, road}));
    // A selected item becomes current without the others leaving.
    press(100, 50);
    EXPECT_EQ(Sel(), (std::vector<TAbstractItem *>{road, curb}));
    // Clicking the current item makes its vertex nearest to the pointer current.
    press(195, 5);
    EXPECT_EQ(Sel(), (std::vector<TAbstractItem *>{road, curb}));
    EXPECT_EQ(road->Points.CurrentIndex, 1);
    press(5, 85); // beyond the pick distance of the curb on the top edge
    EXPECT_EQ(road->Points.CurrentIndex, 3);
    // An unselected item replaces the selection.
    press(250, 50);
    EXPECT_EQ(Sel(), std::vector<TAbstractItem *>{post});
    EXPECT_TRUE(prompts_.Done());
    EXPECT_EQ(module->CurrentItem(), post);
}

TEST_F(ItemsControlTest, RubberBandAddsItemsWhollyInsideAndNeverRemoves) {
    module->PickFilter = FullTypeSet();
    TMouseEvents &m = *module->FindItemMode;
    m.MouseDown(Click(-10, -10, Qt::LeftButton, Qt::ControlModifier));
    EXPECT_TRUE(module->RubberBand());
    TMouseEventArgs move = Click(210, 105, Qt::NoButton);
    move.Buttons = Qt::LeftButton;
    m.MouseMove(move); // the road way is inside, the curb's vertices too; the post is not
    EXPECT_EQ(Sel(), (std::vector<TAbstractItem *>{road, curb}));
    move.X = 150; // both now stick out: they stay selected
    m.MouseMove(move);
    EXPECT_EQ(Sel(), (std::vector<TAbstractItem *>{road, curb}));
    move.X = 300;
    m.MouseMove(move);
    EXPECT_EQ(Sel(), (std::vector<TAbstractItem *>{road, curb, post}));
    m.MouseUp(Click(300, 105, Qt::LeftButton));
    EXPECT_FALSE(module->RubberBand());

    // An item with one vertex outside is never taken.
    street.Selection().Clear();
    m.MouseDown(Click(-10, -10, Qt::LeftButton, Qt::ControlModifier));
    move.X = 190;
    move.Y = 120;
    m.MouseMove(move);
    m.MouseUp(Click(190, 120, Qt::LeftButton));
    EXPECT_TRUE(Sel().empty());
}

TEST_F(ItemsControlTest, CreationMenuAndSamples) {
    // The menu: categories in turn, each closed by a separator, then the tuning entry.
    const std::vector<TItemMenuEntry> &menu = module->NewItemMenu();
    ASSERT_FALSE(menu.empty());
    EXPECT_EQ(menu.back().Name, QStringLiteral("NewItemTuningMI"));
    EXPECT_EQ(menu.back().Caption, QStringLiteral("Настройка..."));
    int types = 0;
    for (const TItemMenuEntry &e : menu)
        if (e.Tag >= 0) {
            ++types;
            EXPECT_EQ(e.Name, QStringLiteral("NewItemMI_") + QString::fromLatin1(ItemTypeClassName(e.Tag)));
        }
    EXPECT_EQ(types, ItemTypeCount);
    module->CreateSet = {RoadWayTypeCode, HouseTypeCode, BortTypeCode};
    std::vector<int> shown;
    for (const TItemMenuEntry &e : module->VisibleNewItemEntries())
        if (e.Tag >= 0)
            shown.push_back(e.Tag);
    EXPECT_EQ(shown,
              (std::vector<int>{RoadWayTypeCode, BortTypeCode})); // a house is never created from the menu

    // A sample gives its attributes and no points; a hidden layer becomes visible.
    road->SetComment(Cp("асфальт"));
    road->SetGroupName(Cp("Г1"));
    street.Selection().AddItem(road);
    module->CopySample();
    EXPECT_TRUE(module->HasSample(RoadWayTypeCode));
    layers = {BortTypeCode};
    TAbstractItem *made = module->CreateItem(RoadWayTypeCode);
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made->Points.Count(), 0);
    EXPECT_EQ(made->Comment(), Cp("асфальт"));
    EXPECT_EQ(made->GroupName(), Cp("Г1"));
    EXPECT_NE(made->ID(), road->ID());
    EXPECT_EQ(road->Points.Count(), 4); // the sample's vertices stay where they were
    EXPECT_EQ(Sel(), std::vector<TAbstractItem *>{made});
    EXPECT_TRUE(layers.Contains(RoadWayTypeCode));
    // Through the menu, and clearing the samples asks first (only with nothing selected).
    prompts_.Menu(0);
    module->CreateItemAction->Click();
    EXPECT_EQ(module->CurrentItem()->GetTypeCode(), RoadWayTypeCode);
    street.Selection().Clear();
    prompts_.Answer(TPromptAnswer::Yes);
    module->CopySample();
    EXPECT_FALSE(module->HasSample(RoadWayTypeCode));
    EXPECT_TRUE(prompts_.Done());
}

TEST_F(ItemsControlTest, MenusOfferTypesWithoutAClassDisabled) {
    // Nobody builds the slope measure yet: it is in the menus, but cannot be chosen.
    constexpr int Classless = SlopeMeasureTypeCode;
    ASSERT_EQ(street.Lists(Classless).ItemClass(), nullptr);
    module->CreateSet = {RoadWayTypeCode, BortTypeCode, Classless};
    const int roads = street.Lists(RoadWayTypeCode).Count();

    // The creation menu: each category that offers a type closed by a separator, then the tuning entry.
    prompts_.Menu(-1);
    module->CreateItemAction->Click();
    const QStringList shown = prompts_.LastMenuEntries();
    const QString slope = ToQString(ItemTypeDisplayName(Classless)),
                  roadWay = ToQString(ItemTypeDisplayName(RoadWayTypeCode)),
                  curb = ToQString(ItemTypeDisplayName(BortTypeCode)), sep = QStringLiteral("-");
    EXPECT_EQ(shown, (QStringList{roadWay, sep, curb, sep, slope, sep, QStringLiteral("Настройка...")}));
    const std::vector<bool> &enabled = prompts_.LastMenuEnabled();
    EXPECT_EQ(enabled, (std::vector<bool>{true, false, true, false, false, false, true}));
    // A disabled type and a separator are no choice; the road way is.
    prompts_.Menu(4).Menu(1).Menu(0);
    module->CreateItemAction->Click();
    module->CreateItemAction->Click();
    EXPECT_EQ(street.Lists(RoadWayTypeCode).Count(), roads);
    EXPECT_EQ(street.Lists(BortTypeCode).Count(), 1);
    module->CreateItemAction->Click();
    EXPECT_EQ(street.Lists(RoadWayTypeCode).Count(), roads + 1);
    street.Selection().Clear();

    // The conversion menu of the "Тип" line: the same rule.
    street.Selection().AddItem(road);
    prompts_.Menu(-1);
    module->SelectedDescription->DoClick();
    const QStringList types = prompts_.LastMenuEntries();
    const int slopeAt = int(types.indexOf(slope));
    const int walkAt = int(types.indexOf(ToQString(ItemTypeDisplayName(TrotuarTypeCode))));
    ASSERT_GE(slopeAt, 0);
    ASSERT_GE(walkAt, 0);
    EXPECT_FALSE(prompts_.LastMenuEnabled()[std::size_t(slopeAt)]);
    EXPECT_TRUE(prompts_.LastMenuEnabled()[std::size_t(walkAt)]);
    prompts_.Menu(slopeAt);
    module->SelectedDescription->DoClick();
    EXPECT_EQ(Sel(), std::vector<TAbstractItem *>{road}) << "nothing converted";
    EXPECT_TRUE(prompts_.Done());
}

TEST_F(ItemsControlTest, ANewItemLeftShortOfItsPointsNeverStays) {
    // A road way from the menu needs three points; the user gives it some and then leaves it.
    struct TCase {
        const char *Name;
        int Points;
        std::function<void()> Leave;
        bool Stays;
    };
    const TCase cases[] = {
        {"Esc right after the menu", 0, [&] { module->ClearSelection(); }, false},
        {"another item picked after two points", 2, [&] { module->SelectItem(post); }, false},
        {"another item created after one point", 1, [&] { module->CreateItem(BortTypeCode); }, false},
        {"the selection changed elsewhere", 2,
         [&] {
             street.Selection().Clear();
             street.Selection().AddItem(road);
             host.Refresh();
         },
         false},
        {"another item added with Shift: the new one is still current", 2, [&] { module->ToggleItem(post); },
         true},
        {"a refresh while it is still being digitised", 2, [&] { host.Refresh(); }, true},
        {"another item picked after three points", 3, [&] { module->SelectItem(post); }, true},
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.Name);
        TAbstractItem *made = module->CreateItem(RoadWayTypeCode);
        ASSERT_NE(made, nullptr);
        for (int i = 0; i < c.Points; ++i)
            ASSERT_TRUE(AddPoint(*made, {50.0f + float(i), float(i * i), 0}, false).Changed());
        c.Leave();
        EXPECT_EQ(street.Lists(RoadWayTypeCode).Count(), c.Stays ? 2 : 1);
        EXPECT_TRUE(prompts_.Messages().empty());
        // What is left goes, so that the next case starts from the fixture's street.
        std::vector<TAbstractItem *> extra;
        for (int code : {RoadWayTypeCode, BortTypeCode})
            for (const auto &item : street.Lists(code))
                if (item.get() != road && item.get() != curb)
                    extra.push_back(item.get());
        street.DeleteItems(extra);
        street.Selection().Clear();
    }
}

TEST_F(ItemsControlTest, CopyAndPasteInTheSameStreetAndIntoAnother) {
    TAbstractItem *axis = Make(street, AxisTypeCode, {{-10, -5, 0}, {50, -5, 0}});
    road->SetReferAxis(axis);
    // Insert: the copy's first point 5 m up and right of the original's, new vertices, nothing shared.
    street.Selection().AddItem(road);
    street.Selection().AddItem(curb);
    module->CopyAndPasteAction->Click();
    const std::vector<TAbstractItem *> copies = Sel();
    ASSERT_EQ(copies.size(), 2u);
    TAbstractItem *road2 = copies[0], *curb2 = copies[1];
    EXPECT_EQ(road2->Points.GetPoint(0).x, 5);
    EXPECT_EQ(road2->Points.GetPoint(0).y, 5);
    EXPECT_EQ(road->Points.GetPoint(0).x, 0);
    for (int i = 0; i < road2->Points.Count(); ++i)
        for (int j = 0; j < road->Points.Count(); ++j)
            EXPECT_NE(road2->Points.PointRec(i), road->Points.PointRec(j));
    EXPECT_EQ(curb2->Points.PointRec(0), road2->Points.PointRec(2)); // shared among the copies again
    EXPECT_EQ(road2->ReferAxis.Items(0), axis); // same street: the axis that was not copied

    // Ctrl+V into another street: the pasted items land at the view's middle; the axis stays behind.
    TStreetStructure other;
    TAbstractItem *stranger = Make(other, AxisTypeCode, {{0, 0, 0}, {1, 0, 0}});
    ASSERT_EQ(stranger->ID(), axis->ID());
    current = &other;
    module->PasteItemsAction->Click();
    const std::vector<TAbstractItem *> there = Sel();
    ASSERT_EQ(there.size(), 2u);
    EXPECT_EQ(there[0]->Street(), &other);
    EXPECT_EQ(there[0]->Points.GetPoint(0).x, 100); // pixel (1000, 500)
    EXPECT_EQ(there[0]->Points.GetPoint(0).y, 50);
    EXPECT_EQ(there[0]->ReferAxis.Items(0), nullptr);
    // Without shift: where the copied items were.
    module->PasteNoShift();
    EXPECT_EQ(Sel()[0]->Points.GetPoint(0).x, 0);
}

TEST_F(ItemsControlTest, DeletionAsksWithTheCountAndTablesLoseTheRows) {
    street.Selection().AddItem(road);
    street.Selection().AddItem(post);
    road->SetComment(Cp("a#b"));
    TStreetTableForm *table = TStreetTableForm::ShowStreetTable(QStringLiteral("Унифицированная таблица"),
                                                                MakeUnifiedTable({road, curb, post}), street);
    ASSERT_EQ(table->Table().RowCount(), 3);
    prompts_.Answer(TPromptAnswer::No).Answer(TPromptAnswer::Yes);
    EXPECT_FALSE(module->DeleteSelected());
    EXPECT_EQ(street.Lists(RoadWayTypeCode).Count(), 1);
    street.ClearModified();
    EXPECT_TRUE(module->DeleteSelected());
    EXPECT_EQ(prompts_.Log().back(), QStringLiteral("ask: Удалить выбранные объекты в количестве 2 штук?"));
    EXPECT_EQ(street.Lists(RoadWayTypeCode).Count(), 0);
    EXPECT_EQ(street.Lists(KolodTypeCode).Count(), 0);
    EXPECT_TRUE(Sel().empty());
    EXPECT_TRUE(street.Modified());
    ASSERT_EQ(table->Table().RowCount(), 1);
    EXPECT_EQ(table->Table().RowFields(0)[4], curb->GetDisplayName());
    EXPECT_EQ(table->Table().Lines[0].Text, Cp1251String("1"));
    delete table;
}

TEST_F(ItemsControlTest, UnifiedTableStationsSidesAndUserText) {
    TAbstractItem *axis = Make(street, AxisTypeCode, {{0, -5, 0}, {100, -5, 0}});
    auto *guide = dynamic_cast<TAxisItem *>(axis);
    ASSERT_TRUE(guide);
    guide->SetLeftSideName(Cp("лев"));
    guide->SetRightSideName(Cp("прав"));
    road->SetReferAxis(axis);
    post->SetComment(Cp("x#y"));
    curb->SetReferAxis(axis);
    TAbstractItem *below = Make(street, KolodTypeCode, {{30, -8, 0}});
    below->SetReferAxis(axis);
    const TReportTable t = MakeUnifiedTable({road, post, below});
    EXPECT_EQ(t.Columns().size(), 8u);
    ASSERT_EQ(t.RowCount(), 3);
    const std::vector<Cp1251String> r0 = t.RowFields(0), r1 = t.RowFields(1), r2 = t.RowFields(2);
    EXPECT_EQ(r0[1], Cp("лев"));
    EXPECT_EQ(r0[2], Cp1251String("  0.0"));
    EXPECT_EQ(r0[3], Cp1251String(" 20.0"));
    // No axis: no stations (not UndefinedValue); "#" in a comment stays in its column.
    EXPECT_EQ(r1[1], Cp1251String());
    EXPECT_EQ(r1[2], Cp1251String());
    EXPECT_EQ(r1[3], Cp1251String());
    EXPECT_EQ(r1[6], Cp("x#y"));
    EXPECT_EQ(r2[1], Cp("прав"));
    EXPECT_EQ(r2[2], Cp1251String(" 30.0"));
}

TEST_F(ItemsControlTest, TypeConversionKeepsVerticesAttributesAndPlace) {
    TAbstractItem *other = Make(street, RoadWayTypeCode, {{30, 0, 0}, {40, 0, 0}, {40, 5, 0}});
    other->SetComment(Cp("к"));
    other->SetGroupName(Cp("Г"));
    street.Selection().AddItem(post);
    module->ConvertSelection(TrotuarTypeCode);
    // A post has one vertex, a sidewalk needs three: refused, nothing changes.
    EXPECT_EQ(prompts_.Messages().size(), 1);
    EXPECT_EQ(street.Lists(KolodTypeCode).Count(), 1);

    street.Selection().Clear();
    street.Selection().AddItem(road);
    street.Selection().AddItem(post);
    module->ConvertSelection(TrotuarTypeCode);
    EXPECT_EQ(prompts_.Messages().size(), 2);
    EXPECT_TRUE(prompts_.Messages().back().contains(QStringLiteral("одного типа")));

    street.Selection().Clear();
    street.Selection().AddItem(road);
    street.Selection().AddItem(other);
    TStreetPointRec *shared = road->Points.PointRec(2);
    module->ConvertSelection(RazdPolTypeCode);
    const std::vector<TAbstractItem *> sel = Sel();
    ASSERT_EQ(sel.size(), 2u);
    EXPECT_EQ(sel[0]->GetTypeCode(), RazdPolTypeCode);
    EXPECT_EQ(sel[0]->Points.PointRec(2), shared);
    EXPECT_EQ(curb->Points.PointRec(0), shared);
    EXPECT_EQ(sel[1]->Comment(), Cp("к"));
    EXPECT_EQ(sel[1]->GroupName(), Cp("Г"));
    EXPECT_EQ(street.Lists(RoadWayTypeCode).Count(), 0);
}

TEST_F(ItemsControlTest, ConversionTakesTheVerticesAReaderKeeps) {
    // A curb of three vertices, the first two 0.5 mm apart: a reader keeps two of them.
    const TXYZArray hair = {{40, 0, 0}, {40.0005f, 0, 0}, {43, 0, 0}};
    const TXYZArray square = {{40, 0, 0}, {41, 0, 0}, {41, 1, 0}, {40, 1, 0}};
    struct TCase {
        const char *Name;
        int From;
        const TXYZArray &Points;
        int Type;
        bool Converted;
    };
    const TCase cases[] = {
        {"a sidewalk needs three", BortTypeCode, hair, TrotuarTypeCode, false},
        {"a post takes one at most", RoadWayTypeCode, square, KolodTypeCode, false},
        {"a guide axis needs two", BortTypeCode, hair, AxisTypeCode, true},
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.Name);
        TAbstractItem *item = street.Lists(c.From).AddNew();
        for (const TXYZ &p : c.Points)
            item->Points.InsertNewPoint(item->Points.Count(), p);
        const int before = street.Lists(c.From).Count();
        const std::size_t messages = prompts_.Messages().size();
        street.Selection().Clear();
        street.Selection().AddItem(item);
        module->ConvertSelection(c.Type);
        EXPECT_EQ(street.Lists(c.From).Count(), c.Converted ? before - 1 : before);
        EXPECT_EQ(prompts_.Messages().size(), c.Converted ? messages : messages + 1);
        // Whatever the street holds comes back from its file.
        const std::unique_ptr<TStreetStructure> back = sptest::LoadBytes(sptest::SaveBytes(street));
        for (int code : {c.From, c.Type})
            EXPECT_EQ(back->Lists(code).Count(), street.Lists(code).Count()) << code;
        street.Selection().FreeItems();
    }
}

TEST_F(ItemsControlTest, ShowSelectionWalksThroughTheSelection) {
    street.Selection().AddItem(road);
    street.Selection().AddItem(post);
    road->Points.CurrentIndex = 2;
    module->ShowSelection();
    EXPECT_EQ(module->CurrentItem(), post);
    EXPECT_EQ(shownAt.x, 25);
    module->ShowSelection();
    EXPECT_EQ(module->CurrentItem(), road);
    EXPECT_EQ(shownAt.x, 20);
    EXPECT_EQ(shownAt.y, 10);
}

TEST_F(ItemsControlTest, InfoLinesAndTheSelectionOverlay) {
    street.Selection().AddItem(road);
    street.Selection().AddItem(curb);
    EXPECT_EQ(module->SelectedCountInfo->GetInfo(), QStringLiteral("2"));
    EXPECT_EQ(module->SelectedDescription->GetInfo(), QStringLiteral("***"));
    EXPECT_EQ(module->SelectedDescription->TextColor, QColor(0x80, 0x80, 0x80));
    street.Selection().Remove(curb);
    EXPECT_EQ(module->SelectedDescription->GetInfo(), ToQString(road->GetDisplayName()));

    // The overlay: the road way hatched with the shipped hatch picture (its own triangles), then its
    // outline (4 segments) and a square at each vertex in one line batch.
    auto device = std::make_shared<TRecordingDevice>(400, 300);
    TDisplayRenderer renderer(device);
    renderer.BeginDraw();
    renderer.Projection().Scale(true, 0.05f, 0.05f, 1); // 20 m across half the view
    device->ClearRecord();
    TDxDrawParams params{&renderer, {}, 0};
    drawListeners.Call(params);
    road->Points.EnsureGeometry();
    const std::size_t outline = 2 * (road->Points.Dense().size() - 1);
    ASSERT_EQ(device->Draws().size(), 2u);
    const TRecordedDraw &hatch = device->Draws()[0];
    EXPECT_EQ(hatch.Type, D3DPT_TRIANGLELIST);
    EXPECT_EQ(hatch.VertexCount, dynamic_cast<TPolygonItem &>(*road).Triangles().size());
    EXPECT_NE(hatch.State.Texture, nullptr);
    EXPECT_EQ(device->Draws()[1].Type, D3DPT_LINELIST);
    EXPECT_EQ(device->Draws()[1].VertexCount, outline + 4u * 8);
}

TEST_F(ItemsControlTest, TableRowsBecomeTheSelectionOfTheTablesStreet) {
    std::vector<TAbstractItem *> curbs;
    for (int i = 0; i < 6; ++i)
        curbs.push_back(Make(street, BortTypeCode, {{float(30 + i), 0, 0}, {float(30 + i), 5, 0}}));
    TStreetTableForm *table =
        TStreetTableForm::ShowStreetTable(QStringLiteral("Т"), MakeUnifiedTable(curbs), street);
    QTableWidget *grid = table->Grid();
    auto selectRows = [&](int from, int to) {
        grid->clearSelection();
        grid->setRangeSelected(QTableWidgetSelectionRange(from, 0, to, grid->columnCount() - 1), true);
    };
    // Rows 3 to 5: exactly their three curbs, in row order.
    street.Selection().AddItem(road);
    selectRows(2, 4);
    table->SelectRows();
    EXPECT_EQ(Sel(), (std::vector<TAbstractItem *>{curbs[2], curbs[3], curbs[4]}));
    // Adding rows already selected adds nothing; other rows join. Each addition shows the selection,
    // which turns it round by one (its first item goes to the end).
    auto sorted = [](std::vector<TAbstractItem *> v) {
        std::sort(v.begin(), v.end());
        return v;
    };
    table->AddRowsToSelection();
    EXPECT_EQ(sorted(Sel()), sorted({curbs[2], curbs[3], curbs[4]}));
    EXPECT_EQ(Sel().front(), curbs[3]);
    selectRows(0, 0);
    table->AddRowsToSelection();
    EXPECT_EQ(sorted(Sel()), sorted({curbs[0], curbs[2], curbs[3], curbs[4]}));
    table->ClearSelection();
    EXPECT_TRUE(Sel().empty());
    // A double click selects and shows.
    shownAt = {-1, -1, -1};
    selectRows(1, 1);
    table->SelectAndShow();
    EXPECT_EQ(Sel(), std::vector<TAbstractItem *>{curbs[1]});
    EXPECT_EQ(shownAt.x, 31);
    // A freed item's row is gone; the rest still select.
    TAbstractItem *const gone[] = {curbs[3]};
    street.DeleteItems(gone);
    ASSERT_EQ(grid->rowCount(), 5);
    selectRows(0, 4);
    table->SelectRows();
    EXPECT_EQ(Sel().size(), 5u);
    // Another street with the same ids is not the table's: with the table's street closed, rows select
    // nothing.
    TStreetStructure other;
    for (int i = 0; i < 6; ++i)
        Make(other, BortTypeCode, {{0, 0, 0}, {1, 1, 0}});
    current = &other;
    table->SelectRows();
    EXPECT_EQ(other.Selection().Count(), 0);
    current = &street;
    delete table;
}

// Rows that name one item twice select it once, where it first comes, and the window is refreshed once,
// when the selection is complete; a row whose item is gone from the street selects nothing.
TEST_F(ItemsControlTest, SelectedRowsBecomeTheSelectionInOneStep) {
    TAbstractItem *a = Make(street, BortTypeCode, {{30, 0, 0}, {30, 5, 0}});
    TAbstractItem *b = Make(street, BortTypeCode, {{31, 0, 0}, {31, 5, 0}});
    TStreetTableForm *table =
        TStreetTableForm::ShowStreetTable(QStringLiteral("Т"), MakeUnifiedTable({b, a, b, post, a}), street);
    // A row naming an id nobody has.
    TReportTable rows = table->Table();
    rows.AddRow(rows.RowFields(0), QVariantList{BortTypeCode, 9999});
    table->FillGrid(rows);
    table->Grid()->selectAll();
    street.Selection().AddItem(road);
    refreshes = 0;
    table->SelectRows();
    EXPECT_EQ(Sel(), (std::vector<TAbstractItem *>{b, a, post}));
    EXPECT_EQ(refreshes, 1);
    // Joining rows already selected adds nothing.
    table->AddRowsToSelection();
    EXPECT_EQ(Sel().size(), 3u);
    delete table;
}

TEST_F(ItemsControlTest, TwoNumberColumnsMakeADesignLine) {
    TReportTable rows = TReportTable::WithHeader({Cp("Пикет"), Cp("Имя"), Cp("Высота")});
    rows.AddRow({Cp("0"), Cp("а"), Cp("1.2")});
    rows.AddRow({Cp("20"), Cp("б"), Cp("1.5")});
    TStreetTableForm *table = TStreetTableForm::ShowStreetTable(QStringLiteral("Т"), rows, street);
    TTblToGeometryForm &form = TTblToGeometryForm::Instance();
    form.Attach(table);
    const int lines = street.Lists(DesignLineTypeCode).Count();
    form.SetColumns(0, 2, true);
    TAbstractItem *line = form.Do();
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->GetTypeCode(), DesignLineTypeCode);
    ASSERT_EQ(line->Points.Count(), 2);
    EXPECT_EQ(line->Points.GetPoint(0).x, 0);
    EXPECT_NEAR(line->Points.GetPoint(0).y, 12, 1e-5);
    EXPECT_EQ(line->Points.GetPoint(1).x, 20);
    EXPECT_NEAR(line->Points.GetPoint(1).y, 15, 1e-5);
    EXPECT_EQ(street.Lists(DesignLineTypeCode).Count(), lines + 1);
    // A column of words: nothing is made, and the message names the row and the column.
    form.SetColumns(1, 2, false);
    EXPECT_EQ(form.Do(), nullptr);
    EXPECT_EQ(street.Lists(DesignLineTypeCode).Count(), lines + 1);
    ASSERT_FALSE(prompts_.Messages().isEmpty());
    EXPECT_TRUE(prompts_.Messages().back().contains(QStringLiteral("Строка 1")));
    EXPECT_TRUE(prompts_.Messages().back().contains(QStringLiteral("Имя")));
    // One row is no line.
    TReportTable one = TReportTable::WithHeader({Cp("X"), Cp("Y")});
    one.AddRow({Cp("1"), Cp("2")});
    table->FillGrid(one);
    form.Attach(table);
    form.SetColumns(0, 1, false);
    EXPECT_EQ(form.Do(), nullptr);
    EXPECT_EQ(street.Lists(DesignLineTypeCode).Count(), lines + 1);
    delete table;
    delete &form;
}

} // namespace
