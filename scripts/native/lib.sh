# Helpers of the native tests, sourced by run.sh and by every test through it, after the
# helpers of the Wine tests (scripts/wine/lib.sh): reading the screen and its colours, keys,
# exit codes and folder snapshots work the same on a pane of the native player, and the
# comparison with the Windows build starts varlo.exe with them.
#
# Set by run.sh: VN_EXE (build/native/varlo) and what the Wine helpers need.

VN_SESSIONS=()
VN_ENV=() # NAME=VALUE words exported to the next players started

# vn_use NAME: the session the helpers look at from now on.
vn_use() {
    VW_NAME=$1
    VW_DIR="$VW_RUN/$1"
}

# vn_start NAME FOLDER [sound|nosound] [COLUMNS ROWS]: starts the native player in FOLDER in a
# fresh session NAME of COLUMNS x ROWS cells (69 x 22). As vw_start: the exit code in
# $VW_DIR/exit, stderr in $VW_DIR/stderr, every byte sent to the terminal in $VW_DIR/stream;
# and the terminal's settings before and after in $VW_DIR/stty-before and stty-after. The pane
# stays open afterwards, so that what the player left of the terminal can be looked at.
vn_start() {
    local name=$1 folder=$2 sound=${3:-sound} columns=${4:-$VW_COLUMNS} rows=${5:-$VW_ROWS}
    vn_use "$name"
    rm -rf "$VW_DIR"
    mkdir -p "$VW_DIR"
    snapshot_watch "$VW_DIR" "$folder"
    local pulse=$VW_PULSE_SERVER
    [ "$sound" = nosound ] && pulse="unix:$VW_DIR/no-pulse-here"
    {
        printf '#!/bin/bash\n'
        printf 'while [ ! -e %q ]; do sleep 0.05; done\n' "$VW_DIR/armed"
        printf 'cd %q || exit 1\n' "$folder"
        # Ctrl+C reaches the shell too: it must not end before it has written the exit code.
        printf 'trap : INT QUIT\n'
        local assignment
        for assignment in "${VN_ENV[@]}"; do printf 'export %q\n' "$assignment"; done
        printf 'stty -g > %q\n' "$VW_DIR/stty-before"
        printf 'date +%%s.%%N > %q\n' "$VW_DIR/started"
        printf 'PULSE_SERVER=%q %q 2> %q\n' "$pulse" "$VN_EXE" "$VW_DIR/stderr"
        printf 'code=$?\n'
        printf 'date +%%s.%%N > %q\n' "$VW_DIR/ended"
        printf 'stty -g > %q\n' "$VW_DIR/stty-after"
        printf 'echo $code > %q.tmp && mv %q.tmp %q\n' "$VW_DIR/exit" "$VW_DIR/exit" "$VW_DIR/exit"
        printf 'exec sleep 600\n'
    } > "$VW_DIR/inner.sh"
    VW_COLUMNS=$columns VW_ROWS=$rows vw_open_pane "$name"
    VN_SESSIONS+=("$name")
    local size
    size=$(vw_tmux display-message -p -t "$name" '#{pane_width}x#{pane_height}')
    if [ "$size" != "${columns}x${rows}" ]; then
        echo "pane is $size, not ${columns}x${rows}"
        return 1
    fi
    touch "$VW_DIR/armed"
}

# vn_start_windows NAME FOLDER: varlo.exe under Wine in FOLDER, for comparison.
vn_start_windows() {
    vw_start "$1" "$2" sound
    VN_SESSIONS+=("$1")
    VN_WINE=1
}

# vn_expect_restored: the player gave the terminal back as it found it: main screen, cursor
# shown, no mouse reports, autowrap on, and the same stty settings (cooked mode, echo).
vn_expect_restored() {
    local flags
    flags=$(vw_tmux display-message -p -t "$VW_NAME" \
        '#{alternate_on} #{cursor_flag} #{mouse_any_flag}#{mouse_button_flag}#{mouse_all_flag}#{mouse_sgr_flag}#{mouse_standard_flag} #{wrap_flag}')
    if [ "$flags" != "0 1 00000 1" ]; then
        echo "terminal not restored: alternate screen, cursor, mouse modes, autowrap = $flags"
        return 1
    fi
    if ! cmp -s "$VW_DIR/stty-before" "$VW_DIR/stty-after"; then
        echo "stty settings changed: $(cat "$VW_DIR/stty-before") -> $(cat "$VW_DIR/stty-after")"
        return 1
    fi
}

# vn_click BUTTON ROW COL: a click as xterm reports it in SGR form (press, release) to the
# current session; BUTTON 0 left, 1 middle, 2 right.
vn_click() {
    local button=$1 row=$2 col=$3
    vw_tmux send-keys -t "$VW_NAME" -l $'\e'"[<$button;$col;${row}M"$'\e'"[<$button;$col;${row}m"
    sleep 0.05
}

# Ends every session of the test; then, once the programs have ended, the folder checks.
vn_stop() {
    local name failed=0
    for name in "${VN_SESSIONS[@]}"; do vw_tmux kill-session -t "$name" 2> /dev/null || true; done
    if [ -n "${VN_WINE:-}" ]; then
        wineserver -k 2> /dev/null || true
        wineserver -w 2> /dev/null || true
    fi
    for name in "${VN_SESSIONS[@]}"; do snapshot_check "$VW_RUN/$name" || failed=1; done
    VN_SESSIONS=()
    [ $failed -eq 0 ] || exit 1
}
