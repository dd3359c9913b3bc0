#include "shell/MainPlan.h"

#include "shell/StreetsHolder.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace {

bool Finite(float v) {
    return std::isfinite(v);
}

// The angle turned into (-pi, pi].
double WrapAngle(double angle) {
    constexpr double pi = std::numbers::pi;
    if (angle > -pi && angle <= pi)
        return angle;
    double a = std::remainder(angle, 2 * pi);
    if (a <= -pi)
        a += 2 * pi;
    return a;
}

} // namespace

bool ClampViewScale(double scale, float &result) {
    if (!std::isfinite(scale))
        return false;
    result = static_cast<float>(std::clamp(scale, double(MinViewScale), double(MaxViewScale)));
    return true;
}

bool IsSaneView(const TStreetView &v) {
    return Finite(v.X) && Finite(v.Y) && Finite(v.Z) && Finite(v.Angle) && Finite(v.Scale) &&
           v.Scale >= MinViewScale && v.Scale <= MaxViewScale;
}

TStreetView SaneView(const TStreetView &view) {
    TStreetView v = view;
    if (!Finite(v.X) || !Finite(v.Y) || !Finite(v.Z))
        v.X = v.Y = v.Z = 0;
    if (!Finite(v.Angle))
        v.Angle = 0;
    if (v.Scale == 0 || !Finite(v.Scale))
        v.Scale = ZeroScaleReplacement;
    else
        ClampViewScale(v.Scale, v.Scale);
    return v;
}

// ---- TDrawerObject

TDrawerObject::TDrawerObject(std::function<TdxRenderer *()> renderer) : renderer_(std::move(renderer)) {}

TDrawerObject::~TDrawerObject() = default;

void TDrawerObject::BeginDraw() {
    DrawParams.Renderer = GetRenderer();
}

void TDrawerObject::Draw(const TItemTypeSet &) {
    if (TdxRenderer *r = GetRenderer())
        r->Clear(0xFF808080, true, false, false);
}

TdxRenderer *TDrawerObject::GetRenderer() const {
    return renderer_ ? renderer_() : nullptr;
}

bool TDrawerObject::GetViewSize(int &width, int &height) const {
    if (const TdxRenderer *r = GetRenderer(); r != nullptr && r->Width() > 0 && r->Height() > 0) {
        width = r->Width();
        height = r->Height();
        return true;
    }
    int w = 0, h = 0;
    if (SizeFallback && SizeFallback(w, h) && w > 0 && h > 0) {
        width = w;
        height = h;
        return true;
    }
    return false;
}

HRESULT TDrawerObject::EndDraw() {
    TdxRenderer *r = GetRenderer();
    return r != nullptr ? r->Present() : D3D_OK;
}

// ---- TMainPlanDrawer

TMainPlanDrawer::TMainPlanDrawer(TStreetsHolderModule &holder, std::function<TdxRenderer *()> renderer)
    : TDrawerObject(std::move(renderer)), holder_(holder) {}

TStreetStructure &TMainPlanDrawer::CurrentStreet() const {
    return holder_.ActiveStreet();
}

TXYZ TMainPlanDrawer::GetCenter() const {
    const TStreetView &v = CurrentStreet().View();
    return {v.X, v.Y, v.Z};
}

float TMainPlanDrawer::GetScale() const {
    return CurrentStreet().View().Scale;
}

float TMainPlanDrawer::GetAngle() const {
    return CurrentStreet().View().Angle;
}

bool TMainPlanDrawer::SetCenter(const TXYZ &center) {
    if (!Finite(center.x) || !Finite(center.y) || !Finite(center.z))
        return false;
    TStreetStructure &street = CurrentStreet();
    TStreetView v = street.View();
    v.X = center.x;
    v.Y = center.y;
    v.Z = center.z;
    street.SetView(v);
    return true;
}

bool TMainPlanDrawer::SetScale(double scale) {
    TStreetStructure &street = CurrentStreet();
    TStreetView v = street.View();
    if (!ClampViewScale(scale, v.Scale))
        return false;
    street.SetView(v);
    return true;
}

bool TMainPlanDrawer::SetAngle(double angle) {
    if (!std::isfinite(angle))
        return false;
    TStreetStructure &street = CurrentStreet();
    TStreetView v = street.View();
    v.Angle = static_cast<float>(WrapAngle(angle));
    street.SetView(v);
    return true;
}

