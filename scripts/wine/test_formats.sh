#!/bin/bash
# test_formats.sh [native]: every media type of the scan opened and played by the real player:
# by default varlo.exe under Wine (MCI's MPEGVideo device, which Wine builds on GStreamer),
# with "native" build/native/varlo (GStreamer behind the player's MCI command strings), with
# the GStreamer plugins that scripts/setup.sh installs.
#
# One folder holds a short file of each type, named "Ton - <type>.<ext>", each with a tone of
# its own pitch (ffmpeg; make_midi.py for .mid and .midi; jmac, Monkey's Audio, for .ape),
# x.mp3 of random bytes (none of them 0xFF, see make_files) and y.mp3 of random bytes with
# them. Two looks at it:
#   1. (Wine only) tools/mci_poller.exe opens each file with the player's own MCI commands,
#      plays it for a second and reports MCI's length and position.
#   2. The real player plays the folder in title order (key 2 at the sort prompt) while the
#      null sink's monitor is recorded. A title stands until it has played out (a length read
#      as 0 would end it after the 3-second closing wait) and its tone must sound; x.mp3 shows
#      "Can't open file!" and is skipped; y.mp3 is skipped or, where the device opens it and
#      its position stands still (Wine), ended; the list reaches the sort prompt of its
#      second cycle.
# Prints the matrix, one PASS or FAIL line per type and check, and "N passed, M failed"; exit
# code 1 when one failed. Wine's prefix of its own (build/wine-formats-prefix) is made afresh.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
player=${1:-wine}
export VW_ROOT=$(cd "$here/../.." && pwd)
export VW_RUN="$VW_ROOT/build/$player-formats-run"
export VW_EXE="$VW_ROOT/build/mingw/varlo.exe"
export VN_EXE="$VW_ROOT/build/native/varlo"
export WINEPREFIX="$VW_ROOT/build/wine-formats-prefix"
POLLER="$VW_ROOT/build/mingw/mci_poller.exe"
source "$here/lib.sh"
[ "$player" = native ] && source "$VW_ROOT/scripts/native/lib.sh"

MADE_SECONDS=5      # length of every made file
POLL_SECONDS=1      # how long the poller plays each file
LENGTH_TOLERANCE=10 # per cent
QUIET_DB=-50        # a tone held below this many dBFS did not sound
TITLE_TIMEOUT=30    # s the screen may stand still before the player counts as hanging
RATE=8000           # samples a second of the recording

# type, pitch of its tone in Hz, how ffmpeg makes it: "audio" (the tone) or "video" (a test
# picture with the tone), and the output options. "midi" is written by make_midi.py and
# "jmac" by jmac from a WAV file of the tone. The pitches stay 40 Hz or more away from the
# notes of the ocarina in the MIDI files and their overtones. The .mp4 holds music only, as
# the .m4a files of a music folder do.
FORMATS=(
    "ape   450  jmac"
    "avi   600  video -c:v mpeg4 -c:a libmp3lame"
    "divx  700  video -c:v mpeg4 -vtag DX50 -c:a libmp3lame -f avi"
    "flac  850  audio -c:a flac"
    "mid   261.6 midi"
    "midi  392  midi"
    "mov   950  video -c:v libx264 -pix_fmt yuv420p -c:a aac"
    "mp2   1100 audio -c:a mp2"
    "mp3   1250 audio -c:a libmp3lame"
    "mp4   1400 audio -c:a aac"
    "mpg   1500 video -c:v mpeg1video -c:a mp2 -f mpeg"
    "ogg   1650 audio -c:a libvorbis"
    "wav   1750 audio -c:a pcm_s16le"
    "wma   1900 audio -c:a wmav2"
    "wmv   2050 video -c:v wmv2 -c:a wmav2"
)
# In this order the titles play in title order: the names differ only in the type, and "."
# sorts before letters.
TYPES=()
declare -A pitch
for row in "${FORMATS[@]}"; do
    read -r type hz _ <<< "$row"
    TYPES+=("$type")
    pitch[$type]=$hz
done

passed=0
failed=0
result() { # result OK WHAT
    if [ "$1" = 1 ]; then
        echo "PASS $2"
        passed=$((passed + 1))
    else
        echo "FAIL $2"
        failed=$((failed + 1))
    fi
}
give_up() {
    echo "FAIL $1"
    echo "$passed passed, $((failed + 1)) failed"
    exit 1
}
# at_least A B: A >= B, for decimal numbers.
at_least() { python3 -c "import sys; sys.exit(0 if $1 >= $2 else 1)"; }

