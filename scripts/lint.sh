#!/usr/bin/env bash
# The gates on the sources themselves.
#   lint.sh --format      clang-format 14 on every C++ file of the repository, shellcheck on every
#                         shell script (a file whose first line runs bash or sh, or names its shell
#                         for shellcheck, as the completion does)
#   lint.sh --tidy BUILD  clang-tidy 14 on src/ with the committed .clang-tidy, from BUILD's
#                         compile_commands.json (a configured tree is enough: nothing in src/
#                         includes a generated file other than the configured project.hpp; a unity
#                         tree is checked one generated unit per library)
#   lint.sh BUILD         both
set -euo pipefail
cd "$(dirname "$0")/.."
format=0 tidy=0 build=
case "${1:-}" in
    --format) format=1 ;;
    --tidy) tidy=1 build=${2:-} ;;
    *) format=1 tidy=1 build=${1:-} ;;
esac
[[ $tidy -eq 0 || -f $build/compile_commands.json ]] || { echo "usage: lint.sh [--format | --tidy] BUILD_DIR (a configured tree)" >&2; exit 2; }

if ((format)); then
    mapfile -t sources < <(git ls-files '*.cpp' '*.hpp' '*.h')
    echo "clang-format: ${#sources[@]} files"
    clang-format-14 --dry-run -Werror "${sources[@]}"

    scripts=()
    while IFS= read -r file; do
        [[ -f $file ]] && head -n1 "$file" | grep -Eq '^#!.*\b(ba)?sh\b|^# shellcheck shell=' && scripts+=("$file")
    done < <(git ls-files)
    echo "shellcheck: ${#scripts[@]} scripts"
    shellcheck "${scripts[@]}"
fi

if ((tidy)); then
    # The units of src/: its files in the database, or in a unity build the generated units that
    # include only files of src/ (Qt's headers are then parsed once per library, not once per file).
    units=() checked=0
    while IFS= read -r unit; do
        if [[ $unit == "$PWD/src/"* ]]; then
            units+=("$unit") checked=$((checked + 1))
        elif [[ $unit == */Unity/unity_* ]] && ! grep '^#include' "$unit" | grep -qv "\"$PWD/src/"; then
            units+=("$unit") checked=$((checked + $(grep -c '^#include' "$unit")))
        fi
    done < <(grep -o '"file": "[^"]*"' "$build/compile_commands.json" | cut -d'"' -f4)
    ((checked > 0)) || { echo "clang-tidy: $build lists no file of src/" >&2; exit 1; }
    echo "clang-tidy: src/ ($checked files in ${#units[@]} units)"
    # A unity unit includes .cpp files by design; the configuration is the repository's wherever the tree is.
    run-clang-tidy-14 -quiet -clang-tidy-binary clang-tidy-14 -p "$build" -j "$(nproc)" \
        -config="$(cat .clang-tidy)" -checks=-bugprone-suspicious-include "${units[@]/#/^}" >"$build/clang-tidy.log" 2>&1 ||
        { sed 's/\x1b\[[0-9;]*m//g' "$build/clang-tidy.log" | grep -E "(warning|error):" | sort -u; echo "clang-tidy found the above" >&2; exit 1; }
fi
