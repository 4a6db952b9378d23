#!/usr/bin/env bash
# Measures the recovery files against Debian's par2 on one page-cached 1 GiB file of random bytes split
# into 739 fragments of 1420 KiB: creating 5 % (ours: one block per fragment, 37 blocks; par2 create -r5)
# and rebuilding one deleted fragment (ours: check and rebuild; par2 repair), both in the same run, with
# the peak memory of each. Prints one line per figure, the median of the runs.
# Usage: bench/recovery_bench.sh [runs]   (default 3; BENCH_DIR chooses where the files go, default /var/tmp)
set -euo pipefail
shopt -s inherit_errexit
export LC_ALL=C
cd "$(dirname "$0")/.."
runs=${1:-3}
[[ $runs =~ ^[1-9][0-9]*$ ]] || { echo "usage: bench/recovery_bench.sh [runs]" >&2; exit 2; }
build=build/bench-recovery
if ! command -v par2 >/dev/null || ! command -v /usr/bin/time >/dev/null; then
    scripts/install-deps.sh --with-tests --with-bench >/dev/null
fi

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DDODIVEVERAZED_BENCH=ON -DDODIVEVERAZED_TESTS=OFF \
    -DDODIVEVERAZED_GUI=OFF >/dev/null
cmake --build "$build" --target recovery_driver dodiveverazed-cli >/dev/null
driver=$PWD/$build/bench/recovery_driver
cli=$PWD/$build/src/cli/dodiveverazed-cli

work=$(mktemp -d "${BENCH_DIR:-/var/tmp}/dodiveverazed-recovery.XXXXXX")
trap 'rm -rf -- "$work"' EXIT
mkdir "$work/ours" "$work/peer"
head -c 1073741824 /dev/urandom >"$work/source.bin"
"$cli" split -s 1420 --no-sfv -o "$work/ours" "$work/source.bin" >/dev/null
cp "$work"/ours/source.bin._* "$work/peer/"
rm "$work/source.bin"
cat "$work"/ours/source.bin._* >/dev/null
fragments=$(find "$work/ours" -name 'source.bin._*' | wc -l)
echo "CPU: $(lscpu | sed -n 's/^Model name: *//p'), $(nproc) cores; $fragments fragments of 1420 KiB; median of $runs runs"

# timed FILE COMMAND...: runs COMMAND in the folder of the set, appends "seconds kilobytes" to FILE.
timed() {
    local into=$1
    shift
    /usr/bin/time -f '%e %M' -o "$work/time" "$@" >/dev/null
    cat "$work/time" >>"$into"
}
median() { # FILE FIELD
    sort -n -k"$2" "$1" | awk -v f="$2" '{ v[NR] = $f } END { print v[int((NR + 1) / 2)] }'
}

for ((run = 0; run < runs; run++)); do
    (cd "$work/ours" && rm -f source.par2 source.vol*.par2 &&
        timed "$work/ours-create" "$driver" create 5 source.par2 source.bin._*)
    (cd "$work/peer" && rm -f source.par2 source.vol*.par2 &&
        timed "$work/peer-create" par2 create -q -q -r5 source.par2 source.bin._*)
    mv "$work/ours/source.bin._370" "$work/lost"
    (cd "$work/ours" && timed "$work/ours-repair" "$driver" repair source.par2)
    cmp -s "$work/lost" "$work/ours/source.bin._370" || { echo "our rebuilt fragment differs" >&2; exit 1; }
    rm "$work/peer/source.bin._370"
    (cd "$work/peer" && timed "$work/peer-repair" par2 repair -q -q source.par2)
    cmp -s "$work/lost" "$work/peer/source.bin._370" || { echo "par2's rebuilt fragment differs" >&2; exit 1; }
    rm -f "$work"/peer/*.1 "$work/lost"
done

row() { # label ours peer limit
    local ours peer
    ours=$(median "$work/$2" 1) peer=$(median "$work/$3" 1)
    printf '%-30s ours %6.2f s  par2 %6.2f s  (%4.1fx)  limit %s s: %s; memory ours %d MiB, par2 %d MiB\n' "$1" \
        "$ours" "$peer" "$(awk -v a="$peer" -v b="$ours" 'BEGIN { print a / b }')" "$4" \
        "$(awk -v v="$ours" -v l="$4" 'BEGIN { print (v <= l ? "met" : "NOT met") }')" \
        $(($(median "$work/$2" 2) / 1024)) $(($(median "$work/$3" 2) / 1024))
}
row "create 5 % (1 GiB, 739)" ours-create peer-create 4.5
row "rebuild one lost fragment" ours-repair peer-repair 1.0
