#!/usr/bin/env python3
"""volume_steps.py: when the player's volume changes are heard, against the screen.

  record RAW TIMES        copies raw sound from stdin to RAW and writes, for every piece, the
                          clock time it arrived and the bytes so far to TIMES
  press SOCKET PANE KEY ROW COL TEXT
                          types KEY into the tmux pane and prints the clock times at which it
                          was typed and at which TEXT stood at ROW, COL (1-based), looked for
                          every few ms
  check RAW TIMES RATE EVENTS
                          RAW: 16-bit mono at RATE; EVENTS: a first line "TIME LEVEL", the
                          level (0..1000) held in the second before TIME, then lines "TIME
                          LEVEL...": a screen change and the levels the player sets from then
                          on, 300 ms apart. Prints, for each level, how long after the screen
                          change (plus its 300 ms steps) it was heard; fails when one was not
                          heard, or later than 50 ms.

A sample's clock time is taken as the earliest the recording allows: the time its piece
arrived, less what came after it in that piece, at the best piece of the whole recording.
The loudness is the peak of every 5 ms: a steady tone keeps it to a per cent.
"""
import array
import subprocess
import sys
import time

STEP = 0.3  # s between two fade steps
LATE = 0.050  # s: heard later than this after it was set is too late
BLOCK = 0.005  # s per loudness value


def record(raw_path, times_path):
    total = 0
    with open(raw_path, "wb") as raw, open(times_path, "w") as times:
        while True:
            data = sys.stdin.buffer.read1(65536)
            if not data:
                return 0
            now = time.time()
            raw.write(data)
            total += len(data)
            times.write("%.6f %d\n" % (now, total))


def press(socket, pane, key, row, col, text):
    tmux = ["tmux", "-L", socket, "-f", "/dev/null"]
    subprocess.run(tmux + ["send-keys", "-t", pane, key], check=True)
    sent = time.time()
    deadline = time.time() + 10
    while time.time() < deadline:
        screen = subprocess.run(tmux + ["capture-pane", "-p", "-N", "-t", pane],
                                capture_output=True, text=True).stdout.split("\n")
        now = time.time()
        line = screen[int(row) - 1] if len(screen) >= int(row) else ""
        start = int(col) - 1
        if line[start:start + len(text)] == text:
            print("%.6f %.6f" % (sent, now))
            return 0
        time.sleep(0.002)
    print("never: %r at %s, %s" % (text, row, col), file=sys.stderr)
    return 1


def check(raw_path, times_path, rate, events_path):
    rate = int(rate)
    data = open(raw_path, "rb").read()
    samples = array.array("h")
    samples.frombytes(data[: len(data) // 2 * 2])
    pieces = [line.split() for line in open(times_path).read().splitlines()]
    start = min(float(t) - int(n) / 2 / rate for t, n in pieces)
    block = int(rate * BLOCK)
    peaks = [max(abs(x) for x in samples[i:i + block]) or 1
             for i in range(0, len(samples) - block + 1, block)]

    def at(t):
        return int((t - start) / BLOCK)

    def median(first, last):
        values = sorted(peaks[max(0, first):last])
        return values[len(values) // 2] if values else 0

    events = [[float(f) for f in line.split()] for line in open(events_path).read().splitlines()]
    # The loudness of 1000, from the second before the first line, at its level.
    calibration, level = events[0]
    full = median(at(calibration) - 200, at(calibration) - 20) / (level / 1000.0)
    failed = 0
    for fields in events[1:]:
        shown = fields[0]
        for k, level in enumerate(fields[1:]):
            due = shown + k * STEP
            before = median(at(due) - 50, at(due) - 24)
            wanted = full * level / 1000.0
            if abs(wanted - before) < 0.05 * full:
                continue  # no step to hear
            threshold = (before + wanted) / 2
            heard = None
            for i in range(max(0, at(due) - 24), min(at(due) + 100, len(peaks) - 3)):
                if all((p > threshold) == (wanted > before) for p in peaks[i:i + 3]):
                    heard = start + i * BLOCK
                    break
            if heard is None:
                print("level %d due %.3f: not heard (%d -> %d)" % (level, due, before, wanted))
                failed = 1
                continue
            late = heard - due
            print("level %d heard %+.0f ms after it was set" % (level, late * 1000))
            if late > LATE:
                failed = 1
    return failed


def main(argv):
    commands = {"record": (record, 2), "press": (press, 6), "check": (check, 4)}
    if len(argv) < 2 or argv[1] not in commands or len(argv) - 2 != commands[argv[1]][1]:
        sys.stderr.write(__doc__)
        return 2
    return commands[argv[1]][0](*argv[2:])


if __name__ == "__main__":
    sys.exit(main(sys.argv))
