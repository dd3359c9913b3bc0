#pragma once
// Choosing items on the plan and making new ones: the selection actions and the picking mouse mode (a
// right click picks the nearest item of the filter's types within 10 pixels, Ctrl offers the candidates,
// Shift toggles, a Ctrl+left drag selects by rubber band), the creation menu with creation samples, the
// program's own copy buffer (copy, paste here or into another street), deletion, type conversion, the
// unified table, and the selection overlay with its two info lines. The selection itself belongs to the
// current street: its first item is the current one.
//
// Everything reaches the window through TItemsControlHost, so the module runs headless in tests. Menus are
// lists of entries shown through the user prompts (UserPrompts().PopupMenu), so a script can answer them.
// moc cannot read the standard library's C++20 headers.
#ifndef Q_MOC_RUN
#include "engine/DX_Shell.h"
#include "engine/Streams.h"
#include "model/ItemTypes.h"
#include "shell/ListenerList.h"
#endif
#include "shell/FloatingActions.h"
#include "shell/MouseEvents.h"
#include "shell/Qk2Root.h"

#include <QPoint>
#include <QPointer>
#include <QString>

#include <array>
#include <functional>
#include <memory>
#include <vector>

class TAbstractItem;
class TInfoStringAction;
class TMainForm;
class TStreetStructure;
class TTextureSurface;

struct TItemsControlHost {
    // The current street (nullptr when none is open).
    std::function<TStreetStructure *()> Street;
    // The ground point under a pixel of the view.
    std::function<TXYZ(int x, int y)> ScreenToGround;
    // The view's size in pixels; false when not known.
    std::function<bool(int &width, int &height)> ViewSize;
    std::function<TItemTypeSet()> VisibleLayers;
    std::function<void(const TItemTypeSet &)> SetVisibleLayers;
    std::function<void()> Refresh;
    std::function<TMouseEvents *()> MouseMode;
    std::function<void(TMouseEvents *)> SetMouseMode;
    // Centres the plan on the point and shows the plan.
    std::function<void(const TXYZ &)> ShowAt;
    // The parent of the table windows.
    std::function<QWidget *()> WindowParent;
    // Makes the open street with the serial the active one (nullptr when it is closed).
    std::function<TStreetStructure *(uint64_t serial)> ActivateStreet;
    std::function<void()> RaiseMainWindow;
    // Puts a command of the module into the window's clipboard menu.
    std::function<void(QAction *)> AddClipMenuAction;
    TListenerList<const TDxDrawParams &> *DrawListeners = nullptr;
    // Called at the end of every refresh of the window.
    TListenerList<> *UpdateListeners = nullptr;
};
TItemsControlHost ItemsControlHostOf(TMainForm &form);
// The module is made at its place in the start-up order (once per process; later calls do nothing).
void RegisterItemsControl();

// One entry of the creation menu or of the menu of all types: a type (Tag = its code) or, with Tag -1, a
// separator ("-") or a command.
struct TItemMenuEntry {
    QString Name, Caption;
    int Tag = -1;
};

class TItemsControlModule : public TQk2RootDatamodule {
    Q_OBJECT
public:
    static constexpr int PickPixels = 10;
    // The type sets of the S, L and P actions.
    static const TItemTypeSet PolygonPickTypes, LinePickTypes, PointPickTypes;
    // Types never offered for creation: house, road wall, picture.
    static const TItemTypeSet NotCreatable;

    explicit TItemsControlModule(TMainForm &form, QObject *parent = nullptr);
    explicit TItemsControlModule(TItemsControlHost host, QObject *parent = nullptr);
    ~TItemsControlModule() override;

    // ---- Selection (of the current street; empty without one)
    TStreetStructure *Street() const;
    std::vector<TAbstractItem *> Selection() const;
    TAbstractItem *CurrentItem() const;
    void SetSelectActionsEnabled(bool value);
    bool SelectActionsEnabled() const { return selectActionsEnabled_; }
    // Outside the selection: the selection becomes just the item; inside: it becomes current.
    void SelectItem(TAbstractItem *item);
    void ToggleItem(TAbstractItem *item);
    // Every item whose group name is the name (case ignored), in type-code and list order.
    void SelectGroup(const Cp1251String &name);
    void ClearSelection();

    // ---- Picking (the mouse mode's handlers, in view pixels)
    TItemTypeSet PickFilter;
    // The items the pointer picks: one nearest per type of PickFilter and the visible layers within 10
    // pixels, nearest first.
    std::vector<TAbstractItem *> PickCandidates(int x, int y) const;
    bool RubberBand() const { return rubberBand_; }

