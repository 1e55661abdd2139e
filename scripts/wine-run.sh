#!/usr/bin/env bash
# Runs a Windows program under Wine in a Wine prefix of its own, made in a
# temporary directory and removed afterwards; answers with its exit status.
# The Windows builds' tests run through it (CMAKE_CROSSCOMPILING_EMULATOR).
# The loader is the one for the program's processor (scripts/wine-loaders.sh);
# a 32-bit program on a machine that cannot execute 32-bit programs is not
# run, and the answer is 77, which the tests of the Windows builds report as
# skipped.
set -euo pipefail
source "$(dirname "$0")/wine-loaders.sh"
if ! loader=$(kv_wine_loader_for "$1"); then
  exit 77
fi
prefix=$(mktemp -d "${TMPDIR:-/tmp}/kvwine-XXXXXX")
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY=
cleanup() {
  wineserver -k 2>/dev/null || true
  rm -rf "$prefix"
}
trap cleanup EXIT
"$loader" wineboot -i >/dev/null 2>&1
status=0
"$loader" "$@" || status=$?
exit "$status"
