// libFuzzer target: the instance link's line splitter and parser on any byte
// stream. Lines stay within the limit, and a parsed file path re-encodes to a
// line that parses to the same path.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "desktop/LinkProtocol.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    tx::TLineSplitter splitter;
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    // Two chunks, so lines split across reads are exercised too.
    size_t half = size / 2;
    for (std::string_view chunk : {bytes.substr(0, half), bytes.substr(half)}) {
        for (const auto& line : splitter.Feed(chunk)) {
            if (line.size() > tx::MaxLinkLine) __builtin_trap();
            auto msg = tx::ParseLinkLine(line);
            if (msg && msg->Command == tx::TLinkCommand::File) {
                std::string again = tx::FileLine(msg->Path);
                again.pop_back();
                auto back = tx::ParseLinkLine(again);
                if (!back || back->Path != msg->Path) __builtin_trap();
            }
        }
    }
    return 0;
}
