// moc reads this file for its Q_OBJECT classes and cannot read the standard library's C++20 headers.
#ifndef Q_MOC_RUN
#include "shell/ContextModules.h"

#include "ShellTestSupport.h"
#include "shell/FloatingActions.h"
#include "shell/InfoStringActions.h"
#endif

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

class FakeSelection : public IContextSelection {
public:
    int current = -1;
    int count = 0;
    TItemTypeSet types;
    bool throwOnCheck = false;

    void Select(std::initializer_list<int> codes) {
        types = TItemTypeSet();
        for (int c : codes)
            types.Include(c);
        count = static_cast<int>(codes.size());
        current = count > 0 ? *codes.begin() : -1;
    }
    int CurrentItemType() const override { return current; }
    int SelectedCount() const override { return count; }
    TItemTypeSet SelectedTypes() const override { return types; }
    TAbstractItem *CurrentItem() const override { return nullptr; }
};

int alive = 0;

// Applies while the current item is a road way (type 2); carries a floating action and an info line.
class RoadWayModule : public TContextDataModule {
    Q_OBJECT
public:
    explicit RoadWayModule(QObject *parent) : TContextDataModule(parent) {
        ++alive;
        action = new TFloatingAction(this);
        action->SetCategory(QStringLiteral("Проезжая часть"));
        info = new TInfoStringAction(this);
        info->setText(QStringLiteral("Ширина"));
    }
    ~RoadWayModule() override { --alive; }
    static bool CheckContext(const IContextSelection &s) { return s.CurrentItemType() == 2; }
    TFloatingAction *action;
    TInfoStringAction *info;
};

// Applies while anything is selected.
class AnyModule : public TContextDataModule {
    Q_OBJECT
public:
    explicit AnyModule(QObject *parent) : TContextDataModule(parent) { ++alive; }
    ~AnyModule() override { --alive; }
    static bool CheckContext(const IContextSelection &s) {
        if (static_cast<const FakeSelection &>(s).throwOnCheck)
            throw std::runtime_error("AnyModule.CheckContext: broken");
        return s.SelectedCount() > 0;
    }
};

class ContextModules : public shelltest::ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        alive = 0;
        SetContextSelection(&selection);
        RegisterContextModule<RoadWayModule>();
        RegisterContextModule<AnyModule>();
    }
    void TearDown() override {
        FreeContextModules();
        shelltest::RunDeferredDeletes();
        UnregisterContextModule(QStringLiteral("RoadWayModule"));
        UnregisterContextModule(QStringLiteral("AnyModule"));
        SetContextSelection(nullptr);
        ShellTest::TearDown();
    }
    static QStringList LiveNames() {
        QStringList names;
        for (TContextDataModule *m : LiveContextModules())
            names += m->ContextClassName();
        return names;
    }

    FakeSelection selection;
};

} // namespace

TEST_F(ContextModules, ModulesFollowTheSelection) {
    UpdateContextModules();
    EXPECT_TRUE(LiveNames().isEmpty());

    selection.Select({2});
    UpdateContextModules();
    EXPECT_EQ(LiveNames(), (QStringList{"RoadWayModule", "AnyModule"})); // registration order
    EXPECT_TRUE(ContextModuleExists(QStringLiteral("RoadWayModule")));

    // A second road way selected: no second module of either class.
    selection.Select({2, 2});
    UpdateContextModules();
    EXPECT_EQ(LiveNames().size(), 2);
    EXPECT_EQ(alive, 2);

    // A lawn becomes current: the road way module goes at once, the other stays.
    selection.Select({4, 2});
    UpdateContextModules();
    EXPECT_EQ(LiveNames(), QStringList{"AnyModule"});
    EXPECT_FALSE(ContextModuleExists(QStringLiteral("RoadWayModule")));
    EXPECT_EQ(alive, 2); // deleted later, not inside the refresh
    shelltest::RunDeferredDeletes();
    EXPECT_EQ(alive, 1);

    selection.Select({});
    UpdateContextModules();
    shelltest::RunDeferredDeletes();
    EXPECT_TRUE(LiveNames().isEmpty());
    EXPECT_EQ(alive, 0);
}

TEST_F(ContextModules, ARetiredModuleTakesItsActionsAndLinesAlongAtOnce) {
    selection.Select({2});
    UpdateContextModules();
    auto *module = qobject_cast<RoadWayModule *>(LiveContextModules().front());
    ASSERT_NE(module, nullptr);
    const auto actions = TFloatingAction::All();
    EXPECT_NE(std::find(actions.begin(), actions.end(), module->action), actions.end());
    EXPECT_NE(TInfoStringAction::Find(QString(), QStringLiteral("Ширина")), nullptr);

    selection.Select({});
    UpdateContextModules();
    EXPECT_TRUE(TFloatingAction::All().empty());
    EXPECT_TRUE(TFloatingAction::Categories().empty());
    EXPECT_EQ(TInfoStringAction::Find(QString(), QStringLiteral("Ширина")), nullptr);
}

TEST_F(ContextModules, AModuleRetiredInsideItsOwnCommandSurvivesTheCommand) {
    selection.Select({2});
    UpdateContextModules();
    auto *module = qobject_cast<RoadWayModule *>(LiveContextModules().front());
    ASSERT_NE(module, nullptr);
    bool ranToTheEnd = false, afterCalled = false;
    module->action->OnExecute = [&](TFloatingAction *a) {
        // The command changes the selection and refreshes, as deleting the item would.
        selection.Select({});
        UpdateContextModules();
        a->setText(QStringLiteral("still here")); // the module and its action still exist
        ranToTheEnd = true;
    };
    module->action->AfterExecute = [&](TFloatingAction *) { afterCalled = true; };
    module->action->Click();
    EXPECT_TRUE(ranToTheEnd);
    EXPECT_FALSE(afterCalled); // a retired action does nothing more
    shelltest::RunDeferredDeletes();
    EXPECT_EQ(alive, 0);
}

TEST_F(ContextModules, ACheckThatFailsLeavesTheListsConsistent) {
    selection.Select({2});
    UpdateContextModules();
    selection.throwOnCheck = true;
    selection.Select({4});
    EXPECT_THROW(UpdateContextModules(), std::runtime_error);
    // The modules visited before the error (newest first: AnyModule raised) are as they were.
    EXPECT_EQ(LiveNames(), (QStringList{"RoadWayModule", "AnyModule"}));
    selection.throwOnCheck = false;
    UpdateContextModules();
    EXPECT_EQ(LiveNames(), QStringList{"AnyModule"});
}

TEST_F(ContextModules, UnregisteredClassesNoLongerApply) {
    selection.Select({2});
    UpdateContextModules();
    UnregisterContextModule(QStringLiteral("RoadWayModule"));
    UpdateContextModules();
    EXPECT_EQ(LiveNames(), QStringList{"AnyModule"});
    EXPECT_EQ(RegisteredContextModules(), std::vector<QString>{QStringLiteral("AnyModule")});
}

#include "ContextModulesTest.moc"
