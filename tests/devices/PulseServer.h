#pragma once
// A PulseAudio server of one test's own with a null sink at 44100 Hz: private
// runtime and configuration folders, made this process's server while it
// lives, stopped by its process id. An idle null sink works in 2-second
// blocks, so a low-latency recorder is kept on its monitor from the start;
// without it new streams stall and recordings come out short.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>
#include <thread>

namespace txtest {

class TPrivatePulseServer {
public:
    static constexpr const char* Sink = "trovamix_null";

    explicit TPrivatePulseServer(const std::filesystem::path& folder) : folder_(folder) {
        save("XDG_RUNTIME_DIR", runtime_);
        save("XDG_CONFIG_HOME", config_);
        std::filesystem::create_directories(folder / "run");
        std::filesystem::create_directories(folder / "config");
        ::setenv("XDG_RUNTIME_DIR", (folder / "run").c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (folder / "config").c_str(), 1);
        const std::string sink = std::string("module-null-sink sink_name=") + Sink + " rate=44100";
        server_ = spawn({"pulseaudio", "--daemonize=no", "--exit-idle-time=-1", "-n", "--load=" + sink,
                         "--load=module-native-protocol-unix"});
        for (int i = 0; i < 100 && server_ > 0 && !up_; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            up_ = std::system("pactl info >/dev/null 2>&1") == 0;
        }
        if (!up_) return;
        keeper_ = spawn({"parec", "--latency-msec=10", "-d", std::string(Sink) + ".monitor"});
        std::this_thread::sleep_for(std::chrono::milliseconds(2500));
    }
    ~TPrivatePulseServer() {
        stop(keeper_);
        stop(server_);
        restore("XDG_RUNTIME_DIR", runtime_);
        restore("XDG_CONFIG_HOME", config_);
    }
    TPrivatePulseServer(const TPrivatePulseServer&) = delete;
    TPrivatePulseServer& operator=(const TPrivatePulseServer&) = delete;

    bool Up() const { return up_; }

    // Starts recording the sink's monitor as raw 16-bit stereo into `file`.
    pid_t StartRecording(const std::filesystem::path& file) {
        return spawn({"parec", "--latency-msec=10", "-d", std::string(Sink) + ".monitor", "--format=s16le",
                      "--rate=44100", "--channels=2", "--raw"},
                     file.string());
    }
    static void StopRecording(pid_t pid) {
        if (pid <= 0) return;
        ::kill(pid, SIGINT);
        ::waitpid(pid, nullptr, 0);
    }

private:
    struct TSaved {
        bool had = false;
        std::string value;
    };
    static void save(const char* name, TSaved& s) {
        const char* v = std::getenv(name);
        s.had = v != nullptr;
        s.value = v ? v : "";
    }
    static void restore(const char* name, const TSaved& s) {
        if (s.had)
            ::setenv(name, s.value.c_str(), 1);
        else
            ::unsetenv(name);
    }
    // Runs a program with its output to `out` (default: nowhere).
    static pid_t spawn(const std::vector<std::string>& args, const std::string& out = "/dev/null") {
        pid_t pid = ::fork();
        if (pid == 0) {
            if (!std::freopen(out.c_str(), "w", stdout) || !std::freopen("/dev/null", "w", stderr)) ::_exit(126);
            std::vector<char*> argv;
            for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            ::execvp(argv[0], argv.data());
            ::_exit(127);
        }
        return pid;
    }
    static void stop(pid_t& pid) {
        if (pid <= 0) return;
        ::kill(pid, SIGTERM);
        for (int i = 0; i < 100; ++i) {
            if (::waitpid(pid, nullptr, WNOHANG) == pid) {
                pid = -1;
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        pid = -1;
    }

    std::filesystem::path folder_;
    TSaved runtime_, config_;
    pid_t server_ = -1, keeper_ = -1;
    bool up_ = false;
};

}  // namespace txtest
