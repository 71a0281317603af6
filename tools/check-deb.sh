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

echo "== consumer built with pkg-config, as g++ builds by default"
# The compiler's default standard (C++17 for g++ 12), and no -I or -L for
# the system's own folders.
[ -z "$(pkg-config --cflags keydepot)" ] || { echo "pkg-config --cflags keydepot: $(pkg-config --cflags keydepot)" >&2; exit 1; }
# shellcheck disable=SC2046
g++ examples/consumer/main.cc -o "$work/consumer-pc" $(pkg-config --cflags --libs keydepot)
"$work/consumer-pc"

echo "== consumer built with CMake against /usr"
cmake -S examples/consumer -B "$work/consumer-cmake" -G Ninja >/dev/null
cmake --build "$work/consumer-cmake" >/dev/null
"$work/consumer-cmake/consumer"

echo "== tools and man pages"
keydepot --version
nodyx-admin --help >/dev/null
for page in keydepot nodyx-admin; do
  # The sections that --help cannot hold are there too.
  for section in ENVIRONMENT "EXIT STATUS" FILES; do
    man "$page" 2>/dev/null | grep -q "^${section}" || { echo "man $page: no ${section} section" >&2; exit 1; }
  done
done
test -f /usr/share/doc/keydepot-tools/cli.md

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
