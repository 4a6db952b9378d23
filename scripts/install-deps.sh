#!/usr/bin/env bash
# Installs the Debian packages the build needs when any is missing.
# Usage: install-deps.sh [--with-tests] [--with-bench]   (the tests' tools; bench/compare.sh's peers and X server)
set -euo pipefail

# librsvg2-bin draws the icons from their SVG; file lets cpack find the binaries' libraries.
packages=(build-essential cmake ninja-build qt6-base-dev qt6-translations-l10n libgl-dev fonts-liberation fontconfig librsvg2-bin file)
with_tests=0
for option in "$@"; do
    case $option in
        --with-tests) with_tests=1 ;;
        --with-bench) packages+=(p7zip-full rhash time libbenchmark-dev xvfb xauth btrfs-progs xfsprogs) ;;
        *)
            echo "usage: install-deps.sh [--with-tests] [--with-bench]" >&2
            exit 2
            ;;
    esac
done
if ((with_tests)); then
    # The Windows cross build: MinGW-w64 (posix threads), GoogleTest from googletest's sources, Wine;
    # cksfv checks the checksum files a split writes, par2 the recovery files; shellcheck is the scripts' gate; lld links the test
    # trees of ./test.sh in half the time; btrfs-progs and xfsprogs make the file systems that share blocks
    # (scripts/cow-tests.sh, bench/compare.sh).
    packages+=(googletest libgtest-dev libbenchmark-dev wine wine64 locales clang-format-14 clang-tidy-14 shellcheck
        lintian desktop-file-utils appstream gcc-mingw-w64-x86-64-posix g++-mingw-w64-x86-64-posix cksfv par2 lld
        btrfs-progs xfsprogs)
fi

as_root() {
    if [[ $(id -u) -eq 0 ]]; then "$@"; else sudo "$@"; fi
}

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    as_root apt-get update -qq
    # With the recommended packages, as on the machines the project is tested on.
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}"
fi

# The join-script tests run Windows' command interpreter in a German locale (code page 850).
if ((with_tests)) && ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
    as_root sed -i 's/^# *de_DE.UTF-8 UTF-8/de_DE.UTF-8 UTF-8/' /etc/locale.gen
    grep -q '^de_DE.UTF-8 UTF-8' /etc/locale.gen || echo 'de_DE.UTF-8 UTF-8' | as_root tee -a /etc/locale.gen >/dev/null
    as_root locale-gen >/dev/null
fi
