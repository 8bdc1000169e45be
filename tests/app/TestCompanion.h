#pragma once
// The companion sample editor as the tests play it: a peer on the program's
// socket that says hello, sends files and hears "dock" and "close".
#include <QElapsedTimer>
#include <QLocalSocket>
#include <QTest>
#include <string>
#include <vector>

#include "desktop/LinkProtocol.h"

namespace txtest {

class TTestCompanion {
public:
    explicit TTestCompanion(const QString& socketPath) {
        socket_.connectToServer(socketPath);
        connected_ = socket_.waitForConnected(2000);
    }
    bool Connected() const { return connected_; }
    void SendRaw(const std::string& bytes) {
        socket_.write(bytes.data(), qint64(bytes.size()));
        socket_.waitForBytesWritten(2000);
    }
    void Hello() { SendRaw(tx::HelloLine()); }
    void SendFile(const std::string& path) { SendRaw(tx::FileLine(path)); }
    // Runs the program's events until `line` arrives (true) or `ms` pass.
    bool WaitFor(const std::string& line, int ms = 2000) {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < ms) {
            if (Take(line)) return true;
            QTest::qWait(10);
        }
        return Take(line);
    }
    // Every line received so far, and no more.
    std::vector<std::string> Received() {
        Read();
        return lines_;
    }
    void Forget() { lines_.clear(); }

private:
    void Read() {
        const QByteArray b = socket_.readAll();
        for (std::string& l : splitter_.Feed(std::string_view(b.constData(), size_t(b.size()))))
            lines_.push_back(std::move(l));
    }
    bool Take(const std::string& line) {
        Read();
        for (auto it = lines_.begin(); it != lines_.end(); ++it)
            if (*it == line) {
                lines_.erase(lines_.begin(), it + 1);
                return true;
            }
        return false;
    }
    QLocalSocket socket_;
    tx::TLineSplitter splitter_;
    std::vector<std::string> lines_;
    bool connected_ = false;
};

}  // namespace txtest