tools=(tmux pulseaudio parec ffmpeg jmac python3)
files=("$VN_EXE")
if [ "$player" = wine ]; then
    tools+=(wine wineboot wineserver)
    files=("$VW_EXE" "$POLLER")
fi
for tool in "${tools[@]}"; do
    command -v "$tool" > /dev/null || give_up "tools: no $tool (scripts/setup.sh installs it)"
done
for file in "${files[@]}"; do
    [ -f "$file" ] || give_up "build: no $file (scripts/build.sh native mingw)"
done

suite_start=$(date +%s)
rm -rf "$VW_RUN"
mkdir -p "$VW_RUN"
vw_start_pulse
recorder=
finish() {
    vw_stop_server
    wineserver -k 2> /dev/null || true
    [ -n "$recorder" ] && kill "$recorder" 2> /dev/null
    [ -n "${VW_PULSE_PID:-}" ] && kill "$VW_PULSE_PID" 2> /dev/null || true
}
trap finish EXIT
if [ "$player" = wine ]; then
    rm -rf "$WINEPREFIX"
    wineboot -i > "$VW_RUN/wineboot.log" 2>&1
    wineserver -w
fi

# --- The folder. ---
folder="$VW_RUN/Formate"
mkdir -p "$folder"
make_files() {
    local row type hz kind options input midi=()
    for row in "${FORMATS[@]}"; do
        read -r type hz kind options <<< "$row"
        local tone=(-f lavfi -i "sine=frequency=$hz:sample_rate=44100:duration=$MADE_SECONDS")
        local picture=(-f lavfi -i "testsrc=size=160x120:rate=25:duration=$MADE_SECONDS")
        local made="$folder/Ton - $type.$type"
        case $kind in
            audio) input=("${tone[@]}") ;;
            video) input=("${picture[@]}" "${tone[@]}") ;;
            jmac) input=("${tone[@]}") made="$VW_RUN/$type.wav" ;;
            midi)
                midi+=("$made")
                continue
                ;;
        esac
        # shellcheck disable=SC2086 # the options are words
        ffmpeg -nostdin -hide_banner -loglevel error -y "${input[@]}" $options "$made" ||
            return 1
        if [ "$kind" = jmac ]; then
            jmac c2 "$made" "$folder/Ton - $type.$type" || return 1
        fi
    done
    # Their notes in this order: C4 (261.6 Hz), G4 (392 Hz).
    python3 "$VW_ROOT/scripts/make_midi.py" "$MADE_SECONDS" "${midi[@]}" || return 1
    # Random bytes, but no 0xFF among them: no MPEG audio frame header can start there. Wine's
    # MPEG-1 splitter takes any .mp3 in which it finds one, reports a length made from the
    # file size, and its position then stays at 0 for ever.
    python3 -c 'import os, sys
sys.stdout.buffer.write(bytes(b for b in os.urandom(70000) if b != 0xFF)[:65536])' \
        > "$folder/x.mp3"
    # Random bytes as they come, of a fixed seed: Wine's device opens these, tells a length
    # of 13 s from their size, and its position then stands at 0 for ever.
    python3 -c 'import random, sys
sys.stdout.buffer.write(random.Random(2).randbytes(65536))' > "$folder/y.mp3"
}
make_start=$(date +%s)
make_files > "$VW_RUN/make.log" 2>&1 || {
    cat "$VW_RUN/make.log"
    give_up "making the files"
}
echo "files made in $(($(date +%s) - make_start)) s"

# --- 1. The files through the poller, one Wine process for all, one report line a file:
# "open=R polls=N length=L position=P cpu_ms=C". The native player has no poller: its
# matrix shows no MCI figures. ---
names=()
for type in "${TYPES[@]}"; do names+=("Ton - $type.$type"); done
names+=(x.mp3)
: > "$VW_RUN/poller.out"
if [ "$player" = wine ]; then
    poll_start=$(date +%s)
    (cd "$folder" && PULSE_SERVER=$VW_PULSE_SERVER wine "$POLLER" "${names[0]}" \
        "$POLL_SECONDS" "${names[@]:1}" 2> "$VW_RUN/poller.stderr" < /dev/null |
        tr -d '\r') > "$VW_RUN/poller.out"
    echo "poller: ${#names[@]} files in $(($(date +%s) - poll_start)) s"
