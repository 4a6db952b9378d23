#!/usr/bin/env bash
# The gates on the sources themselves.
#   lint.sh --format      clang-format 14 on every C++ file of the repository, shellcheck on every
#                         shell script (a file whose first line runs bash or sh)
#   lint.sh --tidy BUILD  clang-tidy 14 on src/ with the committed .clang-tidy, from BUILD's
#                         compile_commands.json (a configured tree is enough: nothing in src/
#                         includes a generated file other than the configured project.hpp)
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
        [[ -f $file ]] && head -n1 "$file" | grep -Eq '^#!.*\b(ba)?sh\b' && scripts+=("$file")
    done < <(git ls-files)
    echo "shellcheck: ${#scripts[@]} scripts"
    shellcheck "${scripts[@]}"
fi

if ((tidy)); then
    # A tree of one unit per file: a unity build's database names no file of src/ and would pass unchecked.
    checked=$(grep -c "\"file\": \"$PWD/src/" "$build/compile_commands.json" || true)
    ((checked > 0)) || { echo "clang-tidy: $build lists no file of src/ (a unity build?)" >&2; exit 1; }
    echo "clang-tidy: src/ ($checked files)"
    run-clang-tidy-14 -quiet -clang-tidy-binary clang-tidy-14 -p "$build" -j "$(nproc)" "$PWD/src/" >"$build/clang-tidy.log" 2>&1 ||
        { sed 's/\x1b\[[0-9;]*m//g' "$build/clang-tidy.log" | grep -E "(warning|error):" | sort -u; echo "clang-tidy found the above" >&2; exit 1; }
fi
