#include "shell/ViewSyncClient.h"

#include <QGuiApplication>
#include <QLocalSocket>
#include <QStandardPaths>

#include <cstdlib>

namespace {

// Enough for a few frames; the socket holds no more than this of what the hub sends.
constexpr qint64 ReadBufferSize = 64 * 1024;

} // namespace

QString SyncHubSocketName() {
    if (const char *env = std::getenv("STREETPLAN_SYNC_SOCKET"); env != nullptr && *env != 0)
        return QString::fromLocal8Bit(env);
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty())
        dir = QStandardPaths::writableLocation(QStandardPaths::TempLocation);
    return dir + QStringLiteral("/TSyncHubForm");
}

TViewSyncClient::TViewSyncClient(const QString &socketName, QObject *parent)
    : QObject(parent), socketName_(socketName), socket_(new QLocalSocket(this)) {
    socket_->setReadBufferSize(ReadBufferSize);
    connect(socket_, &QLocalSocket::readyRead, this, &TViewSyncClient::ReadFrames);
    connect(socket_, &QLocalSocket::disconnected, this, [this] {
        reader_ = TSyncFrameReader();
        lastSent_.reset();
        pending_.reset();
        retry_.start();
    });
    connect(socket_, &QLocalSocket::connected, this, [this] { retry_.stop(); });
    connect(socket_, &QLocalSocket::bytesWritten, this, &TViewSyncClient::SendPending);
    connect(socket_, &QLocalSocket::errorOccurred, this, [this] {
        if (socket_->state() != QLocalSocket::ConnectedState)
            retry_.start();
    });
    retry_.setInterval(1000);
    connect(&retry_, &QTimer::timeout, this, &TViewSyncClient::ConnectToHub);
    activeCheck_ = [] { return QGuiApplication::applicationState() == Qt::ApplicationActive; };
    ConnectToHub();
}

TViewSyncClient::~TViewSyncClient() {
    // Nothing is waited for: frames not yet written are dropped with the socket.
    socket_->abort();
}

void TViewSyncClient::SetActiveCheck(std::function<bool()> check) {
    activeCheck_ = std::move(check);
}

void TViewSyncClient::ConnectToHub() {
    if (socket_->state() != QLocalSocket::UnconnectedState)
        return;
    socket_->connectToServer(socketName_);
}

bool TViewSyncClient::IsConnected() const {
    return socket_->state() == QLocalSocket::ConnectedState;
}

qint64 TViewSyncClient::PendingBytes() const {
    return socket_->bytesToWrite();
}

bool TViewSyncClient::SendViewSync(const TSyncView &view) {
    if (activeCheck_ && !activeCheck_())
        return false;
    if (!IsConnected() || (lastSent_ && *lastSent_ == view))
        return false;
    // Cleared first: writing may report bytes written at once, which must not send an older view after it.
    pending_.reset();
    if (Write(view))
        return true;
    pending_ = view;
    return false;
}

bool TViewSyncClient::Write(const TSyncView &view) {
    const std::vector<uint8_t> frame = EncodeViewFrame(view);
    // A hub that does not read gets no more frames until it does.
    if (socket_->bytesToWrite() + static_cast<qint64>(frame.size()) > MaxPendingBytes)
        return false;
    if (socket_->write(reinterpret_cast<const char *>(frame.data()), static_cast<qint64>(frame.size())) !=
        static_cast<qint64>(frame.size()))
        return false;
    lastSent_ = view;
    socket_->flush(); // writes what the socket takes now, without waiting
    return true;
}

void TViewSyncClient::SendPending() {
    if (!pending_ || !IsConnected())
        return;
    const TSyncView view = *pending_;
    pending_.reset();
    if ((lastSent_ && *lastSent_ == view) || Write(view))
        return;
    pending_ = view;
}

void TViewSyncClient::ReadFrames() {
    QPointer<TViewSyncClient> self(this);
    while (self && socket_->bytesAvailable() > 0) {
        const QByteArray bytes = socket_->read(ReadBufferSize);
        if (bytes.isEmpty())
            break;
        reader_.Append(reinterpret_cast<const uint8_t *>(bytes.constData()),
                       static_cast<std::size_t>(bytes.size()));
        TSyncFrame frame;
        while (self && reader_.Next(frame)) {
            if (const auto view = DecodeViewFrame(frame)) {
                // The peer knows this view: drawing it must not send it back, and it leads now.
                lastSent_ = *view;
                pending_.reset();
                emit ViewReceived(*view);
            } else if (const auto distance = DecodeAxisFrame(frame)) {
                emit AxisPositionReceived(*distance);
            }
        }
    }
}
