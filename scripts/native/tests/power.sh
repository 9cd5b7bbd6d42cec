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
#   home-slash HOME with a trailing slash, no XDG_DATA_HOME: the drive is found, " /s" runs the
#              power-off command once
#   root-home  HOME=/ with an XDG_DATA_HOME spelt with "//" and "/./": " /h" runs the
#              hibernate command once
#   refused    a hibernate command that says why and exits 1 (polkit's refusal): the error
#              report, its words in varlo.log, nothing else run, no second try
#   session    power-off on a private session bus: a session manager there (GNOME's, Plasma's)
#              takes it and systemctl is not run; one that refuses is the error report; with none there a
#              stand-in systemctl (first on PATH) runs. The system bus is one that is not there.
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

# --- home-slash ---
power_start home-slash VARLO_CAN_HIBERNATE=no "HOME=$VW_RUN/home-slash-home/" XDG_DATA_HOME=
count_down
vw_wait_stream '>>C:\Windows\system32\shutdown.exe /s<<' 20
vw_wait_exit 0 10
expect_ran home-slash-poweroff "home-slash-poweroff"
[ -f "$VW_RUN/home-slash-home/.local/share/varlo/C/Windows/system32/shutdown.exe" ] ||
    { echo "no drive under the home with a trailing slash"; exit 1; }

# --- root-home ---
power_start root-home VARLO_CAN_HIBERNATE=yes HOME=/ "XDG_DATA_HOME=$VW_RUN//root-home-data/./"
vw_wait_stream "Ruhemodus OK" 15
count_down
vw_wait_stream '>>C:\Windows\system32\shutdown.exe /h<<' 20
expect_ran root-home-hibernate "root-home-hibernate"
vw_wait_text 10 31 "Zweiter" 30

# --- refused ---
refuse="$VW_RUN/refuse.sh"
printf '#!/bin/sh\necho "$*" >> "%s/$1.ran"\necho "Zugriff verweigert: interaktive Anmeldung nötig"\nexit 1\n' \
    "$VW_RUN" > "$refuse"
chmod +x "$refuse"
power_start refused VARLO_CAN_HIBERNATE=yes "VARLO_HIBERNATE_COMMAND=$refuse refused-hibernate"
count_down
vw_wait_stream '>>C:\Windows\system32\shutdown.exe /h<<' 20
shown=$(date +%s.%N)
vw_wait_stream '>>Fehler: 70 , 0 ,Permission denied<<' 10
echo "note: refused hibernate command: error report $(python3 -c "print(round($(date +%s.%N) - $shown, 1))") s after the command line was shown"
expect_ran refused-hibernate "refused-hibernate"
log="$VW_RUN/refused-data/varlo/C/varlo.log"
grep -q "Zugriff verweigert" "$log" && grep -q "exit status 1" "$log" ||
    { echo "varlo.log holds: $(cat "$log")"; exit 1; }
sleep 3 # the report stands: nothing is tried again
[ "$(ran refused-hibernate | wc -l)" = 1 ] || { echo "tried again: $(ran refused-hibernate)"; exit 1; }
[ -z "$(ran refused-poweroff)" ] || { echo "powered off: $(ran refused-poweroff)"; exit 1; }
vw_key x
vw_wait_exit 0 5

# --- session ---
bus_pid=
mock_pid=
stop_session() {
    [ -z "$mock_pid" ] || kill "$mock_pid" 2> /dev/null || true
    [ -z "$bus_pid" ] || kill "$bus_pid" 2> /dev/null || true
    vn_stop
}
trap stop_session EXIT
{
    read -r bus_address
    read -r bus_pid
} < <(dbus-daemon --session --fork --print-address=1 --print-pid=1)
[ -n "$bus_pid" ] || { echo "no private session bus"; exit 1; }
mkdir -p "$VW_RUN/fake-bin"
printf '#!/bin/sh\necho "$*" >> "%s/systemctl.ran"\n' "$VW_RUN" > "$VW_RUN/fake-bin/systemctl"
chmod +x "$VW_RUN/fake-bin/systemctl"
cat > "$VW_RUN/session_manager.py" << 'END'
# A session manager that writes down the requests it gets: GNOME's, which accepts or refuses
# them, or Plasma's.
import sys
import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

