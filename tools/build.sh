#!/usr/bin/env bash
# Configures and builds the project into build/ (Release). Extra arguments go to cmake;
# BUILD_TARGETS names the targets to build (default: all).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-Release}" "$@"
targets=()
for target in ${BUILD_TARGETS:-}; do targets+=(--target "$target"); done
cmake --build "$build" -j"$(nproc)" "${targets[@]}"
