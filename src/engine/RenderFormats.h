#pragma once
// The file formats a render writes and their writers. WAV is written by our
// own code exactly as it always was; FLAC, Ogg Vorbis, Opus and MP3 go through
// libsndfile, as far as the machine's libsndfile can write them. Every writer
// writes to a temporary name beside the target and renames it only when the
// file is complete (TSafeFile). Any thread; one writer per file.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tx {

enum class TRenderFormat { Wav, Flac, Vorbis, Opus, Mp3 };

struct TRenderFormatInfo {
    TRenderFormat Format;
    const char* Name;         // "flac": for --format
    const char* Extension;    // ".flac"
    const char* Description;  // "FLAC (lossless)": for a file dialog
};

// Every format, WAV first.
const std::vector<TRenderFormatInfo>& RenderFormats();
const TRenderFormatInfo& RenderFormatInfo(TRenderFormat f);
// Whether this machine's libsndfile can write the format (WAV always).
bool RenderFormatWritable(TRenderFormat f);
// The format a name ("ogg" and "vorbis" are the same) or a file's extension
// (any letter case) stands for.
std::optional<TRenderFormat> RenderFormatNamed(const std::string& name);
std::optional<TRenderFormat> RenderFormatOfFile(const std::string& fileName);
// "wav, flac, ogg, opus, mp3": the formats this machine writes.
std::string WritableFormatList();
// Why a file cannot be rendered to in that format, or "" when it can: an
// extension no format has, or a format this machine cannot write.
std::string RenderFormatProblem(const std::string& fileName, std::optional<TRenderFormat> forced = {});

// What the formats' own tags carry, as the WAV's INFO chunk does.
struct TRenderTags {
    std::string Title;
    std::string Software;
    std::string Comment;
};

// One output file of a render: 44100 Hz 16-bit stereo frames go in,
// interleaved left then right.
class TRenderWriter {
public:
    virtual ~TRenderWriter() = default;  // discards an unfinished file
    // Opens the temporary file; null with `reason` set when it cannot.
    static std::unique_ptr<TRenderWriter> Create(TRenderFormat format, const std::string& target,
                                                 const TRenderTags& tags, std::string& reason);
    virtual bool Append(const int16_t* frames, int32_t count) = 0;
    // Completes the file (sizes, tags) and renames it into place.
    virtual bool Finish() = 0;
    // The most frames the format can describe (the 32-bit sizes of WAV).
    virtual int64_t MaxFrames() const = 0;
    virtual const std::string& Reason() const = 0;
};

}  // namespace tx
