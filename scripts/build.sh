#!/bin/bash
# build.sh [--target TARGET] [native] [asan] [mingw] [tsan]: builds the named configurations
# (the first three when none is named), with at most two jobs; with --target only that target
# of each (varlo: the player alone):
#   build/native  core, unit tests and benchmarks for this machine
#   build/asan    the same with AddressSanitizer and UndefinedBehaviorSanitizer
#   build/mingw   varlo.exe and the companion programs for 64-bit Windows
#   build/fuzz    the fuzz targets of fuzz/ (clang, libFuzzer, the sanitizers); not built
#                 when no configuration is named
#   build/tsan    varlo_thread_tests alone, the threaded unit tests, with clang's
#                 ThreadSanitizer; not built when no configuration is named
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
jobs=${VARLO_JOBS:-2}
# Several checkouts of the project on one machine compile the same sources: ccache, where it
# is installed, hands each the others' objects.
if command -v ccache > /dev/null; then
    export CMAKE_CXX_COMPILER_LAUNCHER=ccache CCACHE_BASEDIR=${CCACHE_BASEDIR:-$root} CCACHE_NOHASHDIR=1
fi

target=()
if [ "${1:-}" = --target ]; then
    target=(--target "$2")
    shift 2
fi
configs=("$@")
[ ${#configs[@]} -gt 0 ] || configs=(native asan mingw)

for config in "${configs[@]}"; do
    echo "== build $config"
    case $config in
        native) cmake -S . -B build/native ;;
        asan) cmake -S . -B build/asan -DVARLO_SANITIZE=ON ;;
        mingw) cmake -S . -B build/mingw -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" ;;
        fuzz)
            cmake -S . -B build/fuzz -DCMAKE_CXX_COMPILER=clang++ -DVARLO_FUZZ=ON \
                -DVARLO_TESTS=OFF -DVARLO_BENCH=OFF
            ;;
        tsan)
            cmake -S . -B build/tsan -DCMAKE_CXX_COMPILER=clang++ -DVARLO_THREAD_SANITIZE=ON \
                -DVARLO_BENCH=OFF
            cmake --build build/tsan -j "$jobs" --target "${target[1]:-varlo_thread_tests}"
            continue
            ;;
        *)
            echo "unknown configuration $config (native, asan, mingw, fuzz, tsan)"
            exit 2
            ;;
    esac
    cmake --build "build/$config" -j "$jobs" "${target[@]}"
done
