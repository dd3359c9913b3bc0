// The main window without a display: refresh and its listeners, mouse modes that lose their context, the
// two drawers and the F4 shortcut, the street tabs and the save actions, the info grid's layout, the
// groups menu, and the settings the window keeps.
#include "ShellTestSupport.h"

#include "model/AbstractItem.h"
#include "model/ItemList.h"
#include "model/ItemTypeCodes.h"
#include "model/ItemTypes.h"
#include "shell/ContextModules.h"
#include "shell/InfoGrid.h"
#include "shell/InfoStringActions.h"
#include "shell/MainForm.h"
#include "shell/StreetsHolder.h"

#include <QAction>
#include <QMenu>
#include <QScrollBar>
#include <QTabBar>

namespace {

class MainFormTest : public shelltest::ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        holder_ = std::make_unique<TStreetsHolderModule>();
        form_ = std::make_unique<TMainForm>(*holder_);
    }
    void TearDown() override {
        form_.reset();
        holder_.reset();
        shelltest::RunDeferredDeletes();
        ShellTest::TearDown();
    }
    template <class T> T *Child(const char *name) const {
        return form_->findChild<T *>(QString::fromLatin1(name));
    }

    std::unique_ptr<TStreetsHolderModule> holder_;
    std::unique_ptr<TMainForm> form_;
};

TEST_F(MainFormTest, UpdateListenersSeeOnePassOfTheListAsItStood) {
    struct TListener {
        MainFormTest *Test;
        int Calls = 0;
        std::function<void()> During;
        void Update() {
            ++Calls;
            if (During)
                During();
        }
    };
    TListener a{this, 0, {}}, b{this, 0, {}}, late{this, 0, {}};
    form_->UpdateListeners.Add(&a, &TListener::Update);
    form_->UpdateListeners.Add(&b, &TListener::Update);
    // a removes b and adds another: in this pass b is not called and the new one is not either.
    a.During = [&] {
        form_->UpdateListeners.Remove(&b, &TListener::Update);
        form_->UpdateListeners.Add(&late, &TListener::Update);
    };
    form_->RefreshAll();
    EXPECT_EQ(a.Calls, 1);
    EXPECT_EQ(b.Calls, 0);
    EXPECT_EQ(late.Calls, 0);
    a.During = nullptr;
    form_->RefreshAll();
    EXPECT_EQ(late.Calls, 1);
    form_->UpdateListeners.RemoveObject(&a);
    form_->UpdateListeners.RemoveObject(&late);
    EXPECT_TRUE(form_->NeedRedraw());
}

TEST_F(MainFormTest, AModeWhoseContextFailsIsDroppedByTheRefresh) {
    TMouseEvents mode;
    bool valid = true;
    mode.OnCheckContext = [&](TMouseEvents *, bool &v) { v = valid; };
    int activations = 0;
    mode.BeforeSendEvents = [&](TMouseEvents *) { ++activations; };
    form_->SetMouseMode(&mode);
    EXPECT_EQ(form_->MouseMode(), &mode);
    EXPECT_EQ(activations, 1);
    valid = false;
    form_->RefreshAll();
    EXPECT_EQ(form_->MouseMode(), nullptr);
    // A mode destroyed while current leaves nothing behind.
    auto doomed = std::make_unique<TMouseEvents>();
    form_->SetMouseMode(doomed.get());
    doomed.reset();
    EXPECT_EQ(form_->MouseMode(), nullptr);
    form_->RefreshAll();
}

