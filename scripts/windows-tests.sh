#!/usr/bin/env bash
# The Windows side: cross-builds the core libraries and their tests with MinGW-w64 and runs the tests
# under Wine, in a Wine prefix made fresh for this run inside the build folder and removed after it
# (its wineserver ended and waited for first, so that a next run never meets a prefix still being
# written). Usage: windows-tests.sh [--build-only | --tests-only] [BUILD_DIR [CTEST_ARGS...]]
# (default build/windows); --build-only configures and builds, --tests-only runs the tests and the
# round trip in a tree built before. Further cmake options for the configure step come from
# DODIVEVERAZED_CMAKE_ARGS (./test.sh compiles each library and test program as one unit).
# A test by hand afterwards: ctest --test-dir build/windows -R NAME (sets up the prefix on first use;
# end it with WINEPREFIX=$PWD/build/windows/wineprefix wineserver -k).
set -euo pipefail
cd "$(dirname "$0")/.."
build_step=1 test_step=1
case "${1:-}" in
    --build-only) test_step=0 && shift ;;
    --tests-only) build_step=0 && shift ;;
esac
build=$(realpath -m "${1:-build/windows}")
shift $(($# > 0 ? 1 : 0))
prefix=$build/wineprefix

if ((build_step)); then
    # A tree another generator made is made anew.
    if [[ -f $build/CMakeCache.txt ]] && ! grep -qx 'CMAKE_GENERATOR:INTERNAL=Ninja' "$build/CMakeCache.txt"; then
        rm -rf "$build"
    fi
    # shellcheck disable=SC2086 # the extra options are words
    cmake -S . -B "$build" -G Ninja --toolchain cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release \
        -DDODIVEVERAZED_WERROR=ON -DDODIVEVERAZED_GUI=OFF ${DODIVEVERAZED_CMAKE_ARGS:-} >/dev/null
    cmake --build "$build"
fi
((test_step)) || exit 0

end_wine() {
    if [[ -d $prefix ]]; then
        WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1 || true
        WINEPREFIX=$prefix wineserver -w >/dev/null 2>&1 || true
    fi
    rm -rf "$prefix" "$prefix.lock"
}
end_wine
trap end_wine EXIT

# One wineserver for the whole run instead of one per test program, and the prefix set up before
# the tests start.
mkdir -p "$prefix"
WINEPREFIX=$prefix wineserver -p
scripts/wine-run.sh "$prefix" cmd /c exit

ctest --test-dir "$build" --output-on-failure -j "$(nproc)" "$@"

# The console program end to end, as a Windows user would use it: split a file whose name holds an
# umlaut, "%" and "&" with the script option, rejoin it once with the program's own join and once
# with the written batch file under Wine's cmd, both byte for byte the source, and check the crc line
# against a CRC-32 computed without the program (gzip's trailer holds it).
roundtrip=$(mktemp -d)
trap 'end_wine; rm -rf "$roundtrip"' EXIT
name='Prüfung 50% & mehr.dat'
cli=$build/src/cli/dodiveverazed-cli.exe
wine_run=$PWD/scripts/wine-run.sh
in_roundtrip() { (cd "$roundtrip" && "$wine_run" "$prefix" "$@"); }
head -c 3000000 /dev/urandom >"$roundtrip/source.bin"
cp "$roundtrip/source.bin" "$roundtrip/$name"
in_roundtrip "$cli" split --size 1000 --script "$name" >/dev/null
rm "$roundtrip/$name"
in_roundtrip "$cli" join "$name._001" >/dev/null
cmp "$roundtrip/source.bin" "$roundtrip/$name"
# Paths written with "/", as Windows takes them too.
mkdir "$roundtrip/aus"
in_roundtrip "$cli" join -o "aus/$name" "./$name._001" >/dev/null
cmp "$roundtrip/source.bin" "$roundtrip/aus/$name"
expected=$(gzip -c "$roundtrip/$name" | tail -c 8 | head -c 4 | od -An -tx4 | tr -d ' ' | tr a-f A-F)
# The console writes its lines with CR LF, as Windows programs do.
[[ $(in_roundtrip "$cli" crc "$name" | tr -d "\r") == "$expected  $name" ]] || { echo "crc line differs" >&2; exit 1; }
rm "$roundtrip/$name"
# The quotes come from the variable so that Wine passes the command line on untouched.
(export JOINSCRIPT='"Prüfung 50% & mehr.bat"'; in_roundtrip cmd /c '%JOINSCRIPT%' >/dev/null)
cmp "$roundtrip/source.bin" "$roundtrip/$name"
echo "dodiveverazed-cli.exe: split, join (paths with \"/\" too), batch file and crc of \"$name\" under Wine: passed"
