# With the null sink there is a wave output device: the player gets into its main cycle.
folder="$VW_RUN/sound_device-media"
vw_media_folder "$folder" 4 "Alpha - Nordwind.wav"
vw_start sound_device "$folder" sound
vw_wait_text 3 2 "sortierung nach?: 1 Zufall   2 Titel   3 Interpreten" 20
if grep -qaF "No sound device" "$VW_DIR/stream"; then
    echo "reported no sound device although the null sink is there"
    exit 1
fi
