# Without a sound server the player says so, waits about 2 s and ends with code 0.
folder="$VW_RUN/no_sound_device-media"
vw_media_folder "$folder" 4 "Alpha - Nordwind.wav"
vn_start no_sound_device "$folder" nosound
vw_wait_stream "No sound device found!" 20
seen=$(date +%s.%N)
vw_wait_exit 0 10
shown=$(python3 -c "print(round($(cat "$VW_DIR/ended") - $seen, 2))")
echo "message stood ${shown}s"
python3 -c "import sys; sys.exit(0 if 1.7 <= $shown <= 3.0 else 1)" || {
    echo "the message should stand about 2 s"
    exit 1
}
if grep -qaF "sortierung nach" "$VW_DIR/stream"; then
    echo "the sort prompt appeared without a sound device"
    exit 1
fi
vn_expect_restored
# The message stays on the terminal after the player has given it back.
vw_screen | grep -qF "No sound device found!" || {
    echo "the message went with the player"
    vw_show
    exit 1
}
