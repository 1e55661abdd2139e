#!/usr/bin/env bash
# Checks the layering of the folders: every project header a file includes
# belongs to its own folder or to a folder its target links directly
# (kv_library(... PUBLIC/PRIVATE ...) in the folder's CMakeLists.txt, and
# kv_test(<folder> LINKS ...) for the tests), and the links have no cycle.
# Exit status 1 with one line per finding, else 0.
set -euo pipefail
cd "$(dirname "$0")/.."

declare -A links=()   # folder -> its linked folders, space-separated
declare -A sources=() # folder -> where its files are

# The words of every kv_library(...) / kv_test(...) call, one call a line.
calls() {
  awk -v fn="$1" '
    $0 ~ "^[ \t]*" fn "\\(" { text = ""; inside = 1 }
    inside { sub(/#.*/, ""); text = text " " $0; if ($0 ~ /\)/) { inside = 0; gsub(/[()]/, " ", text); print text } }
  ' "$2"
}

for cmake in */CMakeLists.txt; do
  while read -r _ folder rest; do
    deps=""
    mode=""
    for word in $rest; do
      case "$word" in
        PUBLIC|PRIVATE) mode=link ;;
        SOURCES|LIBRARIES) mode=other ;;
        *) [[ $mode == link ]] && deps+="$word " ;;
      esac
    done
    links[$folder]="$deps"
    sources[$folder]="$folder"
  done < <(calls kv_library "$cmake")
done
while read -r _ area rest; do
  deps="tests "
  for word in $rest; do [[ $word == LINKS ]] || deps+="$word "; done
  links["tests/$area"]="$deps"
  sources["tests/$area"]="tests/$area"
done < <(calls kv_test tests/CMakeLists.txt)

status=0
folders=" ${!links[*]} "
for folder in "${!sources[@]}"; do
  allowed=" ${folder%%/*} ${links[$folder]} "
  while IFS=: read -r file line include; do
    target=$(sed -E 's/.*#include "([^/"]+)\/.*/\1/' <<<"$include")
    [[ $folders == *" $target "* || $target == tests ]] || continue  # not a project folder
    if [[ $allowed != *" $target "* ]]; then
      echo "$file:$line: includes a header of $target/, which ${folder} does not link"
      status=1
    fi
  done < <(grep -rn --include='*.h' --include='*.cpp' --include='*.y' --include='*.l' -E '^#include "[^/"]+/' \
             "${sources[$folder]}" | { [[ $folder == tests/* ]] && cat || grep -v "^tests/"; } || true)
done

# The link graph must be a partial order: tsort reports a cycle as a loop.
edges=""
for folder in "${!links[@]}"; do
  [[ $folder == tests* ]] && continue
  for dep in ${links[$folder]}; do edges+="$dep $folder"$'\n'; done
done
if ! tsort <<<"$edges" >/dev/null 2>/tmp/check-layers.$$; then
  echo "the folders link in a cycle: $(tr '\n' ' ' </tmp/check-layers.$$)"
  status=1
fi
rm -f /tmp/check-layers.$$
exit $status
