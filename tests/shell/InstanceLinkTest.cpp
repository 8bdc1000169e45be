#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QFileInfo>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QTest>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <functional>

#include "TestSupport.h"
#include "shell/InstanceLink.h"

namespace {

namespace fs = std::filesystem;

struct ScriptedPrompts {
    explicit ScriptedPrompts(bool answer) : Answer(answer) {}
    std::function<bool(const std::string&)> Ask() {
        return [this](const std::string& text) {
            asked.push_back(text);
            return Answer;
        };
    }
    bool Answer;
    std::vector<std::string> asked;
};

class InstanceLinkTest : public ::testing::Test {
protected:
    void SetUp() override { fs::permissions(dir.path(), fs::perms::owner_all); }
    QString Path() const { return QString::fromStdString((dir / "trovamix.socket").string()); }

    // A raw peer speaking the line protocol.
    std::unique_ptr<QLocalSocket> Connect() {
        auto s = std::make_unique<QLocalSocket>();
        s->connectToServer(Path());
        EXPECT_TRUE(s->waitForConnected(2000));
        return s;
    }
    static void Send(QLocalSocket& s, const QByteArray& bytes) {
        s.write(bytes);
        s.waitForBytesWritten(2000);
    }
    txtest::TempDir dir;
};

TEST_F(InstanceLinkTest, SecondStartAsksAndClosesFirstOnYes) {
    tx::TInstanceLink first(Path());
    ASSERT_EQ(first.Start(), tx::TInstanceLink::TStart::Listening);
    QSignalSpy closeSpy(&first, &tx::TInstanceLink::closeRequested);

    // No: both keep running, nothing is sent.
    {
        tx::TInstanceLink second(Path());
        ScriptedPrompts no(false);
        EXPECT_EQ(second.StartAndAsk(no.Ask()), tx::TInstanceLink::TStart::AnotherInstance);
        ASSERT_EQ(no.asked.size(), 1u);
        EXPECT_EQ(no.asked[0], "Another instance of Trovamix is already running\rDo you want to close it?");
        EXPECT_FALSE(closeSpy.wait(200));
    }
    tx::TInstanceLink second(Path());
    ScriptedPrompts yes(true);
    EXPECT_EQ(second.StartAndAsk(yes.Ask()), tx::TInstanceLink::TStart::AnotherInstance);
    EXPECT_TRUE(closeSpy.wait(2000));
    EXPECT_EQ(closeSpy.count(), 1);
}

TEST_F(InstanceLinkTest, SecondTakesOverWhenFirstEnds) {
    auto first = std::make_unique<tx::TInstanceLink>(Path());
    ASSERT_EQ(first->Start(), tx::TInstanceLink::TStart::Listening);
    tx::TInstanceLink second(Path());
    ASSERT_EQ(second.Start(), tx::TInstanceLink::TStart::AnotherInstance);
    QSignalSpy took(&second, &tx::TInstanceLink::tookOverListening);
    first.reset();
    ASSERT_TRUE(took.wait(2000));
    EXPECT_TRUE(second.IsListening());
    tx::TInstanceLink third(Path());
    EXPECT_EQ(third.Start(), tx::TInstanceLink::TStart::AnotherInstance);
}

TEST_F(InstanceLinkTest, StaleSocketFileDoesNotStopStartUp) {
    // A bound socket nobody listens on, as a crashed instance leaves it.
    int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, Path().toLocal8Bit().constData(), sizeof addr.sun_path - 1);
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    close(fd);
    ASSERT_TRUE(fs::exists(dir / "trovamix.socket"));
    tx::TInstanceLink link(Path());
    EXPECT_EQ(link.Start(), tx::TInstanceLink::TStart::Listening);
}

