#!/usr/bin/env bash
# Sets up, builds and tries kvtransfer against the project's test server on a
# copy of examples/machines/default: a document, a file, a post, a failure,
# and a resumable download with its access-log record.
set -euo pipefail
cd "$(dirname "$0")/.."
# KV_BIN_DIR names the programs of a build of one's own, used as they are.
if [ -z "${KV_BIN_DIR:-}" ]; then
  scripts/setup.sh
  scripts/build.sh default --target kvtransfer_command --target kv_http_test_server
fi
bin=$(cd "${KV_BIN_DIR:-build/bin}" && pwd)

work=$(mktemp -d)
cp -r examples/machines/default "$work/machine"
export KV_MACHINE="$work/machine"
mkdir "$work/www"
printf '<resource id="301"/>\n' >"$work/www/resource.xml"
"$bin"/kv_http_test_server --root "$work/www" >"$work/server.txt" &
server=$!
trap 'kill $server 2>/dev/null; wait $server 2>/dev/null; rm -rf "$work"' EXIT
for _ in $(seq 50); do grep -q '^http ' "$work/server.txt" && break; sleep 0.1; done
base="http://127.0.0.1:$(awk '/^http /{print $2}' "$work/server.txt")"

# (The agent's start-up prints its network adapters; they are left out here.)
# A step that fails stops the script with kvtransfer's exit status; one
# expected to fail says so with its status first.
run() {
  echo "\$ kvtransfer $*"
  local status=0
  "$bin"/kvtransfer "$@" 2>"$work/err" || status=$?
  grep -av '^[0-9]' "$work/err" || true
  echo
  return "$status"
}
fails() {
  local expected=$1 status=0
  shift
  run "$@" || status=$?
  if [ "$status" != "$expected" ]; then
    echo "expected exit status $expected, got $status" >&2
    exit 1
  fi
}
run get "$base/resource.xml"
run download "$base/bytes/5000000" 'C:\Downloads\file.bin'
ls -l "$KV_MACHINE/drive_c/Downloads/file.bin"
echo 'hello, server' >"$work/note.txt"
run post "$base/echo" "$work/note.txt"
# Paths of this computer, relative to the working directory, and the body on standard output.
(cd "$work" && "$bin/kvtransfer" -q download "$base/bytes/1000" hello.bin) && ls -l "$work/hello.bin"
"$bin"/kvtransfer -q download "$base/bytes/1000" - | cmp - "$work/hello.bin" && echo "standard output: the same bytes"
fails 8 get "$base/bytes/100?fault=close&at=50"

# DownloadMode 1: the download goes through a partial file and ends with a
# record in the access log.
printf '\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Tarnwick\\Kelvane\\KVAgent\\Settings]\n"DownloadMode"=dword:00000001\n' \
  >>"$KV_MACHINE/registry.reg"
run download "$base/bytes/3000000" 'C:\Downloads\resumed.bin'
cat "$KV_MACHINE/drive_c/Program Files (x86)/Tarnwick/Kelvane/KVAgent/logs/downloadSuccessAccess.log"
echo
