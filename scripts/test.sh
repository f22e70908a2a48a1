#!/usr/bin/env bash
# The test command: installs what is missing, then builds and runs every test twice,
# once in a normal build and once under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$root/scripts/setup.sh"

# Any sanitizer report ends the process with a failure, so it fails its test.
export ASAN_OPTIONS=abort_on_error=0:halt_on_error=1:detect_leaks=1:exitcode=99
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1:exitcode=99
export LSAN_OPTIONS=suppressions=$root/tests/lsan.supp

for variant in release sanitize; do
  echo "== $variant build"
  "$root/scripts/build.sh" "$variant"
  echo "== $variant tests"
  (cd "$root/build/$variant" && ctest --output-on-failure -j "$(nproc)" --timeout 600)
done
