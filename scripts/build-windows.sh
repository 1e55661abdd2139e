#!/usr/bin/env bash
# Sets up and cross-builds the Windows programs with MinGW-w64: the shipped
# 32-bit build in build-windows-i686/bin/ (kvprereqhandler.exe) and the
# 64-bit one in build-windows-x86_64/bin/. "i686" or "x86_64" builds one.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-windows.sh
for processor in ${1:-i686 x86_64}; do
  scripts/build.sh "windows-$processor"
done
