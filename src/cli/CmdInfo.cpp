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

// Buffered JSON output to a stdio stream.
class TJsonOut {
public:
    explicit TJsonOut(FILE* f) : f_(f) { buf_.reserve(BufferBytes + 4096); }
    ~TJsonOut() { Flush(); }

    void Raw(const char* s) { buf_ += s; }
    void Raw(char c) { buf_ += c; }
    void Int(long long v) {
        char t[24];
        std::snprintf(t, sizeof t, "%lld", v);
        buf_ += t;
        maybeFlush();
    }
    void Bool(bool v) { buf_ += v ? "true" : "false"; }
    void String(const std::string& utf8) {
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
        maybeFlush();
    }
    void Key(const char* k) {
        buf_ += '"';
        buf_ += k;
        buf_ += "\":";
    }
    template <typename Seq>
    void Array(const Seq& values) {
        buf_ += '[';
        bool first = true;
        for (const auto& v : values) {
            if (!first) buf_ += ',';
            first = false;
            Int(static_cast<long long>(v));
        }
        buf_ += ']';
    }
    bool Flush() {
        if (!buf_.empty() && std::fwrite(buf_.data(), 1, buf_.size(), f_) != buf_.size()) failed_ = true;
        buf_.clear();
        return !failed_;
    }
    bool Finish() {
        Flush();
        if (std::fflush(f_) != 0 || std::ferror(f_)) failed_ = true;
        return !failed_;
    }

private:
    static constexpr size_t BufferBytes = 1 << 16;
    void maybeFlush() {
        if (buf_.size() >= BufferBytes) Flush();
    }
    FILE* f_;
    std::string buf_;
    bool failed_ = false;
};

void writePattern(TJsonOut& j, const tx::PatternRecord& r) {
    j.Raw('{');
    j.Key("StepMask");
    j.Int(r.StepMask);
    j.Raw(",");
    j.Key("StepPan");
    j.Array(r.StepPan());
    j.Raw(",");
    j.Key("StepVolume");
    j.Array(r.StepVolume());
    j.Raw(",");
    j.Key("StepPitch");
    j.Array(r.StepPitch());
    j.Raw(",");
    j.Key("StepMix");
    j.Array(r.StepMix());
    j.Raw(",");
    j.Key("StepReso");
    j.Array(r.StepReso());
    j.Raw(",");
    j.Key("StepCutoff");
    j.Array(r.StepCutoff());
    j.Raw(",");
    j.Key("StepNote");
    j.Array(r.StepNote());
    j.Raw('}');
}

