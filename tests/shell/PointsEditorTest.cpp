// The point editor module without a display: its actions' rules, its mouse modes driven by pixels (one
// pixel is 0.1 plan units here), its value boxes and info lines.
#include "shell/PointsEditor.h"
#include "ShellTestSupport.h"
#include "engine/NumText.h"
#include "platform/d3d9/RecordingDevice.h"
#include "shell/MakePolygonForm.h"
#include "shell/PointEditTestUtil.h"
#include "support/ProjCct.h"

#include <cmath>
#include <numbers>
#include <sstream>
#include <vector>

using namespace pointedit;

namespace {

constexpr double Pixel = 0.1;

class PointsEditor : public shelltest::ShellTest, public TStreetFixture {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        TPointsEditorHost host;
        host.Street = [this] { return &street; };
        host.Ground = [](int x, int y) { return TXYZ{float(x * Pixel), float(y * Pixel), 0}; };
        host.PixelSize = [](int, int) { return Pixel; };
        host.Refresh = [this] { ++refreshes; };
        host.MouseMode = [this] { return mode; };
        host.SetMouseMode = [this](TMouseEvents *m) { mode = m; };
        host.VisibleTypes = [] { return FullTypeSet(); };
        host.VideoActive = [this] { return video; };
        // The video view: rays from the eye through the ground point under the pixel.
        host.PixelRay = [this](int x, int y, TXYZ &nearPoint, TXYZ &farPoint) {
            nearPoint = eye;
            farPoint = {float(x * Pixel), float(y * Pixel), 0};
            return true;
        };
        host.DrawListeners = &draws;
        editor = std::make_unique<TPointsEditorModule>(host);
    }
    void TearDown() override {
        editor.reset();
        TMakePolygonForm::SetPrompt(nullptr);
        ShellTest::TearDown();
    }

    void Select(std::initializer_list<TAbstractItem *> items) {
        street.Selection().Clear();
        for (TAbstractItem *i : items)
            street.Selection().AddItem(i);
    }
    static TMouseEventArgs Press(Qt::MouseButton b, int x, int y, Qt::KeyboardModifiers m = Qt::NoModifier) {
        return {b, b, m, x, y};
    }
    static TMouseEventArgs Drag(Qt::MouseButtons held, int x, int y,
                                Qt::KeyboardModifiers m = Qt::NoModifier) {
        return {Qt::NoButton, held, m, x, y};
    }
    static TMouseEventArgs Release(Qt::MouseButton b, int x, int y) {
        return {b, Qt::NoButton, Qt::NoModifier, x, y};
    }

    TListenerList<const TDxDrawParams &> draws;
    std::unique_ptr<TPointsEditorModule> editor;
    TMouseEvents *mode = nullptr;
    int refreshes = 0;
    bool video = false;
    TXYZ eye{0, 0, 10};
};

