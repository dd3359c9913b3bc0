// The plan view's maths on a headless renderer of 800 x 600 pixels: pixels to ground and back, panning,
// zooming about a pixel, turning, fitting, the wheel zones, the navigation actions and the mouse modes, and
// the checks every incoming view value passes.
#include "ShellTestSupport.h"

#include "platform/d3d9/RecordingDevice.h"
#include "shell/MainPlan.h"
#include "shell/MainPlanCtrl.h"
#include "shell/StreetsHolder.h"

#include <cmath>
#include <limits>
#include <numbers>

namespace {

constexpr double Pi = std::numbers::pi;
constexpr float Inf = std::numeric_limits<float>::infinity();
constexpr float NaN = std::numeric_limits<float>::quiet_NaN();

class PlanView : public shelltest::ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        holder_ = std::make_unique<TStreetsHolderModule>();
        holder_->NewStreet();
        renderer_ = std::make_unique<TSurfaceRenderer>(std::make_shared<TRecordingDevice>(800, 600));
        drawer_ = std::make_unique<TMainPlanDrawer>(*holder_, [this] { return renderer_.get(); });
    }
    void TearDown() override {
        drawer_.reset();
        renderer_.reset();
        holder_.reset();
        ShellTest::TearDown();
    }

    void SetView(float x, float y, float scale, float angle) {
        ASSERT_TRUE(drawer_->SetView({x, y, 0, scale, angle}));
    }
    // The ground point under the pixel stays there, within a hundredth of a pixel.
    void ExpectGroundAt(const TXYZ &ground, double px, double py) {
        const TXYZ at = drawer_->GroundToScreen(ground);
        EXPECT_NEAR(at.x, px, 1.0) << "x";
        EXPECT_NEAR(at.y, py, 1.0) << "y";
        const TXYZ back = drawer_->ScreenToGround(static_cast<int>(px), static_cast<int>(py));
        const double tolerance = 0.01 / drawer_->PixelsPerUnit();
        EXPECT_NEAR(back.x, ground.x, tolerance);
        EXPECT_NEAR(back.y, ground.y, tolerance);
    }
    TStreetStructure &Street() { return holder_->ActiveStreet(); }

    std::unique_ptr<TStreetsHolderModule> holder_;
    std::unique_ptr<TdxRenderer> renderer_;
    std::unique_ptr<TMainPlanDrawer> drawer_;
};

// Scale s shows 2 / s units across the width; y is up on the plan and down on the screen; the view turns
// the plan by its angle (counter-clockwise on the screen).
TEST_F(PlanView, PixelsMapToTheGroundThroughCentreScaleAndAngle) {
    for (const float angle : {0.0f, 0.3f, -2.0f, 3.0f}) {
        SCOPED_TRACE(angle);
        SetView(1000, -250, 0.05f, angle);
        EXPECT_DOUBLE_EQ(drawer_->PixelsPerUnit(), 0.05f * 400.0);
        const TXYZ centre = drawer_->ScreenToGround(400, 300);
        EXPECT_NEAR(centre.x, 1000, 1e-3);
        EXPECT_NEAR(centre.y, -250, 1e-3);
        // 20 units = 400 pixels to the right and 200 pixels up on the screen.
        const double c = std::cos(angle), s = std::sin(angle);
        const TXYZ right{float(1000 + 20 * c), float(-250 - 20 * s), 0};
        const TXYZ up{float(1000 + 10 * s), float(-250 + 10 * c), 0};
        ExpectGroundAt(right, 800, 300);
        ExpectGroundAt(up, 400, 100);
    }
}

TEST_F(PlanView, PanningMovesByPixelsAlongTheScreen) {
    for (const float angle : {0.0f, 0.7f, -1.9f}) {
        SCOPED_TRACE(angle);
        SetView(10, 20, 0.1f, angle);
        const TXYZ rightOf = drawer_->ScreenToGround(500, 300);
        drawer_->PanPixels(100, 0);
        ExpectGroundAt(rightOf, 400, 300);
        const TXYZ above = drawer_->ScreenToGround(400, 200);
        drawer_->PanPixels(0, 100);
        ExpectGroundAt(above, 400, 300);
        const TXYZ leftBelow = drawer_->ScreenToGround(330, 340);
        drawer_->PanPixels(-70, -40);
        ExpectGroundAt(leftBelow, 400, 300);
    }
}

TEST_F(PlanView, ZoomKeepsTheGroundUnderThePixel) {
    SetView(50, 50, 0.02f, 0.4f);
    const TXYZ ground = drawer_->ScreenToGround(120, 470);
    drawer_->ZoomAbout(120, 470, 3.0);
    EXPECT_FLOAT_EQ(drawer_->GetScale(), 0.06f);
    ExpectGroundAt(ground, 120, 470);
    // Against the limit the factor is what could be applied, and the point still stays.
    drawer_->ZoomAbout(700, 20, 1e12);
    EXPECT_FLOAT_EQ(drawer_->GetScale(), MaxViewScale);
}

