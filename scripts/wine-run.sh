#!/usr/bin/env bash
# Runs a program of the Windows cross build under Wine: the emulator CTest puts in front of every
# test program there. Usage: wine-run.sh PREFIX PROGRAM.exe [ARGS...]
# PREFIX is the build's own Wine prefix. The first program that needs it sets it up, under a lock so
# that tests started in parallel do not race on it; scripts/windows-tests.sh starts every run with a
# fresh one and ends its wineserver afterwards.
set -euo pipefail
prefix=${1:?usage: wine-run.sh PREFIX PROGRAM [ARGS...]}
shift
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml='
# A German Windows with a UTF-8 host: file names reach the disk as UTF-8 whatever the caller's locale.
export LANG=de_DE.UTF-8 LC_ALL=de_DE.UTF-8

if [[ ! -e $prefix/.ready ]]; then
    mkdir -p "$(dirname "$prefix")"
    exec 9>"$prefix.lock"
    flock 9
    if [[ ! -e $prefix/.ready ]]; then
        wineboot -i >/dev/null 2>&1
        # Files whose names begin with "." count as hidden only on Unix: show them as Windows would.
        wine reg add 'HKCU\Software\Wine' /v ShowDotFiles /d Y /f >/dev/null 2>&1
        touch "$prefix/.ready"
    fi
    exec 9>&-
fi
exec wine "$@"
