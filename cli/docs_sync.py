#!/usr/bin/env python3
"""Keeps docs/cli.md in step with the tool's --help.

docs/cli.md holds, for every command, a block

    <!-- help: keydepot load -->
    ```text
    (the output of keydepot load --help)
    ```

--check fails when a block differs from --help, when a command has no block
or when a block names no command; --write rewrites every block from --help.
Usage: docs_sync.py KEYDEPOT_BINARY DOCS_FILE (--check | --write)
"""
import functools
import re
import subprocess
import sys

BLOCK = re.compile(r"<!-- help: (?P<command>[^>]*?) -->\n```text\n(?P<text>.*?)```\n", re.S)


@functools.lru_cache(maxsize=None)
def _help_text(command, words):
    result = subprocess.run([*command, *words, "--help"], capture_output=True, text=True)
    if result.returncode != 0 and len(command) > 1:
        # Under an emulator (Wine), a program has been seen to fail once
        # before it ran; asked again, it answered. Say so, and ask once more.
        print(f"{' '.join([*command, *words, '--help'])} exited with {result.returncode}, asking again: "
              f"{result.stderr.strip()}", file=sys.stderr)
        result = subprocess.run([*command, *words, "--help"], capture_output=True, text=True)
    if result.returncode != 0:
        raise RuntimeError(f"{' '.join([*command, *words, '--help'])} exited with {result.returncode}: "
                           f"{result.stderr.strip() or '(nothing on standard error)'}")
    return result.stdout


def help_text(binary, words):
    """The --help of a command; binary is the program or the command line that starts it (a list).
    Asked once per command: the tests ask again and again."""
    return _help_text((binary,) if isinstance(binary, str) else tuple(binary), tuple(words))


def subcommands(text):
    """The names listed under "Subcommands:" in a --help text."""
    names, inside = [], False
    for line in text.splitlines():
        if line == "Subcommands:":
            inside = True
        elif inside and line.startswith("  ") and line.strip():
            names.append(line.split()[0])
        elif inside:
            break
    return names


def all_commands(binary, words=()):
    """Every command and command group, the tool itself first."""
    found = [list(words)]
    for name in subcommands(help_text(binary, list(words))):
        found += all_commands(binary, (*words, name))
    return found


def compare(binary, text, write=False):
    """What is wrong with the help blocks of text for binary, and the text with every block rewritten from
    --help (when write)."""
    expected = {" ".join(["keydepot", *words]): help_text(binary, words) for words in all_commands(binary)}
    documented = [m.group("command") for m in BLOCK.finditer(text)]
    problems = ["no help block for '%s'" % c for c in expected if c not in documented]
    problems += ["help block for unknown command '%s'" % c for c in documented if c not in expected]
    if write:
        text = BLOCK.sub(lambda m: m.group(0) if m.group("command") not in expected else
                         "<!-- help: %s -->\n```text\n%s```\n" % (m.group("command"), expected[m.group("command")]),
                         text)
    else:
        problems += ["help block for '%s' differs from its --help (run cli/docs_sync.py --write)" % m.group("command")
                     for m in BLOCK.finditer(text)
                     if m.group("command") in expected and m.group("text") != expected[m.group("command")]]
    return problems, text


def main():
    if len(sys.argv) != 4 or sys.argv[3] not in ("--check", "--write"):
        sys.exit(__doc__)
    binary, docs, mode = sys.argv[1:]
    with open(docs, encoding="utf-8") as f:
        text = f.read()
    problems, text = compare(binary, text, write=mode == "--write")
    if mode == "--write":
        with open(docs, "w", encoding="utf-8") as f:
            f.write(text)
    for problem in problems:
        print("docs_sync: " + problem, file=sys.stderr)
    sys.exit(1 if problems else 0)


if __name__ == "__main__":
    main()
