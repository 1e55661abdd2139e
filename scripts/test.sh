#!/usr/bin/env bash
# Sets up, builds and runs every test. "asan" runs them under
# AddressSanitizer and UndefinedBehaviorSanitizer in build-asan/.
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-default}"
scripts/setup.sh
scripts/build.sh "$preset"
ctest --preset "$preset"
