#!/bin/bash
# test_demo.sh: scripts/demo.sh as a user runs it, with VARLO_DEMO_SECONDS instead of a
# terminal: the native player (the default) and the Windows build (--wine).
#   no folder        a folder that does not exist: one line, exit code not 0, before anything
#                    is set up or built
#   no media         a folder with a text file and a hidden .mp3 only: the same, folder
#                    untouched
#   null sink        no sound server of the user: the null-sink line before the screen, the
#                    folder playing, folder untouched
#   user's server    a PulseAudio of the "user" answering in the runtime folder
#                    ($XDG_RUNTIME_DIR/pulse/native): the player's stream shows among its sink
#                    inputs and its speakers sound the title's tone; no null-sink line
# Ends with "N passed, M failed"; exit code 1 when one failed.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
run="$root/build/demo-test-run"
source "$here/snapshot.sh"

DEMO_SECONDS=12
TONE_HZ=330 # make_wav.py's first file
NULL_LINE="no sound server found: playing into a silent null sink"

passed=0
failed=0
check() { # check NAME FUNCTION
    if "$2" > "$run/$1.check" 2>&1; then
        echo "PASS $1"
        passed=$((passed + 1))
    else
        echo "FAIL $1"
        sed 's/^/    /' "$run/$1.check"
        failed=$((failed + 1))
    fi
}

user_pulse_pid=""
trap '[ -n "$user_pulse_pid" ] && kill "$user_pulse_pid" 2> /dev/null' EXIT
rm -rf "$run"
mkdir -p "$run/runtime-empty" "$run/Leer"
chmod 700 "$run/runtime-empty"
echo "not music" > "$run/Leer/notes.txt"
: > "$run/Leer/.versteckt.mp3"
music="$run/Musik"
mkdir -p "$music"
(cd "$music" && python3 "$root/scripts/make_wav.py" 30 "Probe - Demo.wav")

# demo NAME [ENV...]: runs the demo on FOLDER ($folder) with the environment changes given,
# its output into $run/NAME.out, its exit code into $run/NAME.code.
demo() {
    local name=$1
    shift
    env -u PULSE_SERVER "$@" VARLO_DEMO_SECONDS=$DEMO_SECONDS XDG_DATA_HOME="$run/data" \
        bash "$root/scripts/demo.sh" ${variant:+"$variant"} "$folder" > "$run/$name.out" 2>&1 \
        < /dev/null
    echo $? > "$run/$name.code"
}

# refused NAME: one line, exit code not 0, nothing set up.
refused() {
    local name=$1 lines
    lines=$(wc -l < "$run/$name.out")
    cat "$run/$name.out"
    [ "$(cat "$run/$name.code")" != 0 ] || { echo "exit code 0"; return 1; }
    [ "$lines" = 1 ] || { echo "$lines lines, not one"; return 1; }
}

no_folder() {
    folder="$run/gibt es nicht"
    demo no-folder
    refused no-folder && grep -qF "no folder" "$run/no-folder.out"
}

no_media() {
    folder="$run/Leer"
    snapshot_take "$folder" "$run/no-media.before"
    demo no-media
    snapshot_take "$folder" "$run/no-media.after"
    refused no-media && grep -qF "no media files" "$run/no-media.out" &&
        snapshot_compare "$run/no-media.before" "$run/no-media.after"
}

# played NAME: the screen printed at the end shows the player with the title.
played() {
    grep -qF ">> Varlo <<" "$run/$1.out" && grep -qF "Probe" "$run/$1.out" || {
        echo "the player's screen with the title is not in the output:"
        cat "$run/$1.out"
        return 1
    }
}

null_sink() {
    folder=$music
    snapshot_take "$folder" "$run/null-sink.before"
    demo null-sink XDG_RUNTIME_DIR="$run/runtime-empty"
    snapshot_take "$folder" "$run/null-sink.after"
    [ "$(cat "$run/null-sink.code")" = 0 ] || { cat "$run/null-sink.out"; return 1; }
    played null-sink || return 1
    # The line stands before the screen.
    local line screen
    line=$(grep -nxF "$NULL_LINE" "$run/null-sink.out" | cut -d: -f1)
    screen=$(grep -nF ">> Varlo <<" "$run/null-sink.out" | head -1 | cut -d: -f1)
    [ -n "$line" ] && [ "$line" -lt "$screen" ] || {
        echo "no \"$NULL_LINE\" before the screen"
        return 1
    }
    snapshot_compare "$run/null-sink.before" "$run/null-sink.after"
}

