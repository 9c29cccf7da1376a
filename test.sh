#!/usr/bin/env bash
# Installs what is missing, builds and runs every test.
#   ./test.sh             the normal build in build/
#   ./test.sh --sanitize  AddressSanitizer + UndefinedBehaviorSanitizer build in build-sanitize/
#   ./test.sh --tsan      ThreadSanitizer build in build-tsan/
# Extra arguments after the option are passed to ctest (for example -R Csv).
set -euo pipefail
cd "$(dirname "$0")"

build=build
flags=()
case "${1:-}" in
  --sanitize) build=build-sanitize; flags=(-DKESTRIUM_SANITIZE=ON); shift ;;
  --tsan) build=build-tsan; flags=(-DKESTRIUM_TSAN=ON); shift ;;
esac

# Test discovery runs test programs during the build; none of them may need a display.
export QT_QPA_PLATFORM=offscreen

./scripts/install-deps
cmake -S . -B "$build" -G Ninja "${flags[@]}"
cmake --build "$build" -j2
cd "$build"
ctest --output-on-failure -j2 --timeout 300 "$@"
