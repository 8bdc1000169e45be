#pragma once
// A JACK dummy server of one test's own: started on construction, made the
// server of this process (JACK_DEFAULT_SERVER) while it lives, stopped by its
// process id. In synchronous mode the server waits for every client each
// cycle, so a busy machine slows the dummy clock down instead of skipping
// clients, and what one client records is exactly what another sent.
// The name is fixed: JACK keeps at most 8 server names per user and reclaims
// a name only when a server of the same name starts after one that died
// without signing off, so fresh names per run would fill the table.
#include <jack/jack.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

namespace txtest {

inline bool JackServerAnswers() {
    jack_status_t status;
    jack_client_t* c = jack_client_open("trovamix-probe", JackNoStartServer, &status);
    if (!c) return false;
    jack_client_close(c);
    return true;
}

class TPrivateJackServer {
public:
    TPrivateJackServer(const std::string& name, bool synchronous) : name_(name) {
        const char* before = std::getenv("JACK_DEFAULT_SERVER");
        hadServer_ = before != nullptr;
        savedServer_ = hadServer_ ? before : "";
        pid_ = ::fork();
        if (pid_ == 0) {
            if (!std::freopen("/dev/null", "w", stdout) || !std::freopen("/dev/null", "w", stderr)) ::_exit(126);
            if (synchronous) {
                ::execlp("jackd", "jackd", "-S", "--no-realtime", "-n", name_.c_str(), "-d", "dummy", "-r", "44100",
                         "-p", "128", (char*)nullptr);
            } else {
                ::execlp("jackd", "jackd", "--no-realtime", "-n", name_.c_str(), "-d", "dummy", "-r", "44100", "-p",
                         "128", (char*)nullptr);
            }
            ::_exit(127);
        }
        ::setenv("JACK_DEFAULT_SERVER", name_.c_str(), 1);
        for (int i = 0; i < 200 && pid_ > 0 && !up_; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            up_ = JackServerAnswers();
        }
    }
    ~TPrivateJackServer() {
        Stop();
        if (hadServer_)
            ::setenv("JACK_DEFAULT_SERVER", savedServer_.c_str(), 1);
        else
            ::unsetenv("JACK_DEFAULT_SERVER");
    }
    TPrivateJackServer(const TPrivateJackServer&) = delete;
    TPrivateJackServer& operator=(const TPrivateJackServer&) = delete;

    bool Up() const { return up_; }
    const std::string& Name() const { return name_; }
    // Stops the server as a user would (SIGTERM), waiting for it to exit.
    void Stop() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGTERM);
        for (int i = 0; i < 250; ++i) {
            if (::waitpid(pid_, nullptr, WNOHANG) == pid_) {
                pid_ = -1;
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

private:
    std::string name_;
    pid_t pid_ = -1;
    bool up_ = false;
    bool hadServer_ = false;
    std::string savedServer_;
};

}  // namespace txtest
