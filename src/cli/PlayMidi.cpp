#include "cli/PlayMidi.h"

#include "midi/LoopTimer.h"
#include "midi/MidiIn.h"
#include "midi/MidiOut.h"
#if TROVAMIX_HAVE_DEVICES
#include "midi/devices/RtMidiPorts.h"
#endif

namespace txcli {

TPlayMidi::TPlayMidi() = default;

TPlayMidi::~TPlayMidi() {
    if (engine_) {
        tx::TLockGuard g(&engine_->EL);
        engine_->SyncToInput = false;
    }
    if (in_) in_->Close();
    sync_.reset();
    in_.reset();
    timer_.reset();
    if (out_) out_->Close();
    out_.reset();
}

std::string TPlayMidi::Open(tx::TEngine& engine, const std::string& outName, const std::string& syncName) {
#if TROVAMIX_HAVE_DEVICES
    engine_ = &engine;
    engine.SetUseWAVOnly(false);  // "Midi only": the step timer or the clock drives the steps
    if (!outName.empty() && outName != tx::MidiNoneItem) {
        out_ = std::make_unique<tx::TMidiOutput>(tx::MakeRtMidiOutPort());
        int dev = outName == "default" ? tx::DefaultMidiRoute : out_->FindDevice(outName);
        if (dev < tx::DefaultMidiRoute)
            return "MIDI output " + outName + ": no such JACK MIDI port (is the JACK server running?)";
        out_->SetDeviceID(dev);
        if (!out_->Open()) return "MIDI output " + out_->ProductName() + ": " + out_->LastErrorText;
        out_->Bind(engine);
        // What loading a loop sends to the instrument.
        for (int c = 0; c < engine.Loop.ChannelCount(); ++c) {
            out_->SendChannelSetup(c);
            out_->SendControllerTable(c);
        }
        std::fprintf(stderr, "MIDI output: %s\n", out_->ProductName().c_str());
    }
    timer_ = std::make_unique<tx::TLoopTimer>(engine);
    if (!syncName.empty()) {
        in_ = std::make_unique<tx::TMidiInput>(tx::MakeRtMidiInPort());
        int dev = in_->FindDevice(syncName);
        if (dev < 0) return "MIDI input " + syncName + ": no such JACK MIDI port (is the JACK server running?)";
        in_->SetDeviceID(dev);
        sync_ = std::make_unique<tx::TMidiSync>(engine);
        sync_->Attach(*in_);
        sync_->OnPlayingState = [this](bool started) { ++(started ? starts_ : stops_); };
        sync_->OnTempo = [this](int bpm) { tempo_ = bpm; };
        {
            tx::TLockGuard g(&engine.EL);
            engine.SyncToInput = true;
        }
        if (!in_->Open()) return "MIDI input " + in_->ProductName() + ": " + in_->LastErrorText;
        try {
            in_->Start();
        } catch (const tx::EMidiInputError& e) {
            return "MIDI input " + in_->ProductName() + ": " + e.what();
        }
        std::fprintf(stderr, "following the MIDI clock of %s\n", in_->ProductName().c_str());
    }
    return {};
#else
    (void)engine;
    (void)outName;
    (void)syncName;
    return "this build has no MIDI devices";
#endif
}

void TPlayMidi::Poll(std::FILE* to) {
    for (int n = starts_; startsShown_ < n; ++startsShown_) std::fprintf(to, "MIDI start\n");
    for (int n = stops_; stopsShown_ < n; ++stopsShown_) std::fprintf(to, "MIDI stop\n");
    if (int t = tempo_; t != tempoShown_) {
        std::fprintf(to, "tempo from MIDI clock: %d BPM\n", t);
        tempoShown_ = t;
    }
}

}  // namespace txcli
