#!/usr/bin/env bash
# Checks that the code keeps the rules of docs/architecture.md, and names
# each place that breaks one as file:line:
#  - a failing HRESULT is passed up with KD_RETURN_IF_FAILED, never with a
#    hand-written `if (FAILED(x)) return x;`;
#  - files and folders are reached through the platform layer
#    (kdplatform/file_io.h) only: no std::filesystem, stdio or POSIX file
#    calls, no Win32 file calls outside platform/;
#  - a layer includes only its own and lower layers' headers
#    (platform -> toolkit and crypto -> component interfaces -> component ->
#    library -> PIN cipher -> tools; within the component base/ -> store/ ->
#    objects/ -> pkcs11/ -> the devices and managers; tests, benchmarks, fuzz
#    targets and examples may include anything);
#  - no `#if` on the system (_WIN32, __linux__, ...) outside the export
#    headers: system-specific code lives in files CMake chooses.
# Plain grep and awk over the files git tracks, so it runs in a second.
set -u  # grep finding nothing is the good outcome, so no -e
cd "$(dirname "$0")/.."

files=$(git ls-files '*.cc' '*.h' '*.c' '*.hpp')
product=$(grep -vE '^(tests|bench|fuzz|examples)/' <<<"$files")

# Exceptions, each with its reason. A path here skips the one check named.
#  file system: the platform layer is where file access lives.
fs_allowed='^platform/'
#  file system, one call in one file ("file:line:call"): the toolkit's
#  CTOOFile::Attributes is GetFileAttributesA by contract, and that is the
#  platform layer's own call on Linux (the system's on Windows, which the
#  layer stands for).
fs_allowed_calls='^tools2/src/file\.cc:[0-9]+:.*GetFileAttributesA'
#  system #if: export headers choose dllexport or visibility by system; the
#  test component's control library is a DLL of its own on Windows.
if_allowed='^(include/keydepot/export\.h|tools2/include/tools2/export\.h|platform/(posix|windows)/include/kdplatform/export\.h|tests/testcomponent/include/testcomponent/control\.h)$'

hits=$(mktemp)
trap 'rm -f "$hits"' EXIT
report() { sed '/^$/d; s/^/layers: /' >>"$hits"; }

