#pragma once
// A loop, an engine and a MIDI output on a recording port, for the MIDI tests.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/Engine.h"
#include "engine/EngineLock.h"
#include "midi/MidiOut.h"
#include "midi/MidiPort.h"
#include "model/Loop.h"
#include "model/Settings.h"

namespace txtest {

using Bytes = std::vector<uint8_t>;
using Messages = std::vector<Bytes>;

struct MidiRig {
    MidiRig() {
        loop.SetEngineLock(&lock);
        engine = std::make_unique<tx::TEngine>(loop, lock, settings);
        engine->UseWAVOnly = false;
        auto p = std::make_unique<tx::TRecordingMidiOutPort>(std::vector<std::string>{"Synth A", "Synth B"});
        port = p.get();
        out = std::make_unique<tx::TMidiOutput>(std::move(p));
        out->Bind(*engine);
        out->SetDeviceID(0);
        EXPECT_TRUE(out->Open());
        loop.PlayingPatterns.Assign(1);
    }

    // Channel i as a MIDI channel playing `note` on MIDI channel `midiChannel`.
    tx::TChannel& Midi(int i, uint8_t note, int midiChannel) {
        tx::TChannel& c = loop.Channel(i);
        c.MidiNote = note;
        c.MidiChannel = midiChannel;
        return c;
    }

    // Sends step s of `pattern` as the step source would.
    Messages Step(int s, int pattern = 1) {
        port->Clear();
        engine->CurrentStep = s;
        out->PlayMidiStep(pattern);
        return port->Messages();
    }

    tx::TLoop loop;
    tx::TEngineLock lock;
    tx::TSettings settings;
    std::unique_ptr<tx::TEngine> engine;
    tx::TRecordingMidiOutPort* port = nullptr;
    std::unique_ptr<tx::TMidiOutput> out;
};

}  // namespace txtest
