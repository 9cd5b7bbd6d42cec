#!/bin/bash
# test_power.sh: the power action of the real varlo.exe under Wine, without powering off.
#
# A Wine prefix of this test's own (build/wine-power-prefix, made afresh each run) in which
# COMSPEC names C:\stand\cmd.exe, so that the player finds the stand-in shutdown.exe in
# C:\stand first. The stand-in only appends its command line to stand_in_shutdown.log beside
# itself. Wine's own shutdown.exe ends the whole Wine session; the one in this prefix's
# system folders is replaced by the stand-in as well (and forced native), and a log beside it
# fails the test.
#
# Runs, each with D pressed six times so that the countdown stands at 0 after the first title:
#   hibernate  c:\hiberfil.sys, no link: " /h" once, after 20 s the next title, Down 30
#   link       c:\hiberfil.sys and hibernate.link on the desktop: c:\dummi.cmd started
#   shutdown   no c:\hiberfil.sys: " /s" once, and the program has ended
#   blank      the stand-in in a folder with a blank: started quoted, not C:\Stand.exe
# Ends with "N passed, M failed"; exit code 1 when one failed. Names may select runs;
# POWER_TRACE=1 traces each run into its log (build/wine-power-run/NAME.log).
set -u
here=$(cd "$(dirname "$0")" && pwd)
export VW_ROOT=$(cd "$here/../.." && pwd)
export VW_RUN="$VW_ROOT/build/wine-power-run"
export VW_EXE="$VW_ROOT/build/mingw/varlo.exe"
export WINEPREFIX="$VW_ROOT/build/wine-power-prefix"
STAND_IN="$VW_ROOT/build/mingw/stand_in_shutdown.exe"
source "$here/lib.sh"
# The stand-in, never a builtin, whatever folder a shutdown.exe is started from.
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;shutdown.exe=n"

DRIVE_C="$WINEPREFIX/drive_c"
MEDIA="$DRIVE_C/music"
TITLE_SECONDS=8

# --- Local helpers. ---

# power_start NAME FOLDER: like vw_start with sound, but the pane's shell stays 10 s after the
# player (the started shutdown.exe shares the terminal), and no folder is watched.
power_start() {
    local name=$1 folder=$2
    VW_NAME=$name
    VW_DIR="$VW_RUN/$name"
    rm -rf "$VW_DIR"
    mkdir -p "$VW_DIR"
    {
        printf '#!/bin/bash\n'
        printf 'while [ ! -e %q ]; do sleep 0.05; done\n' "$VW_DIR/armed"
        printf 'cd %q || exit 1\n' "$folder"
        printf 'export PULSE_SERVER=%q\n' "$VW_PULSE_SERVER"
        printf 'wine %q 2> %q\n' "$VW_EXE" "$VW_DIR/stderr"
        printf 'echo $? > %q.tmp && mv %q.tmp %q\n' "$VW_DIR/exit" "$VW_DIR/exit" "$VW_DIR/exit"
        # The started shutdown.exe shares the terminal: were its shell to end with the player,
        # the hang-up would kill it before it has written its log.
        printf 'sleep 10\n'
    } > "$VW_DIR/inner.sh"
    vw_open_pane "$name"
    touch "$VW_DIR/armed"
}

# A Windows command in the prefix, its output without CR.
power_wine() { wine "$@" 2> /dev/null | tr -d '\r'; }

# power_set_comspec FOLDER: COMSPEC of every program of the prefix becomes FOLDER\cmd.exe.
# Wine takes COMSPEC from the registry, not from the Unix environment.
power_set_comspec() {
    power_wine reg add 'HKCU\Environment' /v COMSPEC /d "$1\cmd.exe" /f > /dev/null
    wineserver -w || true
    # As a newly started program sees it; the first program after a change may not yet.
    local i got
    for i in 1 2 3; do
        got=$(power_wine 'C:\windows\system32\cmd.exe' /c 'echo %COMSPEC%')
        [ "$got" = "$1\cmd.exe" ] && return 0
        wineserver -w || true
        sleep 1
    done
    echo "COMSPEC is \"$got\", not $1\cmd.exe"
    return 1
}

# HOMEPATH as the player sees it ("\users\root"); asked from the first try that answers.
power_homepath() {
    local i value
    for i in 1 2 3; do
        value=$(power_wine cmd /c 'echo %HOMEPATH%')
        case $value in \\*) printf '%s' "$value"; return 0 ;; esac
        sleep 1
    done
    echo "HOMEPATH not to be had: $value" >&2
    return 1
}

