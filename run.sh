#!/usr/bin/env bash
# Installs what is missing, builds a release build and starts the program.
set -euo pipefail
cd "$(dirname "$0")"

if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
    echo "run.sh: no display (neither DISPLAY nor WAYLAND_DISPLAY is set); start it in a desktop session or under xvfb-run." >&2
    exit 1
fi

scripts/install-deps.sh
cmake -S . -B build/run -DCMAKE_BUILD_TYPE=Release -DDODIVEVERAZED_TESTS=OFF >/dev/null
cmake --build build/run -j "$(nproc)"
exec build/run/dodiveverazed
