# Shared helpers of the Wine tests and of the suites that run the player in tmux: sourced by
# scripts/wine/run.sh, scripts/wine/test_power.sh and scripts/native/run.sh, and by every test.
#
# A test runs the real varlo.exe under Wine in a detached tmux session of exactly 69 x 22
# cells and reads the screen back with capture-pane. Wine's console draws on the terminal
# (CP437 shown as UTF-8 under LANG=C.UTF-8, colours as SGR codes), and fetches keys from it
# only while the program waits on or peeks at its input handle, which the player does on
# every poll.
#
# Set by run.sh: VW_ROOT (repository), VW_RUN (scratch folder of this run), VW_EXE
# (varlo.exe), WINEPREFIX, VW_PULSE_SERVER (the null-sink PulseAudio of this run).

export LANG=C.UTF-8 LC_ALL=C.UTF-8
export WINEDEBUG=-all
# No Mono or Gecko installer (they would look for a download).
export WINEDLLOVERRIDES="mscoree,mshtml="

export VW_TMUX_SOCKET=${VW_TMUX_SOCKET:-varlo-wine-$$}
VW_COLUMNS=69
VW_ROWS=22
VW_POLL=0.1              # s between two looks at the screen
VW_DEFAULT_TIMEOUT=15    # s to wait for a text

vw_tmux() { tmux -L "$VW_TMUX_SOCKET" -f /dev/null "$@"; }

# Every session's folder must be byte-identical once the program has ended (vw_stop).
source "$(dirname "${BASH_SOURCE[0]}")/snapshot.sh"

# vw_start_pulse: PulseAudio with a null sink of this run, reached only through
# $VW_PULSE_SERVER; its PID lands in $VW_PULSE_PID.
vw_start_pulse() {
    mkdir -p "$VW_RUN/pulse/run" "$VW_RUN/pulse/state"
    export VW_PULSE_SERVER="unix:$VW_RUN/pulse/native"
    PULSE_RUNTIME_PATH="$VW_RUN/pulse/run" PULSE_STATE_PATH="$VW_RUN/pulse/state" \
        pulseaudio --daemonize=yes --exit-idle-time=-1 -n --use-pid-file=yes \
        --load=module-null-sink \
        --load="module-native-protocol-unix socket=$VW_RUN/pulse/native auth-anonymous=1" \
        --log-target="file:$VW_RUN/pulse/log" 2> "$VW_RUN/pulse/stderr"
    local i
    for i in $(seq 1 50); do
        [ -S "$VW_RUN/pulse/native" ] && break
        sleep 0.1
    done
    VW_PULSE_PID=$(cat "$VW_RUN/pulse/run/pid" 2> /dev/null || true)
}

# --- Suites: scripts/wine/run.sh, scripts/wine/test_power.sh, scripts/native/run.sh. ---

