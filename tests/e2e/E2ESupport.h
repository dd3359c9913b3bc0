#pragma once
// What the end-to-end tests of the real window share: settings and a view-sync socket of the test's own
// (a hub of the user's must not steer the window under test), scripted prompts, the fixture streets, and
// waiting for the window without fixed sleeps.
#include "engine/DxRenderer.h"
#include "engine/Reg_Shell.h"
#include "model/AbstractItem.h"
#include "model/ItemList.h"
#include "model/ItemTypeCodes.h"
#include "model/StreetStructure.h"
#include "platform/settings/SettingsStore.h"
#include "shell/InfoGrid.h"
#include "shell/MainForm.h"
#include "shell/MainPlan.h"
#include "shell/ScriptedPrompts.h"
#include "shell/ShellTestSupport.h"
#include "shell/StartUp.h"
#include "support/StreetBuild.h"
#include "support/TestSupport.h"

#include <QCursor>
#include <QPoint>
#include <QSplitter>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

namespace e2etest {

// A window under Xvfb and the sanitizers takes its time.
inline bool WaitUntil(const std::function<bool()> &condition, int timeoutMs = 10000) {
    return shelltest::WaitUntil(condition, timeoutMs);
}

using sptest::MakeItem;
using sptest::SaveBytes;

// Shows the window, opens the street as the command line would and waits for its first picture.
inline bool OpenStreetInWindow(TStartUp &startUp, const std::string &file) {
    TMainForm &form = startUp.MainForm();
    form.show();
    if (!QTest::qWaitForWindowExposed(&form))
        return false;
    startUp.ProcessCommandLine({QString::fromStdString(file)});
    return WaitUntil([&] { return form.Renderer() != nullptr && !form.NeedRedraw(); });
}

// A road way 60 x 12 and a curb on its right edge, sharing the edge's two vertices.
inline void WriteSharedEdgeStreet(const std::string &fileName) {
    TStreetStructure street;
    TAbstractItem *road =
        MakeItem(street, RoadWayTypeCode, {{100, 50, 0}, {160, 50, 0}, {160, 62, 0}, {100, 62, 0}});
    sptest::MakeItemOn(street, BortTypeCode, {road->Points.PointRec(1), road->Points.PointRec(2)});
    street.SaveToFile(fileName);
}

// The info grid's cell of the line "<caption> = ...", or nullptr; `index` takes its place in the grid.
inline const TInfoGrid::TCell *InfoCell(TMainForm &form, const QString &caption, QModelIndex *index = nullptr) {
    const TInfoGrid &grid = *form.findChild<TInfoGrid *>(QStringLiteral("InfoGrid"));
    const QString head = caption + QStringLiteral(" = ");
    for (int r = 0; r < grid.rowCount(); ++r)
        for (int c = 0; c < grid.columnCount(); ++c)
            if (const TInfoGrid::TCell *cell = grid.Cell(r, c); cell && cell->Text.startsWith(head)) {
                if (index)
                    *index = grid.model()->index(r, c);
                return cell;
            }
    return nullptr;
}

// The value of the info line "<caption> = <value>"; empty when no such line is shown.
inline QString InfoValue(TMainForm &form, const QString &caption) {
    const TInfoGrid::TCell *cell = InfoCell(form, caption);
    return cell ? cell->Text.mid(caption.size() + 3) : QString();
}

// A left click on the info line, as the user makes it: the info panel dragged open when the line lies
// below its edge, and the pointer over the grid (which answers clicks only then). False when the line is
// not shown.
inline bool ClickInfoLine(TMainForm &form, const QString &caption) {
    QModelIndex index;
    if (!InfoCell(form, caption, &index))
        return false;
    auto *grid = form.findChild<TInfoGrid *>(QStringLiteral("InfoGrid"));
    if (!grid->viewport()->rect().contains(grid->visualRect(index))) {
        auto *splitter = form.findChild<QSplitter *>(QStringLiteral("InfoSplitter"));
        const int total = splitter->height(), info = std::min(total / 2, 8 * TInfoGrid::RowHeight);
        splitter->setSizes({total - info, info});
        if (!WaitUntil([&] { return grid->viewport()->rect().contains(grid->visualRect(index)); }))
            return false;
    }
    const QPoint at = grid->visualRect(index).center();
    QCursor::setPos(grid->viewport()->mapToGlobal(at));
    if (!WaitUntil([&] { return grid->isEnabled(); }))
        return false;
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    return true;
}

// The window pixel where a plan point shows.
inline QPoint PlanPixel(TMainForm &form, const TXYZ &ground) {
    const TXYZ p = form.MainPlanDrawer().GroundToScreen(ground);
    return {int(std::lround(p.x)), int(std::lround(p.y))};
}

// Shows `metres` of the plan across the view's width about the plan point and waits for that picture: thin
// strokes of the fitted view become wide enough to tell one side of a line from the other.
inline bool ShowAround(TMainForm &form, float x, float y, double metres) {
    TMainPlanDrawer &plan = form.MainPlanDrawer();
    if (!plan.SetCenter({x, y, 0}) || !plan.SetScale(2 / metres))
        return false;
    form.RefreshAll();
    return WaitUntil([&] { return !form.NeedRedraw(); });
}

// The whole street again, as when it was opened.
inline bool ShowWholeStreet(TMainForm &form) {
    form.MainPlanDrawer().ShowAll();
    form.RefreshAll();
    return WaitUntil([&] { return !form.NeedRedraw(); });
}

// The view's last picture as the device holds it (rows of B, G, R, A).
struct TPicture {
    int Width = 0, Height = 0;
    std::vector<uint8_t> Rows;
    // 0xRRGGBB; white outside the picture.
    uint32_t At(int x, int y) const {
        if (x < 0 || y < 0 || x >= Width || y >= Height)
            return 0xFFFFFF;
        const uint8_t *p = &Rows[(static_cast<std::size_t>(y) * Width + static_cast<std::size_t>(x)) * 4];
        return static_cast<uint32_t>(p[0] | p[1] << 8 | p[2] << 16);
    }
    uint32_t At(QPoint p) const { return At(p.x(), p.y()); }
    bool WhiteAround(int x, int y, int radius) const {
        for (int dy = -radius; dy <= radius; ++dy)
            for (int dx = -radius; dx <= radius; ++dx)
                if (At(x + dx, y + dy) != 0xFFFFFFu)
                    return false;
        return true;
    }
};

inline TPicture Picture(TMainForm &form) {
    TdxRenderer &r = *form.Renderer();
    TPicture p{r.Width(), r.Height(), std::vector<uint8_t>(static_cast<std::size_t>(r.Width()) * r.Height() * 4)};
    r.Device().GetRenderTargetData(p.Rows.data(), r.Width() * 4);
    return p;
}

// The colour of the view's last picture at a plan point, as 0xRRGGBB.
inline uint32_t PlanColour(TMainForm &form, const TXYZ &ground) {
    return Picture(form).At(PlanPixel(form, ground));
}

// The picture looked at by plan positions: At(x, y) takes metres, At(QPoint) a pixel.
class TPlanPicture : public TPicture {
public:
    explicit TPlanPicture(TMainForm &form) : TPicture(Picture(form)), form_(form) {}
    QPoint Pixel(float x, float y) const { return PlanPixel(form_, {x, y, 0}); }
    uint32_t At(QPoint p) const { return TPicture::At(p); }
    uint32_t At(float x, float y) const { return At(Pixel(x, y)); }
    // Some pixel within `reach` pixels of the plan position has the colour (thin strokes at a fitted zoom).
    bool Near(float x, float y, uint32_t rgb, int reach = 2) const {
        const QPoint c = Pixel(x, y);
        for (int dy = -reach; dy <= reach; ++dy)
            for (int dx = -reach; dx <= reach; ++dx)
                if (At(c + QPoint(dx, dy)) == rgb)
                    return true;
        return false;
    }

private:
    TMainForm &form_;
};

class WindowTest : public testing::Test {
protected:
    void SetUp() override {
        SetSettingsDir(QString::fromStdString(settings_.File("settings")));
        FreeAppRegistry();
        setenv("STREETPLAN_SYNC_SOCKET", dir_.File("no-hub").c_str(), 1);
    }
    void TearDown() override {
        FreeAppRegistry();
        SetSettingsDir(QString());
        unsetenv("STREETPLAN_SYNC_SOCKET");
    }

    // A file of the build folder, where screenshots are kept.
    static QString BuildFile(const char *name) {
        return QString::fromLocal8Bit(std::getenv("STREETPLAN_BINARY")) + QLatin1Char('/') +
               QLatin1String(name);
    }

    sptest::TempDir dir_, settings_;
    TScriptedPrompts prompts_;
    TUserPromptsGuard guard_{prompts_};
};

// The road way and curb of WriteSharedEdgeStreet in a file of the test's own.
class SharedEdgeWindowTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        street_ = dir_.File("Shared.zrv");
        WriteSharedEdgeStreet(street_);
    }

    bool OpenInWindow(TStartUp &startUp) const { return OpenStreetInWindow(startUp, street_); }

    std::string street_;
};

} // namespace e2etest
