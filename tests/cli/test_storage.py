"""load, save, exists, size and delete on folders and on devices."""
import json
import os
import struct
import subprocess
import unittest

from kdtool import (BAD_PATH, EXISTS, FAILED, LOCAL_IO, NO, NO_MODES, NO_OTHER_USER, NOT_FOUND, OTHER_USER,
                    PIN_REFUSED, USAGE, WINDOWS, ToolTest, device_path)

# Every byte value, line ends and a zero among them: nothing may be added or lost.
BINARY = bytes(range(256)) + b"\r\n\x00\n" + bytes(range(255, -1, -1))


class FolderItems(ToolTest):
    def test_binary_round_trip_through_standard_streams(self):
        target = self.path("keys", "item.bin")
        self.kd("save", target, input=BINARY)
        self.assertEqual(self.kd("load", target).stdout, BINARY)

    def test_round_trip_through_files_and_json_shapes(self):
        source = self.write("in.bin", BINARY)
        target = self.path("keys", "item.bin")
        self.assertEqual(self.kd_json("save", target, "-i", source), {"path": target, "bytes": len(BINARY)})
        loaded = self.kd_json("load", target, "-o", self.path("out.bin"))
        self.assertEqual(loaded, {"path": target, "output": self.path("out.bin"), "bytes": len(BINARY),
                                  "device_id": None})
        self.assertEqual(self.read("out.bin"), BINARY)

    @unittest.skipIf(WINDOWS, NO_MODES)
    def test_a_loaded_file_is_the_owners_only(self):
        self.kd("save", self.path("item.bin"), input=b"key")
        self.kd("load", self.path("item.bin"), "-o", self.path("out.bin"))
        self.assertEqual(os.stat(self.path("out.bin")).st_mode & 0o777, 0o600)

    def test_empty_input_and_no_clobber_keep_the_item(self):
        target = self.write("item.pem", b"precious")
        self.assertIn("is empty", self.error_of("save", target, expect=LOCAL_IO))
        self.assertIn("exists already", self.error_of("save", target, "--no-clobber", input=b"x", expect=EXISTS))
        self.assertEqual(self.read("item.pem"), b"precious")
        self.kd("save", target, "--allow-empty")
        self.assertEqual(self.kd("load", target).stdout, b"")
        self.kd("save", self.path("new.pem"), "--no-clobber", input=b"x")

    def test_exists_delete_and_the_missing_item(self):
        target = self.path("item.bin")
        self.assertEqual(self.kd_json("exists", target, expect=NO), {"path": target, "exists": False})
        self.kd("save", target, input=b"x")
        self.assertEqual(self.kd("exists", target).stdout, b"exists\n")
        self.assertEqual(self.kd_json("delete", target), {"path": target, "deleted": True})
        self.kd("exists", target, expect=NO)
        self.assertIn("does not exist", self.error_of("delete", target, expect=NOT_FOUND))
        error = self.error_of("load", target, expect=NOT_FOUND)
        self.assertIn("does not exist", error)
        self.assertIn("toolkit code 4", error)

    def test_size_is_a_number_and_takes_no_pin(self):
        size = self.kd_json("size", self.path("any.bin"))["size"]
        self.assertIsInstance(size, int)
        self.assertGreater(size, 0)
        self.kd("size", self.path("any.bin"), "--pin-env", "X", expect=USAGE)

    def test_local_files_that_cannot_be_used(self):
        self.assertIn("cannot open", self.error_of("save", self.path("a"), "-i", self.path("none"), expect=LOCAL_IO))
        self.kd("save", self.path("a"), input=b"x")
        error = self.error_of("load", self.path("a"), "-o", self.path("no", "such", "dir"), expect=LOCAL_IO)
        self.assertIn("cannot create", error)

    def test_usage_errors(self):
        self.kd("load", self.path("a"), "--json", expect=USAGE)          # stdout would mix item and JSON
        self.kd("load", expect=USAGE)
        self.kd("load", self.path("a"), "--pin-fd", "-1", expect=USAGE)
        self.write("p", b"1\n")
        self.kd("load", self.path("a"), "--pin-file", self.path("p"), "--pin-env", "X", expect=USAGE)
        self.assertIn("device items", self.error_of("load", self.path("p"), "--pin-file", self.path("p"),
                                                    expect=USAGE))
        self.assertIn("--raw is for device items", self.error_of("load", "--raw", self.path("p"), expect=USAGE))
        self.assertIn("did you mean 'load'", self.error_of("lod", "x", expect=USAGE))
        # What other tools take a PIN with is refused by name, pointing at the PIN options, never echoing it.
        for args in (("--pin", "7531"), ("--pin=7531",), ("--pinfile", "x"), ("--password", "7531")):
            message = self.error_of("load", self.path("a"), *args, expect=USAGE)
            self.assertIn("PINs never come from the command line", message)
            self.assertIn("--pin-file", message)
            self.assertNotIn("7531", message)

    def test_failures_say_what_stands_in_the_way(self):
        folder = self.path("keys")
        os.mkdir(folder)
        self.assertIn("is a folder", self.error_of("save", folder, input=b"x", expect=BAD_PATH))
        self.assertIn("is a folder", self.error_of("delete", folder, expect=BAD_PATH))
        self.assertIn("at most 255", self.error_of("save", self.path("n" * 300), input=b"x", expect=BAD_PATH))
        self.assertIn("no drive a: is mapped", self.error_of("save", "a:b.pem", input=b"x", expect=BAD_PATH))
        if not WINDOWS:  # ':' is a name's own character on Linux only
            self.kd("save", "./a:b.pem", input=b"x", cwd=self.tmp)

    def test_a_folder_the_caller_may_not_write_is_named(self):
        folder = self.path("keys")
        os.mkdir(folder)
        other = self.as_other_user()
        self.kd("save", self.path("keys", "k.pem"), input=b"x")
        error = self.error_of("save", self.path("keys", "new.pem"), input=b"x", prefix=other, expect=LOCAL_IO)
        self.assertIn("may not write in the folder " + folder, error)
        self.assertIn("may not", self.error_of("delete", self.path("keys", "k.pem"), prefix=other, expect=LOCAL_IO))
        self.assertIn("may not create folders", self.error_of("save", self.path("keys", "sub", "k.pem"),
                                                              input=b"x", prefix=other, expect=LOCAL_IO))

    def test_folders_and_huge_files_are_not_loaded(self):
        os.mkdir(self.path("keys"))
        self.assertIn("is a folder", self.error_of("load", self.path("keys"), expect=BAD_PATH))
        with open(self.path("huge"), "wb") as f:
            f.truncate(4 << 30)  # sparse: no disk space used
        self.assertIn("smaller than 4 GiB", self.error_of("load", self.path("huge"), expect=FAILED))

    def test_json_failures_print_an_error_object(self):
        result = self.kd("load", self.path("missing"), "-o", self.path("o"), "--json", expect=NOT_FOUND)
        error = json.loads(result.stdout)["error"]
        self.assertEqual((error["code"], error["toolkit"], error["hresult"]), (NOT_FOUND, 4, "0x80070002"))
        self.assertIn("does not exist", error["message"])
        usage = json.loads(self.kd("lod", "--json", expect=USAGE).stdout)["error"]
        self.assertEqual((usage["code"], usage["toolkit"]), (USAGE, None))

    def test_quiet_prints_only_the_data(self):
        target = self.path("item.bin")
        for args in (("save", target), ("exists", target), ("--quiet", "delete", target)):
            quiet = [] if args[0] == "--quiet" else ["-q"]
            result = self.kd(*args, *quiet, input=b"x")
            self.assertEqual(result.stdout + result.stderr, b"")


