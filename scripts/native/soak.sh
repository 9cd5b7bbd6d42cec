#!/bin/bash
# soak.sh [--minutes N] [--binary PATH] [--quiet] [--heaptrack]: the native player for N
# minutes (60) on short titles, with a key monkey (volume, pause and continue, skips, sort
# orders, redraws) and its sound server killed and started again every 10 minutes (a 40 s hang
# instead every other time); --quiet leaves the server alone. Every minute one line: minute,
# resident KiB (all, and the anonymous part: the heap, without the libraries GStreamer loads
# once, such as the ALSA and OpenAL ones autoaudiosink tries while no server answers), open
# file descriptors, threads. At the end the growth per hour of each (least squares over the
# minutes from minute 20 on, or after the first fifth of a run shorter than 30 minutes) and
# "soak passed" or "soak FAILED: ..." (the anonymous part grows by more than 0.5 MiB an hour,
# 0.1 with --quiet; descriptors or threads grow). Not part of the test command: it runs for an
# hour.
#
# --heaptrack runs the player under heaptrack (its trace in the run's folder, for
# heaptrack_print); its own bookkeeping counts in the anonymous memory then, so the growth
# is measured without it. A PulseAudio of its own and stand-ins for the power commands (the
# countdown's end "hibernates" with /bin/true); its files in build/soak (build/soak-quiet,
# and -heaptrack after either), so that a quiet and a faulted soak may run side by side.
set -u
root=$(cd "$(dirname "$0")/../.." && pwd)
minutes=60
binary="$root/build/native/varlo"
quiet=
heaptrack=
while [ $# -gt 0 ]; do
    case $1 in
        --minutes) minutes=$2 && shift 2 ;;
        --binary) binary=$(cd "$(dirname "$2")" && pwd)/$(basename "$2") && shift 2 ;;
        --quiet) quiet=1 && shift ;;
        --heaptrack) heaptrack=1 && shift ;;
        *) echo "usage: soak.sh [--minutes N] [--binary PATH] [--quiet] [--heaptrack]" && exit 2 ;;
    esac
done
export VW_ROOT=$root VW_TMUX_SOCKET="varlo-soak-$$"
export VW_RUN="$root/build/soak${quiet:+-quiet}${heaptrack:+-heaptrack}"
source "$root/scripts/wine/lib.sh"
rm -rf "$VW_RUN"
mkdir -p "$VW_RUN/media" "$VW_RUN/data"

pulse_up() {
    rm -f "$VW_RUN/pulse/native" "$VW_RUN/pulse/run/pid"
    vw_start_pulse
}
pulse_up
trap 'vw_stop_server; kill -CONT $VW_PULSE_PID 2> /dev/null; kill $VW_PULSE_PID 2> /dev/null' EXIT
(cd "$VW_RUN/media" && python3 "$root/scripts/make_wav.py" 8 "Acht - Eins.wav" "Acht - Zwei.wav" &&
    python3 "$root/scripts/make_wav.py" 12 "Zwoelf - Eins.wav" "Zwoelf - Zwei.wav" &&
    python3 "$root/scripts/make_wav.py" 20 "Zwanzig - Eins.wav" "Zwanzig - Zwei.wav")

vw_tmux new-session -d -s soak -x 69 -y 22 \
    "cd '$VW_RUN/media' && PULSE_SERVER='$VW_PULSE_SERVER' XDG_DATA_HOME='$VW_RUN/data' \
     VARLO_CAN_HIBERNATE=yes VARLO_HIBERNATE_COMMAND=/bin/true VARLO_POWEROFF_COMMAND=/bin/true \
     ${heaptrack:+heaptrack -o '$VW_RUN/heaptrack'} '$binary'; \
     echo \$? > '$VW_RUN/exit'; sleep 100000"
if [ -n "$heaptrack" ]; then sleep 4; else sleep 1; fi
# The pane's shell leads a session of its own, heaptrack's script and the player in it.
pid=$(pgrep -s "$(vw_tmux display-message -p -t soak '#{pane_pid}')" -x "$(basename "$binary")")
[ -n "$pid" ] || { echo "soak FAILED: the player did not start" && exit 1; }

