#!/bin/bash
# package.sh [deb] [zip]: builds what a user installs, from release builds of their own, into
# build/package/ (without a name: the package, and the zip where the MinGW-w64 compiler is):
#   varlo_<version>_<arch>.deb   the Debian package: the player, its manual pages (English and
#                                German), README, copyright and desktop entry
#   varlo-<version>-win64.zip    varlo.exe (stripped), LIESMICH.txt and LICENSE.txt
# Install the package with `sudo apt install ./build/package/varlo_*.deb`.
#
# The Debian package is made by dpkg-buildpackage from debian/: debhelper brings what Debian's
# policy asks of a package (stripped binary, compressed manual pages and changelog, md5sums,
# the library dependencies from dpkg-shlibdeps, Debian's hardening flags). dpkg-buildpackage
# builds in the source tree and writes beside it, so it works on a copy of the checkout's
# files in build/package/build/. The version is the one in CMakeLists.txt; debian/changelog
# must name the same.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
jobs=${VARLO_JOBS:-2}
out="$root/build/package"
work="$out/build"

kinds=("$@")
if [ ${#kinds[@]} -eq 0 ]; then
    kinds=(deb)
    if command -v x86_64-w64-mingw32-g++-posix > /dev/null; then
        kinds+=(zip)
    else
        echo "package: no MinGW-w64 compiler (g++-mingw-w64-x86-64-posix): no Windows zip"
    fi
fi

version=$(sed -nE 's/^project\(varlo VERSION ([0-9.]+).*/\1/p' CMakeLists.txt)
if [ -z "$version" ]; then
    echo "package: no version in CMakeLists.txt" >&2
    exit 2
fi
mkdir -p "$work"

# As scripts/build.sh: ccache hands every build the objects of the one before. debhelper gives
# the build a HOME of its own, so ccache is told where its cache is.
compiler_cache() {
    local base=$1
    command -v ccache > /dev/null || return 0
    export CMAKE_CXX_COMPILER_LAUNCHER=ccache CCACHE_BASEDIR=$base CCACHE_NOHASHDIR=1
    CCACHE_DIR=$(ccache -k cache_dir)
    export CCACHE_DIR
}

build_deb() {
    local changelog arch source deb
    changelog=$(dpkg-parsechangelog -l debian/changelog -S Version)
    if [ "$changelog" != "$version" ]; then
        echo "package: debian/changelog names $changelog, CMakeLists.txt $version" >&2
        exit 2
    fi
    arch=$(dpkg --print-architecture)
    deb="$out/varlo_${version}_${arch}.deb"
    echo "== package $deb"
    # The checkout's files as they are now, committed or not (a file deleted but not yet
    # committed is left out); outside a git checkout every file but build/.
    source="$work/varlo-$version"
    rm -rf "$source"
    mkdir -p "$source"
    if git rev-parse --is-inside-work-tree > /dev/null 2>&1; then
        local file
        git ls-files -z --cached --others --exclude-standard |
            while IFS= read -r -d '' file; do
                [ -e "$file" ] && printf '%s\0' "$file"
            done | tar --null -T - -cf - | tar -xf - -C "$source"
    else
        tar --exclude=./build -cf - . | tar -xf - -C "$source"
    fi
    rm -f "$work"/varlo_"$version"_* "$work"/varlo-dbgsym_"$version"_*
    (
        compiler_cache "$source"
        cd "$source"
        DEB_BUILD_OPTIONS="noautodbgsym parallel=$jobs" dpkg-buildpackage -b -us -uc
    ) > "$work/dpkg-buildpackage.log" 2>&1 || {
        tail -40 "$work/dpkg-buildpackage.log" >&2
        echo "package: dpkg-buildpackage failed (log: $work/dpkg-buildpackage.log)" >&2
        exit 1
    }
    mv "$work/varlo_${version}_${arch}.deb" "$deb"
    dpkg-deb -I "$deb" | sed -nE 's/^ (Version|Depends|Recommends): /    \1: /p'
}

build_zip() {
    local build="$work/mingw" stage="$work/win64" zip="$out/varlo-$version-win64.zip"
    echo "== package $zip"
    (
        compiler_cache "$root"
        cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" \
            -DCMAKE_BUILD_TYPE=Release -DVARLO_TESTS=OFF -DVARLO_BENCH=OFF > /dev/null
        cmake --build "$build" --target varlo -j "$jobs" > "$work/mingw-build.log"
    ) || {
        tail -40 "$work/mingw-build.log" >&2
        echo "package: the Windows build failed" >&2
        exit 1
    }
    rm -rf "$stage" "$zip"
    mkdir -p "$stage"
    x86_64-w64-mingw32-strip -o "$stage/varlo.exe" "$build/varlo.exe"
    # Notepad and every other Windows editor: CRLF line ends.
    sed -e "s/@VERSION@/$version/" -e 's/$/\r/' dist/LIESMICH.txt > "$stage/LIESMICH.txt"
    sed -e 's/$/\r/' LICENSE > "$stage/LICENSE.txt"
    (cd "$stage" && zip -q -X "$zip" varlo.exe LIESMICH.txt LICENSE.txt)
    unzip -l "$zip" | sed 's/^/    /'
}

for kind in "${kinds[@]}"; do
    case $kind in
        deb) build_deb ;;
        zip) build_zip ;;
        *)
            echo "unknown kind $kind (deb, zip)" >&2
            exit 2
            ;;
    esac
done
