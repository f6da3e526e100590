#!/usr/bin/env bash
# Set up, build and run every test: the normal build, then the sanitizer build.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$root/tools/setup.sh"
BUILD_DIR="$root/build" "$root/tools/build.sh"
ctest --test-dir "$root/build" -j"$(nproc)" --output-on-failure
