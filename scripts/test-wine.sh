#!/usr/bin/env bash
# The Windows builds under Wine: the tests of the operating-system seam of
# each build this machine can execute (WinHTTP against the project's test
# server among them), each in a Wine prefix of its own, then
# the checker's and kvtransfer's scenario tests against Wine's registry, file
# system and processes, with the shipped (32-bit) build where it runs and the
# 64-bit build where this machine cannot execute 32-bit programs. Tests of
# facilities Wine lacks are skipped with the reason. Both builds are checked
# as files whatever runs: processor and embedded manifest.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build-windows.sh
source scripts/wine-loaders.sh
kv_wine_probe

# Whether the file holds every line of the manifest: windres embeds it as it is.
manifest_embedded() {
  local program=$1 manifest=$2 line
  while IFS= read -r line; do
    [[ -n "${line//[[:space:]]/}" ]] || continue
    LC_ALL=C grep -qaF -- "$line" "$program" || return 1
  done <"$manifest"
}

check_program() {
  local processor=$1 machine=$2 program="build-windows-$1/bin/kvprereqhandler.exe"
  local found
  found=$(kv_pe_machine "$program")
  if [[ "$found" != "$machine" ]]; then
    echo "test-wine: $program is not a PE program for $machine (found: ${found:-not a PE program})" >&2
    return 1
  fi
  if ! manifest_embedded "$program" prereq/kvprereqhandler.manifest; then
    echo "test-wine: $program does not carry prereq/kvprereqhandler.manifest" >&2
    return 1
  fi
  echo "test-wine: $program: PE for $machine, manifest embedded"
}
check_program i686 i386
check_program x86_64 x86_64

# The project's test server, for the seam's HTTP tests of the Windows builds
# (WinHTTP): started here, its ports handed over in the environment.
scripts/build.sh default --target kv_http_test_server --target kv_scenario_tests
server_output=$(mktemp)
build/bin/kv_http_test_server --proxy >"$server_output" &
server=$!
trap 'kill "$server" 2>/dev/null || true; rm -f "$server_output"' EXIT
for _ in $(seq 100); do grep -q '^proxy ' "$server_output" && break; sleep 0.1; done
KV_TEST_HTTP_PORT=$(awk '$1 == "http" {print $2}' "$server_output")
KV_TEST_HTTP_PROXY_PORT=$(awk '$1 == "proxy" {print $2}' "$server_output")
export KV_TEST_HTTP_PORT KV_TEST_HTTP_PROXY_PORT

ctest --preset windows-x86_64
if [[ -n "$KV_WINE32" ]]; then
  ctest --preset windows-i686
  scenario_build=i686
else
  echo "test-wine: 32-bit tests skipped: $KV_WINE32_WHY; the i686 build's tests do not run, and the scenario tests run with the x86_64 build"
  scenario_build=x86_64
fi
KV_WINE_BIN="$PWD/build-windows-$scenario_build/bin" build/bin/kv_scenario_tests
