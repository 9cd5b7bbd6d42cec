# Quick-Edit switched on while the player runs (as a user does in the window's properties,
# here through console_mode.exe from outside) is switched off again by the next input poll,
# with mouse input back on; keys work on.
MODE_TOOL="$VW_ROOT/build/mingw/console_mode.exe"
ENABLE_MOUSE_INPUT=0x10
ENABLE_QUICK_EDIT_MODE=0x40

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

# Quick-Edit on, mouse off, line editing and echo on: what a console has by default.
console_mode 0xc7 > /dev/null
mouse_mode_back 5
vw_key +
vw_wait_text 5 8 " 4.5" 5

vw_quit
