#!/bin/bash
# test.sh: builds the Debian package and the Windows zip (scripts/package.sh) and tries them as
# a user would: installs the package over an older version, plays a folder with `varlo` from
# PATH in a 69 x 22 tmux pane, reads both manual pages, asks --help and --version, removes the
# package, and checks that nothing of it is left and that the user's drive C: was not touched.
# lintian must find no error and no warning. Ends with "N passed, M failed".
#
# Needs root (or sudo) for dpkg. The machine is left as it was found: the package is removed
# at the end whatever happened; the suite refuses to start where varlo is installed already.
# The player gets a PulseAudio of the suite's own, a HOME of its own and no D-Bus.
set -u
here=$(cd "$(dirname "$0")" && pwd)
export VW_ROOT=$(cd "$here/../.." && pwd)
export VW_RUN="$VW_ROOT/build/package-run"
export VW_TMUX_SOCKET=varlo-package-$$
source "$VW_ROOT/scripts/wine/lib.sh"
source "$VW_ROOT/scripts/native/lib.sh"

vw_need tmux pulseaudio python3 dpkg dpkg-deb lintian man unzip zip dpkg-buildpackage \
    x86_64-w64-mingw32-objdump
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
# The package's state in dpkg's database: "" or not-installed when it is not there at all.
package_state() { dpkg-query -W -f='${db:Status-Status}' varlo 2> /dev/null || true; }
package_present() { [ -n "$(package_state)" ] && [ "$(package_state)" != not-installed ]; }
if package_present || [ -e /usr/bin/varlo ]; then
    echo "varlo is installed on this machine: the suite would remove it (dpkg -r varlo first)"
    echo "0 passed, 1 failed"
    exit 1
fi

version=$(sed -nE 's/^project\(varlo VERSION ([0-9.]+).*/\1/p' "$VW_ROOT/CMakeLists.txt")
arch=$(dpkg --print-architecture)
deb="$VW_ROOT/build/package/varlo_${version}_${arch}.deb"
zip="$VW_ROOT/build/package/varlo-$version-win64.zip"

package_end_run() {
    # Whatever the tests left: the package goes, the old one too.
    if package_present; then
        $sudo dpkg -P varlo > /dev/null 2>&1 || echo "cleanup: dpkg -P varlo failed"
    fi
    vw_end_run
}
rm -rf "$VW_RUN"
mkdir -p "$VW_RUN"
vw_start_pulse
trap package_end_run EXIT

# The player's world: a home of its own (its drive C: lands in ~/.local/share/varlo/C there),
# no sound server but the suite's, no session or system bus, stand-in power commands.
builder_home=$HOME # the build's compiler cache lives there
export HOME="$VW_RUN/home"
unset XDG_DATA_HOME XDG_CONFIG_HOME XDG_DESKTOP_DIR
export DBUS_SESSION_BUS_ADDRESS="unix:path=$VW_RUN/no-session-bus"
export DBUS_SYSTEM_BUS_ADDRESS="unix:path=$VW_RUN/no-system-bus"
export VARLO_CAN_HIBERNATE=no VARLO_HIBERNATE_COMMAND=true VARLO_POWEROFF_COMMAND=true
drive="$HOME/.local/share/varlo/C"
mkdir -p "$drive" "$HOME/Desktop"
printf 'what an earlier run wrote\n' > "$drive/varlo.log"
printf 'the user keeps this\n' > "$drive/notes.txt"
VN_EXE=varlo

# check NAME FUNCTION: runs FUNCTION in a shell of its own (-e), its output in the log.
check() {
    local name=$1 start=$SECONDS
    (
        set -e
        "$2"
    ) > "$VW_RUN/$name.log" 2>&1
    vw_report "$name" $? $((SECONDS - start)) "$VW_RUN/$name.log"
}

build() {
    HOME=$builder_home bash "$VW_ROOT/scripts/package.sh" deb zip
    [ -f "$deb" ]
    [ -f "$zip" ]
    echo "note: $(basename "$deb") $(stat -c %s "$deb") bytes, $(basename "$zip") $(stat -c %s "$zip") bytes"
}

lintian_clean() {
    local out
    # Root is warned about on stderr; the tags go to stdout.
    out=$(lintian --info "$deb" 2> "$VW_RUN/lintian.stderr")
    [ -z "$out" ] || printf '%s\n' "$out" | sed 's/^/note: /'
    if grep -E '^[EW]: ' <<< "$out"; then
        echo "lintian reports errors or warnings"
        return 1
    fi
    echo "note: no error, no warning"
}

