// libFuzzer target for the loop file reader. Besides finding faults it checks
// two properties on every input: reading in tiny blocks gives the same loop
// as reading in one piece, and whatever was read writes back to a file that
// reads to exactly the same loop.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "loopfile/LoopFile.h"

namespace {

[[noreturn]] void broken(const char* what) {
    std::fprintf(stderr, "fuzz_loopfile: %s\n", what);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Kept between inputs: every read resets its loop anyway, and building
    // fresh loops would double the cost of each input.
    // The values a new loop keeps go back to their start values, so that each
    // input behaves the same whatever came before it.
    static tx::TLoop loop, blocks, again;
    for (tx::TLoop* l : {&loop, &blocks, &again}) {
        l->Tempo = 140;
        l->CurrentPattern = 1;
        l->SongMode = false;
    }
    const tx::TLoopReadResult r = tx::ReadLoopFromMemory(data, size, loop);
    if (r.Code != 0 && r.Code != 2) broken("result other than 0 or 2 from memory");
    if (loop.ChannelCount() < tx::MinChannels || loop.ChannelCount() > tx::MaxLoopChannels)
        broken("channel count out of bounds");
    const std::vector<uint8_t> image = tx::BuildLoopFile(loop);

    tx::TLoopReadOptions tiny;
    tiny.BlockBytes = 1 + size % 7;
    const tx::TLoopReadResult rb = tx::ReadLoopFromMemory(data, size, blocks, tiny);
    if (rb.Code != r.Code || rb.EndedEarly != r.EndedEarly) broken("block size changes the result");
    if (tx::BuildLoopFile(blocks) != image) broken("block size changes the loop");

    const tx::TLoopReadResult r2 = tx::ReadLoopFromMemory(image.data(), image.size(), again);
    if (r2.Code != 0 || r2.EndedEarly) broken("the writer's file does not read back cleanly");
    if (tx::BuildLoopFile(again) != image) broken("the writer's file reads back to another loop");
    return 0;
}
