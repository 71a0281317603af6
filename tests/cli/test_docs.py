"""docs/cli.md shows each command's current --help, and every command has --help with an example."""
import os
import subprocess
import sys
import unittest

from kdtool import KEYDEPOT, SOURCE_DIR


class Reference(unittest.TestCase):
    def test_reference_matches_help(self):
        script = os.path.join(SOURCE_DIR, "cli", "docs_sync.py")
        docs = os.path.join(SOURCE_DIR, "docs", "cli.md")
        result = subprocess.run([sys.executable, script, KEYDEPOT, docs, "--check"], capture_output=True, text=True)
        self.assertEqual(result.returncode, 0, result.stderr)

    def test_every_command_has_an_example(self):
        sys.path.insert(0, os.path.join(SOURCE_DIR, "cli"))
        import docs_sync
        for words in docs_sync.all_commands(KEYDEPOT):
            self.assertIn("Example", docs_sync.help_text(KEYDEPOT, words), words)


if __name__ == "__main__":
    unittest.main()
