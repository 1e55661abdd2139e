#!/usr/bin/env bash
# Configures and builds one preset ("default" or "asan"): build/ or build-asan/.
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-default}"
shift || true
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" -j2 "$@"
