#!/usr/bin/env bash
# The core's split with its checksum file and its join that verifies against one, against cp and cat, and
# the plain split and join against cp: one page-cached 1 GiB file of random bytes, 1420 kB fragments (739).
# Each timed run starts with the outputs of the last one removed and `sync` run (untimed); ours and the peer
# alternate, who goes first changing from round to round; the figures are medians.
# Usage: bench/sfv_compare.sh [runs]   (runs >= 5; BENCH_DIR chooses where the files go, default /var/tmp)
# Exit status 0 when every target is met, 1 when one is not, 2 on a failure of the comparison itself.
set -euo pipefail
export LC_ALL=C
cd "$(dirname "$0")/.."
runs=${1:-7}
if ! [[ $runs =~ ^[0-9]+$ ]] || ((runs < 5)); then
    echo "usage: bench/sfv_compare.sh [runs, at least 5]" >&2
    exit 2
fi
build=build/bench
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DDODIVEVERAZED_BENCH=ON -DDODIVEVERAZED_TESTS=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target bench_driver >/dev/null
driver=$PWD/$build/bench/bench_driver

work=$(mktemp -d "${BENCH_DIR:-/var/tmp}/dodiveverazed-sfv.XXXXXX")
trap 'rm -rf -- "$work"' EXIT
mkdir "$work/split" "$work/set" "$work/out"
head -c 1073741824 /dev/urandom >"$work/split/source.bin"
cp "$work/split/source.bin" "$work/set/source.bin"
"$driver" split-sfv "$work/set/source.bin" 1420 >/dev/null
fragments=("$work"/set/source.bin._*)

echo "CPU: $(lscpu | sed -n 's/^Model name: *//p'), $(nproc) cores; load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "median of $runs runs each, ours and peer alternating; 1 GiB source, ${#fragments[@]} fragments, page cache"

# Wall time of one command in seconds; a failing command ends the comparison.
seconds() {
    local t0 t1
    t0=$EPOCHREALTIME
    "$@" >/dev/null 2>"$work/stderr" || { echo "failed: $*" >&2; cat "$work/stderr" >&2; exit 2; }
    t1=$EPOCHREALTIME
    awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.6f\n", b - a }'
}
median() { sort -g | awk '{ a[NR] = $1 } END { printf "%.3f", (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2 }'; }
# Outputs of every kind removed, inputs read into the page cache, everything on the disk.
prepare() {
    rm -f "$work"/split/source.bin._* "$work"/split/source.bin.sfv "$work"/out/*
    cat "$work/split/source.bin" "${fragments[@]}" >/dev/null
    sync
}

split_sfv() { seconds "$driver" split-sfv "$work/split/source.bin" 1420; }
split_plain() { seconds "$driver" split "$work/split/source.bin" 1420; }
join_sfv() { seconds "$driver" join-sfv "$work/out/joined.bin" "${fragments[@]}"; }
join_plain() { seconds "$driver" join "$work/out/joined.bin" "${fragments[@]}"; }
cp_peer() { seconds cp "$work/split/source.bin" "$work/out/copy.bin"; }
cat_peer() {
    local t0 t1
    t0=$EPOCHREALTIME
    cat "${fragments[@]}" >"$work/out/cat.bin"
    t1=$EPOCHREALTIME
    awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.6f\n", b - a }'
}

unmet=0
# target label ours peer limit
target() {
    local label=$1 ours=$2 peer=$3 limit=$4 a=() b=() i
    for ((i = 0; i < runs; i++)); do
        if ((i % 2 == 0)); then
            prepare && a+=("$($ours)")
            prepare && b+=("$($peer)")
        else
            prepare && b+=("$($peer)")
            prepare && a+=("$($ours)")
        fi
    done
    local mine theirs ratio verdict
    mine=$(printf '%s\n' "${a[@]}" | median)
    theirs=$(printf '%s\n' "${b[@]}" | median)
    ratio=$(awk -v m="$mine" -v t="$theirs" 'BEGIN { printf "%.2f", m / t }')
    if awk -v r="$ratio" -v l="$limit" 'BEGIN { exit !(r <= l) }'; then verdict=met; else verdict="NOT met"; unmet=$((unmet + 1)); fi
    printf '%-42s %s s  %-4s %s s  %s x (limit %s) %s\n' "$label" "$mine" "${peer%_peer}" "$theirs" "$ratio" "$limit" "$verdict"
}

target "split with the checksum file, against cp" split_sfv cp_peer 1.45
target "join verifying the .sfv, against cat" join_sfv cat_peer 1.4
target "plain split (no .sfv), against cp" split_plain cp_peer 1.2
target "plain join (unverified), against cp" join_plain cp_peer 1.0
exit $((unmet > 0))
