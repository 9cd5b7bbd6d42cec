# The terminal comes back on every way the player ends: Ctrl+C at the sort prompt, SIGTERM
# during playback (mouse reports on). A stopped and continued player draws everything anew.
folder="$VW_RUN/signals-media"
vw_media_folder "$folder" 60 "Alpha - Nordwind.wav"
vn_start interrupted "$folder"
vw_wait_text 3 2 "sortierung nach?:" 20
vw_tmux send-keys -t "$VW_NAME" C-c
vw_wait_exit 130 5
vn_expect_restored

vn_start terminated "$folder"
vw_wait_text 3 2 "sortierung nach?:" 20
vw_key 2
vw_wait_text 10 32 "Alpha" 10
player=$(pgrep -P "$(vw_tmux display-message -p -t "$VW_NAME" '#{pane_pid}')" -x varlo)
# Stopped, the terminal reset behind its back, continued: it takes the terminal again.
kill -STOP "$player"
vw_tmux send-keys -t "$VW_NAME" -R
sleep 0.5
if vw_screen | grep -q Alpha; then
    echo "the reset left the screen as it was"
    exit 1
fi
kill -CONT "$player"
vw_wait_text 10 32 "Alpha" 5
vw_expect_attribute 10 32 5 "94/47" "playing title after the stop"
kill -TERM "$player"
vw_wait_exit 143 5
vn_expect_restored
