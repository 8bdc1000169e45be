// libFuzzer target for the settings reader. Besides finding faults it checks
// the clamps and the round trip: whatever a damaged file holds, the values
// that size buffers stay within half a second, at most 10 favourites are
// read, and what is saved reads back to the same save.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "desktop/DesktopSettings.h"

namespace {

[[noreturn]] void broken(const char* what) {
    std::fprintf(stderr, "fuzz_settings: %s\n", what);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const tx::TSettingsStore store =
        tx::TSettingsStore::Parse(std::string_view(reinterpret_cast<const char*>(data), size));
    const tx::TDesktopSettings s = tx::LoadDesktopSettings(store);
    if (s.BufferLength < 1 || s.BufferLength > tx::MaxBufferFrames) broken("buffer length out of range");
    if (s.AheadLength < 1 || s.AheadLength > tx::MaxBufferFrames) broken("ahead length out of range");
    if (s.Favorites && s.Favorites->size() > size_t(tx::MaxFavorites)) broken("more than 10 favourites");
    const std::string saved = tx::SaveDesktopSettings(s, store).Text();
    const tx::TSettingsStore again = tx::TSettingsStore::Parse(saved);
    if (tx::SaveDesktopSettings(tx::LoadDesktopSettings(again), again).Text() != saved) broken("save does not round-trip");
    return 0;
}