windows_zip() {
    local listed stage="$VW_RUN/zip" dll bad=""
    listed=$(unzip -Z1 "$zip" | sort | tr '\n' ' ')
    if [ "$listed" != "LICENSE.txt LIESMICH.txt varlo.exe " ]; then
        echo "the zip holds: $listed"
        return 1
    fi
    rm -rf "$stage" && mkdir -p "$stage"
    unzip -q "$zip" -d "$stage"
    # As scripts/test.sh checks the builds: only DLLs of Windows itself.
    for dll in $(x86_64-w64-mingw32-objdump -p "$stage/varlo.exe" | awk '/DLL Name:/ {print $3}'); do
        grep -qiE '^(kernel32|user32|winmm|msvcrt|advapi32|ntdll|ucrtbase|api-ms-win-[a-z0-9-]+)\.dll$' <<< "$dll" ||
            bad+=" $dll"
    done
    [ -z "$bad" ] || {
        echo "varlo.exe imports non-system DLLs:$bad"
        return 1
    }
    if ! x86_64-w64-mingw32-nm "$stage/varlo.exe" 2>&1 | grep -q "no symbols"; then
        echo "varlo.exe is not stripped"
        return 1
    fi
    # For Notepad: CRLF line ends, both languages, the version; the licence as in the sources.
    if grep -qv $'\r$' "$stage/LIESMICH.txt" "$stage/LICENSE.txt"; then
        echo "LIESMICH.txt or LICENSE.txt has lines without CRLF"
        return 1
    fi
    [ "$(tr -d '\r' < "$stage/LICENSE.txt")" = "$(cat "$VW_ROOT/LICENSE")" ]
    grep -q "Varlo $version fuer Windows" "$stage/LIESMICH.txt"
    grep -q "Varlo $version for Windows" "$stage/LIESMICH.txt"
    echo "note: varlo.exe $(stat -c %s "$stage/varlo.exe") bytes, imports $(x86_64-w64-mingw32-objdump -p "$stage/varlo.exe" | awk '/DLL Name:/ {printf "%s ", $3}')"
}

# An older version of the same package, as a user has it before the upgrade.
install_older() {
    local tree="$VW_RUN/older"
    rm -rf "$tree"
    dpkg-deb -R "$deb" "$tree"
    sed -i "s/^Version: .*/Version: 0.9.0/" "$tree/DEBIAN/control"
    dpkg-deb --root-owner-group -b "$tree" "$VW_RUN/varlo_0.9.0_$arch.deb" > /dev/null
    mkdir -p "$VW_RUN/drive-install"
    snapshot_watch "$VW_RUN/drive-install" "$drive"
    $sudo dpkg -i "$VW_RUN/varlo_0.9.0_$arch.deb"
    [ "$(dpkg-query -W -f='${Version}' varlo)" = 0.9.0 ]
    $sudo dpkg -i "$deb"
    [ "$(dpkg-query -W -f='${Version} ${Status}' varlo)" = "$version install ok installed" ]
    [ "$(command -v varlo)" = /usr/bin/varlo ]
    snapshot_check "$VW_RUN/drive-install"
    dpkg -L varlo > "$VW_RUN/files-of-package"
    echo "note: installed over 0.9.0; ~/.local/share/varlo/C untouched"
}

# The player from PATH plays a folder: sort prompt, a title, Esc J, exit code 0.
plays_from_path() {
    local folder="$VW_RUN/music"
    vw_media_folder "$folder" 30 "Alpha - Nordwind.wav" "Beta - Ostwind.wav"
    vn_start play "$folder"
    vw_wait_text 3 2 "sortierung nach?: 1 Zufall   2 Titel   3 Interpreten" 20
    vw_key 2
    vw_wait_text 2 24 "gefundene Titel: 2 " 10
    vw_wait_text 10 32 "Alpha"
    vw_expect_attribute 10 32 5 "94/47" "playing title"
    vw_quit
    vn_expect_restored
    # The player's own drive: made beside what the user keeps there.
    [ -f "$drive/Windows/system32/shutdown.exe" ]
    [ -f "$drive/notes.txt" ]
    vn_stop
}

