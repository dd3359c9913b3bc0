#pragma once
// Drawers fill the view with one kind of picture; the main window draws with the active one on every draw
// tick. The plan drawer draws the current street (and, on request, the other open streets in a pale tint)
// through the street's own view: centre, scale and angle, kept in the street so that each street keeps its
// view.
//
// Scale is the half-width factor: the view shows 2 / scale plan units across its width, so one unit is
// scale x width / 2 pixels. Every way a view value comes in (the mouse, the keys, the view-sync peer, a
// street file) goes through the checks here: a non-finite centre or angle is refused and the scale is
// held in [MinViewScale, MaxViewScale].
#include "engine/DX_Shell.h"
#include "model/ItemTypes.h"
#include "model/StreetStructure.h"

#include <cstdint>
#include <functional>

class TStreetsHolderModule;

// The range of view scales: from a view 2e7 units wide down to one 2e-3 units wide. Centres are singles:
// nearer than that, a step of the view would be lost in their precision a few kilometres out.
constexpr float MinViewScale = 1e-7f;
constexpr float MaxViewScale = 1e3f;
// Below this the view is not zoomed out any further (keys and wheel).
constexpr double ZoomOutLimit = 1e-6;
// What a scale of exactly 0 (a street that never had a view) is drawn with.
constexpr float ZeroScaleReplacement = 0.02f;

// The scale held in range; nothing for a value that is no finite number.
bool ClampViewScale(double scale, float &result);
// Centre, scale and angle are finite and the scale lies in range.
bool IsSaneView(const TStreetView &view);
// A view that can be drawn: non-finite centre parts and angle become 0, a scale of 0 or one that is not
// finite becomes ZeroScaleReplacement, any other scale is held in range.
TStreetView SaneView(const TStreetView &view);

// Layer-mask bits handed to item drawing.
constexpr uint32_t DrawModeGeometry = 1;  // ordinary geometry
constexpr uint32_t DrawModeTechnical = 2; // technical details

class TDrawerObject {
public:
    // The drawer draws into whatever renderer the function gives at the time (nullptr: none yet).
    explicit TDrawerObject(std::function<TdxRenderer *()> renderer);
    virtual ~TDrawerObject();
    TDrawerObject(const TDrawerObject &) = delete;
    TDrawerObject &operator=(const TDrawerObject &) = delete;

    uint32_t DrawMode = DrawModeGeometry | DrawModeTechnical;
    TDxDrawParams DrawParams;

    // Takes the renderer into the draw parameters.
    virtual void BeginDraw();
    // Fills the view; the renderer's scene is open. Nothing in the base but a clear to its background.
    virtual void Draw(const TItemTypeSet &layers);
    virtual TdxRenderer *GetRenderer() const;
    // Shows the finished picture; the device's result (D3D_OK without a renderer).
    HRESULT EndDraw();

    // The size of the view in pixels: the renderer's, or before there is one what SizeFallback says
    // (the view's widget); false when neither knows.
    bool GetViewSize(int &width, int &height) const;
    std::function<bool(int &width, int &height)> SizeFallback;

private:
    std::function<TdxRenderer *()> renderer_;
};

class TMainPlanDrawer : public TDrawerObject {
public:
    TMainPlanDrawer(TStreetsHolderModule &holder, std::function<TdxRenderer *()> renderer);

    // Draw the other open streets too, tinted.
    bool AllStreetsDraw = false;
    // Called after every plan draw with the view drawn (the view-sync window sends it on).
    std::function<void(const TStreetView &)> OnViewDrawn;

    // The street whose view this is: the holder's active one (made when none is open).
    TStreetStructure &CurrentStreet() const;

    TXYZ GetCenter() const;
    float GetScale() const;
    float GetAngle() const;
    // Each keeps the other parts; a value that is refused (not finite) changes nothing and gives false.
    bool SetCenter(const TXYZ &center);
    // Held in range.
    bool SetScale(double scale);
    // Turned into (-pi, pi].
    bool SetAngle(double angle);
    // All three through the same checks; false when any was refused (then nothing changes).
    bool SetView(const TStreetView &view);

    // scale x view width / 2 (a width of 1 when the view's size is not known).
    double PixelsPerUnit() const;
    // Moves the view by a vector of pixels (x right, y up), turned into plan directions.
    void PanPixels(int dx, int dy);
    // Fits the street's points into the width and the height of the view, angle 0.
    void ShowAll();
    // Multiplies the scale by the factor (held in range) keeping the ground point under the pixel in place.
    void ZoomAbout(int x, int y, double factor);
    // One wheel notch at the pixel: steps is +-2 (+-5 with Ctrl), positive for a wheel turned away from
    // the user. The corners of the view turn it, the middles of its edges pan it, its centre zooms about
    // the pointer (no further out below ZoomOutLimit). The zone is the column (left eighth, middle, right
    // eighth) plus 3 x the row.
    void WheelStep(int steps, int x, int y);
    static int WheelZone(int x, int y, int width, int height);

    // The renderer's transforms for the current view.
    void SetupCamera();
    // The ground point under a pixel of the view, through the current view.
    TXYZ ScreenToGround(int x, int y);
    // The pixel of a plan point through the current view.
    TXYZ GroundToScreen(const TXYZ &point);

    void BeginDraw() override;
    void Draw(const TItemTypeSet &layers) override;

private:
    void DrawOtherStreets(const TItemTypeSet &layers, TdxRenderer &renderer);

    TStreetsHolderModule &holder_;
};