sample() {
    local rss anon fds threads
    rss=$(awk '/^VmRSS/ { print $2 }' "/proc/$pid/status")
    anon=$(awk '/^RssAnon/ { print $2 }' "/proc/$pid/status")
    threads=$(awk '/^Threads/ { print $2 }' "/proc/$pid/status")
    fds=$(ls "/proc/$pid/fd" | wc -l)
    echo "$1 $rss $anon $fds $threads" | tee -a "$VW_RUN/samples"
}
keys=(+ - + - P P 0 1 2 3 Z T I R + P)
echo "minute rss-KiB anon-KiB fds threads"
start=$SECONDS
next_sample=0
minute=0
failure=
while [ $minute -le "$minutes" ]; do
    if ! kill -0 "$pid" 2> /dev/null; then
        failure="the player ended (exit $(cat "$VW_RUN/exit" 2> /dev/null))"
        break
    fi
    if [ $((SECONDS - start)) -ge $next_sample ]; then
        sample "$minute"
        if [ -z "$quiet" ] && [ $minute -gt 0 ] && [ $((minute % 10)) -eq 0 ] &&
            [ $minute -lt "$minutes" ]; then
            if [ $((minute % 20)) -eq 10 ]; then
                kill -KILL "$VW_PULSE_PID"
                sleep 5
                pulse_up
            else
                kill -STOP "$VW_PULSE_PID"
                sleep 40
                kill -CONT "$VW_PULSE_PID"
            fi
        fi
        minute=$((minute + 1))
        next_sample=$((minute * 60))
    fi
    vw_tmux send-keys -t soak "${keys[RANDOM % ${#keys[@]}]}"
    # A pause now and then stands a while before the monkey's next P.
    sleep "0.$((RANDOM % 10))" && sleep $((RANDOM % 3))
done
# heaptrack's trace is whole only once its interpreter, in the pane's session, has read all
# the player wrote: the player is ended alone (what it holds then is what it kept), and the
# session only after heaptrack has finished.
if [ -n "$heaptrack" ]; then
    kill -TERM "$pid" 2> /dev/null
    for _ in $(seq 120); do [ -s "$VW_RUN/exit" ] && break; sleep 1; done
fi

python3 - "$VW_RUN/samples" "$minutes" "${failure:-}" "${quiet:+1}" << 'PY'
import sys
rows = [list(map(float, line.split())) for line in open(sys.argv[1])]
minutes, failure, quiet = float(sys.argv[2]), sys.argv[3], bool(sys.argv[4])
steady = [r for r in rows if r[0] >= (20 if minutes >= 30 else minutes / 5)] or rows
growth = []
for column, name in ((1, "rss KiB"), (2, "anon KiB"), (3, "fds"), (4, "threads")):
    xs, ys = [r[0] for r in steady], [r[column] for r in steady]
    n, mx, my = len(xs), sum(xs) / len(xs), sum(ys) / len(ys)
    var = sum((x - mx) ** 2 for x in xs)
    slope = sum((x - mx) * (y - my) for x, y in zip(xs, ys)) / var if var else 0.0
    growth.append(slope * 60)
    print("%-9s first %8d  last %8d  growth per hour %+10.1f" % (name, rows[0][column],
                                                                  rows[-1][column], slope * 60))
limit = 0.1 if quiet else 0.5
if not failure and growth[1] > limit * 1024:
    failure = "anonymous memory grows by more than %g MiB an hour" % limit
early = rows[: len(rows) - len(steady) + 1]
for column, name in ((3, "file descriptors"), (4, "threads")):
    if not failure and max(r[column] for r in steady) > max(r[column] for r in early) + 4:
        failure = name + " grow"
print("soak FAILED: " + failure if failure else "soak passed")
sys.exit(1 if failure else 0)
PY
