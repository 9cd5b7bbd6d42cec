# File names that Linux allows and Windows-1252 cannot show: a Polish, a Cyrillic and a quoted
# name, and two names that show the same ("?ód? - Kapela"), each play whole, from the start
# marker to the end marker in a recording of the sink (scripts/native/markers.py), none is
# "Can't open file!". Then the folder chooser in a folder of 2000 Cyrillic names answers each
# key at once (it used to read the whole folder again for every "?" name: over 10 s a key).
folder="$VW_RUN/names-media"
titles=("Łódź - Kapela.wav" "Śódź - Kapela.wav" "Ночь - Хор.wav" 'Song "Live" - Band.wav'
    "Zebra - Ost.wav")
mkdir -p "$folder"
(cd "$folder" && python3 "$VW_ROOT/scripts/native/markers.py" make "${titles[@]}")
big="$folder/Папки"
mkdir -p "$big"
python3 - "$big" << 'EOF'
import os, sys
letters = [chr(0x430 + k) for k in range(32)]
for i in range(2000):
    open(os.path.join(sys.argv[1], letters[i // 1024] + letters[i // 32 % 32] + letters[i % 32]), "w").close()
for i in range(1, 21):
    os.mkdir(os.path.join(sys.argv[1], "Папка %02d" % i))
EOF

sound="$VW_RUN/names-sound.raw"
parec -s "$VW_PULSE_SERVER" -d null.monitor --raw --format=s16le --rate=8000 --channels=1 \
    > "$sound" 2> /dev/null &
recorder=$!
trap 'kill $recorder 2> /dev/null || true; vn_stop' EXIT
vn_start names "$folder"
vw_wait_text 3 2 "sortierung nach?:" 20
player=$(pgrep -P "$(vw_tmux display-message -p -t "$VW_NAME" '#{pane_pid}')" -x varlo)
sleep 2 # a recording's first 2 s may miss a stream's start
vw_key 2
vw_wait_text 1 1 "╔" 10
vw_wait_text 3 2 "sortierung nach?:" 60
kill $recorder
if grep -qaF "Can't open file!" "$VW_DIR/stream"; then
    echo "a title could not be opened"
    exit 1
fi
python3 "$VW_ROOT/scripts/native/markers.py" measure "$sound" 8000 > "$VW_RUN/names-heard"
python3 "$VW_ROOT/scripts/native/markers.py" count "$VW_RUN/names-heard" 0 wav wav wav wav wav || {
    echo "a title was not heard whole: start and end markers, s: $(tr '\n' ' ' < "$VW_RUN/names-heard")"
    exit 1
}

# The chooser: ms from a key to the first change of row 4 (the first slot), through tmux.
row4() { vw_tmux capture-pane -p -t "$VW_NAME" -S 3 -E 3; }
key_ms() {
    local before start
    before=$(row4)
    start=$(date +%s%N)
    vw_tmux send-keys -t "$VW_NAME" "$1"
    while [ "$(row4)" = "$before" ]; do
        if [ $(($(date +%s%N) - start)) -gt 20000000000 ]; then
            echo "$1 answered nothing in 20 s"
            vw_show
            return 1
        fi
    done
    echo $((($(date +%s%N) - start) / 1000000))
}
# O at the sort prompt; Down in the music folder (two entries) for comparison, then "0" into
# "?????" (Папки) and five times Down there.
vw_key O
vw_wait_text 1 2 "Hier übernehmen >>" 10
small=$(key_ms Down)
vw_key 0
vw_wait_text 6 30 "????? 01" 20
worst=0
for step in 1 2 3 4 5; do
    took=$(key_ms Down)
    [ "$took" -gt "$worst" ] && worst=$took
done
echo "chooser key: at most $worst ms in 2000 Cyrillic names, $small ms in 2 names"
if [ "$worst" -gt 1000 ]; then
    echo "a chooser key took over 1 s"
    exit 1
fi
kill -TERM "$player"
vw_wait_exit 143 5
