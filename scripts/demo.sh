#!/bin/bash
# demo.sh: sets up the machine, cross-builds varlo.exe and plays a folder of generated tones
# under Wine, in this terminal, on a 69 x 22 screen (a tmux window of exactly that size).
# Keys as on Windows: P pause, + and - volume, ? info, Esc then J to quit.
# No mouse here: the terminal's clicks do not reach Wine's console.
#
# VARLO_DEMO_SECONDS=N runs it without a terminal for N seconds and prints the screen.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

bash scripts/setup.sh
bash scripts/build.sh mingw

demo="$root/build/demo"
music="$demo/Musik"
mkdir -p "$demo"
if [ ! -d "$music" ]; then
    mkdir -p "$music"
    (cd "$music" && python3 "$root/scripts/make_wav.py" 12 \
        "Morgenrot - Die Frühaufsteher.wav" \
        "Abendlied - Nordwind.wav" \
        "Sommerregen - Die Wolkenschieber.wav" \
        "Kaffeepause - Das Pausenorchester.wav" \
        "Zugabe.wav")
fi

export LANG=C.UTF-8 LC_ALL=C.UTF-8     # CP437 box drawing shown as UTF-8
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEPREFIX="$demo/wine-prefix"
if [ ! -e "$WINEPREFIX/system.reg" ]; then
    echo "demo: making the Wine prefix (once, about 20 s)"
    wineboot -i > "$demo/wineboot.log" 2>&1
    wineserver -w
fi

# A sound device for Wine: PulseAudio with a null sink, reached only through PULSE_SERVER.
mkdir -p "$demo/pulse/run" "$demo/pulse/state"
export PULSE_SERVER="unix:$demo/pulse/native"
if ! PULSE_RUNTIME_PATH="$demo/pulse/run" pactl info > /dev/null 2>&1; then
    rm -f "$demo/pulse/native"
    PULSE_RUNTIME_PATH="$demo/pulse/run" PULSE_STATE_PATH="$demo/pulse/state" \
        pulseaudio --daemonize=yes --exit-idle-time=-1 -n --use-pid-file=yes \
        --load=module-null-sink \
        --load="module-native-protocol-unix socket=$demo/pulse/native auth-anonymous=1" \
        --log-target="file:$demo/pulse/log"
    for i in $(seq 1 50); do
        [ -S "$demo/pulse/native" ] && break
        sleep 0.1
    done
fi
pulse_pid=$(cat "$demo/pulse/run/pid" 2> /dev/null || true)

socket="varlo-demo-$$"
finish() {
    tmux -L "$socket" kill-server 2> /dev/null || true
    wineserver -k 2> /dev/null || true
    [ -n "$pulse_pid" ] && kill "$pulse_pid" 2> /dev/null || true
}
trap finish EXIT

command="cd '$music' && wine '$root/build/mingw/varlo.exe' 2>> '$demo/wine-stderr.log'"
tmux -L "$socket" -f /dev/null new-session -d -s demo -x 69 -y 22 "$command"
tmux -L "$socket" set-option -t demo status off > /dev/null
tmux -L "$socket" set-option -t demo window-size manual > /dev/null
tmux -L "$socket" resize-window -t demo -x 69 -y 22

if [ -n "${VARLO_DEMO_SECONDS:-}" ]; then
    sleep "$VARLO_DEMO_SECONDS"
    tmux -L "$socket" capture-pane -p -t demo
    exit 0
fi
if [ ! -t 0 ] || [ ! -t 1 ]; then
    echo "demo: needs a terminal (or set VARLO_DEMO_SECONDS)"
    exit 1
fi
tmux -L "$socket" attach-session -t demo
