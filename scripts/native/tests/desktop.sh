# The player on the Linux desktop, on buses of this test's own: a session bus with a mock
# desktop portal, and a second bus standing in for the system bus with python3-dbusmock's
# logind. playerctl and gdbus are the desktop's media controls.
#   desktop    MPRIS: metadata as the screen shows it, play-pause twice (the fades run), volume
#              0.7 (the field shows 7), next, status, bad input (wrong types, -1, 5, NaN, Next
#              during a fade and at the sort prompt, PlayPause flooded), Quit as Esc and J; the
#              idle inhibitor held while a title plays, not in the pause, gone at the end
#   hibernate  the inhibitor is released before the hibernate stand-in runs and taken again
#              after the wake-up wait; the MPRIS name of a second player; the session bus
#              hung and gone mid-run
#   nobus      no bus at all: the player starts and plays as before
# The inhibitor's life (the logind mock's list, sampled every 0.1 s) lands in
# $VW_RUN/desktop-inhibitor.log, playerctl's metadata in $VW_RUN/desktop-metadata.txt.
vw_need dbus-daemon playerctl gdbus dbus-send /usr/bin/python3
bus_dir="$VW_RUN/desktop-buses"
mkdir -p "$bus_dir"
desktop_pids=()
desktop_end() {
    local pid
    for pid in "${desktop_pids[@]}"; do kill "$pid" 2> /dev/null || true; done
}
trap 'desktop_end; vn_stop' EXIT

# start_bus NAME: a dbus-daemon on $bus_dir/NAME that lets everyone own and call anything and
# starts no services; its address in $bus_address.
start_bus() {
    sed "s|SOCKET|$bus_dir/$1|" > "$bus_dir/$1.conf" << 'EOF'
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:path=SOCKET</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
EOF
    dbus-daemon --config-file="$bus_dir/$1.conf" --fork --print-pid > "$bus_dir/$1.pid"
    desktop_pids+=("$(cat "$bus_dir/$1.pid")")
    bus_address="unix:path=$bus_dir/$1"
}
start_bus session
export DBUS_SESSION_BUS_ADDRESS=$bus_address
start_bus system
export DBUS_SYSTEM_BUS_ADDRESS=$bus_address

# wait_name BUS NAME: until NAME has an owner on BUS (--session or --system).
wait_name() {
    local i
    for i in $(seq 1 100); do
        timeout 2 gdbus call "$1" --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
            --method org.freedesktop.DBus.NameHasOwner "$2" 2> /dev/null | grep -q true && return 0
        sleep 0.1
    done
    echo "$2 never appeared"
    return 1
}

/usr/bin/python3 -m dbusmock --system --template logind --logfile "$bus_dir/logind.log" \
    > "$bus_dir/logind.out" 2>&1 &
desktop_pids+=($!)
portal=/org/freedesktop/portal/desktop
/usr/bin/python3 -m dbusmock --session org.freedesktop.portal.Desktop $portal \
    org.freedesktop.portal.Inhibit --logfile "$bus_dir/portal.log" > "$bus_dir/portal.out" 2>&1 &
desktop_pids+=($!)
wait_name --system org.freedesktop.login1
wait_name --session org.freedesktop.portal.Desktop
mock() { gdbus call --session --dest org.freedesktop.portal.Desktop --object-path $portal \
    --method "org.freedesktop.DBus.Mock.$1" "${@:2}" > /dev/null; }
mock AddMethod org.freedesktop.portal.Inhibit Inhibit 'sua{sv}' o \
    "ret = dbus.ObjectPath('$portal/request/1/varlo')"
mock AddObject "$portal/request/1/varlo" org.freedesktop.portal.Request '@a{sv} {}' \
    "[('Close', '', '', '')]"