bool TMainPlanDrawer::SetView(const TStreetView &view) {
    TStreetView v = view;
    if (!Finite(v.X) || !Finite(v.Y) || !Finite(v.Z) || !std::isfinite(v.Angle) ||
        !ClampViewScale(v.Scale, v.Scale))
        return false;
    v.Angle = static_cast<float>(WrapAngle(v.Angle));
    CurrentStreet().SetView(v);
    return true;
}

double TMainPlanDrawer::PixelsPerUnit() const {
    int w = 1, h = 1;
    GetViewSize(w, h);
    return double(SaneView(CurrentStreet().View()).Scale) * w / 2;
}

void TMainPlanDrawer::PanPixels(int dx, int dy) {
    const double ppu = PixelsPerUnit();
    const double x = dx / ppu, y = dy / ppu;
    // Screen directions are plan directions turned by the view's angle; back by minus that angle.
    const double a = GetAngle();
    const double c = std::cos(a), s = std::sin(a);
    const TXYZ centre = GetCenter();
    SetCenter({static_cast<float>(centre.x + x * c + y * s), static_cast<float>(centre.y - x * s + y * c),
               centre.z});
}

void TMainPlanDrawer::ShowAll() {
    TStreetStructure &street = CurrentStreet();
    TStreetView v = street.View();
    v.Angle = 0;
    if (street.Pool().Count() < 2) {
        v.X = v.Y = v.Z = 0;
        v.Scale = DefaultViewScale;
    } else {
        float minX = 0, minY = 0, maxX = 0, maxY = 0;
        street.Pool().GetBounds(minX, minY, maxX, maxY);
        const double ex = double(maxX) - minX, ey = double(maxY) - minY;
        v.X = static_cast<float>((double(minX) + maxX) / 2);
        v.Y = static_cast<float>((double(minY) + maxY) / 2);
        v.Z = 0;
        // The street takes at most half the view across and half of it down (its height is width x
        // height / width of the view in plan units).
        double scale = 1 / (std::max(ex, ey) + 1);
        if (int w = 0, h = 0; GetViewSize(w, h))
            scale = std::min(1 / (ex + 1), double(h) / w / (ey + 1));
        ClampViewScale(scale, v.Scale);
    }
    if (IsSaneView(v))
        street.SetView(v);
}

void TMainPlanDrawer::ZoomAbout(int x, int y, double factor) {
    const double scale = GetScale();
    const TXYZ ground = ScreenToGround(x, y), centre = GetCenter();
    if (!SetScale(scale * factor))
        return;
    // The scale may have met its limit: the factor is what was applied.
    const double f = GetScale() / scale;
    SetCenter({static_cast<float>(ground.x - (double(ground.x) - centre.x) / f),
               static_cast<float>(ground.y - (double(ground.y) - centre.y) / f), centre.z});
}

int TMainPlanDrawer::WheelZone(int x, int y, int width, int height) {
    const int column = x < width / 8 ? 0 : x > width - width / 8 ? 2 : 1;
    const int row = y < height / 8 ? 0 : y > height - height / 8 ? 2 : 1;
    return column + 3 * row;
}

void TMainPlanDrawer::WheelStep(int steps, int x, int y) {
    int width = 0, height = 0;
    if (!GetViewSize(width, height))
        return;
    constexpr double degree = std::numbers::pi / 180;
    switch (WheelZone(x, y, width, height)) {
    case 0:
    case 8:
        SetAngle(GetAngle() - steps * degree);
        break;
    case 2:
    case 6:
        SetAngle(GetAngle() + steps * degree);
        break;
    case 4:
        if (GetScale() <= ZoomOutLimit && steps >= 0)
            break;
        ZoomAbout(x, y, std::pow(1.1, -steps));
        break;
    default: {
        const double dx = x - width / 2.0, dy = y - height / 2.0;
        const double d = std::sqrt(dx * dx + dy * dy);
        if (d > 0)
            PanPixels(-static_cast<int>(std::lround(50.0 * steps * dx / d)),
                      static_cast<int>(std::lround(50.0 * steps * dy / d)));
        break;
    }
    }
}

