#pragma once
// Helpers of the shell tests: settings in a folder of the test's own, scripted prompts, and waiting for
// events without a fixed sleep.
#include "engine/Reg_Shell.h"
#include "platform/settings/SettingsStore.h"
#include "shell/ScriptedPrompts.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>

#include <gtest/gtest.h>

#include <functional>

namespace shelltest {

// Settings never reach the user's folder, and every question is answered from the script.
class ShellTest : public testing::Test {
protected:
    void SetUp() override {
        SetSettingsDir(QString::fromStdString(settingsDir_.Path().string()));
        FreeAppRegistry();
    }
    void TearDown() override {
        FreeAppRegistry();
        SetSettingsDir(QString());
    }

    sptest::TempDir settingsDir_;
    TScriptedPrompts prompts_;
    TUserPromptsGuard promptsGuard_{prompts_};
};

// Runs the event loop until the condition holds or the time is up; the result is the condition's.
inline bool WaitUntil(const std::function<bool()> &condition, int timeoutMs = 5000) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs)
            return condition();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

// Deletes the objects whose deletion was deferred (deleteLater).
inline void RunDeferredDeletes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace shelltest
