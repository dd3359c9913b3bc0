#pragma once
// Navigation of the plan: the floating actions that pan, turn, zoom and fit the view, and four mouse modes
// (drag, area zoom, continuous zoom, continuous turning). Everything acts on the plan drawer's view, which
// keeps its values sane; the actions act only while the plan is shown.
// moc cannot read the standard library's C++20 headers.
#ifndef Q_MOC_RUN
#include "engine/DX_Shell.h"
#include "shell/ListenerList.h"
#endif
#include "shell/FloatingActions.h"
#include "shell/MouseEvents.h"
#include "shell/Qk2Root.h"

#include <QPoint>

#include <functional>

class TMainForm;
class TMainPlanDrawer;

// What the plan controls need of the window around them.
struct TPlanControlsHost {
    std::function<TMainPlanDrawer *()> Drawer;
    // The plan drawer is the active drawer.
    std::function<bool()> PlanShown;
    // The plan is shown and a street is open.
    std::function<bool()> PlanActive;
    std::function<void()> Refresh;
    std::function<TMouseEvents *()> MouseMode;
    std::function<void(TMouseEvents *)> SetMouseMode;
    TListenerList<const TDxDrawParams &> *DrawListeners = nullptr;
};
TPlanControlsHost PlanControlsHostOf(TMainForm &form);

class TMainPlanControls : public TQk2RootDatamodule {
    Q_OBJECT
public:
    static constexpr double RotationStep = 0.05235987755982989; // 3 degrees
    static constexpr int PanStep = 100;
    // An area zoom needs a rectangle at least this wide and high (pixels).
    static constexpr int MinAreaSize = 20;

    // Over the main window: its plan drawer, refresh and mouse mode; Q and W enter the drag and turn modes.
    explicit TMainPlanControls(TMainForm &form, QObject *parent = nullptr);
    explicit TMainPlanControls(TPlanControlsHost host, QObject *parent = nullptr);
    ~TMainPlanControls() override;

    TFloatingAction *ShowAll, *ShiftLeft, *ShiftRight, *ShiftUp, *ShiftDown, *RotCW, *RotCCW, *ScaleUp,
        *ScaleDown, *ShiftView, *SelectArea, *Zoom, *Rotate, *AllStreetsDraw;
    TMouseEvents *ShiftViewMode, *SelectAreaMode, *ZoomMode, *RotateMode;

    // The area-zoom rectangle being dragged (pixels); false when none.
    bool AreaRect(QPoint &from, QPoint &to) const;

private:
    TFloatingAction *MakeAction(const char *name, const QString &hint, const QKeySequence &shortcut,
                                std::function<void(TMainPlanDrawer &)> execute);
    TMouseEvents *MakeMode(const char *name, int cursor, const QString &description);
    TFloatingAction *ModeAction(const char *name, const QString &hint, const QKeySequence &shortcut,
                                TMouseEvents *mode);
    TMainPlanDrawer *Drawer() const;
    void Refresh() const;
    void DrawArea(const TDxDrawParams &params);

    void DragDown(const TMouseEventArgs &e);
    void DragMove(const TMouseEventArgs &e);
    void AreaDown(const TMouseEventArgs &e);
    void AreaMove(const TMouseEventArgs &e);
    void AreaUp(const TMouseEventArgs &e);
    void ZoomDown(const TMouseEventArgs &e);
    void ZoomMove(const TMouseEventArgs &e);
    void ZoomUp(const TMouseEventArgs &e);
    void RotateDown(const TMouseEventArgs &e);
    void RotateMove(const TMouseEventArgs &e);

    TPlanControlsHost host_;
    QPoint start_, current_;
    bool held_ = false;
    TXYZ startCenter_;
    float startAngle_ = 0;
    double startScale_ = 0;
    TListenerList<const TDxDrawParams &>::TToken areaToken_ = 0;
};
