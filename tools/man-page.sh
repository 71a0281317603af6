#!/usr/bin/env bash
# Writes a program's man page from its own --help, so the page never drifts
# from the program: help2man formats the top-level help, and a COMMANDS
# section holds the --help of every subcommand (one level of nesting). The
# sections help cannot hold (ENVIRONMENT, EXIT STATUS, FILES) come from
# help2man include files (tools/man/). OUTPUT is written gzipped, as Debian
# installs man pages.
#
#   tools/man-page.sh PROGRAM NAME-LINE VERSION OUTPUT.gz [INCLUDE...]
set -euo pipefail
program=$1 description=$2 version=$3 output=$4
shift 4
includes=()
for file in "$@"; do includes+=(--include="$file"); done
include=$(mktemp)
page=$(mktemp)
trap 'rm -f "$include" "$page"' EXIT

subcommands() {  # the names listed under "Subcommands:" of "$@ --help"
  "$@" --help | awk '/^Subcommands:/ { f = 1; next } f && /^  [a-z]/ { print $1 } f && /^$/ { exit }'
}
roff_block() {  # help text as a no-fill block; '\' and leading '.' or "'" are escaped
  printf '.nf\n'
  sed -e 's/\\/\\e/g' -e "s/^\\([.']\\)/\\\\\\&\\1/"
  printf '.fi\n'
}

{
  printf '[COMMANDS]\n'
  for cmd in $(subcommands "$program"); do
    printf '.SS %s\n' "$cmd"
    "$program" "$cmd" --help | roff_block
    for sub in $(subcommands "$program" "$cmd"); do
      printf '.SS "%s %s"\n' "$cmd" "$sub"
      "$program" "$cmd" "$sub" --help | roff_block
    done
  done
} > "$include"

help2man --no-info --no-discard-stderr --version-string="$version" \
  --name="$description" --include="$include" "${includes[@]}" --output="$page" "$program"
# -n: no name or time stamp inside, so the same page gives the same bytes.
gzip -9nc "$page" > "$output"
