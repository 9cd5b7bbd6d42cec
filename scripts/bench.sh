#!/bin/bash
# bench.sh: builds and runs every benchmark and prints one table.
#
#   playlist   scan + byte-order sort + SortPlaylist of 100, 1000 and 2500 names, against the
#              fake folder and a real one (build/native/varlo_bench; target below 20 ms)
#   start      seconds from "wine wineconsole varlo.exe" to the sort prompt on the screen
#   cpu        CPU time per second of playback of varlo.exe under Wine, over BENCH_SECONDS
#              (20) of one title, against tools/mci_poller.exe (open, play, two status
#              queries every 20 ms) on the same file; target: ratio at most 1.3
#   memory     peak resident memory (VmHWM) of varlo.exe after that playback
#   native     the native player: start to the sort prompt, CPU per second of playback
#              against gst-play-1.0, mpv and mpg123, peak memory (scripts/native/bench.sh)
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
# build of varlo.exe against the same poller.
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

# --- varlo.exe: start-up time, then CPU and memory while one title plays ---
xv_start "$XV_RUN/media" "${BENCH_EXE:-$root/build/mingw/varlo.exe}"
prompt_seconds=
for _ in $(seq 1 200); do
    if xv_screen && [ "$(xv_text 3 2 17)" = "sortierung nach?:" ]; then
        prompt_seconds=$(xv_elapsed "$XV_STARTED")
        break
    fi
    [ "$(xv_text 1 28 11)" = ">> Varlo <<" ] && break # missed: the prompt answered itself
    sleep 0.05
done
xv_wait_text 1 28 ">> Varlo <<" 30 > /dev/null
sleep 1 # the first full redraw of the screen is not part of steady playback
[ -n "$XV_UNIX_PID" ] || { echo "no Linux process of varlo.exe"; exit 1; }
varlo_begin=$(cpu_ticks "$XV_UNIX_PID")
sleep "$seconds"
varlo_end=$(cpu_ticks "$XV_UNIX_PID")
varlo_hwm=$(awk '/VmHWM/ { print $2 }' "/proc/$XV_UNIX_PID/status")
xv_screen && [ "$(xv_text 10 1 2)" = "0)" ] || echo "warning: the main screen was gone at the end"
wineserver -k 2> /dev/null || true
wineserver -w 2> /dev/null || true

# --- the MCI poller on the same file ---
wav_path="Z:$(tr / '\\' <<< "$XV_RUN/media/Messung - Ton.wav")"
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
poller_begin=$(cpu_ticks "$poller_pid")
sleep "$seconds"
poller_end=$(cpu_ticks "$poller_pid")
wait "$poller" || true

python3 - "$playlist" "$clock_ticks" "$seconds" "$varlo_begin" "$varlo_end" "$poller_begin" \
    "$poller_end" "$varlo_hwm" "${prompt_seconds:-missed}" "$(cat "$XV_RUN/poller.out")" << 'EOF'
import sys

(playlist, ticks, seconds, vb, ve, pb, pe, hwm, prompt, poller) = sys.argv[1:]
ticks, seconds = int(ticks), float(seconds)
varlo = (int(ve) - int(vb)) / ticks / seconds * 1000
mci = (int(pe) - int(pb)) / ticks / seconds * 1000
print(playlist)
print()
print("varlo.exe under Wine                          value      target")
print("start to sort prompt, s                   %10s" % prompt)
print("CPU per s of playback, ms (varlo.exe)     %10.1f" % varlo)
print("CPU per s, ms (mci_poller.exe)            %10.1f" % mci)
ratio = varlo / mci if mci > 0 else float("inf")
print("ratio varlo / poller                      %10.2f     <= 1.3 %s"
      % (ratio, "met" if ratio <= 1.3 else "NOT met"))
print("peak memory (VmHWM) while playing, MiB    %10.1f" % (int(hwm) / 1024))
print("poller's own report: " + poller.strip())
EOF

echo
bash scripts/native/bench.sh
