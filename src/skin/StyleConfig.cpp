#include "skin/StyleConfig.h"

#include <charconv>

#include "skin/ControlNames.h"
#include "model/TextCase.h"

namespace tx {

namespace {

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

std::vector<std::string_view> splitList(std::string_view v) {
    std::vector<std::string_view> items;
    for (;;) {
        const size_t comma = v.find(',');
        items.push_back(trim(v.substr(0, comma)));
        if (comma == std::string_view::npos) return items;
        v.remove_prefix(comma + 1);
    }
}

// Parses one line's values and notes each number that cannot be read.
class TLine {
public:
    TLine(int line, std::string_view key, std::string_view value, std::vector<TConfigProblem>& problems)
        : line_(line), key_(key), items_(splitList(value)), problems_(problems) {}

    size_t Count() const { return items_.size(); }
    std::string_view Item(size_t i) const { return i < items_.size() ? items_[i] : std::string_view{}; }

    // A number that leaves its property unchanged when empty or unreadable.
    std::optional<int> Number(size_t i) const {
        const std::string_view s = Item(i);
        if (s.empty()) return std::nullopt;
        std::optional<int> n = ParseStyleNumber(s);
        if (!n) Problem("unreadable number \"" + std::string(s) + "\" in " + std::string(key_));
        return n;
    }
    // A number that counts as 0 when empty or unreadable.
    int NumberOrZero(size_t i) const { return Number(i).value_or(0); }
    std::optional<uint32_t> Colour(size_t i) const {
        std::optional<int> n = Number(i);
        if (!n) return std::nullopt;
        if (uint32_t(*n) > 0xFFFFFF) Problem("colour " + std::string(Item(i)) + " has bits above 24; they are ignored");
        return uint32_t(*n) & 0xFFFFFF;
    }
    void Problem(std::string what) const { problems_.push_back({line_, std::move(what)}); }
    void WantCount(size_t lo, size_t hi) const {
        if (Count() < lo || Count() > hi)
            Problem(std::string(key_) + " takes " +
                    (lo == hi ? std::to_string(lo) : std::to_string(lo) + " to " + std::to_string(hi)) +
                    " values, not " + std::to_string(Count()));
    }

private:
    int line_;
    std::string_view key_;
    std::vector<std::string_view> items_;
    std::vector<TConfigProblem>& problems_;
};

void applyFont(const TLine& l, TStyleFont& font) {
    l.WantCount(1, 3);
    if (!l.Item(0).empty()) font.Name = std::string(l.Item(0));
    if (auto c = l.Colour(1)) font.Colour = *c;
    if (auto h = l.Number(2)) font.Height = *h;
}

void applyControl(const TLine& l, const TStyleControl& control, TStyleConfig& cfg) {
    if (l.Count() != 2 && l.Count() != 4)
        l.Problem(std::string(control.Name) + " takes 2 or 4 numbers, not " + std::to_string(l.Count()));
    TControlPlace& p = cfg.Controls[std::string(control.Name)];
    if (auto x = l.Number(0)) p.X = *x;
    if (auto y = l.Number(1)) p.Y = *y;
    if (l.Count() >= 4) {
        if (auto w = l.Number(2)) p.W = *w;
        if (auto h = l.Number(3)) p.H = *h;
    }
}

void applyHole(const TLine& l, TStyleConfig& cfg) {
    size_t n = (l.Count() + 1) / 2;
    if (l.Count() % 2) l.Problem("DefHole has an x without a y; the y counts as 0");
    if (n > MaxHolePoints) {
        l.Problem("DefHole has " + std::to_string(n) + " points; those past " + std::to_string(MaxHolePoints) +
                  " are ignored");
        n = MaxHolePoints;
    }
    if (n < 3) l.Problem("DefHole needs at least 3 points to cut a hole");
    std::vector<TStylePoint> poly(n);
    for (size_t i = 0; i < n; ++i) poly[i] = {l.NumberOrZero(2 * i), l.NumberOrZero(2 * i + 1)};
    cfg.DefHoles.push_back(std::move(poly));
}

}  // namespace

std::optional<int> ParseStyleNumber(std::string_view s) {
    if (s.empty()) return std::nullopt;
    const char* first = s.data();
    const char* last = s.data() + s.size();
    if (*first == '$') {
        uint32_t u = 0;
        ++first;
        if (first == last || *first == '-' || *first == '+') return std::nullopt;
        auto [p, ec] = std::from_chars(first, last, u, 16);
        if (ec != std::errc() || p != last) return std::nullopt;
        return int(u);  // 32 bits as written: $FFFFFFFF is -1
    }
    if (*first == '+') ++first;
    int v = 0;
    auto [p, ec] = std::from_chars(first, last, v, 10);
    if (first == last || ec != std::errc() || p != last) return std::nullopt;
    return v;
}

TStyleConfig ParseStyleConfig(std::string_view text) {
    TStyleConfig cfg;
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);  // a UTF-8 mark from an editor
    int lineNo = 0;
    while (!text.empty()) {
        ++lineNo;
        const size_t nl = text.find('\n');
        std::string_view raw = text.substr(0, nl);
        text.remove_prefix(nl == std::string_view::npos ? text.size() : nl + 1);
        if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
        if (trim(raw).empty() || raw.front() == '\'') continue;

        const std::string line = UpperCase(raw);
        const size_t eq = line.find('=');
        if (eq == std::string::npos) {
            cfg.Problems.push_back({lineNo, "no \"=\" in the line; it is ignored"});
            continue;
        }
        const std::string_view key = std::string_view(line).substr(0, eq);
        const std::string_view value = std::string_view(line).substr(eq + 1);
        const TLine l(lineNo, key, value, cfg.Problems);

        if (key == "HINT") {
            const size_t bar = value.find('|');
            cfg.Hint = std::string(bar == std::string_view::npos ? value : value.substr(bar + 1));
        } else if (key == "MENUSEP") {
            std::vector<int> seps(l.Count());
            for (size_t i = 0; i < seps.size(); ++i) seps[i] = l.NumberOrZero(i);
            cfg.MenuSep = std::move(seps);
        } else if (key == "TITLEFONT") {
            applyFont(l, cfg.TitleFont);
        } else if (key == "HINTFONT") {
            applyFont(l, cfg.HintFont);
        } else if (key == "SCOPECOL") {
            l.WantCount(1, 1);
            if (auto c = l.Colour(0)) cfg.ScopeCol = *c;
        } else if (key == "SAMPLESCOPECOL") {
            l.WantCount(1, 3);
            for (size_t i = 0; i < cfg.SampleScopeCol.size(); ++i)
                if (auto c = l.Colour(i)) cfg.SampleScopeCol[i] = *c;
        } else if (key == "GRAPHCOL") {
            l.WantCount(1, 4);
            for (size_t i = 0; i < cfg.GraphCol.size(); ++i)
                if (auto c = l.Colour(i)) cfg.GraphCol[i] = *c;
        } else if (key == "DEFHOLE") {
            applyHole(l, cfg);
        } else if (key == "CHANBTNS") {
            l.WantCount(10, 10);
            std::array<TStylePoint, 5> pts{};
            for (size_t i = 0; i < pts.size(); ++i) pts[i] = {l.NumberOrZero(2 * i), l.NumberOrZero(2 * i + 1)};
            cfg.ChanBtns = pts;
        } else if (const TStyleControl* c = FindStyleControl(key)) {
            applyControl(l, *c, cfg);
        } else if (!key.empty() && (key.back() == ' ' || key.back() == '\t')) {
            cfg.Problems.push_back({lineNo, "unknown key \"" + std::string(key) + "\" (a space before \"=\")"});
        } else {
            cfg.Problems.push_back({lineNo, "unknown key or control \"" + std::string(key) + "\""});
        }
    }
    return cfg;
}

}  // namespace tx
