#!/usr/bin/env bash
# A long run of resumable downloads killed at random: DOWNLOADS downloads
# (default 1000) of a file served slowly by the project's test server, each
# kvtransfer killed (SIGKILL) at a random moment, again and again, until one
# run ends; every file that arrives must be the very bytes of the original.
# Prints how many kills it took and how the files compared.
#
#   bench/long_resume_kills.sh [DOWNLOADS] [SIZE]
#
# A SIZE above the save limit (1 MiB by default) puts kills into the saves
# and the writes of their records, not only into the first piece. KV_BUILD_DIR
# names a configured build to use instead of the default preset's build/.
set -euo pipefail
cd "$(dirname "$0")/.."
downloads="${1:-1000}"
size="${2:-1000000}"
scripts/setup.sh
targets=(--target kvtransfer_command --target kv_http_test_server)
if [[ -n "${KV_BUILD_DIR:-}" ]]; then
  cmake --build "$KV_BUILD_DIR" -j2 "${targets[@]}" >/dev/null
else
  KV_BUILD_DIR=build
  scripts/build.sh default "${targets[@]}" >/dev/null
fi
bin="$KV_BUILD_DIR/bin"
work=$(mktemp -d "${TMPDIR:-/tmp}/kv-resume-kills-XXXXXX")
"$bin/kv_http_test_server" >"$work/server" &
server=$!
trap 'kill "$server" 2>/dev/null || true; rm -rf "$work"' EXIT
for _ in $(seq 100); do grep -q '^http ' "$work/server" && break; sleep 0.1; done
port=$(awk '$1 == "http" {print $2}' "$work/server")
# About a second per whole download: room for kills anywhere in it.
url="http://127.0.0.1:$port/bytes/$size?rate=$size"
curl -s "http://127.0.0.1:$port/bytes/$size" -o "$work/original"

cp -r examples/machines/default "$work/machine"
cat >>"$work/machine/registry.reg" <<'EOF'

[HKEY_LOCAL_MACHINE\SOFTWARE\WOW6432Node\Tarnwick\Kelvane\KVAgent\Settings]
"DownloadMode"=dword:00000001
EOF
export KV_MACHINE="$work/machine"
destination="$work/machine/drive_c/Downloads/file.bin"
mkdir -p "$(dirname "$destination")"

kills=0 same=0 different=0 missing=0 start=$(date +%s)
keep=${KV_KEEP_DIR:-$work}
for ((i = 1; i <= downloads; i++)); do
  rm -f "$destination"
  for ((attempt = 1; ; attempt++)); do
    "$bin/kvtransfer" download "$url" 'C:\Downloads\file.bin' >/dev/null 2>&1 &
    pid=$!
    # A random moment within the download, or none after a few kills.
    if ((attempt <= 4)); then
      moment=$((RANDOM % 1000))
      sleep "$((moment / 1000)).$(printf '%03d' $((moment % 1000)))"
      if kill -9 "$pid" 2>/dev/null; then
        wait "$pid" 2>/dev/null || true
        kills=$((kills + 1))
        continue
      fi
    fi
    result=0
    wait "$pid" || result=$?
    break
  done
  if cmp -s "$destination" "$work/original"; then
    same=$((same + 1))
  elif [[ ! -e "$destination" ]]; then
    missing=$((missing + 1))
    echo "long-resume-kills: download $i: no file (kvtransfer exit $result)" >&2
  else
    different=$((different + 1))
    echo "long-resume-kills: download $i: $(stat -c %s "$destination") bytes, first difference: $(cmp "$destination" "$work/original" 2>&1 | head -1) (kvtransfer exit $result)" >&2
    cp "$destination" "$keep/different-$i.bin"
  fi
  if ((i % 100 == 0)); then echo "long-resume-kills: $i downloads, $kills kills, $(($(date +%s) - start)) s" >&2; fi
done
echo "long-resume-kills: $downloads downloads of $size bytes, $kills of their runs killed, $(($(date +%s) - start)) s"
echo "long-resume-kills: $same files byte for byte the original, $different different, $missing not delivered"
((different == 0 && missing == 0))
