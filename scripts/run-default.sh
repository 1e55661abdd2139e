#!/usr/bin/env bash
# Sets up, builds and runs the checker on the default emulated machine, then
# prints its exit code.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh default --target kvprereqhandler
machine="${KV_MACHINE:-$PWD/examples/machines/default}"
set +e
KV_MACHINE="$machine" build/bin/kvprereqhandler "$@"
status=$?
set -e
# The exit status of a Linux process keeps 8 bits; the machine keeps the
# whole Windows exit code.
code=$(cat "$machine/exit-code" 2>/dev/null || echo "$status")
echo "exit code: $code"