void writeChannel(TJsonOut& j, const tx::TChannel& c) {
    auto num = [&](const char* k, long long v) {
        j.Key(k);
        j.Int(v);
        j.Raw(',');
    };
    auto flag = [&](const char* k, bool v) {
        j.Key(k);
        j.Bool(v);
        j.Raw(',');
    };
    auto text = [&](const char* k, const std::string& v) {
        j.Key(k);
        j.String(tx::LoopTextToUtf8(v));
        j.Raw(',');
    };
    j.Raw('{');
    text("Name", c.Name);
    text("SampleFileName", c.SampleFileName);
    num("Volume", c.Volume);
    num("Pan", c.Pan);
    num("MidiChannel", c.MidiChannel);
    num("MidiNote", c.MidiNote);
    num("MidiPatch", c.MidiPatch);
    num("MidiBank", c.MidiBank);
    j.Key("Color");
    j.Array(std::initializer_list<int>{c.Color.r, c.Color.g, c.Color.b});
    j.Raw(',');
    j.Key("ControllerTable");
    j.Array(c.ControllerTable);
    j.Raw(',');
    num("DelayFeed", c.DelayFeed);
    num("DelayPan", c.DelayPan);
    num("DelayPitch", c.DelayPitch);
    num("DelayEchoes", c.DelayEchoes);
    num("DelayTime", c.DelayTime);
    num("DelayReso", c.DelayReso);
    num("DelayCutOff", c.DelayCutOff);
    num("DelayShift", c.DelayShift);
    num("MixWith", c.MixWith);
    j.Key("RandomWith");
    j.Array(c.RandomWith);
    j.Raw(',');
    num("FXFirst", c.FXFirst);
    num("FXSecondMix", c.FXSecondMix);
    num("FXSecondSine", c.FXSecondSine);
    num("CutOff", c.CutOff);
    num("Resonance", c.Resonance);
    num("Stretch", c.Stretch);
    num("PreAmp", c.PreAmp);
    num("Decay", c.Decay);
    num("Attack", c.Attack);
    num("StereoDelay", c.StereoDelay);
    num("FXThird", c.FXThird);
    num("MiddleNote", c.MiddleNote);
    flag("Enabled", c.Enabled);
    flag("RevStereo", c.RevStereo);
    flag("FadeLR", c.FadeLR);
    flag("ReverseSample", c.ReverseSample);
    flag("Pitchable", c.Pitchable);
    flag("DelayShuffled", c.DelayShuffled);
    flag("Minimized", c.Minimized);
    num("CutGroup", c.Sample.CutGroup);
    num("CutByGroup", c.Sample.CutByGroup);
    j.Key("Patterns");
    j.Raw('{');
    bool first = true;
    for (int p = 1; p <= tx::MaxPattern; ++p) {
        const tx::PatternRecord& r = c.Pattern(p);
        if (r.IsReset()) continue;
        if (!first) j.Raw(',');
        first = false;
        j.Raw('"');
        j.Int(p);
        j.Raw("\":");
        writePattern(j, r);
    }
    j.Raw("}}");
}

void writeLoop(TJsonOut& j, const tx::TLoop& loop) {
    auto num = [&](const char* k, long long v) {
        j.Key(k);
        j.Int(v);
        j.Raw(',');
    };
    j.Raw('{');
    num("LoadedVersion", loop.LoadedVersion);
    num("Tempo", loop.Tempo);
    num("CurrentPattern", loop.CurrentPattern);
    j.Key("SongMode");
    j.Bool(loop.SongMode);
    j.Raw(',');
    num("Shuffle", loop.Shuffle);
    num("MainVolume", loop.MainVolume);
    num("MainPitch", loop.MainPitch);
    num("MainResonance", loop.MainResonance);
    num("MainCutOff", loop.MainCutOff);
    num("SongLoopPosition", loop.SongLoopPosition);
    j.Key("Title");
    j.String(tx::LoopTextToUtf8(loop.Title));
    j.Raw(',');
    j.Key("URL");
    j.String(tx::LoopTextToUtf8(loop.URL));
    j.Raw(',');
    j.Key("ShowInfo");
    j.Bool(loop.ShowInfo);
    j.Raw(',');
    j.Key("Channels");
    j.Raw('[');
    for (int i = 0; i < loop.ChannelCount(); ++i) {
        if (i) j.Raw(',');
        writeChannel(j, loop.Channel(i));
    }
    j.Raw("],");
    j.Key("PlayList");
    j.Raw('{');
    bool first = true;
    for (int pos = 0; pos < tx::PlayListPositions; ++pos) {
        const auto& list = loop.PlayList.At(pos);
        if (list.empty()) continue;
        if (!first) j.Raw(',');
        first = false;
        j.Raw('"');
        j.Int(pos);
        j.Raw("\":");
        j.Array(list);
    }
    j.Raw("}}\n");
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
    options.OnSampleFileName = tx::MakeLoopSampleLoader(loop, std::move(where));
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
    TJsonOut j(stdout);
    writeLoop(j, loop);
    if (!j.Finish()) {
        Fail("stdout", std::string("cannot write the output: ") + std::strerror(errno));
        return ExitCannotOpen;
    }
    return ExitOk;
}

}  // namespace txcli