TEST_F(PointsEditor, ActionsFollowTheEditedItem) {
    TAbstractItem *l = MakeItem(street, Line, {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}});
    TAbstractItem *l2 = MakeItemOn(street, Line, {l->Points.PointRec(2)});
    l2->Points.InsertNewPoint(1, {3, 0, 0});
    TAbstractItem *p = MakeItem(street, Point, {{9, 9, 0}});
    // Each case sets the whole state: the selection (its first item is the edited one), the edited item's
    // current vertex and whether the video view is shown.
    struct Case {
        const char *name;
        std::vector<TAbstractItem *> selected;
        int current;
        bool video;
        // Visible and enabled, in this order: EdgeLen, DropLine, StereoMove, LinkItems, DeletePoint, AddPoint
        std::array<std::pair<bool, bool>, 6> expected;
    };
    const Case cases[] = {
        {"nothing selected",
         {},
         -1,
         false,
         {{{false, false}, {false, false}, {false, false}, {false, false}, {false, false}, {false, false}}}},
        {"line at its first vertex",
         {l},
         0,
         false,
         {{{true, true}, {true, false}, {false, false}, {false, false}, {true, true}, {true, true}}}},
        {"line in the middle",
         {l},
         1,
         false,
         {{{true, true}, {true, true}, {false, false}, {false, false}, {true, true}, {true, true}}}},
        {"line in the middle, video shown",
         {l},
         1,
         true,
         {{{true, true}, {true, true}, {true, true}, {false, false}, {true, true}, {true, true}}}},
        {"two joinable lines",
         {l, l2},
         1,
         false,
         {{{true, true}, {false, false}, {false, false}, {true, true}, {true, true}, {true, true}}}},
        {"a point item: full, at its minimum, no edges",
         {p},
         0,
         false,
         {{{false, false}, {false, false}, {false, false}, {false, false}, {true, false}, {true, false}}}},
    };
    // Run forwards and backwards, so that no case borrows state from the one before it.
    std::vector<const Case *> order;
    for (const Case &c : cases)
        order.push_back(&c);
    for (auto it = std::rbegin(cases); it != std::rend(cases); ++it)
        order.push_back(&*it);
    for (const Case *c : order) {
        SCOPED_TRACE(c->name);
        street.Selection().Clear();
        for (TAbstractItem *i : {l, l2, p})
            i->Points.CurrentIndex = -1;
        for (TAbstractItem *i : c->selected)
            street.Selection().AddItem(i);
        if (!c->selected.empty())
            c->selected.front()->Points.CurrentIndex = c->current;
        video = c->video;
        TFloatingAction::UpdateAll();
        const TFloatingAction *actions[] = {editor->EdgeLen,   editor->DropLine,    editor->StereoMove,
                                            editor->LinkItems, editor->DeletePoint, editor->AddPoint};
        for (int i = 0; i < 6; ++i) {
            EXPECT_EQ(actions[i]->Visible(), c->expected[i].first) << actions[i]->objectName().toStdString();
            EXPECT_EQ(actions[i]->Enabled(), c->expected[i].second) << actions[i]->objectName().toStdString();
        }
    }
}

TEST_F(PointsEditor, AddModeAddsAtThePointerAndDragsThePoint) {
    TAbstractItem *l = street.Lists(Line).AddNew();
    Select({l});
    editor->AddPoint->Click();
    ASSERT_EQ(mode, editor->AddPointMode);
    mode->MouseDown(Press(Qt::LeftButton, 10, 20));
    mode->MouseMove(Drag(Qt::LeftButton, 15, 20));
    mode->MouseUp(Release(Qt::LeftButton, 15, 20));
    mode->MouseDown(Press(Qt::LeftButton, 50, 20));
    ASSERT_EQ(l->Points.Count(), 2);
    EXPECT_TRUE(VectorsEqual(l->Points.GetPoint(0), TXYZ{1.5f, 2, 0}));
    EXPECT_EQ(l->Points.CurrentIndex, 1);
    // The right button chooses the current vertex.
    mode->MouseDown(Press(Qt::RightButton, 16, 21));
    EXPECT_EQ(l->Points.CurrentIndex, 0);
    EXPECT_GT(refreshes, 0);
}

TEST_F(PointsEditor, ConnectSnapsWithinTenPixels) {
    struct Case {
        int dx;
        bool snaps;
    };
    for (const Case &c : {Case{9, true}, Case{11, false}}) {
        SCOPED_TRACE(c.dx);
        TStreetFixture f;
        editor.reset();
        TPointsEditorHost host;
        host.Street = [&f] { return &f.street; };
        host.Ground = [](int x, int y) { return TXYZ{float(x * Pixel), float(y * Pixel), 0}; };
        host.PixelSize = [](int, int) { return Pixel; };
        TPointsEditorModule e(host);
        TAbstractItem *l = MakeItem(f.street, Line, {{0, 0, 0}, {5, 0, 0}});
        TAbstractItem *other = MakeItem(f.street, Outline, {{2, 3, 0}, {4, 3, 0}, {4, 5, 0}});
        f.street.Selection().AddItem(l);
        l->Points.CurrentIndex = 0;
        e.ConnectPointMode->MouseDown(Press(Qt::LeftButton, 20 + c.dx, 30));
        EXPECT_EQ(l->Points.PointRec(0) == other->Points.PointRec(0), c.snaps);
        EXPECT_EQ(l->Points.Count(), 2);
    }
}

