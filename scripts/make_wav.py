#!/usr/bin/env python3
"""make_wav.py SECONDS FILE...: writes each FILE as a 16-bit mono 22050 Hz WAV sine tone.

Every file gets its own pitch (a fifth apart, wrapping after four), so a listener can tell the
titles apart. Standard library only: no downloads.
"""
import math
import struct
import sys
import wave

RATE = 22050
AMPLITUDE = 8000


def write_tone(path, seconds, frequency):
    frames = int(RATE * seconds)
    fade = min(frames // 10, RATE // 20)  # short fades: no click at the ends
    samples = bytearray()
    for i in range(frames):
        gain = min(1.0, i / fade, (frames - 1 - i) / fade) if fade else 1.0
        value = int(AMPLITUDE * gain * math.sin(2 * math.pi * frequency * i / RATE))
        samples += struct.pack("<h", value)
    with wave.open(path, "wb") as out:
        out.setnchannels(1)
        out.setsampwidth(2)
        out.setframerate(RATE)
        out.writeframes(bytes(samples))


def main(argv):
    if len(argv) < 3:
        sys.stderr.write(__doc__)
        return 2
    seconds = float(argv[1])
    for index, path in enumerate(argv[2:]):
        write_tone(path, seconds, 330.0 * (1.5 ** (index % 4)))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
