#!/bin/bash
# bench.sh: builds and runs every benchmark and prints one table.
#
#   playlist   scan + byte-order sort + SortPlaylist of 100, 1000 and 2500 names, against the
#              fake folder and a real one (build/native/varlo_bench; target below 20 ms)
#   start      seconds from "wine wineconsole varlo.exe" to the sort prompt on the screen
#   cpu        CPU time per second of playback of varlo.exe under Wine, over BENCH_SECONDS
#              (20) of one title, against tools/mci_poller.exe (open, play, two status
#              queries every 20 ms) on the same file, the two in turns BENCH_ROUNDS (3)
#              times; the lowest figure of each counts, so that a moment's load elsewhere
#              on the machine does not. Target: ratio at most 1.10
#   memory     peak resident memory (VmHWM) of varlo.exe after that playback
#   native     the native player against gst-play-1.0, mpv, mpg123 and a bare GStreamer
#              playbin: CPU and wake-ups per second of playback, the sound server's CPU,
#              peak memory, start to the sort prompt (scripts/native/bench.sh)
#
# CPU is read from /proc/<pid>/stat (utime + stime) of the Linux process that runs the Windows
# program, at the start and the end of the window: the console window's own drawing
# (conhost.exe) and the wineserver are other processes and are not counted for either side.
# Both run in build/xvfb-prefix with a null-sink PulseAudio; varlo.exe in a real console
# window on an Xvfb display, like the mouse test.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
seconds=${BENCH_SECONDS:-20}

# BENCH_BUILD=0 measures the programs as they are built; BENCH_EXE=path measures another
# build of varlo.exe against the same poller (BENCH_VARLO=path: of the native player).
if [ "${BENCH_BUILD:-1}" = 1 ]; then
    bash scripts/setup.sh bench > /dev/null
    mkdir -p build
    bash scripts/build.sh native mingw > build/bench-build.log 2>&1 || {
        echo "build failed: see build/bench-build.log"
        exit 1
    }
fi

playlist=$(build/native/varlo_bench)

export XV_ROOT=$root
export XV_RUN="$root/build/bench-run"
source scripts/xvfb/lib.sh
rm -rf "$XV_RUN"
mkdir -p "$XV_RUN/media"
trap xv_cleanup EXIT
xv_setup
# One title longer than the window, so that no title change falls into it.
(cd "$XV_RUN/media" && python3 "$root/scripts/make_wav.py" $((seconds + 15)) "Messung - Ton.wav")
clock_ticks=$(getconf CLK_TCK)

# cpu_ticks PID: user + system time of a process so far, in clock ticks.
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }

# --- varlo.exe and the MCI poller on the same file, in turns, BENCH_ROUNDS (3) times ---
wav_path="Z:$(tr / '\\' <<< "$XV_RUN/media/Messung - Ton.wav")"
rounds=${BENCH_ROUNDS:-3}
varlo_ticks=() poller_ticks=() prompt_seconds= varlo_hwm= poller_report=
for round in $(seq 1 "$rounds"); do
    xv_start "$XV_RUN/media" "${BENCH_EXE:-$root/build/mingw/varlo.exe}"
    seen=
    for _ in $(seq 1 200); do
        if xv_screen && [ "$(xv_text 3 2 17)" = "sortierung nach?:" ]; then
            seen=$(xv_elapsed "$XV_STARTED")
            break
        fi
        [ "$(xv_text 1 28 11)" = ">> Varlo <<" ] && break # missed: the prompt answered itself
        sleep 0.05
    done
    [ "$round" = 1 ] && prompt_seconds=$seen
    xv_wait_text 1 28 ">> Varlo <<" 30 > /dev/null
    sleep 1 # the first full redraw of the screen is not part of steady playback
    [ -n "$XV_UNIX_PID" ] || { echo "no Linux process of varlo.exe"; exit 1; }
    begin=$(cpu_ticks "$XV_UNIX_PID")
    sleep "$seconds"
    varlo_ticks+=($(($(cpu_ticks "$XV_UNIX_PID") - begin)))
    [ "$round" = 1 ] && varlo_hwm=$(awk '/VmHWM/ { print $2 }' "/proc/$XV_UNIX_PID/status")
    xv_screen && [ "$(xv_text 10 1 2)" = "0)" ] ||
        echo "warning: the main screen was gone at the end of round $round"
    wineserver -k 2> /dev/null || true
    wineserver -w 2> /dev/null || true

    PULSE_SERVER=$XV_PULSE_SERVER wine "$root/build/mingw/mci_poller.exe" "$wav_path" \
        $((seconds + 5)) > "$XV_RUN/poller.out" 2>&1 < /dev/null &
    poller=$!
    poller_pid=
    for _ in $(seq 1 100); do
        poller_pid=$(xv_unix_pid mci_poller.exe)
        [ -n "$poller_pid" ] && break
        sleep 0.1
    done
    sleep 3 # loading and the MCI open, as the player's window above starts after them
    [ -n "$poller_pid" ] || { echo "no Linux process of mci_poller.exe"; exit 1; }
    begin=$(cpu_ticks "$poller_pid")
    sleep "$seconds"
    poller_ticks+=($(($(cpu_ticks "$poller_pid") - begin)))
    wait "$poller" || true
    [ "$round" = 1 ] && poller_report=$(tail -1 "$XV_RUN/poller.out")
    wineserver -w 2> /dev/null || true
done

python3 - "$playlist" "$clock_ticks" "$seconds" "${varlo_ticks[*]}" "${poller_ticks[*]}" \
    "$varlo_hwm" "${prompt_seconds:-missed}" "$poller_report" << 'EOF'
import sys

(playlist, ticks, seconds, varlo, poller, hwm, prompt, report) = sys.argv[1:]
ticks, seconds = int(ticks), float(seconds)
varlo = [int(t) / ticks / seconds * 1000 for t in varlo.split()]
poller = [int(t) / ticks / seconds * 1000 for t in poller.split()]
rounds = lambda figures: " ".join("%.1f" % f for f in figures)
print(playlist)
print()
print("varlo.exe under Wine                          value      target")
print("start to sort prompt, s                   %10s" % prompt)
print("CPU per s of playback, ms (varlo.exe)     %10.1f     lowest of %s"
      % (min(varlo), rounds(varlo)))
print("CPU per s, ms (mci_poller.exe)            %10.1f     lowest of %s"
      % (min(poller), rounds(poller)))
ratio = min(varlo) / min(poller) if min(poller) > 0 else float("inf")
print("ratio varlo / poller (lowest of each)     %10.2f     <= 1.10 %s"
      % (ratio, "met" if ratio <= 1.10 else "NOT met"))
print("peak memory (VmHWM) while playing, MiB    %10.1f" % (int(hwm) / 1024))
print("poller's own report: " + report.strip())
EOF

# The native players get a sound server of their own, without the display: two PulseAudio
# servers on the display's one session bus refuse to share it.
pulse=$XV_PULSE_PID
xv_cleanup
trap - EXIT
for _ in $(seq 1 50); do
    kill -0 "$pulse" 2> /dev/null || break
    sleep 0.1
done
echo
env -u DISPLAY bash scripts/native/bench.sh
