// The real main window on a display (Xvfb under `make test`), driven like a user drives it: the program
// starts with a street file, the plan is fitted and drawn, the wheel, the keys and the mouse move the view,
// F4 goes to the video view and back, F2 saves, and closing asks about unsaved streets.
#include "e2e/E2ESupport.h"
#include "engine/Reg_Shell.h"
#include "model/AbstractItem.h"
#include "model/ItemList.h"
#include "model/StreetStructure.h"
#include "platform/settings/SettingsStore.h"
#include "shell/DrawBox.h"
#include "shell/MainForm.h"
#include "shell/MainPlanCtrl.h"
#include "shell/ScriptedPrompts.h"
#include "shell/StartUp.h"
#include "shell/StreetPlanApplication.h"
#include "shell/StreetsHolder.h"
#include "shell/SyncForm.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QLocalSocket>
#include <QTest>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <functional>
#include <stdexcept>

namespace {

using namespace e2etest;

// A road way 60 x 12 with a sidewalk on each side; with an axis, a curb along the middle of the road way is
// the street's main axis.
void WriteFixtureStreet(const std::string &fileName, bool withAxis = false) {
    TStreetStructure street;
    MakeItem(street, RoadWayTypeCode, {{100, 50, 0}, {160, 50, 0}, {160, 62, 0}, {100, 62, 0}});
    MakeItem(street, TrotuarTypeCode, {{100, 62, 0}, {160, 62, 0}, {160, 66, 0}, {100, 66, 0}});
    MakeItem(street, TrotuarTypeCode, {{100, 46, 0}, {160, 46, 0}, {160, 50, 0}, {100, 50, 0}});
    if (withAxis)
        street.SetMainAxis(MakeItem(street, BortTypeCode, {{100, 56, 0}, {130, 56, 0}, {160, 56, 0}}));
    street.SaveToFile(fileName);
}

QStringList FilesIn(const std::filesystem::path &dir) {
    return QDir(QString::fromStdString(dir.string())).entryList(QDir::Files | QDir::Hidden);
}

class MainWindowE2E : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        street_ = dir_.File("Fixture.zrv");
        WriteFixtureStreet(street_);
    }

    // Waits for the next picture of the view.
    static bool Drawn(TMainForm &form) {
        return WaitUntil([&] { return !form.NeedRedraw(); });
    }

    std::string street_;
};

