# O and at once Esc during playback changes no folder, so the title plays on, also after an
# earlier folder chooser ended in another folder than it started in: here the prompt's
# chooser steps into a folder without titles, the scan goes back to the parent and opens the
# chooser again, and Esc leaves it.
folder="$VW_RUN/chosen_folder-media"
vw_media_folder "$folder" 30 "Alpha - Nordwind.wav"
mkdir -p "$folder/Leer"
echo "no media here" > "$folder/Leer/notes.txt"
vw_start chosen_folder "$folder" sound
vw_wait_text 3 2 "sortierung nach?:" 20
vw_key O
vw_wait_text 1 2 "Hier übernehmen >>" 10
vw_wait_text 6 32 "Leer"
vw_key 1
vw_wait_text 1 21 "Leer" 5
vw_key Enter
vw_wait_text 2 1 " no Files found..." 10
vw_wait_text 1 21 "chosen_folder-media" 10
vw_key Escape
vw_wait_text 3 2 "sortierung nach?:" 10
vw_key 1
vw_wait_text 10 32 "Alpha" 15

vw_key O
vw_wait_text 1 2 "Hier übernehmen >>" 10
written=$(stat -c %s "$VW_DIR/stream")
vw_key Escape
vw_wait_text 1 28 ">> Varlo <<" 10
vw_wait_text 10 32 "Alpha" 5
# A changed folder would have faded the title out and gone back to the sort prompt, which
# answers itself after 4 s and plays the folder again: what was written since Esc tells.
sleep 2
if tail -c +"$((written + 1))" "$VW_DIR/stream" | grep -aqE "Fade out|sortierung"; then
    echo "the player left the title after O and Esc"
    vw_show
    exit 1
fi
vw_wait_text 10 32 "Alpha" 1

vw_quit