TEST_F(InstanceLinkTest, CompanionExchange) {
    tx::TInstanceLink link(Path());
    ASSERT_EQ(link.Start(), tx::TInstanceLink::TStart::Listening);
    QSignalSpy opened(&link, &tx::TInstanceLink::companionOpened);
    QSignalSpy files(&link, &tx::TInstanceLink::companionFileReceived);
    QSignalSpy closes(&link, &tx::TInstanceLink::closeRequested);

    auto companion = Connect();
    // A file before the hello is not the companion's: ignored.
    Send(*companion, "file /tmp/early.wav\n");
    Send(*companion, "hello sonelo\nfile /home/u/My%20Kit/kick%25.wav\n");
    ASSERT_TRUE(files.wait(2000));
    EXPECT_EQ(opened.count(), 1);
    ASSERT_EQ(files.count(), 1);
    EXPECT_EQ(files.at(0).at(0).toString(), QStringLiteral("/home/u/My Kit/kick%.wav"));
    EXPECT_TRUE(link.CompanionConnected());

    // Unknown, malformed and overlong lines are dropped; the tail of an
    // overlong line is not read as a command.
    QByteArray overlong = QByteArray(int(tx::MaxLinkLine), ' ') + "close\n";
    Send(*companion, "quit\nCLOSE\ndock 1 2\nfile relative.wav\n" + overlong);
    EXPECT_FALSE(closes.wait(300));
    EXPECT_EQ(files.count(), 1);

    link.SendDock(-20, 140);
    link.CloseCompanion();
    QByteArray got;
    while (!got.contains("close\n") && companion->waitForReadyRead(2000)) got += companion->readAll();
    EXPECT_EQ(got, QByteArray("dock -20 140\nclose\n"));
}

// A peer of another user is cut off before a byte of it is read. Needs root
// to run the peer as "nobody".
TEST_F(InstanceLinkTest, PeerOfAnotherUserIsNotHeard) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to connect as another user";
    tx::TInstanceLink link(Path());
    ASSERT_EQ(link.Start(), tx::TInstanceLink::TStart::Listening);
    QSignalSpy closes(&link, &tx::TInstanceLink::closeRequested);
    // Open the folder and the socket so only the credential check stands in the way.
    chmod(dir.path().c_str(), 0777);
    chmod((dir / "trovamix.socket").c_str(), 0777);
    const std::string path = Path().toStdString();
    pid_t pid = fork();
    if (pid == 0) {
        if (setgid(65534) != 0 || setuid(65534) != 0) _exit(2);
        int fd = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::strncpy(addr.sun_path, path.c_str(), sizeof addr.sun_path - 1);
        if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) _exit(3);
        signal(SIGPIPE, SIG_IGN);
        (void)!write(fd, "close\n", 6);  // may already fail: the server hangs up at once
        // The server must hang up on us: end of stream or a reset within 2 s.
        pollfd pfd{fd, POLLIN, 0};
        if (poll(&pfd, 1, 2000) != 1) _exit(4);
        char c;
        if (read(fd, &c, 1) > 0) _exit(5);
        _exit(0);
    }
    EXPECT_FALSE(closes.wait(600));
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_EQ(WEXITSTATUS(status), 0) << "3: could not connect, so the check was not exercised; 4: not hung up on";
    // Our own user is still heard.
    auto own = Connect();
    Send(*own, "close\n");
    EXPECT_TRUE(closes.wait(2000));
}

TEST(InstanceLinkPath, RuntimeFolderMustBePrivate) {
    txtest::TempDir runtime;
    QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(runtime.path().string()));
    fs::permissions(runtime.path(), fs::perms::owner_all);
    EXPECT_EQ(tx::TInstanceLink::DefaultSocketPath(), QString::fromStdString((runtime / "trovamix.socket").string()));
    // Readable by others: not used; the fallback is a private folder of our own.
    fs::permissions(runtime.path(), fs::perms::owner_all | fs::perms::others_read | fs::perms::others_exec);
    QString fallback = tx::TInstanceLink::DefaultSocketPath();
    EXPECT_FALSE(fallback.startsWith(QString::fromStdString(runtime.path().string())));
    ASSERT_FALSE(fallback.isEmpty());
    struct stat st {};
    ASSERT_EQ(lstat(QFileInfo(fallback).path().toLocal8Bit().constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    qputenv("XDG_RUNTIME_DIR", saved);
}

}  // namespace