TEST_F(MainWindowE2E, StartsWithTheStreetFittedNavigatesSavesAndAsksBeforeClosing) {
    TStartUp startUp;
    TMainForm &form = startUp.MainForm();
    auto *drawBox = form.findChild<TDrawBox *>(QStringLiteral("DrawBox"));
    auto *saveStreet = form.findChild<QAction *>(QStringLiteral("SaveStreet"));
    ASSERT_TRUE(drawBox != nullptr && saveStreet != nullptr);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    startUp.ProcessCommandLine({QString::fromStdString(street_)});
    ASSERT_TRUE(WaitUntil([&] { return form.Renderer() != nullptr; })) << "the view got no renderer";
    ASSERT_TRUE(Drawn(form));
    ASSERT_EQ(form.Holder().Count(), 1);
    EXPECT_EQ(form.Holder().ActiveIndex(), 0);
    TStreetStructure &street = form.CurrentStreet();
    TMainPlanDrawer &plan = form.MainPlanDrawer();
    TdxRenderer &r = *form.Renderer();
    const int w = r.Width(), h = r.Height();
    ASSERT_GT(w, 100);
    ASSERT_GT(h, 100);

    // Fitted: the centre is the middle of the street, which fits the view's width and height.
    EXPECT_FLOAT_EQ(plan.GetCenter().x, 130);
    EXPECT_FLOAT_EQ(plan.GetCenter().y, 56);
    EXPECT_FLOAT_EQ(plan.GetAngle(), 0);
    EXPECT_FLOAT_EQ(plan.GetScale(), static_cast<float>(std::min(1.0 / 61, double(h) / w / 21)));

    // The road way is drawn where its points project; far outside the street the view is white.
    const TXYZ edge = plan.GroundToScreen({130, 50, 0});
    const TPicture fitted = Picture(form);
    EXPECT_FALSE(fitted.WhiteAround(static_cast<int>(edge.x), static_cast<int>(edge.y), 1))
        << "nothing drawn at the road way's edge, pixel " << edge.x << ", " << edge.y;
    // Inside, away from its edges and the curb along its middle, the road way shows its grey fill.
    const TXYZ fill = plan.GroundToScreen({115, 53, 0});
    EXPECT_EQ(fitted.At(static_cast<int>(fill.x), static_cast<int>(fill.y)), 0xEBEBEBu)
        << "no road way fill at pixel " << fill.x << ", " << fill.y;
    const TXYZ inside = plan.GroundToScreen({130, 56, 0});
    EXPECT_TRUE(fitted.WhiteAround(5, 5, 2));
    EXPECT_LT(inside.y, edge.y); // y up on the plan is up on the screen

    // One wheel notch over the middle of the view zooms about the pointer.
    const QPoint pointer(w / 2 + 40, h / 2 - 30);
    const TXYZ before = plan.ScreenToGround(pointer.x(), pointer.y());
    const float scale = plan.GetScale();
    {
        QWheelEvent wheel(QPointF(pointer), QPointF(drawBox->mapToGlobal(pointer)), QPoint(), QPoint(0, -120),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(drawBox, &wheel);
    }
    EXPECT_NEAR(plan.GetScale(), scale * 1.21f, scale * 1e-4);
    const TXYZ after = plan.ScreenToGround(pointer.x(), pointer.y());
    const double pixel = 1 / plan.PixelsPerUnit();
    EXPECT_NEAR(after.x, before.x, pixel);
    EXPECT_NEAR(after.y, before.y, pixel);
    ASSERT_TRUE(Drawn(form));

    // The arrow keys pan by 100 pixels: what was 100 pixels to the left is now in the middle.
    const TXYZ left = plan.ScreenToGround(w / 2 - 100, h / 2);
    QTest::keyClick(drawBox, Qt::Key_Left);
    const TXYZ middle = plan.ScreenToGround(w / 2, h / 2);
    EXPECT_NEAR(middle.x, left.x, pixel);
    EXPECT_NEAR(middle.y, left.y, pixel);
    const TXYZ below = plan.ScreenToGround(w / 2, h / 2 + 100);
    QTest::keyClick(drawBox, Qt::Key_Down);
    EXPECT_NEAR(plan.GetCenter().x, below.x, pixel);
    EXPECT_NEAR(plan.GetCenter().y, below.y, pixel);

    // F4 shows the video view, F4 again the plan.
    QTest::keyClick(drawBox, Qt::Key_F4);
    EXPECT_FALSE(form.PlanShown());
    ASSERT_TRUE(Drawn(form));
    QTest::keyClick(drawBox, Qt::Key_F4);
    EXPECT_TRUE(form.PlanShown());
    ASSERT_TRUE(Drawn(form));

    // Holding Q drags the plan and letting it go restores the mode before (continuous zoom here).
    TMainPlanControls &controls = startUp.PlanControls();
    QTest::keyClick(drawBox, Qt::Key_F7);
    ASSERT_EQ(form.MouseMode(), controls.ZoomMode);
    QTest::keyPress(drawBox, Qt::Key_Q);
    EXPECT_EQ(form.MouseMode(), controls.ShiftViewMode);
    const QPoint from(w / 2 - 50, h / 2 + 20), to(w / 2 + 70, h / 2 - 40);
    const TXYZ grabbed = plan.ScreenToGround(from.x(), from.y());
    QTest::mousePress(drawBox, Qt::LeftButton, Qt::NoModifier, from);
    QTest::mouseMove(drawBox, QPoint((from.x() + to.x()) / 2, (from.y() + to.y()) / 2));
    QTest::mouseMove(drawBox, to);
    QTest::mouseRelease(drawBox, Qt::LeftButton, Qt::NoModifier, to);
    const TXYZ held = plan.ScreenToGround(to.x(), to.y());
    EXPECT_NEAR(held.x, grabbed.x, pixel);
    EXPECT_NEAR(held.y, grabbed.y, pixel);
    QTest::keyRelease(drawBox, Qt::Key_Q);
    EXPECT_EQ(form.MouseMode(), controls.ZoomMode);
    ASSERT_TRUE(Drawn(form));

    // A look at the window, for people.
    const QString shot = BuildFile("e2e-main-window.png");
    EXPECT_TRUE(form.grab().save(shot)) << shot.toStdString();

    // A vertex changes through the model; F2 writes the street through a temporary file.
    TAbstractItem *roadWay = street.Lists(RoadWayTypeCode).Items(0);
    roadWay->Points.SetPoint(1, {161.5f, 49.25f, 0});
    ASSERT_TRUE(street.Modified());
    form.RefreshAll();
    EXPECT_TRUE(saveStreet->isEnabled());
    QTest::keyClick(drawBox, Qt::Key_F2);
    EXPECT_FALSE(street.Modified());
    EXPECT_EQ(sptest::ReadFileBytes(street_), SaveBytes(street));
    EXPECT_EQ(FilesIn(dir_.Path()), QStringList({"Fixture.zrv"})) << "a temporary file was left behind";
    const std::vector<uint8_t> saved = sptest::ReadFileBytes(street_);

    // Closing with a change asks; Cancel keeps the window and the program, No closes without saving.
    roadWay->Points.SetPoint(2, {163, 63, 0});
    form.RefreshAll();
    prompts_.Answer(TPromptAnswer::Cancel);
    EXPECT_FALSE(form.close());
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(form.Holder().Count(), 1);
    prompts_.Answer(TPromptAnswer::No);
    EXPECT_TRUE(form.close());
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.Holder().Count(), 0);
    EXPECT_EQ(sptest::ReadFileBytes(street_), saved);
    EXPECT_EQ(prompts_.Log().count("ask: Есть несохраненные улицы. Сохранять?"), 2)
        << prompts_.Log().join("\n").toStdString();
    EXPECT_TRUE(prompts_.Done()) << prompts_.Unexpected().join("\n").toStdString();
}

