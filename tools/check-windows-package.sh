#!/usr/bin/env bash
# Checks the Windows packages that `tools/package.sh --windows` made.
# Both builds: the installer holds exactly the zip's files, the expected ones
# among them, and every DLL a packaged program or DLL imports is in the
# package or is one of Windows' own. Each build's packages are then used
# under Wine, in a fresh prefix of its architecture removed at the end:
# keydepot.exe runs from the unpacked zip; the installer installs silently
# into Program Files, the tour runs on the installed programs, and the silent
# uninstall leaves no file, folder or registry key behind.
set -euo pipefail
cd "$(dirname "$0")/.."

work=$(mktemp -d "${TMPDIR:-/tmp}/windows-package.XXXXXX")
# No Mono or Gecko installer; and no menu builder, which would copy the
# installer's Start-menu entries into this machine's own desktop menus.
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
. tools/wine-env.sh
wineserver=$(wine_server)
# One prefix per architecture, each with its own server.
trap 'for p in "$work"/wine-*; do WINEPREFIX=$p "$wineserver" -k 2>/dev/null || true; done; rm -rf "$work"' EXIT

fail() { echo "check-windows-package: $*" >&2; exit 1; }
one() { [ $# -eq 1 ] && [ -f "$1" ] || fail "expected one package, found: $*"; echo "$1"; }

expected=(bin/keydepot.dll bin/nodyx.dll bin/tools2.dll bin/keydepot.exe bin/nodyx-admin.exe
          include/keydepot/keydepot.h lib/libkeydepot.dll.a lib/cmake/keydepot/keydepotConfig.cmake)
# Windows' own DLLs: every other import must be shipped.
system_dlls=" advapi32.dll bcrypt.dll crypt32.dll kernel32.dll msvcrt.dll ole32.dll oleaut32.dll shell32.dll user32.dll ws2_32.dll "

for build in windows-x86:win32:i686:80386 windows-x64:win64:x86_64:x86-64; do
  IFS=: read -r preset system triplet machine <<< "$build"
  zip=$(one build/"$preset"/packages/keydepot-*-"$system".zip)
  installer=$(one build/"$preset"/packages/keydepot-*-"$system".exe)
  echo "== ${zip##*/}, ${installer##*/}"
  file -b "$installer" | grep -q "$machine" || fail "$installer is not a $machine program"
  7zz x -bd -y -o"$work/$system" "$zip" >/dev/null
  tree="$work/$system/$(basename "$zip" .zip)"
  (cd "$tree" && find . -type f | sed 's|^\./||' | sort) > "$work/$system.zip-files"
  7zz l -ba -slt "$installer" | sed -n 's/^Path = //p' | grep -v -e '^\$PLUGINSDIR' -e '^Uninstall\.exe$' | tr '\\' '/' | sort \
    > "$work/$system.installer-files"
  diff -u "$work/$system.zip-files" "$work/$system.installer-files" || fail "$installer and $zip differ"
  # The test programs and the test PKCS#11 module never ship.
  if grep -i -E '(^|/)(p11test|[^/]*_tests)[^/]*$' "$work/$system.zip-files"; then
    fail "$zip holds test files"
  fi
  for file in "${expected[@]}"; do
    grep -qxF "$file" "$work/$system.zip-files" || fail "$zip lacks $file"
  done
  shipped=" $(cd "$tree/bin" && ls | tr '[:upper:]' '[:lower:]' | tr '\n' ' ')"
  for binary in "$tree"/bin/*.dll "$tree"/bin/*.exe; do
    for dll in $("$triplet-w64-mingw32-objdump" -p "$binary" | sed -n 's/^\tDLL Name: //p' | tr '[:upper:]' '[:lower:]'); do
      case "$system_dlls$shipped" in
        *" $dll "*) ;;
        *) fail "${binary##*/} needs $dll, which $zip does not hold" ;;
      esac
    done
  done
done

# Each build's zip and installer under Wine, in a prefix of its own
# architecture: keydepot.exe from the zip, then the installer installs, the
# tour runs on the installed programs, and the uninstaller leaves nothing.
installed_check() {
  local system=$1
  zip=$(one build/windows-*/packages/keydepot-*-"$system".zip)
  installer=$(one build/windows-*/packages/keydepot-*-"$system".exe)
  tree="$work/$system/$(basename "$zip" .zip)"
  unusable=$(wine_unusable "$system")
  if [ -n "$unusable" ]; then
    echo "== the $system zip and installer are NOT run on this machine: $unusable"
    return
  fi
  echo "== the $system zip and installer under Wine"
  export WINEARCH=$system WINEPREFIX="$work/wine-$system"
  wine=$(wine_loader "$system")
  "$wine" wineboot -i >/dev/null 2>&1
  version=$("$wine" "$tree/bin/keydepot.exe" --version | tr -d '\r')
  [[ "$version" == "keydepot "[0-9]* ]] || fail "keydepot.exe --version from the $system zip printed: $version"
  echo "$version"
  "$wine" "$installer" /S
  # Program Files of the prefix's own architecture.
  installed="$WINEPREFIX/drive_c/Program Files/keydepot"
  (cd "$installed" && find . -type f | sed 's|^\./||' | grep -vx Uninstall.exe | sort) > "$work/installed-files"
  diff -u "$work/$system.zip-files" "$work/installed-files" || fail "the $system installer did not install the zip's files"
  tools/tour.sh --windows "$installed/bin" > "$work/tour.log" 2>&1 ||
    { cat "$work/tour.log"; fail "the tour failed on the installed $system programs"; }
  "$wine" "$installed/Uninstall.exe" /S '_?=C:\Program Files\keydepot'
  # Registry files are written when the server ends.
  "$wineserver" -w
  left=$(find "$WINEPREFIX/drive_c" -ipath '*keydepot*'; grep -i keydepot "$WINEPREFIX"/*.reg || true)
  [ -z "$left" ] || fail "left behind after the $system uninstall: $left"
  echo "installed, used by the tour and uninstalled without a trace"
}
(installed_check win64)
(installed_check win32)
