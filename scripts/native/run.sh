#!/bin/bash
# run.sh [TEST...]: runs the tests of the native player (all of tests/*.sh, or the named ones)
# against build/native/varlo in tmux panes and ends with "N passed, M failed"; exit code 1
# when one failed.
#
# One PulseAudio with a null sink per run, reached only through PULSE_SERVER, so that no other
# sound server of the machine is used or disturbed. The comparison with the Windows build runs
# build/mingw/varlo.exe under Wine in a prefix of this suite's own (build/native-wine-prefix,
# made when it is not there).
set -u
here=$(cd "$(dirname "$0")" && pwd)
export VW_ROOT=$(cd "$here/../.." && pwd)
export VW_RUN="$VW_ROOT/build/native-run"
export VW_EXE="$VW_ROOT/build/mingw/varlo.exe"
export VN_EXE="$VW_ROOT/build/native/varlo"
export WINEPREFIX="$VW_ROOT/build/native-wine-prefix"
export VW_TMUX_SOCKET=varlo-native-$$
source "$VW_ROOT/scripts/wine/lib.sh"

suite_start=$(date +%s)
for file in "$VN_EXE" "$VW_EXE"; do
    if [ ! -x "$file" ]; then
        echo "no $file: run scripts/build.sh native mingw first"
        echo "0 passed, 1 failed"
        exit 1
    fi
done
for tool in wine wineboot wineserver tmux pulseaudio python3; do
    if ! command -v "$tool" > /dev/null; then
        echo "missing $tool: run scripts/setup.sh first"
        echo "0 passed, 1 failed"
        exit 1
    fi
done

rm -rf "$VW_RUN"
mkdir -p "$VW_RUN"
vw_start_pulse
finish() {
    vw_stop_server
    wineserver -k 2> /dev/null || true
    [ -n "${VW_PULSE_PID:-}" ] && kill "$VW_PULSE_PID" 2> /dev/null || true
}
trap finish EXIT

if [ ! -e "$WINEPREFIX/system.reg" ]; then
    boot_start=$(date +%s)
    wineboot -i > "$VW_RUN/wineboot.log" 2>&1
    wineserver -w
    echo "wine prefix made in $(($(date +%s) - boot_start)) s"
fi

tests=()
for name in "$@"; do tests+=("$here/tests/${name%.sh}.sh"); done
[ $# -gt 0 ] || tests=("$here"/tests/*.sh)

passed=0
failed=0
for test in "${tests[@]}"; do
    name=$(basename "$test" .sh)
    start=$(date +%s)
    bash -e -c 'source "$1"; source "$2"; trap vn_stop EXIT; source "$3"' _ \
        "$VW_ROOT/scripts/wine/lib.sh" "$here/lib.sh" "$test" > "$VW_RUN/$name.log" 2>&1
    code=$?
    seconds=$(($(date +%s) - start))
    if [ $code -eq 0 ]; then
        echo "PASS $name (${seconds}s)"
        passed=$((passed + 1))
    else
        echo "FAIL $name (${seconds}s)"
        sed 's/^/    /' "$VW_RUN/$name.log"
        failed=$((failed + 1))
    fi
done
echo "native suite took $(($(date +%s) - suite_start)) s"
echo "$passed passed, $failed failed"
[ $failed -eq 0 ]
