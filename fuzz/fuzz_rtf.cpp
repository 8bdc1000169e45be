// libFuzzer target for the rich-text reader. Besides finding faults it checks
// the round trip: whatever a damaged stream holds, what the writer makes of
// the document reads back to the same document and writes the same bytes.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "desktop/RichText.h"

namespace {

[[noreturn]] void broken(const char* what) {
    std::fprintf(stderr, "fuzz_rtf: %s\n", what);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const tx::TRichDocument doc = tx::ReadRtf(std::string_view(reinterpret_cast<const char*>(data), size));
    const std::string written = tx::WriteRtf(doc);
    const tx::TRichDocument again = tx::ReadRtf(written);
    if (!(again == doc)) broken("written document reads back different");
    if (tx::WriteRtf(again) != written) broken("writing is not stable");
    return 0;
}
