#!/usr/bin/env bash
# Builds the fuzzing harnesses with clang into build-fuzz/ (or $VANTREL_FUZZ_BUILD_DIR) and runs
# them.
#   scripts/fuzz.sh SECONDS [HARNESS...]
# SECONDS of fuzzing per harness (all harnesses unless some are named, e.g. "request unzip").
# With 0, each harness only runs every input of its seed corpus once, as the tests do.
# Fuzzing starts from fuzz/corpus/<harness>/ and keeps what it learns in
# <build>/corpus/<harness>/; crashing inputs land in <build>/findings/<harness>/. To keep a few
# new inputs, minimise them into the seed corpus:
#   build-fuzz/fuzz_<harness> -merge=1 fuzz/corpus/<harness> build-fuzz/corpus/<harness>
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:?usage: scripts/fuzz.sh SECONDS [HARNESS...]}
shift
build_dir=${VANTREL_FUZZ_BUILD_DIR:-build-fuzz}
all=(request reply dataheader resumecache partialrecord autoreceiverules handoff settings hosttext unzip storedentry unzipstreaming)
harnesses=("${@:-${all[@]}}")

cmake -S . -B "$build_dir" -G Ninja -DVANTREL_FUZZ=ON \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
targets=()
for h in "${harnesses[@]}"; do targets+=("fuzz_$h"); done
cmake --build "$build_dir" -j"$(nproc)" --target "${targets[@]}"

# Scratch files on a memory file system where there is one: saved lists are synced to disk.
if [ -z "${TMPDIR:-}" ] && [ -d /dev/shm ] && [ -w /dev/shm ]; then export TMPDIR=/dev/shm; fi
# One process per harness (the machine is shared). Leaks are reported by the address
# sanitizer; a harness that fails stops its own run, and the script fails at the end.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
failed=0
for h in "${harnesses[@]}"; do
  seeds=fuzz/corpus/$h
  if [ "$seconds" -eq 0 ]; then
    if ! "$build_dir/fuzz_$h" "$seeds"/* >"$build_dir/fuzz_$h.log" 2>&1; then
      echo "fuzz_$h: FAILED on its corpus (see $build_dir/fuzz_$h.log)"
      tail -n 30 "$build_dir/fuzz_$h.log"
      failed=1
    else
      echo "fuzz_$h: $(find "$seeds" -type f | wc -l) corpus inputs passed"
    fi
    continue
  fi
  work=$build_dir/corpus/$h
  findings=$build_dir/findings/$h
  mkdir -p "$work" "$findings"
  echo "fuzz_$h: fuzzing for ${seconds}s"
  if ! "$build_dir/fuzz_$h" -max_total_time="$seconds" -print_final_stats=1 \
      -artifact_prefix="$findings/" "$work" "$seeds" >"$build_dir/fuzz_$h.log" 2>&1; then
    echo "fuzz_$h: found a failure (see $build_dir/fuzz_$h.log and $findings/)"
    failed=1
  fi
  grep -E '^stat::(number_of_executed_units|peak_rss_mb|new_units_added)' "$build_dir/fuzz_$h.log" ||
    true
done
exit "$failed"
