#!/usr/bin/env bash
# The Windows side: cross-builds the core libraries and their tests with MinGW-w64 and runs the tests
# under Wine, in a Wine prefix made fresh for this run inside the build folder and removed after it
# (its wineserver ended and waited for first, so that a next run never meets a prefix still being
# written). Usage: windows-tests.sh [BUILD_DIR [CTEST_ARGS...]]   (default build/windows)
# A test by hand afterwards: ctest --test-dir build/windows -R NAME (sets up the prefix on first use;
# end it with WINEPREFIX=$PWD/build/windows/wineprefix wineserver -k).
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath -m "${1:-build/windows}")
shift $(($# > 0 ? 1 : 0))
prefix=$build/wineprefix

end_wine() {
    if [[ -d $prefix ]]; then
        WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1 || true
        WINEPREFIX=$prefix wineserver -w >/dev/null 2>&1 || true
    fi
    rm -rf "$prefix" "$prefix.lock"
}
end_wine
trap end_wine EXIT

cmake -S . -B "$build" --toolchain cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release \
    -DDODIVEVERAZED_WERROR=ON -DDODIVEVERAZED_GUI=OFF >/dev/null
cmake --build "$build" -j "$(nproc)"

# One wineserver for the whole run instead of one per test program, and the prefix set up before
# the tests start.
mkdir -p "$prefix"
WINEPREFIX=$prefix wineserver -p
scripts/wine-run.sh "$prefix" cmd /c exit

ctest --test-dir "$build" --output-on-failure -j "$(nproc)" "$@"

# The round trip with the console program dodiveverazed-cli.exe comes here once it exists: split
# "Prüfung 50% & mehr.dat" with the script option, rejoin it with the program's join and with the
# written batch file under Wine's cmd, compare both with the source, and check the crc line.
