#!/usr/bin/env bash
# Sets up, builds and runs the download benchmark: kvtransfer beside curl,
# a 1 GiB file from nginx on loopback to the same disk. Arguments go to
# build/bin/kv_transfer_throughput (--size BYTES, --runs N, --dir DIR,
# --resumable, --stdout; the served file stays in DIR/served).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh default --target kv_transfer_throughput --target kvtransfer_command
build/bin/kv_transfer_throughput "$@"
