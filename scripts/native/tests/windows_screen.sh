# The native player's main screen equals, row by row and cell by cell in its colours, what the
# Windows build shows under Wine for the same folder; the playing title is light blue on light
# grey, the others black on light grey. The native player is told that its terminal takes 24-bit
# colours: it sends the Windows console's own, which compare by their colour numbers.
folder="$VW_RUN/windows_screen-media"
vw_media_folder "$folder" 60 "Alpha - Nordwind.wav" "Beta - Ostwind.wav" "Gamma - Westwind.wav" \
    "Delta - Südwind.wav"
VN_ENV=(COLORTERM=truecolor)
vn_start native "$folder"
VN_ENV=()
vn_start_windows windows "$folder"
for session in native windows; do
    vn_use $session
    vw_wait_text 3 2 "sortierung nach?:" 30
    vw_key 2
done
for session in native windows; do
    vn_use $session
    vw_wait_text 2 24 "gefundene Titel: 4 " 15
    vw_wait_text 16 32 "Delta"
    vw_wait_text 17 31 "Südwind"
    vw_wait_text 5 8 " 4 "
done
vn_use native
# Light blue on light grey, black on light grey, as Windows' console shows them.
grep -qaF $'\e[38;2;59;120;255;48;2;204;204;204m' "$VW_DIR/stream"
grep -qaF $'\e[38;2;12;12;12;48;2;204;204;204m' "$VW_DIR/stream"
vw_expect_attribute 10 32 5 "94/47" "playing title"
vw_expect_attribute 11 30 8 "94/47" "playing interpreter"
vw_expect_attribute 13 32 4 "30/47" "other title"

# Text and colours of every row, from both panes (a redraw may be under way: a few tries).
rows_of() {
    vn_use "$1"
    vw_screen
    local row
    for row in $(seq 1 22); do vw_attribute "$row" 1 69; done
}
for try in $(seq 1 20); do
    rows_of native > "$VW_RUN/native/rows"
    rows_of windows > "$VW_RUN/windows/rows"
    cmp -s "$VW_RUN/native/rows" "$VW_RUN/windows/rows" && break
    sleep 0.2
done
if ! cmp -s "$VW_RUN/native/rows" "$VW_RUN/windows/rows"; then
    echo "the screens differ (- native, + Windows):"
    diff "$VW_RUN/native/rows" "$VW_RUN/windows/rows"
    exit 1
fi
