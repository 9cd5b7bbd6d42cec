#!/bin/bash
# test_win32_units.sh: runs the Win32 platform's unit tests (build/mingw/win32_tests.exe)
# under Wine, in a prefix of their own, and ends with their "N passed, M failed".
set -u
root=$(cd "$(dirname "$0")/../.." && pwd)
exe="$root/build/mingw/win32_tests.exe"
export WINEPREFIX="$root/build/wine-units-prefix"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$exe" ]; then
    echo "no $exe: run scripts/build.sh mingw first"
    echo "0 passed, 1 failed"
    exit 1
fi
# Wine ends its lines with CR LF.
wine "$exe" < /dev/null 2>&1 | tr -d '\r'
code=${PIPESTATUS[0]}
wineserver -k 2> /dev/null || true
exit "$code"