fi
declare -A opened length position
i=0
for type in "${TYPES[@]}" x; do
    i=$((i + 1))
    report=$(sed -n "${i}p" "$VW_RUN/poller.out")
    opened[$type]=$(sed -n 's/.*open=\([0-9a-z]*\).*/\1/p' <<< "$report")
    length[$type]=$(sed -n 's/.*length=\([0-9]*\).*/\1/p' <<< "$report")
    position[$type]=$(sed -n 's/.*position=\([0-9]*\).*/\1/p' <<< "$report")
    : "${opened[$type]:=none}" "${length[$type]:=0}" "${position[$type]:=0}"
done

# --- 2. The real player over the whole folder, its sound recorded. ---
# Watches the screen and writes one line per change to EVENTS: seconds since the start, then
# "prompt", "title <interpreter>", "cant <file name>" or "blank" (the screen cleared between
# two titles). Key 2 at the first prompt; returns at the second, or with 1 when the screen
# stood still for TITLE_TIMEOUT.
watch_player() {
    local events=$1 start last="" state changed screen row3 row10 row11 row12 row13 now
    start=$(date +%s.%N)
    changed=$(date +%s)
    : > "$events"
    while :; do
        screen=$(vw_screen)
        row3=$(sed -n 3p <<< "$screen")
        row10=$(sed -n 10p <<< "$screen")
        row11=$(sed -n '11{s/^ *//;s/ *$//;p}' <<< "$screen")
        row12=$(sed -n 12p <<< "$screen")
        row13=$(sed -n '13{s/^ *//;s/ *$//;p}' <<< "$screen")
        state=""
        if [ "${row3:1:17}" = "sortierung nach?:" ]; then
            state=prompt
        elif [ "${row12:1:16}" = "Can't open file!" ] && [ -n "$row13" ]; then
            state="cant $row13"
        elif [ "${row10:0:2}" = "0)" ] && [ -n "$row11" ]; then
            state="title $row11"
        elif [ -z "$(tr -d ' \n' <<< "$screen")" ]; then
            state=blank
        fi
        now=$(date +%s.%N)
        if [ -n "$state" ] && [ "$state" != "$last" ]; then
            printf '%s %s\n' "$(python3 -c "print(round($now - $start, 2))")" "$state" >> "$events"
            last=$state
            changed=$(date +%s)
            if [ "$state" = prompt ]; then
                grep -q '^[0-9.]* \(title\|cant\) ' "$events" && return 0
                vw_key 2
            fi
        fi
        if [ $(($(date +%s) - changed)) -gt "$TITLE_TIMEOUT" ]; then
            echo "the screen stood still for ${TITLE_TIMEOUT}s:"
            vw_show
            return 1
        fi
        sleep "$VW_POLL"
    done
}
parec -s "$VW_PULSE_SERVER" -d null.monitor --raw --format=s16le --rate=$RATE --channels=1 \
    > "$VW_RUN/player.raw" 2> "$VW_RUN/parec.log" &
recorder=$!
player_start=$(date +%s)
if [ "$player" = wine ]; then
    vw_start player "$folder" sound
else
    VN_ENV=("XDG_DATA_HOME=$VW_RUN/data")
    vn_start player "$folder"
fi
watch_player "$VW_RUN/events"
player_ok=$?
player_seconds=$(($(date +%s) - player_start))
stop_ok=1
if [ "$player" = wine ]; then
    (vw_stop) || stop_ok=0
else
    (vn_stop) || stop_ok=0
fi
# The idle null sink hands its monitor the sound in blocks of up to 2 s.
sleep 2.5
kill -INT "$recorder" 2> /dev/null
wait "$recorder" 2> /dev/null
recorder=

# Seconds each title stood on the screen, until it was cleared for the next title.
declare -A stood sounded
while read -r interpreter seconds; do stood[$interpreter]=$seconds; done < <(
    python3 - "$VW_RUN/events" << 'EOF'
import sys
events = [line.split(" ", 1) for line in open(sys.argv[1]).read().splitlines()]
for (time, state), (after, _) in zip(events, events[1:]):
    if state.startswith("title "):
        print(state[6:], round(float(after) - float(time), 1))
EOF
)
hz_list=()
for type in "${TYPES[@]}"; do hz_list+=("${pitch[$type]}"); done
i=0
while read -r _ level; do
    sounded[${TYPES[$i]}]=$level
    i=$((i + 1))
done < <(python3 "$here/tone_levels.py" "$VW_RUN/player.raw" "$RATE" "${hz_list[@]}")
cant=$(sed -n 's/^[0-9.]* cant //p' "$VW_RUN/events" | tr '\n' ' ')

