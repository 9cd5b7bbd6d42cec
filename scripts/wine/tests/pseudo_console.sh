# The player in a pseudo console (ConPTY), as Windows Terminal hosts it: started through
# pseudo_console_host.exe, whose pseudo console's output (UTF-8 with VT sequences) a pane of
# the same size shows as a terminal would. In 100 x 35 the screen stands top-left with
# nothing else in the pane, blanked in the player's colours, and no size request goes out; in
# 60 x 18 the error report, and a key typed through the pseudo console ends the player.
HOST="$VW_ROOT/build/mingw/pseudo_console_host.exe"
vw_need "$HOST" winepath
player=$(winepath -w "$VW_EXE")
hosts=()
trap 'for h in "${hosts[@]}"; do vw_tmux kill-session -t "$h" 2> /dev/null || true; done; vw_stop' EXIT

# pty_start NAME FOLDER COLUMNS ROWS: the player in a pseudo console of COLUMNS x ROWS, shown
# in session NAME; its host's own console, which takes the keys, is session NAME-keys.
pty_start() {
    local name=$1 folder=$2 columns=$3 rows=$4
    VW_NAME=$name
    VW_DIR="$VW_RUN/$name"
    rm -rf "$VW_DIR"
    mkdir -p "$VW_DIR"
    snapshot_watch "$VW_DIR" "$folder"
    : > "$VW_DIR/stream"
    vw_tmux new-session -d -s "$name" -x "$columns" -y "$rows" "tail -c +0 -f $VW_DIR/stream"
    vw_tmux set-option -t "$name" status off > /dev/null
    vw_tmux set-option -t "$name" window-size manual > /dev/null
    vw_tmux resize-window -t "$name" -x "$columns" -y "$rows"
    {
        printf 'cd %q || exit 1\n' "$folder"
        printf 'export PULSE_SERVER=%q\n' "$VW_PULSE_SERVER"
        printf 'wine %q %s %s %q > %q 2> %q\n' "$HOST" "$columns" "$rows" "$player" \
            "$VW_DIR/stream" "$VW_DIR/stderr"
        printf 'echo $? > %q.tmp && mv %q.tmp %q\n' "$VW_DIR/exit" "$VW_DIR/exit" "$VW_DIR/exit"
    } > "$VW_DIR/inner.sh"
    hosts+=("$name-keys")
    vw_tmux new-session -d -s "$name-keys" -x 80 -y 24 "bash $VW_DIR/inner.sh"
}
pty_key() { vw_tmux send-keys -t "$VW_NAME-keys" "$1"; }

folder="$VW_RUN/pseudo_console-media"
vw_media_folder "$folder" 30 "Alpha - Nordwind.wav"

pty_start pseudo_console "$folder" 100 35
vw_wait_text 3 2 "sortierung nach?:" 20
pty_key 2
vw_wait_text 10 32 "Alpha" 15
vw_wait_text 1 1 "╔══════════════════════════>> Varlo <<══════════════════════════════╗"
vw_wait_text 22 1 "down                                                             down"
blank=$(printf '%100s' '')
for row in $(seq 1 35); do
    line=$(vw_screen | sed -n "${row}p")
    [ "${line:69}" = "${blank:69}" ] || {
        echo "row $row holds something beside the screen: \"${line:69}\""
        vw_show
        exit 1
    }
    [ "$row" -le 22 ] || [ "$line" = "$blank" ] || {
        echo "row $row below the screen is not blank: \"$line\""
        vw_show
        exit 1
    }
done
vw_expect_attribute 35 70 31 30/47 "the pane beside and below the screen"
if grep -qaP '\e\[8;\d+;\d+t' "$VW_DIR/stream"; then
    echo "a size request went to the terminal"
    exit 1
fi
echo "note: 100 x 35: screen top-left, the rest blank in the player's colours"
vw_stop

pty_start pseudo_console-small "$folder" 60 18
vw_wait_text 1 1 ">>Fehler: 5 , 0 ,Illegal function call<<" 20
pty_key x
vw_wait_exit 0 10
echo "note: 60 x 18: the error report, ended by a key"