TEST_F(PlanView, TheWheelTurnsPansOrZoomsByZone) {
    struct TCase {
        int X, Y, Zone;
    };
    // Eighths of 800 x 600: 100 and 75 pixels.
    const TCase zones[] = {{10, 10, 0},   {400, 10, 1},  {790, 10, 2}, {10, 300, 3},
                           {400, 300, 4}, {790, 300, 5}, {10, 590, 6}, {400, 590, 7},
                           {790, 590, 8}, {99, 74, 0},   {100, 75, 4}};
    for (const TCase &c : zones)
        EXPECT_EQ(TMainPlanDrawer::WheelZone(c.X, c.Y, 800, 600), c.Zone) << c.X << ", " << c.Y;

    // Corners turn by a degree per step, with opposite signs for the two diagonals.
    SetView(0, 0, 0.1f, 0);
    drawer_->WheelStep(2, 10, 10);
    EXPECT_NEAR(drawer_->GetAngle(), -2 * Pi / 180, 1e-6);
    drawer_->WheelStep(5, 790, 10);
    EXPECT_NEAR(drawer_->GetAngle(), 3 * Pi / 180, 1e-6);
    // The middle of the right edge pans by 50 pixels per step, away from the edge for a forward wheel.
    SetView(0, 0, 0.1f, 0);
    drawer_->WheelStep(2, 790, 300);
    EXPECT_NEAR(drawer_->GetCenter().x, -100 / drawer_->PixelsPerUnit(), 1e-4);
    EXPECT_NEAR(drawer_->GetCenter().y, 0, 1e-4);
    // The centre zooms about the pointer by 1.1 per step, out for a forward wheel.
    SetView(0, 0, 0.1f, 0);
    const TXYZ ground = drawer_->ScreenToGround(350, 280);
    drawer_->WheelStep(-2, 350, 280);
    EXPECT_FLOAT_EQ(drawer_->GetScale(), static_cast<float>(0.1 * 1.21));
    ExpectGroundAt(ground, 350, 280);
    // At the zoom-out limit forward notches do nothing, backward ones still zoom in.
    SetView(0, 0, 1e-6f, 0);
    drawer_->WheelStep(2, 400, 300);
    EXPECT_FLOAT_EQ(drawer_->GetScale(), 1e-6f);
    drawer_->WheelStep(-2, 400, 300);
    EXPECT_GT(drawer_->GetScale(), 1e-6f);
}

TEST_F(PlanView, ShowAllFitsTheStreetIntoWidthAndHeight) {
    struct TCase {
        const char *Name;
        int Width, Height;
        TXYZ A, B;
    };
    const TCase cases[] = {
        {"wide street", 800, 600, {-100, 0, 0}, {300, 20, 0}},
        {"tall street", 800, 600, {0, -500, 0}, {10, 500, 0}},
        {"square street in a flat view", 800, 100, {0, 0, 0}, {50, 50, 0}},
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.Name);
        renderer_ = std::make_unique<TSurfaceRenderer>(std::make_shared<TRecordingDevice>(c.Width, c.Height));
        holder_->CloseAll();
        holder_->NewStreet();
        Street().Pool().AddPoint(c.A);
        Street().Pool().AddPoint(c.B);
        drawer_->SetAngle(1);
        drawer_->ShowAll();
        EXPECT_EQ(drawer_->GetAngle(), 0);
        EXPECT_FLOAT_EQ(drawer_->GetCenter().x, (c.A.x + c.B.x) / 2);
        EXPECT_FLOAT_EQ(drawer_->GetCenter().y, (c.A.y + c.B.y) / 2);
        for (const TXYZ &corner : {c.A, c.B, TXYZ{c.A.x, c.B.y, 0}, TXYZ{c.B.x, c.A.y, 0}}) {
            const TXYZ px = drawer_->GroundToScreen(corner);
            EXPECT_GE(px.x, 0);
            EXPECT_LE(px.x, c.Width);
            EXPECT_GE(px.y, 0);
            EXPECT_LE(px.y, c.Height);
        }
    }
    // With fewer than two points: the origin at scale 0.01.
    holder_->CloseAll();
    holder_->NewStreet();
    Street().Pool().AddPoint({40, 40, 0});
    drawer_->ShowAll();
    EXPECT_EQ(drawer_->GetCenter(), (TXYZ{0, 0, 0}));
    EXPECT_FLOAT_EQ(drawer_->GetScale(), 0.01f);
}