TEST_F(MainFormTest, F4AlwaysGoesToTheOtherView) {
    auto *showPlan = Child<QAction>("ShowPlan");
    auto *showVideo = Child<QAction>("ShowVideo");
    ASSERT_TRUE(showPlan && showVideo);
    EXPECT_TRUE(form_->PlanShown());
    EXPECT_EQ(showVideo->shortcut(), QKeySequence(Qt::Key_F4));
    EXPECT_TRUE(showPlan->shortcut().isEmpty());
    // Showing the plan while it is shown changes nothing, the shortcuts included.
    showPlan->trigger();
    EXPECT_TRUE(form_->PlanShown());
    EXPECT_EQ(showVideo->shortcut(), QKeySequence(Qt::Key_F4));
    showVideo->trigger();
    EXPECT_FALSE(form_->PlanShown());
    EXPECT_EQ(form_->ActiveDrawer(), &form_->VideoDrawer());
    EXPECT_EQ(showPlan->shortcut(), QKeySequence(Qt::Key_F4));
    EXPECT_TRUE(showVideo->shortcut().isEmpty());
    showPlan->trigger();
    EXPECT_TRUE(form_->PlanShown());
    EXPECT_EQ(showVideo->shortcut(), QKeySequence(Qt::Key_F4));
    // A video drawer installed later takes the place, and the active view stays.
    showVideo->trigger();
    auto drawer = std::make_unique<TDrawerObject>(nullptr);
    TDrawerObject *installed = drawer.get();
    form_->SetVideoDrawer(std::move(drawer));
    EXPECT_EQ(form_->ActiveDrawer(), installed);
}

TEST_F(MainFormTest, TabsAndSaveActionsFollowTheOpenStreets) {
    auto *tabs = Child<QTabBar>("StreetsTab");
    auto *save = Child<QAction>("SaveStreet");
    auto *saveAll = Child<QAction>("SaveAll");
    ASSERT_TRUE(tabs && save && saveAll);
    form_->RefreshAll();
    EXPECT_TRUE(tabs->isHidden()) << "no street is open";
    holder_->NewStreet();
    holder_->NewStreet();
    form_->RefreshAll();
    EXPECT_FALSE(tabs->isHidden());
    ASSERT_EQ(tabs->count(), 2);
    EXPECT_EQ(tabs->tabText(0), "Street.zrv");
    EXPECT_EQ(tabs->tabText(1), "Street1.zrv");
    EXPECT_EQ(tabs->currentIndex(), 1);
    EXPECT_FALSE(save->isEnabled());
    EXPECT_FALSE(saveAll->isEnabled());
    holder_->Streets(0).SetModified();
    form_->RefreshAll();
    EXPECT_FALSE(save->isEnabled()) << "the active street is not modified";
    EXPECT_TRUE(saveAll->isEnabled());
    // Choosing a tab makes its street active and shows the plan.
    Child<QAction>("ShowVideo")->trigger();
    tabs->setCurrentIndex(0);
    EXPECT_EQ(holder_->ActiveIndex(), 0);
    EXPECT_TRUE(form_->PlanShown());
    EXPECT_TRUE(save->isEnabled());
}

TEST_F(MainFormTest, TheTabsMenuClosesThePageItWasOpenedOn) {
    auto *tabs = Child<QTabBar>("StreetsTab");
    auto *menu = Child<QMenu>("TabsMenu");
    auto *closePage = Child<QAction>("ClosePageMI");
    auto *closeActive = Child<QAction>("CloseStreetMI");
    ASSERT_TRUE(tabs && menu && closePage && closeActive);
    EXPECT_EQ(closePage->text(), "Закрыть страницу");
    for (int i = 0; i < 3; ++i)
        holder_->NewStreet();
    form_->RefreshAll();
    TStreetStructure *second = &holder_->Streets(1), *third = &holder_->Streets(2);
    ASSERT_EQ(holder_->ActiveIndex(), 2);
    // Opened on the first tab: the first street goes, not the active one.
    emit tabs->customContextMenuRequested(tabs->tabRect(0).center());
    menu->hide();
    closePage->trigger();
    ASSERT_EQ(holder_->Count(), 2);
    EXPECT_EQ(&holder_->Streets(0), second);
    EXPECT_EQ(&holder_->Streets(1), third);
    EXPECT_EQ(tabs->count(), 2);
    // Opened off every tab: the active street, as "Закрыть" does.
    emit tabs->customContextMenuRequested(QPoint(-5, -5));
    menu->hide();
    closePage->trigger();
    ASSERT_EQ(holder_->Count(), 1);
    EXPECT_EQ(&holder_->Streets(0), second);
    closeActive->trigger();
    EXPECT_EQ(holder_->Count(), 0);
    EXPECT_TRUE(tabs->isHidden());
}

