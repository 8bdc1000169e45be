#include "app/InstanceLink.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <algorithm>
#include <cerrno>

namespace tx {

namespace {

constexpr int ConnectTimeoutMs = 500;
constexpr int WriteTimeoutMs = 1000;
constexpr const char* SocketName = "trovamix.socket";

// A folder only we can enter: ours, a real folder (not a link), no access
// for group or others.
bool IsPrivateFolder(const QByteArray& dir) {
    struct stat st {};
    if (lstat(dir.constData(), &st) != 0) return false;
    return S_ISDIR(st.st_mode) && st.st_uid == geteuid() && (st.st_mode & 077) == 0;
}

bool PeerIsOurUser(QLocalSocket* s) {
    ucred cred{};
    socklen_t len = sizeof cred;
    auto fd = static_cast<int>(s->socketDescriptor());
    if (fd < 0 || getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &len) != 0 || len != sizeof cred) return false;
    return cred.uid == geteuid();
}

// The socket file is a socket nobody answers on: true when it can be removed.
bool IsStaleSocket(const QString& path) {
    struct stat st {};
    if (lstat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISSOCK(st.st_mode)) return false;
    QLocalSocket probe;
    probe.connectToServer(path);
    if (probe.waitForConnected(ConnectTimeoutMs)) {
        probe.abort();
        return false;
    }
    return probe.error() == QLocalSocket::ConnectionRefusedError;
}

}  // namespace

TInstanceLink::TInstanceLink(QString socketPath, QObject* parent) : QObject(parent), path_(std::move(socketPath)) {}

TInstanceLink::~TInstanceLink() {
    for (auto& p : peers_) {
        p->Socket->disconnect(this);
        p->Socket->abort();
    }
    if (other_) other_->disconnect(this);
}

QString TInstanceLink::DefaultSocketPath() {
    QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && IsPrivateFolder(runtime))
        return QFile::decodeName(runtime) + QLatin1Char('/') + QLatin1String(SocketName);
    QByteArray dir = "/tmp/trovamix-" + QByteArray::number(geteuid());
    if (mkdir(dir.constData(), 0700) != 0 && errno != EEXIST) return {};
    if (!IsPrivateFolder(dir)) return {};
    return QFile::decodeName(dir) + QLatin1Char('/') + QLatin1String(SocketName);
}

bool TInstanceLink::Listen() {
    auto server = std::make_unique<QLocalServer>(this);
    server->setSocketOptions(QLocalServer::UserAccessOption);
    // Two tries: the second after removing a socket left by a crashed instance.
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (server->listen(path_)) {
            server_ = server.release();
            connect(server_, &QLocalServer::newConnection, this, &TInstanceLink::OnNewConnection);
            return true;
        }
        if (server->serverError() != QAbstractSocket::AddressInUseError || !IsStaleSocket(path_)) return false;
        QLocalServer::removeServer(path_);
    }
    return false;
}

TInstanceLink::TStart TInstanceLink::Start() {
    if (path_.isEmpty()) return TStart::Failed;
    if (server_) return TStart::Listening;
    auto* other = new QLocalSocket(this);
    other->connectToServer(path_);
    if (other->waitForConnected(ConnectTimeoutMs)) {
        other_ = other;
        // When the running instance ends, this one becomes the one others find.
        connect(other_, &QLocalSocket::disconnected, this, [this] {
            other_->deleteLater();
            other_ = nullptr;
            if (Listen()) emit tookOverListening();
        });
        return TStart::AnotherInstance;
    }
    delete other;
    return Listen() ? TStart::Listening : TStart::Failed;
}

TInstanceLink::TStart TInstanceLink::StartAndAsk(const std::function<bool(const std::string&)>& askYesNo) {
    TStart result = Start();
    if (result == TStart::AnotherInstance && askYesNo(AnotherInstanceQuestion)) RequestClose();
    return result;
}

