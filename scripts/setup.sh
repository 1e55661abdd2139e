#!/usr/bin/env bash
# Installs every Debian package the project needs. Idempotent, and quiet when
# everything is already there. Run as root on Debian 12. "fuzz" adds what the
# fuzz preset needs (clang and its libFuzzer).
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config
  libgtest-dev libgmock-dev
  nlohmann-json3-dev
  libcurl4-openssl-dev libssl-dev nginx curl
  libbenchmark-dev
  libxml2-dev
  libedit-dev
  libsqlite3-dev
  flex bison
  unixodbc-dev libsqliteodbc odbc-postgresql odbc-mariadb
  postgresql mariadb-server mariadb-client firebird3.0-server
)
if [[ "${1:-}" == fuzz ]]; then
  packages+=(clang libclang-rt-14-dev)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
