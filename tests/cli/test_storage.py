"""load, save, exists, size and delete on folders and on devices."""
import os
import struct
import unittest

from kdtool import (BAD_PATH, FAILED, LOCAL_IO, NO, NOT_FOUND, OK, PIN_REFUSED, USAGE, ToolTest, device_path)

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
        self.assertEqual(os.stat(self.path("out.bin")).st_mode & 0o777, 0o600)

    def test_empty_item_stays_empty(self):
        target = self.path("empty.bin")
        self.kd("save", target, input=b"")
        self.assertEqual(self.kd("load", target).stdout, b"")

    def test_exists_delete_and_the_missing_item(self):
        target = self.path("item.bin")
        self.assertEqual(self.kd_json("exists", target, expect=NO), {"path": target, "exists": False})
        self.kd("save", target, input=b"x")
        self.assertEqual(self.kd("exists", target).stdout, b"exists\n")
        self.assertEqual(self.kd_json("delete", target), {"path": target, "deleted": True})
        self.kd("exists", target, expect=NO)
        self.assertIn("does not exist", self.error_of("load", target, expect=NOT_FOUND))
        self.assertIn("toolkit code 4", self.error_of("load", target, expect=NOT_FOUND))

    def test_size_is_a_number(self):
        size = self.kd_json("size", self.path("any.bin"))["size"]
        self.assertIsInstance(size, int)
        self.assertGreater(size, 0)

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

    def test_raw_load_is_for_device_paths_only(self):
        self.kd("save", self.path("a"), input=b"x")
        self.assertIn("only device paths", self.error_of("load", "--raw", self.path("a"), expect=FAILED))


class DeviceItems(ToolTest):
    def setUp(self):
        super().setUp()
        self.device = self.make_device("tok", "0A1B2C3D", pin=b"1234")
        self.item = self.device + "cert"
        self.write("pin", b"1234\n")

    def test_round_trip_with_each_pin_source(self):
        self.kd("save", self.item, "--pin-file", self.path("pin"), input=BINARY)
        self.assertEqual(self.kd("load", self.item, "--pin-file", self.path("pin")).stdout, BINARY)
        env = dict(self.env, KD_PIN="1234")
        self.assertEqual(self.kd("load", self.item, "--pin-env", "KD_PIN", env=env).stdout, BINARY)
        read_end, write_end = os.pipe()
        os.write(write_end, b"1234\n")
        os.close(write_end)
        try:
            out = self.kd("load", self.item, "--pin-fd", str(read_end), pass_fds=(read_end,)).stdout
        finally:
            os.close(read_end)
        self.assertEqual(out, BINARY)

    def test_load_reports_the_device_identifier(self):
        self.kd("save", self.item, "--pin-file", self.path("pin"), input=b"abc")
        out = self.kd_json("load", self.item, "--pin-file", self.path("pin"), "-o", self.path("o"))
        self.assertEqual(out["device_id"], "0A1B2C3D")

    def test_raw_load_keeps_the_length_prefix(self):
        self.kd("save", self.item, "--pin-file", self.path("pin"), input=b"abc")
        raw = self.kd("load", "--raw", self.item, "--pin-file", self.path("pin")).stdout
        self.assertEqual(raw, struct.pack("<I", 3) + b"abc")

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
        self.kd("load", self.item, "--pin-env", "UNSET_PIN_VARIABLE", expect=LOCAL_IO)

    def test_exists_and_delete(self):
        self.kd("exists", self.item, expect=NO)
        self.kd("save", self.item, "--pin-file", self.path("pin"), input=b"x")
        self.assertEqual(self.kd_json("exists", self.item), {"path": self.item, "exists": True})
        self.kd("delete", self.item, "--pin-file", self.path("pin"))
        self.kd("exists", self.item, expect=NO)

    def test_missing_device_missing_item_and_bad_path(self):
        error = self.error_of("load", device_path("FFFF", "cert"), expect=NOT_FOUND)
        self.assertIn("no attached device", error)
        self.error_of("exists", device_path("FFFF", "cert"), expect=NOT_FOUND)
        error = self.error_of("load", self.device + "absent", "--pin-file", self.path("pin"), expect=NOT_FOUND)
        self.assertIn("item does not exist", error)
        error = self.error_of("load", "abc|def", expect=BAD_PATH)
        self.assertIn("not valid", error)
        self.assertIn("HRESULT 0x", error)

    def test_size_of_a_device(self):
        self.assertGreater(self.kd_json("size", self.item)["size"], 0)

    def test_detached_device_is_not_used(self):
        self.admin("detach", "tok")
        self.error_of("load", self.item, "--pin-file", self.path("pin"), expect=NOT_FOUND)


if __name__ == "__main__":
    unittest.main()
