"""What is made from the tool's own --help stays right: docs/cli.md shows each command's current
--help, every command has an example, and the bash completion offers the commands, options and
device paths."""
import os
import shlex
import subprocess
import sys
import unittest

from kdtool import ADMIN, KEYDEPOT, SOURCE_DIR, WINDOWS, ToolTest, device_path, program

sys.path.insert(0, os.path.join(SOURCE_DIR, "cli"))
import docs_sync  # noqa: E402  (its --help texts are asked once for all tests here)


class Reference(unittest.TestCase):
    def test_reference_matches_help(self):
        with open(os.path.join(SOURCE_DIR, "docs", "cli.md"), encoding="utf-8") as f:
            problems, _ = docs_sync.compare(program(KEYDEPOT), f.read())
        self.assertEqual(problems, [])

    def test_every_command_has_an_example(self):
        for words in docs_sync.all_commands(program(KEYDEPOT)):
            self.assertIn("Example", docs_sync.help_text(program(KEYDEPOT), words), words)
        for command in ("create", "list", "show", "remove", "attach", "detach", "set-pin", "clear-pin", "put-item",
                        "get-item", "list-items", "delete-item", "put-container", "list-containers",
                        "remove-container"):
            result = subprocess.run([*program(ADMIN), command, "--help"], capture_output=True, text=True, timeout=60)
            self.assertEqual(result.returncode, 0, command)
            self.assertIn("Example:\n  nodyx-admin " + command, result.stdout, command)


@unittest.skipIf(WINDOWS, "bash completion is for Linux shells; the Windows packages install none")
class Completion(ToolTest):
    def complete(self, *words):
        """The words bash completion offers for the command line `words` (last word: being typed)."""
        script = os.path.join(SOURCE_DIR, "tools", "completion", "keydepot.bash")
        binary = KEYDEPOT if words[0] == "keydepot" else ADMIN
        line = " ".join(shlex.quote(w) for w in (binary,) + words[1:])
        if words[-1] == "":
            line += " ''"
        probe = ("source %s; COMP_WORDS=(%s); COMP_CWORD=$((${#COMP_WORDS[@]}-1)); "
                 "_keydepot_complete; printf '%%s\\n' \"${COMPREPLY[@]}\"") % (shlex.quote(script), line)
        result = subprocess.run(["bash", "-c", probe], capture_output=True, text=True, env=self.env,
                                cwd=self.tmp, timeout=60)
        self.assertEqual(result.returncode, 0, result.stderr)
        return [w for w in result.stdout.split("\n") if w]

    def test_commands_and_options_come_from_the_help(self):
        top = sorted({words[0] for words in docs_sync.all_commands(KEYDEPOT) if words})
        self.assertEqual(sorted(self.complete("keydepot", "")), top)
        self.assertIn("--pin-file", self.complete("keydepot", "load", "--pin"))
        self.assertIn("status", self.complete("nodyx-admin", "pin", "s"))
        self.assertIn("--json", self.complete("nodyx-admin", "pin", "status", "--j"))

    def test_storage_paths_offer_device_paths_and_files(self):
        path = self.make_device("t1", "0A1B2C3D")
        self.kd("save", path + "keys", "-i", self.write("cert.pem", b"x"))
        offered = self.complete("keydepot", "load", "")
        self.assertIn(path + "keys", offered)
        self.assertIn("cert.pem", offered)
        self.assertEqual(self.complete("keydepot", "load", "--pin-file", "ce"), ["cert.pem"])


if __name__ == "__main__":
    unittest.main()
