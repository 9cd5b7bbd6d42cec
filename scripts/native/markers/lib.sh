# vn_markers quiet|busy: the player and gst-play-1.0 over the marker folder of markers.sh, both
# recorded; fails unless every marker of the player's 44 titles was heard whole. Prints (as
# "note:") the markers heard whole of those counted, per type, for both players.
vn_markers() {
    local load=$1 folder="$VW_RUN/markers-media" out="$VW_RUN/$1-sound" i
    local markers="$VW_ROOT/scripts/native/markers.py"
    mkdir -p "$out"
    VN_MARKER_PIDS=() # the busy loops, recorders and gst-play-1.0, ended however the test ends
    trap 'kill "${VN_MARKER_PIDS[@]}" 2> /dev/null || true; vn_stop' EXIT
    if [ "$load" = busy ]; then
        for i in $(seq 1 "$(nproc)"); do
            sh -c 'while :; do :; done' &
            VN_MARKER_PIDS+=($!)
        done
    fi
    parec -s "$VW_PULSE_SERVER" -d null.monitor --raw --format=s16le --rate=8000 --channels=1 \
        > "$out/varlo.raw" 2> "$out/parec.log" &
    local recorder=$!
    VN_MARKER_PIDS+=($recorder)
    parec -s "$VW_PULSE_SERVER" -d reference.monitor --raw --format=s16le --rate=8000 \
        --channels=1 > "$out/gst-play.raw" 2>> "$out/parec.log" &
    VN_MARKER_PIDS+=($!)

    vn_start "markers-$load" "$folder"
    vw_wait_text 3 2 "sortierung nach?:" 20
    sleep 2 # a recording's first 2 s may miss a stream's start
    vw_key 2
    # gst-play-1.0 takes some 1.5 s more for each file: the first 28 end before the player.
    local files=("$folder"/*.*)
    PULSE_SERVER=$VW_PULSE_SERVER timeout 300 gst-play-1.0 --no-interactive -q \
        --audiosink="pulsesink device=reference" "${files[@]:0:28}" \
        > "$out/gst-play.log" 2>&1 < /dev/null &
    local reference=$!
    VN_MARKER_PIDS+=($reference)
    # A title is skipped to the next one in its middle (key 1): its end marker never sounds.
    vw_wait_text 10 33 "06" 60
    sleep 2
    vw_key 1
    # After the list: the folder chooser into "Zweite" (entry 1), whose two titles play at
    # once, in random order; then the same list sorted again by title.
    vw_wait_text 3 2 "sortierung nach?:" 240
    vw_key O
    vw_wait_text 1 2 "Hier übernehmen >> markers-media" 10
    vw_key 1
    vw_wait_text 1 2 "Hier übernehmen >> Zweite" 10
    vw_key Enter
    vw_wait_text 10 33 "41|42" 20
    local first
    first=$(vw_text 10 33 2)
    vw_wait_text 3 2 "sortierung nach?:" 20
    vw_key 2
    vw_wait_text 1 1 "╔" 10
    vw_wait_text 3 2 "sortierung nach?:" 20
    # The prompt answers itself after some 4 s: the player ends here.
    vw_tmux kill-session -t "$VW_NAME"
    sleep 0.5
    kill "$recorder"
    wait "$reference" || true
    sleep 0.5
    kill "${VN_MARKER_PIDS[@]}" 2> /dev/null || true
    VN_MARKER_PIDS=()

    local types=($VN_MARKER_TYPES) meant=() result=0
    for i in $(seq 1 40); do
        meant+=("${types[$(((i - 1) % 4))]}")
    done
    python3 "$markers" measure "$out/gst-play.raw" 8000 > "$out/gst-play.heard"
    python3 "$markers" count "$out/gst-play.heard" 0 "${meant[@]:0:28}" > "$out/gst-play.count" ||
        true
    if [ "$first" = 41 ]; then meant+=(flac mp3); else meant+=(mp3 flac); fi
    meant+=(flac mp3)
    python3 "$markers" measure "$out/varlo.raw" 8000 > "$out/varlo.heard"
    python3 "$markers" count "$out/varlo.heard" 1 "${meant[@]}" > "$out/varlo.count" || result=1
    echo "note: $load, varlo: $(head -1 "$out/varlo.count")"
    echo "note: $load, gst-play-1.0: $(head -1 "$out/gst-play.count")"
    tail -n +2 "$out/varlo.count"
    tail -n +2 "$out/gst-play.count" | sed 's/^/gst-play-1.0: /'
    return $result
}
