# A terminal smaller than 69 x 22 is refused as Windows refuses the console size: the error
# report, and a key ends the program.
folder="$VW_RUN/small_terminal-media"
vw_media_folder "$folder" 4 "Alpha - Nordwind.wav"
vn_start small_terminal "$folder" sound 60 20
vw_wait_text 1 1 ">>Fehler: 5 , 0 ,Illegal function call<<" 10
vw_key x
vw_wait_exit 0 5
vn_expect_restored
