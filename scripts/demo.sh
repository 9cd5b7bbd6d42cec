#!/bin/bash
# demo.sh [FOLDER]: sets up the machine, cross-builds varlo.exe and plays FOLDER under Wine, in
# this terminal, on a 69 x 22 screen (a tmux window of exactly that size). Without FOLDER it
# plays a folder of generated tones (build/demo/Musik). Nothing is ever written into FOLDER.
# Keys as on Windows: P pause, + and - volume, ? info, Esc then J to quit.
# No mouse here: the terminal's clicks do not reach Wine's console.
#
# Sound goes to your own sound server (PulseAudio, or PipeWire's PulseAudio service) when it
# answers at PULSE_SERVER or in your runtime folder ($XDG_RUNTIME_DIR/pulse/native); only
# when none does, into a silent null sink of the demo's own.
#
# VARLO_DEMO_SECONDS=N runs it without a terminal for N seconds and prints the screen.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

# The media types the player looks for; a folder without any of them is refused before
# anything is set up, built or written.
media_extensions=(mp3 ape wav flac mp2 wmv wma mid midi mov ogg mp4 avi mpg divx)
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
bash scripts/build.sh mingw

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

export LANG=C.UTF-8 LC_ALL=C.UTF-8     # CP437 box drawing shown as UTF-8
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEPREFIX="$demo/wine-prefix"
if [ ! -e "$WINEPREFIX/system.reg" ]; then
    echo "demo: making the Wine prefix (once, about 20 s)"
    wineboot -i > "$demo/wineboot.log" 2>&1
    wineserver -w
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
    wineserver -k 2> /dev/null || true
    [ -n "$pulse_pid" ] && kill "$pulse_pid" 2> /dev/null || true
}
trap finish EXIT

# The pane runs bash on a script of its own, so that any folder name arrives as it is.
printf 'cd %q && exec wine %q 2>> %q\n' "$music" "$root/build/mingw/varlo.exe" \
    "$demo/wine-stderr.log" > "$demo/play.sh"
tmux -L "$socket" -f /dev/null new-session -d -s demo -x 69 -y 22 \
    "bash $(printf %q "$demo/play.sh")"
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