// The view follows and leads another program through the hub while the plan is shown; files on the command
// line that cannot be read are reported and the others open; keys typed into a text input stay there.
TEST_F(MainWindowE2E, FollowsAndLeadsTheViewThroughTheHubAndLeavesKeysToTextInputs) {
    const QString socket = QString::fromStdString(dir_.File("hub"));
    setenv("STREETPLAN_SYNC_SOCKET", socket.toLocal8Bit().constData(), 1);
    shelltest::HubProcess hub(socket);
    ASSERT_TRUE(hub.Started()) << shelltest::SyncHubProgram();
    const std::string axisStreet = dir_.File("Axis.zrv"), bad = dir_.File("bad.zrv");
    WriteFixtureStreet(axisStreet, true);
    sptest::WriteFileBytes(bad, {'n', 'o', 'p', 'e'});
    // A kind of file whose opener fails: its error is shown and the files after it still open.
    const std::string failing = dir_.File("survey.e2efail");
    sptest::WriteFileBytes(failing, {0});
    RegisterCommandLineOpener(QStringLiteral(".E2EFAIL"), [](TMainForm &, const QString &name) {
        throw std::runtime_error("cannot open " + name.toStdString());
    });

    TStartUp startUp;
    TMainForm &form = startUp.MainForm();
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    startUp.ProcessCommandLine({QString::fromStdString(dir_.File("missing.zrv")), QString::fromStdString(bad),
                                QString::fromStdString(street_), QString::fromStdString(failing),
                                QString::fromStdString(axisStreet)});
    ASSERT_EQ(prompts_.Messages().size(), 2);
    EXPECT_TRUE(
        prompts_.Messages()[0].startsWith("Не удалось открыть файл \"" + QString::fromStdString(bad)));
    EXPECT_EQ(prompts_.Messages()[1], QString::fromStdString("cannot open " + failing));
    ASSERT_EQ(form.Holder().Count(), 2);
    EXPECT_EQ(form.Holder().ActiveFileName(), QString::fromStdString(axisStreet))
        << "the last file opened is active";
    ASSERT_TRUE(WaitUntil([&] { return form.Renderer() != nullptr; }));
    TMainPlanDrawer &plan = form.MainPlanDrawer();
    auto *drawBox = form.findChild<TDrawBox *>(QStringLiteral("DrawBox"));
    ASSERT_NE(drawBox, nullptr);

    shelltest::SyncPeer peer(socket);
    ASSERT_TRUE(
        WaitUntil([&] { return peer.client.IsConnected() && startUp.SyncForm().Client().IsConnected(); }));

    // The window leads: a plan drawn while it is active goes to the peer.
    form.RefreshAll();
    ASSERT_TRUE(WaitUntil([&] { return !peer.views.empty(); })) << "no view came from the window";
    const TStreetView drawn = form.CurrentStreet().View();
    EXPECT_EQ(peer.views.back(), (TSyncView{drawn.X, drawn.Y, drawn.Z, drawn.Scale, drawn.Angle}));

    // The peer leads; a scale beyond the range is held in it.
    ASSERT_TRUE(peer.client.SendViewSync({10, 20, 0, 0.5f, 0.25f}));
    ASSERT_TRUE(WaitUntil([&] { return plan.GetCenter().x == 10; }));
    EXPECT_EQ(plan.GetCenter().y, 20);
    EXPECT_EQ(plan.GetScale(), 0.5f);
    EXPECT_EQ(plan.GetAngle(), 0.25f);
    ASSERT_TRUE(peer.client.SendViewSync({11, 20, 0, 1e30f, 0.25f}));
    ASSERT_TRUE(WaitUntil([&] { return plan.GetCenter().x == 11; }));
    EXPECT_EQ(plan.GetScale(), MaxViewScale);
    ASSERT_TRUE(peer.client.SendViewSync({12, 20, 0, 0.05f, 0.25f}));
    ASSERT_TRUE(WaitUntil([&] { return plan.GetCenter().x == 12; }));

    // Views that come while the video is shown are dropped, for good; back on the plan, views apply again.
    // The window has handled a view once the client has passed it on (its own handler comes first).
    int viewsReceived = 0;
    const QMetaObject::Connection counting =
        QObject::connect(&startUp.SyncForm().Client(), &TViewSyncClient::ViewReceived,
                         [&](const TSyncView &) { ++viewsReceived; });
    QTest::keyClick(drawBox, Qt::Key_F4);
    ASSERT_FALSE(form.PlanShown());
    ASSERT_TRUE(peer.client.SendViewSync({30, 40, 0, 0.5f, 0}));
    ASSERT_TRUE(WaitUntil([&] { return viewsReceived == 1; })) << "the view sent over the video never came";
    EXPECT_EQ(plan.GetCenter().x, 12);
    QTest::keyClick(drawBox, Qt::Key_F4);
    ASSERT_TRUE(form.PlanShown());
    EXPECT_EQ(plan.GetCenter().x, 12);
    ASSERT_TRUE(peer.client.SendViewSync({13, 20, 0, 0.05f, 0.25f}));
    ASSERT_TRUE(WaitUntil([&] { return plan.GetCenter().x == 13; }));
    EXPECT_EQ(viewsReceived, 2);
    QObject::disconnect(counting);

    // Axis positions centre the view on the main axis, held to the axis's ends.
    QLocalSocket raw;
    raw.connectToServer(socket);
    ASSERT_TRUE(raw.waitForConnected(5000));
    const auto sendAxis = [&](float distance) {
        const std::vector<uint8_t> frame = EncodeAxisFrame(distance);
        raw.write(reinterpret_cast<const char *>(frame.data()), static_cast<qint64>(frame.size()));
        raw.flush();
    };
    struct TAxisCase {
        float Distance, X;
    };
    for (const TAxisCase &c : {TAxisCase{45, 145}, TAxisCase{1e6f, 160}, TAxisCase{-5, 100}}) {
        sendAxis(c.Distance);
        ASSERT_TRUE(WaitUntil([&] { return std::fabs(plan.GetCenter().x - c.X) < 1e-3; })) << c.Distance;
        EXPECT_NEAR(plan.GetCenter().y, 56, 1e-3);
        EXPECT_NEAR(plan.GetAngle(), 0, 1e-6);
    }

    // Keys typed into a text input of the window stay there; the plan takes them again afterwards.
    QWidget *guest = form.findChild<QWidget *>(QStringLiteral("GuestPanelTop"));
    ASSERT_NE(guest, nullptr);
    auto *edit = new QLineEdit(QStringLiteral("abc"), guest);
    guest->show();
    edit->show();
    edit->setFocus();
    ASSERT_TRUE(WaitUntil([&] { return edit->hasFocus(); }));
    const TXYZ centre = plan.GetCenter();
    QTest::keyClick(edit, Qt::Key_Left);
    QTest::keyClick(edit, Qt::Key_Q);
    EXPECT_EQ(plan.GetCenter(), centre);
    EXPECT_EQ(edit->text(), "abqc");
    EXPECT_EQ(form.MouseMode(), nullptr);
    drawBox->setFocus();
    ASSERT_TRUE(WaitUntil([&] { return drawBox->hasFocus(); }));
    QTest::keyClick(drawBox, Qt::Key_Left);
    EXPECT_NE(plan.GetCenter(), centre);

    EXPECT_TRUE(form.close()) << "nothing changed in the streets";
    EXPECT_TRUE(prompts_.Done()) << prompts_.Unexpected().join("\n").toStdString();
}

