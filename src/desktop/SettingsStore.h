#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace tx {

// The per-user settings file: sections of "Name=text" lines, each section a
// key path ("TX SETTINGS\PlayListForm"). Sections and names match without
// case; sections and values keep the order they were first written in, and
// values nobody asks for are kept as they were read. Window thread only.
class TSettingsStore {
public:
    struct TValue {
        std::string Name, Text;
    };
    struct TSection {
        std::string Name;
        std::vector<TValue> Values;
        std::unordered_map<std::string, size_t> Index;  // upper-case name -> place in Values
    };

    // Reads "INI" text; lines that are neither a section nor a value are dropped.
    static TSettingsStore Parse(std::string_view text);
    // A missing, unreadable or oversized file gives an empty store: every default.
    static TSettingsStore LoadFile(const std::string& path);
    std::string Text() const;
    // Writes through a temporary file and a rename. Returns "" or why it failed.
    std::string SaveFile(const std::string& path) const;

    int32_t ReadInteger(std::string_view section, std::string_view name, int32_t def) const;
    bool ReadBool(std::string_view section, std::string_view name, bool def) const;
    std::string ReadString(std::string_view section, std::string_view name, const std::string& def) const;
    void WriteInteger(std::string_view section, std::string_view name, int32_t value);
    void WriteBool(std::string_view section, std::string_view name, bool value);
    void WriteString(std::string_view section, std::string_view name, std::string_view value);

    bool HasSection(std::string_view section) const { return find(section) != nullptr; }
    bool HasValue(std::string_view section, std::string_view name) const;
    const std::vector<TSection>& Sections() const { return sections_; }

    // Appends every section and value of `older` this store does not have, so
    // a save keeps what another version of the program wrote.
    void KeepUnknown(const TSettingsStore& older);

private:
    // Look-ups go through upper-case indexes, so a damaged file of a million
    // lines still loads in linear time.
    const TSection* find(std::string_view section) const;
    TSection& section(std::string_view name);  // found or appended
    static void put(TSection& s, std::string_view name, std::string_view text);
    const std::string* findValue(std::string_view section, std::string_view name) const;
    std::vector<TSection> sections_;
    std::unordered_map<std::string, size_t> sectionIndex_;
};

// The store's integer encoding: signed decimal, or hexadecimal after "0x",
// "0X" or "$"; anything else (or out of 32 bits) is unreadable.
std::optional<int32_t> ParseStoredInteger(std::string_view text);

// $XDG_CONFIG_HOME/Trovamix/Trovamix.ini (default ~/.config/Trovamix/Trovamix.ini).
std::string SettingsFilePath();

}  // namespace tx
