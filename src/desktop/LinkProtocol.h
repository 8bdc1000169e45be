#pragma once
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tx {

// The line protocol on the program's per-user socket. A second instance sends
// "close", or "open <percent-encoded path>" to have a loop file opened in the
// running one; the companion sample editor sends "hello sonelo" and
// "file <percent-encoded path>"; the program sends "close" and "dock X Y" to
// the companion. Lines end in '\n'. Anything else is ignored, never obeyed.

inline constexpr std::size_t MaxLinkLine = 4096;  // bytes before the '\n'

enum class TLinkCommand { Hello, File, Close, Dock, Open };

struct TLinkMessage {
    TLinkCommand Command = TLinkCommand::Close;
    std::string Path;  // File, Open: decoded, absolute
    // Dock: the main window's top-left corner; the companion's right edge
    // goes just left of X and its top to Y.
    int X = 0, Y = 0;
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
std::string OpenLine(std::string_view path);

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
