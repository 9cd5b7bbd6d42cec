# Replies a terminal sends late to queries of other programs (an OSC colour reply, a DCS
# version string, an 8-bit CSI report) are typed into the pane: the player takes none of them
# as keys, neither at the sort prompt ("1" would answer it) nor while playing (digits would
# skip titles, "m" lengthen the countdown).
folder="$VW_RUN/stray-media"
vw_media_folder "$folder" 60 "Alpha - Nordwind.wav" "Beta - Ostwind.wav"
replies=$'\e]11;rgb:1c1c/0000/0000\e\\\eP>|xterm(390)\e\\\e]4;1;rgb:ff/00/00\a\u009b12;1R\u009d2;m\a'
vn_start stray "$folder"
vw_wait_text 3 2 "sortierung nach?:" 20
vw_type "$replies"
sleep 1.5
vw_wait_text 3 2 "sortierung nach?:" 1
vw_key 2
vw_wait_text 10 32 "Alpha" 10
vw_wait_text 5 27 "  30   " 5
vw_type "$replies"
sleep 1.5
vw_wait_text 10 32 "Alpha" 1
vw_wait_text 5 27 "  30   " 1
if grep -aq "Fade out" "$VW_DIR/stream"; then
    echo "a reply skipped a title"
    exit 1
fi
vw_quit
vn_expect_restored
