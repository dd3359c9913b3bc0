#pragma once
// The point editor: the floating actions, mouse modes, info lines and overlays that edit the vertices of
// the edited item (the current item of the active street's selection, when its class allows vertices).
// Every change goes through the shared point lists, so items sharing a vertex follow; the edits themselves
// live in PointEditOps, which keeps every item within its vertex limits.
//
// The module knows the window only through TPointsEditorHost, so that it runs without a display in tests.
// moc cannot read the standard library's C++20 headers.
#ifndef Q_MOC_RUN
#include "engine/DX_Shell.h"
#include "model/ItemTypes.h"
#include "shell/ListenerList.h"
#endif
#include "shell/FloatingActions.h"
#include "shell/InfoStringActions.h"
#include "shell/MouseEvents.h"
#include "shell/Qk2Root.h"

#include <QPoint>

#include <functional>
#include <vector>

class TAbstractItem;
class TMainForm;
class TStreetStructure;
struct TEditResult;

// What the point editor needs of the window around it.
struct TPointsEditorHost {
    // The active street; nullptr when none is open.
    std::function<TStreetStructure *()> Street;
    // The ground point under a view pixel, and the ground size of one pixel there.
    std::function<TXYZ(int x, int y)> Ground;
    std::function<double(int x, int y)> PixelSize;
    std::function<void()> Refresh;
    std::function<TMouseEvents *()> MouseMode;
    std::function<void(TMouseEvents *)> SetMouseMode;
    // The item types shown (snapping looks only at their points).
    std::function<TItemTypeSet()> VisibleTypes;
    // The video view is the active drawer.
    std::function<bool()> VideoActive;
    // The near and far ends of a pixel's ray in the active view; false without a renderer.
    std::function<bool(int x, int y, TXYZ &nearPoint, TXYZ &farPoint)> PixelRay;
    // Where value boxes open (the mouse pointer on the screen).
    std::function<QPoint()> PopupPosition;
    TListenerList<const TDxDrawParams &> *DrawListeners = nullptr;
};
TPointsEditorHost PointsEditorHostOf(TMainForm &form);

class TPointsEditorModule : public TQk2RootDatamodule {
    Q_OBJECT
public:
    static constexpr int SnapPixels = 10;
    static constexpr int CandidateStepPixels = 20;
    static constexpr int CandidateRadiusPixels = 200;
    static constexpr int ArrangeAnglesParameter = 8;

    explicit TPointsEditorModule(TMainForm &form, QObject *parent = nullptr);
    explicit TPointsEditorModule(TPointsEditorHost host, QObject *parent = nullptr);
    ~TPointsEditorModule() override;

    // The current item of the selection when its class allows a vertex; nullptr otherwise.
    TAbstractItem *EditedItem() const;
    // The selected items in order (the current one first).
    std::vector<TAbstractItem *> SelectedItems() const;
    // The edited item's vertex nearest (3-D) to the ground point under the pixel becomes current.
    void SelectNearestPoint(int x, int y);

    // Shift-connect re-links every item sharing the current vertex; off unless the options allow it.
    bool AllowSuperConnect = false;

    // ---- Floating actions (category "Редактор")
    TFloatingAction *AddPoint, *MovePoint, *StereoMove, *ConnectPoint, *DeletePoint, *RotateEdge, *MoveAll,
        *RotateAll, *EdgeLen, *EdgeAngle, *Spline, *DropItems, *DropLine, *LinkItems, *LinkManyLines,
        *DisconnectPoint, *InvertDirection, *ArrangeAngles, *MakePolygon, *Scale;
    // ---- Mouse modes
    TMouseEvents *AddPointMode, *MovePointMode, *ConnectPointMode, *DeletePointMode, *RotateEdgeMode,
        *MoveAllMode, *RotateAllMode, *DropMode, *StereoMode;
    // ---- Info lines
    TInfoStringAction *EdgeLenInfo, *ContourLenInfo, *AllLengthInfo, *PntCoordInfoX, *PntCoordInfoY,
        *PntCoordInfoZ, *SelectedIndex, *WGS84Lat, *WGS84Lon;

