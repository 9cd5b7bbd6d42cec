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
# plays the same file, one after the other, into one null sink of this run's own PulseAudio;
# all of them in turns, BENCH_ROUNDS (3) times. Each figure of the table is the median of its
# rounds: a timer's wake-up costs a virtual machine's guest more or less as the host's load
# changes from minute to minute, so one round can put two players into different conditions.
# Targets: varlo + server at most mpg123 + server, varlo's wake-ups at most mpg123's; the
# rounds that met the first are counted too. BENCH_VARLO=path measures another build of the
# native player.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
seconds=${BENCH_SECONDS:-20}
rounds=${BENCH_ROUNDS:-3}
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

# measure_varlo ROUND: start-up, then one title playing; "ROUND prompt MS" and the figures.
measure_varlo() {
    vw_tmux new-session -d -s bench -x 69 -y 22 \
        "cd '$VW_RUN/media' && XDG_DATA_HOME='$VW_RUN/data' VARLO_CAN_HIBERNATE=yes '$varlo'; sleep 600"
    vw_tmux set-option -t bench status off > /dev/null
    local start prompt_ms=missed varlo_pid
    start=$(date +%s%N)
    for _ in $(seq 1 1000); do
        if vw_tmux capture-pane -p -t bench | grep -q "sortierung nach?:"; then
            prompt_ms=$((($(date +%s%N) - start) / 1000000))
            break
        fi
        sleep 0.005
    done
    echo "$1 prompt $prompt_ms"
    vw_tmux send-keys -t bench 2
    for _ in $(seq 1 100); do
        vw_tmux capture-pane -p -t bench | grep -q "Messung" && break
        sleep 0.1
    done
    sleep 1 # the first full redraw is not part of steady playback
    varlo_pid=$(pgrep -P "$(vw_tmux display-message -p -t bench '#{pane_pid}')" -x varlo)
    echo "$1 $(measure varlo "$varlo_pid")"
    vw_tmux kill-session -t bench
}

# measure_other ROUND NAME COMMAND: the same file in another player.
sink="pulsesink latency-time=100000 buffer-time=1000000"
measure_other() {
    local name=$2 command=$3 uri pid
    if ! command -v "${command%% *}" > /dev/null; then
        echo "$1 $name - - - -"
        return
    fi
    if [ "$name" = playbin ]; then
        uri=$(python3 -c 'import pathlib, sys; print(pathlib.Path(sys.argv[1]).as_uri())' "$media")
        gst-launch-1.0 -q playbin "audio-sink=$sink" "uri=$uri" > /dev/null 2>&1 < /dev/null &
    else
        $command "$media" > /dev/null 2>&1 < /dev/null &
    fi
    pid=$!
    sleep 2 # loading and prerolling, as varlo's window starts after them
    echo "$1 $(measure "$name" "$pid")"
    kill "$pid" 2> /dev/null || true
    wait "$pid" 2> /dev/null || true
}

others=(
    "gst-play-1.0|gst-play-1.0 --no-interactive --quiet"
    "mpv|mpv --no-video --no-terminal --ao=pulse"
    "mpg123|mpg123 -q -o pulse"
    "playbin|gst-launch-1.0"
)
results=()
for round in $(seq 1 "$rounds"); do
    while IFS= read -r line; do results+=("$line"); done < <(measure_varlo "$round")
    for entry in "${others[@]}"; do
        results+=("$(measure_other "$round" "${entry%%|*}" "${entry#*|}")")
    done
done

python3 - "$seconds" "${results[@]}" << 'PY'
import statistics
import sys
seconds, lines = sys.argv[1], [line.split() for line in sys.argv[2:]]
labels = {
    "varlo": "varlo (native)",
    "gst-play-1.0": "gst-play-1.0",
    "mpv": "mpv --no-video",
    "mpg123": "mpg123",
    "playbin": "GStreamer playbin, pulsesink latency-time 100 ms, buffer-time 1 s",
}
prompts = [int(l[2]) for l in lines if l[1] == "prompt" and l[2] != "missed"]
rounds = {}  # name -> [(cpu ms/s, wake-ups/s, server ms/s, peak KiB)], one per round
for line in lines:
    if line[1] == "prompt":
        continue
    name, figures = line[1], line[2:]
    rounds.setdefault(name, [])
    if figures[0] != "-":
        cpu, wakeups, server, peak = (int(f) for f in figures)
        rounds[name].append((cpu / 1e6, wakeups / 1000, server / 1e6, peak))
count = max(len(r) for r in rounds.values())
print("native players, one 192 kbit/s MP3 over %s s, %d rounds in turns, medians; start of"
      " varlo to its sort prompt: %s ms"
      % (seconds, count, "%.0f" % statistics.median(prompts) if prompts else "missed"))
print()
print("| player | player ms/s | wake-ups/s | sound server ms/s | together | peak MiB |")
print("|---|---|---|---|---|---|")
median = {}
for name in labels:
    r = rounds.get(name, [])
    if not r:
        print("| %s | - | - | - | - | - |" % labels[name])
        continue
    cpu, wakeups, server = (statistics.median(x[i] for x in r) for i in range(3))
    together = statistics.median(x[0] + x[2] for x in r)
    median[name] = (together, wakeups)
    print("| %s | %.1f | %.0f | %.1f | %.1f | %.1f |"
          % (labels[name], cpu, wakeups, server, together, max(x[3] for x in r) / 1024))
print()
if "varlo" in median and "mpg123" in median:
    (vt, vw), (mt, mw) = median["varlo"], median["mpg123"]
    pairs = list(zip(rounds["varlo"], rounds["mpg123"]))
    print("rounds, varlo + server / mpg123 + server ms/s: "
          + ", ".join("%.1f / %.1f" % (v[0] + v[2], m[0] + m[2]) for v, m in pairs))
    print("varlo + server %.1f vs mpg123 + server %.1f ms/s: %s (in %d of %d rounds)"
          % (vt, mt, "met" if vt <= mt else "NOT met",
             sum(v[0] + v[2] <= m[0] + m[2] for v, m in pairs), len(pairs)))
    print("varlo wake-ups %.0f vs mpg123 %.0f per s: %s"
          % (vw, mw, "met" if vw <= mw else "NOT met"))
PY
