# The same screen and the same keys on every console code page: the player started from cmd
# after chcp 65001 (UTF-8), 1252 (Windows-1252), 850 (the usual OEM code page of a German
# Windows) and 866 (Cyrillic OEM, a code page none of the player's tables knows).
#
# Wine's console keeps its cells as UTF-16 and shows them on the terminal as UTF-8, so the pane
# holds whatever character a cell got. Cells written as bytes would be read in the console's
# output code page: under 65001 every frame cell and umlaut would show as "�", under 1252 the
# frame as "ÉÍÍÍ…º".
folder="$VW_RUN/code_pages-media"
vw_media_folder "$folder" 30 "Alpha - Nordwind.wav" "Müde - Südwind.wav"

for code_page in 65001 1252 850 866; do
    echo "== chcp $code_page"
    VW_CHCP=$code_page vw_start "code_pages-$code_page" "$folder" sound
    vw_wait_text 3 2 "sortierung nach?: 1 Zufall   2 Titel   3 Interpreten" 20

    # Typed characters reach the player as Windows-1252 bytes, one per character, and the line
    # echoes the bytes as the screen shows them: a Chinese and a Polish letter have none ("?"),
    # nor has a character beyond 16 bits, which the console hands on in two halves (one "?"),
    # while ä is 0xE4, the ä of file names, which the screen's code page 437 shows as Σ.
    vw_key D
    vw_wait_text 7 1 ">" 5
    vw_type "中ł"
    vw_wait_text 7 1 ">?? " 5
    vw_type "😀"
    vw_wait_text 7 1 ">??? " 5
    vw_type "ä"
    vw_wait_text 7 1 ">???Σ " 5
    # Backspace takes back one byte each; the empty line goes back to the prompt.
    vw_key BSpace BSpace BSpace BSpace
    vw_wait_text 7 1 ">     " 5
    vw_key Enter
    vw_wait_text 3 2 "sortierung nach?:" 10
    vw_key 2

    # The playback screen in title order: the frame, the count, the title with ü in slot 1.
    vw_wait_text 1 1 "╔══════════════════════════>> Varlo <<══════════════════════════════╗" 15
    for row in 2 3 4 5; do
        vw_wait_text "$row" 1 "║" 2
        vw_wait_text "$row" 69 "║" 2
    done
    vw_wait_text 6 1 "╚═══════════════════════════════════════════════════════════════════╝" 2
    vw_wait_text 2 24 "gefundene Titel: 2 " 2
    vw_wait_text 10 32 "Alpha" 2
    vw_wait_text 13 32 "Müde" 2
    vw_wait_text 14 31 "Südwind" 2
    vw_wait_text 5 8 " 4 " 2
    vw_key +
    vw_wait_text 5 8 " 4.5" 5

    vw_quit
    vw_stop
done
