#!/usr/bin/env python3
"""sgr_cell.py ROW COL [LENGTH] < capture: the colours of cells of `tmux capture-pane -e -p`.

Prints "FG/BG" with the SGR colour numbers in force at each of the LENGTH cells (default 1)
from ROW, COL on, the cells separated by blanks (30-37 and 90-97 for the
foreground, 40-47 and 100-107 for the background; 39 and 49 for the terminal's defaults).
tmux writes a code only where the colours change, so the state carries from cell to cell
and from row to row.
"""
import re
import sys

SGR = re.compile(r"\x1b\[([0-9;]*)m")


def apply(codes, state):
    numbers = [int(c) for c in codes.split(";") if c != ""] or [0]
    i = 0
    while i < len(numbers):
        n = numbers[i]
        if n == 0:
            state["fg"], state["bg"] = 39, 49
        elif 30 <= n <= 37 or 90 <= n <= 97 or n == 39:
            state["fg"] = n
        elif 40 <= n <= 47 or 100 <= n <= 107 or n == 49:
            state["bg"] = n
        elif n in (38, 48) and i + 1 < len(numbers):
            # 256-colour or true-colour form: kept as one text.
            width = 3 if numbers[i + 1] == 5 else 5
            value = ":".join(str(x) for x in numbers[i : i + width])
            state["fg" if n == 38 else "bg"] = value
            i += width - 1
        i += 1


def main():
    row, col = int(sys.argv[1]), int(sys.argv[2])
    length = int(sys.argv[3]) if len(sys.argv) > 3 else 1
    found = []
    state = {"fg": 39, "bg": 49}
    for number, line in enumerate(sys.stdin.read().split("\n"), start=1):
        cell = 0
        pos = 0
        while pos < len(line):
            match = SGR.match(line, pos)
            if match:
                apply(match.group(1), state)
                pos = match.end()
                continue
            cell += 1
            if number == row and col <= cell < col + length:
                found.append(f"{state['fg']}/{state['bg']}")
            pos += 1
        if number == row:
            break
    print(" ".join(found) if found else "none")
    return 0 if len(found) == length else 1


if __name__ == "__main__":
    sys.exit(main())
