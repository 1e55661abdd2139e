#!/usr/bin/env bash
# Runs cfennel with the given arguments on a machine of its own whose C:\store
# is the example data directory (examples/store): build/store-machine, a copy
# of examples/machines/default made on first use. The store's SQLite database
# (C:\store\data\store.db) and its log (C:\store\logs) stay there from one run
# to the next; --fresh first makes the machine anew. cfennel runs in the
# caller's directory, so that relative paths of this computer mean there.
set -euo pipefail
caller=$PWD
cd "$(dirname "$0")/.."
repo=$PWD
machine=build/store-machine
if [[ ${1:-} == --fresh ]]; then
  rm -rf "$machine"
  shift
fi
[[ -x build/bin/cfennel ]] || scripts/build.sh default --target cfennel >&2
if [[ ! -d $machine ]]; then
  cp -r examples/machines/default "$machine"
  mkdir -p "$machine/drive_c/store"
  cp -r examples/store/. "$machine/drive_c/store/"
fi
cd "$caller"
KV_MACHINE="$repo/$machine" exec "$repo/build/bin/cfennel" "$@"