# Only the two words alone are taken before the core: anything else is its extension filter,
# which finds no file here, so the core says so and opens the folder chooser.
other_words_reach_core() {
    local folder="$VW_RUN/music" words
    for words in --hlep "--version extra"; do
        # vn_start runs one program without arguments: a script gives them.
        VN_EXE="$VW_RUN/varlo ${words// /-}.sh"
        printf '#!/bin/sh\nexec varlo %s\n' "$words" > "$VN_EXE"
        chmod +x "$VN_EXE"
        vn_start "words${words// /-}" "$folder"
        vw_wait_text 3 2 "sortierung nach?:" 20
        vw_key 1
        # " no Files found..." stands for 2 s, then the chooser opens in the parent folder.
        vw_wait_text 1 2 "Hier übernehmen >> $(basename "$VW_RUN")" 10
        vw_tmux send-keys -t "$VW_NAME" C-c
        vw_wait_exit 130 5
        vn_expect_restored
    done
    vn_stop
}

help_and_version() {
    local out
    # Before anything looks at the terminal: no terminal here at all.
    out=$(varlo --version < /dev/null)
    [ "$out" = "varlo $version" ] || {
        echo "--version printed: $out"
        return 1
    }
    out=$(varlo --help < /dev/null)
    local wanted
    # shellcheck disable=SC2088,SC2016 # the help's own text, not paths of this machine
    for wanted in "Usage: varlo [EXTENSION]" "Esc" "Programm beenden ? J/N" \
        VARLO_HIBERNATE_COMMAND VARLO_POWEROFF_COMMAND VARLO_CAN_HIBERNATE \
        "~/.local/share/varlo/C" '$XDG_DATA_HOME/varlo/C'; do
        grep -qF -- "$wanted" <<< "$out" || {
            echo "--help does not mention $wanted"
            return 1
        }
    done
    # A full disk is a failure, not a success.
    if varlo --help > /dev/full 2> /dev/null; then
        echo "--help into a full disk exited 0"
        return 1
    fi
    echo "note: varlo --version: $(varlo --version)"
}

manual_pages() {
    local page warnings
    for page in /usr/share/man/man1/varlo.1.gz /usr/share/man/de/man1/varlo.1.gz; do
        [ -f "$page" ]
        warnings=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 > "$VW_RUN/man.txt")
        [ -z "$warnings" ] || {
            echo "$page: $warnings"
            return 1
        }
        grep -q VARLO_POWEROFF_COMMAND "$VW_RUN/man.txt"
    done
    [ "$(man -w varlo)" = /usr/share/man/man1/varlo.1.gz ]
    [ "$(man -L de -w varlo)" = /usr/share/man/de/man1/varlo.1.gz ]
    grep -qx 'Terminal=true' /usr/share/applications/varlo.desktop
    grep -qx 'Categories=AudioVideo;Audio;Player;' /usr/share/applications/varlo.desktop
}

removed_without_trace() {
    mkdir -p "$VW_RUN/drive-remove"
    snapshot_watch "$VW_RUN/drive-remove" "$drive"
    $sudo dpkg -r varlo
    if package_present; then
        echo "varlo is still known to dpkg: $(package_state)"
        return 1
    fi
    local path left=""
    while IFS= read -r path; do
        [ -e "$path" ] || [ -L "$path" ] || continue
        # A folder stays when another package owns it or holds something in it.
        if [ -d "$path" ] && { dpkg -S "$path" > /dev/null 2>&1 || [ -n "$(ls -A "$path")" ]; }; then
            continue
        fi
        left+=" $path"
    done < "$VW_RUN/files-of-package"
    [ -z "$left" ] || {
        echo "left behind:$left"
        return 1
    }
    snapshot_check "$VW_RUN/drive-remove"
    echo "note: $(grep -c . "$VW_RUN/files-of-package") paths of the package checked"
}

start=$SECONDS
check build build
if [ -f "$deb" ]; then
    check lintian lintian_clean
    check windows_zip windows_zip
    check install_older install_older
    if [ "$(command -v varlo)" = /usr/bin/varlo ]; then
        check plays_from_path plays_from_path
        check other_words_reach_core other_words_reach_core
        check help_and_version help_and_version
        check manual_pages manual_pages
        check removed_without_trace removed_without_trace
    fi
fi
vw_summary "package suite"
