#!/bin/bash
# bench.sh: figures of the native player, printed as a table (called by scripts/bench.sh).
#
#   start      ms from starting build/native/varlo in a 69 x 22 tmux pane to the sort prompt
#              on it (with a drive C: that can hibernate, so the power probe shows no 2 s
#              message)
#   player     CPU time per second of playback over BENCH_SECONDS (20) of one 192 kbit/s MP3,
#              of every thread of the player's process tree (/proc/PID/task/*/schedstat)
#   wake-ups   context switches per second of those threads (voluntary and involuntary,
#              /proc/PID/task/*/status): how often the player keeps the processor awake
#   server     CPU time per second of the PulseAudio server the player feeds, over the
#              same window
#   memory     peak resident memory (VmHWM), summed over the player's process tree
#
# Each of varlo, gst-play-1.0 (the same GStreamer without a screen), mpv --no-video, mpg123
# and a bare GStreamer playbin whose PulseAudio sink takes 100 ms pieces into a 1 s buffer
# plays the same file, one after the other, into one null sink of this run's own PulseAudio.
# Targets: varlo + server at most mpg123 + server, varlo's wake-ups at most mpg123's.
# BENCH_VARLO=path measures another build of the native player.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
seconds=${BENCH_SECONDS:-20}
varlo=${BENCH_VARLO:-$root/build/native/varlo}
export VW_ROOT=$root VW_RUN="$root/build/bench-native"
export VW_TMUX_SOCKET="varlo-bench-$$"
source "$root/scripts/wine/lib.sh"
rm -rf "$VW_RUN"
mkdir -p "$VW_RUN/media" "$VW_RUN/data"
vw_start_pulse
trap 'vw_stop_server; [ -n "${VW_PULSE_PID:-}" ] && kill "$VW_PULSE_PID" 2> /dev/null || true' EXIT
[ -n "${VW_PULSE_PID:-}" ] || { echo "PulseAudio did not start"; exit 1; }
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
# cpu_ns PID...: CPU time of the processes' threads so far, in ns (the scheduler's own
# account: finer than the 10 ms ticks of /proc/PID/stat).
cpu_ns() {
    local pid
    for pid in "$@"; do cat /proc/"$pid"/task/*/schedstat 2> /dev/null || true; done |
        awk '{ total += $1 } END { printf "%d\n", total }'
}
# switches PID...: context switches of the processes' threads so far.
switches() {
    local pid
    for pid in "$@"; do cat /proc/"$pid"/task/*/status 2> /dev/null || true; done |
        awk '/_ctxt_switches:/ { total += $2 } END { printf "%d\n", total }'
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
# measure NAME PID: "NAME player-ms/s wake-ups/s server-ms/s peak-KiB" over BENCH_SECONDS.
measure() {
    local pids cpu0 cpu1 sw0 sw1 srv0 srv1
    pids=$(tree "$2")
    cpu0=$(cpu_ns $pids) sw0=$(switches $pids) srv0=$(cpu_ns "$VW_PULSE_PID")
    sleep "$seconds"
    pids=$(tree "$2")
    cpu1=$(cpu_ns $pids) sw1=$(switches $pids) srv1=$(cpu_ns "$VW_PULSE_PID")
    echo "$1 $(((cpu1 - cpu0) / seconds)) $(((sw1 - sw0) * 1000 / seconds))" \
        "$(((srv1 - srv0) / seconds)) $(hwm "$2")"
}

# --- varlo: start-up, then one title playing ---
vw_tmux new-session -d -s bench -x 69 -y 22 \
    "cd '$VW_RUN/media' && XDG_DATA_HOME='$VW_RUN/data' VARLO_CAN_HIBERNATE=yes '$varlo'; sleep 600"
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
sink="pulsesink latency-time=100000 buffer-time=1000000"
others=(
    "gst-play-1.0|gst-play-1.0 --no-interactive --quiet"
    "mpv|mpv --no-video --no-terminal --ao=pulse"
    "mpg123|mpg123 -q -o pulse"
    "playbin|gst-launch-1.0"
)
for entry in "${others[@]}"; do
    name=${entry%%|*}
    command=${entry#*|}
    if ! command -v "${command%% *}" > /dev/null; then
        results+=("$name - - - -")
        continue
    fi
    if [ "$name" = playbin ]; then
        uri=$(python3 -c 'import pathlib, sys; print(pathlib.Path(sys.argv[1]).as_uri())' "$media")
        gst-launch-1.0 -q playbin "audio-sink=$sink" "uri=$uri" > /dev/null 2>&1 < /dev/null &
    else
        $command "$media" > /dev/null 2>&1 < /dev/null &
    fi
    pid=$!
    sleep 2 # loading and prerolling, as varlo's window starts after them
    results+=("$(measure "$name" "$pid")")
    kill "$pid" 2> /dev/null || true
    wait "$pid" 2> /dev/null || true
done

python3 - "$prompt_ms" "$seconds" "${results[@]}" << 'PY'
import sys
prompt, seconds, rows = sys.argv[1], sys.argv[2], [r.split() for r in sys.argv[3:]]
labels = {
    "varlo": "varlo (native)",
    "gst-play-1.0": "gst-play-1.0",
    "mpv": "mpv --no-video",
    "mpg123": "mpg123",
    "playbin": "GStreamer playbin, pulsesink latency-time 100 ms, buffer-time 1 s",
}
figures = {}
print("native players, one 192 kbit/s MP3 over %s s; start of varlo to its sort prompt: %s ms"
      % (seconds, prompt))
print()
print("| player | player ms/s | wake-ups/s | sound server ms/s | together | peak MiB |")
print("|---|---|---|---|---|---|")
for name, cpu, wakeups, server, peak in rows:
    if cpu == "-":
        print("| %s | - | - | - | - | - |" % labels[name])
        continue
    cpu, server = int(cpu) / 1e6, int(server) / 1e6
    wakeups = int(wakeups) / 1000
    figures[name] = (cpu + server, wakeups)
    print("| %s | %.1f | %.0f | %.1f | %.1f | %.1f |"
          % (labels[name], cpu, wakeups, server, cpu + server, int(peak) / 1024))
print()
if "varlo" in figures and "mpg123" in figures:
    (vt, vw), (mt, mw) = figures["varlo"], figures["mpg123"]
    print("varlo + server %.1f vs mpg123 + server %.1f ms/s: %s"
          % (vt, mt, "met" if vt <= mt else "NOT met"))
    print("varlo wake-ups %.0f vs mpg123 %.0f per s: %s"
          % (vw, mw, "met" if vw <= mw else "NOT met"))
PY
