# Quick-Edit switched on while the player runs (as a user does in the window's properties,
# here through console_mode.exe from outside) is switched off again within about a second
# (the player reads the mode once a second, not at every poll), with mouse input back on;
# keys work on.
MODE_TOOL="$VW_ROOT/build/mingw/console_mode.exe"
ENABLE_MOUSE_INPUT=0x10
ENABLE_QUICK_EDIT_MODE=0x40
# The player's second between two reads of the mode, a pass, and a busy machine's delays.
QUICK_EDIT_BOUND_MS=1500

# console_mode [MODE]: the console's input mode as a number.
console_mode() {
    local line
    line=$(wine "$MODE_TOOL" varlo.exe "$@" 2> /dev/null | tr -d '\r')
    [[ $line == mode=0x* ]] || {
        echo "console_mode.exe: \"$line\""
        return 1
    }
    echo $((${line#mode=}))
}

# quick_edit_on: switches Quick-Edit on, mouse input off, line editing and echo on (what a
# console has by default), and prints the ms until the mode had the mouse back, as the tool
# saw it reading the mode every 10 ms from the moment it set it ("none" after 3 s).
quick_edit_on() {
    local line
    line=$(wine "$MODE_TOOL" varlo.exe 0xc7 3000 2> /dev/null | tr -d '\r')
    [[ $line == *back_ms=* ]] || line="back_ms=\"$line\""
    echo "${line##*back_ms=}"
}

# mouse_mode_back TIMEOUT: waits until the mode has mouse input and no Quick-Edit.
mouse_mode_back() {
    local deadline=$(($(date +%s) + $1)) mode
    while :; do
        mode=$(console_mode) || return 1
        [ $((mode & (ENABLE_MOUSE_INPUT | ENABLE_QUICK_EDIT_MODE))) = $((ENABLE_MOUSE_INPUT)) ] &&
            return 0
        if [ "$(date +%s)" -gt "$deadline" ]; then
            printf 'input mode still 0x%x after %s s\n' "$mode" "$1"
            return 1
        fi
        sleep 0.2
    done
}

folder="$VW_RUN/quick_edit-media"
vw_media_folder "$folder" 30 "Alpha - Nordwind.wav"
vw_start quick_edit "$folder" sound
vw_wait_text 3 2 "sortierung nach?:" 20
mouse_mode_back 5
vw_key 2
vw_wait_text 10 32 "Alpha" 15

# Twice, at two places of the player's second.
for _ in 1 2; do
    back=$(quick_edit_on)
    if ! [[ $back =~ ^[0-9]+$ ]] || [ "$back" -gt "$QUICK_EDIT_BOUND_MS" ]; then
        echo "Quick-Edit switched on from outside: mouse back after $back ms" \
            "(at most $QUICK_EDIT_BOUND_MS)"
        exit 1
    fi
    echo "Quick-Edit switched off again after $back ms"
    sleep 0.3
done
mouse_mode_back 5
vw_key +
vw_wait_text 5 8 " 4.5" 5

vw_quit
