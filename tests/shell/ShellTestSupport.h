#pragma once
// Helpers of the shell tests: settings in a folder of the test's own, scripted prompts, and waiting for
// events without a fixed sleep.
#include "engine/Reg_Shell.h"
#include "platform/settings/SettingsStore.h"
#include "shell/ScriptedPrompts.h"
#include "shell/ViewSyncClient.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QLockFile>
#include <QProcess>

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

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

// What a program that ended without letting go of a side file leaves beside it: the lock file, naming a
// process that no longer runs (a number above every process number the system gives).
inline void LeaveStaleLock(const QString &sideFile) {
    const QString name = sideFile + QStringLiteral(".lock");
    QByteArray content;
    {
        QLockFile lock(name);
        ASSERT_TRUE(lock.tryLock(0)) << name.toStdString();
        QFile file(name);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        content = file.readAll();
    }
    const qsizetype eol = content.indexOf('\n');
    ASSERT_GT(eol, 0);
    QFile file(name);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("999999999" + content.mid(eol));
}

// Deletes the objects whose deletion was deferred (deleteLater).
inline void RunDeferredDeletes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// The view-sync hub built beside the tests: STREETPLAN_BINARY when set, else the build folder above this
// program's.
inline std::string SyncHubProgram() {
    const char *bin = std::getenv("STREETPLAN_BINARY");
    const QString root =
        bin && *bin ? QString::fromLocal8Bit(bin) : QCoreApplication::applicationDirPath() + "/..";
    return (root + "/tools/sync-hub/sync-hub").toStdString();
}

// The hub as a separate program, on a socket of the test's own.
class HubProcess {
public:
    explicit HubProcess(const QString &socket) {
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start(QString::fromStdString(SyncHubProgram()), {QStringLiteral("--socket"), socket});
        started_ = process_.waitForStarted(10000) &&
                   WaitUntil([&] { return process_.canReadLine() || process_.state() != QProcess::Running; },
                             10000) &&
                   process_.readLine().startsWith("sync-hub: listening");
    }
    ~HubProcess() {
        process_.terminate();
        if (!process_.waitForFinished(5000))
            process_.kill();
        process_.waitForFinished(5000);
    }
    bool Started() const { return started_; }
    bool Running() const { return process_.state() == QProcess::Running; }

private:
    QProcess process_;
    bool started_ = false;
};

// One program's end, always active, recording what it receives.
struct SyncPeer {
    explicit SyncPeer(const QString &socket) : client(socket) {
        client.SetActiveCheck([] { return true; });
        QObject::connect(&client, &TViewSyncClient::ViewReceived,
                         [this](const TSyncView &v) { views.push_back(v); });
        QObject::connect(&client, &TViewSyncClient::AxisPositionReceived,
                         [this](float d) { axes.push_back(d); });
    }
    TViewSyncClient client;
    std::vector<TSyncView> views;
    std::vector<float> axes;
};

} // namespace shelltest