log, answer = sys.argv[1], sys.argv[2]
DBusGMainLoop(set_as_default=True)
bus = dbus.SessionBus()


def write(line):
    with open(log, "a") as out:
        out.write(line + "\n")


class Gnome(dbus.service.Object):
    @dbus.service.method("org.gnome.SessionManager")
    def Shutdown(self):
        write("Shutdown")
        if answer == "refuse":
            raise dbus.exceptions.DBusException(
                "an application holds the shutdown", name="org.gnome.SessionManager.Inhibited")


class Plasma(dbus.service.Object):
    @dbus.service.method("org.kde.Shutdown")
    def logoutAndShutdown(self):
        write("logoutAndShutdown")


if answer == "plasma":
    Plasma(bus, "/Shutdown")
    name = dbus.service.BusName("org.kde.Shutdown", bus)
else:
    Gnome(bus, "/org/gnome/SessionManager")
    name = dbus.service.BusName("org.gnome.SessionManager", bus)
open(log + ".ready", "w").close()
GLib.MainLoop().run()
END

# session_case NAME [accept|refuse|plasma]: the player powers off with the private session bus as its
# only bus, a mock session manager on it when an answer is given.
session_case() {
    local name=$1 answer=${2:-} i
    if [ -n "$answer" ]; then
        DBUS_SESSION_BUS_ADDRESS=$bus_address /usr/bin/python3 "$VW_RUN/session_manager.py" \
            "$VW_RUN/$name.manager" "$answer" > "$VW_RUN/$name.mock.log" 2>&1 &
        mock_pid=$!
        for i in $(seq 1 50); do
            [ -e "$VW_RUN/$name.manager.ready" ] && break
            sleep 0.1
        done
        [ -e "$VW_RUN/$name.manager.ready" ] || { echo "mock: $(cat "$VW_RUN/$name.mock.log")"; exit 1; }
    fi
    power_start "$name" VARLO_CAN_HIBERNATE=no VARLO_POWEROFF_COMMAND= \
        "DBUS_SESSION_BUS_ADDRESS=$bus_address" DBUS_SYSTEM_BUS_ADDRESS=unix:path=/nonexistent \
        "PATH=$VW_RUN/fake-bin:$PATH"
    count_down
    vw_wait_stream '>>C:\Windows\system32\shutdown.exe /s<<' 20
}
end_mock() {
    kill "$mock_pid" 2> /dev/null || true
    wait "$mock_pid" 2> /dev/null || true
    mock_pid=
}
no_systemctl() {
    [ ! -e "$VW_RUN/systemctl.ran" ] || { echo "systemctl ran: $(cat "$VW_RUN/systemctl.ran")"; exit 1; }
}

session_case session-accept accept
vw_wait_exit 0 15
[ "$(cat "$VW_RUN/session-accept.manager")" = Shutdown ] ||
    { echo "the session manager got: $(cat "$VW_RUN/session-accept.manager" 2> /dev/null)"; exit 1; }
no_systemctl
end_mock

session_case session-plasma plasma
vw_wait_exit 0 15
[ "$(cat "$VW_RUN/session-plasma.manager")" = logoutAndShutdown ] ||
    { echo "Plasma got: $(cat "$VW_RUN/session-plasma.manager" 2> /dev/null)"; exit 1; }
no_systemctl
end_mock

session_case session-refuse refuse
vw_wait_stream '>>Fehler: 70 , 0 ,Permission denied<<' 15
[ "$(cat "$VW_RUN/session-refuse.manager")" = Shutdown ] || { echo "no request"; exit 1; }
no_systemctl
grep -q "an application holds the shutdown" "$VW_RUN/session-refuse-data/varlo/C/varlo.log" ||
    { echo "varlo.log: $(cat "$VW_RUN/session-refuse-data/varlo/C/varlo.log")"; exit 1; }
vw_key x
vw_wait_exit 0 5
end_mock

session_case session-none
vw_wait_exit 0 15
[ "$(cat "$VW_RUN/systemctl.ran" 2> /dev/null)" = poweroff ] ||
    { echo "systemctl ran with: $(cat "$VW_RUN/systemctl.ran" 2> /dev/null)"; exit 1; }
