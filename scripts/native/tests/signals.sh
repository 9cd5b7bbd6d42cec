# The terminal comes back on every way the player ends: Ctrl+C at the sort prompt, SIGTERM
# during playback (mouse reports on), SIGTERM and SIGHUP at once, SIGUSR1. A stopped and
# continued player draws everything anew.
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

# SIGTERM and SIGHUP at once (a terminal closed while the system stops): the terminal comes
# back once, whichever of the two ends the player, and is asked for its own size again.
vn_start both "$folder" sound 80 24
vw_wait_text 3 2 "sortierung nach?:" 20
vw_key 2
vw_wait_text 10 32 "Alpha" 10
player=$(pgrep -P "$(vw_tmux display-message -p -t "$VW_NAME" '#{pane_pid}')" -x varlo)
kill -TERM "$player"
kill -HUP "$player"
vw_wait_exit 143 5 || vw_wait_exit 129 1
vn_expect_restored
if ! tr '\n' ' ' < "$VW_DIR/stream" | grep -aq $'\e\[8;22;69t.*\e\[?1049l\e\[8;24;80t'; then
    echo "the terminal was not asked for its size before"
    exit 1
fi

# SIGUSR1, which the player has no use for, ends it as its default action does, the terminal
# restored. Its stderr, the terminal here, went to the drive's varlo.log, with the signal.
printf '#!/bin/bash\nexec %q "$@" 2> /dev/tty\n' "$VN_EXE" > "$VW_RUN/stderr-on-terminal.sh"
chmod +x "$VW_RUN/stderr-on-terminal.sh"
VN_ENV=("XDG_DATA_HOME=$VW_RUN/signals-data" "GST_DEBUG=GST_STATES:4" "GST_DEBUG_NO_COLOR=1")
VN_EXE="$VW_RUN/stderr-on-terminal.sh" vn_start logged "$folder"
vw_wait_text 3 2 "sortierung nach?:" 20
vw_key 2
vw_wait_text 10 32 "Alpha" 10
player=$(pgrep -P "$(vw_tmux display-message -p -t "$VW_NAME" '#{pane_pid}')" -x varlo)
kill -USR1 "$player"
vw_wait_exit 138 5
vn_expect_restored
log="$VW_RUN/signals-data/varlo/C/varlo.log"
if ! grep -q "GST_STATES" "$log" || ! grep -q "^varlo: ended by signal 10$" "$log"; then
    echo "stderr did not reach $log:"
    tail -3 "$log" 2> /dev/null
    exit 1
fi
if grep -q GST_STATES "$VW_DIR/stream"; then
    echo "stderr reached the screen"
    exit 1
fi