users_server() {
    folder=$music
    local runtime="$run/runtime-user" server recorder inputs="" i
    mkdir -p "$runtime" "$run/user-config" "$run/user-state"
    chmod 700 "$runtime"
    # The user's environment: runtime folder, and the configuration with the cookie.
    local user_env=(XDG_RUNTIME_DIR="$runtime" XDG_CONFIG_HOME="$run/user-config")
    env "${user_env[@]}" PULSE_STATE_PATH="$run/user-state" \
        pulseaudio --daemonize=yes --exit-idle-time=-1 -n --use-pid-file=yes \
        --load="module-null-sink sink_name=speakers" --load=module-native-protocol-unix \
        --log-target="file:$run/user-pulse.log" 2> "$run/user-pulse.stderr"
    server="unix:$runtime/pulse/native"
    for i in $(seq 1 50); do
        [ -S "$runtime/pulse/native" ] && break
        sleep 0.1
    done
    user_pulse_pid=$(cat "$runtime/pulse/pid" 2> /dev/null)
    user_pactl() { env "${user_env[@]}" pactl -s "$server" "$@"; }
    env "${user_env[@]}" parec -s "$server" -d speakers.monitor --raw --format=s16le --rate=8000 \
        --channels=1 > "$run/speakers.raw" 2> /dev/null &
    recorder=$!
    snapshot_take "$folder" "$run/users-server.before"
    demo users-server "${user_env[@]}" &
    local demo_job=$!
    # The player's stream among the server's sink inputs while the demo runs.
    for i in $(seq 1 $((DEMO_SECONDS * 5))); do
        inputs=$(user_pactl list sink-inputs 2> /dev/null)
        grep -qF "application.name = \"$stream\"" <<< "$inputs" && break
        sleep 0.2
    done
    wait "$demo_job"
    sleep 2.5 # the idle null sink hands its monitor the sound in blocks of up to 2 s
    kill -INT "$recorder" 2> /dev/null
    wait "$recorder" 2> /dev/null
    kill "$user_pulse_pid" 2> /dev/null
    snapshot_take "$folder" "$run/users-server.after"
    grep -E 'Sink Input|application.name|application.process.binary' <<< "$inputs"
    [ "$(cat "$run/users-server.code")" = 0 ] || { cat "$run/users-server.out"; return 1; }
    played users-server || return 1
    grep -qF "application.name = \"$stream\"" <<< "$inputs" || {
        echo "no stream of $stream on the user's server"
        return 1
    }
    if grep -qF "$NULL_LINE" "$run/users-server.out"; then
        echo "said \"$NULL_LINE\" although the user's server answered"
        return 1
    fi
    local level
    level=$(python3 "$here/tone_levels.py" "$run/speakers.raw" 8000 "$TONE_HZ" | cut -d' ' -f2)
    echo "the title's $TONE_HZ Hz tone on the user's speakers: $level dBFS"
    python3 -c "import sys; sys.exit(0 if $level > -50 else 1)" || return 1
    snapshot_compare "$run/users-server.before" "$run/users-server.after"
}

start=$(date +%s)
variant=""
stream=Varlo
check "no folder: one line, exit code not 0" no_folder
check "no media: one line, exit code not 0, folder untouched" no_media
check "native, no sound server: the null-sink line, the folder plays, untouched" null_sink
check "native, the user's sound server: its stream and sound there, untouched" users_server
variant=--wine
stream=varlo.exe
check "Wine, no sound server: the null-sink line, the folder plays, untouched" null_sink
check "Wine, the user's sound server: Wine's stream and sound there, untouched" users_server
echo "demo suite took $(($(date +%s) - start)) s"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
