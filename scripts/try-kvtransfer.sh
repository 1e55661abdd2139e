#!/usr/bin/env bash
# Sets up, builds and tries kvtransfer against the project's test server on a
# copy of examples/machines/default: a document, a file, a post, a failure,
# and a resumable download with its access-log record.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh default --target kvtransfer_command --target kv_http_test_server

work=$(mktemp -d)
cp -r examples/machines/default "$work/machine"
export KV_MACHINE="$work/machine"
mkdir "$work/www"
printf '<resource id="301"/>\n' >"$work/www/resource.xml"
build/bin/kv_http_test_server --root "$work/www" >"$work/server.txt" &
server=$!
trap 'kill $server 2>/dev/null; wait $server 2>/dev/null; rm -rf "$work"' EXIT
for _ in $(seq 50); do grep -q '^http ' "$work/server.txt" && break; sleep 0.1; done
base="http://127.0.0.1:$(awk '/^http /{print $2}' "$work/server.txt")"

# (The agent's start-up prints its network adapters; they are left out here.)
run() { echo "\$ kvtransfer $*"; build/bin/kvtransfer "$@" 2>&1 | grep -av '^[0-9]' || true; echo; }
run get "$base/resource.xml"
run download "$base/bytes/5000000" 'C:\Downloads\file.bin'
ls -l "$KV_MACHINE/drive_c/Downloads/file.bin"
echo 'hello, server' >"$work/note.txt"
run post "$base/echo" "$work/note.txt"
run get "$base/bytes/100?fault=close&at=50"

# DownloadMode 1: the download goes through a partial file and ends with a
# record in the access log.
printf '\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Tarnwick\\Kelvane\\KVAgent\\Settings]\n"DownloadMode"=dword:00000001\n' \
  >>"$KV_MACHINE/registry.reg"
run download "$base/bytes/3000000" 'C:\Downloads\resumed.bin'
cat "$KV_MACHINE/drive_c/Program Files (x86)/Tarnwick/Kelvane/KVAgent/logs/downloadSuccessAccess.log"
echo
