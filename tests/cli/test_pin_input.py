"""The PIN prompt on a terminal: no echo, never printed, asked when needed."""
import os
import pty
import select
import time
import unittest

from kdtool import KEYDEPOT, OK, PIN_REFUSED, USAGE, ToolTest


class Prompt(ToolTest):
    def setUp(self):
        super().setUp()
        self.item = self.make_device("tok", "0A1B2C3D", pin=b"1234", extra=("--display-name", "Tour token")) + "cert"
        self.kd("save", self.item, "--pin-file", self.path("tok.pin"), input=b"secret bytes")

    def run_on_terminal(self, args, answer):
        """Runs keydepot with a pseudo-terminal as standard input and error;
        answers the prompt; returns (exit code, everything the terminal showed)."""
        pid, fd = pty.fork()
        if pid == 0:
            os.execve(KEYDEPOT, [KEYDEPOT, *args], self.env)
        shown = b""
        answered = False
        deadline = time.monotonic() + 30
        while time.monotonic() < deadline:
            ready, _, _ = select.select([fd], [], [], 0.2)
            if ready:
                try:
                    chunk = os.read(fd, 1024)
                except OSError:  # the child closed the terminal
                    break
                if not chunk:
                    break
                shown += chunk
            if not answered and b"PIN for" in shown:
                time.sleep(0.1)  # let the tool turn echo off first
                os.write(fd, answer + b"\n")
                answered = True
        _, status = os.waitpid(pid, 0)
        os.close(fd)
        self.assertTrue(answered, "no prompt appeared: %r" % shown)
        return os.waitstatus_to_exitcode(status), shown

    def test_asked_pin_is_not_echoed(self):
        code, shown = self.run_on_terminal(["load", self.item, "--ask-pin", "-o", self.path("out")], b"1234")
        self.assertEqual(code, OK, shown)
        self.assertIn(b"PIN for Tour token (", shown)
        self.assertNotIn(b"1234", shown)
        self.assertEqual(self.read("out"), b"secret bytes")

    def test_prompt_when_the_device_wants_a_pin(self):
        code, shown = self.run_on_terminal(["load", self.item, "-o", self.path("out")], b"1234")
        self.assertEqual(code, OK, shown)
        self.assertEqual(self.read("out"), b"secret bytes")

    def test_wrong_pin_on_the_prompt(self):
        code, shown = self.run_on_terminal(["delete", self.item, "--ask-pin"], b"55555")
        self.assertEqual(code, PIN_REFUSED)
        self.assertIn(b"refused the PIN", shown)
        self.assertNotIn(b"55555", shown)
        self.kd("exists", self.item)

    def test_no_prompt_without_a_terminal(self):
        self.kd("load", self.item, "--ask-pin", expect=USAGE)
        self.kd("load", self.item, expect=PIN_REFUSED)


if __name__ == "__main__":
    unittest.main()
