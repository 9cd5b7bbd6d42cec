# A terminal smaller than 69 x 22 is refused as Windows refuses the console size: the error
# report, and a key ends the program; then a line on the standard error it was started with
# says what size it found, and the exit status says it failed. The terminal's window is never
# moved (no CSI 3;x;y t), its size is asked for.
folder="$VW_RUN/small_terminal-media"
vw_media_folder "$folder" 4 "Alpha - Nordwind.wav"
vn_start small_terminal "$folder" sound 60 18
vw_wait_text 1 1 ">>Fehler: 5 , 0 ,Illegal function call<<" 10
vw_key x
vw_wait_exit 1 5
vn_expect_restored
line="varlo: das Terminal hat 60 × 18 Zeichen, Varlo braucht mindestens 69 × 22."
if ! grep -qxF "$line" "$VW_DIR/stderr"; then
    echo "standard error has not the line \"$line\":"
    cat -v "$VW_DIR/stderr"
    exit 1
fi
if grep -qaP '\e\[3;[0-9]*;[0-9]*t' "$VW_DIR/stream"; then
    echo "the window was moved: $(grep -aoP '\e\[3;[0-9]*;[0-9]*t' "$VW_DIR/stream" | cat -v)"
    exit 1
fi
grep -qaF $'\e[8;22;69t' "$VW_DIR/stream"
echo "note: stderr: $(cat "$VW_DIR/stderr"); exit status $(cat "$VW_DIR/exit")"