TEST_F(PointsEditor, ShiftConnectNeedsTheSetting) {
    TAbstractItem *l = MakeItem(street, Line, {{0, 0, 0}, {5, 0, 0}});
    TAbstractItem *other = MakeItem(street, Outline, {{2, 3, 0}, {4, 3, 0}, {4, 5, 0}});
    TAbstractItem *sharer = MakeItemOn(street, Line, {l->Points.PointRec(0)});
    sharer->Points.InsertNewPoint(1, {-1, -1, 0});
    Select({l});
    l->Points.CurrentIndex = 0;
    editor->ConnectPointMode->MouseDown(Press(Qt::LeftButton, 20, 30, Qt::ShiftModifier));
    EXPECT_EQ(prompts_.Messages(), QStringList{QStringLiteral(
                                       "Присоединение с \"Shift\" ом не разрешено (см. настройки разные)")});
    EXPECT_NE(l->Points.PointRec(0), other->Points.PointRec(0));
    // Allowed: the item sharing the vertex is re-linked too.
    editor->AllowSuperConnect = true;
    editor->ConnectPointMode->MouseDown(Press(Qt::LeftButton, 20, 30, Qt::ShiftModifier));
    EXPECT_EQ(l->Points.PointRec(0), other->Points.PointRec(0));
    EXPECT_EQ(sharer->Points.PointRec(0), other->Points.PointRec(0));
}

TEST_F(PointsEditor, CandidatesFollowThePointerInSteps) {
    MakeItem(street, Outline, {{2, 3, 0}, {4, 3, 0}, {40, 50, 0}});
    TAbstractItem *l = MakeItem(street, Line, {{0, 0, 0}, {1, 0, 0}});
    Select({l});
    editor->ConnectPointMode->MouseMove(Drag(Qt::NoButton, 21, 0));
    ASSERT_TRUE(editor->CandidatesStale());
    editor->UpdateConnectCandidates();
    // Within 200 pixels (20 units) of (2.1, 0): the square's two near corners and the line's vertices.
    EXPECT_EQ(editor->ConnectCandidates().size(), 4u);
    editor->ConnectPointMode->MouseMove(Drag(Qt::NoButton, 41, 20));
    EXPECT_FALSE(editor->CandidatesStale());
    editor->ConnectPointMode->MouseMove(Drag(Qt::NoButton, 42, 0));
    EXPECT_TRUE(editor->CandidatesStale());
}