# The inhibitors logind holds, one "who" per line.
inhibitors() {
    gdbus call --system --dest org.freedesktop.login1 --object-path /org/freedesktop/login1 \
        --method org.freedesktop.login1.Manager.ListInhibitors | grep -o "'idle', '[^']*'" || true
}
life="$VW_RUN/desktop-inhibitor.log"
: > "$life"
mark() { echo "$(date +%T.%3N) $*" >> "$life"; }
(
    last=x
    while :; do
        now=$(inhibitors | wc -l)
        [ "$now" = "$last" ] || echo "$(date +%T.%3N) logind holds $now idle inhibitor(s)" >> "$life"
        last=$now
        sleep 0.1
    done
) &
desktop_pids+=($!)

# expect_inhibitors N: logind holds N idle inhibitors within 3 s.
expect_inhibitors() {
    local i
    for i in $(seq 1 30); do
        [ "$(inhibitors | wc -l)" = "$1" ] && return 0
        sleep 0.1
    done
    echo "logind holds $(inhibitors | wc -l) inhibitors, not $1: $(inhibitors)"
    return 1
}

pc() { playerctl -p varlo "$@"; }
# wait_fade_end: the fade text on row 2 is gone (within 5 s).
wait_fade_end() {
    local i
    for i in $(seq 1 50); do
        vw_screen | sed -n 2p | grep -q "Fade" || return 0
        sleep 0.1
    done
}
# expect_pc WANTED ARG...: playerctl answers WANTED within 3 s.
expect_pc() {
    local wanted=$1 i got
    shift
    for i in $(seq 1 30); do
        got=$(pc "$@" 2>&1 || true)
        [ "$got" = "$wanted" ] && return 0
        sleep 0.1
    done
    echo "playerctl $*: \"$got\", expected \"$wanted\""
    return 1
}
mpris() {
    dbus-send --session --print-reply --dest=org.mpris.MediaPlayer2.varlo /org/mpris/MediaPlayer2 \
        "$@" > /dev/null
}
set_volume() { mpris org.freedesktop.DBus.Properties.Set string:org.mpris.MediaPlayer2.Player \
    string:Volume "variant:$1"; }
refused() {
    if "$@" > /dev/null 2>&1; then
        echo "not refused: $*"
        return 1
    fi
}

# --- desktop ---
folder="$VW_RUN/desktop-media"
vw_media_folder "$folder" 30 "Alpha - Nordwind.wav" "Beta - Ostwind.wav" "Gamma - Westwind.wav"
VN_ENV=("DBUS_SESSION_BUS_ADDRESS=$DBUS_SESSION_BUS_ADDRESS"
    "DBUS_SYSTEM_BUS_ADDRESS=$DBUS_SYSTEM_BUS_ADDRESS" "XDG_DATA_HOME=$VW_RUN/desktop-data"
    "VARLO_CAN_HIBERNATE=yes")
mark "desktop: start"
vn_start desktop "$folder"
vw_wait_text 3 2 "sortierung nach?:" 20
expect_pc Stopped status
expect_inhibitors 0
# At the sort prompt the commands answer no question and play nothing.
pc next
pc play-pause
set_volume double:0.9
sleep 0.5
vw_wait_text 3 2 "sortierung nach?:" 1
vw_key 2
vw_wait_text 10 32 "Alpha" 10
mark "desktop: Alpha plays"
expect_pc Playing status
expect_inhibitors 1
pc metadata > "$VW_RUN/desktop-metadata.txt"
sed 's/^/note: /' "$VW_RUN/desktop-metadata.txt"
expect_pc Alpha metadata xesam:title
expect_pc Nordwind metadata xesam:artist
expect_pc "file://$(python3 -c "import sys, urllib.parse; print(urllib.parse.quote(sys.argv[1]))" \
    "$folder/Alpha - Nordwind.wav")" metadata xesam:url
expect_pc 30000000 metadata mpris:length
expect_pc 0.400000 volume

# play-pause twice: the pause with its fade-out, then play again with the fade-in.
pc play-pause
vw_wait_stream "Fade out..." 5
vw_wait_text 4 45 "(P)lay " 5
vw_wait_text 5 45 "   >   "
mark "desktop: paused"
expect_pc Paused status
expect_inhibitors 0
pc play-pause
vw_wait_text 2 45 "Fade in...  " 5
vw_wait_text 2 45 "            " 5
mark "desktop: plays again"
expect_pc Playing status
expect_inhibitors 1

