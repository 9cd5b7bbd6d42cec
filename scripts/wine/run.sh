#!/bin/bash
# run.sh [TEST...]: runs the Wine tests (all of tests/*.sh, or the named ones) against
# build/mingw/varlo.exe and ends with "N passed, M failed"; exit code 1 when one failed.
#
# One Wine prefix per run (build/wine-prefix, made afresh; VARLO_WINE_REUSE_PREFIX=1 keeps an
# existing one while developing) and one PulseAudio with a null sink, reached only through
# PULSE_SERVER, so that no other sound server of the machine is used or disturbed.
set -u
here=$(cd "$(dirname "$0")" && pwd)
export VW_ROOT=$(cd "$here/../.." && pwd)
export VW_RUN="$VW_ROOT/build/wine-run"
export VW_EXE="$VW_ROOT/build/mingw/varlo.exe"
export WINEPREFIX="$VW_ROOT/build/wine-prefix"
source "$here/lib.sh"

suite_start=$(date +%s)
if [ ! -x "$VW_EXE" ]; then
    echo "no $VW_EXE: run scripts/build.sh first"
    echo "0 passed, 1 failed"
    exit 1
fi
for tool in wine wineboot wineserver tmux pulseaudio python3; do
    if ! command -v "$tool" > /dev/null; then
        echo "missing $tool: run scripts/setup.sh first"
        echo "0 passed, 1 failed"
        exit 1
    fi
done

rm -rf "$VW_RUN"
mkdir -p "$VW_RUN"

# --- PulseAudio with a null sink: Wine then has a wave output device. ---
vw_start_pulse

finish() {
    vw_stop_server
    wineserver -k 2> /dev/null || true
    [ -n "${VW_PULSE_PID:-}" ] && kill "$VW_PULSE_PID" 2> /dev/null || true
}
trap finish EXIT

# --- The prefix: made once per run, shared by its tests. ---
if [ "${VARLO_WINE_REUSE_PREFIX:-0}" != 1 ] || [ ! -e "$WINEPREFIX/system.reg" ]; then
    rm -rf "$WINEPREFIX"
    boot_start=$(date +%s)
    wineboot -i > "$VW_RUN/wineboot.log" 2>&1
    wineserver -w
    echo "wine prefix made in $(($(date +%s) - boot_start)) s"
fi

if [ $# -gt 0 ]; then
    tests=()
    for name in "$@"; do tests+=("$here/tests/${name%.sh}.sh"); done
else
    tests=("$here"/tests/*.sh)
fi

passed=0
failed=0
for test in "${tests[@]}"; do
    name=$(basename "$test" .sh)
    if [ ! -f "$test" ]; then
        echo "FAIL $name (no such test)"
        failed=$((failed + 1))
        continue
    fi
    start=$(date +%s)
    bash -e -c 'source "$1"; trap vw_stop EXIT; source "$2"' _ "$here/lib.sh" "$test" \
        > "$VW_RUN/$name.log" 2>&1
    code=$?
    seconds=$(($(date +%s) - start))
    if [ $code -eq 0 ]; then
        echo "PASS $name (${seconds}s)"
        # Figures a test reports, as "note: ..." lines of its log.
        sed -n 's/^note: /    /p' "$VW_RUN/$name.log"
        passed=$((passed + 1))
    else
        echo "FAIL $name (${seconds}s)"
        sed 's/^/    /' "$VW_RUN/$name.log"
        failed=$((failed + 1))
    fi
done
echo "Wine suite took $(($(date +%s) - suite_start)) s"
echo "$passed passed, $failed failed"
[ $failed -eq 0 ]
