#!/usr/bin/env bash
# Runs the given test programs again on file systems that share blocks between files (btrfs, and XFS with
# reflink), each on a small loop-mounted image made for the run, so that the clones of the split and the join
# give the same bytes and keep the same rules as the copies; then checks with the console program that a
# split with its checksum file and a verified join take no room for the data they clone.
# Usage: cow-tests.sh CONSOLE_PROGRAM TEST_PROGRAM...   Needs root, loop devices and mkfs.btrfs or mkfs.xfs;
# without them it says why and exits 77 (skipped).
set -euo pipefail
cli=$1
shift
skip() {
    echo "skipped: $*"
    exit 77
}
[[ $(id -u) -eq 0 ]] || skip "needs root to mount a file system image"
work=$(mktemp -d)
chmod 755 "$work"
mounted=()
cleanup() {
    local m
    for m in "${mounted[@]}"; do umount "$m" 2>/dev/null || umount -l "$m" || true; done
    rm -rf -- "$work"
}
trap cleanup EXIT

ran=0
for fs in btrfs xfs; do
    command -v "mkfs.$fs" >/dev/null || { echo "$fs: no mkfs.$fs"; continue; }
    image=$work/$fs.img mnt=$work/$fs
    truncate -s 512M "$image"
    if [[ $fs == btrfs ]]; then mkfs.btrfs -q "$image" >/dev/null; else mkfs.xfs -q -m reflink=1 "$image"; fi ||
        skip "cannot make a $fs file system"
    mkdir "$mnt"
    mount -o loop "$image" "$mnt" || skip "cannot mount a loop device"
    mounted+=("$mnt")
    # The tests' scenes include other users.
    chmod 1777 "$mnt"
    for program in "$@"; do
        TMPDIR=$mnt "$program" --gtest_brief=1 || { echo "$fs: $program failed"; exit 1; }
    done

    # 64 MiB in 45 fragments of 1420 kB: the split and the verified join each add less than 1 % of it.
    head -c 67108864 /dev/urandom >"$mnt/quelle.bin"
    used() { sync && df --output=used -B1 "$mnt" | tail -n 1; }
    before=$(used)
    "$cli" split "$mnt/quelle.bin" >/dev/null
    "$cli" join -o "$mnt/ziel.bin" "$mnt/quelle.bin._001" >/dev/null
    grown=$(($(used) - before))
    cmp "$mnt/quelle.bin" "$mnt/ziel.bin"
    ((grown < 671088)) || { echo "$fs: the split and the join took $grown bytes for 64 MiB of clones"; exit 1; }
    echo "$fs: all passed; the split and the verified join of 64 MiB took $grown bytes"
    ran=$((ran + 1))
done
((ran > 0)) || skip "neither mkfs.btrfs nor mkfs.xfs"
