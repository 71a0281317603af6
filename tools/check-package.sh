#!/usr/bin/env bash
# Installs a built tree into a temporary prefix and builds and runs a small
# consumer project against it twice: with find_package(keydepot), and with
# the pkg-config file (which must work wherever the tree is installed), with
# C++17, the oldest standard the public headers support.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/default}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake --install "$build" --prefix "$work/prefix" >/dev/null
cmake -S examples/consumer -B "$work/consumer" -G Ninja -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null
cmake --build "$work/consumer" >/dev/null
"$work/consumer/consumer"

pc=$(find "$work/prefix" -name keydepot.pc)
export PKG_CONFIG_PATH=${pc%/*}
libdir=$(pkg-config --variable=libdir keydepot)
# shellcheck disable=SC2046
g++ -std=c++17 -Wall -Werror examples/consumer/main.cc -o "$work/consumer-pc" $(pkg-config --cflags --libs keydepot) \
  -Wl,-rpath,"$libdir"
"$work/consumer-pc"
