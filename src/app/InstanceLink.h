#pragma once
#include <QLocalServer>
#include <QLocalSocket>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "desktop/LinkProtocol.h"

namespace tx {

inline constexpr const char* AnotherInstanceQuestion =
    "Another instance of Trovamix is already running\rDo you want to close it?";

// The running-instance check and the companion editor's link: one local
// socket per user. The first instance listens; a later one connects, may ask
// it to close, and takes over listening when it has gone. Only peers of our
// own user are heard. Window thread only.
class TInstanceLink : public QObject {
    Q_OBJECT
public:
    enum class TStart { Listening, AnotherInstance, Failed };

    explicit TInstanceLink(QString socketPath = DefaultSocketPath(), QObject* parent = nullptr);
    ~TInstanceLink() override;

    // "$XDG_RUNTIME_DIR/trovamix.socket" when that folder is ours and private,
    // else "/tmp/trovamix-<uid>/trovamix.socket" in a folder made with mode
    // 0700; "" when neither can be trusted.
    static QString DefaultSocketPath();

    // Listens, or connects to the instance already listening. A socket file
    // nobody listens on (left by a crash) is removed.
    TStart Start();
    // Start, then on another instance the question (through the program's
    // prompts, "\r" a line break); Yes sends it "close". Start-up goes on
    // whatever the answer.
    TStart StartAndAsk(const std::function<bool(const std::string&)>& askYesNo);

    bool IsListening() const { return server_ != nullptr; }
    const QString& SocketPath() const { return path_; }

    // Second instance: asks the running one to close; false when not sent.
    bool RequestClose();
    // Second instance: hands loop files (absolute paths) to the running one,
    // which opens them in order; false when not all were sent.
    bool RequestOpen(const std::vector<std::string>& paths);

    // To the companion editor, when one has said hello.
    bool CompanionConnected() const;
    void SendDock(int x, int y);
    void CloseCompanion();

signals:
    void closeRequested();
    void openRequested(const QString& path);
    void companionOpened();
    void companionFileReceived(const QString& path);
    void tookOverListening();

private:
    struct Peer {
        QLocalSocket* Socket = nullptr;
        TLineSplitter Lines;
        bool Companion = false;
    };
    bool Listen();
    bool SendToRunning(const std::string& lines);
    void OnNewConnection();
    void OnReadyRead(Peer* peer);
    void DropPeer(Peer* peer);
    void SendToCompanions(const std::string& line);

    QString path_;
    QLocalServer* server_ = nullptr;
    QLocalSocket* other_ = nullptr;  // our connection to the running instance
    std::vector<std::unique_ptr<Peer>> peers_;
};

}  // namespace tx
