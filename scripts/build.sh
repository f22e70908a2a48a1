#!/usr/bin/env bash
# Configures and builds one variant into build/<variant>.
#   scripts/build.sh release    warnings as errors
#   scripts/build.sh sanitize   AddressSanitizer + UndefinedBehaviorSanitizer, warnings as errors
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
variant=${1:-release}
shift || true
case "$variant" in
  release)  flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DMVSEARCH_WERROR=ON) ;;
  sanitize) flags=(-DCMAKE_BUILD_TYPE=Debug -DMVSEARCH_WERROR=ON -DMVSEARCH_SANITIZE=ON -DMVSEARCH_BUILD_BENCH=OFF) ;;
  *) echo "unknown variant: $variant" >&2; exit 2 ;;
esac
cmake -S "$root" -B "$root/build/$variant" -G Ninja "${flags[@]}" "$@" >/dev/null
cmake --build "$root/build/$variant" -j "$(nproc)"
