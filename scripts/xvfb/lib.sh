# Helpers of the tests that run varlo.exe in a real Wine console window on an Xvfb display
# and work it with the mouse through xdotool. Sourced by mouse_test.sh and scripts/bench.sh.
#
# No terminal stands between the program and the window here, so the screen is read back with
# varlo_screen.exe, which attaches to the player's console by its Windows process id and
# prints the 69 x 22 characters (code page 437) and attributes.
#
# Set by the caller before xv_setup: XV_ROOT (repository), XV_RUN (scratch folder).
# Everything runs in the prefix build/xvfb-prefix, apart from the tmux tests' prefix.

export LANG=C.UTF-8 LC_ALL=C.UTF-8
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

XV_COLUMNS=69
XV_ROWS=22
XV_CELL_WIDTH=8   # pixels of one cell of Wine's default console font
XV_CELL_HEIGHT=16

xv_now() { date +%s.%N; }
xv_elapsed() { python3 -c "print(round($(xv_now) - $1, 2))"; }

# xv_setup: an Xvfb display of its own (first free number from 90 on), a PulseAudio with a
# null sink reached only through PULSE_SERVER, and the prefix with the console keys set.
xv_setup() {
    export WINEPREFIX=${XV_PREFIX:-$XV_ROOT/build/xvfb-prefix}
    mkdir -p "$XV_RUN/pulse/run" "$XV_RUN/pulse/state"
    local display
    for display in $(seq 90 140); do
        [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ] || break
    done
    Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp > "$XV_RUN/xvfb.log" 2>&1 &
    XV_XVFB_PID=$!
    export DISPLAY=":$display"
    # A busy machine may take several seconds to bring a new server up.
    local i
    for i in $(seq 1 300); do
        xdpyinfo > /dev/null 2>&1 && break
        kill -0 "$XV_XVFB_PID" 2> /dev/null || break
        sleep 0.1
    done
    xdpyinfo > /dev/null 2>&1 || {
        echo "Xvfb did not start on $DISPLAY"
        return 1
    }

    XV_PULSE_SERVER="unix:$XV_RUN/pulse/native"
    PULSE_RUNTIME_PATH="$XV_RUN/pulse/run" PULSE_STATE_PATH="$XV_RUN/pulse/state" \
        pulseaudio --daemonize=yes --exit-idle-time=-1 -n --use-pid-file=yes \
        --load=module-null-sink \
        --load="module-native-protocol-unix socket=$XV_RUN/pulse/native auth-anonymous=1" \
        --log-target="file:$XV_RUN/pulse/log" 2> "$XV_RUN/pulse/stderr" || true
    for i in $(seq 1 50); do
        [ -S "$XV_RUN/pulse/native" ] && break
        sleep 0.1
    done
    XV_PULSE_PID=$(cat "$XV_RUN/pulse/run/pid" 2> /dev/null || true)
    [ -S "$XV_RUN/pulse/native" ] || {
        echo "PulseAudio did not start"
        return 1
    }

    if [ ! -e "$WINEPREFIX/system.reg" ]; then
        wineboot -i > "$XV_RUN/wineboot.log" 2>&1
        wineserver -w
    fi
    # The console sends right clicks to the program only with the edit menu moved to
    # Ctrl + right click (MenuMask 1), and mouse records at all only without Quick-Edit.
    wine reg add 'HKCU\Console' /v MenuMask /t REG_DWORD /d 1 /f > /dev/null 2>&1
    wine reg add 'HKCU\Console' /v QuickEdit /t REG_DWORD /d 0 /f > /dev/null 2>&1
    wineserver -w
}

# Ends the player and every other process of this prefix, then the display and the sound
# server (both were started by xv_setup).
xv_cleanup() {
    [ -n "${WINEPREFIX:-}" ] && { wineserver -k 2> /dev/null || true; }
    [ -n "${XV_XVFB_PID:-}" ] && { kill "$XV_XVFB_PID" 2> /dev/null || true; }
    [ -n "${XV_PULSE_PID:-}" ] && { kill "$XV_PULSE_PID" 2> /dev/null || true; }
    XV_XVFB_PID="" XV_PULSE_PID=""
}

