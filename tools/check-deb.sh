#!/usr/bin/env bash
# Installs the Debian packages that tools/package.sh made on this machine
# (needs root), then checks them as a user would: the consumer project builds
# against /usr with pkg-config and with CMake and runs, the tools run, the man
# pages are found; finally removes the packages and checks that none of their
# files is left behind. Only for throw-away machines such as CI.
set -euo pipefail
cd "$(dirname "$0")/.."
packages=(build/release/packages/*.deb)
names=(keydepot-tools libkeydepot-dev libkeydepot0)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

as_root=()
if [ "$(id -u)" -ne 0 ]; then as_root=(sudo); fi

echo "== installing ${packages[*]}"
"${as_root[@]}" dpkg -i "${packages[@]}" >/dev/null
for name in "${names[@]}"; do dpkg-query -L "$name"; done | sort -u > "$work/files"

echo "== consumer built with pkg-config"
# shellcheck disable=SC2046
g++ -std=c++20 examples/consumer/main.cc -o "$work/consumer-pc" $(pkg-config --cflags --libs keydepot)
"$work/consumer-pc"

echo "== consumer built with CMake against /usr"
cmake -S examples/consumer -B "$work/consumer-cmake" -G Ninja >/dev/null
cmake --build "$work/consumer-cmake" >/dev/null
"$work/consumer-cmake/consumer"

echo "== tools and man pages"
keydepot --version
nodyx-admin --help >/dev/null
man -w keydepot
man -w nodyx-admin

echo "== removing the packages"
"${as_root[@]}" dpkg --purge "${names[@]}" >/dev/null
left=()
while IFS= read -r file; do
  # Folders shared with other packages (/usr, /usr/lib, ...) stay.
  if [ -e "$file" ] && [ ! -d "$file" ]; then left+=("$file"); fi
done < "$work/files"
for dir in /usr/include/keydepot /usr/include/tools2 /usr/include/kdplatform \
           "/usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)/cmake/keydepot"; do
  if [ -e "$dir" ]; then left+=("$dir"); fi
done
if [ ${#left[@]} -ne 0 ]; then
  echo "left behind after removal:" "${left[@]}" >&2
  exit 1
fi
echo "packages: installed, used and removed cleanly"
