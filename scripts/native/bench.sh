#!/bin/bash
# bench.sh: figures of the native player, printed as a table (called by scripts/bench.sh).
#
#   start   ms from starting build/native/varlo in a 69 x 22 tmux pane to the sort prompt on
#           it (with a drive C: that can hibernate, so the power probe shows no 2 s message)
#   cpu     CPU time per second of playback over BENCH_SECONDS (20) of one MP3, of every
#           thread of the whole process tree (/proc/PID/task/*/schedstat), against gst-play-1.0 (the same
#           GStreamer without a screen: the floor), mpv --no-video and mpg123 on the same
#           file in the same run; target varlo <= 1.3 x gst-play-1.0
#   memory  peak resident memory (VmHWM) of each, summed over its process tree
#
# Every player plays into one PulseAudio null sink of this run.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
seconds=${BENCH_SECONDS:-20}
export VW_ROOT=$root VW_RUN="$root/build/bench-native"
export VW_TMUX_SOCKET="varlo-bench-$$"
source "$root/scripts/wine/lib.sh"
rm -rf "$VW_RUN"
mkdir -p "$VW_RUN/media" "$VW_RUN/data"
vw_start_pulse
trap 'vw_stop_server; [ -n "${VW_PULSE_PID:-}" ] && kill "$VW_PULSE_PID" 2> /dev/null || true' EXIT
export PULSE_SERVER=$VW_PULSE_SERVER
media="$VW_RUN/media/Messung - Ton.mp3"
ffmpeg -loglevel error -f lavfi -i "sine=frequency=440:duration=$((seconds + 20))" -ac 2 \
    -ar 44100 -b:a 192k "$media"

# tree PID: the process and all of its descendants.
tree() {
    echo "$1"
    local child
    for child in $(pgrep -P "$1" || true); do tree "$child"; done
}
# cpu_ns PID: CPU time of the tree's threads so far, in ns (the scheduler's own account:
# finer than the 10 ms ticks of /proc/PID/stat).
cpu_ns() {
    local pid
    for pid in $(tree "$1"); do cat /proc/"$pid"/task/*/schedstat 2> /dev/null || true; done |
        awk '{ total += $1 } END { printf "%d\n", total }'
}
# hwm PID: peak resident memory of the tree in KiB.
hwm() {
    local total=0 pid
    for pid in $(tree "$1"); do
        [ -r "/proc/$pid/status" ] &&
            total=$((total + $(awk '/VmHWM/ { print $2 }' "/proc/$pid/status")))
    done
    echo "$total"
}
# measure NAME PID: "NAME cpu-ms-per-s peak-KiB", over the window of BENCH_SECONDS.
measure() {
    local begin end
    begin=$(cpu_ns "$2")
    sleep "$seconds"
    end=$(cpu_ns "$2")
    python3 -c "print('$1', round(($end - $begin) / 1e6 / $seconds, 2), $(hwm "$2"))"
}

# --- varlo: start-up, then one title playing ---
vw_tmux new-session -d -s bench -x 69 -y 22 \
    "cd '$VW_RUN/media' && XDG_DATA_HOME='$VW_RUN/data' VARLO_CAN_HIBERNATE=yes '$root/build/native/varlo'; sleep 600"
vw_tmux set-option -t bench status off > /dev/null
start=$(date +%s%N)
prompt_ms=missed
for _ in $(seq 1 1000); do
    if vw_tmux capture-pane -p -t bench | grep -q "sortierung nach?:"; then
        prompt_ms=$((($(date +%s%N) - start) / 1000000))
        break
    fi
    sleep 0.005
done
vw_tmux send-keys -t bench 2
for _ in $(seq 1 100); do
    vw_tmux capture-pane -p -t bench | grep -q "Messung" && break
    sleep 0.1
done
sleep 1 # the first full redraw is not part of steady playback
varlo_pid=$(pgrep -P "$(vw_tmux display-message -p -t bench '#{pane_pid}')" -x varlo)
results=("$(measure varlo "$varlo_pid")")
vw_tmux kill-session -t bench

# --- the others, one after the other, on the same file ---
others=(
    "gst-play-1.0|gst-play-1.0 --no-interactive --quiet"
    "mpv|mpv --no-video --no-terminal --ao=pulse"
    "mpg123|mpg123 -q -o pulse"
)
for entry in "${others[@]}"; do
    name=${entry%%|*}
    command=${entry#*|}
    if ! command -v "${command%% *}" > /dev/null; then
        results+=("$name - -")
        continue
    fi
    $command "$media" > /dev/null 2>&1 < /dev/null &
    pid=$!
    sleep 2 # loading and prerolling, as varlo's window starts after them
    results+=("$(measure "$name" "$pid")")
    kill "$pid" 2> /dev/null || true
    wait "$pid" 2> /dev/null || true
done

python3 - "$prompt_ms" "$seconds" "${results[@]}" << 'PY'
import sys
prompt, seconds, rows = sys.argv[1], sys.argv[2], [r.split() for r in sys.argv[3:]]
cpu = {name: value for name, value, _ in rows}
print("native varlo, one MP3 over %s s                value      target" % seconds)
print("start to the sort prompt, ms                %10s" % prompt)
for name, value, peak in rows:
    memory = "-" if peak == "-" else "%.1f" % (int(peak) / 1024)
    print("%-13s CPU ms per s %9s   peak MiB %6s" % (name, value, memory))
try:
    ratio = float(cpu["varlo"]) / float(cpu["gst-play-1.0"])
    print("ratio varlo / gst-play-1.0                  %10.2f     <= 1.3 %s"
          % (ratio, "met" if ratio <= 1.3 else "NOT met"))
except (KeyError, ValueError, ZeroDivisionError):
    print("ratio varlo / gst-play-1.0                  %10s" % "-")
PY
