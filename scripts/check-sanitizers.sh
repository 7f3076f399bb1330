#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer
# (g++) in build-asan/ and runs the whole test suite there, fuzz targets
# included. Any report fails the test that caused it. For developers before
# they submit; not part of CI, since the build takes long on a small machine.
#
# Usage: scripts/check-sanitizers.sh [further ctest arguments]
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="$here/build-asan"

sanitize="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS="-O1 $sanitize" \
  -DCMAKE_EXE_LINKER_FLAGS="$sanitize" >/dev/null
cmake --build "$build" -j2

# The emulated-hidraw test preloads its shim ahead of the ASan runtime; the
# shim is built with the same flags, so the order does no harm there.
export ASAN_OPTIONS="detect_leaks=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1:verify_asan_link_order=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
ctest --test-dir "$build" --output-on-failure "$@"