void TMainPlanDrawer::SetupCamera() {
    TdxRenderer *r = GetRenderer();
    if (r == nullptr)
        return;
    TStreetStructure &street = CurrentStreet();
    TStreetView v = street.View();
    if (!IsSaneView(v)) {
        // A street read with a view of 0 or of values that are no numbers is drawn (and kept) sane.
        v = SaneView(v);
        street.SetView(v);
    }
    r->LoadIdentityAll();
    TMatrixShell &view = r->View();
    view.Scale(false, v.Scale, v.Scale, v.Scale);
    view.RotateZ(false, -v.Angle);
    view.Translate(false, -v.X, -v.Y, 0);
    const float aspect = r->Height() > 0 ? float(r->Width()) / float(r->Height()) : 1.0f;
    view.Scale(true, 1, aspect, 1);
    r->ComputeViewPlane();
}

TXYZ TMainPlanDrawer::ScreenToGround(int x, int y) {
    TdxRenderer *r = GetRenderer();
    if (r == nullptr)
        return GetCenter();
    SetupCamera();
    return r->ScreenToGround(x, y);
}

TXYZ TMainPlanDrawer::GroundToScreen(const TXYZ &point) {
    TdxRenderer *r = GetRenderer();
    if (r == nullptr)
        return {};
    SetupCamera();
    return r->WorldToScreen(point);
}

void TMainPlanDrawer::BeginDraw() {
    TDrawerObject::BeginDraw();
    const TStreetView &v = CurrentStreet().View();
    DrawParams.ViewCenter = {v.X, v.Y, v.Z};
    // The view shows 2 / Scale across its width and that times height / width down; the circle that
    // culls must reach its corners, or a tall view loses what lies there.
    double reach = 1.5;
    if (int w = 0, h = 0; GetViewSize(w, h))
        reach = std::max(reach, 1.05 * std::hypot(1.0, double(h) / w));
    DrawParams.ViewRadius = static_cast<float>(reach / v.Scale);
}

void TMainPlanDrawer::Draw(const TItemTypeSet &layers) {
    TdxRenderer *r = GetRenderer();
    if (r == nullptr)
        return;
    r->SetAmbient(0xFFFFFFFF);
    r->Clear(0xFFFFFFFF, true, true, true);
    SetupCamera();
    BeginDraw();
    if (AllStreetsDraw)
        DrawOtherStreets(layers, *r);
    TStreetStructure &street = CurrentStreet();
    street.Draw(DrawParams, layers, DrawMode);
    if (OnViewDrawn)
        OnViewDrawn(street.View());
}

void TMainPlanDrawer::DrawOtherStreets(const TItemTypeSet &layers, TdxRenderer &r) {
    const int w = r.Width(), h = r.Height();
    const std::array<TXYZ, 4> view = {r.ScreenToGround(0, 0), r.ScreenToGround(w, 0), r.ScreenToGround(w, h),
                                      r.ScreenToGround(0, h)};
    const std::array<TXYZ, 3> viewTriangles[2] = {{view[0], view[1], view[2]}, {view[2], view[3], view[0]}};
    const TStreetStructure *active = &CurrentStreet();
    r.SetAmbient(0xFFC4C4FF);
    for (int i = 0; i < holder_.Count(); ++i) {
        TStreetStructure &other = holder_.Streets(i);
        if (&other == active || other.Pool().Count() == 0)
            continue;
        float x0 = 0, y0 = 0, x1 = 0, y1 = 0;
        other.Pool().GetBounds(x0, y0, x1, y1);
        // A street whose points lie on one line still has an area to meet.
        x0 -= 0.5f;
        y0 -= 0.5f;
        x1 += 0.5f;
        y1 += 0.5f;
        const std::array<TXYZ, 3> box[2] = {{TXYZ{x0, y0, 0}, TXYZ{x1, y0, 0}, TXYZ{x1, y1, 0}},
                                            {TXYZ{x1, y1, 0}, TXYZ{x0, y1, 0}, TXYZ{x0, y0, 0}}};
        bool meets = false;
        for (const auto &a : viewTriangles)
            for (const auto &b : box)
                meets = meets || TrianglesOverlapArea(a, b) > 0;
        if (meets)
            other.Draw(DrawParams, layers, DrawMode);
    }
    r.SetAmbient(0xFFFFFFFF);
}