# vw_need PROGRAM...: ends the suite as one failure when a program is missing: a path must be
# an executable file (scripts/build.sh makes it), a name a command (scripts/setup.sh).
vw_need() {
    local need
    for need in "$@"; do
        if [[ $need == */* ]]; then
            [ -x "$need" ] && continue
            echo "no $need: run scripts/build.sh first"
        else
            command -v "$need" > /dev/null && continue
            echo "missing $need: run scripts/setup.sh first"
        fi
        echo "0 passed, 1 failed"
        exit 1
    done
}

# vw_begin_run: an empty $VW_RUN with this run's PulseAudio; on exit the tmux server, the
# prefix's wineserver and the PulseAudio end.
vw_begin_run() {
    rm -rf "$VW_RUN"
    mkdir -p "$VW_RUN"
    vw_start_pulse
    trap vw_end_run EXIT
}
vw_end_run() {
    vw_stop_server
    wineserver -k 2> /dev/null || true
    [ -n "${VW_PULSE_PID:-}" ] && kill "$VW_PULSE_PID" 2> /dev/null || true
}

# vw_make_prefix: boots $WINEPREFIX unless it has been made already.
vw_make_prefix() {
    [ ! -e "$WINEPREFIX/system.reg" ] || return 0
    local start=$SECONDS
    wineboot -i > "$VW_RUN/wineboot.log" 2>&1
    wineserver -w
    echo "wine prefix made in $((SECONDS - start)) s"
}

VW_PASSED=0
VW_FAILED=0
# vw_report NAME CODE SECONDS LOG: one test's line; PASS with the figures it reported ("note:"
# lines of its log), or FAIL with its whole log.
vw_report() {
    if [ "$2" -eq 0 ]; then
        echo "PASS $1 (${3}s)"
        sed -n 's/^note: /    /p' "$4"
        VW_PASSED=$((VW_PASSED + 1))
    else
        echo "FAIL $1 (${3}s)"
        sed 's/^/    /' "$4"
        VW_FAILED=$((VW_FAILED + 1))
    fi
}

# vw_summary SUITE: the suite's time and counts; fails when a test failed.
vw_summary() {
    echo "$1 took $SECONDS s"
    echo "$VW_PASSED passed, $VW_FAILED failed"
    [ "$VW_FAILED" -eq 0 ]
}

# vw_run_tests FOLDER STOP LIB... -- [NAME...]: runs FOLDER/NAME.sh (all of FOLDER/*.sh without
# names), each in a shell of its own (-e) with the LIB files sourced and STOP called when it
# ends; its output goes to $VW_RUN/NAME.log.
vw_run_tests() {
    local folder=$1 stop=$2 libs=() tests=() test name start
    shift 2
    while [ $# -gt 0 ] && [ "$1" != -- ]; do libs+=("$1") && shift; done
    [ $# -gt 0 ] && shift
    for name in "$@"; do tests+=("$folder/${name%.sh}.sh"); done
    [ ${#tests[@]} -gt 0 ] || tests=("$folder"/*.sh)
    for test in "${tests[@]}"; do
        name=$(basename "$test" .sh)
        if [ ! -f "$test" ]; then
            echo "FAIL $name (no such test)"
            VW_FAILED=$((VW_FAILED + 1))
            continue
        fi
        start=$SECONDS
        bash -e -c '_vw_stop=$1 _vw_test=$2; shift 2
            for _vw_lib in "$@"; do source "$_vw_lib"; done
            trap "$_vw_stop" EXIT
            source "$_vw_test"' _ "$stop" "$test" "${libs[@]}" > "$VW_RUN/$name.log" 2>&1
        vw_report "$name" $? $((SECONDS - start)) "$VW_RUN/$name.log"
    done
}

# vw_open_pane NAME: a detached session of exactly 69 x 22 running $VW_DIR/inner.sh, every byte
# it sends to the terminal copied to $VW_DIR/stream.
vw_open_pane() {
    local name=$1
    vw_tmux new-session -d -s "$name" -x "$VW_COLUMNS" -y "$VW_ROWS" "bash $VW_DIR/inner.sh"
    vw_tmux set-option -t "$name" status off > /dev/null
    vw_tmux set-option -t "$name" window-size manual > /dev/null
    vw_tmux set-option -t "$name" remain-on-exit on > /dev/null
    vw_tmux resize-window -t "$name" -x "$VW_COLUMNS" -y "$VW_ROWS"
    vw_tmux pipe-pane -t "$name" -o "cat >> $VW_DIR/stream"
}

# vw_start NAME FOLDER [sound|nosound] [ARGUMENT...]: starts varlo.exe in FOLDER in a fresh
# session NAME. The exit code lands in $VW_DIR/exit, Wine's own messages in $VW_DIR/stderr,
# every byte sent to the terminal in $VW_DIR/stream. With VW_CHCP set (and no ARGUMENT), the
# player is started through `cmd /c "chcp $VW_CHCP >nul & varlo.exe"`.
vw_start() {
    local name=$1 folder=$2 sound=${3:-sound}
    shift 3 || shift $#
    VW_NAME=$name
    VW_DIR="$VW_RUN/$name"
    rm -rf "$VW_DIR"
    mkdir -p "$VW_DIR"
    # The folder, or its parent when the test made one for it (the folder chooser of a
    # folder without titles starts there).
    if [ "$(dirname "$folder")" != "$VW_RUN" ] && [ "$(dirname "$folder")" != / ]; then
        snapshot_watch "$VW_DIR" "$(dirname "$folder")"
    else
        snapshot_watch "$VW_DIR" "$folder"
    fi
    local pulse=$VW_PULSE_SERVER
    # A server that is not there: Wine then finds no wave output device at all.
    [ "$sound" = nosound ] && pulse="unix:$VW_DIR/no-pulse-here"
    {
        printf '#!/bin/bash\n'
        printf 'while [ ! -e %q ]; do sleep 0.05; done\n' "$VW_DIR/armed"
        printf 'cd %q || exit 1\n' "$folder"
        printf 'export PULSE_SERVER=%q\n' "$pulse"
        printf 'date +%%s.%%N > %q\n' "$VW_DIR/started"
        if [ -n "${VW_CHCP:-}" ]; then
            # As a user starts it: from the console's shell, after chcp has set the console's
            # input and output code page. cmd finds the player on WINEPATH (drive Z: is /)
            # and ends with its exit code.
            printf 'export WINEPATH=%q\n' "Z:$(dirname "$VW_EXE" | tr / '\\')"
            printf 'wine cmd /c %q' "chcp $VW_CHCP >nul & $(basename "$VW_EXE")"
        else
            printf 'wine %q' "$VW_EXE"
            [ $# -gt 0 ] && printf ' %q' "$@"
        fi
        printf ' 2> %q\n' "$VW_DIR/stderr"
        printf 'echo $? > %q.tmp && mv %q.tmp %q\n' "$VW_DIR/exit" "$VW_DIR/exit" "$VW_DIR/exit"
        printf 'date +%%s.%%N > %q\n' "$VW_DIR/ended"
    } > "$VW_DIR/inner.sh"
    vw_open_pane "$name"
    local size
    size=$(vw_tmux display-message -p -t "$name" '#{pane_width}x#{pane_height}')
    if [ "$size" != "${VW_COLUMNS}x${VW_ROWS}" ]; then
        echo "pane is $size, not ${VW_COLUMNS}x${VW_ROWS}"
        return 1
    fi
    touch "$VW_DIR/armed"
}

# The screen as text, one line per row, trailing blanks kept.
vw_screen() { vw_tmux capture-pane -p -N -t "$VW_NAME"; }

# The screen with its SGR colour codes.
vw_screen_sgr() { vw_tmux capture-pane -p -e -N -t "$VW_NAME"; }

# vw_text ROW COL LENGTH: the cells of the screen there (1-based).
vw_text() {
    local line
    line=$(vw_screen | sed -n "${1}p")
    printf '%s' "${line:$(($2 - 1)):$3}"
}

vw_show() {
    echo "---- screen of $VW_NAME ----"
    vw_screen | sed 's/^/|/'
    echo "---- end of screen ----"
}

# vw_wait_text ROW COL TEXT [TIMEOUT]: waits until TEXT stands at ROW, COL; several texts may
# be given separated by "|" (any of them counts). Prints the screen on a time-out.
vw_wait_text() {
    local row=$1 col=$2 wanted=$3 timeout=${4:-$VW_DEFAULT_TIMEOUT}
    local deadline=$(($(date +%s%N) + ${timeout%.*} * 1000000000))
    local alternatives text choice
    IFS='|' read -r -a alternatives <<< "$wanted"
    while :; do
        for choice in "${alternatives[@]}"; do
            text=$(vw_text "$row" "$col" "${#choice}")
            [ "$text" = "$choice" ] && return 0
        done
        if [ "$(date +%s%N)" -gt "$deadline" ]; then
            echo "time-out: \"$wanted\" not at row $row, column $col after ${timeout}s"
            vw_show
            return 1
        fi
        sleep "$VW_POLL"
    done
}

# vw_wait_stream TEXT [TIMEOUT]: waits until TEXT has been written to the terminal at all.
# For texts that stand only for moments, too short for a look at the screen.
vw_wait_stream() {
    local wanted=$1 timeout=${2:-$VW_DEFAULT_TIMEOUT}
    local deadline=$(($(date +%s%N) + timeout * 1000000000))
    while :; do
        [ -e "$VW_DIR/stream" ] && grep -qaF -- "$wanted" "$VW_DIR/stream" && return 0
        if [ "$(date +%s%N)" -gt "$deadline" ]; then
            echo "time-out: \"$wanted\" never written in ${timeout}s"
            vw_show
            return 1
        fi
        sleep "$VW_POLL"
    done
}

# vw_key KEY...: types keys (tmux key names: Escape, Enter, Up, ...). Esc goes alone with a
# pause after it: Wine merges an Esc that is closely followed by a key into Alt + that key.
vw_key() {
    local key
    for key in "$@"; do
        vw_tmux send-keys -t "$VW_NAME" "$key"
        if [ "$key" = Escape ]; then sleep 0.4; else sleep 0.05; fi
    done
}

# vw_type TEXT: types TEXT as characters, whatever they are (the terminal sends them as
# UTF-8, Wine's console hands them on as UTF-16).
vw_type() {
    vw_tmux send-keys -t "$VW_NAME" -l "$1"
    sleep 0.05
}

# vw_wait_exit CODE [TIMEOUT]: waits until the program has ended with exit code CODE.
vw_wait_exit() {
    local wanted=$1 timeout=${2:-$VW_DEFAULT_TIMEOUT}
    local deadline=$(($(date +%s%N) + timeout * 1000000000))
    while [ ! -e "$VW_DIR/exit" ]; do
        if [ "$(date +%s%N)" -gt "$deadline" ]; then
            echo "time-out: the program did not end in ${timeout}s"
            vw_show
            return 1
        fi
        sleep "$VW_POLL"
    done
    local code
    code=$(cat "$VW_DIR/exit")
    if [ "$code" != "$wanted" ]; then
        echo "exit code $code, expected $wanted"
        vw_show
        return 1
    fi
}

# vw_quit: Esc, and J at the quit prompt: the program must end with exit code 0.
vw_quit() {
    vw_key Escape
    vw_wait_text 1 1 " Programm beenden ? J/N" 10
    sleep 0.5 # keys in the first 200 ms are flushed
    vw_key J
    vw_wait_exit 0 10
}

# vw_attribute ROW COL [LENGTH]: the colours of cells as "foreground/background" SGR numbers,
# one word per cell.
vw_attribute() {
    vw_screen_sgr | python3 "$VW_ROOT/scripts/wine/sgr_cell.py" "$@"
}

# vw_expect_attribute ROW COL LENGTH COLOURS WHAT: every cell of the run shows COLOURS (within
# two seconds: a redraw may be under way).
vw_expect_attribute() {
    local row=$1 col=$2 length=$3 colours=$4 what=$5 i got wanted=""
    for ((i = 0; i < length; i++)); do wanted+="${wanted:+ }$colours"; done
    for i in $(seq 1 20); do
        got=$(vw_attribute "$row" "$col" "$length" || true)
        [ "$got" = "$wanted" ] && return 0
        sleep "$VW_POLL"
    done
    echo "$what: row $row, columns $col..$((col + length - 1)) have colours $got, not $colours"
    vw_screen_sgr | sed -n "${row}p" | cat -v
    return 1
}

# Ends the session and whatever of the program still runs in it. The prefix is this run's
# own, so ending its wineserver ends only this run's processes; the next test starts clean.
vw_stop() {
    [ -n "${VW_NAME:-}" ] || return 0
    vw_tmux kill-session -t "$VW_NAME" 2> /dev/null || true
    wineserver -k 2> /dev/null || true
    wineserver -w 2> /dev/null || true
    VW_NAME=
    # Also from run.sh's exit trap, where only exit changes the test's result.
    snapshot_check "$VW_DIR" || exit 1
    return 0
}

vw_stop_server() { vw_tmux kill-server 2> /dev/null || true; }

# Seconds between two time stamps written by date +%s.%N.
vw_seconds_between() { python3 -c "print(round($(cat "$2") - $(cat "$1"), 2))"; }

# vw_media_folder FOLDER SECONDS NAME...: a folder of generated sine-tone WAV files.
vw_media_folder() {
    local folder=$1 seconds=$2
    shift 2
    mkdir -p "$folder"
    (cd "$folder" && python3 "$VW_ROOT/scripts/make_wav.py" "$seconds" "$@")
}