    // ---- Creation
    TItemTypeSet CreateSet;
    const std::vector<TItemMenuEntry> &NewItemMenu() const { return newItemMenu_; }
    const std::vector<TItemMenuEntry> &AllTagsMenu() const { return allTagsMenu_; }
    // The creation menu's entries for the current CreateSet, as it pops up: the offered types with a
    // separator after each category that offers any, then the tuning entry.
    std::vector<TItemMenuEntry> VisibleNewItemEntries() const;
    // The current street (or, without one, the program) has a class for the type: only such types are
    // offered enabled for creation and conversion.
    bool HasItemClass(int typeCode) const;
    // A new item of the type in the current street, with the type's sample attributes, alone in the
    // selection; the point editor's AddPoint follows. nullptr without a street or a class for the type.
    // Its creation ends when it is no longer the current item of its street (another item picked or
    // created, the selection cleared): when it is not complete by then, it is deleted.
    TAbstractItem *CreateItem(int typeCode);
    // Creation samples: the selected item's record as its type's sample; with nothing selected, asks and
    // frees every sample.
    void CopySample();
    bool HasSample(int typeCode) const;

    // ---- Copy buffer
    void CopyItems();
    bool BufferEmpty() const { return buffer_.Size() == 0; }
    // Pastes the buffer into the current street; the pasted items become the selection and move so that
    // the first one's first point lands on the target.
    void PasteAt(const TXYZ &target);
    void PasteNoShift();
    void PasteItems();
    void CopyAndPaste();

    // ---- Other commands
    // Asks, then frees the selected items. False when nothing was freed.
    bool DeleteSelected();
    // Converts every selected item to the type (the selection must be of one type).
    void ConvertSelection(int typeCode);
    // The first selected item goes to the end; the view centres on the new first item's current point.
    void ShowSelection();

    TFloatingAction *VisibleLayersAction, *SelectPolygon, *SelectLine, *SelectPoint, *SelectAny,
        *SelectSpecial, *SelectAll, *FilterSelection, *UniReport, *RubricReport, *ClearSelectionAction,
        *CreateItemAction, *CopyItemsAction, *CopySampleAction, *PasteItemsAction, *CopyAndPasteAction,
        *DeleteItemsAction, *RepeatCreate, *ShowSelectionAction, *CoordSystem;
    TMouseEvents *FindItemMode;
    // "Вставить без смещения" of the clipboard menu.
    QAction *PasteNoShiftAction;
    TInfoStringAction *SelectedCountInfo, *SelectedDescription;
    bool DrawHatch = true;
    // The axis coordinates panel (made by its own unit): shown or hidden as CoordSystem's button is down.
    std::function<void(bool shown)> OnCoordSystem;

    // The selection overlay (a draw listener).
    void DrawSelection(const TDxDrawParams &params);

    // The module made at start-up (nullptr before and after).
    static TItemsControlModule *Instance();

private:
    void StartPicking(const TItemTypeSet &filter, int cursor);
    void Refresh() const;
    TItemTypeSet Visible() const;
    void MouseDown(const TMouseEventArgs &e);
    void MouseMove(const TMouseEventArgs &e);
    void MouseUp(const TMouseEventArgs &e);
    void BuildMenus();
    int PopupTypeMenu(bool visibleOnly);
    void ChooseNewItem();
    void EditCreateSet();
    void ClickEditorAction(const char *name);
    TTextureSurface *Hatch();
    // Ends the creation of the item made from the menu when it is over (always when ending is set):
    // deletes it when it is still short of its points.
    void EndCreation(bool ending);

    TItemsControlHost host_;
    bool selectActionsEnabled_ = true;
    bool rubberBand_ = false;
    QPoint bandStart_, bandEnd_;
    std::vector<TItemMenuEntry> newItemMenu_, allTagsMenu_;
    int lastCreated_ = -1;
    TMemoryStream buffer_;
    // The street the buffer was copied from (its serial: the street may be gone since).
    uint64_t bufferStreet_ = 0;
    std::array<std::unique_ptr<TMemoryStream>, ItemTypeCount> samples_;
    std::unique_ptr<TTextureSurface> hatch_;
    bool hatchTried_ = false;
    TListenerList<const TDxDrawParams &>::TToken drawToken_ = 0;
    // The item made from the creation menu until it is complete or its creation ends; nullptr when freed.
    TAbstractItem *creating_ = nullptr;
    uint64_t freeingToken_ = 0;
    TListenerList<>::TToken updateToken_ = 0;
};

// The unified table of the items: axis, side, first and last station, type, group and both comments.
// Stations are empty for an item without a guide axis.
class TReportTable;
TReportTable MakeUnifiedTable(const std::vector<TAbstractItem *> &items);