// What lies in a corner of the view is drawn: the culling circle reaches every corner, however tall or
// wide the view and however it is turned.
TEST_F(PlanView, TheCullingCircleReachesEveryCornerOfTheView) {
    const std::pair<int, int> sizes[] = {{800, 600}, {600, 800}, {200, 900}, {1000, 100}, {1, 1000}};
    for (const auto &[w, h] : sizes) {
        SCOPED_TRACE(testing::Message() << w << " x " << h);
        renderer_ = std::make_unique<TSurfaceRenderer>(std::make_shared<TRecordingDevice>(w, h));
        SetView(50, -20, 0.02f, 0.7f);
        drawer_->BeginDraw();
        const TXYZ centre = drawer_->GetCenter();
        for (const auto &[x, y] : {std::pair{0, 0}, {w, 0}, {0, h}, {w, h}}) {
            const TXYZ g = drawer_->ScreenToGround(x, y);
            EXPECT_LT(std::hypot(g.x - centre.x, g.y - centre.y), drawer_->DrawParams.ViewRadius)
                << "corner " << x << ", " << y;
        }
    }
}

TEST_F(PlanView, ViewValuesAreCheckedWhereverTheyComeFrom) {
    SetView(1, 2, 0.5f, 0.25f);
    const TStreetView sane = Street().View();
    // Refused: the view stays as it was.
    EXPECT_FALSE(drawer_->SetCenter({NaN, 0, 0}));
    EXPECT_FALSE(drawer_->SetCenter({0, Inf, 0}));
    EXPECT_FALSE(drawer_->SetAngle(NaN));
    EXPECT_FALSE(drawer_->SetAngle(-Inf));
    EXPECT_FALSE(drawer_->SetScale(NaN));
    EXPECT_FALSE(drawer_->SetView({0, 0, 0, 0.1f, NaN}));
    EXPECT_FALSE(drawer_->SetView({0, 0, 0, Inf, 0}));
    EXPECT_EQ(Street().View(), sane);
    // Held in range.
    struct TScale {
        double In;
        float Out;
    };
    for (const TScale &s : {TScale{1e30, MaxViewScale}, TScale{-5, MinViewScale}, TScale{0, MinViewScale},
                            TScale{1e-20, MinViewScale}, TScale{0.25, 0.25f}}) {
        EXPECT_TRUE(drawer_->SetScale(s.In));
        EXPECT_EQ(drawer_->GetScale(), s.Out) << s.In;
    }
    // Angles turn into (-pi, pi].
    EXPECT_TRUE(drawer_->SetAngle(3 * Pi));
    EXPECT_NEAR(drawer_->GetAngle(), Pi, 1e-6);
    EXPECT_TRUE(drawer_->SetAngle(-7.5 * Pi));
    EXPECT_NEAR(drawer_->GetAngle(), 0.5 * Pi, 1e-6);

    // A view read from a file is made sane when it is drawn.
    struct TStored {
        TStreetView In, Out;
    };
    const TStored stored[] = {
        {{1, 2, 3, 0, 0.5f}, {1, 2, 3, ZeroScaleReplacement, 0.5f}},
        {{NaN, 2, 0, 0.1f, 0}, {0, 0, 0, 0.1f, 0}},
        {{5, 6, 0, 0.1f, Inf}, {5, 6, 0, 0.1f, 0}},
        {{5, 6, 0, NaN, 1}, {5, 6, 0, ZeroScaleReplacement, 1}},
        {{5, 6, 0, -3, 1}, {5, 6, 0, MinViewScale, 1}},
    };
    for (const TStored &s : stored) {
        EXPECT_FALSE(IsSaneView(s.In));
        EXPECT_EQ(SaneView(s.In), s.Out);
        Street().SetView(s.In);
        drawer_->SetupCamera();
        EXPECT_EQ(Street().View(), s.Out);
    }
}

// ---- Navigation actions and mouse modes

class PlanControls : public PlanView {
protected:
    void SetUp() override {
        PlanView::SetUp();
        TPlanControlsHost host;
        host.Drawer = [this] { return drawer_.get(); };
        host.PlanShown = [this] { return planShown_; };
        host.PlanActive = [this] { return planShown_ && holder_->Count() > 0; };
        host.Refresh = [this] { ++refreshes_; };
        host.MouseMode = [this] { return mode_; };
        host.SetMouseMode = [this](TMouseEvents *m) {
            mode_ = m;
            if (m)
                m->Activate();
        };
        controls_ = std::make_unique<TMainPlanControls>(host);
    }
    void TearDown() override {
        controls_.reset();
        PlanView::TearDown();
    }
    static TMouseEventArgs Mouse(int x, int y, Qt::MouseButton button = Qt::LeftButton,
                                 Qt::MouseButtons held = Qt::LeftButton, Qt::KeyboardModifiers mods = {}) {
        TMouseEventArgs a;
        a.Button = button;
        a.Buttons = held;
        a.Modifiers = mods;
        a.X = x;
        a.Y = y;
        return a;
    }
    // A press, moves through the points and a release at the last, as the view sends them.
    void Drag(TMouseEvents *mode, std::initializer_list<QPoint> points,
              Qt::MouseButton button = Qt::LeftButton) {
        mode_ = mode;
        mode->Activate();
        const QPoint first = *points.begin(), last = *(points.end() - 1);
        mode->MouseDown(Mouse(first.x(), first.y(), button, button));
        for (const QPoint &p : points)
            mode->MouseMove(Mouse(p.x(), p.y(), Qt::NoButton, button));
        mode->MouseUp(Mouse(last.x(), last.y(), button, Qt::NoButton));
    }

