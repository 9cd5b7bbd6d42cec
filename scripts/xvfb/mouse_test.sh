#!/bin/bash
# mouse_test.sh: the real varlo.exe in a real Wine console window on an Xvfb display, worked
# with mouse clicks only (xdotool), its screen read back through varlo_screen.exe. Prints a
# PASS or FAIL line per step and ends with "N passed, M failed"; exit code 1 when one failed.
#
# Steps: "2 Titel" at the sort prompt; "(+)"; the pause symbol twice; "(I)nterp." and
# "(T)itel" (each label is highlighted once the next title has started); a double-click on
# slot "1)"; "(O)rdner" and row 1 of the folder chooser; a right double-click and a right
# click at the quit prompt (exit code 0). The media folder, with a sub-folder the chooser
# lists, must be byte-identical afterwards. The main screen is kept as a PNG in
# build/xvfb-run/main_screen.png (VARLO_SCREENSHOT_DOCS=1 also copies it to docs/).
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
XV_ROOT=$(cd "$here/../.." && pwd)
export XV_ROOT
export XV_RUN="$XV_ROOT/build/xvfb-run"
exe="$XV_ROOT/build/mingw/varlo.exe"
source "$here/lib.sh"
source "$XV_ROOT/scripts/wine/snapshot.sh"

passed=0
failed=0
broken="" # the first failed step: the steps after it depend on it and are not run
pass() {
    echo "PASS $1"
    passed=$((passed + 1))
}
fail() {
    echo "FAIL $1"
    sed 's/^/    /' "$XV_RUN/step.log"
    failed=$((failed + 1))
    [ -n "$broken" ] || broken=$1
}
# step NAME FUNCTION: runs FUNCTION (output to step.log), skipped after a failed step.
step() {
    if [ -n "$broken" ]; then
        echo "FAIL $1 (not run: \"$broken\" failed)"
        failed=$((failed + 1))
        return
    fi
    if "$2" > "$XV_RUN/step.log" 2>&1; then pass "$1"; else fail "$1"; fi
}

for tool in Xvfb xdotool xwininfo xdpyinfo import wine wineserver pulseaudio iconv python3; do
    if ! command -v "$tool" > /dev/null; then
        echo "FAIL tools: no $tool (scripts/setup.sh installs it)"
        echo "0 passed, 1 failed"
        exit 1
    fi
done
for file in "$exe" "$XV_ROOT/build/mingw/varlo_screen.exe"; do
    if [ ! -f "$file" ]; then
        echo "FAIL build: no $file (scripts/build.sh mingw)"
        echo "0 passed, 1 failed"
        exit 1
    fi
done

rm -rf "$XV_RUN"
mkdir -p "$XV_RUN"
trap xv_cleanup EXIT
suite_start=$(xv_now)

# 30-second titles: a title that changes within a few seconds of a click changed because of
# the click. Title order: Alpha, Beta, Delta, Gamma, Omega.
media="$XV_RUN/Musik"
mkdir -p "$media/Archiv/alt"
(cd "$media" && python3 "$XV_ROOT/scripts/make_wav.py" 30 "Gamma - Westwind.wav" \
    "Alpha - Nordwind.wav" "Omega - Windstille.wav" "Beta - Ostwind.wav" \
    "Delta - Südwind.wav")
(cd "$media/Archiv" && python3 "$XV_ROOT/scripts/make_wav.py" 1 "Epsilon - Alt.wav")
printf 'Liste vom Sonntag\r\n' > "$media/Archiv/alt/liste.txt"
printf 'nur lesen\r\n' > "$media/liesmich.txt"
chmod 444 "$media/liesmich.txt"

# The snapshot must see a change of contents, of a name, and of the read-only attribute.
snapshot_sees_changes() {
    local tree="$XV_RUN/probe" n=0 change
    for change in "printf x >> \"\$tree/a.wav\"" "mv \"\$tree/a.wav\" \"\$tree/A.wav\"" \
        "chmod 644 \"\$tree/sub/b.txt\""; do
        rm -rf "$tree"
        mkdir -p "$tree/sub"
        printf 'RIFF' > "$tree/a.wav"
        printf 'b' > "$tree/sub/b.txt"
        chmod 444 "$tree/sub/b.txt"
        snapshot_take "$tree" "$XV_RUN/probe.before"
        eval "$change"
        snapshot_take "$tree" "$XV_RUN/probe.after"
        if snapshot_compare "$XV_RUN/probe.before" "$XV_RUN/probe.after" > /dev/null; then
            echo "not seen: $change"
            n=1
        fi
    done
    rm -rf "$tree"
    return $n
}
step "folder snapshots see changed contents, names and attributes" snapshot_sees_changes
snapshot_take "$media" "$XV_RUN/before.snapshot"