TEST_F(PointsEditor, ValueBoxesConfirmedUnchangedChangeNothing) {
    // Values that two decimals would round.
    TAbstractItem *l = MakeItem(street, Line, {{0.1f, 0.7f, 0}, {3.3333333f, 1.1f, 0.123456f}, {5, 5, 0}});
    Select({l});
    l->Points.CurrentIndex = 1;
    struct Case {
        const char *name;
        std::function<std::string()> shown;
        std::function<void()> open;
    };
    const Case cases[] = {
        {"edge length", [&] { return SingleToStrRoundTrip(l->Points.EdgeLength(1)); },
         [&] { editor->EdgeLen->Click(); }},
        {"edge angle",
         [&] { return FloatToStrRoundTrip(double(l->Points.EdgeAngle(1)) * 180 / std::numbers::pi); },
         [&] { editor->EdgeAngle->Click(); }},
        {"coordinate x", [&] { return SingleToStrRoundTrip(l->Points.GetPoint(1).x); },
         [&] { editor->PntCoordInfoX->DoClick(); }},
        {"coordinate z", [&] { return SingleToStrRoundTrip(l->Points.GetPoint(1).z); },
         [&] { editor->PntCoordInfoZ->DoClick(); }},
        {"scale", [] { return FloatToStrRoundTrip(1.0); }, [&] { editor->Scale->Click(); }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const TXYZArray before = l->Points.GetPoints();
        const QString shown = QString::fromStdString(c.shown());
        street.ClearModified();
        prompts_.EnterText(shown);
        c.open();
        EXPECT_EQ(prompts_.LastEditDefault(), shown);
        EXPECT_FALSE(street.Modified());
        const TXYZArray after = l->Points.GetPoints();
        for (std::size_t i = 0; i < after.size(); ++i)
            EXPECT_TRUE(VectorsEqual(after[i], before[i])) << i;
    }
    EXPECT_TRUE(prompts_.Done());
    // A changed value does apply, and text that is no number changes nothing.
    prompts_.EnterText(QStringLiteral("2.5"));
    editor->EdgeLen->Click();
    EXPECT_NEAR(l->Points.EdgeLength(1), 2.5, 1e-5);
    const TXYZArray before = l->Points.GetPoints();
    prompts_.EnterText(QStringLiteral("abc"));
    editor->PntCoordInfoY->DoClick();
    EXPECT_EQ(prompts_.Messages().back(), QStringLiteral("Неверный формат числа."));
    EXPECT_TRUE(VectorsEqual(l->Points.GetPoint(1), before[1]));
}

TEST_F(PointsEditor, TransformsNeedACurrentVertex) {
    TAbstractItem *l = MakeItem(street, Line, {{0, 0, 0}, {1, 0, 0}});
    Select({l});
    l->Points.CurrentIndex = -1;
    editor->Scale->Click();
    editor->RotateAllMode->MouseDown(Press(Qt::LeftButton, 5, 5));
    EXPECT_EQ(prompts_.Messages(),
              (QStringList{QStringLiteral("Масштабировать можно только относительно выбранной точки."),
                           QStringLiteral("Вращение возможно только относительно выбранной точки")}));
}

TEST_F(PointsEditor, WholeSelectionMovesTurnsAndScales) {
    TAbstractItem *l = MakeItem(street, Line, {{0, 0, 0}, {1, 0, 0}});
    TAbstractItem *m = MakeItem(street, Line, {{0, 1, 0}, {1, 1, 0}});
    Select({l, m});
    l->Points.CurrentIndex = 0;
    // Move by (1, 2).
    editor->MoveAllMode->MouseDown(Press(Qt::LeftButton, 0, 0));
    editor->MoveAllMode->MouseMove(Drag(Qt::LeftButton, 10, 20));
    EXPECT_TRUE(VectorsEqual(m->Points.GetPoint(1), TXYZ{2, 3, 0}));
    // A quarter turn about l's vertex 0, now at (1, 2).
    editor->RotateAllMode->MouseDown(Press(Qt::LeftButton, 20, 20));
    editor->RotateAllMode->MouseMove(Drag(Qt::LeftButton, 10, 30));
    EXPECT_NEAR(l->Points.GetPoint(1).x, 1, 1e-5);
    EXPECT_NEAR(l->Points.GetPoint(1).y, 3, 1e-5);
    // Twice the size about the same vertex.
    prompts_.EnterText(QStringLiteral("2"));
    editor->Scale->Click();
    EXPECT_NEAR(l->Points.GetPoint(1).y, 4, 1e-5);
    EXPECT_NEAR(m->Points.GetPoint(0).x, -1, 1e-5);
}

TEST_F(PointsEditor, CtrlDeleteAsksAboutItemsItWouldEmpty) {
    TAbstractItem *s = MakeItem(street, Outline, {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}});
    TAbstractItem *curb = MakeItemOn(street, Line, {s->Points.PointRec(1), s->Points.PointRec(2)});
    const int32_t curbId = curb->ID();
    Select({s});
    s->Points.CurrentIndex = 1;
    prompts_.Answer(TPromptAnswer::Yes);
    editor->DeletePointMode->MouseDown(Press(Qt::LeftButton, 0, 0, Qt::ControlModifier));
    EXPECT_TRUE(prompts_.Done());
    EXPECT_EQ(s->Points.Count(), 3);
    EXPECT_EQ(street.Lists(Line).FindById(curbId), nullptr);
    EXPECT_EQ(CheckItemLimits(street), "");
}

