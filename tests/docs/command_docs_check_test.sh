#!/usr/bin/env bash
# The command-reference check on a copy of the tree: it passes as the tree is, and fails
# for a command added to a header without a row, for a row whose command is gone, for a
# row whose argument count no declaration takes, and for a cheatsheet line that differs
# from its declaration or a public command on neither the cheatsheet nor the internals page.
# Usage: command_docs_check_test.sh SOURCE_DIR
set -euo pipefail
source="$1"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
check="$source/tools/check_command_docs.py"

fresh_copy() {
  rm -rf "$scratch/tree"
  mkdir -p "$scratch/tree/docs"
  cp -r "$source/runtime" "$scratch/tree/"
  cp -r "$source/docs/commands" "$source/docs/cheatsheet.md" "$source/docs/engine_internals.md" "$scratch/tree/docs/"
}
expect() {  # expect pass|fail WHAT
  local status=0
  output="$(python3 "$check" "$scratch/tree")" || status=$?
  if [[ "$1" == pass && $status -ne 0 ]] || [[ "$1" == fail && $status -eq 0 ]]; then
    echo "FAIL: expected the check to $1 for: $2"
    echo "$output"
    exit 1
  fi
  echo "ok: $2 -> $(tail -1 <<<"$output")"
}

fresh_copy
expect pass "the tree as it is"

fresh_copy
sed -i 's|^void stop_all_sounds();|void stop_all_sounds();\ndouble sound_volume(double slot);|' "$scratch/tree/runtime/sound/sound_commands.h"
expect fail "a command declared without a row"

fresh_copy
sed -i 's|^void stop_all_sounds();||' "$scratch/tree/runtime/sound/sound_commands.h"
expect fail "a row for a command no header declares"

fresh_copy
sed -i 's|^double play_sound(double slot, double pan, double volume);|double play_sound(double slot, double pan, double volume, double pitch);|' \
  "$scratch/tree/runtime/sound/sound_commands.h"
expect fail "a row whose argument count no declaration takes"

fresh_copy
sed -i 's/| `stop_all_sounds()` | stops every copy of slots 0..127 | — |/| `stop_all_sounds()` | stops every copy of slots 0..127 | |/' "$scratch/tree/docs/commands/sound.md"
expect fail "a row without a failure result"

fresh_copy
sed -i 's|^- `double play_sound(double slot, double pan, double volume)`|- `double play_sound(double slot, double pan, int volume)`|' "$scratch/tree/docs/cheatsheet.md"
expect fail "a cheatsheet line whose types differ from the declaration"

fresh_copy
sed -i '/^- `void stop_all_sounds()`/d' "$scratch/tree/docs/cheatsheet.md"
expect fail "a public command on neither the cheatsheet nor the internals page"

fresh_copy
sed -i 's|`typed_byte`|`typed_byte` `stop_all_sounds`|' "$scratch/tree/docs/engine_internals.md"
expect fail "a command both on the cheatsheet and on the internals page"