@unittest.skipIf(WINDOWS or not OTHER_USER, NO_OTHER_USER)
class SharedFolders(ToolTest):
    """What another user placed in a folder others can write never steers a save, and the tools say so."""

    def setUp(self):
        super().setUp()
        self.other = self.as_other_user()
        os.mkdir(self.path("root-only"), 0o700)
        self.important = self.write(os.path.join("root-only", "important.conf"), b"precious")
        self.pub = self.path("pub")
        os.mkdir(self.pub)
        os.chmod(self.pub, 0o1777)

    def as_other(self, *command):
        subprocess.run([*self.other, *command], check=True)

    def planted_link(self, name):
        link = os.path.join(self.pub, name)
        self.as_other("ln", "-s", self.important, link)
        return link

    def their_empty_file(self, name):
        target = os.path.join(self.pub, name)
        self.as_other("touch", target)
        self.as_other("chmod", "0666", target)
        return target

    def assert_untouched(self):
        self.assertEqual(self.read(os.path.join("root-only", "important.conf")), b"precious")

    def test_save_refuses_a_link_planted_by_another_user(self):
        link = self.planted_link("cert.pem")
        key = self.write("key.pem", b"private key")
        error = self.error_of("save", link, "-i", key, expect=LOCAL_IO)
        self.assertIn(link + " is a link owned by another user (uid 65534) in " + self.pub +
                      ", a folder other users can write", error)
        self.assert_untouched()
        self.assertTrue(os.path.islink(link))

    def test_load_output_refuses_another_users_file_and_link(self):
        self.kd("save", self.path("item.pem"), input=b"private key")
        out = self.their_empty_file("out.pem")
        error = self.error_of("load", self.path("item.pem"), "-o", out, expect=LOCAL_IO)
        self.assertIn(out + " belongs to another user (uid 65534)", error)
        self.assertEqual(os.path.getsize(out), 0)
        self.assertEqual(os.stat(out).st_uid, 65534)
        self.assertEqual(os.stat(out).st_mode & 0o777, 0o666)
        link = self.planted_link("cert.pem")
        self.assertIn("is a link owned by another user",
                      self.error_of("load", self.path("item.pem"), "-o", link, expect=LOCAL_IO))
        self.assert_untouched()
        # The caller's own file and link there work as anywhere else.
        mine = os.path.join(self.pub, "mine.pem")
        self.kd("load", self.path("item.pem"), "-o", mine)
        os.symlink(mine, os.path.join(self.pub, "my-link.pem"))
        self.kd("load", self.path("item.pem"), "-o", os.path.join(self.pub, "my-link.pem"))
        self.assertEqual(self.read(os.path.join("pub", "mine.pem")), b"private key")

    def test_admin_get_item_refuses_them_too(self):
        self.make_device("tok", "0A1B")
        self.admin("put-item", "tok", "key", "--from", self.write("key.pem", b"private key"))
        link = self.planted_link("cert.pem")
        error = self.admin("get-item", "tok", "key", "--to", link, expect=LOCAL_IO)
        self.assertIn(link + " is a link owned by another user", error)
        out = self.their_empty_file("out.pem")
        self.assertIn(out + " belongs to another user", self.admin("get-item", "tok", "key", "--to", out, expect=LOCAL_IO))
        self.assertEqual(os.path.getsize(out), 0)
        self.assert_untouched()

    def test_a_device_another_user_made_is_not_read(self):
        path = self.make_device("tok", "0A1B")
        device = self.path("store", "tok")
        os.mkdir(os.path.join(device, "items"), 0o700)
        os.symlink(self.important, os.path.join(device, "items", "cert"))
        # The caller's own link where an item should be: no item.
        result = self.kd("load", path + "cert", "--raw", "-o", "-", expect=NOT_FOUND)
        self.assertNotIn(b"precious", result.stdout + result.stderr)
        self.assertNotIn("cert", self.kd("list", path).stdout.decode())
        # A device folder of another user: no device.
        subprocess.run(["chown", "-R", "-h", "65534:65534", device], check=True)
        result = self.kd("load", path + "cert", "--raw", "-o", "-", expect=NOT_FOUND)
        self.assertNotIn(b"precious", result.stdout + result.stderr)
        self.assertIn("folder 'tok' is not seen as a device: " + device + " is owned by another user",
                      self.admin("list"))
        error = self.admin("get-item", "tok", "cert", "--raw", expect=LOCAL_IO)
        self.assertIn(device + " is owned by another user", error)

    def test_a_store_others_may_write_is_not_used(self):
        self.make_device("tok", "0A1B")
        os.chmod(self.path("store"), 0o777)
        self.assertIn(self.path("store") + " is writable by other users", self.admin("list", expect=LOCAL_IO))
        self.assertIn(self.path("store") + " is writable by other users", self.admin("show", "tok", expect=LOCAL_IO))
        self.assertEqual(self.kd_json("devices")["devices"], [])