TEST_F(PointsEditor, CuttingWithTheMouse) {
    TAbstractItem *s = MakeItem(street, Outline, {{0, 0, 0}, {2, 0, 0}, {2, 2, 0}, {0, 2, 0}});
    Select({s});
    editor->DropItems->Click();
    ASSERT_EQ(mode, editor->DropMode);
    mode->MouseDown(Press(Qt::LeftButton, 10, -10));
    mode->MouseMove(Drag(Qt::LeftButton, 10, 30));
    TXYZ a, b;
    ASSERT_TRUE(editor->CutLine(a, b));
    mode->MouseUp(Release(Qt::LeftButton, 10, 30));
    EXPECT_FALSE(editor->CutLine(a, b));
    EXPECT_EQ(street.Lists(Outline).Count(), 2);
    EXPECT_EQ(CheckItemLimits(street), "");
}

TEST_F(PointsEditor, StereoRaysPlaceTheCurrentVertex) {
    TAbstractItem *l = MakeItem(street, Line, {{0, 0, 0}, {1, 0, 0}});
    Select({l});
    l->Points.CurrentIndex = 1;
    video = true;
    editor->StereoMove->Click();
    ASSERT_EQ(mode, editor->StereoMode);
    EXPECT_TRUE(mode->CheckContext());
    // Two eyes looking at the ground point (3, 4) under pixel (30, 40).
    mode->MouseDown(Press(Qt::RightButton, 30, 40));
    mode->MouseUp(Release(Qt::RightButton, 30, 40));
    eye = {8, -2, 12};
    mode->MouseDown(Press(Qt::LeftButton, 30, 40));
    mode->MouseUp(Release(Qt::LeftButton, 30, 40));
    const TXYZ p = l->Points.GetPoint(1);
    EXPECT_NEAR(p.x, 3, 1e-4);
    EXPECT_NEAR(p.y, 4, 1e-4);
    EXPECT_EQ(p.z, 0);
    TXYZ n, f;
    EXPECT_TRUE(editor->StereoRay(1, n, f));
    video = false;
    EXPECT_FALSE(mode->CheckContext());
}

TEST_F(PointsEditor, RegularPolygonFromTheDialog) {
    TAbstractItem *l = MakeItem(street, Line, {{0, 0, 0}, {5, 0, 0}});
    Select({l});
    l->Points.CurrentIndex = 0;
    TMakePolygonForm::SetPrompt([](TRegularPolygonParams &p) {
        p = {4, 1.5, true, false};
        return true;
    });
    editor->MakePolygon->Click();
    EXPECT_EQ(street.Lists(Line).Count(), 3);
    EXPECT_EQ(street.Selection().Count(), 3);
    EXPECT_EQ(street.Selection().Items(0), l);
}

TEST_F(PointsEditor, DialogTicksRoundingAboveThreeVertices) {
    TMakePolygonForm form;
    const TRegularPolygonParams defaults = form.Params();
    EXPECT_EQ(defaults.Vertices, 8);
    EXPECT_EQ(defaults.Radius, 1.0);
    EXPECT_TRUE(defaults.CloseContour);
    EXPECT_TRUE(defaults.SplineContour);
    form.SetVertices(3);
    EXPECT_FALSE(form.Params().SplineContour);
    form.SetVertices(4);
    EXPECT_TRUE(form.Params().SplineContour);
    form.SetVertices(200);
    EXPECT_EQ(form.Params().Vertices, 99);
}

TEST_F(PointsEditor, InfoLines) {
    TAbstractItem *l = MakeItem(street, Line, {{0, 0, 0}, {3, 4, 0}, {3, 5, 0}});
    TAbstractItem *m = MakeItem(street, Line, {{0, 0, 1}, {0, 2, 1}});
    Select({l});
    l->Points.CurrentIndex = 0;
    EXPECT_TRUE(editor->EdgeLenInfo->IsValid());
    EXPECT_EQ(editor->EdgeLenInfo->GetInfo(), QStringLiteral(" 5.00"));
    EXPECT_EQ(editor->ContourLenInfo->GetInfo(), QStringLiteral(" 6.00"));
    EXPECT_FALSE(editor->AllLengthInfo->IsValid());
    EXPECT_EQ(editor->SelectedIndex->GetInfo(), QStringLiteral("0"));
    // No origin: no latitude.
    EXPECT_FALSE(editor->WGS84Lat->IsValid());
    Select({l, m});
    EXPECT_FALSE(editor->ContourLenInfo->IsValid());
    EXPECT_TRUE(editor->AllLengthInfo->IsValid());
    EXPECT_EQ(editor->AllLengthInfo->GetInfo(), QStringLiteral(" 8.00"));
}

