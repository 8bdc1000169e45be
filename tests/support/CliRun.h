#pragma once
// Runs the built trovamix-cli as a child process, for the command-line and the
// device tests: stdin from /dev/null, stdout and stderr into files of the run's
// own (so a test's folder holds only what the tool wrote), a bounded wait, and
// Ctrl+C on request.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "TestSupport.h"

namespace txtest {

inline const std::string CliPath = std::string(TROVAMIX_BINARY_DIR) + "/trovamix-cli";

struct TCliResult {
    int Status = -1;  // exit status; -1 when it died of a signal or had to be killed
    std::string Out, Err;
    long MaxRssKb = 0;  // the run's peak resident memory
};

inline std::string ReadFileText(const std::filesystem::path& p) {
    const std::vector<unsigned char> b = ReadFileBytes(p);
    return std::string(b.begin(), b.end());
}

// One run of the tool, started on construction.
class TCliRun {
public:
    explicit TCliRun(const std::vector<std::string>& args) {
        // Everything the child needs is made before fork: after it, only exec.
        const std::string out = (io_ / "stdout").string(), err = (io_ / "stderr").string();
        std::vector<char*> argv{const_cast<char*>(CliPath.c_str())};
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        pid_ = ::fork();
        if (pid_ == 0) {
            const int in = ::open("/dev/null", O_RDONLY);
            const int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (in < 0 || o < 0 || e < 0 || ::dup2(in, 0) < 0 || ::dup2(o, 1) < 0 || ::dup2(e, 2) < 0) ::_exit(126);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
    }
    ~TCliRun() { kill(SIGKILL); }
    TCliRun(const TCliRun&) = delete;
    TCliRun& operator=(const TCliRun&) = delete;

    std::string ErrSoFar() const { return ReadFileText(io_ / "stderr"); }
    void Interrupt() { kill(SIGINT); }

    // Waits for the end; a run still going after `timeout` is killed (status -1).
    TCliResult Wait(std::chrono::milliseconds timeout = std::chrono::seconds(60)) {
        TCliResult r;
        const auto until = std::chrono::steady_clock::now() + timeout;
        int st = 0;
        while (pid_ > 0) {
            rusage usage{};
            if (::wait4(pid_, &st, WNOHANG, &usage) == pid_) {
                pid_ = -1;
                r.Status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
                r.MaxRssKb = usage.ru_maxrss;
            } else if (std::chrono::steady_clock::now() > until) {
                kill(SIGKILL);
                r.Err = "(killed: still running after " + std::to_string(timeout.count()) + " ms)\n";
            } else {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        }
        r.Out = ReadFileText(io_ / "stdout");
        r.Err += ReadFileText(io_ / "stderr");
        return r;
    }

private:
    void kill(int sig) {
        if (pid_ <= 0) return;
        ::kill(pid_, sig);
        if (sig != SIGKILL) return;
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
    TempDir io_;
    pid_t pid_ = -1;
};

inline TCliResult RunCli(const std::vector<std::string>& args,
                         std::chrono::milliseconds timeout = std::chrono::seconds(60)) {
    return TCliRun(args).Wait(timeout);
}

// How a failing run must report: one line on stderr containing `text`, nothing on stdout.
inline ::testing::AssertionResult OneErrorLine(const TCliResult& r, const std::string& text) {
    if (std::count(r.Err.begin(), r.Err.end(), '\n') != 1 || r.Err.back() != '\n')
        return ::testing::AssertionFailure() << "stderr is not one line: [" << r.Err << "]";
    if (r.Err.find(text) == std::string::npos)
        return ::testing::AssertionFailure() << "stderr does not say \"" << text << "\": " << r.Err;
    if (!r.Out.empty()) return ::testing::AssertionFailure() << "stdout is not empty: " << r.Out;
    return ::testing::AssertionSuccess();
}

}  // namespace txtest