# --- The matrix and the checks. ---
echo
if [ "$player" = wine ]; then
    echo "MCI MPEGVideo under Wine: length and position from mci_poller after ${POLL_SECONDS} s of"
    echo "playing; seconds on varlo.exe's screen and the level of the file's own tone while it played."
else
    echo "The native player on GStreamer: seconds on its screen and the level of the file's own"
    echo "tone while it played."
fi
printf '%-6s %-7s %-10s %-12s %-12s %s\n' type opened "length ms" "position ms" "on screen s" \
    "tone dBFS"
for type in "${TYPES[@]}"; do
    open_text=no
    [ "${opened[$type]}" = 0 ] && [[ " $cant " != *" Ton - $type.$type "* ]] && open_text=yes
    [ "$player" = native ] && [[ " $cant " != *" Ton - $type.$type "* ]] && open_text=yes
    if [ "$player" = wine ]; then
        printf '%-6s %-7s %-10s %-12s %-12s %s\n' ".$type" "$open_text" "${length[$type]}" \
            "${position[$type]}" "${stood[$type]:--}" "${sounded[$type]:--}"
    else
        printf '%-6s %-7s %-10s %-12s %-12s %s\n' ".$type" "$open_text" - - \
            "${stood[$type]:--}" "${sounded[$type]:--}"
    fi
done
echo

made_ms=$((MADE_SECONDS * 1000))
for type in "${TYPES[@]}"; do
    why=""
    [[ " $cant " != *" Ton - $type.$type "* ]] || why+=" the player could not open it;"
    if [ "$player" = wine ]; then
        [ "${opened[$type]}" = 0 ] || why+=" MCI open gave ${opened[$type]};"
        ((${length[$type]} * 100 >= made_ms * (100 - LENGTH_TOLERANCE) &&
            ${length[$type]} * 100 <= made_ms * (100 + LENGTH_TOLERANCE))) ||
            why+=" length ${length[$type]} ms, not ${made_ms} ms +-${LENGTH_TOLERANCE} %;"
        # After a second of playing, at least half of it on the clock.
        ((${position[$type]} >= POLL_SECONDS * 500)) ||
            why+=" position ${position[$type]} ms after ${POLL_SECONDS} s;"
    fi
    # Played out: well beyond the 3-second closing wait that a length of 0 would give.
    at_least "${stood[$type]:-0}" "$MADE_SECONDS - 0.8" ||
        why+=" stood ${stood[$type]:-never} s on the player's screen;"
    at_least "${sounded[$type]:--120}" "$QUIET_DB" ||
        why+=" its ${pitch[$type]} Hz tone did not sound (${sounded[$type]:-?} dBFS);"
    [ -z "$why" ] && ok=1 || ok=0
    result "$ok" ".$type opens and plays${why:+:$why}"
done

ok=1
[ "$player" = native ] || [ "${opened[x]}" != 0 ] || ok=0
[[ " $cant " == *" x.mp3 "* ]] || ok=0
result "$ok" "x.mp3 of random bytes: the device cannot open it (${opened[x]}), the player \
shows \"Can't open file!\" (for: ${cant:-nothing})"
# y.mp3 is a title without an interpreter: "(   )" stands for it when it opened.
order=$(sed -n 's/^[0-9.]* \(title\|cant\) //p' "$VW_RUN/events" | tr '\n' ' ')
wanted="${TYPES[*]} x.mp3 "
[ "$player_ok" = 0 ] && { [ "$order" = "$wanted(   ) " ] || [ "$order" = "${wanted}y.mp3 " ]; } &&
    ok=1 || ok=0
y_seconds=$(python3 - "$VW_RUN/events" << 'EOF'
import sys
events = [line.split(" ", 1) for line in open(sys.argv[1]).read().splitlines()]
print(next((round(float(b[0]) - float(a[0]), 1) for a, b in zip(events, events[1:])
            if a[1] == "title (   )"), "-"))
EOF
)
echo "y.mp3 (random bytes): stood ${y_seconds} s on the screen (-: not opened)"
result "$ok" "the player plays the titles in title order and reaches the second sort prompt \
(${player_seconds} s)"
if [ "$ok" = 0 ]; then
    echo "    seen:   $order"
    echo "    wanted: $wanted, then y.mp3 or (   )"
    sed 's/^/    /' "$VW_RUN/events"
fi
result "$stop_ok" "the folder is byte-identical afterwards"

echo "format suite took $(($(date +%s) - suite_start)) s"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
