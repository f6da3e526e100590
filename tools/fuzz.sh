#!/usr/bin/env bash
# Builds the libFuzzer programs of fuzz/ with clang, replays every committed corpus and
# regression input, then fuzzes each harness for a while on a scratch copy of its corpus
# (the committed corpus never changes here). Any crash, sanitizer report, leak, input
# slower than 1 s or run above 512 MB fails.
#
# Usage: tools/fuzz.sh [HARNESS...]        (default: every fuzz/*_fuzz.cpp)
#   FUZZ_SECONDS  fuzzing time per harness (default 30; 0 replays only)
#   FUZZ_JOBS     harnesses fuzzed at the same time (default 2)
#   FUZZ_KEEP     a folder that receives each harness's grown corpus and log
#   BUILD_DIR     the clang build folder (default build-fuzz)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${BUILD_DIR:-$root/build-fuzz}"
seconds="${FUZZ_SECONDS:-30}"
parallel="${FUZZ_JOBS:-2}"
limits=(-timeout=1 -rss_limit_mb=512 -close_fd_mask=1)
# Freed blocks AddressSanitizer holds back count towards the 512 MB; keep them small.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}quarantine_size_mb=64"

if (($# > 0)); then
  harnesses=("$@")
else
  harnesses=()
  for src in "$root"/fuzz/*_fuzz.cpp; do
    name="$(basename "$src" .cpp)"
    harnesses+=("${name%_fuzz}")
  done
fi

echo "== fuzzers: build (clang, libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer) =="
# Line tables are all a report needs, and build much faster than full debugging information.
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -gline-tables-only -DNDEBUG" \
  -DRUNTIME_BUILD_FUZZERS=ON -DRUNTIME_BUILD_TESTS=OFF -DRUNTIME_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build "$build" --target fuzzers -j"$(nproc)" >/dev/null

scratch="$(mktemp -d "${TMPDIR:-/tmp}/fuzz-run-XXXXXX")"
failed=()

# The inputs a harness must always pass: its seeds and every fault found before.
committed_inputs() {
  local dirs=()
  for d in "$root/fuzz/corpus/$1" "$root/fuzz/regressions/$1"; do [[ -d "$d" ]] && dirs+=("$d"); done
  ((${#dirs[@]} > 0)) && find "${dirs[@]}" -type f ! -name '.*' | sort
  return 0
}

report_failure() {  # harness, log
  failed+=("$1")
  echo "FAILED: $1 (log: $2)"
  grep -E "ERROR|SUMMARY|broken promise|Test unit written|timeout|out-of-memory" "$2" | head -20 || true
}

echo "== fuzzers: replay corpora and regressions =="
for h in "${harnesses[@]}"; do
  mapfile -t inputs < <(committed_inputs "$h")
  if ((${#inputs[@]} == 0)); then
    echo "FAILED: $h has no seed corpus in fuzz/corpus/$h"
    failed+=("$h")
    continue
  fi
  log="$scratch/$h.replay.log"
  if "$build/bin/${h}_fuzz" "${limits[@]}" "${inputs[@]}" >"$log" 2>&1; then
    echo "$h: ${#inputs[@]} inputs pass"
  else
    report_failure "$h" "$log"
  fi
done

fuzz_one() {  # harness: fuzzes into a scratch corpus, leaves its exit status in a file
  local h="$1" dir="$scratch/$1"
  mkdir -p "$dir/corpus"
  # Inputs that need their size to reach a slow path are replayed, not mutated: libFuzzer
  # would grow every input it makes to the largest one in the corpus.
  local input
  while IFS= read -r input; do
    if (($(stat -c %s "$input") <= 8192)); then cp "$input" "$dir/corpus/"; fi
  done < <(committed_inputs "$h")
  local dict=()
  [[ -f "$root/fuzz/dict/$h.dict" ]] && dict=(-dict="$root/fuzz/dict/$h.dict")
  local status=0
  "$build/bin/${h}_fuzz" "${limits[@]}" "${dict[@]}" -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix="$dir/" "$dir/corpus" >"$dir/log" 2>&1 || status=$?
  echo "$status" >"$dir/status"
}

if ((seconds > 0)); then
  echo "== fuzzers: ${seconds} s each, ${parallel} at a time =="
  for h in "${harnesses[@]}"; do
    while (($(jobs -rp | wc -l) >= parallel)); do wait -n || true; done
    fuzz_one "$h" &
  done
  wait
  for h in "${harnesses[@]}"; do
    dir="$scratch/$h"
    if [[ "$(cat "$dir/status" 2>/dev/null)" != 0 ]]; then
      report_failure "$h" "$dir/log"
      ls "$dir"/crash-* "$dir"/leak-* "$dir"/timeout-* "$dir"/oom-* 2>/dev/null |
        sed "s|^|  input to commit to fuzz/regressions/$h/ with the fix: |" || true
      continue
    fi
    runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$dir/log")"
    rate="$(sed -n 's/^stat::average_exec_per_sec: *//p' "$dir/log")"
    cov="$(grep -oE 'cov: [0-9]+ ft: [0-9]+' "$dir/log" | tail -1)"
    echo "$h: $runs runs, $rate exec/s, $cov, corpus $(ls "$dir/corpus" | wc -l) inputs"
  done
  if [[ -n "${FUZZ_KEEP:-}" ]]; then
    mkdir -p "$FUZZ_KEEP"
    for h in "${harnesses[@]}"; do
      [[ -d "$scratch/$h" ]] && cp -r "$scratch/$h" "$FUZZ_KEEP/"
    done
  fi
fi

if ((${#failed[@]} > 0)); then
  echo "fuzzers failed: ${failed[*]} (logs and inputs kept in $scratch)"
  exit 1
fi
rm -rf "$scratch"
echo "fuzzers: all pass"