// An object whose handler of the test's own event fails, as a handler of the program fails on a fault.
class TFailingHandler : public QObject {
public:
    static constexpr QEvent::Type Failing = QEvent::User;
    int Calls = 0;

    bool event(QEvent *e) override {
        if (e->type() != Failing)
            return QObject::event(e);
        ++Calls;
        throw std::runtime_error("TFailingHandler.Event: the test's failure " + std::to_string(Calls));
    }
};

// What a handler throws, from an event sent to it or from the message loop, is shown with its text; the
// window keeps working and the next failure is shown too.
TEST_F(MainWindowE2E, AnExceptionFromAnEventHandlerIsShownAndTheProgramGoesOn) {
    ASSERT_NE(qobject_cast<TStreetPlanApplication *>(QCoreApplication::instance()), nullptr)
        << "the tests run on a plain application object";
    TStartUp startUp;
    TMainForm &form = startUp.MainForm();
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    startUp.ProcessCommandLine({QString::fromStdString(street_)});
    auto *drawBox = form.findChild<TDrawBox *>(QStringLiteral("DrawBox"));
    ASSERT_NE(drawBox, nullptr);
    TFailingHandler handler;

    QEvent sent(TFailingHandler::Failing);
    EXPECT_FALSE(QCoreApplication::sendEvent(&handler, &sent));
    ASSERT_EQ(prompts_.Messages(), QStringList{"TFailingHandler.Event: the test's failure 1"});
    QCoreApplication::postEvent(&handler, new QEvent(TFailingHandler::Failing));
    ASSERT_TRUE(WaitUntil([&] { return prompts_.Messages().size() == 2; }));
    EXPECT_EQ(prompts_.Messages().back(), "TFailingHandler.Event: the test's failure 2");

    // The window still answers the keys, and the handler fails and says so again.
    ASSERT_TRUE(form.PlanShown());
    QTest::keyClick(drawBox, Qt::Key_F4);
    EXPECT_FALSE(form.PlanShown());
    QTest::keyClick(drawBox, Qt::Key_F4);
    EXPECT_TRUE(form.PlanShown());
    QCoreApplication::postEvent(&handler, new QEvent(TFailingHandler::Failing));
    ASSERT_TRUE(WaitUntil([&] { return prompts_.Messages().size() == 3; }));
    EXPECT_EQ(handler.Calls, 3);
    EXPECT_TRUE(form.close());
    EXPECT_TRUE(prompts_.Done()) << prompts_.Unexpected().join("\n").toStdString();
}

