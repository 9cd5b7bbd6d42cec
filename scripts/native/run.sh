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
# No player of a test reaches a bus of the machine's: a test that wants one starts its own.
export DBUS_SESSION_BUS_ADDRESS="unix:path=$VW_RUN/no-session-bus"
export DBUS_SYSTEM_BUS_ADDRESS="unix:path=$VW_RUN/no-system-bus"
source "$VW_ROOT/scripts/wine/lib.sh"

vw_need "$VN_EXE" "$VW_EXE" wine wineboot wineserver tmux pulseaudio python3
vw_begin_run

vw_make_prefix

vw_run_tests "$here/tests" vn_stop "$VW_ROOT/scripts/wine/lib.sh" "$here/lib.sh" -- "$@"
vw_summary "native suite"
