#!/usr/bin/env bash
# Fails when a C++ line changed since the commit in .ci/format-base is not formatted as
# .clang-format says. Only changed lines are judged (renamed files by their changed lines
# alone), so old code is never reformatted wholesale. Prints the wanted formatting.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
base="$(tr -d '[:space:]' < .ci/format-base)"
formatter="$(command -v clang-format-diff || command -v clang-format-diff-14 || true)"
[[ -n "$formatter" ]] || { echo "check_format: clang-format-diff not found (package clang-format)" >&2; exit 1; }
if ! git cat-file -e "$base^{commit}" 2>/dev/null; then
  # A shallow clone or an exported tree has no base to compare with: nothing to judge.
  echo "check_format: base $base is not in this checkout; skipped"
  exit 0
fi
wanted="$(git diff -M -U0 --no-color "$base" -- '*.cpp' '*.h' | "$formatter" -p1)"
if [[ -n "$wanted" ]]; then
  echo "$wanted"
  echo "check_format: lines changed since $base are not formatted; run: git diff -U0 $base | clang-format-diff -p1 -i" >&2
  exit 1
fi
echo "check_format: every line changed since $base is formatted"
