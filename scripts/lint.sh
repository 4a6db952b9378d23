#!/usr/bin/env bash
# The format and lint gates: clang-format 14 on every C++ file of the repository, clang-tidy 14 on
# src/ with the committed .clang-tidy. Usage: lint.sh BUILD_DIR (a build with compile_commands.json).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:?usage: lint.sh BUILD_DIR}

mapfile -t sources < <(git ls-files '*.cpp' '*.hpp' '*.h')
echo "clang-format: ${#sources[@]} files"
clang-format-14 --dry-run -Werror "${sources[@]}"

echo "clang-tidy: src/"
run-clang-tidy-14 -quiet -clang-tidy-binary clang-tidy-14 -p "$build" -j "$(nproc)" "$PWD/src/" >"$build/clang-tidy.log" 2>&1 ||
    { sed 's/\x1b\[[0-9;]*m//g' "$build/clang-tidy.log" | grep -E "(warning|error):" | sort -u; echo "clang-tidy found the above" >&2; exit 1; }
