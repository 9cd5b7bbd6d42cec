# Three 4-second titles: the playback screen, the info screen, volume, pause and continue,
# the second cycle's sort prompt, and the quit prompt.
#
# Under Wine a title's position reads 0 once it has ended by itself and after a stop, and a
# seek fails. A 4-second title leaves the loop after about a second (fewer than 3 s remain)
# and plays out in the 3-second closing wait, which those quirks do not touch; but one that
# ends while the loop is held (info screen) reads 4 s left from then on, until a pause and
# its continue start it again. Hence the order: info screen first, pause last.
folder="$VW_RUN/play_through-media"
vw_media_folder "$folder" 4 "Alpha - Nordwind.wav" "Beta - Ostwind.wav" "Gamma - Westwind.wav"
vw_start play_through "$folder" sound
vw_wait_text 3 2 "sortierung nach?:" 20
vw_key 2

# Title order: Alpha plays first, in slot 0, highlighted.
vw_wait_text 1 1 "╔" 10
vw_wait_text 1 28 ">> Varlo <<"
vw_wait_text 2 24 "gefundene Titel: 3 "
vw_wait_text 10 1 "0)"
vw_wait_text 10 32 "Alpha"
vw_wait_text 11 30 "Nordwind"
vw_wait_text 13 1 "1)"
vw_wait_text 13 32 "Beta"
vw_wait_text 14 31 "Ostwind"
vw_wait_text 16 32 "Gamma"
vw_wait_text 19 1 "3)"
vw_wait_text 22 1 "down"
vw_expect_attribute 10 32 5 "94/47" "playing title light blue on light grey"
vw_expect_attribute 11 30 8 "94/47" "playing interpreter light blue on light grey"
vw_expect_attribute 13 32 4 "30/47" "other title black on light grey"

# The info screen, page 1 and page 2, then the playback screen again.
vw_key "?"
vw_wait_text 2 1 " Varlo Info" 10
vw_wait_text 4 1 "Dieses Programm spielt alle im Aufrufverzeichniss befindlichen"
vw_key x
vw_wait_text 2 1 "Ob und welche Formate wiedergegeben werden entscheidet" 5
vw_key x
vw_wait_text 1 28 ">> Varlo <<" 10
vw_wait_text 2 24 "gefundene Titel: 3 "

# Volume 4 + 3 x 0.5.
vw_wait_text 5 8 " 4 "
vw_key + + +
vw_wait_text 5 8 " 5.5" 10

# Pause: the pause texts, then P again continues with a fade-in.
vw_key P
vw_wait_text 4 45 "(P)lay " 15
vw_wait_text 5 45 "   >   "
# The blinking text comes after the input was flushed: only now does a key count.
vw_wait_text 4 27 ">> Pause <<|<< Pause >>"
vw_key P
vw_wait_text 2 45 "Fade in...  " 5
vw_wait_text 2 45 "            " 5
vw_wait_text 4 27 "Down in           (P)ause" 1
vw_wait_text 5 18 "    (d)" 1
vw_wait_text 5 36 "(m)         II    " 1

# The list plays to its end; the cycle starts again with the sort prompt.
vw_wait_text 3 2 "sortierung nach?: 1 Zufall   2 Titel   3 Interpreten" 40
vw_key 2
vw_wait_text 10 32 "Alpha" 10
vw_wait_text 5 8 " 4 " # every scan sets the volume back to 4

# Esc asks; J ends the program with exit code 0.
vw_quit