power_make_prefix() {
    rm -rf "$WINEPREFIX"
    wineboot -i > "$VW_RUN/wineboot.log" 2>&1
    wineserver -w || true
    local folder
    for folder in system32 syswow64; do
        [ -e "$DRIVE_C/windows/$folder/shutdown.exe" ] &&
            cp "$STAND_IN" "$DRIVE_C/windows/$folder/shutdown.exe"
    done
    mkdir -p "$DRIVE_C/stand" "$DRIVE_C/Stand In"
    # The system starts a .cmd file through COMSPEC: Wine's own cmd.exe must be there too.
    for folder in "$DRIVE_C/stand" "$DRIVE_C/Stand In"; do
        cp "$STAND_IN" "$folder/shutdown.exe"
        cp "$DRIVE_C/windows/system32/cmd.exe" "$folder/cmd.exe"
    done
    # Where an unquoted "C:\Stand In\shutdown.exe" would go.
    cp "$STAND_IN" "$DRIVE_C/Stand.exe"
    HOMEPATH_VALUE=$(power_homepath) || return 1
    DESKTOP="$DRIVE_C$(printf '%s' "$HOMEPATH_VALUE" | tr '\\' '/')/Desktop"
    # Wine links the desktop to the Unix home: a folder of the prefix's own instead.
    [ -L "$DESKTOP" ] && rm "$DESKTOP"
    mkdir -p "$DESKTOP"
    vw_media_folder "$MEDIA" "$TITLE_SECONDS" "Alpha - Nordwind.wav" "Beta - Ostwind.wav" \
        "Gamma - Suedwind.wav"
}

# Every file a run may leave, gone before the next run.
power_clean() {
    rm -f "$DRIVE_C/hiberfil.sys" "$DRIVE_C/dummi.cmd" "$DESKTOP/hibernate.link" \
        "$DRIVE_C/stand/stand_in_shutdown.log" "$DRIVE_C/Stand In/stand_in_shutdown.log" \
        "$DRIVE_C/stand_in_shutdown.log"
}

# power_wait_anywhere TEXT [TIMEOUT]: waits until TEXT stands somewhere on the screen.
power_wait_anywhere() {
    local wanted=$1 timeout=${2:-$VW_DEFAULT_TIMEOUT}
    local deadline=$(($(date +%s) + timeout))
    until vw_screen | grep -qF -- "$wanted"; do
        if [ "$(date +%s)" -gt "$deadline" ]; then
            echo "time-out: \"$wanted\" not on the screen after ${timeout}s"
            vw_show
            return 1
        fi
        sleep "$VW_POLL"
    done
}

# power_expect_log FILE LINE: FILE holds exactly LINE + CR LF.
power_expect_log() {
    local i
    for i in $(seq 1 50); do
        [ -s "$1" ] && break
        sleep 0.1
    done
    if ! printf '%s\r\n' "$2" | cmp -s - "$1"; then
        echo "$1 does not hold exactly \"$2\":"
        cat -A "$1" 2> /dev/null || echo "(no file)"
        return 1
    fi
}

