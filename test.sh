#!/usr/bin/env bash
# Every check of the project, as CI runs it (.ci/run). Exits non-zero when any check fails.
#
#   ./test.sh          Installs what is missing, then runs, side by side where the CPUs would
#                      otherwise wait: the Release build and all its tests (the slow kill and
#                      full-disk runs, the large files and the join scripts under Wine's cmd
#                      included), the Debian package checks, the format, shellcheck and clang-tidy
#                      gates, an AddressSanitizer + UndefinedBehaviorSanitizer build with its tests,
#                      and the MinGW-w64 cross build with its tests and a round trip under Wine.
#   ./test.sh --quick  The edit loop: the Release build in build/quick (through ccache when it is
#                      installed), its tests without the labels slow, large and wine, and the format
#                      and shellcheck gate.
#
# Each section writes its output to build/logs/SECTION.log. The script announces a section when it
# starts and says how long it took when it passes; when one fails, its log is shown, the sections
# still running are stopped, and the script exits non-zero. The times of all sections close the run.
set -euo pipefail
cd "$(dirname "$0")"

quick=0
case "${1:-}" in
    "") ;;
    --quick) quick=1 ;;
    *)
        echo "usage: ./test.sh [--quick]" >&2
        exit 2
        ;;
esac

jobs=$(nproc)
logs=build/logs
began=$SECONDS

# Sections run as background jobs, each in its own process group (job control), so that a failure
# can stop a section with all the compilers and tests it started.
set -m
declare -A pid_of=() started=() then_start=()
declare -a order=() timeline=()

clock() { printf '%d:%02d' $(((SECONDS - began) / 60)) $(((SECONDS - began) % 60)); }

# start NAME NICENESS FUNCTION: runs FUNCTION in the background, its output into the section's log.
# CPU-bound sections run at a lower priority than the tests, which may measure time.
start() {
    local name=$1 niceness=$2 function=$3
    (
        # The processor time the section used, for the summary.
        trap 'times >"$logs/$name.times"' EXIT
        renice -n "$niceness" -p "$BASHPID" >/dev/null
        "$function"
    ) </dev/null >"$logs/$name.log" 2>&1 &
    pid_of[$name]=$!
    started[$name]=$SECONDS
    order+=("$name")
    echo "[$(clock)] $name: started"
}

# after BEFORE NAME NICENESS FUNCTION: starts NAME once BEFORE has passed.
after() {
    then_start[$1]+="$2 $3 $4;"
}

stop_all() {
    local name
    for name in "${!pid_of[@]}"; do
        kill -TERM -- "-${pid_of[$name]}" 2>/dev/null || true
    done
    for name in "${!pid_of[@]}"; do
        wait "${pid_of[$name]}" 2>/dev/null || true
    done
}
trap 'stop_all; exit 130' INT TERM

# The last line of a log that says how a section went (CTest's count, a script's verdict).
verdict() {
    grep -E '^[0-9]+% tests passed|passed$|^(clang-format|shellcheck|clang-tidy): ' "$logs/$1.log" | tr '\n' ';' |
        sed 's/;$//; s/;/; /g' || true
}

# The processor seconds (user and system, its processes included) a section used.
cpu_seconds() {
    [[ -f $logs/$1.times ]] || { echo 0; return; }
    awk 'function s(t) { split(t, p, /m|s/); return p[1] * 60 + p[2] }
         END { printf "%d", s($1) + s($2) }' "$logs/$1.times"
}

