// `trovamix-cli info LOOP.txp`: the loop as one JSON object on stdout. The
// JSON is streamed as it is produced, so a loop with every pattern in use
// needs no more memory than the loop itself.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <utility>

#include "cli/Commands.h"
#include "engine/SampleInstall.h"
#include "loopfile/LoopFile.h"
#include "loopfile/LoopText.h"
#include "model/Settings.h"

namespace txcli {

namespace {

// Buffered JSON output to a stdio stream. It places the commas itself: every
// value after the first of its object or array is preceded by one.
class TJsonOut {
public:
    explicit TJsonOut(FILE* f) : f_(f) { buf_.reserve(BufferBytes + 4096); }
    ~TJsonOut() { Flush(); }

    void BeginObject() { open('{'); }
    void EndObject() { close('}'); }
    void BeginArray() { open('['); }
    void EndArray() { close(']'); }
    // An object member's name; its value follows without a comma.
    void Key(const std::string& k) {
        separate();
        quoted(k);
        buf_ += ':';
        afterKey_ = true;
    }
    void Int(long long v) {
        separate();
        char t[24];
        std::snprintf(t, sizeof t, "%lld", v);
        buf_ += t;
        maybeFlush();
    }
    void Bool(bool v) {
        separate();
        buf_ += v ? "true" : "false";
    }
    void String(const std::string& utf8) {
        separate();
        quoted(utf8);
        maybeFlush();
    }
    template <typename Seq>
    void Array(const Seq& values) {
        BeginArray();
        for (const auto& v : values) Int(static_cast<long long>(v));
        EndArray();
    }
    // Members in one call each.
    void Field(const char* k, long long v) {
        Key(k);
        Int(v);
    }
    void Flag(const char* k, bool v) {
        Key(k);
        Bool(v);
    }
    void Text(const char* k, const std::string& loopText) {
        Key(k);
        String(tx::LoopTextToUtf8(loopText));
    }
    template <typename Seq>
    void List(const char* k, const Seq& values) {
        Key(k);
        Array(values);
    }