# 1. Hand-written failure returns, on one line or as a one-statement block.
report < <(xargs awk '
  FNR == 1 { pending = "" }
  {
    line = $0; sub(/\/\/.*$/, "", line)
    if (pending != "") {
      if (line ~ "^[ \t]*return " pending ";[ \t]*$") print FILENAME ":" pendingLine ": hand-written failure return; use KD_RETURN_IF_FAILED"
      pending = ""
    }
    if (match(line, /FAILED\(([A-Za-z_][A-Za-z_0-9]*)\)\) *\{?[ \t]*(return [A-Za-z_][A-Za-z_0-9]*;)?[ \t]*$/)) {
      expr = substr(line, RSTART + 7)
      name = expr; sub(/\).*/, "", name)
      if (line ~ "return " name ";[ \t]*$" && line ~ /if \(/) {
        print FILENAME ":" FNR ": hand-written failure return; use KD_RETURN_IF_FAILED"
      } else if (line ~ /if \(.*\{[ \t]*$/) {
        pending = name; pendingLine = FNR
      }
    }
  }' <<<"$product")

# 2. File-system calls outside the platform layer.
fs_calls='std::filesystem|#include <filesystem>|std::(i|o)?fstream|\b(fopen|freopen|_wfopen|fdopen|opendir|fdopendir|lstat|fstat|fstatat|stat|statvfs|access|unlink|unlinkat|rename|renameat|mkdir|mkdirat|rmdir|readlink|chmod|fchmod|chown|fchown|fsync|fdatasync|ftruncate|truncate|open|openat|creat|_open|_wopen|CreateFile[AW2]?|DeleteFile[AW]?|MoveFile(Ex)?[AW]?|ReplaceFile[AW]?|CreateDirectory[AW]?|RemoveDirectory[AW]?|FindFirstFile(Ex)?[AW]?|GetFileAttributes(Ex)?[AW]?|SetFileAttributes[AW]?|CopyFile[AW]?|GetNamedSecurityInfo[AW]?)[ \t]*\('
grep -vE "$fs_allowed" <<<"$product" | xargs grep -nE "$fs_calls" |
  awk -F: '{ text = $0; sub(/^[^:]*:[^:]*:/, "", text); sub(/\/\/.*$/, "", text); print $1 ":" $2 ":" text }' |
  grep -E "^[^:]*:[0-9]+:.*($fs_calls)" | grep -vE "$fs_allowed_calls" | cut -d: -f1,2 | sed 's|$|: file-system call outside the platform layer (kdplatform/file_io.h)|' |
  report

# 3. Includes from a lower layer to a higher one. A header belongs to the
# layer of the folder it lies in; an include is resolved beside the file,
# then in the include folders of the layers.
report < <(awk '
  function layer(path) {
    if (path ~ /^platform\//) return 0
    if (path ~ /^(crypto|tools2)\//) return 1
    if (path ~ /^include\/keydepot\/(export|ad\/(component|pin_status|token_info|token_objects|ref_cnt))\.h$/) return 1
    if (path ~ /^nodyx\/base\//) return 2
    if (path ~ /^nodyx\/store\//) return 3
    if (path ~ /^nodyx\/objects\//) return 4
    if (path ~ /^nodyx\/pkcs11\//) return 5
    if (path ~ /^nodyx\/admin\//) return 9
    if (path ~ /^nodyx\//) return 6
    if (path ~ /^(src|include)\//) return 7
    if (path ~ /^pincipher\//) return 8
    return 9
  }
  function normal(path,   n, parts, out, i) {
    n = split(path, parts, "/"); out = ""
    for (i = 1; i <= n; i++) {
      if (parts[i] == "..") sub(/\/?[^\/]*$/, "", out)
      else if (parts[i] != "." && parts[i] != "") out = out == "" ? parts[i] : out "/" parts[i]
    }
    return out
  }
  function resolve(file, name,   dir, n, i, candidate) {
    dir = file; sub(/[^\/]*$/, "", dir)
    candidate = normal(dir name); if (candidate in known) return candidate
    for (i = 1; i <= nroots; i++) { candidate = roots[i] "/" name; if (candidate in known) return candidate }
    return ""
  }
  BEGIN { nroots = split("platform/include platform/posix/include platform/windows/include crypto/include tools2/include include pincipher/include nodyx src cli", roots, " ") }
  FILENAME == "-" { known[$0] = 1; next }
  /^[ \t]*#[ \t]*include[ \t]*[<"]/ {
    name = $0; sub(/^[^<"]*[<"]/, "", name); sub(/[>"].*$/, "", name)
    target = resolve(FILENAME, name)
    if (target != "" && layer(target) > layer(FILENAME))
      print FILENAME ":" FNR ": includes " target ", a higher layer"
  }' - $product <<<"$files")

# 4. System conditions outside the export headers.
grep -vE "$if_allowed" <<<"$files" |
  xargs grep -nE '^[ \t]*#[ \t]*(if|ifdef|ifndef|elif)\b.*\b(_WIN32|_WIN64|WIN32|__linux__|__linux|linux|__unix__|__unix|__APPLE__|__MACH__|__MINGW32__|__MINGW64__|__CYGWIN__|_MSC_VER|__FreeBSD__|_POSIX_VERSION|__ANDROID__)\b' |
  cut -d: -f1,2 | sed 's|$|: #if on the system outside the export headers|' | report

if [ -s "$hits" ]; then
  cat "$hits"
  echo "layers: $(wc -l <"$hits") place(s) break the rules of docs/architecture.md"
  exit 1
fi
echo "layers: failures, file access, includes and system conditions keep to docs/architecture.md"
