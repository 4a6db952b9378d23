#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test through CTest; checks the Debian package;
# then runs the tests once more with AddressSanitizer and UndefinedBehaviorSanitizer; finally
# cross-builds the core for Windows and runs its tests under Wine. Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh --with-tests

jobs=$(nproc)

# run_suite DIR "CTEST_ARGS" CMAKE_ARGS...
run_suite() {
    local dir=$1 ctest_args=$2
    shift 2
    cmake -S . -B "$dir" -DDODIVEVERAZED_WERROR=ON "$@" >/dev/null
    cmake --build "$dir" -j "$jobs"
    # shellcheck disable=SC2086
    ctest --test-dir "$dir" --output-on-failure -j "$jobs" $ctest_args
}

echo "== Release build and tests"
run_suite build/release "" -DCMAKE_BUILD_TYPE=Release

echo "== Debian package: lintian, desktop entry, metainfo, unpacked contents"
scripts/check-package.sh build/release

echo "== Format and lint gates"
scripts/lint.sh build/release

echo "== AddressSanitizer + UndefinedBehaviorSanitizer build and tests (the slow crash tests left out)"
run_suite build/sanitize "-LE slow" -DCMAKE_BUILD_TYPE=Debug -DDODIVEVERAZED_SANITIZE=ON

echo "== The core libraries build without Qt"
cmake -S . -B build/core-only -DDODIVEVERAZED_WERROR=ON -DDODIVEVERAZED_GUI=OFF -DDODIVEVERAZED_TESTS=OFF >/dev/null
cmake --build build/core-only -j "$jobs"

echo "== Windows: MinGW-w64 cross build of the core, its tests under Wine"
windows_start=$SECONDS
scripts/windows-tests.sh build/windows
echo "Windows section: $((SECONDS - windows_start)) s"
