#!/usr/bin/env bash
# Sets up, builds and runs the download benchmark: kvtransfer beside curl,
# a 1 GiB file from nginx on loopback to the same disk. Arguments go to
# build/bin/kv_transfer_throughput (--size BYTES, --runs N, --dir DIR,
# --resumable, --stdout; the served file stays in DIR/served).
# KV_BUILD_DIR names a configured build with benchmarks to use instead of
# the default preset's build/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
targets=(--target kv_transfer_throughput --target kvtransfer_command)
if [[ -n "${KV_BUILD_DIR:-}" ]]; then
  cmake --build "$KV_BUILD_DIR" -j2 "${targets[@]}"
else
  KV_BUILD_DIR=build
  scripts/build.sh default "${targets[@]}"
fi
"$KV_BUILD_DIR/bin/kv_transfer_throughput" "$@"