# xv_start FOLDER EXE [ARGUMENT...]: starts EXE in FOLDER in a console window of its own.
# Sets XV_WINDOW (X window), XV_LEFT/XV_TOP (screen pixel of the client area's corner),
# XV_PID (Windows process id), XV_UNIX_PID, XV_STARTED; the exit code lands in $XV_RUN/exit.
# XV_ON_WINDOW, if set, is run as soon as the window is measured.
xv_start() {
    local folder=$1 exe=$2
    shift 2
    rm -f "$XV_RUN/exit"
    XV_STARTED=$(xv_now)
    (
        cd "$folder" || exit 1
        set +e
        PULSE_SERVER=$XV_PULSE_SERVER wine wineconsole "$exe" "$@" > "$XV_RUN/console.out" 2>&1
        echo $? > "$XV_RUN/exit.tmp"
        mv "$XV_RUN/exit.tmp" "$XV_RUN/exit"
    ) &
    local name i hex
    name=$(basename "$exe")
    XV_WINDOW=
    # Wine's start on a loaded machine has been seen to take 30 s.
    for i in $(seq 1 450); do
        XV_WINDOW=$(xdotool search --name "$name\$" 2> /dev/null | head -1 || true)
        [ -n "$XV_WINDOW" ] && break
        sleep 0.1
    done
    [ -n "$XV_WINDOW" ] || {
        echo "no console window for $name after 45 s"
        return 1
    }
    xv_measure_window || return 1
    # A command that must act at once, before the slow search for the process id below.
    ${XV_ON_WINDOW:-true}
    XV_PID=
    for i in $(seq 1 50); do
        # winedbg lists the processes of this prefix with hexadecimal ids.
        hex=$(echo "info proc" | wine winedbg 2> /dev/null |
            awk -v n="'$name'" '$NF == n { gsub(/[^0-9a-fA-F]/, "", $1); print $1; exit }' ||
            true)
        [ -n "$hex" ] && XV_PID=$((16#$hex)) && break
        sleep 0.1
    done
    [ -n "$XV_PID" ] || {
        echo "no Windows process $name"
        return 1
    }
    XV_UNIX_PID=
    for i in $(seq 1 50); do
        XV_UNIX_PID=$(xv_unix_pid "$name")
        [ -n "$XV_UNIX_PID" ] && break
        sleep 0.1
    done
}

# The client area of the console window and its cell size. Without a window manager on
# Xvfb the window has no decoration, but the corner is taken from the X server all the same.
xv_measure_window() {
    local info width height
    info=$(xwininfo -id "$XV_WINDOW")
    XV_LEFT=$(awk -F: '/Absolute upper-left X/ { print $2 + 0 }' <<< "$info")
    XV_TOP=$(awk -F: '/Absolute upper-left Y/ { print $2 + 0 }' <<< "$info")
    width=$(awk -F: '/Width/ { print $2 + 0 }' <<< "$info")
    height=$(awk -F: '/Height/ { print $2 + 0 }' <<< "$info")
    # The console sets its window size a moment after the window appears.
    if [ "$width" != $((XV_COLUMNS * XV_CELL_WIDTH)) ] ||
        [ "$height" != $((XV_ROWS * XV_CELL_HEIGHT)) ]; then
        sleep 0.5
        info=$(xwininfo -id "$XV_WINDOW")
        width=$(awk -F: '/Width/ { print $2 + 0 }' <<< "$info")
        height=$(awk -F: '/Height/ { print $2 + 0 }' <<< "$info")
        XV_LEFT=$(awk -F: '/Absolute upper-left X/ { print $2 + 0 }' <<< "$info")
        XV_TOP=$(awk -F: '/Absolute upper-left Y/ { print $2 + 0 }' <<< "$info")
    fi
    XV_WIDTH=$width XV_HEIGHT=$height
    if [ "$width" != $((XV_COLUMNS * XV_CELL_WIDTH)) ] ||
        [ "$height" != $((XV_ROWS * XV_CELL_HEIGHT)) ]; then
        echo "console window is ${width}x${height} pixels, not 69 x 22 cells of 8 x 16"
        return 1
    fi
}

# xv_unix_pid NAME: the Linux process of the Windows program NAME in this prefix. Wine
# rewrites a process's argv into one blank-padded command line; its first word is the
# program (for the console window's own process that is wineconsole.exe).
xv_unix_pid() {
    local name=$1 pid first
    for pid in $(pgrep -f "$name" || true); do
        first=$(tr '\0' ' ' < "/proc/$pid/cmdline" 2> /dev/null | awk '{ print $1 }')
        case $first in */"$name" | *\\"$name") ;; *) continue ;; esac
        tr '\0' '\n' < "/proc/$pid/environ" 2> /dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" ||
            continue
        echo "$pid"
        return 0
    done
}

