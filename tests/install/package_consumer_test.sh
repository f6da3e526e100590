#!/usr/bin/env bash
# Installs the build into a scratch prefix and checks its layout; builds a small game out
# of tree against it (CMake package, then pkg-config), installs the game beside the
# converter and runs it headless: the game must find the installed data folder from its own
# bin folder. Then each shipped example, copied out alone, is configured, built and run.
# Usage: package_consumer_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build="$1"
source="$2"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
prefix="$scratch/prefix"
export SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy TMPDIR="$scratch"

fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null

# The layout: headers under include/brisel42 only, and none of the platform layer; the
# libraries in the multiarch folder; a pkg-config file of plain absolute paths.
multiarch="$(gcc -print-multiarch)"
libdir="$prefix/lib/$multiarch/pkgconfig"
[[ -f "$prefix/lib/$multiarch/libbrisel42_runtime_core.a" ]] || fail "libraries not in lib/$multiarch"
[[ -f "$prefix/include/brisel42/runtime/runtime.h" ]] || fail "runtime.h not in include/brisel42/runtime"
[[ ! -e "$prefix/include/runtime" ]] || fail "headers in include/runtime"
[[ -z "$(find "$prefix/include" -path '*/platform/*')" ]] || fail "platform headers installed"
pc="$libdir/brisel42_runtime.pc"
grep -q '\.\.' "$pc" && fail "the pkg-config file has '..' in a path: $(cat "$pc")"
grep -qx "prefix=$prefix" "$pc" || fail "pkg-config prefix is not $prefix"
[[ "$(PKG_CONFIG_PATH="$libdir" pkg-config --variable=includedir brisel42_runtime)" == "$prefix/include/brisel42" ]] ||
  fail "pkg-config includedir"
for doc in brisel42-x9 brisel42-x9-dev; do
  grep -q "^License: Zlib" "$prefix/share/doc/$doc/copyright" || fail "no copyright file for $doc"
done
gzip -t "$prefix/share/man/man1/brisel42_x9.1.gz" || fail "manual page not gzipped"

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

# The shipped examples, each copied out of the package alone: configure, build, run.
examples="$prefix/share/doc/brisel42-x9-dev/examples"
for example in game2d scene3d chat news; do
  cp -r "$examples/$example" "$scratch/$example-source"
  cmake -S "$scratch/$example-source" -B "$scratch/$example-build" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_PREFIX_PATH="$prefix" >/dev/null || fail "$example does not configure alone"
  cmake --build "$scratch/$example-build" >/dev/null || fail "$example does not build alone"
done
for example in game2d scene3d; do
  output="$(cd "$scratch" && "$scratch/$example-build/$example" --demo --frames 20)" || fail "$example stopped"
  echo "$example: $(tail -1 <<<"$output")"
done
