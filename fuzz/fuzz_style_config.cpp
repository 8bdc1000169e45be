// libFuzzer target for the "config.txt" parser. Besides finding faults it
// checks the promises the widgets rely on: no hole has more than 64 points,
// every problem names a line of the input, and control placements only name
// controls of the table.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "skin/ControlNames.h"
#include "skin/StyleConfig.h"

namespace {

[[noreturn]] void broken(const char* what) {
    std::fprintf(stderr, "fuzz_style_config: %s\n", what);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const tx::TStyleConfig cfg = tx::ParseStyleConfig(text);
    size_t lines = 1;
    for (char c : text) lines += c == '\n';
    for (const auto& hole : cfg.DefHoles)
        if (hole.size() > tx::MaxHolePoints) broken("a hole with more than 64 points");
    for (const auto& p : cfg.Problems)
        if (p.Line < 1 || size_t(p.Line) > lines) broken("a problem on a line that does not exist");
    for (const auto& [name, place] : cfg.Controls)
        if (!tx::FindStyleControl(name)) broken("a placement for an unknown control");
    return 0;
}