TEST_F(PointsEditor, LatitudeAndLongitudeThroughTheStreetOrigin) {
    TAbstractItem *l = MakeItem(street, Line, {{0, 0, 0}, {1, 0, 0}});
    Select({l});
    l->Points.CurrentIndex = 0;
    // The origin on the equator at longitude 90 degrees east.
    TEcefMapRec origin;
    origin.Y = 6378137.0;
    street.SetEcefMap(origin);
    ASSERT_TRUE(editor->WGS84Lat->IsValid());
    EXPECT_NEAR(editor->WGS84Lat->GetInfo().toDouble(), 0, 1e-8);
    EXPECT_NEAR(editor->WGS84Lon->GetInfo().toDouble(), 90, 1e-8);
    EXPECT_EQ(editor->WGS84Lon->GetInfo().size(), QStringLiteral("90.00000000").size());
}

// Vertices kilometres from an origin at 55.75 N 37.6 E, at heights above and below it: their latitude and
// longitude as PROJ finds them. The plan's axes point east, north and up at the origin; a vertex's z is its
// height above the ellipsoid.
TEST_F(PointsEditor, LatitudeAndLongitudeOfVerticesAwayFromTheOriginAgreeWithProj) {
    constexpr double Deg = std::numbers::pi / 180;
    TXYZ_Dbl base;
    GeodeticToEcef(base.x, base.y, base.z, 55.75 * Deg, 37.6 * Deg, 150);
    TEcefMapRec origin;
    origin.X = base.x;
    origin.Y = base.y;
    origin.Z = base.z;
    street.SetEcefMap(origin);
    const std::vector<TXYZ> vertices = {{3000, -2000, 100}, {-15000, 8000, 40}, {250, 12000, 650}};
    TAbstractItem *l = MakeItem(street, Line, {vertices[0], vertices[1], vertices[2]});
    Select({l});

    // PROJ: from the plane's east-north-up (on a sphere, as the plan's axes are) to the ellipsoid's
    // longitude, latitude and height. The height along the plan's up differs from the vertex's z by the
    // Earth's curvature; a few steps correct the plan's z until the height is the vertex's.
    std::ostringstream op;
    op.precision(17);
    op << "+proj=pipeline +step +inv +proj=topocentric +R=6378137 +X_0=" << base.x << " +Y_0=" << base.y
       << " +Z_0=" << base.z << " +step +inv +proj=cart +ellps=WGS84";
    std::vector<TXYZ_Dbl> enu;
    for (const TXYZ &v : vertices)
        enu.push_back({v.x, v.y, v.z});
    std::vector<TXYZ_Dbl> geo;
    for (int step = 0; step < 4; ++step) {
        geo = sptest::RunCct(op.str(), enu);
        ASSERT_EQ(geo.size(), vertices.size());
        for (std::size_t i = 0; i < enu.size(); ++i)
            enu[i].z += vertices[i].z - geo[i].z;
    }

    for (std::size_t i = 0; i < vertices.size(); ++i) {
        SCOPED_TRACE("vertex " + std::to_string(i));
        ASSERT_NEAR(geo[i].z, vertices[i].z, 1e-4) << "the oracle's point is at the vertex's height";
        l->Points.CurrentIndex = static_cast<int>(i);
        ASSERT_TRUE(editor->WGS84Lat->IsValid());
        // Eight decimals of a degree: about a millimetre.
        EXPECT_NEAR(editor->WGS84Lat->GetInfo().toDouble(), geo[i].y, 1e-8);
        EXPECT_NEAR(editor->WGS84Lon->GetInfo().toDouble(), geo[i].x, 1e-8);
    }
}

