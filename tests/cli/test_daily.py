"""Daily use: interrupted saves leave nothing behind, any stream is input, and the room told is the room a save has."""
import os
import signal
import subprocess
import threading
import time
import unittest

from kdtool import BAD_PATH, FAILED, KEYDEPOT, NO_MODES, OK, OTHER_USER, WINDOWS, ToolTest, program

NO_SIGNALS = "Windows has no POSIX signals and no FIFOs"
STALE = time.time() - 3600  # an hour ago: no live save keeps a temporary file that long


def temporaries(folder):
    return sorted(name for name in os.listdir(folder) if name.startswith(".kdtmp-"))


@unittest.skipIf(WINDOWS, NO_SIGNALS)
class InterruptedSaves(ToolTest):
    def start_big_save(self, target, megabytes):
        source = self.path("big.bin")
        with open(source, "wb") as f:
            f.truncate(megabytes << 20)
        return subprocess.Popen([*program(KEYDEPOT), "save", target, "-i", source], env=self.tool_env(None),
                                stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)

    def watch(self, save, folder, until_seen):
        """Polls folder while save runs; returns the modes of the temporary files seen."""
        modes = []
        while save.poll() is None:
            for name in temporaries(folder):
                try:
                    modes.append(os.stat(os.path.join(folder, name)).st_mode & 0o777)
                except FileNotFoundError:
                    pass
            if modes and until_seen:
                break
            time.sleep(0.001)
        return modes

    def test_a_signal_during_a_save_keeps_the_old_item_and_removes_the_temporary_file(self):
        for number in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP):
            with self.subTest(signal=number.name):
                # A folder each, so that what one case leaves cannot start the next one's signal.
                folder = self.path("keys-" + number.name)
                os.mkdir(folder)
                target = os.path.join(folder, "item.bin")
                with open(target, "wb") as f:
                    f.write(b"old item")
                save = self.start_big_save(target, 200)
                seen = self.watch(save, folder, until_seen=True)
                self.assertTrue(seen, "the save ended before its temporary file was seen")
                save.send_signal(number)
                save.wait(60)
                save.stderr.close()
                self.assertEqual(save.returncode, 128 + number)
                self.assertEqual(temporaries(folder), [])
                with open(target, "rb") as f:
                    self.assertEqual(f.read(), b"old item")

    def test_the_temporary_file_is_owner_only_until_it_takes_the_name(self):
        target = self.write("item.bin", b"old item")
        os.chmod(target, 0o644)
        save = self.start_big_save(target, 100)
        modes = self.watch(save, self.tmp, until_seen=False)
        save.stderr.close()
        self.assertEqual(save.returncode, OK)
        self.assertTrue(modes, "the save ended before its temporary file was seen")
        self.assertEqual(set(modes), {0o600})
        self.assertEqual(os.stat(target).st_mode & 0o777, 0o644)