bool TInstanceLink::SendToRunning(const std::string& lines) {
    if (!other_ || other_->state() != QLocalSocket::ConnectedState) return false;
    other_->write(lines.data(), qint64(lines.size()));
    while (other_->bytesToWrite() > 0)
        if (!other_->waitForBytesWritten(WriteTimeoutMs)) return false;
    return true;
}

bool TInstanceLink::RequestClose() { return SendToRunning(CloseLine()); }

bool TInstanceLink::RequestOpen(const std::vector<std::string>& paths) {
    std::string lines;
    for (const std::string& p : paths) {
        const std::string line = OpenLine(p);
        // One the running instance would drop unread is not sent as if it were.
        if (line.size() - 1 > MaxLinkLine) return false;
        lines += line;
    }
    return !lines.empty() && SendToRunning(lines);
}

void TInstanceLink::OnNewConnection() {
    while (QLocalSocket* s = server_->nextPendingConnection()) {
        if (!PeerIsOurUser(s)) {
            s->abort();
            s->deleteLater();
            continue;
        }
        auto peer = std::make_unique<Peer>();
        peer->Socket = s;
        Peer* raw = peer.get();
        peers_.push_back(std::move(peer));
        connect(s, &QLocalSocket::readyRead, this, [this, raw] { OnReadyRead(raw); });
        connect(s, &QLocalSocket::disconnected, this, [this, raw] { DropPeer(raw); });
        if (s->bytesAvailable() > 0) OnReadyRead(raw);
    }
}

// Signals go out queued: a slot may close the main window and with it this
// object, which must not happen while we are still reading the peer's lines.
void TInstanceLink::OnReadyRead(Peer* peer) {
    const QByteArray bytes = peer->Socket->readAll();
    for (const std::string& line : peer->Lines.Feed(std::string_view(bytes.constData(), size_t(bytes.size())))) {
        auto msg = ParseLinkLine(line);
        if (!msg) continue;
        switch (msg->Command) {
            case TLinkCommand::Close:
                QMetaObject::invokeMethod(
                    this, [this] { emit closeRequested(); }, Qt::QueuedConnection);
                break;
            case TLinkCommand::Hello:
                peer->Companion = true;
                QMetaObject::invokeMethod(
                    this, [this] { emit companionOpened(); }, Qt::QueuedConnection);
                break;
            case TLinkCommand::File:
                // Files come from the companion only, once it has introduced itself.
                if (peer->Companion) {
                    QString path = QFile::decodeName(QByteArray::fromStdString(msg->Path));
                    QMetaObject::invokeMethod(
                        this, [this, path] { emit companionFileReceived(path); }, Qt::QueuedConnection);
                }
                break;
            case TLinkCommand::Open: {
                QString path = QFile::decodeName(QByteArray::fromStdString(msg->Path));
                QMetaObject::invokeMethod(
                    this, [this, path] { emit openRequested(path); }, Qt::QueuedConnection);
                break;
            }
            case TLinkCommand::Dock:  // ours to send, not to obey
                break;
        }
    }
}

void TInstanceLink::DropPeer(Peer* peer) {
    auto it = std::find_if(peers_.begin(), peers_.end(), [peer](const auto& p) { return p.get() == peer; });
    if (it == peers_.end()) return;
    (*it)->Socket->deleteLater();
    peers_.erase(it);
}

bool TInstanceLink::CompanionConnected() const {
    return std::any_of(peers_.begin(), peers_.end(), [](const auto& p) { return p->Companion; });
}

void TInstanceLink::SendToCompanions(const std::string& line) {
    for (auto& p : peers_) {
        if (!p->Companion) continue;
        p->Socket->write(line.data(), qint64(line.size()));
        p->Socket->flush();
    }
}

void TInstanceLink::SendDock(int x, int y) { SendToCompanions(DockLine(x, y)); }

void TInstanceLink::CloseCompanion() {
    SendToCompanions(CloseLine());
    // At shutdown the event loop may not run again: push the bytes out now.
    for (auto& p : peers_)
        if (p->Companion) p->Socket->waitForBytesWritten(WriteTimeoutMs);
}

}  // namespace tx
