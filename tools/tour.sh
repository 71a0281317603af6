#!/usr/bin/env bash
# The guided tour: installs what is missing, builds the release preset, then
# walks through keydepot on the built-in software token in a temporary store
# that is removed at the end, then on a PKCS#11 token when SoftHSM2 is
# installed. Needs no hardware and no root (except for apt-get, when
# packages are missing).
#
#   tools/tour.sh                  set up, build, tour
#   tools/tour.sh --no-build DIR   tour only, with the programs in DIR (tests)
#   tools/tour.sh --windows DIR    tour only, with the Windows programs in DIR
#                                  (keydepot.exe, nodyx-admin.exe and their
#                                  DLLs) under Wine, in a Wine prefix of its own
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

windows=""
if [ "${1:-}" = "--no-build" ] || [ "${1:-}" = "--windows" ]; then
  [ "$1" = "--windows" ] && windows=1
  bin=$(cd "${2:?$1 needs the folder of keydepot and nodyx-admin}" && pwd)
else
  tools/setup.sh
  cmake --preset release
  cmake --build --preset release -j "$(nproc 2>/dev/null || echo 2)"
  bin="$root/build/release/bin"
fi
sample="$root/cli/tour/sample-cert.pem"
work=$(mktemp -d "${TMPDIR:-/tmp}/keydepot-tour.XXXXXX")
trap 'rm -rf "$work"' EXIT

# A path of the tour's folder as the tools take it: on Windows through
# Wine's drive Z:, which is the root of this machine's file system.
arg_path() {
  if [ -n "$windows" ]; then printf 'Z:%s' "${1//\//\\}"; else printf '%s' "$1"; fi
}

# Everything the tour touches lives under $work.
export NODYX_STORE="$(arg_path "$work/nodyx-store")"
export KEYDEPOT_COMMON_APPDATA="$work/common-appdata"
export KEYDEPOT_LOCAL_APPDATA="$work/local-appdata"
export KEYDEPOT_REGISTRY="$work/registry"
unset KEYDEPOT_DRIVES
# No PKCS#11 module until the SoftHSM2 leg names one.
export NODYX_PKCS11_MODULES=
export PATH="$bin:$PATH"

if [ -n "$windows" ]; then
  # The shared data folder and the registry are Windows' own, inside the
  # tour's Wine prefix. The tools write lines ending in CR LF.
  . tools/wine-env.sh
  WINEARCH=$(wine_arch "$bin/keydepot.exe")
  export WINEPREFIX="$work/wine" WINEARCH WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  unusable=$(wine_unusable "$WINEARCH")
  [ -z "$unusable" ] || { echo "tour: $WINEARCH programs cannot run here: $unusable" >&2; exit 1; }
  wine=$(wine_loader "$WINEARCH")
  wineserver=$(wine_server)
  trap '"$wineserver" -k 2>/dev/null || true; rm -rf "$work"' EXIT
  keydepot() { "$wine" "$bin/keydepot.exe" "$@" | tr -d '\r'; }
  nodyx-admin() { "$wine" "$bin/nodyx-admin.exe" "$@" | tr -d '\r'; }
  "$wine" wineboot -i >/dev/null 2>&1
  # The store is trusted only where no other user may change a folder above
  # it; Wine shows /tmp as such a folder, so the store lives on the prefix's
  # own drive C: (inside $work all the same).
  export NODYX_STORE='C:\nodyx-store'
fi

bold='' plain=''
if [ -t 1 ]; then bold=$'\033[1m' plain=$'\033[0m'; fi
step() { printf '\n%s== %s%s\n' "$bold" "$*" "$plain"; }
say() { printf '%s\n' "$*"; }
# Shows a command the way one would type it, on standard error so that
# $(run ...) captures only the command's own output.
show() {
  local line='$' arg
  for arg in "$@"; do
    if [[ "$arg" =~ ^[A-Za-z0-9_./:=@%+-]+$ ]]; then
      line+=" $arg"
    else
      line+=" '${arg//\'/\'\\\'\'}'"
    fi
  done
  printf '%s\n' "$line" >&2
}
run() {
  show "$@"
  "$@"
}

step "The tour works in a temporary folder: $work"
say "Devices, application-data folders and the registry all live there; nothing else is touched."

step "1. Create a device on the software token and give it a PIN"
say "The software token keeps each device in a folder; nodyx-admin sets devices up."
run nodyx-admin create tour-token --type 100 --id 7A0E0001 --display-name "Tour token"
printf '1234\n' > "$work/pin.txt"
chmod 600 "$work/pin.txt"  # keydepot warns about PIN files others can read
pin_file=$(arg_path "$work/pin.txt")
run nodyx-admin set-pin tour-token --pin-file "$pin_file"
say "keydepot sees it through the access-device component:"
run keydepot devices

step "2. Save a sample certificate to a folder path"
folder_path=$(arg_path "$work/keys/tour-cert.pem")
run keydepot save "$folder_path" -i "$(arg_path "$sample")"

