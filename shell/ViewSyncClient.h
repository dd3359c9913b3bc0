#pragma once
// The program's end of view synchronisation (frames in ViewSync.h). It connects to the hub when there is
// one (and tries again every second while there is none), sends the plan view, and hands received views
// and axis positions to whoever listens.
//
// Sending never blocks the program: a frame goes out only while the program is active, connected, the
// view differs from the last one sent or received (so views received and drawn are not echoed back), and
// the hub has read what was sent before; otherwise the frame is dropped. Of the views dropped because the
// hub was not reading, the latest goes out once it reads again (unless a view came from the hub
// meanwhile), so the hub never stays on a view the program has left. Received values are validated
// (ViewSync.h) before they are handed on; the plan view applies them when it is shown, clamping an axis
// position to the axis.
#include "shell/ViewSync.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <functional>
#include <optional>

class QLocalSocket;

// The hub's socket: STREETPLAN_SYNC_SOCKET when set, else "TSyncHubForm" in the user's runtime folder.
QString SyncHubSocketName();

class TViewSyncClient : public QObject {
    Q_OBJECT
public:
    // Bytes that may wait for the hub before frames are dropped.
    static constexpr qint64 MaxPendingBytes = 16 * (SyncHeaderSize + SyncViewSize);

    explicit TViewSyncClient(const QString &socketName = SyncHubSocketName(), QObject *parent = nullptr);
    ~TViewSyncClient() override;

    // Whether the program counts as active (its main window in front); the application's state by default.
    void SetActiveCheck(std::function<bool()> check);

    // Sends the view when it should (see above); true when a frame went out.
    bool SendViewSync(const TSyncView &view);
    bool IsConnected() const;
    qint64 PendingBytes() const;
    // Tries to connect now.
    void ConnectToHub();

signals:
    void ViewReceived(const TSyncView &view);
    void AxisPositionReceived(float distance);

private:
    void ReadFrames();
    // Writes the frame when the hub has room for it; true when it went out.
    bool Write(const TSyncView &view);
    void SendPending();

    QString socketName_;
    QLocalSocket *socket_;
    QTimer retry_;
    TSyncFrameReader reader_;
    std::function<bool()> activeCheck_;
    std::optional<TSyncView> lastSent_;
    // The latest view dropped while the hub was not reading.
    std::optional<TSyncView> pending_;
};
