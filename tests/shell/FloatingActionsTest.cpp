#include "shell/FloatingActions.h"

#include "ShellTestSupport.h"
#include "shell/ContextModules.h"
#include "shell/InfoStringActions.h"
#include "shell/MouseEvents.h"

#include <QApplication>
#include <QEnterEvent>
#include <QMouseEvent>
#include <QPixmap>

#include <gtest/gtest.h>

#include <memory>

namespace {

QIcon SomeIcon() {
    QPixmap pm(24, 24);
    pm.fill(Qt::red);
    return QIcon(pm);
}

void SendClick(QWidget *w, Qt::MouseButton button = Qt::LeftButton) {
    const QPointF p(3, 3);
    QMouseEvent press(QEvent::MouseButtonPress, p, w->mapToGlobal(p), button, button, Qt::NoModifier);
    QApplication::sendEvent(w, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, p, w->mapToGlobal(p), button, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(w, &release);
}

using FloatingActions = shelltest::ShellTest;

} // namespace

TEST_F(FloatingActions, ButtonsAreLaidOutOneRowPerCategory) {
    QObject owner;
    QWidget panel;
    auto make = [&](const char *category, bool icon) {
        auto *a = new TFloatingAction(&owner);
        a->SetCategory(QString::fromUtf8(category));
        if (icon)
            a->setIcon(SomeIcon());
        return a;
    };
    TFloatingAction *v1 = make("Управление видом", true);
    TFloatingAction *e1 = make("Редактор", true);
    TFloatingAction *v2 = make("Управление видом", false);
    TFloatingAction *e2 = make("Редактор", true);
    TFloatingAction *hidden = make("Пустая", true);
    hidden->setVisible(false);

    EXPECT_EQ(TFloatingAction::Categories(),
              (std::vector<QString>{QStringLiteral("Управление видом"), QStringLiteral("Редактор"),
                                    QStringLiteral("Пустая")}));
    const QSize size = TFloatingAction::LayoutButtons(&panel);
    // Row 0: a 28-pixel button and a 16-pixel one (no image); row 1: two 28-pixel buttons; the hidden
    // category's row takes no height.
    EXPECT_EQ(v1->Button()->geometry(), QRect(0, 0, 28, 28));
    EXPECT_EQ(v2->Button()->geometry(), QRect(28, 0, 16, 16));
    EXPECT_EQ(e1->Button()->geometry(), QRect(0, 28, 28, 28));
    EXPECT_EQ(e2->Button()->geometry(), QRect(28, 28, 28, 28));
    EXPECT_EQ(hidden->Button(), nullptr);
    EXPECT_EQ(size, QSize(56, 56));
    EXPECT_EQ(panel.size(), QSize(56, 56));

    // An action hidden later keeps its place, its button hidden.
    e1->setVisible(false);
    TFloatingAction::LayoutButtons(&panel);
    EXPECT_TRUE(e1->Button()->isHidden());
    EXPECT_EQ(e2->Button()->geometry(), QRect(0, 28, 28, 28));
}

TEST_F(FloatingActions, UpdateStateRunsBeforeLayout) {
    QObject owner;
    auto *a = new TFloatingAction(&owner);
    auto *b = new TFloatingAction(&owner);
    int calls = 0;
    a->OnUpdateState = [&](TFloatingAction *self) {
        ++calls;
        self->setEnabled(false);
        delete b; // an update may free another action: it is not called afterwards
    };
    b->OnUpdateState = [&](TFloatingAction *) { ++calls; };
    TFloatingAction::UpdateAll();
    EXPECT_EQ(calls, 1);
    EXPECT_FALSE(a->isEnabled());
}

TEST_F(FloatingActions, ShortcutsFindEnabledActionsVisibleOrNot) {
    QObject owner;
    auto *hiddenEnabled = new TFloatingAction(&owner);
    hiddenEnabled->setShortcut(QKeySequence(Qt::Key_A));
    hiddenEnabled->setVisible(false);
    auto *disabled = new TFloatingAction(&owner);
    disabled->setShortcut(QKeySequence(Qt::Key_D));
    disabled->setEnabled(false);
    auto *first = new TFloatingAction(&owner);
    first->setShortcut(QKeySequence(Qt::Key_7));
    auto *second = new TFloatingAction(&owner);
    second->setShortcut(QKeySequence(Qt::Key_7));

    const auto key = [](Qt::Key k) { return QKeyCombination(k); };
    EXPECT_EQ(TFloatingAction::FindByShortCut(key(Qt::Key_A), false, true), hiddenEnabled);
    EXPECT_EQ(TFloatingAction::FindByShortCut(key(Qt::Key_A), false, false), nullptr);
    EXPECT_EQ(TFloatingAction::FindByShortCut(key(Qt::Key_D), false, true), nullptr);
    EXPECT_EQ(TFloatingAction::FindByShortCut(key(Qt::Key_D), true, true), disabled);
    EXPECT_EQ(TFloatingAction::FindByShortCut(key(Qt::Key_7), false, true), first);
    // Once the first leaves, the shortcut finds the next.
    first->Detach();
    EXPECT_EQ(TFloatingAction::FindByShortCut(key(Qt::Key_7), false, true), second);
}

// A key held by both a window action and an editor module's action runs the module's while it is
// enabled, and the window's otherwise, whichever was made first.
TEST_F(FloatingActions, AnEnabledEditorModuleActionTakesItsKeyBeforeTheWindowsOwn) {
    QObject window;
    auto *pick = new TFloatingAction(&window);
    pick->setShortcut(QKeySequence(Qt::Key_F));
    auto *module = new TContextDataModule;
    auto *table = new TFloatingAction(module);
    table->setShortcut(QKeySequence(Qt::Key_F));
    auto *convert = new TFloatingAction(module);
    convert->setShortcut(QKeySequence(Qt::Key_F));
    auto *moduleOnly = new TFloatingAction(module);
    moduleOnly->setShortcut(QKeySequence(Qt::Key_G));
    moduleOnly->setEnabled(false);
    const QKeyCombination f(Qt::Key_F), g(Qt::Key_G);

    const struct {
        const char *Name;
        bool TableOn, ConvertOn, TableVisible;
        TFloatingAction *ForF;
    } cases[] = {
        {"the first enabled module action", true, true, true, table},
        {"the next one when the first is off", false, true, true, convert},
        {"hidden but enabled", true, false, false, table},
        {"the window's when every module action is off", false, false, true, pick},
    };
    for (const auto &c : cases) {
        table->setEnabled(c.TableOn);
        table->setVisible(c.TableVisible);
        convert->setEnabled(c.ConvertOn);
        EXPECT_EQ(TFloatingAction::FindByShortCut(f, false, true), c.ForF) << c.Name;
    }
    // A disabled module action is found only when disabled ones are asked for, after the enabled ones.
    EXPECT_EQ(TFloatingAction::FindByShortCut(g, false, true), nullptr);
    EXPECT_EQ(TFloatingAction::FindByShortCut(g, true, true), moduleOnly);
    table->setEnabled(false);
    EXPECT_EQ(TFloatingAction::FindByShortCut(f, true, true), pick);
    // The module gone, the window's action has the key again.
    table->setEnabled(true);
    delete module;
    EXPECT_EQ(TFloatingAction::FindByShortCut(f, false, true), pick);
}

TEST_F(FloatingActions, ButtonsClickAndToggle) {
    QObject owner;
    QWidget panel;
    auto *toggle = new TFloatingAction(&owner);
    toggle->Toggle = true;
    auto *plain = new TFloatingAction(&owner);
    QStringList order;
    plain->BeforeExecute = [&](TFloatingAction *) { order += "before"; };
    plain->OnExecute = [&](TFloatingAction *) { order += "execute"; };
    plain->AfterExecute = [&](TFloatingAction *) { order += "after"; };
    plain->OnMouseUp = [&](TFloatingAction *, const TMouseEventArgs &) { order += "up"; };
    TFloatingAction::LayoutButtons(&panel);

    SendClick(toggle->Button());
    EXPECT_TRUE(toggle->GetDown());
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(toggle->Button(), &leave);
    EXPECT_TRUE(toggle->GetDown()); // leaving keeps a toggle down
    SendClick(toggle->Button());
    EXPECT_FALSE(toggle->GetDown());

    SendClick(plain->Button());
    EXPECT_FALSE(plain->GetDown());
    EXPECT_EQ(order, (QStringList{"up", "before", "execute", "after"}));
    // A right click gives its mouse events but runs no command.
    order.clear();
    SendClick(plain->Button(), Qt::RightButton);
    EXPECT_EQ(order, QStringList{"up"});
    // A disabled button takes no clicks.
    order.clear();
    plain->setEnabled(false);
    SendClick(plain->Button());
    EXPECT_TRUE(order.isEmpty());
}

TEST(MouseModes, ReleaseWithoutPressIsNotDelivered) {
    TMouseEvents mode;
    QStringList got;
    mode.OnMouseDown = [&](TMouseEvents *, const TMouseEventArgs &) { got += "down"; };
    mode.OnMouseUp = [&](TMouseEvents *, const TMouseEventArgs &) { got += "up"; };
    mode.OnMouseMove = [&](TMouseEvents *, const TMouseEventArgs &) { got += "move"; };
    mode.MouseUp({});
    mode.MouseMove({});
    mode.MouseDown({});
    EXPECT_TRUE(mode.Pressed());
    mode.MouseUp({});
    mode.MouseUp({});
    EXPECT_EQ(got, (QStringList{"move", "down", "up"}));
    EXPECT_FALSE(mode.Pressed());

    EXPECT_TRUE(mode.CheckContext());
    mode.OnCheckContext = [](TMouseEvents *, bool &valid) { valid = false; };
    EXPECT_FALSE(mode.CheckContext());

    bool destroyed = false;
    {
        TMouseEvents other;
        other.OnDestroy = [&](TMouseEvents *) { destroyed = true; };
    }
    EXPECT_TRUE(destroyed);
}

TEST_F(FloatingActions, InfoLines) {
    QObject owner;
    auto *width = new TInfoStringAction(&owner);
    width->setText(QStringLiteral("Ширина"));
    width->Category = QStringLiteral("Проезжая часть");
    const QColor defaultBack = width->BackColor;
    EXPECT_EQ(width->TextColor, QColor(Qt::black));
    width->OnGetInfo = [](TInfoStringAction *a, QString &text) {
        text = QStringLiteral("***");
        a->TextColor = QColor(128, 128, 128);
    };
    EXPECT_EQ(width->GetInfo(), QStringLiteral("***"));
    EXPECT_EQ(width->TextColor, QColor(128, 128, 128));
    width->OnGetInfo = nullptr;
    EXPECT_EQ(width->GetInfo(), QString());
    EXPECT_EQ(width->TextColor, QColor(Qt::black)); // back to the default before each value
    EXPECT_EQ(width->BackColor, defaultBack);

    EXPECT_TRUE(width->IsValid());
    width->OnGetValid = [](TInfoStringAction *, bool &valid) { valid = false; };
    EXPECT_FALSE(width->IsValid());

    // Shown by default as the action is visible; the user's choice is kept per category and caption.
    EXPECT_TRUE(width->GetShown());
    width->SaveShown(false);
    EXPECT_FALSE(width->GetShown());
    EXPECT_FALSE(
        RegReadBool(Cp("TInfoStringAction\\ActionStates\\Проезжая часть\\Ширина"), Cp("Visible"), true));

    auto *area = new TInfoStringAction(&owner);
    area->setText(QStringLiteral("Площадь"));
    area->Category = QStringLiteral("Проезжая часть");
    auto *len = new TInfoStringAction(&owner);
    len->setText(QStringLiteral("Длина"));
    len->Category = QStringLiteral("Борт");
    QStringList categories{QStringLiteral("Борт")};
    TInfoStringAction::ListCategories(categories);
    EXPECT_EQ(categories, (QStringList{"Борт", "Проезжая часть"}));
    EXPECT_EQ(TInfoStringAction::Find(QStringLiteral("Проезжая часть"), QStringLiteral("Площадь")), area);
    EXPECT_EQ(TInfoStringAction::Find(QStringLiteral("Борт"), QStringLiteral("Площадь")), nullptr);
    delete area;
    EXPECT_EQ(TInfoStringAction::Find(QStringLiteral("Проезжая часть"), QStringLiteral("Площадь")), nullptr);
}
