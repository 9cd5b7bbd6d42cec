# A folder without media files: " no Files found...", then the folder chooser in the parent.
parent="$VW_RUN/Elternordner"
mkdir -p "$parent/Leer"
echo "no media here" > "$parent/Leer/notes.txt"
vw_start no_media_files "$parent/Leer" sound
vw_wait_text 3 2 "sortierung nach?: 1 Zufall" 20
vw_key 1
vw_wait_text 2 1 " no Files found..." 10
vw_wait_text 1 1 " suche Titel..."
# "Hier übernehmen >>" goes out with the OEM byte 0x81, which CP437 shows as ü.
vw_wait_text 1 2 "Hier übernehmen >>" 10
vw_wait_text 1 21 "Elternordner"
# The parent lists ".." first and its sub-folder after it.
vw_wait_text 4 1 "0)"
vw_wait_text 4 33 ".."
vw_wait_text 6 1 "1)"
vw_wait_text 6 32 "Leer"
# An extended key (character 0 + scan code) reaches the chooser: Down scrolls by one entry.
vw_key Down
vw_wait_text 4 32 "Leer" 5
vw_wait_text 6 1 "  "
