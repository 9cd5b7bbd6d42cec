#!/usr/bin/env python3
"""sgr_cell.py ROW COL [LENGTH] < capture: the colours of cells of `tmux capture-pane -e -p`.

Prints "FG/BG" with the SGR colour numbers in force at each of the LENGTH cells (default 1)
from ROW, COL on, the cells separated by blanks (30-37 and 90-97 for the
foreground, 40-47 and 100-107 for the background; 39 and 49 for the terminal's defaults).
tmux writes a code only where the colours change, so the state carries from cell to cell
and from row to row. A console colour that the native player sent as a 24-bit or 256-colour
value (in a terminal that takes those) shows as the number the palette form has, so that
screens compare by colour number whatever the terminal takes; any other such value stays
as one text ("38:2:1:2:3").
"""
import re
import sys

SGR = re.compile(r"\x1b\[([0-9;]*)m")

# The Windows console's 16 colours as the native player sends them: the foreground's palette
# number, the 24-bit value, the nearest of the 256 colours.
CONSOLE_COLOURS = [
    (30, (12, 12, 12), 232),  # 0 black
    (34, (0, 55, 218), 26),  # 1 blue
    (32, (19, 161, 14), 34),  # 2 green
    (36, (58, 150, 221), 68),  # 3 cyan
    (31, (197, 15, 31), 160),  # 4 red
    (35, (136, 23, 152), 90),  # 5 magenta
    (33, (193, 156, 0), 142),  # 6 yellow
    (37, (204, 204, 204), 252),  # 7 light grey
    (90, (118, 118, 118), 243),  # 8 dark grey
    (94, (59, 120, 255), 69),  # 9 light blue
    (92, (22, 198, 12), 40),  # 10 light green
    (96, (97, 214, 214), 80),  # 11 light cyan
    (91, (231, 72, 86), 167),  # 12 light red
    (95, (180, 0, 158), 127),  # 13 light magenta
    (93, (249, 241, 165), 229),  # 14 light yellow
    (97, (242, 242, 242), 255),  # 15 white
]
BY_RGB = {rgb: number for number, rgb, _ in CONSOLE_COLOURS}
BY_INDEX = {index: number for number, _, index in CONSOLE_COLOURS}


def palette_number(extended, base):
    """The palette number of 38/48;2;r;g;b or 38/48;5;n when it is a console colour."""
    if extended[1] == 2 and len(extended) == 5:
        number = BY_RGB.get(tuple(extended[2:5]))
    elif extended[1] == 5 and len(extended) == 3:
        number = BY_INDEX.get(extended[2])
    else:
        number = None
    if number is None:
        return ":".join(str(x) for x in extended)
    return number if base == 38 else number + 10


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
            # 256-colour or true-colour form.
            width = 3 if numbers[i + 1] == 5 else 5
            value = palette_number(numbers[i : i + width], n)
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
