"""The PIN prompt on a terminal: no echo, never printed, asked when needed."""
import os
import pty
import re
import select
import signal
import time
import unittest

from kdtool import KEYDEPOT, OK, PIN_REFUSED, USAGE, WINDOWS, ToolTest, program, to_windows


def as_text(shown):
    """What a terminal shows, as text: Wine's console draws each character with escape sequences (hiding and
    showing the cursor, moving it over spaces) and ends lines with CR CR LF."""
    if not WINDOWS:
        return shown
    shown = re.sub(rb"\x1b\[K\x1b\[(\d+)C", lambda m: b" " * int(m.group(1)), shown)
    return re.sub(rb"\x1b\[[0-9;?]*[A-Za-z]", b"", shown).replace(b"\r", b"")


def ended(pid):
    """The wait status of child pid when it has ended, else None."""
    done, status = os.waitpid(pid, os.WNOHANG)
    return status if done == pid else None


class Prompt(ToolTest):
    def setUp(self):
        super().setUp()
        self.item = self.make_device("tok", "0A1B2C3D", pin=b"1234", extra=("--display-name", "Tour token")) + "cert"
        self.kd("save", self.item, "--pin-file", self.path("tok.pin"), input=b"secret bytes")

    def run_on_terminal(self, args, answer):
        """Runs keydepot with a pseudo-terminal as standard input and error;
        answers the prompt; returns (exit code, everything the terminal showed)."""
        command = program(KEYDEPOT) + [to_windows(arg) if WINDOWS else arg for arg in args]
        env = self.tool_env(None)
        pid, fd = pty.fork()
        if pid == 0:
            os.execve(command[0], command, env)
        shown = b""
        answered = False
        status = None
        deadline = time.monotonic() + 30
        # Until the program ended and showed all it wrote (Wine's console
        # outlives the program, and with it the terminal).
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
            elif status is not None:
                break
            if not answered and b"PIN for" in as_text(shown):
                time.sleep(0.1)  # let the tool turn echo off first
                os.write(fd, answer + (b"\r" if WINDOWS else b"\n"))
                answered = True
            status = status if status is not None else ended(pid)
        while status is None and time.monotonic() < deadline:  # the terminal closed before the program ended
            time.sleep(0.05)
            status = ended(pid)
        if status is None:  # still running at the deadline
            os.kill(pid, signal.SIGKILL)
            os.waitpid(pid, 0)
        os.close(fd)
        self.assertIsNotNone(status, "the program did not end: %r" % as_text(shown))
        self.assertTrue(answered, "no prompt appeared: %r" % shown)
        return os.waitstatus_to_exitcode(status), as_text(shown)

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