// The sample street that `make run` opens reads without a message and draws.
TEST_F(MainWindowE2E, TheSampleStreetOpensAndDraws) {
    const QString sample = QString::fromStdString((sptest::SourceDir() / "examples" / "Street.zrv").string());
    ASSERT_TRUE(QFileInfo(sample).isFile()) << sample.toStdString();
    TStartUp startUp;
    TMainForm &form = startUp.MainForm();
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    startUp.ProcessCommandLine({sample});
    ASSERT_EQ(form.Holder().Count(), 1);
    ASSERT_TRUE(WaitUntil([&] { return form.Renderer() != nullptr; }));
    ASSERT_TRUE(Drawn(form));
    const TPicture picture = Picture(form);
    int drawn = 0;
    for (int y = 0; y < picture.Height; y += 4)
        for (int x = 0; x < picture.Width; x += 4)
            drawn += picture.At(x, y) != 0xFFFFFFu ? 1 : 0;
    EXPECT_GT(drawn, 100) << "the sample street draws next to nothing";
    const QString shot = BuildFile("e2e-sample-street.png");
    EXPECT_TRUE(form.grab().save(shot)) << shot.toStdString();
    EXPECT_TRUE(prompts_.Log().isEmpty()) << prompts_.Log().join("\n").toStdString();
}

} // namespace
