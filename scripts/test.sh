#!/bin/bash
# test.sh: sets up the machine, builds all three configurations and runs every test: the unit
# tests natively and under the sanitizers, the fuzz targets briefly (scripts/fuzz.sh), the
# check that varlo.exe needs only DLLs of Windows itself, the Wine tests of the real program,
# and the tests of the native player.
# Ends with "total: N passed, M failed" and a non-zero exit code when anything failed.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
logs="$root/build/test-logs"

passed=0
failed=0
declare -A built=()

fail() {
    echo "FAIL $1"
    failed=$((failed + 1))
}

if ! bash scripts/setup.sh; then
    echo "setup failed"
    echo "total: 0 passed, 1 failed"
    exit 1
fi
mkdir -p "$logs"

for config in native asan mingw tsan; do
    if bash scripts/build.sh "$config"; then
        built[$config]=1
    else
        fail "build $config"
    fi
done

# ctest's own closing line gives the counts: "100% tests passed, 0 tests failed out of 57".
run_ctest() {
    local config=$1 log="$logs/ctest-$1.log"
    [ -n "${built[$config]:-}" ] || return 0
    echo "== unit tests ($config)"
    ctest --test-dir "build/$config" --output-on-failure -j 2 2>&1 | tee "$log"
    local summary total bad
    summary=$(grep -E "tests passed, [0-9]+ tests? failed out of [0-9]+" "$log" | tail -1)
    if [ -z "$summary" ]; then
        fail "unit tests ($config): no test ran"
        return
    fi
    bad=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<< "$summary")
    total=$(sed -E 's/.* failed out of ([0-9]+).*/\1/' <<< "$summary")
    passed=$((passed + total - bad))
    failed=$((failed + bad))
}
run_ctest native
run_ctest asan

# The unit tests of the code that runs on threads of its own, under ThreadSanitizer: each
# report fails the run as a test would. GLib and GStreamer are not built for it, and their
# locks (futexes of their own) are invisible to it: interceptors called from them are not
# followed, or every buffer handed from one streaming thread to the next would be a report.
# Races between the player's own threads are still seen (a lock left out of the stream's
# channel is reported).
run_tsan() {
    local log="$logs/tsan.log" ok bad reports
    [ -n "${built[tsan]:-}" ] || return 0
    echo "== threaded unit tests (tsan)"
    TSAN_OPTIONS="ignore_noninstrumented_modules=1 halt_on_error=0 exitcode=0" \
        build/tsan/varlo_thread_tests 2>&1 | tee "$log" | grep -E '^\[ *(OK|FAILED|PASSED) *\]'
    ok=$(grep -cE '^\[ +OK \] ' "$log")
    bad=$(grep -cE '^\[  FAILED  \] [A-Za-z_]+\.[A-Za-z_]+ \(' "$log")
    reports=$(grep -c '^WARNING: ThreadSanitizer' "$log")
    echo "tsan: $ok tests passed, $bad failed, $reports ThreadSanitizer reports"
    if [ "$ok" -eq 0 ]; then
        fail "threaded unit tests (tsan): no test ran"
        return
    fi
    passed=$((passed + ok))
    failed=$((failed + bad + reports))
    [ "$reports" -eq 0 ] || echo "FAIL ThreadSanitizer reports: see $log"
}
run_tsan

# varlo.exe must run on a bare Windows: it may import only the system's own DLLs.
check_imports() {
    local exe=$1 dll bad=""
    for dll in $(x86_64-w64-mingw32-objdump -p "$exe" | awk '/DLL Name:/ {print $3}'); do
        if ! grep -qiE '^(kernel32|user32|winmm|msvcrt|advapi32|ntdll|ucrtbase|api-ms-win-[a-z0-9-]+)\.dll$' <<< "$dll"; then
            bad+=" $dll"
        fi
    done
    if [ -n "$bad" ]; then
        fail "$(basename "$exe") imports non-system DLLs:$bad"
    else
        echo "PASS $(basename "$exe") imports only system DLLs"
        passed=$((passed + 1))
    fi
}
if [ -n "${built[mingw]:-}" ]; then
    echo "== imports of the Windows programs"
    for exe in build/mingw/*.exe; do check_imports "$exe"; done
    x86_64-w64-mingw32-objdump -p build/mingw/varlo.exe | grep 'DLL Name'
fi

# A suite prints its own "N passed, M failed" as its last such line.
run_suite() {
    local name=$1 log="$logs/$1.log" summary bad
    shift
    echo "== $name"
    "$@" 2>&1 | tee "$log"
    summary=$(grep -E '^[0-9]+ passed, [0-9]+ failed$' "$log" | tail -1)
    if [ -z "$summary" ]; then
        fail "$name: no result"
    else
        passed=$((passed + ${summary%% passed*}))
        bad=${summary#*, }
        failed=$((failed + ${bad%% failed}))
    fi
}
# Every fuzz target for 15 s over its seeds, the findings of the past among them.
run_suite fuzz bash scripts/fuzz.sh 15
if [ -n "${built[mingw]:-}" ]; then
    # The Win32 platform on stand-in consoles (a pseudo console's rules), under Wine.
    run_suite win32-units bash scripts/wine/test_win32_units.sh
    run_suite wine bash scripts/wine/run.sh
    run_suite wine-power bash scripts/wine/test_power.sh
    # The real console window on an Xvfb display of its own, worked with the mouse.
    run_suite xvfb-mouse bash scripts/xvfb/mouse_test.sh
    # Every media type of the scan played by the real program, and the matrix of what MCI saw.
    run_suite wine-formats bash scripts/wine/test_formats.sh
    # scripts/demo.sh with and without a sound server of the user's.
    run_suite demo bash scripts/wine/test_demo.sh
fi
# The native player in tmux panes, compared with the Windows build under Wine.
if [ -n "${built[native]:-}" ] && [ -n "${built[mingw]:-}" ]; then
    run_suite native bash scripts/native/run.sh
fi
# Every media type of the scan played by the native player to its end.
if [ -n "${built[native]:-}" ]; then
    run_suite native-formats bash scripts/wine/test_formats.sh native
    # Every title heard whole, its first notes and its last, idle and with every core busy.
    run_suite native-markers bash scripts/native/markers.sh
fi
# The Debian package and the Windows zip from release builds of their own: lintian, and the
# package installed, played from PATH and removed without a trace.
run_suite package bash scripts/package/test.sh

echo "total: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