@unittest.skipIf(WINDOWS, NO_MODES)
class Leftovers(ToolTest):
    def leftover(self, name, when=STALE):
        path = self.write(name, b"part of a key")
        os.utime(path, (when, when))
        return path

    def test_the_next_save_removes_only_the_callers_stale_leftovers(self):
        self.leftover(".kdtmp-Stale1")
        self.leftover(".kdtmp-Fresh1", time.time())
        victim = self.write("victim", b"not a leftover")
        os.symlink(victim, self.path(".kdtmp-Link01"))
        os.utime(self.path(".kdtmp-Link01"), (STALE, STALE), follow_symlinks=False)
        listed = self.kd_json("list", self.tmp, "--all")["items"]
        self.assertEqual([item["name"] for item in listed if item.get("leftover")], [".kdtmp-Fresh1", ".kdtmp-Stale1"])
        self.assertNotIn(".kdtmp", self.kd("list", self.tmp).stdout.decode())
        self.assertIn("left by an interrupted save", self.kd("list", self.tmp, "--all").stdout.decode())

        self.kd("save", self.path("item.bin"), input=b"new")
        self.assertEqual(temporaries(self.tmp), [".kdtmp-Fresh1", ".kdtmp-Link01"])
        self.assertEqual(self.read("victim"), b"not a leftover")

    def test_another_users_leftover_is_kept(self):
        if not OTHER_USER:
            self.skipTest("needs root to act as a second user")
        theirs = self.leftover(".kdtmp-Their1")
        os.chown(theirs, 65534, 65534)
        self.kd("save", self.path("item.bin"), input=b"new")
        # A folder the other user may write, holding the caller's leftover:
        # their save leaves it too.
        shared = self.path("shared")
        os.mkdir(shared)
        os.chmod(shared, 0o777)
        mine = os.path.join(shared, ".kdtmp-Mine01")
        with open(mine, "wb") as f:
            f.write(b"x")
        os.utime(mine, (STALE, STALE))
        self.kd("save", os.path.join(shared, "item.bin"), input=b"new", prefix=self.as_other_user())
        self.assertEqual(temporaries(self.tmp), [".kdtmp-Their1"])
        self.assertEqual(temporaries(shared), [".kdtmp-Mine01"])


class StreamInput(ToolTest):
    CERTLESS = b"plain text\n"

    def test_standard_input_by_name_and_as_dash(self):
        if not WINDOWS:
            self.kd("save", self.path("a.bin"), "-i", "/dev/stdin", input=b"from a pipe")
            self.assertEqual(self.read("a.bin"), b"from a pipe")
            shown = self.kd_json("show", "/dev/stdin", input=self.CERTLESS)
            self.assertEqual((shown["path"], shown["bytes"]), ("/dev/stdin", len(self.CERTLESS)))
        shown = self.kd_json("show", "-", input=self.CERTLESS)
        self.assertEqual((shown["path"], shown["bytes"]), ("-", len(self.CERTLESS)))
        self.assertIn("standard input: 11 bytes", self.kd("show", "-", input=self.CERTLESS).stdout.decode())

    @unittest.skipIf(WINDOWS, NO_SIGNALS)
    def test_fifos_and_process_substitution(self):
        fifo = self.path("fifo")
        os.mkfifo(fifo)

        def feed():
            with open(fifo, "wb") as f:
                f.write(b"through a FIFO")

        writer = threading.Thread(target=feed)
        writer.start()
        self.kd("save", self.path("f.bin"), "-i", fifo)
        writer.join()
        self.assertEqual(self.read("f.bin"), b"through a FIFO")
        script = '"$0" save "$1" -i <(printf substituted)'
        subprocess.run(["bash", "-c", script, KEYDEPOT, self.path("p.bin")], check=True, env=self.tool_env(None),
                       capture_output=True, timeout=60)
        self.assertEqual(self.read("p.bin"), b"substituted")

    def test_a_folder_given_to_i_or_o_is_named_as_one(self):
        self.kd("save", self.path("item.bin"), input=b"x")
        self.assertIn("is a folder", self.error_of("save", self.path("new.bin"), "-i", self.tmp, expect=BAD_PATH))
        self.assertIn("is a folder", self.error_of("load", self.path("item.bin"), "-o", self.tmp, expect=BAD_PATH))
        self.assertFalse(os.path.exists(self.path("new.bin")))


class Figures(ToolTest):
    def test_a_device_takes_exactly_the_room_size_tells(self):
        device = self.make_device("tok", "0A1B", extra=("--room", "1000"))
        room = self.kd_json("size", device + "item")["size"]
        self.assertEqual(room, 996)
        self.kd("save", device + "item", input=b"x" * room)
        self.assertEqual(len(self.kd("load", device + "item").stdout), room)
        error = self.error_of("save", device + "item", input=b"x" * (room + 1), expect=FAILED)
        self.assertIn("4-byte record", error)


if __name__ == "__main__":
    unittest.main()
