# Three 4-second titles: the playback screen, volume, pause and continue, the second cycle's
# sort prompt, and the quit prompt; the terminal is given back as it was.
folder="$VW_RUN/play_through-media"
vw_media_folder "$folder" 4 "Alpha - Nordwind.wav" "Beta - Ostwind.wav" "Gamma - Westwind.wav"
vn_start play_through "$folder"
vw_wait_text 3 2 "sortierung nach?:" 20
vw_key 2
vw_wait_text 1 1 "╔" 10
vw_wait_text 1 28 ">> Varlo <<"
vw_wait_text 2 24 "gefundene Titel: 3 "
vw_wait_text 10 32 "Alpha"
vw_expect_attribute 10 32 5 "94/47" "playing title light blue on light grey"

# Volume 4 + 3 x 0.5.
vw_wait_text 5 8 " 4 "
vw_key + + +
vw_wait_text 5 8 " 5.5" 10

# Pause: the pause texts, then P again continues with a fade-in, after which the header is
# the playing state's again.
vw_key P
vw_wait_text 4 45 "(P)lay " 15
vw_wait_text 5 45 "   >   "
vw_wait_text 4 27 ">> Pause <<|<< Pause >>"
vw_key P
vw_wait_text 2 45 "Fade in...  " 5
vw_wait_text 4 27 "Down in           (P)ause" 5
vw_wait_text 5 18 "    (d)" 1
vw_wait_text 5 36 "(m)         II    " 1

# The list plays to its end; the cycle starts again with the sort prompt.
vw_wait_text 3 2 "sortierung nach?: 1 Zufall   2 Titel   3 Interpreten" 40
vw_key 2
vw_wait_text 10 32 "Alpha" 10
vw_wait_text 5 8 " 4 " # every scan sets the volume back to 4

# Esc asks; J ends the program with exit code 0 and the terminal as it was.
vw_key Escape
vw_wait_text 1 1 " Programm beenden ? J/N" 10
sleep 0.5 # keys in the first 200 ms are flushed
vw_key J
vw_wait_exit 0 10
vn_expect_restored