step "3. Save the same certificate to a device path"
say "A named-device designation (\\\\!\\<type name>\\<identifier>\\) is completed into the device's path:"
device_path=$(run keydepot complete '\\!\SoftToken\7A0E0001\' --container tour-cert)
say "$device_path"
say "The device wants its PIN; keydepot reads it from a file, never from the command line:"
run keydepot save "$device_path" -i "$(arg_path "$sample")" --pin-file "$pin_file"

step "4. List the containers"
run keydepot containers --skip-default
run keydepot containers --skip-default --paths

step "5. Load both back and compare them with the original"
run keydepot load "$folder_path" -o "$(arg_path "$work/from-folder.pem")"
run keydepot load "$device_path" -o "$(arg_path "$work/from-device.pem")" --pin-file "$pin_file"
run cmp "$sample" "$work/from-folder.pem"
run cmp "$sample" "$work/from-device.pem"
say "Both copies are byte for byte the original."

step "6. See what is stored"
say "keydepot show reads certificates and keys (never printing key material):"
run keydepot show "$device_path" --pin-file "$pin_file"
say "keydepot list shows the items of a folder or a device, with --show what each is:"
run keydepot list "$(arg_path "$work/keys")" --show
run keydepot list '\\!\SoftToken\7A0E0001' --pin-file "$pin_file"

step "7. Copy an item from one device to another"
run nodyx-admin create tour-backup --type 100 --id 7A0E0002 --display-name "Backup token"
say "copy takes each side's PIN on its own; it reads the copy back and compares it:"
run keydepot copy "$device_path" '\\!\SoftToken\7A0E0002\tour-cert' --src-pin-file "$pin_file"
run keydepot list '\\!\SoftToken\7A0E0002' --show

step "8. Complete and classify paths"
say "A bare name becomes a file in the shared containers folder:"
run keydepot complete my-key
say "What a storage path is made of:"
run keydepot info "$folder_path:.signature"
run keydepot info "$device_path"
say "Two spellings of one device container name the same place (exit 0):"
run keydepot compare "$device_path" "8|tour-cert\\5|100\\17|7A0E0001\\1|2"

softhsm_module=""
for candidate in /usr/lib/softhsm/libsofthsm2.so /usr/lib/*/softhsm/libsofthsm2.so; do
  if [ -f "$candidate" ]; then softhsm_module=$candidate; break; fi
done
if [ -n "$windows" ]; then
  step "7. PKCS#11 tokens: skipped on Windows (SoftHSM2 here is a Linux module)"
elif command -v softhsm2-util >/dev/null && [ -n "$softhsm_module" ]; then
  step "7. The same on a PKCS#11 token (SoftHSM2 stands in for a smart card)"
  say "A token of its own, in the tour's folder:"
  mkdir -p "$work/softhsm/tokens"
  printf 'directories.tokendir = %s\nobjectstore.backend = file\nlog.level = ERROR\n' \
    "$work/softhsm/tokens" > "$work/softhsm/softhsm2.conf"
  export SOFTHSM2_CONF="$work/softhsm/softhsm2.conf"
  run softhsm2-util --init-token --free --label "Tour card" --so-pin 0000 --pin 2468 >/dev/null
  say "The component is told which PKCS#11 module to load; each token becomes a device of type 300:"
  export NODYX_PKCS11_MODULES="$softhsm_module"
  run nodyx-admin pkcs11 modules
  run keydepot devices
  card_id=$(nodyx-admin pkcs11 tokens | cut -f1)
  card_path=$(run keydepot complete "\\\\!\\Pkcs11Token\\$card_id\\" --container tour-cert)
  say "$card_path"
  (umask 077 && printf '2468\n' > "$work/card-pin.txt")
  run keydepot save "$card_path" -i "$sample" --pin-file "$work/card-pin.txt"
  run keydepot load "$card_path" -o "$work/from-card.pem" --pin-file "$work/card-pin.txt"
  run cmp "$sample" "$work/from-card.pem"
  say "The token checks the PIN before nodyx-admin saves it for keydepot:"
  run nodyx-admin pin save "Tour card" --pin-file "$work/card-pin.txt"
  run keydepot pin show "$card_path"
  if command -v p11tool >/dev/null; then
    say "A certificate another program put on the card (p11tool here, as a browser or ssh would find it):"
    GNUTLS_PIN=2468 run p11tool --provider "$softhsm_module" --login --write --load-certificate "$sample" \
      --label imported-cert "pkcs11:token=Tour%20card"
    say "keydepot takes the PKCS#11 URI other programs print, says which device path it names, and shows it:"
    run keydepot show "pkcs11:token=Tour%20card;object=imported-cert" --pin-file "$work/card-pin.txt"
    say "...and copies it to a folder, as the certificate's DER bytes:"
    run keydepot copy "pkcs11:token=Tour%20card;object=imported-cert" "$work/imported-cert.der" \
      --src-pin-file "$work/card-pin.txt"
    run openssl x509 -inform DER -in "$work/imported-cert.der" -noout -subject
    say "What keydepot saves as a certificate, other programs list as one:"
    run keydepot save "pkcs11:token=Tour%20card;object=tour-copy" --as certificate -i "$sample" \
      --pin-file "$work/card-pin.txt"
    GNUTLS_PIN=2468 run p11tool --provider "$softhsm_module" --login --list-all-certs "pkcs11:token=Tour%20card"
  fi
else
  step "7. PKCS#11 tokens: skipped, SoftHSM2 is not installed (tools/setup.sh installs it)"
fi

step "Done"
say "The temporary folder is removed now. Next: docs/cli.md for every command, or"
say "  $bin/keydepot --help"