TEST_F(PointsEditor, TurningAnOrientedItemTurnsEverySelectedOne) {
    TAbstractItem *o1 = MakeItem(street, Oriented, {{0, 0, 0}, {1, 0, 0}});
    TAbstractItem *o2 = MakeItem(street, Oriented, {{5, 5, 0}, {7, 5, 0}});
    Select({o1, o2});
    o1->Points.CurrentIndex = 0;
    // The pointer straight above vertex 0: a quarter turn, kept by both.
    editor->RotateEdgeMode->MouseMove(Drag(Qt::LeftButton, 0, 30));
    EXPECT_NEAR(o1->Points.GetPoint(1).x, 0, 1e-6);
    EXPECT_NEAR(o1->Points.GetPoint(1).y, 1, 1e-6);
    EXPECT_NEAR(o2->Points.GetPoint(1).x, 5, 1e-5);
    EXPECT_NEAR(o2->Points.GetPoint(1).y, 7, 1e-5);
}

TEST_F(PointsEditor, OverlayShowsHowManyItemsShareTheCurrentVertex) {
    // A recording device whose world units are window pixels.
    auto device = std::make_shared<TRecordingDevice>(200, 100);
    TDisplayRenderer renderer(device);
    TDxDrawParams params;
    params.Renderer = &renderer;
    renderer.BeginDraw();
    TDxMatrix m{};
    m.m[0][0] = 2.0f / 200;
    m.m[1][1] = -2.0f / 100;
    m.m[2][2] = 1;
    m.m[3][0] = -1;
    m.m[3][1] = 1;
    m.m[3][3] = 1;
    renderer.Projection().SetMatrix(m);
    // The vertex (40, 30) belongs to a road way, a sidewalk and a curb.
    TAbstractItem *road = MakeItem(street, Outline, {{40, 30, 0}, {80, 30, 0}, {80, 60, 0}});
    TStreetPointRec *shared = road->Points.PointRec(0);
    TAbstractItem *walk = MakeItemOn(street, Outline2, {shared});
    walk->Points.InsertNewPoint(1, {40, 10, 0});
    walk->Points.InsertNewPoint(2, {10, 10, 0});
    MakeItemOn(street, Line, {shared, road->Points.PointRec(1)});
    Select({road});
    road->Points.CurrentIndex = 0;
    device->ClearRecord();
    draws.Call(params);
    // Outlined squares are line lists; the corners at the upper left show their half-sizes.
    std::vector<float> halfSizes;
    for (const TRecordedDraw &d : device->Draws())
        if (d.Type == D3DPT_LINELIST)
            for (const TRecordedVertex &v : d.Vertices())
                if (v.X < 40 && 40 - v.X == 30 - v.Y && v.Color == 0xFFFF0000)
                    halfSizes.push_back(40 - v.X);
    std::sort(halfSizes.begin(), halfSizes.end());
    halfSizes.erase(std::unique(halfSizes.begin(), halfSizes.end()), halfSizes.end());
    EXPECT_EQ(halfSizes, (std::vector<float>{5, 8, 11}));
    // Without an edited item nothing is drawn.
    Select({});
    device->ClearRecord();
    draws.Call(params);
    EXPECT_TRUE(device->Draws().empty());
}

TEST_F(PointsEditor, TheLiveModuleIsReachable) {
    EXPECT_EQ(PointsEditorModule(), editor.get());
    editor.reset();
    EXPECT_EQ(PointsEditorModule(), nullptr);
}

TEST_F(PointsEditor, AModeGoneWithTheModuleLeavesNoModeBehind) {
    TAbstractItem *l = MakeItem(street, Line, {{0, 0, 0}, {1, 0, 0}});
    Select({l});
    editor->MovePoint->Click();
    ASSERT_EQ(mode, editor->MovePointMode);
    editor.reset();
    EXPECT_EQ(mode, nullptr);
}

} // namespace
