// sync-hub [--socket PATH]
//
// Listens on the view-synchronisation socket (by default "TSyncHubForm" in the user's runtime folder, or
// STREETPLAN_SYNC_SOCKET) and relays every frame one program sends to every other connected program. A
// program that does not read loses frames instead of holding up the others, but the latest view and the
// latest axis position dropped for it go out once it reads again; frames longer than the protocol allows
// are skipped. Runs until it is stopped.
#include "shell/ViewSync.h"
#include "shell/ViewSyncClient.h"

#include <QCoreApplication>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>

#include <cstdio>
#include <map>
#include <memory>
#include <vector>

namespace {

// What may wait for one program before frames to it are dropped.
constexpr qint64 MaxPendingBytes = 64 * 1024;
constexpr qint64 ReadChunk = 64 * 1024;

class THub : public QObject {
public:
    explicit THub(QLocalServer &server) : server_(server) {
        connect(&server_, &QLocalServer::newConnection, this, &THub::Accept);
    }

private:
    void Accept() {
        while (QLocalSocket *peer = server_.nextPendingConnection()) {
            peer->setReadBufferSize(ReadChunk);
            readers_[peer] = std::make_shared<TSyncFrameReader>();
            connect(peer, &QLocalSocket::readyRead, this, [this, peer] { Relay(peer); });
            connect(peer, &QLocalSocket::bytesWritten, this, [this, peer] { SendPending(peer); });
            connect(peer, &QLocalSocket::disconnected, this, [this, peer] {
                readers_.erase(peer);
                pending_.erase(peer);
                peer->deleteLater();
            });
        }
    }

    void Relay(QLocalSocket *from) {
        auto it = readers_.find(from);
        if (it == readers_.end())
            return;
        // A write may end a connection at once (a peer gone), which changes the map: work on copies.
        const std::shared_ptr<TSyncFrameReader> keep = it->second;
        TSyncFrameReader &reader = *keep;
        QPointer<QLocalSocket> source(from);
        while (source && from->bytesAvailable() > 0) {
            const QByteArray bytes = from->read(ReadChunk);
            if (bytes.isEmpty())
                break;
            reader.Append(reinterpret_cast<const uint8_t *>(bytes.constData()),
                          static_cast<std::size_t>(bytes.size()));
            TSyncFrame frame;
            while (reader.Next(frame)) {
                const std::vector<uint8_t> out = EncodeSyncFrame(frame.DwData, frame.Payload);
                std::vector<QPointer<QLocalSocket>> peers;
                for (const auto &entry : readers_)
                    if (entry.first != from)
                        peers.emplace_back(entry.first);
                for (const QPointer<QLocalSocket> &peer : peers) {
                    if (!peer || readers_.count(peer.data()) == 0)
                        continue; // gone meanwhile
                    // A newer frame of the kind replaces the one dropped before.
                    TPending &pending = pending_[peer.data()];
                    const bool kept = frame.DwData == SyncViewMessage || frame.DwData == SyncAxisMessage;
                    if (kept)
                        pending.erase(frame.DwData);
                    if (!Write(*peer, out) && kept)
                        pending[frame.DwData] = out;
                }
            }
        }
    }

    // Writes the frame when the peer has room for it; true when it went out.
    static bool Write(QLocalSocket &peer, const std::vector<uint8_t> &frame) {
        if (peer.state() != QLocalSocket::ConnectedState ||
            peer.bytesToWrite() + static_cast<qint64>(frame.size()) > MaxPendingBytes)
            return false;
        peer.write(reinterpret_cast<const char *>(frame.data()), static_cast<qint64>(frame.size()));
        peer.flush();
        return true;
    }

    void SendPending(QLocalSocket *peer) {
        auto it = pending_.find(peer);
        if (it == pending_.end())
            return;
        // Taken out first: a write may report bytes written at once and come back here.
        TPending frames = std::move(it->second);
        it->second.clear();
        for (auto &[code, frame] : frames) {
            if (readers_.count(peer) == 0)
                return; // gone meanwhile
            TPending &now = pending_[peer];
            if (now.count(code) == 0 && !Write(*peer, frame))
                now[code] = std::move(frame);
        }
    }

    // Per peer, the latest frame of each kept kind that it could not take.
    using TPending = std::map<uint32_t, std::vector<uint8_t>>;
    QLocalServer &server_;
    std::map<QLocalSocket *, std::shared_ptr<TSyncFrameReader>> readers_;
    std::map<QLocalSocket *, TPending> pending_;
};

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    QString name;
    const QStringList args = app.arguments();
    for (qsizetype i = 1; i < args.size(); ++i) {
        if (args[i] == QStringLiteral("--socket") && i + 1 < args.size())
            name = args[++i];
        else {
            std::fprintf(stderr, "usage: sync-hub [--socket PATH]\n");
            return 2;
        }
    }
    if (name.isEmpty())
        name = SyncHubSocketName();
    {
        // Another hub already serving the name keeps it.
        QLocalSocket probe;
        probe.connectToServer(name);
        if (probe.waitForConnected(500)) {
            std::fprintf(stderr, "sync-hub: a hub already listens on %s\n", qPrintable(name));
            return 1;
        }
    }
    QLocalServer server;
    server.setSocketOptions(QLocalServer::UserAccessOption);
    QLocalServer::removeServer(name); // a socket file left by a hub that did not end cleanly
    if (!server.listen(name)) {
        std::fprintf(stderr, "sync-hub: cannot listen on %s: %s\n", qPrintable(name),
                     qPrintable(server.errorString()));
        return 1;
    }
    THub hub(server);
    std::printf("sync-hub: listening on %s\n", qPrintable(server.fullServerName()));
    std::fflush(stdout);
    return app.exec();
}
