# bash completion for keydepot and nodyx-admin. Commands and options are read
# from the programs' own --help (once per shell and command), so completion
# never drifts from the programs. Storage paths complete to files and, for
# keydepot, to the device paths that `keydepot containers` lists (full paths
# when it is given no location).
# Installed once per program name, where bash-completion looks for it.

# Names listed under "Subcommands:" in the help of "$@".
_keydepot_help_subcommands() {
  "$@" --help 2>/dev/null | awk '/^Subcommands:/ { f = 1; next } f && /^  [a-z]/ { print $1 } f && /^$/ { exit }'
}

# Long and short options in the help of "$@".
_keydepot_help_options() {
  "$@" --help 2>/dev/null | grep -oE -- '(^|[ ,])--?[A-Za-z][A-Za-z0-9-]*' | tr -d ' ,' | sort -u
}

# Cached per program and command chain: help text does not change within a
# shell session.
_keydepot_cached() {
  local kind=$1; shift
  local key
  key=$(printf '%s_' "$kind" "$@" | tr -c 'A-Za-z0-9_' '_')
  local var="_keydepot_cache_${key}"
  if [[ -z ${!var+set} ]]; then
    printf -v "$var" '%s' "$("_keydepot_help_${kind}" "$@")"
  fi
  printf '%s\n' "${!var}"
}

_keydepot_complete() {
  local cur prev words cword
  if declare -F _init_completion >/dev/null; then
    _init_completion -n '\|:' || return
  else
    cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}
    words=("${COMP_WORDS[@]}") cword=$COMP_CWORD
  fi
  local program=${words[0]}

  # The command chain typed so far: each word that names a subcommand of the
  # chain before it.
  local -a chain=("$program")
  local i word
  for ((i = 1; i < cword; i++)); do
    word=${words[i]}
    [[ $word == -* ]] && continue
    if _keydepot_cached subcommands "${chain[@]}" | grep -qxF -- "$word"; then
      chain+=("$word")
    fi
  done

  case $prev in
    -o|--output|-i|--input|--pin-file|--filter|--store|--from|--to)
      compopt -o filenames 2>/dev/null
      mapfile -t COMPREPLY < <(compgen -f -- "$cur")
      return ;;
    --pin-env)
      mapfile -t COMPREPLY < <(compgen -e -- "$cur")
      return ;;
    --pin-fd)
      return ;;
  esac

  if [[ $cur == -* ]]; then
    mapfile -t COMPREPLY < <(compgen -W "$(_keydepot_cached options "${chain[@]}")" -- "$cur")
    return
  fi

  local subs
  subs=$(_keydepot_cached subcommands "${chain[@]}")
  if [[ -n $subs ]]; then
    mapfile -t COMPREPLY < <(compgen -W "$subs" -- "$cur")
    return
  fi

  # A positional argument: a storage path or a local file.
  compopt -o filenames 2>/dev/null
  mapfile -t COMPREPLY < <(compgen -f -- "$cur")
  if [[ ${program##*/} == keydepot && ( -z $cur || $cur == [0-9]* || $cur == \\* ) ]]; then
    local paths
    # Without a location every container is listed as its full path.
    paths=$("$program" containers --skip-default 2>/dev/null)
    local path
    while IFS= read -r path; do
      [[ -n $path && $path == "$cur"* ]] && COMPREPLY+=("$path")
    done <<< "$paths"
  fi
}

complete -F _keydepot_complete keydepot nodyx-admin
