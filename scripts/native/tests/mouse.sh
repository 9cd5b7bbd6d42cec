# Clicks as xterm reports them (SGR): "(+)", the pause symbol, a double-click on a slot, and a
# right double-click, which is Esc.
folder="$VW_RUN/mouse-media"
vw_media_folder "$folder" 60 "Alpha - Nordwind.wav" "Beta - Ostwind.wav" "Gamma - Westwind.wav"
vn_start mouse "$folder"
vw_wait_text 3 2 "sortierung nach?:" 20
vn_click 0 3 32 # "2 Titel"
vw_wait_text 10 32 "Alpha" 10
vw_wait_text 5 8 " 4 "

vn_click 0 5 14 # "(+)"
vw_wait_text 5 8 " 4.5" 5

vn_click 0 5 48 # "II"
vw_wait_text 4 45 "(P)lay " 15
vw_wait_text 4 27 ">> Pause <<|<< Pause >>"
vn_click 0 5 48
vw_wait_text 2 45 "Fade in...  " 5
vw_wait_text 2 45 "            " 10

# A double-click on slot 2 plays Gamma, which the list then shows in slot 0.
vn_click 0 16 40
vn_click 0 16 40
vw_wait_text 3 40 "Fade out..." 5
vw_wait_text 3 40 "           " 15 # the fade has ended, the screen is drawn anew
vw_wait_text 10 32 "Gamma" 10
vw_expect_attribute 10 32 5 "94/47" "Gamma playing"

# A right double-click is Esc.
vn_click 2 8 30
vn_click 2 8 30
vw_wait_text 1 1 " Programm beenden ? J/N" 10
sleep 0.5
vw_key J
vw_wait_exit 0 10
vn_expect_restored