set_up() { xv_setup; }
step "Xvfb display, null-sink sound and the Wine prefix" set_up

# The sort prompt answers itself after about 4 s, and on a loaded machine one look at the
# screen can take longer than that: so "2 Titel" (row 3, columns 31..37) is clicked every
# 0.3 s from the moment the window stands until the main screen does. Before the prompt the
# clicks wait in the input queue or are dropped; after it, row 3 column 33 of the main
# screen is no click zone.
start_clicking() {
    rm -f "$XV_RUN/prompt-done"
    (
        for _ in $(seq 1 300); do
            [ -e "$XV_RUN/prompt-done" ] && break
            xv_click 3 33
            sleep 0.3
        done
    ) &
    XV_CLICKER=$!
}

start_player() {
    XV_ON_WINDOW=start_clicking xv_start "$media" "$exe"
    echo "window $XV_WINDOW at $XV_LEFT,$XV_TOP, ${XV_WIDTH}x${XV_HEIGHT}; pid $XV_PID"
}
step "varlo.exe opens a console window of 69 x 22 cells of 8 x 16 pixels" start_player

sort_prompt() {
    local result=0
    xv_wait_text 1 28 ">> Varlo <<" 60 || result=1
    touch "$XV_RUN/prompt-done"
    wait "$XV_CLICKER"
    [ $result = 0 ] || return 1
    xv_wait_text 10 32 "Alpha" 5 || return 1
    xv_wait_text 13 32 "Beta" 5 || return 1
    xv_wait_text 16 32 "Delta" 5 || return 1
    [ "$(xv_attributes 4 59 7)" = "79 79 79 79 79 79 79" ] || {
        echo "(T)itel not light blue on grey: $(xv_attributes 4 59 7)"
        return 1
    }
    [ "$(xv_attributes 3 59 8)" = "70 70 70 70 70 70 70 70" ] || {
        echo "(Z)ufall not black on grey: $(xv_attributes 3 59 8)"
        return 1
    }
    [ "$(xv_attributes 10 32 5)" = "79 79 79 79 79" ] || {
        echo "playing Alpha not highlighted: $(xv_attributes 10 32 5)"
        return 1
    }
}
step "click on \"2 Titel\" at the sort prompt: title order, Alpha plays" sort_prompt

main_screen() {
    xv_wait_text 2 24 "gefundene Titel: 5 " 5 || return 1
    # The file name's ü (Windows-1252 0xFC) reaches the console as code page 437 0x81.
    xv_wait_text 17 31 "Südwind" 1 || return 1
    [ "$(xv_text 1 1 1)$(xv_text 1 69 1)$(xv_text 6 1 1)$(xv_text 6 69 1)" = "╔╗╚╝" ] || {
        echo "no frame corners"
        xv_show
        return 1
    }
    xv_screenshot "$XV_RUN/main_screen.png" || return 1
    if [ "${VARLO_SCREENSHOT_DOCS:-0}" = 1 ]; then
        cp "$XV_RUN/main_screen.png" "$XV_ROOT/docs/main_screen.png"
    fi
}
step "main screen: frame, five titles, the file name's ü (screenshot)" main_screen

volume_up() {
    xv_wait_text 5 4 "(-)  4 " 5 || return 1
    xv_click 5 14
    xv_wait_text 5 4 "(-)  4.5 (+)" 5
}
step "click on \"(+)\": volume 4 -> 4.5" volume_up

pause_and_continue() {
    xv_click 5 48
    xv_wait_text 4 45 "(P)lay " 10 || return 1
    xv_wait_text 5 45 "   >   " 2 || return 1
    # The pause reads clicks once its input has been flushed, when the blinking text starts.
    xv_wait_text 4 27 ">> Pause <<|<< Pause >>" 5 || return 1
    xv_click 5 48
    # The fade-in takes about 1.2 s; then the header shows "(P)ause" again. Only a running
    # playback pass takes a volume click (the pause reads P, Esc and the symbol).
    sleep 2
    xv_click 5 14
    xv_wait_text 5 4 "(-)  5   (+)" 10 || return 1
    xv_wait_text 10 32 "Alpha" 1
}
step "click on the pause symbol twice: pause, then continue (a volume click works again)" pause_and_continue

