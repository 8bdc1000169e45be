#include "desktop/SettingsStore.h"

#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "model/SafeFile.h"
#include "model/TextCase.h"

namespace tx {

namespace {

// Far more than the program ever writes; a bigger file is not ours.
constexpr std::streamoff MaxSettingsFile = 4 << 20;

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

// A line break inside a name or text would start a new line of the file and
// could forge values; such writes are refused and the old value stays.
bool oneLine(std::string_view s) { return s.find_first_of("\r\n") == std::string_view::npos; }

}  // namespace

std::optional<int32_t> ParseStoredInteger(std::string_view text) {
    const char* first = text.data();
    const char* last = text.data() + text.size();
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        first += 2;
        base = 16;
    } else if (text.size() > 1 && text[0] == '$') {
        first += 1;
        base = 16;
    }
    if (first == last) return std::nullopt;
    if (base == 16) {
        if (*first == '-' || *first == '+') return std::nullopt;
        uint32_t u = 0;
        auto [p, ec] = std::from_chars(first, last, u, 16);
        if (ec != std::errc() || p != last) return std::nullopt;
        return int32_t(u);  // eight digits wrap as 32-bit values do: $FFFFFFFF is -1
    }
    if (*first == '+') ++first;
    int32_t v = 0;
    auto [p, ec] = std::from_chars(first, last, v, 10);
    if (first == last || ec != std::errc() || p != last) return std::nullopt;
    return v;
}

TSettingsStore TSettingsStore::Parse(std::string_view text) {
    TSettingsStore store;
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    TSection* current = nullptr;
    while (!text.empty()) {
        // CR LF, LF or a lone CR ends a line, so no value read holds a line
        // break that could not be written back.
        const size_t nl = text.find_first_of("\r\n");
        const std::string_view raw = text.substr(0, nl);
        const std::string_view line = trim(raw);
        size_t next = nl == std::string_view::npos ? text.size() : nl + 1;
        if (nl != std::string_view::npos && text[nl] == '\r' && next < text.size() && text[next] == '\n') ++next;
        text.remove_prefix(next);
        if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
            const std::string_view name = line.substr(1, line.size() - 2);
            current = &store.section(name);
            continue;
        }
        const size_t eq = raw.find('=');
        if (!current || eq == std::string_view::npos || line.empty() || line.front() == ';') continue;
        const std::string_view name = trim(raw.substr(0, eq));
        if (name.empty()) continue;
        const std::string_view value = raw.substr(eq + 1);  // kept exactly: a path may end in a space
        put(*current, name, value);                         // a later duplicate wins, as for any INI reader
    }
    return store;
}

TSettingsStore TSettingsStore::LoadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size <= 0 || size > MaxSettingsFile) return {};
    in.seekg(0);
    std::string text(static_cast<size_t>(size), '\0');
    if (!in.read(text.data(), size)) return {};
    return Parse(text);
}

std::string TSettingsStore::Text() const {
    std::string out;
    for (const TSection& s : sections_) {
        if (!out.empty()) out += '\n';
        out += '[' + s.Name + "]\n";
        for (const TValue& v : s.Values) out += v.Name + '=' + v.Text + '\n';
    }
    return out;
}

std::string TSettingsStore::SaveFile(const std::string& path) const {
    std::error_code ec;
    const std::filesystem::path parent = std::filesystem::path(path).parent_path();
    if (!parent.empty()) std::filesystem::create_directories(parent, ec);
    return WriteFileSafely(path, Text());
}

const TSettingsStore::TSection* TSettingsStore::find(std::string_view section) const {
    const auto it = sectionIndex_.find(UpperCase(section));
    return it == sectionIndex_.end() ? nullptr : &sections_[it->second];
}

TSettingsStore::TSection& TSettingsStore::section(std::string_view name) {
    const auto [it, added] = sectionIndex_.try_emplace(UpperCase(name), sections_.size());
    if (added) sections_.push_back(TSection{std::string(name), {}, {}});
    return sections_[it->second];
}

void TSettingsStore::put(TSection& s, std::string_view name, std::string_view text) {
    const auto [it, added] = s.Index.try_emplace(UpperCase(name), s.Values.size());
    if (added)
        s.Values.push_back({std::string(name), std::string(text)});
    else
        s.Values[it->second].Text = std::string(text);
}

const std::string* TSettingsStore::findValue(std::string_view section, std::string_view name) const {
    const TSection* s = find(section);
    if (!s) return nullptr;
    const auto it = s->Index.find(UpperCase(name));
    return it == s->Index.end() ? nullptr : &s->Values[it->second].Text;
}

bool TSettingsStore::HasValue(std::string_view section, std::string_view name) const {
    return findValue(section, name) != nullptr;
}

int32_t TSettingsStore::ReadInteger(std::string_view section, std::string_view name, int32_t def) const {
    const std::string* text = findValue(section, name);
    if (!text) return def;
    return ParseStoredInteger(*text).value_or(def);
}

bool TSettingsStore::ReadBool(std::string_view section, std::string_view name, bool def) const {
    return ReadInteger(section, name, def ? 1 : 0) != 0;
}

std::string TSettingsStore::ReadString(std::string_view section, std::string_view name, const std::string& def) const {
    const std::string* text = findValue(section, name);
    return text ? *text : def;
}

void TSettingsStore::WriteString(std::string_view section, std::string_view name, std::string_view value) {
    // Only what reads back as written: a name that would parse as a section,
    // a comment or a differently trimmed name is refused too.
    if (!oneLine(section) || !oneLine(name) || !oneLine(value) || name.empty() || trim(name) != name ||
        name.front() == '[' || name.front() == ';' || name.find('=') != std::string_view::npos ||
        section.find(']') != std::string_view::npos)
        return;
    put(this->section(section), name, value);
}

void TSettingsStore::WriteInteger(std::string_view section, std::string_view name, int32_t value) {
    WriteString(section, name, std::to_string(value));
}

void TSettingsStore::WriteBool(std::string_view section, std::string_view name, bool value) {
    WriteString(section, name, value ? "1" : "0");
}

void TSettingsStore::KeepUnknown(const TSettingsStore& older) {
    // An empty section of the old file carries nothing, so only values are copied.
    for (const TSection& s : older.sections_)
        for (const TValue& v : s.Values)
            if (!HasValue(s.Name, v.Name)) WriteString(s.Name, v.Name, v.Text);
}

std::string SettingsFilePath() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    std::string base;
    if (config && *config == '/') {
        base = config;
    } else if (const char* home = std::getenv("HOME"); home && *home) {
        base = std::string(home) + "/.config";
    } else {
        return {};
    }
    if (base.back() != '/') base += '/';
    return base + "Trovamix/Trovamix.ini";
}

}  // namespace tx
