#!/bin/bash
# demo.sh [--wine] [FOLDER]: sets up the machine, builds the player and plays FOLDER on a
# 69 x 22 screen. Without FOLDER it plays a folder of generated tones (build/demo/Musik).
# Nothing is ever written into FOLDER.
#
#   (default)  the native player (build/native/varlo) in this terminal when it has at least
#              69 x 22 cells, else in a tmux window of exactly that size; mouse clicks work
#   --wine     the Windows build (varlo.exe) under Wine in a 69 x 22 tmux window; no mouse
#              there: the terminal's clicks do not reach Wine's console
# Keys: P pause, + and - volume, ? info, Esc then J to quit.
#
# Sound goes to your own sound server (PulseAudio, or PipeWire's PulseAudio service) when it
# answers at PULSE_SERVER or in your runtime folder ($XDG_RUNTIME_DIR/pulse/native); only
# when none does, into a silent null sink of the demo's own.
#
# The native demo's Down countdown only writes what it would do (hibernate or power off) into
# the log of the player's drive C: (~/.local/share/varlo/C/varlo.log), unless
# VARLO_HIBERNATE_COMMAND or VARLO_POWEROFF_COMMAND say otherwise.
#
# VARLO_DEMO_SECONDS=N runs it without a terminal for N seconds and prints the screen.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

# The media types the player looks for; a folder without any of them is refused before
# anything is set up, built or written.
media_extensions=(mp3 ape wav flac mp2 wmv wma mid midi mov ogg mp4 avi mpg divx)
wine=""
if [ "${1:-}" = --wine ]; then
    wine=1
    shift
fi
music=""
if [ $# -gt 0 ]; then
    if [ ! -d "$1" ]; then
        echo "demo: no folder $1" >&2
        exit 2
    fi
    music=$(cd "$1" && pwd)
    found=""
    for extension in "${media_extensions[@]}"; do
        # Names starting with a dot are hidden under Wine: the player does not take them.
        found=$(find "$music" -maxdepth 1 -type f -iname "*.$extension" ! -name '.*' -print \
            -quit)
        [ -n "$found" ] && break
    done
    if [ -z "$found" ]; then
        echo "demo: no media files in $music ($(printf '.%s ' "${media_extensions[@]}" |
            sed 's/ $//'))" >&2
        exit 2
    fi
fi

cd "$root"
bash scripts/setup.sh
# The player alone: the unit tests, benchmarks and companion programs are scripts/test.sh's.
if [ -n "$wine" ]; then
    bash scripts/build.sh --target varlo mingw
else
    bash scripts/build.sh --target varlo native
fi

demo="$root/build/demo"
mkdir -p "$demo"
if [ -z "$music" ]; then
    music="$demo/Musik"
    if [ ! -d "$music" ]; then
        mkdir -p "$music"
        (cd "$music" && python3 "$root/scripts/make_wav.py" 12 \
            "Morgenrot - Die Frühaufsteher.wav" \
            "Abendlied - Nordwind.wav" \
            "Sommerregen - Die Wolkenschieber.wav" \
            "Kaffeepause - Das Pausenorchester.wav" \
            "Zugabe.wav")
    fi
fi

if [ -n "$wine" ]; then
    export LANG=C.UTF-8 LC_ALL=C.UTF-8 # CP437 box drawing shown as UTF-8
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml="
    export WINEPREFIX="$demo/wine-prefix"
    if [ ! -e "$WINEPREFIX/system.reg" ]; then
        echo "demo: making the Wine prefix (once, about 20 s)"
        wineboot -i > "$demo/wineboot.log" 2>&1
        wineserver -w
    fi
else
    export VARLO_HIBERNATE_COMMAND=${VARLO_HIBERNATE_COMMAND:-"echo demo: would hibernate now"}
    export VARLO_POWEROFF_COMMAND=${VARLO_POWEROFF_COMMAND:-"echo demo: would power off now"}
fi

# The user's sound server: the one PULSE_SERVER names, else the socket in the runtime folder.
# Asked by its address, so that asking never starts a server of its own.
user_server=${PULSE_SERVER:-}
if [ -z "$user_server" ]; then
    runtime=${XDG_RUNTIME_DIR:-/run/user/$(id -u)}
    [ -S "$runtime/pulse/native" ] && user_server="unix:$runtime/pulse/native"
fi
pulse_pid=""
if [ -n "$user_server" ] && PULSE_SERVER=$user_server timeout 5 pactl info > /dev/null 2>&1; then
    export PULSE_SERVER=$user_server
    echo "demo: playing through your sound server ($user_server)"
else
    # A PulseAudio of the demo's own with a null sink, reached only through PULSE_SERVER.
    echo "no sound server found: playing into a silent null sink"
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
fi

socket="varlo-demo-$$"
finish() {
    tmux -L "$socket" kill-server 2> /dev/null || true
    [ -z "$wine" ] || wineserver -k 2> /dev/null || true
    [ -n "$pulse_pid" ] && kill "$pulse_pid" 2> /dev/null || true
}
trap finish EXIT

# The player runs from a script of its own, so that any folder name arrives as it is.
if [ -n "$wine" ]; then
    printf 'cd %q && exec wine %q 2>> %q\n' "$music" "$root/build/mingw/varlo.exe" \
        "$demo/wine-stderr.log" > "$demo/play.sh"
else
    printf 'cd %q && exec %q\n' "$music" "$root/build/native/varlo" > "$demo/play.sh"
    # This terminal itself, when it is one and large enough.
    if [ -z "${VARLO_DEMO_SECONDS:-}" ] && [ -t 0 ] && [ -t 1 ]; then
        read -r rows columns < <(stty size)
        if [ "$columns" -ge 69 ] && [ "$rows" -ge 22 ]; then
            bash "$demo/play.sh"
            exit
        fi
    fi
fi
tmux -L "$socket" -f /dev/null new-session -d -s demo -x 69 -y 22 \
    "bash $(printf %q "$demo/play.sh")"
tmux -L "$socket" set-option -t demo status off > /dev/null
tmux -L "$socket" set-option -t demo window-size manual > /dev/null
tmux -L "$socket" resize-window -t demo -x 69 -y 22
[ -n "$wine" ] || tmux -L "$socket" set-option -t demo mouse on > /dev/null

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
