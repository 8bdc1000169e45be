#pragma once
#include <memory>
#include <string>

#include "midi/MidiPort.h"

namespace tx {

// Which MIDI service RtMidi talks to. JACK MIDI works everywhere a JACK
// server runs; the ALSA sequencer needs the kernel's sequencer device.
enum class TMidiApi { Jack, Alsa };

constexpr const char* MidiClientName = "Trovamix";

// MIDI ports on RtMidi. Nothing is contacted until the first call; when the
// service is missing the port lists are empty and Open fails with its reason.
// Device -1 of the output is the default route: the first system playback
// port when the service has one, else an unconnected port of our own for the
// patchbay to route.
std::unique_ptr<TMidiOutPort> MakeRtMidiOutPort(TMidiApi api = TMidiApi::Jack,
                                                const std::string& clientName = MidiClientName);
// Input delivers on a thread of its own (not the service's real-time thread),
// so the clock handler may take the engine lock.
std::unique_ptr<TMidiInPort> MakeRtMidiInPort(TMidiApi api = TMidiApi::Jack,
                                              const std::string& clientName = MidiClientName);

// The reason an open failed, in words a musician understands: what cannot be
// used, why, and what to do. `raw` is the service's own text; `serviceMissing`
// when the service itself could not be reached.
std::string MidiErrorInWords(TMidiApi api, bool output, const std::string& raw, bool serviceMissing);

}  // namespace tx
