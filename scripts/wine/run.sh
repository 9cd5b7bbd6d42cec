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

vw_need "$VW_EXE" wine wineboot wineserver tmux pulseaudio python3
# PulseAudio with a null sink: Wine then has a wave output device.
vw_begin_run

# --- The prefix: made once per run, shared by its tests. ---
[ "${VARLO_WINE_REUSE_PREFIX:-0}" = 1 ] || rm -rf "$WINEPREFIX"
vw_make_prefix

vw_run_tests "$here/tests" vw_stop "$here/lib.sh" -- "$@"
vw_summary "Wine suite"
