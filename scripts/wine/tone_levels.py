#!/usr/bin/env python3
"""tone_levels.py RAW RATE HZ...: how loud each tone HZ sounds in a recording.

RAW is 16-bit little-endian mono sound at RATE samples a second, cut into blocks of 100 ms.
For each HZ prints one line "HZ DBFS": the amplitude of that frequency (Hann window, Goertzel
filter) that it keeps in its loudest second, the tenth-loudest block, in dB below a
full-scale sine; -120 when it never sounds. The clicks where sounds start and stop reach
every frequency, but only for a block or two. Tones 100 Hz apart or more do not disturb each
other's figure. Standard library only.
"""
import array
import math
import sys


HELD_BLOCKS = 10  # a second


def tone_levels(samples, rate, frequencies):
    window = rate // 10
    hann = [0.5 - 0.5 * math.cos(2 * math.pi * i / (window - 1)) for i in range(window)]
    coefficients = [2 * math.cos(2 * math.pi * f / rate) for f in frequencies]
    powers = [[] for _ in frequencies]
    for start in range(0, len(samples) - window + 1, window):
        block = [samples[start + i] * hann[i] for i in range(window)]
        if max(block) - min(block) < 2:
            continue  # silence
        for k, c in enumerate(coefficients):
            s1 = s2 = 0.0
            for x in block:
                s1, s2 = x + c * s1 - s2, s1
            powers[k].append(s1 * s1 + s2 * s2 - c * s1 * s2)
    # A sine of amplitude A gives a Goertzel power of (A * window / 4) ** 2 under a Hann window.
    levels = []
    for blocks in powers:
        blocks.sort(reverse=True)
        power = blocks[HELD_BLOCKS - 1] if len(blocks) >= HELD_BLOCKS else 0.0
        amplitude = 4 * math.sqrt(power) / window
        levels.append(20 * math.log10(amplitude / 32768) if amplitude >= 1 else -120.0)
    return levels


def main(argv):
    if len(argv) < 4:
        sys.stderr.write(__doc__)
        return 2
    samples = array.array("h")
    with open(argv[1], "rb") as raw:
        data = raw.read()
        samples.frombytes(data[: len(data) // 2 * 2])
    if sys.byteorder != "little":
        samples.byteswap()
    frequencies = [float(f) for f in argv[3:]]
    for f, level in zip(frequencies, tone_levels(samples, int(argv[2]), frequencies)):
        print("%g %.1f" % (f, level))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
