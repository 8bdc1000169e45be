#include "desktop/LinkProtocol.h"

#include <charconv>

namespace tx {

namespace {

// Window positions beyond this are not a screen position; a peer sending one is wrong.
constexpr int MaxDockCoordinate = 1 << 20;

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::optional<int> ParseCoordinate(std::string_view s) {
    int v = 0;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (s.empty() || ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
    if (v < -MaxDockCoordinate || v > MaxDockCoordinate) return std::nullopt;
    return v;
}

}  // namespace

std::string PercentEncode(std::string_view bytes) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : bytes) {
        bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
                     c == '.' || c == '_' || c == '~' || c == '/';
        if (plain) {
            out += char(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

std::optional<std::string> PercentDecode(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (i + 2 >= text.size()) return std::nullopt;
        int hi = HexValue(text[i + 1]), lo = HexValue(text[i + 2]);
        if (hi < 0 || lo < 0) return std::nullopt;
        out += char(hi * 16 + lo);
        i += 2;
    }
    return out;
}

std::optional<TLinkMessage> ParseLinkLine(std::string_view line) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.size() > MaxLinkLine) return std::nullopt;
    TLinkMessage m;
    if (line == "hello sonelo") {
        m.Command = TLinkCommand::Hello;
        return m;
    }
    if (line == "close") {
        m.Command = TLinkCommand::Close;
        return m;
    }
    const bool file = line.starts_with("file "), open = line.starts_with("open ");
    if (file || open) {
        auto path = PercentDecode(line.substr(5));
        // Only absolute paths: a relative one would be resolved against
        // whatever folder the program happens to run in.
        if (!path || path->empty() || (*path)[0] != '/' || path->find('\0') != std::string::npos) return std::nullopt;
        m.Command = file ? TLinkCommand::File : TLinkCommand::Open;
        m.Path = std::move(*path);
        return m;
    }
    if (line.starts_with("dock ")) {
        std::string_view rest = line.substr(5);
        auto space = rest.find(' ');
        if (space == std::string_view::npos) return std::nullopt;
        auto x = ParseCoordinate(rest.substr(0, space));
        auto y = ParseCoordinate(rest.substr(space + 1));
        if (!x || !y) return std::nullopt;
        m.Command = TLinkCommand::Dock;
        m.X = *x;
        m.Y = *y;
        return m;
    }
    return std::nullopt;
}

std::string HelloLine() { return "hello sonelo\n"; }
std::string FileLine(std::string_view path) { return "file " + PercentEncode(path) + "\n"; }
std::string CloseLine() { return "close\n"; }
std::string DockLine(int x, int y) { return "dock " + std::to_string(x) + " " + std::to_string(y) + "\n"; }
std::string OpenLine(std::string_view path) { return "open " + PercentEncode(path) + "\n"; }

std::vector<std::string> TLineSplitter::Feed(std::string_view bytes) {
    std::vector<std::string> lines;
    while (!bytes.empty()) {
        auto nl = bytes.find('\n');
        std::string_view part = bytes.substr(0, nl);
        if (!discarding_) {
            if (pending_.size() + part.size() > MaxLinkLine) {
                pending_.clear();
                discarding_ = true;
            } else {
                pending_.append(part);
            }
        }
        if (nl == std::string_view::npos) break;
        if (!discarding_) lines.push_back(std::move(pending_));
        pending_.clear();
        discarding_ = false;
        bytes.remove_prefix(nl + 1);
    }
    return lines;
}

}  // namespace tx