    bool Flush() {
        if (!buf_.empty() && std::fwrite(buf_.data(), 1, buf_.size(), f_) != buf_.size()) failed_ = true;
        buf_.clear();
        return !failed_;
    }
    bool Finish() {
        buf_ += '\n';
        Flush();
        if (std::fflush(f_) != 0 || std::ferror(f_)) failed_ = true;
        return !failed_;
    }

private:
    static constexpr size_t BufferBytes = 1 << 16;
    static constexpr int MaxDepth = 8;  // loop > channel > patterns > pattern > row
    void separate() {
        if (afterKey_) {
            afterKey_ = false;
        } else if (depth_ > 0) {
            if (!first_[depth_]) buf_ += ',';
            first_[depth_] = false;
        }
    }
    void open(char c) {
        separate();
        buf_ += c;
        first_[++depth_] = true;
    }
    void close(char c) {
        buf_ += c;
        --depth_;
    }
    void quoted(const std::string& utf8) {
        buf_ += '"';
        for (char ch : utf8) {
            const auto c = static_cast<unsigned char>(ch);
            if (c == '"' || c == '\\') {
                buf_ += '\\';
                buf_ += ch;
            } else if (c < 0x20) {
                char t[8];
                std::snprintf(t, sizeof t, "\\u%04x", c);
                buf_ += t;
            } else {
                buf_ += ch;
            }
        }
        buf_ += '"';
    }
    void maybeFlush() {
        if (buf_.size() >= BufferBytes) Flush();
    }
    FILE* f_;
    std::string buf_;
    bool failed_ = false;
    bool afterKey_ = false;
    int depth_ = 0;
    bool first_[MaxDepth + 1] = {};
};

void writePattern(TJsonOut& j, const tx::PatternRecord& r) {
    j.BeginObject();
    j.Field("StepMask", r.StepMask);
    j.List("StepPan", r.StepPan());
    j.List("StepVolume", r.StepVolume());
    j.List("StepPitch", r.StepPitch());
    j.List("StepMix", r.StepMix());
    j.List("StepReso", r.StepReso());
    j.List("StepCutoff", r.StepCutoff());
    j.List("StepNote", r.StepNote());
    j.EndObject();
}

void writeChannel(TJsonOut& j, const tx::TChannel& c) {
    j.BeginObject();
    j.Text("Name", c.Name);
    j.Text("SampleFileName", c.SampleFileName);
    j.Field("Volume", c.Volume);
    j.Field("Pan", c.Pan);
    j.Field("MidiChannel", c.MidiChannel);
    j.Field("MidiNote", c.MidiNote);
    j.Field("MidiPatch", c.MidiPatch);
    j.Field("MidiBank", c.MidiBank);
    j.List("Color", std::initializer_list<int>{c.Color.r, c.Color.g, c.Color.b});
    j.List("ControllerTable", c.ControllerTable);
    j.Field("DelayFeed", c.DelayFeed);
    j.Field("DelayPan", c.DelayPan);
    j.Field("DelayPitch", c.DelayPitch);
    j.Field("DelayEchoes", c.DelayEchoes);
    j.Field("DelayTime", c.DelayTime);
    j.Field("DelayReso", c.DelayReso);
    j.Field("DelayCutOff", c.DelayCutOff);
    j.Field("DelayShift", c.DelayShift);
    j.Field("MixWith", c.MixWith);
    j.List("RandomWith", c.RandomWith);
    j.Field("FXFirst", c.FXFirst);
    j.Field("FXSecondMix", c.FXSecondMix);
    j.Field("FXSecondSine", c.FXSecondSine);
    j.Field("CutOff", c.CutOff);
    j.Field("Resonance", c.Resonance);
    j.Field("Stretch", c.Stretch);
    j.Field("PreAmp", c.PreAmp);
    j.Field("Decay", c.Decay);
    j.Field("Attack", c.Attack);
    j.Field("StereoDelay", c.StereoDelay);
    j.Field("FXThird", c.FXThird);
    j.Field("MiddleNote", c.MiddleNote);
    j.Flag("Enabled", c.Enabled);
    j.Flag("RevStereo", c.RevStereo);
    j.Flag("FadeLR", c.FadeLR);
    j.Flag("ReverseSample", c.ReverseSample);
    j.Flag("Pitchable", c.Pitchable);
    j.Flag("DelayShuffled", c.DelayShuffled);
    j.Flag("Minimized", c.Minimized);
    j.Field("CutGroup", c.Sample.CutGroup);
    j.Field("CutByGroup", c.Sample.CutByGroup);
    j.Key("Patterns");
    j.BeginObject();
    for (int p = 1; p <= tx::MaxPattern; ++p) {
        const tx::PatternRecord& r = c.Pattern(p);
        if (r.IsReset()) continue;
        j.Key(std::to_string(p));
        writePattern(j, r);
    }
    j.EndObject();
    j.EndObject();
}

void writeLoop(TJsonOut& j, const tx::TLoop& loop) {
    j.BeginObject();
    j.Field("LoadedVersion", loop.LoadedVersion);
    j.Field("Tempo", loop.Tempo);
    j.Field("CurrentPattern", loop.CurrentPattern);
    j.Flag("SongMode", loop.SongMode);
    j.Field("Shuffle", loop.Shuffle);
    j.Field("MainVolume", loop.MainVolume);
    j.Field("MainPitch", loop.MainPitch);
    j.Field("MainResonance", loop.MainResonance);
    j.Field("MainCutOff", loop.MainCutOff);
    j.Field("SongLoopPosition", loop.SongLoopPosition);
    j.Text("Title", loop.Title);
    j.Text("URL", loop.URL);
    j.Flag("ShowInfo", loop.ShowInfo);
    j.Key("Channels");
    j.BeginArray();
    for (int i = 0; i < loop.ChannelCount(); ++i) writeChannel(j, loop.Channel(i));
    j.EndArray();
    j.Key("PlayList");
    j.BeginObject();
    for (int pos = 0; pos < tx::PlayListPositions; ++pos) {
        const auto& list = loop.PlayList.At(pos);
        if (list.empty()) continue;
        j.Key(std::to_string(pos));
        j.Array(list);
    }
    j.EndObject();
    j.EndObject();
}

// The one place that decides how `info` reads a loop: the tool runs with the
// settings store's defaults, and each channel's sample is located and loaded
// as the program does; a sample found is named in its stored form, one not
// found keeps its name as stored.
tx::TLoopReadOptions infoReadOptions(const std::string& loopFile, tx::TLoop& loop, const tx::TSettings& settings) {
    (void)settings;
    std::error_code ec;
    const std::filesystem::path path = std::filesystem::absolute(loopFile, ec);
    tx::TLocateContext where{
        tx::TAppPaths::ForExecutable().ProgramFolder, ec ? loopFile : path.lexically_normal().string(), {}};
    tx::TLoopReadOptions options;
    options.OnSampleFileName = tx::MakeLoopSampleLoader(loop, std::move(where), nullptr, WarnRefusedSample);
    return options;
}

}  // namespace

int CmdInfo(const Args& args) {
    if (args.size() != 1) {
        Fail("info", "bad usage: expected trovamix-cli info LOOP.txp");
        return ExitUsage;
    }
    const std::string& file = args[0];
    const tx::TSettings settings;
    tx::TLoop loop;
    const tx::TLoopReadResult r = tx::ReadLoop(file, loop, infoReadOptions(file, loop, settings));
    if (!r.Ok()) {
        Fail(file, r.Reason);
        return r.Code == 1 ? ExitCannotOpen : ExitMalformed;
    }
    WarnIfEndedEarly(file, r);
    TJsonOut j(stdout);
    writeLoop(j, loop);
    if (!j.Finish()) {
        Fail("stdout", std::string("cannot write the output: ") + std::strerror(errno));
        return ExitCannotOpen;
    }
    return ExitOk;
}

}  // namespace txcli