# xv_screen: reads the console of the player into $XV_RUN/screen.txt: lines 1..22 the
# characters as UTF-8, lines 23..44 the attributes, two hex digits per cell.
xv_screen() {
    wine "$XV_ROOT/build/mingw/varlo_screen.exe" "$XV_PID" > "$XV_RUN/screen.raw" \
        2> "$XV_RUN/screen.err" < /dev/null || return 1
    iconv -f CP437 -t UTF-8 "$XV_RUN/screen.raw" > "$XV_RUN/screen.txt"
}

# xv_text ROW COL LENGTH (from the last xv_screen).
xv_text() {
    local line
    line=$(sed -n "${1}p" "$XV_RUN/screen.txt")
    printf '%s' "${line:$(($2 - 1)):$3}"
}

# xv_attribute ROW COL: the attribute of one cell as two hex digits, background first (7 =
# light grey) and foreground second (0 black, 9 light blue).
xv_attribute() {
    local line
    line=$(sed -n "$((XV_ROWS + $1))p" "$XV_RUN/screen.txt")
    printf '%s' "${line:$((($2 - 1) * 2)):2}"
}

# xv_attributes ROW COL LENGTH: the attributes of a run of cells, one word per cell.
xv_attributes() {
    local i out=""
    for ((i = 0; i < $3; i++)); do out+="${out:+ }$(xv_attribute "$1" $(($2 + i)))"; done
    printf '%s' "$out"
}

xv_show() {
    echo "---- console of varlo.exe ----"
    sed -n "1,${XV_ROWS}p" "$XV_RUN/screen.txt" | sed 's/^/|/'
    echo "---- end of console ----"
}

# xv_wait_text ROW COL TEXT [TIMEOUT]: waits until TEXT ("a|b": either) stands there.
xv_wait_text() {
    local row=$1 col=$2 wanted=$3 timeout=${4:-15}
    local deadline=$(($(date +%s%N) + ${timeout%.*} * 1000000000)) choice
    local alternatives
    IFS='|' read -r -a alternatives <<< "$wanted"
    while :; do
        if xv_screen; then
            for choice in "${alternatives[@]}"; do
                [ "$(xv_text "$row" "$col" "${#choice}")" = "$choice" ] && return 0
            done
        fi
        if [ "$(date +%s%N)" -gt "$deadline" ]; then
            echo "time-out: \"$wanted\" not at row $row, column $col after ${timeout}s"
            xv_show
            return 1
        fi
        sleep 0.1
    done
}

# xv_column ROW TEXT: the column where TEXT starts in ROW of the last screen (0 if absent).
xv_column() {
    local line rest
    line=$(sed -n "${1}p" "$XV_RUN/screen.txt")
    rest=${line%%"$2"*}
    [ "$rest" = "$line" ] && {
        echo 0
        return
    }
    echo $((${#rest} + 1))
}

# xv_click ROW COL [BUTTON] [COUNT]: clicks the middle of a cell (1-based row and column);
# COUNT 2 is a double-click. Button 1 left, 3 right.
xv_click() {
    local row=$1 col=$2 button=${3:-1} count=${4:-1}
    local x=$((XV_LEFT + (col - 1) * XV_CELL_WIDTH + XV_CELL_WIDTH / 2))
    local y=$((XV_TOP + (row - 1) * XV_CELL_HEIGHT + XV_CELL_HEIGHT / 2))
    xdotool mousemove "$x" "$y"
    sleep 0.05
    xdotool click --repeat "$count" --delay 80 "$button"
}

# xv_wait_exit [TIMEOUT]: waits until the program has ended; prints its exit code.
xv_wait_exit() {
    local timeout=${1:-15} i
    for i in $(seq 1 $((timeout * 10))); do
        [ -e "$XV_RUN/exit" ] && {
            cat "$XV_RUN/exit"
            return 0
        }
        sleep 0.1
    done
    echo "none"
    return 1
}

# xv_screenshot FILE: the console window as a PNG.
xv_screenshot() {
    import -window root -crop "${XV_WIDTH}x${XV_HEIGHT}+${XV_LEFT}+${XV_TOP}" +repage "$1"
}
