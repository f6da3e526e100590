#!/usr/bin/env bash
# Set up, build and run every test; then build everything again with AddressSanitizer
# and UndefinedBehaviorSanitizer and run every test once more (the GL driver's own
# memory is suppressed in tests/support/sanitizer/gl_driver.supp); then replay the
# fuzzers' inputs and fuzz each harness for a short while.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
jobs="$(nproc)"
"$root/tools/setup.sh"

echo "== build (Release) =="
BUILD_DIR="$root/build" "$root/tools/build.sh"
echo "== tests =="
ctest --test-dir "$root/build" -j"$jobs" --output-on-failure

echo "== sanitizer build and tests (every module) =="
BUILD_DIR="$root/build-sanitize" BUILD_TYPE=Debug "$root/tools/build.sh" \
  -DRUNTIME_SANITIZE=ON -DRUNTIME_BUILD_BENCHMARKS=OFF -DRUNTIME_TEST_MODULES=
ASAN_OPTIONS=detect_leaks=1 ctest --test-dir "$root/build-sanitize" -j"$jobs" --output-on-failure

"$root/tools/fuzz.sh"
