#pragma once
// What the end-to-end tests of the real window share: settings and a view-sync socket of the test's own
// (a hub of the user's must not steer the window under test), scripted prompts, the fixture streets, and
// waiting for the window without fixed sleeps.
#include "engine/Reg_Shell.h"
#include "model/AbstractItem.h"
#include "model/ItemList.h"
#include "model/ItemTypeCodes.h"
#include "model/StreetStructure.h"
#include "platform/settings/SettingsStore.h"
#include "shell/InfoGrid.h"
#include "shell/MainForm.h"
#include "shell/ScriptedPrompts.h"
#include "shell/ShellTestSupport.h"
#include "shell/StartUp.h"
#include "support/StreetBuild.h"
#include "support/TestSupport.h"

#include <QTest>

#include <gtest/gtest.h>

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

// The value of the info line with the caption ("" when it is not shown).
inline QString InfoValue(TMainForm &form, const QString &caption) {
    const TInfoGrid &grid = *form.findChild<TInfoGrid *>(QStringLiteral("InfoGrid"));
    const QString head = caption + QStringLiteral(" = ");
    for (int r = 0; r < grid.rowCount(); ++r)
        for (int c = 0; c < grid.columnCount(); ++c)
            if (const TInfoGrid::TCell *cell = grid.Cell(r, c); cell && cell->Text.startsWith(head))
                return cell->Text.mid(head.size());
    return {};
}

using sptest::MakeItem;
using sptest::SaveBytes;

// A road way 60 x 12 and a curb on its right edge, sharing the edge's two vertices.
inline void WriteSharedEdgeStreet(const std::string &fileName) {
    TStreetStructure street;
    TAbstractItem *road =
        MakeItem(street, RoadWayTypeCode, {{100, 50, 0}, {160, 50, 0}, {160, 62, 0}, {100, 62, 0}});
    sptest::MakeItemOn(street, BortTypeCode, {road->Points.PointRec(1), road->Points.PointRec(2)});
    street.SaveToFile(fileName);
}

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

    // Shows the window, opens the street as the command line would and waits for its first picture.
    bool OpenInWindow(TStartUp &startUp) const {
        TMainForm &form = startUp.MainForm();
        form.show();
        if (!QTest::qWaitForWindowExposed(&form))
            return false;
        startUp.ProcessCommandLine({QString::fromStdString(street_)});
        return WaitUntil([&] { return form.Renderer() != nullptr && !form.NeedRedraw(); });
    }

    std::string street_;
};

} // namespace e2etest