TEST_F(MainFormTest, TheInfoGridLaysLinesOutRowByRow) {
    TInfoStringAction shown, hidden, invalid, third;
    shown.setText("A");
    shown.OnGetInfo = [](TInfoStringAction *, QString &t) { t = "1"; };
    hidden.setText("B");
    hidden.setVisible(false);
    invalid.setText("C");
    invalid.OnGetValid = [](TInfoStringAction *, bool &v) { v = false; };
    third.setText("D");
    third.OnGetInfo = [](TInfoStringAction *a, QString &t) {
        t = "2";
        a->BackColor = Qt::yellow;
    };
    const std::vector<TInfoGrid::TCell> lines = TInfoGrid::CollectLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].Text, "A = 1");
    EXPECT_EQ(lines[1].Text, "D = 2");
    EXPECT_EQ(lines[1].Back, QColor(Qt::yellow));

    TInfoGrid grid;
    grid.show();
    // Two columns of 200 pixels fit beside the scroll bar; five lines take three rows.
    grid.resize(440 + grid.verticalScrollBar()->sizeHint().width() + 2 * grid.frameWidth(), 100);
    QCoreApplication::processEvents();
    ASSERT_EQ(grid.viewport()->width(), 440);
    std::vector<TInfoGrid::TCell> five(5, lines[0]);
    grid.Rebuild(five);
    EXPECT_EQ(grid.columnCount(), 2);
    EXPECT_EQ(grid.rowCount(), 3);
    EXPECT_NE(grid.Cell(2, 0), nullptr);
    EXPECT_EQ(grid.Cell(2, 1), nullptr);
    grid.resize(150, 100);
    QCoreApplication::processEvents();
    grid.Rebuild(five);
    EXPECT_EQ(grid.columnCount(), 1);
    EXPECT_EQ(grid.rowCount(), 5);
}

TEST_F(MainFormTest, TheGroupsMenuGathersGroupsByPrefix) {
    TStreetStructure &street = form_->CurrentStreet();
    TNameValueList groups;
    groups.SetText(Cp1251String("Tech_A=ON\r\nPlain=OFF\r\nTech_B=OFF\r\n"));
    street.SetGroupNames(groups);
    auto *menu = Child<QMenu>("GroupsMenu");
    ASSERT_NE(menu, nullptr);
    emit menu->aboutToShow();
    QStringList top;
    for (QAction *a : menu->actions())
        top += a->text();
    EXPECT_EQ(top, QStringList({"Tech_", "Plain"}));
    QMenu *tech = menu->actions()[0]->menu();
    ASSERT_NE(tech, nullptr);
    ASSERT_EQ(tech->actions().size(), 2);
    QMenu *b = tech->actions()[1]->menu();
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(tech->actions()[1]->text(), "B");
    // "Включить" is offered for a group that is off, and switches it on.
    QAction *on = b->actions()[0];
    EXPECT_EQ(on->text(), "Включить");
    EXPECT_TRUE(on->isEnabled());
    EXPECT_FALSE(b->actions()[1]->isEnabled());
    EXPECT_FALSE(b->actions()[3]->isEnabled()) << "nothing is selected";
    on->trigger();
    EXPECT_EQ(street.GroupNames().Values(Cp1251String("Tech_B")), Cp1251String("ON"));
    EXPECT_TRUE(street.Modified());
}

