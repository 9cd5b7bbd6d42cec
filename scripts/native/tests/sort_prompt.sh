# The sort prompt stands at its place; key 2 starts the scan at once, in title order.
folder="$VW_RUN/sort_prompt-media"
vw_media_folder "$folder" 30 "Alpha - Nordwind.wav" "Beta - Ostwind.wav"
vn_start sort_prompt "$folder"
vw_wait_text 3 2 "sortierung nach?: 1 Zufall   2 Titel   3 Interpreten" 20
vw_wait_text 4 1 "   vorgabe ist 1"
vw_wait_text 6 2 "                  anderen (O)rdner     (D)ateiendung"
vw_key 2
vw_wait_stream "suche Titel..." 3 # the blank before it is blank already
vw_wait_text 4 59 "(T)itel" 10
vw_expect_attribute 4 59 7 "94/47" "(T)itel highlighted"
vw_expect_attribute 3 59 8 "30/47" "(Z)ufall normal"