class DeviceItems(ToolTest):
    def setUp(self):
        super().setUp()
        self.device = self.make_device("tok", "0A1B2C3D", pin=b"1234", extra=("--display-name", "Tour token"))
        self.item = self.device + "cert"
        self.write("pin", b"1234\n")
        os.chmod(self.path("pin"), 0o600)

    def test_a_device_form_naming_no_device_offers_the_close_ones(self):
        # The device's system name is its folder, "tok".
        error = self.error_of("load", "\\\\.\\tko\\cert", expect=NOT_FOUND)
        self.assertIn("no device has the system name 'tko'; did you mean \\\\.\\tok?", error)
        self.assertNotIn("Win32 error", error)
        error = self.error_of("load", "\\\\!\\SoftToken\\0A1B2C3E\\cert", expect=NOT_FOUND)
        self.assertIn("did you mean \\\\!\\SoftToken\\0A1B2C3D?", error)
        error = self.error_of("load", "\\\\.\\unrelated-name\\cert", expect=NOT_FOUND)
        self.assertNotIn("did you mean", error)
        # A backslash too few is a file path, with a note.
        self.assertIn("is read as a file path; a device form begins with",
                      self.error_of("load", "\\\\.tok\\cert", expect=NOT_FOUND))


    def test_round_trip_with_each_pin_source(self):
        self.kd("save", self.item, "--pin-file", self.path("pin"), input=BINARY)
        self.assertEqual(self.kd("load", self.item, "--pin-file", self.path("pin")).stdout, BINARY)
        env = dict(self.env, KD_PIN="1234")
        self.assertEqual(self.kd("load", self.item, "--pin-env", "KD_PIN", env=env).stdout, BINARY)
        if WINDOWS:
            # A descriptor of the C run-time: a Windows parent passes others; standard input is one.
            self.assertEqual(self.kd("load", self.item, "--pin-fd", "0", input=b"1234\n").stdout, BINARY)
        else:
            read_end, write_end = os.pipe()
            os.write(write_end, b"1234\n")
            os.close(write_end)
            try:
                out = self.kd("load", self.item, "--pin-fd", str(read_end), pass_fds=(read_end,)).stdout
            finally:
                os.close(read_end)
            self.assertEqual(out, BINARY)
        self.write("crlf", b"1234\r\n")  # written on Windows
        self.assertEqual(self.kd("load", self.item, "--pin-file", self.path("crlf")).stdout, BINARY)

    def test_named_device_paths_resolve_to_their_device(self):
        named = "\\\\!\\SoftToken\\0A1B2C3D\\cert"
        result = self.kd("save", named, "--pin-file", self.path("pin"), input=b"abc")
        self.assertIn(("is %s on Tour token" % self.item).encode(), result.stderr)
        self.assertEqual(self.kd("load", self.item, "--pin-file", self.path("pin")).stdout, b"abc")
        self.assertEqual(self.kd_json("exists", "\\\\.\\tok\\cert"),
                         {"path": "\\\\.\\tok\\cert", "resolved": self.item, "exists": True})
        error = self.error_of("exists", "\\\\!\\SoftToken\\FFFF\\cert", expect=NOT_FOUND)
        self.assertIn("no attached device matches", error)

    def test_device_type_paths_say_which_device_they_take(self):
        self.kd("save", "DEV|105|cert|", "--pin-file", self.path("pin"), input=b"abc")
        result = self.kd("load", "DEV|100|cert|", "--pin-file", self.path("pin"))
        self.assertEqual(result.stdout, b"abc")
        self.assertIn(b"first device of type 100: Tour token", result.stderr)
        self.assertIn("no attached device has the type 101", self.error_of("load", "DEV|101|cert|", expect=NOT_FOUND))

    def test_saved_pin(self):
        self.kd("save", self.item, "--pin-file", self.path("pin"), input=b"abc")
        self.assertIn("no PIN is saved", self.error_of("load", self.item, "--saved-pin", expect=LOCAL_IO))
        self.admin("pin", "save", "tok", "--pin-file", self.path("pin"))
        self.assertEqual(self.kd("load", self.item, "--saved-pin").stdout, b"abc")
        self.assertEqual(self.kd("load", "DEV|100|cert|", "--saved-pin").stdout, b"abc")
        self.forget_machine_key()
        self.assertIn("does not decipher", self.error_of("load", self.item, "--saved-pin", expect=LOCAL_IO))

    def test_items_stored_without_their_length(self):
        self.admin("put-item", "tok", "cert", input=b"abc")  # as keydepot save stores it
        self.assertEqual(self.kd("load", self.item, "--pin-file", self.path("pin")).stdout, b"abc")
        raw = self.kd("load", "--raw", self.item, "--pin-file", self.path("pin")).stdout
        self.assertEqual(raw, struct.pack("<I", 3) + b"abc")  # --raw keeps the length
        self.admin("put-item", "tok", "cert", "--raw", input=b"rawdata")
        for path in (self.item, "DEV|100|cert|"):
            error = self.error_of("load", path, "--pin-file", self.path("pin"), expect=FAILED)
            self.assertIn("holds 7 bytes", error)
            self.assertIn("--raw", error)
            self.assertEqual(self.kd("load", "--raw", path, "--pin-file", self.path("pin")).stdout, b"rawdata")
        self.admin("put-item", "tok", "cert", "--raw")
        self.assertIn("holds 0 bytes", self.error_of("load", self.item, "--pin-file", self.path("pin"), expect=FAILED))

    def test_pin_missing_wrong_or_unusable(self):
        error = self.error_of("save", self.item, input=b"x", expect=PIN_REFUSED)
        self.assertIn("PIN", error)
        self.write("bad", b"98765\n")
        self.kd("save", self.item, "--pin-file", self.path("pin"), input=b"x")
        for args in (("load", self.item), ("delete", self.item)):
            error = self.error_of(*args, "--pin-file", self.path("bad"), expect=PIN_REFUSED)
            self.assertIn("refused the PIN", error)
            self.assertNotIn("98765", error)
        self.write("empty", b"\n")
        self.assertIn("no usable PIN", self.error_of("load", self.item, "--pin-file", self.path("empty"),
                                                      expect=LOCAL_IO))
        self.assertIn("is not set", self.error_of("load", self.item, "--pin-env", "UNSET_PIN", expect=LOCAL_IO))
        # The length limit is the one the message states, for every source.
        self.assertIn("over 1023 bytes", self.error_of("load", self.item, "--pin-file", self.path("empty"),
                                                        expect=LOCAL_IO))
        for length, expect in ((1023, PIN_REFUSED), (1024, LOCAL_IO)):
            self.write("long", b"9" * length + b"\n")
            self.error_of("load", self.item, "--pin-file", self.path("long"), expect=expect)
            self.write("long", b"9" * length + b"\r\n")
            self.error_of("load", self.item, "--pin-file", self.path("long"), expect=expect)
            env = dict(self.env, KD_PIN="9" * length)
            self.error_of("load", self.item, "--pin-env", "KD_PIN", env=env, expect=expect)

    @unittest.skipIf(WINDOWS, NO_MODES)
    def test_a_pin_file_others_may_read_is_used_with_a_warning(self):
        self.kd("save", self.item, "--pin-file", self.path("pin"), input=b"x")
        os.chmod(self.path("pin"), 0o644)
        result = self.kd("load", self.item, "--pin-file", self.path("pin"))
        self.assertIn(b"warning: the PIN file", result.stderr)
        self.assertIn(b"can be read by other users", result.stderr)

    def test_exists_and_delete(self):
        self.kd("exists", self.item, expect=NO)
        self.kd("save", self.item, "--pin-file", self.path("pin"), input=b"x")
        self.assertEqual(self.kd_json("exists", self.item), {"path": self.item, "exists": True})
        self.kd("delete", self.item, "--pin-file", self.path("pin"))
        self.kd("exists", self.item, expect=NO)
        self.kd("delete", self.item, "--pin-file", self.path("pin"), expect=NOT_FOUND)

    def test_missing_device_missing_item_and_bad_path(self):
        error = self.error_of("load", device_path("FFFF", "cert"), expect=NOT_FOUND)
        self.assertIn("no attached device", error)
        self.error_of("exists", device_path("FFFF", "cert"), expect=NOT_FOUND)
        error = self.error_of("load", self.device + "absent", "--pin-file", self.path("pin"), expect=NOT_FOUND)
        self.assertIn("item does not exist", error)
        error = self.error_of("load", "abc|def", expect=BAD_PATH)
        self.assertIn("not a valid storage path", error)
        self.assertNotIn("65535", error)

    def test_refused_item_names_say_which_rule_and_their_neighbours_are_kept(self):
        pin = ("--pin-file", self.path("pin"))
        for name, rule in (("a/b", "it holds '/'"), ("..", "'.' and '..' name folders")):
            self.assertIn("the item name '%s': %s" % (name, rule),
                          self.error_of("save", self.device + name, *pin, input=b"x", expect=BAD_PATH))
        rules = {"CON.txt": "Windows keeps it for a device", "a:b": "it holds one of :", "dot.": "it ends in '.' or ' '"}
        refused = ("a:b", "con", "CON.txt", "Nul.txt", "aux .tar.gz", "COM1", "lpt9", "com\u00b9", "CONIN$",
                   "conout$.log", "dot.", "space ", "a<b", "a>b", 'a"b', "a?b", "a*b")
        for name in refused:
            error = self.error_of("save", self.device + name, *pin, input=b"x", expect=BAD_PATH)
            self.assertIn("the item name '%s': %s" % (name, rules.get(name, "")), error)
            self.assertIn("Windows", error)  # the rule is Windows', kept on every system
            self.assertIn("invalid item name", self.admin("put-item", "tok", name, input=b"x", expect=BAD_PATH))
        # Too long: said so, never "no device matches".
        error = self.error_of("save", "\\\\!\\SoftToken\\0A1B2C3D\\" + "x" * 300, *pin, input=b"x",
                              expect=BAD_PATH)
        self.assertRegex(error, "longer than 255 bytes|the path is too long")
        self.assertIn("with any extension", self.admin("put-item", "tok", "nul.txt", input=b"x", expect=BAD_PATH))
        self.assertIn("Windows does not allow", self.admin("put-item", "tok", "a|b", input=b"x", expect=BAD_PATH))
        self.assertIn("invalid name", self.admin("put-container", "tok", "prn", expect=BAD_PATH))
        self.assertIn("invalid device name", self.admin("create", "aux", "--type", "100", expect=BAD_PATH))
        self.assertEqual(self.kd_json("list", self.device, *pin)["items"], [])
        kept = ("a_b", "console", "nul_txt", "com10", "lpt", "dot.x", ".dot", " lead", "con1.txt")
        for name in kept:
            self.kd("save", self.device + name, *pin, input=name.encode() * 2)
        self.assertEqual({(item["name"], item["bytes"]) for item in self.kd_json("list", self.device, *pin)["items"]},
                         {(name, 2 * len(name)) for name in kept})
        self.admin("put-container", "tok", "prn1")


if __name__ == "__main__":
    unittest.main()
