#pragma once
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tx {

// The line protocol on the program's per-user socket. A second instance sends
// "close"; the companion sample editor sends "hello sonelo" and
// "file <percent-encoded path>"; the program sends "close" and "dock X Y" to
// the companion. Lines end in '\n'. Anything else is ignored, never obeyed.

inline constexpr std::size_t MaxLinkLine = 4096;  // bytes before the '\n'

enum class TLinkCommand { Hello, File, Close, Dock };

struct TLinkMessage {
    TLinkCommand Command = TLinkCommand::Close;
    std::string Path;  // File: decoded, absolute
    int X = 0, Y = 0;  // Dock: the companion's top-left corner
};

// One line without its '\n' (a trailing '\r' is allowed); nullopt for a line
// that is not a well-formed message.
std::optional<TLinkMessage> ParseLinkLine(std::string_view line);

std::string PercentEncode(std::string_view bytes);
// nullopt for a '%' not followed by two hex digits.
std::optional<std::string> PercentDecode(std::string_view text);

std::string HelloLine();
std::string FileLine(std::string_view path);
std::string CloseLine();
std::string DockLine(int x, int y);

// Cuts a byte stream into lines. A line longer than MaxLinkLine is dropped
// as a whole, up to and including its '\n', so its tail is never read as a
// line of its own; memory stays bounded whatever the peer sends.
class TLineSplitter {
public:
    std::vector<std::string> Feed(std::string_view bytes);

private:
    std::string pending_;
    bool discarding_ = false;
};

}  // namespace tx
