# Sourced by the scripts that run the Windows builds' programs under Wine.
# With 32-bit Wine installed, the name `wine` starts the 32-bit loader,
# which cannot use a 64-bit prefix; so each build runs with its own loader
# and in a prefix of its own architecture. The server is one for both.
#
#   wine_arch FILE      win32 or win64, from the program's PE header
#   wine_loader ARCH    the loader for that architecture
#   wine_server         the server program
#   wine_unusable ARCH  why Wine of that architecture cannot run here, or
#                       nothing when it can
wine_arch() {
  case "$(file -b "$1")" in
    *x86-64*) echo win64 ;;
    *) echo win32 ;;
  esac
}
wine_loader() {
  if [ "$1" = win32 ]; then echo /usr/lib/wine/wine; else echo /usr/lib/wine/wine64; fi
}
wine_server() {
  if [ -x /usr/lib/wine/wineserver64 ]; then echo /usr/lib/wine/wineserver64; else echo /usr/lib/wine/wineserver; fi
}
wine_unusable() {
  _loader=$(wine_loader "$1")
  if [ ! -x "$_loader" ]; then
    echo "$_loader is not installed"
  elif ! _error=$("$_loader" --version 2>&1 >/dev/null); then
    # A kernel built or booted without 32-bit support (ia32_emulation=off,
    # as in some virtual machines) refuses every 32-bit program.
    echo "$_loader does not start here: ${_error##*: }"
  fi
}
