#pragma once
#include <optional>
#include <string>
#include <vector>

namespace tx {
class TEngine;
class TEngineLock;
class TLoop;
struct TLoopReadResult;
}  // namespace tx

namespace txcli {

// Exit statuses of the tool.
constexpr int ExitOk = 0;
constexpr int ExitCannotOpen = 1;
constexpr int ExitMalformed = 2;
constexpr int ExitUsage = 64;

using Args = std::vector<std::string>;  // the arguments after the command name

int CmdInfo(const Args& args);
int CmdResave(const Args& args);
int CmdRender(const Args& args);
int CmdMidi(const Args& args);
int CmdPlay(const Args& args);
int CmdStyle(const Args& args);

// Prints "trovamix-cli: <file>: <reason>" as the one line of a failure.
void Fail(const std::string& file, const std::string& reason);
// Prints "trovamix-cli: <file>: warning: <reason>"; the command goes on.
void Warn(const std::string& file, const std::string& reason);
// One warning line naming the byte where a loop's events stopped, when they did.
void WarnIfEndedEarly(const std::string& file, const tx::TLoopReadResult& read);
// One warning line for a sample refused for its size; its channel stays silent.
void WarnRefusedSample(int channel, const std::string& sample, const std::string& why);
int NotAvailable(const char* command);

// Reads a loop for playing or rendering: its samples located and loaded as the
// desktop program does it, a forced song mode applied, and its tempo and
// master filter handed to the engine. Returns ExitOk, or the exit status of
// the failure it has already printed.
int LoadLoopIntoEngine(const std::string& file, tx::TLoop& loop, tx::TEngineLock& lock, tx::TEngine& engine,
                       std::optional<bool> songMode = {});
// The same, leaving the failure to the caller (warnings are still printed).
struct TLoadOutcome {
    int Status = ExitOk;
    std::string Reason;
};
TLoadOutcome LoadLoopQuietly(const std::string& file, tx::TLoop& loop, tx::TEngine& engine,
                             std::optional<bool> songMode = {});

// The usage and options of a command, for `trovamix-cli COMMAND --help`;
// empty for an unknown command.
std::string CommandHelp(const std::string& command);

}  // namespace txcli
