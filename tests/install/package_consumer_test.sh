#!/usr/bin/env bash
# Installs the build into a scratch prefix, builds a small game out of tree against it
# (CMake package, then pkg-config), installs the game beside the converter and runs it
# headless: the game must find the installed data folder from its own bin folder.
# Usage: package_consumer_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build="$1"
source="$2"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
prefix="$scratch/prefix"
export SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy TMPDIR="$scratch"

cmake --install "$build" --prefix "$prefix" >/dev/null
libdir="$(dirname "$(find "$prefix" -name brisel42_runtime.pc)")"

cmake -S "$source/tests/install/consumer" -B "$scratch/game" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_INSTALL_PREFIX="$prefix" >/dev/null
cmake --build "$scratch/game" >/dev/null
cmake --install "$scratch/game" >/dev/null

# shellcheck disable=SC2046
g++ -O1 -o "$prefix/bin/pkg_config_game" "$source/tests/install/consumer/installed_game.cpp" \
  $(PKG_CONFIG_PATH="$libdir" pkg-config --cflags --libs brisel42_runtime)

expected="logo 1 320x90 font 8x16 tile 4c9440 text 1"
for game in installed_game pkg_config_game; do
  mkdir -p "$scratch/run-$game"
  output="$(cd "$scratch/run-$game" && "$prefix/bin/$game")"
  echo "$game: $output"
  grep -qx "$expected" <<<"$output" || { echo "$game: expected '$expected'" >&2; exit 1; }
done