# Waits for the sections; a failure shows its log and ends the run.
wait_all() {
    local pid status name entry
    while ((${#pid_of[@]})); do
        status=0
        wait -n -p pid "${pid_of[@]}" || status=$?
        for name in "${!pid_of[@]}"; do
            [[ ${pid_of[$name]} == "$pid" ]] && break
        done
        unset "pid_of[$name]"
        local took=$((SECONDS - started[$name]))
        timeline+=("$(printf '%-17s %4d s  %4d s  %4d s  %4d s' "$name" $((started[$name] - began)) $((SECONDS - began)) \
            "$took" "$(cpu_seconds "$name")")")
        if ((status != 0)); then
            echo "[$(clock)] $name: FAILED after $took s (exit $status); its log, $logs/$name.log:" >&2
            sed 's/^/    /' "$logs/$name.log" >&2
            stop_all
            echo "[$(clock)] ./test.sh: FAILED in $name" >&2
            exit 1
        fi
        echo "[$(clock)] $name: passed in $took s  $(verdict "$name")"
        local IFS=';'
        for entry in ${then_start[$name]:-}; do
            IFS=' ' read -r -a entry_words <<<"$entry"
            start "${entry_words[@]}"
        done
    done
}

# configure DIR CMAKE_ARGS...: a Ninja tree with the warnings as errors.
configure() {
    local dir=$1
    shift
    # A tree another generator made (test.sh once used Makefiles) is made anew.
    if [[ -f $dir/CMakeCache.txt ]] && ! grep -qx 'CMAKE_GENERATOR:INTERNAL=Ninja' "$dir/CMakeCache.txt"; then
        rm -rf "$dir"
    fi
    cmake -S . -B "$dir" -G Ninja -DDODIVEVERAZED_WERROR=ON "$@"
}

format_gate() { scripts/lint.sh --format; }

# --quick ----------------------------------------------------------------------------------------
quick_build() {
    local launcher=()
    command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    # Configured once; Ninja configures again by itself when a CMake file changes.
    [[ -f build/quick/build.ninja ]] || configure build/quick -DCMAKE_BUILD_TYPE=Release "${launcher[@]}"
    cmake --build build/quick
}
quick_tests() { ctest --test-dir build/quick --output-on-failure -j "$jobs" -LE 'slow|large|wine'; }

# The whole run ----------------------------------------------------------------------------------
# Trees built once from scratch compile each library and test program as one unit (Qt's and GoogleTest's
# headers parsed once per target), a third of the processor time of one unit per file; the Linux trees
# link with lld (half the time of ld).
unity=(-DCMAKE_UNITY_BUILD=ON -DDODIVEVERAZED_UNITY_TESTS=ON)
lld=(-DCMAKE_EXE_LINKER_FLAGS=-fuse-ld=lld)
# The package's tree is built with the distribution's hardening flags (dpkg-buildflags, all of them; without
# -g and -O2, which the package strips and Release raises).
release_configure() {
    local compile link
    compile=$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get CPPFLAGS)
    compile+=" $(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get CXXFLAGS | sed 's/\(^\| \)-\(g\|O2\)\b//g')"
    link=$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get LDFLAGS)
    configure build/release -DCMAKE_BUILD_TYPE=Release "${unity[@]}" "-DCMAKE_CXX_FLAGS=$compile" \
        "-DCMAKE_EXE_LINKER_FLAGS=-fuse-ld=lld $link"
}
release_build() { cmake --build build/release; }
release_tests() { ctest --test-dir build/release --output-on-failure -j "$jobs"; }
package_checks() { scripts/check-package.sh build/release; }
# clang-tidy needs a configured tree only; it reads the Release tree's units while they are compiled.
tidy_gate() { scripts/lint.sh --tidy build/release; }
# The sanitizers: without the slow kill and full-disk runs (they measure gigabytes, not memory
# errors), without the join scripts under Wine (the Release tree runs them; Wine is not sanitized), and
# on the core and the command line only: the window's third of the build would take CI past five minutes.
sanitize_build() {
    # Line tables are all a sanitizer's report needs, and cheaper to make than full debug information.
    configure build/sanitize -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG=-g1 -DDODIVEVERAZED_SANITIZE=ON \
        "${unity[@]}" "${lld[@]}" \
        -DDODIVEVERAZED_SLOW_TESTS=OFF -DDODIVEVERAZED_WINE_TESTS=OFF -DDODIVEVERAZED_GUI=OFF
    cmake --build build/sanitize
}
sanitize_tests() { ctest --test-dir build/sanitize --output-on-failure -j "$jobs"; }
# The cross build proves the code and its tests on Windows; -O1 compiles it sooner, and the tests do not time it.
windows_build() { DODIVEVERAZED_CMAKE_ARGS="${unity[*]} -DCMAKE_CXX_FLAGS_RELEASE=-O1" scripts/windows-tests.sh --build-only build/windows; }
windows_tests() { scripts/windows-tests.sh --tests-only build/windows; }

if ((quick)); then
    mkdir -p "$logs" && rm -f "$logs"/*.log
    start build 0 quick_build
    start format 0 format_gate
    after build tests 0 quick_tests
    wait_all
else
    echo "[$(clock)] packages: scripts/install-deps.sh --with-tests"
    scripts/install-deps.sh --with-tests
    mkdir -p "$logs" && rm -f "$logs"/*.log
    # Three trees compile at once: one compiler each keeps the CPUs busy without thrashing their caches.
    export CMAKE_BUILD_PARALLEL_LEVEL=1

    start format 0 format_gate
    start release-configure 0 release_configure
    # The Windows tests and the round trip under Wine mostly wait, so their build starts first; the Release
    # tree, whose package and tests come last, is built at the tests' priority.
    start windows-build 2 windows_build
    start sanitize-build 2 sanitize_build
    after release-configure release-build 0 release_build
    after release-configure tidy 6 tidy_gate
    after windows-build windows-tests 0 windows_tests
    after release-build release-tests 0 release_tests
    after release-build package 0 package_checks
    after sanitize-build sanitize-tests 0 sanitize_tests
    wait_all
fi

echo
total_cpu=0
for name in "${order[@]}"; do total_cpu=$((total_cpu + $(cpu_seconds "$name"))); done
echo "Seconds from the start of the run, and the processor time (user + system) of each section:"
printf '  %-17s %6s  %6s  %6s  %6s\n' section start end wall CPU
printf '  %s\n' "${timeline[@]}"
echo "  processor time of all sections: $total_cpu s on $jobs CPUs"
echo "./test.sh${1:+ $1}: all passed in $(clock) (m:ss)"
