#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each for SECONDS (default 60),
# growing the corpus under tests/fuzz/corpus/<target>. Crash inputs land in
# tests/fuzz/crashes/; each one found becomes a regression case.
# FUZZ_SANITIZERS=undefined trades the address sanitizer for about twice the
# executions a second (its own build directory); replay the corpus under
# both afterwards.
# Usage: tests/fuzz/run_fuzzers.sh [SECONDS] [target...]
set -eu
cd "$(dirname "$0")/../.."
seconds=${1:-60}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(fuzz_switches fuzz_data fuzz_records fuzz_run fuzz_numbers)
sanitizers=${FUZZ_SANITIZERS:-address,undefined}
build=build-fuzz
[ "$sanitizers" = address,undefined ] || build=build-fuzz-${sanitizers//,/-}
CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVANTOR_FUZZ=ON \
  -DVANTOR_FUZZ_SANITIZERS="$sanitizers" -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target "${targets[@]}"
mkdir -p tests/fuzz/crashes
for t in "${targets[@]}"; do
  mkdir -p "tests/fuzz/corpus/$t"
  dict=()
  [ -f "tests/fuzz/$t.dict" ] && dict=(-dict="tests/fuzz/$t.dict")
  echo "== $t for ${seconds}s"
  "$build/$t" -max_total_time="$seconds" -max_len=4096 -timeout=10 -rss_limit_mb=4096 -close_fd_mask=3 \
    -artifact_prefix="$PWD/tests/fuzz/crashes/" "${dict[@]}" "tests/fuzz/corpus/$t" 2>&1 |
    grep -E '^#[0-9]+ *DONE|Done [0-9]+ runs|ERROR|SUMMARY|crash-|stat::' || true
done
