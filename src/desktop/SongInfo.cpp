#include "desktop/SongInfo.h"

#include "desktop/LoopWorkflow.h"
#include "model/TextCase.h"

namespace tx {

std::string SongCaption(const std::string& title, const std::string& loopFileName) {
    return title.empty() ? FileNameOnly(loopFileName) : title;
}

namespace {

bool IsAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Where the host ends: at the first '/', '?' or '#'.
size_t HostEnd(std::string_view s) {
    const size_t end = s.find_first_of("/?#");
    return end == std::string_view::npos ? s.size() : end;
}

}  // namespace

std::string BrowsableUrl(std::string_view url) {
    const size_t first = url.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    const size_t last = url.find_last_not_of(" \t");
    const std::string_view s = url.substr(first, last - first + 1);
    for (char c : s)
        if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7F) return {};

    // A scheme is a letter, then letters, digits, '+', '-' or '.', then ':'.
    size_t i = 0;
    if (IsAlpha(s[0])) {
        i = 1;
        while (i < s.size() && (IsAlpha(s[i]) || IsDigit(s[i]) || s[i] == '+' || s[i] == '-' || s[i] == '.')) ++i;
    }
    if (i > 0 && i < s.size() && s[i] == ':') {
        const std::string scheme = UpperCase(s.substr(0, i));
        if (scheme != "HTTP" && scheme != "HTTPS") return {};
        const std::string_view rest = s.substr(i + 1);
        if (rest.substr(0, 2) != "//") return {};
        if (HostEnd(rest.substr(2)) == 0) return {};
        return std::string(s);
    }
    // No scheme: a host name with a dot in it ("www.example.com"), else nothing.
    if (s[0] == '/' || s[0] == '.' || s[0] == '\\') return {};
    const std::string_view host = s.substr(0, HostEnd(s));
    if (host.find('.') == std::string_view::npos || host.back() == '.' || host.find('\\') != std::string_view::npos)
        return {};
    return "http://" + std::string(s);
}

}  // namespace tx