sort_interpreter() {
    xv_click 5 60
    xv_wait_text 2 45 "Fade out..." 5 || true
    # The title is closed; about 3 s later the next one starts and draws the labels anew.
    xv_wait_text 10 32 "Beta" 15 || return 1
    xv_wait_text 5 59 "(I)nterp." 5 || return 1
    [ "$(xv_attributes 5 59 9)" = "79 79 79 79 79 79 79 79 79" ] || {
        echo "(I)nterp. not light blue: $(xv_attributes 5 59 9)"
        return 1
    }
    [ "$(xv_attributes 4 59 7)" = "70 70 70 70 70 70 70" ] || {
        echo "(T)itel still light blue: $(xv_attributes 4 59 7)"
        return 1
    }
}
step "click on \"(I)nterp.\": next title starts, (I)nterp. highlighted" sort_interpreter

sort_title() {
    xv_click 4 60
    xv_wait_text 10 32 "Delta" 15 || return 1
    xv_wait_text 4 59 "(T)itel" 5 || return 1
    [ "$(xv_attributes 4 59 7)" = "79 79 79 79 79 79 79" ] || {
        echo "(T)itel not light blue: $(xv_attributes 4 59 7)"
        return 1
    }
    [ "$(xv_attributes 5 59 9)" = "70 70 70 70 70 70 70 70 70" ] || {
        echo "(I)nterp. still light blue: $(xv_attributes 5 59 9)"
        return 1
    }
}
step "click on \"(T)itel\": next title starts, (T)itel highlighted" sort_title

slot_one() {
    xv_wait_text 13 32 "Gamma" 5 || return 1
    xv_click 13 33 1 2
    xv_wait_text 10 32 "Gamma" 15 || return 1
    [ "$(xv_attributes 10 32 5)" = "79 79 79 79 79" ] || {
        echo "Gamma not highlighted: $(xv_attributes 10 32 5)"
        return 1
    }
}
step "double-click on slot \"1)\": Gamma plays next" slot_one

folder_chooser() {
    xv_click 2 3
    xv_wait_text 1 2 "Hier übernehmen >>" 10 || return 1
    grep -q "Archiv" "$XV_RUN/screen.txt" || {
        echo "the chooser does not list Archiv"
        xv_show
        return 1
    }
    xv_click 1 10
    # Back on the main screen, and Gamma still playing: no new title was chosen.
    xv_wait_text 1 28 ">> Varlo <<" 10 || return 1
    xv_wait_text 10 32 "Gamma" 5 || return 1
    [ "$(xv_attributes 10 32 5)" = "79 79 79 79 79" ] || {
        echo "Gamma not highlighted: $(xv_attributes 10 32 5)"
        return 1
    }
    sleep 2
    xv_screen
    [ "$(xv_text 10 32 5)" = "Gamma" ] && [ "$(xv_text 2 45 11)" != "Fade out..." ]
}
step "click on \"(O)rdner\", then on row 1: the chooser closes, Gamma plays on" folder_chooser

quit_by_right_clicks() {
    xv_click 16 30 3 2
    xv_wait_text 1 1 " Programm beenden ? J/N" 15 || return 1
    sleep 0.5 # input of the first 200 ms is flushed
    xv_click 8 30 3 1
    local code
    code=$(xv_wait_exit 15) || {
        echo "the program did not end"
        return 1
    }
    [ "$code" = 0 ] || {
        echo "exit code $code"
        return 1
    }
}
step "right double-click, then right click at the prompt: exit code 0" quit_by_right_clicks

compare_folder() {
    snapshot_take "$media" "$XV_RUN/after.snapshot" &&
        snapshot_compare "$XV_RUN/before.snapshot" "$XV_RUN/after.snapshot" "media folder"
}
if compare_folder > "$XV_RUN/step.log" 2>&1; then
    pass "media folder and chooser folders byte-identical after the session"
else
    fail "media folder and chooser folders byte-identical after the session"
fi

xv_cleanup
echo "Xvfb mouse test took $(xv_elapsed "$suite_start") s"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