TEST_F(MainFormTest, SettingsOfTheWindowComeBack) {
    EXPECT_TRUE(form_->VideoReadOnly()) << "survey files are not written unless asked";
    form_->SetVideoReadOnly(false);
    EXPECT_FALSE(form_->VideoReadOnly());
    EXPECT_EQ(form_->VisibleLayers(), FullTypeSet()) << "nothing stored: every type";
    form_->SetVisibleLayers(TItemTypeSet{2, 3, 8});
    form_->resize(800, 560);
    form_.reset();
    form_ = std::make_unique<TMainForm>(*holder_);
    EXPECT_EQ(form_->VisibleLayers(), (TItemTypeSet{RoadWayTypeCode, TrotuarTypeCode, BortTypeCode}));
    EXPECT_EQ(form_->size(), QSize(800, 560));
    EXPECT_FALSE(form_->VideoReadOnly());
}

// An item class of the test's own, at the type of pavement cores.
class TTestItem : public TAbstractItem {
public:
    int GetTypeCode() const override { return KernTypeCode; }
};

class TSelectionModule : public TContextDataModule {
public:
    using TContextDataModule::TContextDataModule;
    static bool CheckContext(const IContextSelection &s) {
        return s.CurrentItemType() == KernTypeCode && s.SelectedCount() == 2 &&
               s.SelectedTypes() == TItemTypeSet{KernTypeCode} && s.CurrentItem() != nullptr;
    }
};

TEST_F(MainFormTest, EditorModulesSeeTheActiveStreetsSelection) {
    if (ItemClasses[KernTypeCode] == nullptr)
        ItemClasses.Register(std::make_unique<TItemClassOf<TTestItem>>(KernTypeCode));
    TContextModuleClass cls{
        "TSelectionModule", &TSelectionModule::CheckContext,
        [](QObject *parent) -> TContextDataModule * { return new TSelectionModule(parent); }};
    RegisterContextModule(cls);
    EXPECT_EQ(ContextSelection().SelectedCount(), 0);
    EXPECT_EQ(ContextSelection().CurrentItemType(), -1);
    TStreetStructure &street = form_->CurrentStreet();
    TAbstractItem *a = street.Lists(KernTypeCode).AddNew();
    TAbstractItem *b = street.Lists(KernTypeCode).AddNew();
    street.Selection().AddItem(b);
    street.Selection().AddItem(a);
    form_->RefreshAll();
    EXPECT_TRUE(ContextModuleExists("TSelectionModule"));
    EXPECT_EQ(ContextCurrentItem(), b) << "the first selected item is the current one";
    street.Selection().Clear();
    form_->RefreshAll();
    EXPECT_FALSE(ContextModuleExists("TSelectionModule"));
    UnregisterContextModule("TSelectionModule");
}

TEST_F(MainFormTest, ChoosingAGroupSelectsItsItemsWhateverTheLetterCase) {
    if (ItemClasses[KernTypeCode] == nullptr)
        ItemClasses.Register(std::make_unique<TItemClassOf<TTestItem>>(KernTypeCode));
    TStreetStructure &street = form_->CurrentStreet();
    TNameValueList groups;
    groups.SetText(Cp("Ямы=OFF\r\n"));
    street.SetGroupNames(groups);
    const char *names[] = {"Ямы", "ЯМЫ", "Ямы2", "ямы", ""};
    std::vector<TAbstractItem *> items;
    for (const char *name : names) {
        items.push_back(street.Lists(KernTypeCode).AddNew());
        items.back()->SetGroupName(Cp(name));
    }
    auto *menu = Child<QMenu>("GroupsMenu");
    ASSERT_NE(menu, nullptr);
    emit menu->aboutToShow();
    ASSERT_EQ(menu->actions().size(), 1);
    QMenu *pits = menu->actions()[0]->menu();
    ASSERT_NE(pits, nullptr);
    ASSERT_EQ(pits->actions()[2]->text(), "Выбрать");
    pits->actions()[2]->trigger();
    const std::vector<TAbstractItem *> chosen(street.Selection().Slots());
    EXPECT_EQ(chosen, (std::vector<TAbstractItem *>{items[0], items[1], items[3]}));
    EXPECT_EQ(street.GroupNames().Values(Cp("Ямы")), Cp1251String("ON"));
}

} // namespace