pc volume 0.7
vw_wait_text 5 8 " 7 " 3
expect_pc 0.700000 volume
# Out of range is clamped to the steps the keys reach; no number and wrong types are refused.
set_volume double:-1
vw_wait_text 5 8 " 0.5" 3
set_volume double:5
vw_wait_text 5 8 " 9.99" 3
refused set_volume double:nan
refused set_volume string:laut
refused mpris org.mpris.MediaPlayer2.Player.Seek string:vor
refused mpris org.mpris.MediaPlayer2.Player.PlayPause int32:1
refused mpris org.freedesktop.DBus.Properties.Set string:org.mpris.MediaPlayer2.Player \
    string:Shuffle variant:boolean:false
sleep 0.3
vw_wait_text 5 8 " 9.99" 1
pc volume 0.7
vw_wait_text 5 8 " 7 " 3

pc next
vw_wait_text 10 32 "Beta" 10
expect_pc Beta metadata xesam:title
mark "desktop: next, Beta plays"
# Next during the pause's fade-out goes as a key typed then: the pause takes it away.
pc play-pause
sleep 0.3
pc next
vw_wait_text 4 45 "(P)lay " 5
sleep 1
vw_wait_text 10 32 "Beta" 1
pc play-pause
vw_wait_text 2 45 "Fade in...  " 5

# A client floods PlayPause 100 times a second: every call is answered at once, the player
# toggles a few times and settles; it answers and plays on.
flood_start=$(date +%s%N)
for i in $(seq 1 100); do
    dbus-send --session --type=method_call --dest=org.mpris.MediaPlayer2.varlo \
        /org/mpris/MediaPlayer2 org.mpris.MediaPlayer2.Player.PlayPause
    sleep 0.01
done
echo "note: 100 PlayPause sent in $((($(date +%s%N) - flood_start) / 1000000)) ms"
sleep 6
answer_start=$(date +%s%N)
pc play
answer_ms=$((($(date +%s%N) - answer_start) / 1000000))
echo "note: play answered in $answer_ms ms after the flood"
expect_pc Playing status
vw_wait_text 10 32 "Beta" 1
expect_inhibitors 1
# Quit during the fade-in would be dropped as a key typed then is: it goes once the fade ends.
wait_fade_end

# Quit: as Esc and J, the fade included.
mark "desktop: Quit"
gdbus call --session --dest org.mpris.MediaPlayer2.varlo --object-path /org/mpris/MediaPlayer2 \
    --method org.mpris.MediaPlayer2.Quit > /dev/null
vw_wait_stream "Programm beenden ? J/N" 5
vw_wait_exit 0 10
vn_expect_restored
expect_inhibitors 0
mark "desktop: ended"
[ ! -s "$VW_DIR/stderr" ] || { echo "stderr: $(cat "$VW_DIR/stderr")"; exit 1; }
grep -q 'Inhibit "" 12' "$bus_dir/portal.log" || { echo "the portal was not asked"; exit 1; }
grep -q 'Close' "$bus_dir/portal.log" || { echo "the portal's inhibitor was not closed"; exit 1; }

