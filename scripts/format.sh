#!/usr/bin/env bash
# Applies .clang-format to every C++ source and header of the project (--check: only reports
# the files that differ, and fails when there are any).
set -euo pipefail
cd "$(dirname "$0")/.."
formatter=$(command -v clang-format-14 || command -v clang-format)
mapfile -t files < <(git ls-files -- '*.cpp' '*.h' | grep -E '^(msgfw|guifw|server|shared|src|tests|bench|fuzz)/')
if [ "${1:-}" = "--check" ]; then
    "$formatter" --dry-run --Werror "${files[@]}"
else
    "$formatter" -i "${files[@]}"
fi
