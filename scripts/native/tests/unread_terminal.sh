# A terminal that stops reading (an SSH link dead without a word, a hung terminal) never holds
# the player: it plays on and takes keys for two minutes while nobody reads, and draws its
# whole screen once the terminal reads again. SIGTERM and SIGHUP at once end it while nobody
# reads, and the terminal it leaves is as it was.
#
# tmux always reads its panes, so the player runs on a pty of a relay of its own, which stops
# reading on SIGUSR1 and reads again on SIGUSR2; keys go through all the while.
relay="$VW_RUN/pty_relay.py"
cat > "$relay" << 'EOF'
import os, select, signal, sys, termios, tty, fcntl
notes, argv = sys.argv[1], sys.argv[2:]
master, slave = os.openpty()
fcntl.ioctl(slave, termios.TIOCSWINSZ, fcntl.ioctl(0, termios.TIOCGWINSZ, b"\0" * 8))
before = termios.tcgetattr(slave)
pid = os.fork()
if pid == 0:
    os.setsid()
    fcntl.ioctl(slave, termios.TIOCSCTTY, 0)
    for fd in (0, 1, 2):
        os.dup2(slave, fd)
    os.execvp(argv[0], argv)
os.close(slave)
with open(notes + ".pids", "w") as f:
    f.write("%d %d\n" % (os.getpid(), pid))
reading = True
def set_reading(number, frame):
    global reading
    reading = number == signal.SIGUSR2
signal.signal(signal.SIGUSR1, set_reading)
signal.signal(signal.SIGUSR2, set_reading)
outer = termios.tcgetattr(0)
tty.setraw(0)
while True:
    ready, _, _ = select.select([0] + ([master] if reading else []), [], [], 0.1)
    if 0 in ready:
        os.write(master, os.read(0, 4096))
    if master in ready:
        try:
            data = os.read(master, 65536)
        except OSError:
            data = b""
        if not data:
            break
        os.write(1, data)
_, status = os.waitpid(pid, 0)
with open(notes + ".inner-stty", "w") as f:
    f.write("same\n" if termios.tcgetattr(master) == before else "changed\n")
termios.tcsetattr(0, termios.TCSANOW, outer)
sys.exit(128 + os.WTERMSIG(status) if os.WIFSIGNALED(status) else os.WEXITSTATUS(status))
EOF

# vn_relay NAME: starts the player in NAME through the relay.
vn_relay() {
    printf '#!/bin/bash\nexec python3 %q %q %q\n' "$relay" "$VW_RUN/$1" "$VN_EXE" > "$VW_RUN/$1.sh"
    chmod +x "$VW_RUN/$1.sh"
    VN_EXE="$VW_RUN/$1.sh" vn_start "$1" "$folder"
    vw_wait_text 3 2 "sortierung nach?:" 20
    read -r relay_pid player < "$VW_RUN/$1.pids"
}
# The media file the player has open now, if any.
playing() { ls -l "/proc/$player/fd" 2> /dev/null | grep -o 'T[0-9]* - Band\.wav' || true; }
# Screens far beyond what the pty holds: the two pages of the info screen and the playing
# screen, 20 times.
flood() { vw_tmux send-keys -t "$VW_NAME" $(printf '? x x %.0s' $(seq 1 20)); }
inner_restored() {
    if [ "$(cat "$VW_RUN/$VW_NAME.inner-stty")" != same ]; then
        echo "the player's terminal was left in another mode"
        return 1
    fi
}

folder="$VW_RUN/unread-media"
names=()
for i in $(seq -w 1 40); do names+=("T$i - Band.wav"); done
vw_media_folder "$folder" 5 "${names[@]}"
VN_ENV=("XDG_DATA_HOME=$VW_RUN/unread-data")

vn_relay unread
vw_key 2
vw_wait_text 2 24 "gefundene Titel: 40" 10
kill -USR1 "$relay_pid"
flood
seen=()
for i in $(seq 1 12); do
    sleep 10
    seen+=("$(playing)")
    [ "$i" -eq 6 ] && vw_key +
done
distinct=$(printf '%s\n' "${seen[@]}" | grep . | sort -u | wc -l)
echo "note: titles open in 12 looks over 2 minutes unread: $distinct"
if [ "$distinct" -lt 5 ]; then
    echo "the player stood still while nobody read: ${seen[*]}"
    exit 1
fi
kill -USR2 "$relay_pid"
# Drawn whole: the frame, the list, and the volume "+" set while nobody read.
vw_wait_text 5 8 " 4.5" 10
vw_wait_text 1 28 ">> Varlo <<"
vw_wait_text 2 24 "gefundene Titel: 40"
vw_wait_text 22 66 "down"
vw_wait_text 6 1 "╚═══"
vw_quit
vn_expect_restored
inner_restored

vn_relay unread-end
vw_key 2
vw_wait_text 2 24 "gefundene Titel: 40" 10
kill -USR1 "$relay_pid"
flood
sleep 3
kill -TERM "$player"
kill -HUP "$player"
# Ended, a zombie that nobody reaps: the relay waits for it only once it reads again.
alive() { [[ $(cut -d' ' -f3 "/proc/$player/stat" 2> /dev/null) =~ ^[^Z]$ ]]; }
for i in $(seq 1 30); do
    alive || break
    sleep 0.1
done
if alive; then
    echo "SIGTERM did not end the player while nobody read its terminal"
    kill -USR2 "$relay_pid"
    exit 1
fi
kill -USR2 "$relay_pid"
for i in $(seq 1 100); do
    [ -e "$VW_DIR/exit" ] && break
    sleep 0.1
done
case $(cat "$VW_DIR/exit" 2> /dev/null) in
    143 | 129) ;;
    *)
        echo "exit code $(cat "$VW_DIR/exit" 2> /dev/null), not that of SIGTERM or SIGHUP"
        exit 1
        ;;
esac
vn_expect_restored
inner_restored
