#!/usr/bin/env bash
# Long fuzzing runs of the parsers: builds their fuzz targets (tests/fuzz)
# with clang and libFuzzer, with AddressSanitizer and UndefinedBehaviorSanitizer,
# in build-fuzz/, and runs each for a while. Each target's working corpus
# (build-fuzz/corpus/<target>) starts from the seeds in tests/fuzz/corpus and
# keeps what libFuzzer finds from run to run; a failing input is left as
# build-fuzz/crash-<hash>. CTest runs the same targets briefly, without
# libFuzzer; this script is for developers.
#
# Usage: scripts/fuzz.sh [seconds per target, default 60] [target ...]
#        targets: statusreport image ini descriptor (default: all)
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="$here/build-fuzz"
seconds="${1:-60}"
[ $# -gt 0 ] && shift
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(statusreport image ini descriptor)

sanitize="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
cmake -S "$here" -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DMORVAX_LIBFUZZER=ON -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link $sanitize" \
  -DCMAKE_EXE_LINKER_FLAGS="$sanitize" >/dev/null
cmake --build "$build" -j2 --target "${targets[@]/#/fuzz_}"

for t in "${targets[@]}"; do
  corpus="$build/corpus/$t"
  mkdir -p "$corpus"
  echo "== fuzz_$t for $seconds s"
  (cd "$build" && "$build/tests/fuzz/fuzz_$t" -max_total_time="$seconds" -print_final_stats=1 \
    "$corpus" "$here/tests/fuzz/corpus/$t")
done
