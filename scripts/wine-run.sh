#!/usr/bin/env bash
# Runs a Windows program under Wine in a Wine prefix of its own, made in a
# temporary directory and removed afterwards; answers with its exit status.
# The Windows builds' tests run through it (CMAKE_CROSSCOMPILING_EMULATOR).
set -euo pipefail
prefix=$(mktemp -d "${TMPDIR:-/tmp}/kvwine-XXXXXX")
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY=
cleanup() {
  wineserver -k 2>/dev/null || true
  rm -rf "$prefix"
}
trap cleanup EXIT
wine wineboot -i >/dev/null 2>&1
status=0
wine "$@" || status=$?
exit "$status"
