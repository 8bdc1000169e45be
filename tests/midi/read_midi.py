"""Reads a Standard MIDI File with mido (an independent reader) and prints
what the tests check as one JSON object: format, division, tempo events and
every note with its tick, channel, key, velocity, length and note-off velocity."""
import json
import sys

import mido


def main(path):
    mid = mido.MidiFile(path)
    out = {"type": mid.type, "ticks_per_beat": mid.ticks_per_beat, "tracks": len(mid.tracks),
           "tempos": [], "notes": [], "last": None, "controls": []}
    for track in mid.tracks:
        tick = 0
        sounding = {}
        for msg in track:
            tick += msg.time
            if msg.type == "set_tempo":
                out["tempos"].append([tick, msg.tempo])
            elif msg.type == "control_change":
                out["controls"].append([tick, msg.channel, msg.control, msg.value])
            elif msg.type == "note_on" and msg.velocity > 0:
                note = {"tick": tick, "channel": msg.channel, "key": msg.note, "velocity": msg.velocity}
                sounding.setdefault((msg.channel, msg.note), []).append(note)
                out["notes"].append(note)
            elif msg.type == "note_off" or (msg.type == "note_on" and msg.velocity == 0):
                started = sounding.get((msg.channel, msg.note))
                if not started:
                    raise SystemExit("note-off without note-on at tick %d" % tick)
                note = started.pop(0)
                note["length"] = tick - note["tick"]
                note["off_velocity"] = msg.velocity
            out["last"] = msg.type
        if any(sounding.values()):
            raise SystemExit("notes left sounding at the end")
    print(json.dumps(out))


if __name__ == "__main__":
    main(sys.argv[1])