# --- hibernate ---
folder="$VW_RUN/desktop-power-media"
vw_media_folder "$folder" 6 "Erster - Titel.wav" "Zweiter - Titel.wav"
stand_in="$VW_RUN/desktop-stand-in.sh"
{
    printf '#!/bin/sh\n'
    printf 'echo "$(date +%%T.%%3N) hibernate stand-in runs; logind holds: $(gdbus call --system --dest org.freedesktop.login1 --object-path /org/freedesktop/login1 --method org.freedesktop.login1.Manager.ListInhibitors)" >> %q\n' "$life"
} > "$stand_in"
chmod +x "$stand_in"
# Another player holds the name: this one takes its instance name.
/usr/bin/python3 -c "import dbus, time
bus = dbus.SessionBus()
bus.request_name('org.mpris.MediaPlayer2.varlo')
time.sleep(600)" &
holder=$!
desktop_pids+=($holder)
wait_name --session org.mpris.MediaPlayer2.varlo
inhibits_before=$(grep -c ' Inhibit ' "$bus_dir/logind.log")
VN_ENV=("DBUS_SESSION_BUS_ADDRESS=$DBUS_SESSION_BUS_ADDRESS"
    "DBUS_SYSTEM_BUS_ADDRESS=$DBUS_SYSTEM_BUS_ADDRESS" "HOME=$VW_RUN/desktop-home" "USER=anna"
    "XDG_DATA_HOME=$VW_RUN/desktop-power-data" "XDG_DESKTOP_DIR=$VW_RUN/desktop-home/Desktop"
    "VARLO_CAN_HIBERNATE=yes" "VARLO_HIBERNATE_COMMAND=$stand_in"
    "VARLO_POWEROFF_COMMAND=$stand_in poweroff")
mkdir -p "$VW_RUN/desktop-home/Desktop"
mark "hibernate: start"
vn_start hibernate "$folder"
vw_wait_text 3 2 "sortierung nach?:" 20
player=$(pgrep -f -x "$VN_EXE" -n)
wait_name --session "org.mpris.MediaPlayer2.varlo.instance$player"
vw_key 2
vw_wait_text 10 31 "Erster" 10
mark "hibernate: Erster plays"
expect_inhibitors 1
vw_key d d d d d d
vw_wait_text 5 27 "  0  " 5
vw_wait_stream '>>C:\Windows\system32\shutdown.exe /h<<' 20
mark "hibernate: power action shown"
for i in $(seq 1 50); do grep -q "stand-in runs" "$life" && break || sleep 0.1; done
grep "stand-in runs" "$life" | grep -q "(@a(ssssuu) \[\],)" ||
    { echo "not released before the power action: $(grep "stand-in" "$life")"; exit 1; }
vw_wait_text 10 31 "Zweiter" 30
mark "hibernate: Zweiter plays after the wake-up wait"
expect_inhibitors 1
[ "$(($(grep -c ' Inhibit ' "$bus_dir/logind.log") - inhibits_before))" = 2 ] ||
    { echo "logind was asked $(grep -c ' Inhibit ' "$bus_dir/logind.log") times"; exit 1; }
# The session bus hangs, then goes away: the player plays on and answers its keys.
kill -STOP "$(cat "$bus_dir/session.pid")"
vw_key +
vw_wait_text 5 8 " 4.5" 3
kill -CONT "$(cat "$bus_dir/session.pid")"
kill "$(cat "$bus_dir/session.pid")"
mark "hibernate: session bus gone"
vw_key +
vw_wait_text 5 8 " 5 " 3
vw_quit
vn_expect_restored
expect_inhibitors 0
mark "hibernate: ended"
echo "note: inhibitor life:"
sed 's/^/note:   /' "$life"
echo "note: logind's calls: $(grep -c ' Inhibit ' "$bus_dir/logind.log") Inhibit"

# --- nobus ---
folder="$VW_RUN/desktop-nobus-media"
vw_media_folder "$folder" 30 "Alpha - Nordwind.wav"
VN_ENV=("DBUS_SESSION_BUS_ADDRESS=unix:path=$bus_dir/none"
    "DBUS_SYSTEM_BUS_ADDRESS=unix:path=$bus_dir/none"
    "XDG_DATA_HOME=$VW_RUN/desktop-nobus-data" "VARLO_CAN_HIBERNATE=yes")
vn_start nobus "$folder"
vw_wait_text 3 2 "sortierung nach?:" 20
vw_key 2
vw_wait_text 10 32 "Alpha" 10
vw_key P
vw_wait_text 4 45 "(P)lay " 5
vw_key P
vw_wait_text 2 45 "Fade in...  " 5
wait_fade_end
vw_quit
vn_expect_restored
[ ! -s "$VW_DIR/stderr" ] || { echo "stderr: $(cat "$VW_DIR/stderr")"; exit 1; }
