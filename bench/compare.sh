#!/usr/bin/env bash
# Measures the program's engine against its peers on one page-cached 1 GiB file of random bytes
# and prints one line per target: both medians and the ratio, or the figure and its limit.
# Usage: bench/compare.sh [runs]   (runs >= 5; BENCH_DIR chooses where the test files go, default /var/tmp)
# Exit status 0 when every target is met, 1 when one is not, 2 on a failure of the comparison itself.
set -euo pipefail
shopt -s inherit_errexit nullglob
export LC_ALL=C
cd "$(dirname "$0")/.."
runs=${1:-5}
if ! [[ $runs =~ ^[0-9]+$ ]] || ((runs < 5)); then
    echo "usage: bench/compare.sh [runs, at least 5]" >&2
    exit 2
fi
build=build/bench

need=()
for p in p7zip-full rhash time libbenchmark-dev qt6-base-dev; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || need+=("$p")
done
if ((${#need[@]})); then
    sudo_() { if [[ $(id -u) -eq 0 ]]; then "$@"; else sudo "$@"; fi; }
    sudo_ apt-get update -qq
    sudo_ env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${need[@]}" >/dev/null
fi

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DDODIVEVERAZED_BENCH=ON -DDODIVEVERAZED_TESTS=OFF \
    -DDODIVEVERAZED_GUI=ON >/dev/null
cmake --build "$build" -j "$(nproc)" --target bench_driver crc_kernels bench_window >/dev/null
driver=$build/bench/bench_driver

work=$(mktemp -d "${BENCH_DIR:-/var/tmp}/dodiveverazed-bench.XXXXXX")
trap 'rm -rf -- "$work"' EXIT
src=$work/source.bin
mkdir "$work/peer" "$work/ours"
head -c 1073741824 /dev/urandom >"$src"

echo "CPU: $(lscpu | sed -n 's/^Model name: *//p'), $(nproc) cores; load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "median of $runs runs each, ours and peer alternating; 1 GiB source in the page cache"

unmet=0
verdict() { # value limit [max|min]
    if awk -v v="$1" -v l="$2" -v m="${3:-max}" 'BEGIN { exit !(m == "max" ? v <= l : v >= l) }'; then
        echo met
    else
        echo "NOT met"
    fi
}
count() { [[ $1 == met ]] || unmet=$((unmet + 1)); }

# Wall time of one command in seconds, measured by the shell itself (no extra process inside the
# interval). A failing command ends the comparison: its time would mean nothing.
seconds() {
    local t0 t1 status=0
    t0=$EPOCHREALTIME
    "$@" >/dev/null 2>"$work/stderr" || status=$?
    t1=$EPOCHREALTIME
    if ((status != 0)); then
        echo "failed with status $status: $*" >&2
        cat "$work/stderr" >&2
        exit 2
    fi
    awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.6f\n", b - a }'
}
median() { sort -g | awk '{ a[NR] = $1 } END { printf "%.6f", (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2 }'; }

# Runs the pair alternately, each time after its preparation (not timed) and with the source in the
# page cache; who goes first changes from round to round. Prints "median_ours median_peer".
pair() { # ours peer   (functions; prepare_ours/prepare_peer run before each)
    local a=() b=() i
    for ((i = 0; i < runs; i++)); do
        cat "$src" >/dev/null
        if ((i % 2 == 0)); then
            prepare_ours && a+=("$($1)")
            prepare_peer && b+=("$($2)")
        else
            prepare_peer && b+=("$($2)")
            prepare_ours && a+=("$($1)")
        fi
    done
    echo "$(printf '%s\n' "${a[@]}" | median) $(printf '%s\n' "${b[@]}" | median)"
}
report() { # name ours peer limit peer-name
    local ratio v
    ratio=$(awk -v o="$2" -v p="$3" 'BEGIN { printf "%.4f", o / p }')
    v=$(verdict "$ratio" "$4")
    count "$v"
    printf '%-42s ours %7.3f s  %-6s %7.3f s  ratio %.2f (limit %.2f)  %s\n' "$1" "$2" "$5" "$3" "$ratio" "$4" "$v"
}

# 1. File checksum, whole process against whole process.
ours=$("$driver" crc "$src")
theirs=$(rhash --printf='%C' --crc32 "$src")
[[ ${ours^^} == "${theirs^^}" ]] || { echo "CRC differs: ours $ours, rhash $theirs" >&2; exit 2; }
prepare_ours() { :; }
prepare_peer() { :; }
ours_crc() { seconds "$driver" crc "$src"; }
peer_7z() { seconds 7z h -scrcCRC32 "$src"; }
peer_rhash() { seconds rhash --crc32 "$src"; }
result=$(pair ours_crc peer_7z)
read -r o p <<<"$result"
report "1. file checksum vs 7z h -scrcCRC32" "$o" "$p" 0.5 "7z"
result=$(pair ours_crc peer_rhash)
read -r o p <<<"$result"
report "1. file checksum vs rhash --crc32" "$o" "$p" 0.5 "rhash"

# 1. The kernels alone: medians of the benchmark's repetitions, in 10^9 bytes per second.
"$build/bench/crc_kernels" --benchmark_filter='^crc32/(slice16|pclmul|vpclmul)/(1048576|67108864)$' \
    --benchmark_repetitions="$runs" --benchmark_report_aggregates_only=true --benchmark_format=csv \
    2>/dev/null | awk -F, '$1 ~ /_median"?$/ { gsub(/"/, "", $1); split($1, n, "/"); printf "%s %s %.2f\n", n[2], n[3] + 0, $6 / 1e9 }' \
    >"$work/kernels"
kernel_line() { # label limit kernel...
    local label=$1 limit=$2 best="" mib1 mib64 k v
    shift 2
    for k in "$@"; do
        v=$(awk -v k="$k" '$1 == k && $2 == 67108864 { print $3 }' "$work/kernels")
        if [[ -n $v ]] && { [[ -z $best ]] || awk -v a="$v" -v b="$mib64" 'BEGIN { exit !(a > b) }'; }; then
            best=$k mib64=$v
            mib1=$(awk -v k="$k" '$1 == k && $2 == 1048576 { print $3 }' "$work/kernels")
        fi
    done
    if [[ -z $best ]]; then
        printf '%-42s not available on this CPU\n' "$label"
        return
    fi
    local worst v1
    worst=$(awk -v a="$mib1" -v b="$mib64" 'BEGIN { print (a < b) ? a : b }')
    v1=$(verdict "$worst" "$limit" min)
    count "$v1"
    printf '%-42s %-8s 1 MiB %6.2f GB/s  64 MiB %6.2f GB/s  (limit %.1f GB/s)  %s\n' "$label" "$best" "$mib1" \
        "$mib64" "$limit" "$v1"
}
kernel_line "1. CRC kernel with carry-less multiply" 8 pclmul vpclmul
kernel_line "1. CRC kernel, portable" 1.8 slice16

# 2. Split into 739 fragments of 1420 kB, beside the source as the program writes them.
prepare_ours() { rm -f "$work"/source.bin._*; sync; }
prepare_peer() { rm -f "$work"/peer/x*; sync; }
ours_split() { seconds "$driver" split "$src" 1420; }
peer_split() { seconds split -b 1420k -a 3 -d "$src" "$work/peer/x"; }
result=$(pair ours_split peer_split)
read -r o p <<<"$result"
frags=("$work"/source.bin._*)
peers=("$work"/peer/x*)
((${#frags[@]} == 739 && ${#peers[@]} == 739)) || {
    echo "split gave ${#frags[@]} fragments, split(1) ${#peers[@]}; expected 739" >&2
    exit 2
}
report "2. split 1420 kB (739 fragments) vs split" "$o" "$p" 1.0 "split"

# 3. Join of those fragments.
prepare_ours() { rm -f "$work/ours/joined"; sync; }
prepare_peer() { rm -f "$work/peer/joined"; sync; }
ours_join() { seconds "$driver" join "$work/ours/joined" "${frags[@]}"; }
cat_fragments() { cat "${frags[@]}" >"$work/peer/joined"; }
peer_join() { seconds cat_fragments; }
result=$(pair ours_join peer_join)
read -r o p <<<"$result"
cmp -s "$src" "$work/ours/joined" || { echo "joined file differs from the source" >&2; exit 2; }
report "3. join of ${#frags[@]} fragments vs cat" "$o" "$p" 1.0 "cat"
rm -f "$work"/source.bin._* "$work"/peer/* "$work"/ours/*

# 4. Peak resident memory of a split into one fragment of 2,000,000 kB: the largest of the runs.
peak=0
for ((i = 0; i < runs; i++)); do
    rm -f "$work"/source.bin._*
    rss=$(/usr/bin/time -f %M "$driver" split "$src" 2000000 2>&1 >/dev/null | tail -n 1)
    ((rss > peak)) && peak=$rss
done
cmp -s "$src" "$work/source.bin._001" || { echo "the one fragment differs from the source" >&2; exit 2; }
rm -f "$work"/source.bin._*
v=$(verdict "$peak" 65536)
count "$v"
printf '%-42s peak RSS %d KiB (limit 65536 KiB)  %s\n' "4. split with 2,000,000 kB fragments" "$peak" "$v"

# 5. The window's own cost per fragment, on the offscreen platform.
mkdir -m 700 "$work/xdg"
line=$(XDG_RUNTIME_DIR=$work/xdg QT_QPA_PLATFORM=offscreen "$build/bench/bench_window" "$runs")
echo "$line"
[[ $line == *" met" && $line != *"NOT met" ]] || unmet=$((unmet + 1))

echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
if ((unmet)); then
    echo "$unmet target(s) NOT met"
    exit 1
fi
echo "all targets met"
