#!/bin/bash
# markers.sh: every title heard whole. The native player plays 40 titles of 4 s in title order
# (WAV, MP3, FLAC and Ogg Vorbis in turn, 10 of each), each a 0.5 s start marker at 2000 Hz,
# 3 s at 500 Hz and a 0.5 s end marker at 1000 Hz, while the null sink's monitor is recorded;
# in the middle a title is skipped (key 1), and after the list the folder is changed and that
# list sorted again, two titles each. gst-play-1.0 plays the first 28 files (7 of each type)
# at the same time into a second null sink of the same server, for comparison. Once on the
# machine as it is, once with a busy loop on every core for the whole run. Every start and end
# marker of the player must be heard for at least 0.45 s; gst-play's count is reported beside
# it. A recording leaves out the times when nothing plays.
#
# The recordings keep the server's own latency (no --latency-msec): a recorder that asks for
# 10 ms holds the sink at 10 ms, and then the sink has nothing to rewind when a stream starts.
# Ends with "N passed, M failed"; exit code 1 when one failed.
set -u
here=$(cd "$(dirname "$0")" && pwd)
export VW_ROOT=$(cd "$here/../.." && pwd)
export VW_RUN="$VW_ROOT/build/native-markers-run"
export VN_EXE="${VN_EXE:-$VW_ROOT/build/native/varlo}"
export VW_TMUX_SOCKET=varlo-markers-$$
export DBUS_SESSION_BUS_ADDRESS="unix:path=$VW_RUN/no-session-bus"
export DBUS_SYSTEM_BUS_ADDRESS="unix:path=$VW_RUN/no-system-bus"
source "$VW_ROOT/scripts/wine/lib.sh"

vw_need "$VN_EXE" tmux pulseaudio parec pactl python3 ffmpeg gst-play-1.0
vw_begin_run
pactl -s "$VW_PULSE_SERVER" load-module module-null-sink sink_name=reference > /dev/null
pactl -s "$VW_PULSE_SERVER" set-default-sink null

# The titles: "01 - Marke.wav", "02 - Marke.mp3", ... "40 - Marke.ogg"; and "41 - Marke.flac"
# and "42 - Marke.mp3" in the sub-folder "Zweite".
export VN_MARKER_TYPES="wav mp3 flac ogg"
folder="$VW_RUN/markers-media"
mkdir -p "$folder/Zweite"
python3 "$here/markers.py" make "$VW_RUN/marker.wav"
types=($VN_MARKER_TYPES)
for i in $(seq 1 40); do
    type=${types[$(((i - 1) % 4))]}
    name=$(printf '%02d - Marke.%s' "$i" "$type")
    if [ "$type" = wav ]; then
        cp "$VW_RUN/marker.wav" "$folder/$name"
    else
        ffmpeg -loglevel error -i "$VW_RUN/marker.wav" "$folder/$name"
    fi
done
ffmpeg -loglevel error -i "$VW_RUN/marker.wav" "$folder/Zweite/41 - Marke.flac"
ffmpeg -loglevel error -i "$VW_RUN/marker.wav" "$folder/Zweite/42 - Marke.mp3"

vw_run_tests "$here/markers" vn_stop "$VW_ROOT/scripts/wine/lib.sh" "$here/lib.sh" \
    "$here/markers/lib.sh" -- quiet busy
vw_summary "markers suite"
