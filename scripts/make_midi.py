#!/usr/bin/env python3
"""make_midi.py SECONDS FILE...: writes each FILE as a Standard MIDI File of SECONDS seconds.

One track at 120 beats a minute: an ocarina, nearly a pure tone, plays one note in quarter
notes (half a second each) until SECONDS are full; the last note ends at SECONDS, rounded down
to a whole quarter. Every file gets its own note, a fifth apart from C4 (261.6 Hz, 392 Hz,
587.3 Hz, 880 Hz, then again), so that its sound can be told from the others'. Standard
library only.
"""
import struct
import sys

TICKS_PER_QUARTER = 480
MICROSECONDS_PER_QUARTER = 500000  # 120 beats a minute: a quarter is 0.5 s
NOTES = [60, 67, 74, 81]  # C4 G4 D5 A5
OCARINA = 79  # General MIDI program 80, counted from 0
VELOCITY = 112


def variable_length(value):
    """A MIDI variable-length quantity: 7 bits a byte, the high bit set on all but the last."""
    data = [value & 0x7F]
    value >>= 7
    while value:
        data.append(0x80 | (value & 0x7F))
        value >>= 7
    return bytes(reversed(data))


def track(seconds, note):
    quarters = int(seconds * 1000000 // MICROSECONDS_PER_QUARTER)
    events = variable_length(0) + b"\xff\x51\x03" + MICROSECONDS_PER_QUARTER.to_bytes(3, "big")
    events += variable_length(0) + bytes([0xC0, OCARINA])
    for _ in range(quarters):
        events += variable_length(0) + bytes([0x90, note, VELOCITY])
        events += variable_length(TICKS_PER_QUARTER) + bytes([0x80, note, 0])
    events += variable_length(0) + b"\xff\x2f\x00"  # end of track
    return events


def main(argv):
    if len(argv) < 3:
        sys.stderr.write(__doc__)
        return 2
    header = b"MThd" + struct.pack(">IHHH", 6, 0, 1, TICKS_PER_QUARTER)
    for index, path in enumerate(argv[2:]):
        events = track(float(argv[1]), NOTES[index % len(NOTES)])
        with open(path, "wb") as out:
            out.write(header + b"MTrk" + struct.pack(">I", len(events)) + events)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
