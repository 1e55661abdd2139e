#!/usr/bin/env bash
# Checks the layering of the folders: every project header a file includes
# belongs to its own folder or to a folder its target links directly, and
# the links have no cycle. What a folder links comes from its CMakeLists.txt:
# kv_library(<folder> ... PUBLIC/PRIVATE ...) for the libraries,
# kv_test(<area> LINKS ...) for the tests' folders, and
# target_link_libraries(...) for programs/<name>/ and bench/ (libraries that
# tests/CMakeLists.txt makes count as the folder tests). The operating
# system's backends, platform/posix/ and platform/win32/, are included only
# inside platform/ and by the tests. Exit status 1 with one line per
# finding, else 0.
set -euo pipefail
cd "$(dirname "$0")/.."

# The words of every call of a CMake function, one call a line.
calls() {
  awk -v fn="$1" '
    $0 ~ "^[ \t]*" fn "\\(" { text = ""; inside = 1 }
    inside { sub(/#.*/, ""); text = text " " $0; if ($0 ~ /\)/) { inside = 0; gsub(/[()]/, " ", text); print text } }
  ' "${@:2}"
}

# "<folder> <linked folders...>", one line per folder that is checked.
links() {
  local cmake folder rest word deps mode
  declare -A library=() # CMake target -> folder
  for cmake in */CMakeLists.txt; do
    while read -r _ folder _; do library["kv$folder"]=$folder; done < <(calls kv_library "$cmake")
  done
  while read -r _ name _; do library[$name]=tests; done < <(calls add_library tests/CMakeLists.txt tests/*/CMakeLists.txt)

  for cmake in */CMakeLists.txt; do
    while read -r _ folder rest; do
      deps="" mode=""
      for word in $rest; do
        case "$word" in
          PUBLIC | PRIVATE) mode=link ;;
          SOURCES | LIBRARIES) mode=other ;;
          *) [[ $mode == link ]] && deps+=" $word" ;;
        esac
      done
      echo "$folder$deps"
    done < <(calls kv_library "$cmake")
  done
  while read -r _ area rest; do
    deps=" tests"
    for word in $rest; do [[ $word == LINKS ]] || deps+=" $word"; done
    echo "tests/$area$deps"
  done < <(calls kv_test tests/CMakeLists.txt)
  for folder in programs/*/ bench/; do
    folder=${folder%/}
    deps=""
    while read -r _ _ rest; do
      for word in $rest; do [[ -n "${library[$word]:-}" ]] && deps+=" ${library[$word]}"; done
    done < <(calls target_link_libraries "$folder/CMakeLists.txt")
    echo "$folder$deps"
  done
}

link_lines=$(links)

status=0
# Every project include of the checked folders, judged in one pass.
includes=$(cut -d' ' -f1 <<<"$link_lines" | xargs grep -rn --include='*.h' --include='*.cpp' --include='*.y' \
  --include='*.l' -E '^#include "[^/"]+/' || true)
awk -v links="$link_lines" '
  BEGIN {
    n = split(links, lines, "\n")
    for (i = 1; i <= n; i++) {
      m = split(lines[i], words, " ")
      folder = words[1]
      order[i] = folder
      top = folder; sub(/\/.*/, "", top)
      allowed[folder] = " " top " "
      for (j = 2; j <= m; j++) allowed[folder] = allowed[folder] words[j] " "
      known[top] = 1
    }
    count = n
  }
  {
    file = $0; sub(/:.*/, "", file)
    rest = $0; sub(/^[^:]*:/, "", rest)
    line = rest; sub(/:.*/, "", line)
    include = rest; sub(/^[^"]*"/, "", include); sub(/".*/, "", include)
    target = include; sub(/\/.*/, "", target)
    # The most specific checked folder that holds the file.
    owner = ""
    for (i = 1; i <= count; i++)
      if (index(file, order[i] "/") == 1 && length(order[i]) > length(owner)) owner = order[i]
    if (owner == "") next
    if (include ~ /^platform\/(posix|win32)\// && owner !~ /^(platform|tests)(\/|$)/) {
      print file ":" line ": includes " include ", a backend of the operating system, outside platform/"
      bad = 1
    }
    if (!(target in known) && target != "tests") next
    if (index(allowed[owner], " " target " ") == 0) {
      print file ":" line ": includes a header of " target "/, which " owner " does not link"
      bad = 1
    }
  }
  END { exit bad }
' <<<"$includes" || status=1

# The libraries' links must be a partial order: tsort reports a cycle as a loop.
edges=$(awk '$1 !~ /\// { for (i = 2; i <= NF; i++) print $i, $1 }' <<<"$link_lines")
if ! cycle=$(tsort <<<"$edges" 2>&1 >/dev/null); then
  echo "the folders link in a cycle: ${cycle//$'\n'/ }"
  status=1
fi
exit $status
