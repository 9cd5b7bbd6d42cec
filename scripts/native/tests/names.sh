# File names that Linux allows and Windows-1252 cannot show: a Polish, a Cyrillic and a quoted
# name, and two names that show the same ("?ód? - Kapela"), each play to their end, none is
# "Can't open file!". Then the folder chooser in a folder of 2000 Cyrillic names answers each
# key at once (it used to read the whole folder again for every "?" name: over 10 s a key).
folder="$VW_RUN/names-media"
titles=("Łódź - Kapela.wav" "Śódź - Kapela.wav" "Ночь - Хор.wav" 'Song "Live" - Band.wav'
    "Zebra - Ost.wav")
vw_media_folder "$folder" 4 "${titles[@]}"
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

vn_start names "$folder"
vw_wait_text 3 2 "sortierung nach?:" 20
player=$(pgrep -P "$(vw_tmux display-message -p -t "$VW_NAME" '#{pane_pid}')" -x varlo)

# Which media files the player holds open, every 0.1 s, until the list has played.
: > "$VW_DIR/open-files"
(
    while kill -0 "$player" 2> /dev/null; do
        for fd in /proc/"$player"/fd/*; do
            target=$(readlink "$fd" 2> /dev/null) || continue
            case $target in "$folder"/*.wav) echo "$EPOCHREALTIME ${target##*/}" ;; esac
        done >> "$VW_DIR/open-files"
        sleep 0.1
    done
) &
sampler=$!
vw_key 2
vw_wait_text 1 1 "╔" 10
vw_wait_text 3 2 "sortierung nach?:" 60
kill "$sampler" 2> /dev/null || true
if grep -qaF "Can't open file!" "$VW_DIR/stream"; then
    echo "a title could not be opened"
    exit 1
fi
for title in "${titles[@]}"; do
    # From the first look that found the file open to the last: 4 s of sound and the closing
    # wait, 3.5 s at least.
    span=$(grep -aF -- " $title" "$VW_DIR/open-files" | awk 'NR == 1 { first = $1 } { last = $1 }
        END { printf "%.1f", NR ? last - first : 0 }')
    echo "$title: open for $span s"
    if awk -v s="$span" 'BEGIN { exit !(s < 3.5) }'; then
        echo "\"$title\" did not play to its end"
        exit 1
    fi
done

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
