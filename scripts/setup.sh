#!/bin/bash
# setup.sh [bench]: installs every Debian package that building, testing and the demo need;
# with "bench" also the players the benchmarks compare with. Quick when all of them are there
# (no apt at all then); safe to run again.
set -euo pipefail

packages=(
    cmake make g++ git python3             # native build
    libgtest-dev libgmock-dev              # unit tests
    pkg-config libgstreamer1.0-dev         # native player: GStreamer behind the MCI strings
    gstreamer1.0-pulseaudio                # native player: PulseAudio sink and device count
    clang-format                           # formatting check
    clang libfuzzer-14-dev libclang-rt-14-dev  # fuzz targets (libFuzzer, the sanitizers) and
                                           # the ThreadSanitizer build of the threaded tests
    g++-mingw-w64-x86-64-posix             # cross build of varlo.exe
    binutils-mingw-w64-x86-64              # objdump -p: the DLLs varlo.exe imports
    wine wine64                            # running varlo.exe
    # MCI's MPEGVideo device under Wine plays through GStreamer. The media types each serves:
    gstreamer1.0-plugins-base              # .ogg (Ogg, Vorbis)
    gstreamer1.0-plugins-good              # .wav .flac .mp3 .mp2; demuxers of .avi .divx .mp4 .mov
    gstreamer1.0-plugins-ugly              # .wma .wmv: the ASF demuxer
    gstreamer1.0-libav                     # decoders: .wma .wmv (WMA, WMV), .mp4 .mov (AAC,
                                           # H.264), .avi .divx (MPEG-4), .mpg (MPEG video),
                                           # .ape (Monkey's Audio, with its demuxer)
    gstreamer1.0-plugins-bad               # .mpg (MPEG program streams), .mid .midi (MIDI
                                           # parser, FluidSynth); video parsers for the rest
    timgm6mb-soundfont                     # .mid .midi: the General MIDI sound font
    ffmpeg                                 # test files of every type
    gstreamer1.0-plugins-base-apps         # gst-play-1.0: the markers test's comparison, and
                                           # the benchmarks' GStreamer without a screen
    libjmac-java default-jre-headless      # .ape test files (Monkey's Audio encoder, Java)
    pulseaudio pulseaudio-utils            # a null-sink sound device for Wine
    tmux                                   # the 69 x 22 terminal of the tests and the demo
    dbus-daemon python3-dbus python3-gi    # private session and system buses, mock services
    xvfb xdotool x11-utils imagemagick     # tests of a real console window, screenshots
    debhelper dpkg-dev lintian             # scripts/package.sh: the Debian package; its check
    zip unzip man-db                       # the Windows zip; the package test lists it, reads man
    libglib2.0-bin                         # desktop tests: gdbus on the private buses
    python3-dbusmock playerctl             # desktop tests: mock logind and portal; an MPRIS client
)
if [ "${1:-}" = bench ]; then
    packages+=(
        mpv mpg123                         # two other players of the same MP3
        gstreamer1.0-tools                 # gst-launch-1.0: a bare playbin with a tuned sink
    )
fi

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2> /dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done
if [ ${#missing[@]} -eq 0 ]; then
    echo "setup: all ${#packages[@]} packages present"
    exit 0
fi

echo "setup: installing ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update
$sudo apt-get install -y "${missing[@]}"
