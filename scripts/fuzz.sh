#!/usr/bin/env bash
# Builds the fuzz targets with clang (preset "fuzz", build-fuzz/) and runs
# each in turn for SECONDS (default 600), one job at a time, starting from the
# committed corpus and with the target's dictionary. New inputs go to
# build-fuzz/corpus/<target>/; a failing input is left in build-fuzz/.
#
#   scripts/fuzz.sh [SECONDS] [TARGET...]
#   targets: reg_file machine_json criteria xml_table dictionary values base64 data_files personality http_head
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-600}"
shift || true
targets=("$@")
((${#targets[@]})) || targets=(reg_file machine_json criteria xml_table dictionary values base64 data_files personality http_head)
scripts/setup.sh fuzz
scripts/build.sh fuzz
for target in "${targets[@]}"; do
  mkdir -p "build-fuzz/corpus/$target"
  (cd build-fuzz && "bin/kv_fuzz_$target" -max_total_time="$seconds" -jobs=1 -workers=1 -print_final_stats=1 \
     -dict="../tests/fuzz/$target.dict" "corpus/$target" "../tests/fuzz/corpus/$target")
done
