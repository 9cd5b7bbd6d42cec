# Without any wave output device the player says so, waits about 2 s and ends with code 0.
folder="$VW_RUN/no_sound_device-media"
vw_media_folder "$folder" 4 "Alpha - Nordwind.wav"
vw_start no_sound_device "$folder" nosound
vw_wait_stream "No sound device found!" 20
seen=$(date +%s.%N)
vw_wait_exit 0 10
shown=$(python3 -c "print(round($(cat "$VW_DIR/ended") - $seen, 2))")
echo "message stood ${shown}s"
# 2 s of waiting, seen up to one poll late, plus Wine's own ending.
python3 -c "import sys; sys.exit(0 if 1.7 <= $shown <= 4.0 else 1)" || {
    echo "the message should stand about 2 s"
    exit 1
}
# Nothing of the main cycle ran: no sort prompt was ever drawn.
if grep -qaF "sortierung nach" "$VW_DIR/stream"; then
    echo "the sort prompt appeared without a sound device"
    exit 1
fi
