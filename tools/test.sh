#!/usr/bin/env bash
# Everything CI checks, in stages that print their name and time:
#   format    - lines changed since .ci/format-base follow .clang-format (tools/check_format.sh)
#   release   - Release build with warnings as errors, then every test
#   thread    - ThreadSanitizer build of the net and sound tests only, and their run
#   sanitizer - AddressSanitizer and UndefinedBehaviorSanitizer build, every test once more
#               (the GL driver's own memory is suppressed in tests/support/sanitizer/gl_driver.supp)
#   fuzz      - the fuzzers' inputs replayed, then each harness fuzzed for a short while
#               (FUZZ_SECONDS, 5 here; longer runs: tools/fuzz.sh)
# Each stage prints its time, so the cost of every stage shows in the CI log.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
jobs="$(nproc)"
started=$SECONDS
stage_start=$SECONDS
# Sanitizer reports need file and line only: line tables build in far less time than
# full debugging information.
lines_only=-g1
stage() {
  echo "== stage $1 (after $((SECONDS - started)) s; last stage took $((SECONDS - stage_start)) s) =="
  stage_start=$SECONDS
}

stage setup
"$root/tools/setup.sh"

stage format
"$root/tools/check_format.sh"

stage "release: configure and build (warnings are errors)"
BUILD_DIR="$root/build" "$root/tools/build.sh" -DRUNTIME_WERROR=ON
stage "release: tests"
ctest --test-dir "$root/build" -j"$jobs" --output-on-failure

stage "thread: configure and build the net and sound tests (ThreadSanitizer)"
BUILD_DIR="$root/build-tsan" BUILD_TYPE=RelWithDebInfo BUILD_TARGETS="net_tests net_test_peer sound_tests" \
  "$root/tools/build.sh" -DRUNTIME_SANITIZE_THREAD=ON -DRUNTIME_BUILD_BENCHMARKS=OFF "-DRUNTIME_TEST_MODULES=net;sound" \
  "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=$lines_only -O2 -DNDEBUG"
stage "thread: net and sound tests"
ctest --test-dir "$root/build-tsan" -j"$jobs" --output-on-failure

stage "sanitizer: configure and build (every module)"
BUILD_DIR="$root/build-sanitize" BUILD_TYPE=Debug "$root/tools/build.sh" \
  -DRUNTIME_SANITIZE=ON -DRUNTIME_BUILD_BENCHMARKS=OFF -DRUNTIME_TEST_MODULES= "-DCMAKE_CXX_FLAGS_DEBUG=$lines_only"
stage "sanitizer: tests"
ASAN_OPTIONS=detect_leaks=1 ctest --test-dir "$root/build-sanitize" -j"$jobs" --output-on-failure

stage fuzz
FUZZ_SECONDS="${FUZZ_SECONDS:-5}" "$root/tools/fuzz.sh"
stage "done: all stages passed"
