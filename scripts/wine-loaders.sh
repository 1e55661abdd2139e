# Wine's loaders, chosen explicitly (sourced by the scripts that run Windows
# programs under Wine). Debian's "wine" script takes the 32-bit loader
# whenever wine32 is installed, but some kernels cannot execute 32-bit
# programs at all; then every run through it fails with status 126. So the
# 64-bit loader runs 64-bit programs, and the 32-bit loader runs 32-bit ones
# only where it was seen to start.
#
# Sets and exports, once per run (a script started by one that sourced this
# file inherits the answer instead of asking again):
#   KV_WINE64         the 64-bit loader
#   KV_WINE32         the 32-bit loader, or "" where it cannot run
#   KV_WINE32_WHY     why not, when KV_WINE32 is ""
# KV_WINE_DIR names the folder of the loaders (default /usr/lib/wine).

kv_wine_probe() {
  if [[ -n "${KV_WINE64:-}" && -n "${KV_WINE32+set}" ]]; then return 0; fi
  local dir="${KV_WINE_DIR:-/usr/lib/wine}"
  KV_WINE64="$dir/wine64"
  KV_WINE32=""
  KV_WINE32_WHY=""
  if [[ ! -x "$dir/wine" ]]; then
    KV_WINE32_WHY="32-bit Wine (wine32) is not installed"
  else
    local answer
    if answer=$("$dir/wine" --version 2>&1); then
      KV_WINE32="$dir/wine"
    else
      # The shell's own words, e.g. "cannot execute binary file: Exec format error".
      answer=${answer##*: cannot execute binary file: }
      KV_WINE32_WHY="this kernel cannot execute 32-bit programs ($dir/wine --version: ${answer//$'\n'/ })"
    fi
  fi
  export KV_WINE64 KV_WINE32 KV_WINE32_WHY
}

# The PE machine type of a Windows program: "i386", "x86_64", or "" when the
# file is not a PE image.
kv_pe_machine() {
  local file=$1 offset signature machine
  [[ -f "$file" ]] || return 0
  offset=$(od -An -t u4 -j 60 -N 4 "$file" 2>/dev/null | tr -d ' ')
  [[ -n "$offset" ]] || return 0
  signature=$(od -An -t x1 -j "$offset" -N 4 "$file" 2>/dev/null | tr -d ' ')
  [[ "$signature" == 50450000 ]] || return 0
  machine=$(od -An -t x2 -j $((offset + 4)) -N 2 "$file" | tr -d ' ')
  case "$machine" in
    014c) echo i386 ;;
    8664) echo x86_64 ;;
  esac
}

# The loader for a program: the 32-bit one for a 32-bit PE (fails, naming
# why, where it cannot run), the 64-bit one for anything else.
kv_wine_loader_for() {
  kv_wine_probe
  if [[ "$(kv_pe_machine "$1")" == i386 ]]; then
    if [[ -z "$KV_WINE32" ]]; then
      echo "wine: $1 is a 32-bit program and cannot run here: $KV_WINE32_WHY" >&2
      return 1
    fi
    echo "$KV_WINE32"
  else
    echo "$KV_WINE64"
  fi
}