    // A number in a value box that shows it exactly (the shortest text that reads back as the same single
    // when single is set, else the same double). True only when the user confirmed a different number; a
    // box confirmed unchanged, cancelled or holding no number changes nothing.
    static bool EditExactValue(const QString &caption, const QPoint &pos, double value, bool single,
                               double &result);

    // The candidates the connect mode shows (recomputed on the next overlay pass after a move of more
    // than CandidateStepPixels).
    const TXYZArray &ConnectCandidates() const { return candidates_; }
    bool CandidatesStale() const { return moved_; }
    // Recomputes the candidates when the pointer moved far enough (what the candidate overlay does).
    void UpdateConnectCandidates();
    // The cut line being dragged; false when none.
    bool CutLine(TXYZ &from, TXYZ &to) const;
    // The stereo rays: first and second (each near, far); false when not set.
    bool StereoRay(int which, TXYZ &nearPoint, TXYZ &farPoint) const;

private:
    TMouseEvents *MakeMode(const char *name, int cursor, const QString &description);
    void MakeActions();
    void MakeModes();
    void MakeInfoLines();
    void Refresh() const;
    // Shows a refusal; true when the edit changed something (the view is refreshed then).
    bool Finish(const TEditResult &result, bool quiet = false);
    TXYZ Ground(int x, int y) const;
    double PixelSize(int x, int y) const;
    QPoint PopupPosition() const;
    bool TypeVisibleForInvert(int code) const;

    // Mouse handlers
    bool RightSelects(const TMouseEventArgs &e);
    void AddDown(const TMouseEventArgs &e);
    void AddMove(const TMouseEventArgs &e);
    void MoveMove(const TMouseEventArgs &e);
    void DeleteDown(const TMouseEventArgs &e);
    void ConnectMove(const TMouseEventArgs &e);
    void ConnectDown(const TMouseEventArgs &e);
    void RotateEdgeMove(const TMouseEventArgs &e);
    void MoveAllDown(const TMouseEventArgs &e);
    void MoveAllMove(const TMouseEventArgs &e);
    void RotateAllDown(const TMouseEventArgs &e);
    void RotateAllMove(const TMouseEventArgs &e);
    void DropDown(const TMouseEventArgs &e);
    void DropMove(const TMouseEventArgs &e);
    void DropUp(const TMouseEventArgs &e);
    void StereoEvent(const TMouseEventArgs &e, bool release);

    // Commands
    void ExecuteEdgeLen(TAbstractItem &item);
    void ExecuteEdgeAngle(TAbstractItem &item);
    void ExecuteCoordinate(int axis, const QString &caption);
    void ExecuteDropLine(TAbstractItem &item);
    void ExecuteLinkMany();
    void ExecuteDeleteEverywhere(TAbstractItem &item);
    void ExecuteMakePolygon(TAbstractItem &item);
    void ExecuteScale(TAbstractItem &item);

    // Overlays
    void DrawVertexOverlay(const TDxDrawParams &params);
    void DrawCutLine(const TDxDrawParams &params);
    void DrawCandidates(const TDxDrawParams &params);
    void DrawStereoRays(const TDxDrawParams &params);

    TPointsEditorHost host_;
    std::vector<TListenerList<const TDxDrawParams &>::TToken> drawTokens_;
    // Connect mode
    QPoint lastPixel_;
    bool moved_ = false;
    TXYZArray candidates_;
    // Whole-item turning
    float startAngle_ = 0;
    bool rotating_ = false;
    TXYZ rotateCentre_;
    // Cutting
    TXYZ cutFrom_, cutTo_;
    bool dragging_ = false;
    // Stereo rays: [0] first, [1] second; near then far.
    TXYZ rays_[2][2];
    bool rayValid_[2] = {false, false};
};

// The module made last and still alive (picking asks it to choose the current vertex); nullptr when none.
TPointsEditorModule *PointsEditorModule();

// Makes the module at its place in the start-up order (once, however often it is called).
void RegisterPointsEditor();