    bool planShown_ = true;
    int refreshes_ = 0;
    TMouseEvents *mode_ = nullptr;
    std::unique_ptr<TMainPlanControls> controls_;
};

TEST_F(PlanControls, ActionsActOnlyWhileThePlanIsShown) {
    SetView(0, 0, 0.1f, 0);
    controls_->ScaleUp->Click();
    EXPECT_FLOAT_EQ(drawer_->GetScale(), static_cast<float>(0.1 * std::sqrt(2.0)));
    controls_->RotCCW->Click();
    EXPECT_NEAR(drawer_->GetAngle(), TMainPlanControls::RotationStep, 1e-7);
    controls_->RotCW->Click();
    EXPECT_NEAR(drawer_->GetAngle(), 0, 1e-7);
    const TXYZ up = drawer_->ScreenToGround(400, 200);
    controls_->ShiftUp->Click();
    ExpectGroundAt(up, 400, 300);
    // ScaleDown stops at the zoom-out limit; ScaleUp always multiplies.
    SetView(0, 0, 1e-6f, 0);
    controls_->ScaleDown->Click();
    EXPECT_FLOAT_EQ(drawer_->GetScale(), 1e-6f);
    EXPECT_GT(refreshes_, 0);

    // With the video shown the actions hide and do nothing; the mode actions still set their mode.
    planShown_ = false;
    TFloatingAction::UpdateAll();
    EXPECT_FALSE(controls_->ScaleUp->Visible());
    controls_->ScaleUp->Click();
    EXPECT_FLOAT_EQ(drawer_->GetScale(), 1e-6f);
    controls_->Zoom->Click();
    EXPECT_EQ(mode_, controls_->ZoomMode);
    EXPECT_FALSE(controls_->ZoomMode->CheckContext());
}

TEST_F(PlanControls, DraggingKeepsTheGrabbedGroundUnderThePointer) {
    SetView(100, 100, 0.05f, 0.6f);
    const TXYZ grabbed = drawer_->ScreenToGround(300, 250);
    Drag(controls_->ShiftViewMode, {{300, 250}, {350, 260}, {520, 110}});
    ExpectGroundAt(grabbed, 520, 110);
    // The right button drags nothing.
    const TStreetView view = Street().View();
    Drag(controls_->ShiftViewMode, {{300, 250}, {520, 110}}, Qt::RightButton);
    EXPECT_EQ(Street().View(), view);
}

TEST_F(PlanControls, AreaZoomNeedsARectangleOfTwentyPixels) {
    SetView(0, 0, 0.1f, 0);
    Drag(controls_->SelectAreaMode, {{100, 100}, {119, 300}});
    EXPECT_FLOAT_EQ(drawer_->GetScale(), 0.1f);
    // 200 x 100 on 800 x 600: min(4, 6) = 4, centred on the rectangle's middle.
    const TXYZ middle = drawer_->ScreenToGround(200, 150);
    Drag(controls_->SelectAreaMode, {{100, 100}, {300, 200}});
    EXPECT_FLOAT_EQ(drawer_->GetScale(), 0.4f);
    EXPECT_NEAR(drawer_->GetCenter().x, middle.x, 1e-4);
    EXPECT_NEAR(drawer_->GetCenter().y, middle.y, 1e-4);
}

TEST_F(PlanControls, ContinuousZoomAndTurning) {
    SetView(0, 0, 0.1f, 0);
    // Starting within a tenth of the width of the centre does nothing.
    Drag(controls_->ZoomMode, {{430, 300}, {700, 300}});
    EXPECT_FLOAT_EQ(drawer_->GetScale(), 0.1f);
    // From 200 to 300 pixels away from the centre: 1.5 times, with any button.
    Drag(controls_->ZoomMode, {{600, 300}, {700, 300}}, Qt::RightButton);
    EXPECT_FLOAT_EQ(drawer_->GetScale(), 0.15f);
    // A quarter turn of the pointer about the centre turns the view by a quarter.
    Drag(controls_->RotateMode, {{600, 300}, {400, 100}});
    EXPECT_NEAR(std::remainder(drawer_->GetAngle() - Pi / 2, 2 * Pi), 0, 1e-5);
}

} // namespace
