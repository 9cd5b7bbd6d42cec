# The volume as it is heard, in a recording of the null sink's monitor: +, the pause's fade-out
# (every step of it before the pause's silence) and fade-in, and the skip's fade each reach
# the sound within 50 ms of the screen showing them, however much sound the sink keeps queued.
folder="$VW_RUN/volume_latency-media"
vw_media_folder "$folder" 40 "Alpha - Nordwind.wav" "Beta - Ostwind.wav"
steps="$VW_ROOT/scripts/native/volume_steps.py"
rate=22050
out="$VW_RUN/volume_latency-sound"
mkdir -p "$out"
mkfifo "$out/fifo"
parec -s "$VW_PULSE_SERVER" -d null.monitor --raw --format=s16le --rate=$rate --channels=1 \
    --latency-msec=10 > "$out/fifo" 2> "$out/parec.log" &
recorder=$!
python3 "$steps" record "$out/sound.raw" "$out/times" < "$out/fifo" &
stamper=$!
trap 'kill $recorder 2> /dev/null || true; vn_stop' EXIT

now() { date +%s.%N; }
# press KEY ROW COL TEXT LEVEL...: types KEY; once TEXT shows, the levels set from then on.
press() {
    local key=$1 row=$2 col=$3 text=$4 shown
    shift 4
    shown=$(python3 "$steps" press "$VW_TMUX_SOCKET" volume_latency "$key" "$row" "$col" "$text")
    echo "${shown#* } $*" >> "$out/events"
}

vn_start volume_latency "$folder"
vw_wait_text 3 2 "sortierung nach?:" 20
vw_key 2
vw_wait_text 10 32 "Alpha" 10
sleep 2.5
echo "$(now) 400" > "$out/events"
press + 5 8 " 4.5" 450
sleep 1.5
press P 2 45 "Fade out..." 450 350 250 150 50 0
vw_wait_text 4 45 "(P)lay " 5
sleep 1.5
press P 2 45 "Fade in...  " 1 121 241 361
sleep 2.5
press 1 3 40 "Fade out..." 450 350 250 150 50
vw_wait_text 10 32 "Beta" 10
sleep 0.5
kill $recorder
wait $stamper || true
python3 "$steps" check "$out/sound.raw" "$out/times" $rate "$out/events" > "$out/result" || {
    cat "$out/result"
    exit 1
}
echo "note: each level heard after the screen showed it, ms: $(awk '{ printf "%s ", $4 }' "$out/result")"
