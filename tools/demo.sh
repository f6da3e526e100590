#!/usr/bin/env bash
# Set up, build, and convert a bundled example map.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$root/tools/setup.sh"
BUILD_DIR="$root/build" "$root/tools/build.sh"
echo "build done: $root/build/bin/brisel42_x9"
