#!/usr/bin/env python3
"""markers.py: titles with marker tones at both ends, and how long each marker was heard.

  markers.py make FILE...      writes each FILE as a 4 s WAV (16 bit, mono, 44.1 kHz): 0.5 s at
                               2000 Hz (the start marker), 3 s at 500 Hz, 0.5 s at 1000 Hz
                               (the end marker), each tone at full strength from its first
                               sample to its last
  markers.py measure RAW RATE  reads a recording (s16le mono at RATE, 8000 recommended) and
                               prints one line per title heard, in order: the seconds of its
                               start marker, of its end marker (0 for one not heard) and of
                               the 500 Hz tone between them
  markers.py count HEARD SKIPS TYPE...
                               judges what measure printed (the file HEARD) against the titles
                               meant to be heard, one TYPE (wav, mp3, ...) each, in order, of
                               which SKIPS were skipped in their middle: a title heard with
                               less than 2.5 s of its 500 Hz tone, whose end marker is not
                               counted. Prints per type the markers heard whole (at least
                               0.45 s) of those counted, then each one cut; exit code 1 when
                               one was cut or the number of titles or of skipped ones differs

A title is a run of at least 0.25 s of the 500 Hz tone (a title skipped in its middle is one); its markers are the runs of 2000 Hz just
before and of 1000 Hz just after it. The recording is read in 10 ms windows, each named after
the one tone that holds most of its sound. Standard library only.
"""
import array
import math
import struct
import sys
import wave

RATE = 44100
AMPLITUDE = 12000
PARTS = ((2000, 0.5), (500, 3.0), (1000, 0.5))
WINDOW = 0.01
TONES = (2000, 500, 1000)


def make(path):
    samples = array.array("h")
    for frequency, seconds in PARTS:
        for i in range(int(RATE * seconds)):
            samples.append(int(AMPLITUDE * math.sin(2 * math.pi * frequency * i / RATE)))
    ramp = RATE // 500  # 2 ms: no click at the file's own ends
    for i in range(ramp):
        samples[i] = samples[i] * i // ramp
        samples[-1 - i] = samples[-1 - i] * i // ramp
    with wave.open(path, "wb") as out:
        out.setnchannels(1)
        out.setsampwidth(2)
        out.setframerate(RATE)
        out.writeframes(samples.tobytes())


def windows(raw, rate):
    """The tone of each window: 2000, 500, 1000, or 0 for silence or anything else."""
    n = int(rate * WINDOW)
    tables = []
    for frequency in TONES:
        tables.append((frequency,
                       [math.cos(2 * math.pi * frequency * i / rate) for i in range(n)],
                       [math.sin(2 * math.pi * frequency * i / rate) for i in range(n)]))
    samples = array.array("h")
    samples.frombytes(raw[:len(raw) // 2 * 2])
    labels = []
    for start in range(0, len(samples) - n + 1, n):
        piece = samples[start:start + n]
        energy = sum(x * x for x in piece)
        label = 0
        if energy > n * 300 * 300:  # above about -40 dBFS
            for frequency, cos, sin in tables:
                c = sum(x * y for x, y in zip(piece, cos))
                s = sum(x * y for x, y in zip(piece, sin))
                if 2 * (c * c + s * s) / n > 0.6 * energy:
                    label = frequency
                    break
        labels.append(label)
    return labels


def runs(labels):
    out = []
    for label in labels:
        if out and out[-1][0] == label:
            out[-1][1] += 1
        else:
            out.append([label, 1])
    return [(label, count * WINDOW) for label, count in out]


def measure(path, rate):
    with open(path, "rb") as source:
        heard = runs(windows(source.read(), rate))
    # A window across a change of tone holds neither: a gap of one window joins two runs.
    for k, (label, seconds) in enumerate(heard):
        if label != 500 or seconds < 0.25:
            continue
        start = end = 0.0
        for j in (k - 1, k - 2):
            if j >= 0 and heard[j][0] == 2000 and (j == k - 1 or heard[k - 1][1] <= WINDOW):
                start = heard[j][1]
                break
        for j in (k + 1, k + 2):
            if j < len(heard) and heard[j][0] == 1000 and (j == k + 1 or heard[k + 1][1] <= WINDOW):
                end = heard[j][1]
                break
        print("%.2f %.2f %.2f" % (start, end, seconds))


WHOLE = 0.45


def count(path, skips, types):
    with open(path) as source:
        heard = [tuple(float(x) for x in line.split()) for line in source if line.strip()]
    tally = {}
    cuts = []
    skipped = 0
    for k, kind in enumerate(types):
        start, end, body = heard[k] if k < len(heard) else (0.0, 0.0, 0.0)
        counted = [("start", start)]
        if body < 2.5:
            skipped += 1
        else:
            counted.append(("end", end))
        whole, total = tally.get(kind, (0, 0))
        for which, seconds in counted:
            total += 1
            if seconds >= WHOLE:
                whole += 1
            else:
                cuts.append("title %d (%s): %s marker %.2f s" % (k + 1, kind, which, seconds))
        tally[kind] = (whole, total)
    print(", ".join("%s %d/%d" % (kind, whole, total) for kind, (whole, total) in tally.items()))
    for cut in cuts:
        print(cut)
    if len(heard) != len(types):
        print("%d titles heard, %d meant" % (len(heard), len(types)))
    if skipped != skips:
        print("%d titles skipped in their middle, %d meant" % (skipped, skips))
    return 1 if cuts or len(heard) != len(types) or skipped != skips else 0


if __name__ == "__main__":
    if len(sys.argv) >= 3 and sys.argv[1] == "make":
        for name in sys.argv[2:]:
            make(name)
    elif len(sys.argv) == 4 and sys.argv[1] == "measure":
        measure(sys.argv[2], int(sys.argv[3]))
    elif len(sys.argv) >= 5 and sys.argv[1] == "count":
        sys.exit(count(sys.argv[2], int(sys.argv[3]), sys.argv[4:]))
    else:
        sys.exit(__doc__)
