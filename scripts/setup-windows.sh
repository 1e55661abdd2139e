#!/usr/bin/env bash
# Sets up the Windows builds on Debian 12, as root: the MinGW-w64 compilers,
# Wine (64-bit, and 32-bit where the i386 architecture can be added), and the
# third-party libraries cross-built for both Windows processors: libxml2 from
# Debian's source package and GoogleTest from /usr/src/googletest.
#
# The libraries are built once and cached outside the build trees, in
# KV_WINDOWS_DEPS (default /var/cache/kvagent/windows), one prefix per
# processor, library and version:
#   <deps>/<processor>/libxml2-<version>/, <deps>/<processor>/googletest-<version>/
# with <deps>/<processor>/libxml2 and .../googletest linking the current one.
# Idempotent: a later run only checks.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
deps="${KV_WINDOWS_DEPS:-/var/cache/kvagent/windows}"
export DEBIAN_FRONTEND=noninteractive

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }

install_packages() {
  local missing=()
  for p in "$@"; do installed "$p" || missing+=("$p"); done
  if ((${#missing[@]})); then
    echo "setup-windows: installing ${missing[*]}"
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  fi
}

install_packages g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix wine64 dpkg-dev cmake ninja-build googletest

# 32-bit Wine runs the shipped (i686) build; it needs the i386 architecture.
if ! installed wine32:i386; then
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
  fi
  apt-get update -qq
  if apt-get install -y -qq --no-install-recommends wine32:i386 wine >/dev/null; then
    echo "setup-windows: installed wine32"
  else
    echo "setup-windows: wine32 is not installable here; only the 64-bit build runs under Wine"
  fi
fi

# Source packages come from deb-src entries beside the binary ones.
sources=/etc/apt/sources.list.d/kvagent-deb-src.sources
if ! apt-cache showsrc libxml2 >/dev/null 2>&1 || ! apt-cache showsrc libxml2 | grep -q '^Package: libxml2'; then
  if [[ -f /etc/apt/sources.list.d/debian.sources ]]; then
    sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources >"$sources"
  else
    grep -h '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' >/etc/apt/sources.list.d/kvagent-deb-src.list
  fi
  apt-get update -qq
fi

# The version of libxml2 the Linux build uses, so that both builds parse alike.
xml_version=$(dpkg-query -W -f='${Version}' libxml2-dev 2>/dev/null ||
  dpkg-query -W -f='${Version}' "libxml2:$(dpkg --print-architecture)" 2>/dev/null ||
  apt-cache policy libxml2 | awk '/Candidate:/ {print $2}')
gtest_version=$(dpkg-query -W -f='${Version}' googletest)
# Versions as folder names: no characters a shell or CMake would mind.
safe() { echo "$1" | tr '~+:' '_._'; }

build_libxml2() {
  local processor=$1 prefix=$2
  local src="$deps/src/libxml2-$(safe "$xml_version")"
  if [[ ! -f "$src/.complete" ]]; then
    rm -rf "$src" && mkdir -p "$src"
    (cd "$src" && apt-get source -qq --only-source "libxml2=$xml_version" >/dev/null 2>&1)
    touch "$src/.complete"
  fi
  local tree
  tree=$(find "$src" -maxdepth 1 -mindepth 1 -type d -name 'libxml2-*' | head -1)
  local work
  work=$(mktemp -d)
  cmake -S "$tree" -B "$work" -G Ninja --log-level=ERROR \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchains/mingw-w64-$processor.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=OFF \
    -DLIBXML2_WITH_ICONV=OFF -DLIBXML2_WITH_LZMA=OFF -DLIBXML2_WITH_ZLIB=OFF -DLIBXML2_WITH_PYTHON=OFF \
    -DLIBXML2_WITH_PROGRAMS=OFF -DLIBXML2_WITH_TESTS=OFF -DLIBXML2_WITH_HTTP=OFF -DLIBXML2_WITH_FTP=OFF \
    -DLIBXML2_WITH_MODULES=OFF >/dev/null
  cmake --build "$work" -j2 >/dev/null
  cmake --install "$work" >/dev/null
  rm -rf "$work"
}

build_googletest() {
  local processor=$1 prefix=$2
  local work
  work=$(mktemp -d)
  cmake -S /usr/src/googletest -B "$work" -G Ninja --log-level=ERROR \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchains/mingw-w64-$processor.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=OFF \
    -Dgtest_force_shared_crt=ON >/dev/null
  cmake --build "$work" -j2 >/dev/null
  cmake --install "$work" >/dev/null
  rm -rf "$work"
}

# One library for one processor, unless its versioned prefix is complete.
provide() {
  local name=$1 version=$2 processor=$3
  local prefix="$deps/$processor/$name-$(safe "$version")"
  if [[ ! -f "$prefix/.complete" ]]; then
    echo "setup-windows: cross-building $name $version for $processor"
    rm -rf "$prefix"
    "build_$name" "$processor" "$prefix"
    touch "$prefix/.complete"
  fi
  ln -sfn "$(basename "$prefix")" "$deps/$processor/$name"
}

for processor in i686 x86_64; do
  mkdir -p "$deps/$processor"
  provide libxml2 "$xml_version" "$processor"
  provide googletest "$gtest_version" "$processor"
done
