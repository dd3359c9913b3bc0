#pragma once
// The main window. It owns the display renderer of the view, the two drawers (plan and video), the current
// mouse mode, the set of visible item types and the listener lists (draw, update, key). RefreshAll is the
// single entry for any change: it marks a redraw as needed and brings the editor modules, the floating
// actions, the update listeners, the street tabs and the save actions up to date. Nothing draws outside
// the 10 ms draw tick, which draws only when a redraw is needed.
//
// Keys: the window sees every key of its widgets first. Shortcuts are bound to physical keys, so they work
// under a Russian layout too; while a text input has the focus, the plan takes no key. Holding Q or W
// switches to panning or turning until the key is let go.
// moc cannot read the standard library's C++20 headers.
#ifndef Q_MOC_RUN
#include "engine/DX_Shell.h"
#include "model/ItemTypes.h"
#include "model/StreetStructure.h"
#include "shell/ListenerList.h"
#include "shell/MainPlan.h"
#include "shell/TempMouseMode.h"
#endif
#include "shell/MouseEvents.h"

#include <QMainWindow>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <memory>
#include <vector>

namespace Ui {
class MainForm;
}

class QMenu;
class TStreetSelection;
class TStreetsHolderModule;

class TMainForm : public QMainWindow {
    Q_OBJECT
public:
    // The caption's start; the draw tick adds the memory in use.
    static constexpr const char *Caption = "Zorvan2";

    explicit TMainForm(TStreetsHolderModule &holder, QWidget *parent = nullptr);
    ~TMainForm() override;

    Ui::MainForm &Form() const { return *ui_; }
    TStreetsHolderModule &Holder() const { return holder_; }

    // ---- What the rest of the program calls
    void RefreshAll();
    void SetMouseMode(TMouseEvents *mode);
    TMouseEvents *MouseMode() const { return mouseMode_.data(); }
    void SetVisibleLayers(const TItemTypeSet &layers);
    const TItemTypeSet &VisibleLayers() const { return visibleLayers_; }
    // The holder's active street (made when none is open).
    TStreetStructure &CurrentStreet();
    QString GetActiveFileName() const;
    void UpdateStreetTabs();
    // A new renderer on the view (when its GL context exists).
    void CreateRenderer();
    TdxRenderer *Renderer() const { return renderer_.get(); }
    // Survey files are opened without write access unless the user chose otherwise.
    bool VideoReadOnly() const;
    void SetVideoReadOnly(bool value);
    // Moves every item of source to the end of dest, in order.
    void MoveMenuItems(QMenu *source, QMenu *dest);

    TListenerList<const TDxDrawParams &> DrawListeners;
    TListenerList<> UpdateListeners;
    // (the window, in-out key, modifiers); a listener may set the key to 0.
    TListenerList<QObject *, int &, Qt::KeyboardModifiers> KeyListeners;

    // ---- Drawers
    TDrawerObject *ActiveDrawer() const { return activeDrawer_; }
    TMainPlanDrawer &MainPlanDrawer() const { return *planDrawer_; }
    TDrawerObject &VideoDrawer() const { return *videoDrawer_; }
    // The video subsystem installs its drawer here; until then the video view stays empty.
    void SetVideoDrawer(std::unique_ptr<TDrawerObject> drawer);
    bool PlanShown() const { return activeDrawer_ == planDrawer_.get(); }
    // The ShowPlan and ShowVideo actions: act only when the drawer changes, then F4 goes to the other one.
    void ShowPlan();
    void ShowVideo();

    // ---- The draw tick
    bool NeedRedraw() const { return needRedraw_; }
    // Draws when a redraw is needed and a renderer exists; true when it drew.
    bool DrawTick();
    QTimer UpdateTimer;
    QTimer GridTimer;

    // ---- The temporary modes; the plan controls tell which modes Q and W enter.
    TTempMouseMode TempMode;
    void SetTemporaryModes(TMouseEvents *pan, TMouseEvents *rotate);

    // ---- Where later parts of the program join
    // The printer set-up window (the PrintSetup action is hidden until one is installed).
    void SetPrintSetupHandler(std::function<void()> handler);
    // The groups editor ("Редактор..." in the groups menu appears once one is installed).
    std::function<void()> OnEditGroups;
    // The wheel over the video view: backward (a wheel turned towards the user is forward), fast with Ctrl.
    std::function<void(bool backward, bool fast)> OnVideoWheel;
    // A menu of the menu bar by object name (FileMI, StreetMI, ...); nullptr when there is none.
    QMenu *MenuNamed(const QString &name) const;
    // Menus of the menu bar show only while they hold something.
    void UpdateMenuBar();

signals:
    // The street tabs changed the active street.
    void ActiveStreetChanged();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void SetupActions();
    // Closes the street of the page (the path of every close from the tabs), then refreshes.
    void CloseStreetPage(int index);
    void SetupView();
    void RestoreSettings();
    void SaveSettings();
    bool OwnsWidget(QObject *object) const;
    bool KeyDown(QKeyEvent *event);
    bool KeyUp(QKeyEvent *event);
    // The key would be taken by the window (not by a focused control's own shortcut handling).
    bool WantsKey(QKeyEvent *event) const;
    bool Wheel(QWheelEvent *event);
    void WheelNotch(int sign, bool ctrl, int x, int y);
    void StreetsTabChanged(int index);
    void BuildGroupsMenu();
    void LayoutDrawPanel();
    void UpdateCaption();
    void UpdateSaveActions();

    std::unique_ptr<Ui::MainForm> ui_;
    TStreetsHolderModule &holder_;
    std::unique_ptr<TStreetSelection> selection_;
    std::unique_ptr<TdxRenderer> renderer_;
    std::unique_ptr<TMainPlanDrawer> planDrawer_;
    std::unique_ptr<TDrawerObject> videoDrawer_;
    TDrawerObject *activeDrawer_ = nullptr;
    bool needRedraw_ = true;
    bool destroying_ = false;
    bool refreshing_ = false;
    QPointer<TMouseEvents> mouseMode_;
    QPointer<TMouseEvents> panMode_, rotateMode_;
    TItemTypeSet visibleLayers_;
    std::function<void()> printSetup_;
    QMenu *groupsMenu_ = nullptr;
    QMenu *tabsMenu_ = nullptr;
    // The tab under the pointer when the tabs' menu opened; -1 off every tab.
    int tabsMenuPage_ = -1;
    int wheelRemainder_ = 0;
    QString caption_;
    bool updatingTabs_ = false;
};

// The main window while it exists (nullptr before and after).
TMainForm *MainForm();
// The main window's plan drawer; nullptr without a main window.
TMainPlanDrawer *MainPlanDrawer();
// The plan is shown and a street is open.
bool MainPlanActive();
