# The Down countdown on the native player, with stand-ins for the hibernate and power-off
# commands that only write their name and arguments into a log. Each run presses D six times
# during the first of two 6-second titles, so that the countdown stands at 0 when it ends.
#   hibernate  hibernation available, no link: shutdown.exe /h runs the hibernate command
#              once, and 20 s later the next title plays with a fresh countdown of 30
#   link       an executable hibernate.link on a desktop with a blank and an umlaut in its
#              path: c:\dummi.cmd holds its quoted path and it runs instead
#   shutdown   no hibernation: " /s" runs the power-off command once and the player ends
#   missing    a power-off command that does not exist: the error report, nothing runs
#   unwritable c:\dummi.cmd cannot be written: the error report at start-up
folder="$VW_RUN/power-media"
vw_media_folder "$folder" 6 "Erster - Titel.wav" "Zweiter - Titel.wav"
stand_in="$VW_RUN/stand-in.sh"
printf '#!/bin/sh\necho "$*" >> "%s/$1.ran"\n' "$VW_RUN" > "$stand_in"
chmod +x "$stand_in"

# power_start NAME [NAME=VALUE...]: the player in the media folder with a drive C: and a home
# of its own, the stand-ins as the commands.
power_start() {
    local name=$1
    shift
    VN_ENV=("HOME=$VW_RUN/$name-home" "USER=anna" "XDG_DATA_HOME=$VW_RUN/$name-data"
        "XDG_DESKTOP_DIR=$VW_RUN/$name-home/Schreib tisch ü"
        "VARLO_HIBERNATE_COMMAND=$stand_in $name-hibernate"
        "VARLO_POWEROFF_COMMAND=$stand_in $name-poweroff" "$@")
    mkdir -p "$VW_RUN/$name-home/Schreib tisch ü"
    vn_start "$name" "$folder"
}

# count_down: key 2 at the prompt, then six D while the first title plays.
count_down() {
    vw_wait_text 3 2 "sortierung nach?:" 20
    vw_key 2
    vw_wait_text 10 31 "Erster" 10
    vw_key d d d d d d
    vw_wait_text 5 27 "  0  " 5
}

# ran NAME: what the stand-in NAME was started with, one line per start.
ran() { cat "$VW_RUN/$1.ran" 2> /dev/null || true; }

expect_ran() {
    local name=$1 wanted=$2 i
    for i in $(seq 1 50); do
        [ "$(ran "$name")" = "$wanted" ] && return 0
        sleep 0.1
    done
    echo "$name ran with \"$(ran "$name")\", expected \"$wanted\""
    vw_show
    return 1
}

# --- hibernate ---
power_start hibernate VARLO_CAN_HIBERNATE=yes
vw_wait_stream "Ruhemodus OK" 15
count_down
vw_wait_stream '>>C:\Windows\system32\shutdown.exe /h<<' 20
action=$(date +%s.%N)
expect_ran hibernate-hibernate "hibernate-hibernate"
vw_wait_text 10 31 "Zweiter" 30
echo "next title $(python3 -c "print(round($(date +%s.%N) - $action, 1))") s after the action"
python3 -c "import sys; sys.exit(0 if $(date +%s.%N) - $action >= 19 else 1)" ||
    { echo "the next title came before the 20 s wait was over"; exit 1; }
vw_wait_text 5 27 "  30  " 5
[ -z "$(ran hibernate-poweroff)" ] || { echo "powered off: $(ran hibernate-poweroff)"; exit 1; }
[ "$(ran hibernate-hibernate | wc -l)" = 1 ] || { echo "hibernated more than once"; exit 1; }

# --- link ---
power_start link VARLO_CAN_HIBERNATE=yes
desktop="$VW_RUN/link-home/Schreib tisch ü"
printf '#!/bin/sh\necho link "$@" >> "%s/link-link.ran"\n' "$VW_RUN" > "$desktop/hibernate.link"
chmod +x "$desktop/hibernate.link"
count_down
vw_wait_stream '>>c:\dummi.cmd<<' 20
expect_ran link-link "link"
printf '"C:\\Users\\anna\\Desktop\\hibernate.link"\r\n' > "$VW_RUN/dummi.expected"
cmp "$VW_RUN/link-data/varlo/C/dummi.cmd" "$VW_RUN/dummi.expected" ||
    { echo "c:\\dummi.cmd holds: $(cat -A "$VW_RUN/link-data/varlo/C/dummi.cmd")"; exit 1; }
sleep 1
[ -z "$(ran link-hibernate)$(ran link-poweroff)" ] || { echo "the command ran besides the link"; exit 1; }

# --- shutdown ---
power_start shutdown VARLO_CAN_HIBERNATE=no
vw_wait_text 1 1 "kein Ruhemodus > down beendet alles" 15
count_down
vw_wait_stream '>>C:\Windows\system32\shutdown.exe /s<<' 20
vw_wait_exit 0 10
expect_ran shutdown-poweroff "shutdown-poweroff"
[ -z "$(ran shutdown-hibernate)" ] || { echo "hibernated: $(ran shutdown-hibernate)"; exit 1; }
vn_expect_restored

# --- missing ---
power_start missing VARLO_CAN_HIBERNATE=no "VARLO_POWEROFF_COMMAND=$VW_RUN/gibt-es-nicht /s"
count_down
vw_wait_stream '>>Fehler: 53 , 0 ,File not found<<' 20
vw_key x
vw_wait_exit 0 5
[ -z "$(ran missing-poweroff)$(ran missing-hibernate)" ] || { echo "something ran"; exit 1; }

# --- unwritable ---
mkdir -p "$VW_RUN/unwritable-data/varlo/C/dummi.cmd" # a folder where the file should be
power_start unwritable VARLO_CAN_HIBERNATE=yes
printf '#!/bin/sh\n' > "$VW_RUN/unwritable-home/Schreib tisch ü/hibernate.link"
vw_wait_stream '>>Fehler: 70 , 0 ,Permission denied<<' 15
vw_key x
vw_wait_exit 0 5
