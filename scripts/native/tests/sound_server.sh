# The sound server under a playing title, with a PulseAudio of this test's own: its sink
# stalls (the title ends in about 10 s and the closing wait), the server hangs for 40 s (keys
# are answered all the while, the title ends, sound comes back once the server does), the
# server is killed and started again on the same socket (the player lives on, a stream is on
# the new server within 10 s and is heard), its only sink goes (as headphones out of range)
# and a new one comes; and a player started while the server hangs.
folder="$VW_RUN/sound_server-media"
vw_media_folder "$folder" 60 "Alpha - Nordwind.wav" "Beta - Ostwind.wav" "Delta - Suedwind.wav" \
    "Epsilon - Nordwind.wav" "Gamma - Westwind.wav" "Kappa - Ostwind.wav"

# The test's own server, in $VW_RUN/sound_server-pulse; the run's one stays untouched.
pulse_up() {
    rm -f "$VW_RUN/sound_server-pulse/pulse/native" "$VW_RUN/sound_server-pulse/pulse/run/pid"
    VW_RUN="$VW_RUN/sound_server-pulse" vw_start_pulse
    [ -n "$VW_PULSE_PID" ] || { echo "no PulseAudio"; return 1; }
}
pulse_up
trap 'kill -CONT $VW_PULSE_PID 2> /dev/null || true; kill $VW_PULSE_PID 2> /dev/null || true; vn_stop' EXIT

now() { date +%s.%N; }
since() { python3 -c "print(round($(now) - $1, 1))"; }
# heard: the null sink's monitor carries a tone (1 s recorded).
heard() {
    timeout 1 parec -s "$VW_PULSE_SERVER" -d null.monitor --raw --format=s16le --rate=8000 \
        --channels=1 --latency-msec=50 > "$VW_DIR/heard.raw" 2> /dev/null || true
    python3 -c "import array, sys
d = open(sys.argv[1], 'rb').read()
a = array.array('h'); a.frombytes(d[: len(d) // 2 * 2])
sys.exit(0 if a and max(abs(x) for x in a) > 1000 else 1)" "$VW_DIR/heard.raw"
}
# heard_within SECONDS: sound on the monitor before the time is up; prints the seconds.
heard_within() {
    local start
    start=$(now)
    while ! heard; do
        if python3 -c "import sys; sys.exit(0 if $(now) - $start > $1 else 1)"; then
            echo "nothing heard for $1 s" >&2
            vw_show >&2
            return 1
        fi
    done
    since "$start"
}
# title_ends TITLE SECONDS: waits until TITLE has left the playing line; prints the seconds.
title_ends() {
    local start
    start=$(now)
    while [ "$(vw_text 10 32 ${#1})" = "$1" ]; do
        if python3 -c "import sys; sys.exit(0 if $(now) - $start > $2 else 1)"; then
            echo "$1 still playing after $2 s" >&2
            vw_show >&2
            return 1
        fi
        sleep 0.1
    done
    since "$start"
}
within() { python3 -c "import sys; sys.exit(0 if $2 <= $1 <= $3 else 1)"; }

vn_start sound_server "$folder"
vw_wait_text 3 2 "sortierung nach?:" 20
vw_key 2
vw_wait_text 10 32 "Alpha" 10
sleep 1
heard_within 5 > /dev/null

# A sink that takes no more sound: the position the player reads stands still.
pactl -s "$VW_PULSE_SERVER" suspend-sink null 1
stalled=$(title_ends Alpha 30)
pactl -s "$VW_PULSE_SERVER" suspend-sink null 0
echo "note: title on a stalled sink ended after ${stalled}s (standstill and closing wait)"
within "$stalled" 9 25 || { echo "expected about 13 s"; exit 1; }

# A server that hangs for 40 s.
vw_wait_text 10 32 "Beta" 10
heard_within 5 > /dev/null
kill -STOP "$VW_PULSE_PID"
hung=$(now)
sleep 1
shown=$(python3 "$VW_ROOT/scripts/native/volume_steps.py" press "$VW_TMUX_SOCKET" sound_server + \
    5 8 " 4.5")
key=$(python3 -c "print(round((${shown#* } - ${shown% *}) * 1000))")
echo "note: + shown ${key} ms after it was typed, 1 s into the hang"
[ "$key" -lt 100 ] || { echo "+ answered too late"; exit 1; }
ended=$(title_ends Beta 25)
echo "note: title ended ${ended}s into the hang"
sleep "$(python3 -c "print(max(0, 40 - ($(now) - $hung)))")"
kill -CONT "$VW_PULSE_PID"
again=$(heard_within 10)
echo "note: sound again ${again}s after the server went on"

# A server that is killed, and started again on the same socket.
kill -KILL "$VW_PULSE_PID"
playing=$(vw_text 10 32 5)
killed=$(title_ends "$playing" 10)
echo "note: title ended ${killed}s after its server was killed"
sleep 3
pid=$(pgrep -P "$(vw_tmux display-message -p -t sound_server '#{pane_pid}')" -x varlo)
[ -n "$pid" ] || { echo "the player died with its server"; exit 1; }
cpu() { awk '{ print $14 + $15 }' "/proc/$pid/stat"; }
before=$(cpu)
sleep 2
echo "note: without a server the player used $((($(cpu) - before) * 5)) ms/s"
[ $(($(cpu) - before)) -lt 40 ] || { echo "busy without a server"; exit 1; }
pulse_up
back=$(now)
until [ -n "$(pactl -s "$VW_PULSE_SERVER" list sink-inputs short 2> /dev/null)" ]; do
    within "$(since "$back")" 0 10 || { echo "no stream on the new server in 10 s"; exit 1; }
    sleep 0.1
done
echo "note: a stream on the restarted server after $(since "$back")s"
heard_within 10 > /dev/null
vw_wait_text 1 1 "╔" 5
kill -0 "$pid"

# The only sink goes away: the title ends; a new sink comes: it is heard.
playing=$(vw_text 10 32 5)
pactl -s "$VW_PULSE_SERVER" unload-module module-null-sink
gone=$(title_ends "$playing" 10)
echo "note: title ended ${gone}s after its sink went"
pactl -s "$VW_PULSE_SERVER" load-module module-null-sink > /dev/null
again=$(heard_within 10)
echo "note: sound again ${again}s after a new sink came"
kill -0 "$pid"

# A player started while the server hangs starts all the same.
kill -STOP "$VW_PULSE_PID"
vn_start sound_server_start "$folder"
vw_wait_text 3 2 "sortierung nach?:" 10
kill -CONT "$VW_PULSE_PID"