power_no_wine_shutdown() {
    local log
    for log in "$DRIVE_C"/windows/*/stand_in_shutdown.log "$DRIVE_C/stand_in_shutdown.log"; do
        [ -e "$log" ] && { echo "a shutdown.exe was started as $log says:"; cat "$log"; return 1; }
    done
    return 0
}

# The prompt answered at once, the first title playing with its Down field, D six times.
power_play_and_run_down() {
    vw_wait_text 3 2 "sortierung nach?: 1 Zufall   2 Titel   3 Interpreten" 20
    vw_key 1
    vw_wait_text 1 28 ">> Varlo <<" 10
    vw_wait_text 5 27 "  30  " 5
    vw_key d d d d d d
    vw_wait_text 5 27 "  0   " 5
}

# After the hibernation wait the next title plays with a fresh countdown.
power_expect_next_title() {
    local shown=$1
    sleep 18
    [ -e "$VW_DIR/exit" ] && { echo "the program ended"; vw_show; return 1; }
    vw_wait_text 5 27 "  30  " 10
    vw_wait_text 1 28 ">> Varlo <<" 5
    if vw_screen | grep -qF -- "$shown"; then
        echo "the power command still stands: no new title"
        vw_show
        return 1
    fi
}

# --- The runs. ---

run_hibernate() {
    power_set_comspec 'C:\stand'
    : > "$DRIVE_C/hiberfil.sys"
    power_start hibernate "$MEDIA"
    vw_wait_stream "Ruhemodus OK" 10
    power_play_and_run_down
    power_wait_anywhere '>>C:\stand\shutdown.exe /h<<' $((TITLE_SECONDS + 10))
    power_expect_log "$DRIVE_C/stand/stand_in_shutdown.log" 'C:\stand\shutdown.exe /h'
    power_expect_next_title '>>C:\stand\shutdown.exe /h<<'
    power_expect_log "$DRIVE_C/stand/stand_in_shutdown.log" 'C:\stand\shutdown.exe /h'
    [ ! -e "$DRIVE_C/dummi.cmd" ] || { echo "c:\\dummi.cmd written without a link"; return 1; }
    power_no_wine_shutdown
}

run_link() {
    power_set_comspec 'C:\stand'
    : > "$DRIVE_C/hiberfil.sys"
    : > "$DESKTOP/hibernate.link"
    power_start link "$MEDIA"
    vw_wait_stream "Ruhemodus OK" 10
    power_play_and_run_down
    printf '"C:%s\\Desktop\\hibernate.link"\r\n' "$HOMEPATH_VALUE" > "$VW_DIR/dummi.expected"
    if ! cmp -s "$VW_DIR/dummi.expected" "$DRIVE_C/dummi.cmd"; then
        echo "c:\\dummi.cmd:"
        cat -A "$DRIVE_C/dummi.cmd" 2> /dev/null || echo "(no file)"
        echo "expected:"
        cat -A "$VW_DIR/dummi.expected"
        return 1
    fi
    power_wait_anywhere '>>c:\dummi.cmd<<' $((TITLE_SECONDS + 10))
    power_expect_next_title '>>c:\dummi.cmd<<'
    [ ! -e "$DRIVE_C/stand/stand_in_shutdown.log" ] || {
        echo "shutdown.exe started instead of the link:"
        cat "$DRIVE_C/stand/stand_in_shutdown.log"
        return 1
    }
    power_no_wine_shutdown
}

run_shutdown() {
    power_set_comspec 'C:\stand'
    : > "$DESKTOP/hibernate.link"  # ignored without hibernation
    power_start shutdown "$MEDIA"
    vw_wait_text 1 1 "kein Ruhemodus > down beendet alles" 10
    power_play_and_run_down
    vw_wait_exit 0 $((TITLE_SECONDS + 15))
    power_expect_log "$DRIVE_C/stand/stand_in_shutdown.log" 'C:\stand\shutdown.exe /s'
    vw_wait_stream '>>C:\stand\shutdown.exe /s<<' 1
    [ ! -e "$DRIVE_C/dummi.cmd" ] || { echo "c:\\dummi.cmd written without hibernation"; return 1; }
    power_no_wine_shutdown
}

run_blank() {
    power_set_comspec 'C:\Stand In'
    power_start blank "$MEDIA"
    vw_wait_text 1 1 "kein Ruhemodus > down beendet alles" 10
    power_play_and_run_down
    vw_wait_exit 0 $((TITLE_SECONDS + 15))
    power_expect_log "$DRIVE_C/Stand In/stand_in_shutdown.log" '"C:\Stand In\shutdown.exe" /s'
    [ ! -e "$DRIVE_C/stand_in_shutdown.log" ] || { echo "C:\\Stand.exe was started"; return 1; }
    power_no_wine_shutdown
}

# --- Main. ---

vw_need "$VW_EXE" "$STAND_IN"
vw_begin_run
if ! power_make_prefix; then
    echo "the test's Wine prefix could not be made"
    echo "0 passed, 1 failed"
    exit 1
fi

runs=("$@")
[ ${#runs[@]} -gt 0 ] || runs=(hibernate link shutdown blank)
for run in "${runs[@]}"; do
    start=$SECONDS
    power_clean
    (
        set -e
        [ -z "${POWER_TRACE:-}" ] || set -x
        trap "vw_stop || true" EXIT
        "run_$run"
    ) > "$VW_RUN/$run.log" 2>&1
    vw_report "power_$run" $? $((SECONDS - start)) "$VW_RUN/$run.log"
done
vw_summary "Power suite"
