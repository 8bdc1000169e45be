#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QLocalSocket>
#include <QSignalSpy>
#include <csignal>
#include <cstring>
#include <filesystem>

#include "TestSupport.h"
#include "app/InstanceLink.h"

namespace {

namespace fs = std::filesystem;
using TStart = tx::TInstanceLink::TStart;

// A plain AF_UNIX socket at `path`: connected (the fd, or -1) or, with
// bindOnly, bound and closed as a crashed instance leaves it (0 when done).
int RawSocket(const std::string& path, bool bindOnly) {
    int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, path.c_str(), sizeof addr.sun_path - 1);
    auto* a = reinterpret_cast<sockaddr*>(&addr);
    int rc = bindOnly ? bind(fd, a, sizeof addr) : connect(fd, a, sizeof addr);
    if (bindOnly || rc != 0) close(fd);
    return bindOnly || rc != 0 ? rc : fd;
}

class InstanceLinkTest : public ::testing::Test {
protected:
    void SetUp() override { fs::permissions(dir.path(), fs::perms::owner_all); }
    QString Path() const { return QString::fromStdString((dir / "trovamix.socket").string()); }
    // A peer speaking the line protocol.
    std::unique_ptr<QLocalSocket> Send(const QByteArray& bytes) {
        auto s = std::make_unique<QLocalSocket>();
        s->connectToServer(Path());
        EXPECT_TRUE(s->waitForConnected(2000));
        s->write(bytes);
        s->waitForBytesWritten(2000);
        return s;
    }
    txtest::TempDir dir;
};

TEST_F(InstanceLinkTest, SecondStartAsksClosesOnYesAndTakesOverLater) {
    auto first = std::make_unique<tx::TInstanceLink>(Path());
    ASSERT_EQ(first->Start(), TStart::Listening);
    QSignalSpy closeSpy(first.get(), &tx::TInstanceLink::closeRequested);
    std::vector<std::string> asked;
    for (bool answer : {false, true}) {
        tx::TInstanceLink second(Path());
        auto ask = [&](const std::string& text) { return asked.push_back(text), answer; };
        EXPECT_EQ(second.StartAndAsk(ask), TStart::AnotherInstance);
        EXPECT_EQ(closeSpy.wait(answer ? 2000 : 200), answer);
    }
    EXPECT_EQ(asked, std::vector<std::string>(2,
                                              "Another instance of Trovamix is already running\r"
                                              "Do you want to close it?"));
    // When the first one ends, a waiting second one becomes the one others find.
    tx::TInstanceLink second(Path());
    ASSERT_EQ(second.Start(), TStart::AnotherInstance);
    QSignalSpy took(&second, &tx::TInstanceLink::tookOverListening);
    first.reset();
    ASSERT_TRUE(took.wait(2000));
    EXPECT_EQ(tx::TInstanceLink(Path()).Start(), TStart::AnotherInstance);
}

TEST_F(InstanceLinkTest, StaleSocketFileDoesNotStopStartUp) {
    ASSERT_EQ(RawSocket(Path().toStdString(), true), 0);
    ASSERT_TRUE(fs::exists(dir / "trovamix.socket"));
    EXPECT_EQ(tx::TInstanceLink(Path()).Start(), TStart::Listening);
}

TEST_F(InstanceLinkTest, CompanionExchangeIgnoresWhatItDoesNotKnow) {
    tx::TInstanceLink link(Path());
    ASSERT_EQ(link.Start(), TStart::Listening);
    QSignalSpy opened(&link, &tx::TInstanceLink::companionOpened);
    QSignalSpy files(&link, &tx::TInstanceLink::companionFileReceived);
    QSignalSpy closes(&link, &tx::TInstanceLink::closeRequested);
    // A file before the hello is not the companion's.
    auto companion = Send("file /tmp/early.wav\nhello sonelo\nfile /home/u/My%20Kit/kick%25.wav\n");
    ASSERT_TRUE(files.wait(2000));
    EXPECT_EQ(opened.count(), 1);
    EXPECT_EQ(files.count(), 1);
    EXPECT_EQ(files.at(0).at(0).toString(), QStringLiteral("/home/u/My Kit/kick%.wav"));
    // Unknown and malformed lines, and the tail of an overlong one, are not obeyed.
    companion->write("quit\nCLOSE\ndock 1 2\nfile relative.wav\n" + QByteArray(int(tx::MaxLinkLine), ' ') + "close\n");
    EXPECT_FALSE(closes.wait(300));
    EXPECT_EQ(files.count(), 1);
    link.SendDock(-20, 140);
    link.CloseCompanion();
    QByteArray got;
    while (!got.contains("close\n") && companion->waitForReadyRead(2000)) got += companion->readAll();
    EXPECT_EQ(got, QByteArray("dock -20 140\nclose\n"));
}

// A peer of another user is hung up on unheard, even with the folder open to
// it. Needs root to run the peer as "nobody".
TEST_F(InstanceLinkTest, PeerOfAnotherUserIsNotHeard) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to connect as another user";
    tx::TInstanceLink link(Path());
    ASSERT_EQ(link.Start(), TStart::Listening);
    QSignalSpy closes(&link, &tx::TInstanceLink::closeRequested);
    fs::permissions(dir.path(), fs::perms::all);
    fs::permissions(dir / "trovamix.socket", fs::perms::all);
    const std::string path = Path().toStdString();
    pid_t pid = fork();
    if (pid == 0) {
        if (setgid(65534) != 0 || setuid(65534) != 0) _exit(2);
        int fd = RawSocket(path, false);
        if (fd < 0) _exit(3);
        signal(SIGPIPE, SIG_IGN);
        (void)!write(fd, "close\n", 6);
        pollfd pfd{fd, POLLIN, 0};
        char c;
        _exit(poll(&pfd, 1, 2000) == 1 && read(fd, &c, 1) <= 0 ? 0 : 4);  // hung up on?
    }
    EXPECT_FALSE(closes.wait(600));
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_EQ(WEXITSTATUS(status), 0) << "3: could not connect, so nothing was checked; 4: not hung up on";
    auto own = Send("close\n");  // our own user is still heard
    EXPECT_TRUE(closes.wait(2000));
}

TEST(InstanceLinkPath, OnlyAPrivateRuntimeFolder) {
    txtest::TempDir runtime;
    QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(runtime.path().string()));
    fs::permissions(runtime.path(), fs::perms::owner_all);
    EXPECT_EQ(tx::TInstanceLink::DefaultSocketPath(), QString::fromStdString((runtime / "trovamix.socket").string()));
    fs::permissions(runtime.path(), fs::perms::owner_all | fs::perms::others_exec);
    QString fallback = tx::TInstanceLink::DefaultSocketPath();
    EXPECT_FALSE(fallback.isEmpty() || fallback.startsWith(QString::fromStdString(runtime.path().string())));
    EXPECT_EQ(fs::status(fs::path(fallback.toStdString()).parent_path()).permissions(), fs::perms::owner_all);
    qputenv("XDG_RUNTIME_DIR", saved);
}

}  // namespace
