#!/usr/bin/env bash
# The Windows builds under Wine: the tests of the operating-system seam of
# both builds, each in a Wine prefix of its own, then the checker's scenario
# tests with the shipped (32-bit) build against Wine's registry, file system
# and processes. Tests of facilities Wine lacks are skipped with the reason.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build-windows.sh
for processor in i686 x86_64; do
  ctest --preset "windows-$processor"
done
if ! dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q "install ok installed"; then
  echo "test-wine: scenario tests skipped: 32-bit Wine (wine32) is not installed, and the agent is a 32-bit program"
  exit 0
fi
scripts/build.sh default --target kv_scenario_tests
KV_WINE_BIN="$PWD/build-windows-i686/bin" build/bin/kv_scenario_tests
