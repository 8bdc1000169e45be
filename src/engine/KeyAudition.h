#pragma once

namespace tx {

class TEngine;

// Plays a channel's sample once at `key` as the keyboard editor auditions a
// step: at the channel's volume weighted by the step's volume, pitched by
// (key - middle note) semitones, at the channel's pan, filter open. Window
// thread; takes the engine lock for the one voice. Nothing for a channel
// without a sample.
void PlayChannelKey(TEngine& engine, int channel, int step, int key);

}  // namespace tx
