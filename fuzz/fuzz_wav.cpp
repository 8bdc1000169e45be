// libFuzzer target for the WAV sample reader and the effect chain behind it.
// Besides finding faults it checks that a loaded sample is consistent and
// that processing it keeps its frames and lengths consistent.
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "samples/Samples.h"

namespace {

[[noreturn]] void broken(const char* what) {
    std::fprintf(stderr, "fuzz_wav: %s\n", what);
    std::abort();
}

// The reader maps a named file; an anonymous memory file stands in for one.
int memoryFile() {
    static const int fd = ::memfd_create("fuzz_wav", MFD_CLOEXEC);
    if (fd < 0) broken("memfd_create");
    return fd;
}

constexpr int32_t MaxProcessedFrames = 1 << 16;  // keeps each run short

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const int fd = memoryFile();
    if (::ftruncate(fd, 0) != 0 || ::pwrite(fd, data, size, 0) != ssize_t(size)) broken("cannot write the input");
    const std::string path = "/proc/self/fd/" + std::to_string(fd);

    tx::TWAVSample s;
    s.PlayLength = 77;
    const int r = tx::LoadWAV(path, s);
    if (r != 0) {
        if (s.HasData() || s.Length != 0) broken("a failed load changed the sample");
        return 0;
    }
    if (s.Data.size() != size_t(s.Length) * 2 || s.Length < 0) broken("Length does not match Data");
    if (s.PlayLength != 77) broken("the loader touched PlayLength");
    if (s.Length == 0 || s.Length > MaxProcessedFrames) return 0;

    // Effect values taken from the input, so the fuzzer explores the chain too.
    tx::TChannel ch(0);
    const uint8_t k = data[size - 1];
    ch.StereoDelay = (k & 1) ? 2048 + int(size % 4096) - 2000 : 2048;
    ch.ReverseSample = k & 2;
    ch.FXThird = (k & 4) ? int(size * 7 % 513) : 256;
    ch.FXSecondMix = (k & 8) ? int(size % 257) : 0;
    ch.CutOff = (k & 16) ? int(size * 13 % 1021) : 0;
    ch.Resonance = (k & 32) ? int(size * 17 % 1021) : 0;
    ch.Attack = (k & 64) ? int(size % 1025) : 0;
    ch.Decay = (k & 64) ? int(size * 3 % 1025) : 0;
    ch.PreAmp = (k & 128) ? int(size % 257) : 0;
    ch.FXFirst = int(size * 5 % 257);
    ch.FadeLR = (k & 3) == 3;
    const int32_t before = s.Length;
    tx::ProcessChannelEffects(ch, s);
    if (s.Data.size() != size_t(s.Length) * 2) broken("processing broke Length");
    if (s.PlayLength < 0 || s.PlayLength > s.Length) broken("PlayLength out of range");
    if (s.Length < before) broken("processing lost frames");
    return 0;
}
