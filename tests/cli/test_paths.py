"""info, complete and compare."""
import os
import unittest

from kdtool import BAD_PATH, NO, NOT_FOUND, OK, USAGE, WINDOWS, ToolTest, device_path


class Info(ToolTest):
    def test_file_path_with_sub_name(self):
        info = self.kd_json("info", self.path("keys", "cert.pem:.sig"))
        self.assertEqual(info["form"], "file-system path")
        self.assertFalse(info["device"])
        self.assertEqual((info["location"], info["container"], info["sub_name"]),
                         (self.path("keys") + "/", "cert.pem", "sig"))
        self.assertEqual(info["storage_type"], {"value": 1, "name": "folder"})
        self.assertIsNone(info["device_id"])

    def test_device_path_of_an_attached_and_a_missing_device(self):
        path = self.make_device("tok", "0A1B2C3D") + "keys:.x"
        info = self.kd_json("info", path)
        self.assertEqual((info["form"], info["device"], info["container"], info["sub_name"]),
                         ("device path", True, "keys", "x"))
        self.assertEqual(info["location"], device_path("0A1B2C3D"))
        self.assertEqual(info["storage_type"], {"value": 2, "name": "device"})
        self.assertEqual(info["device_id"], "0A1B2C3D")
        missing = self.kd_json("info", device_path("FFFF", "keys"))
        self.assertIsNone(missing["storage_type"])
        self.assertIn("HRESULT", missing["storage_type_error"])

    def test_prefixed_forms_are_not_split_at_sub_names(self):
        info = self.kd_json("info", "\\\\!\\SoftToken\\0A1B\\K:.x")
        self.assertEqual((info["form"], info["container"], info["sub_name"]), ("named device", "K:.x", ""))

    def test_bad_device_path_says_which_part_is_wrong(self):
        error = self.error_of("info", "x|y", expect=BAD_PATH)
        self.assertIn("not a valid storage path", error)
        for path, fault in (("1|2\\5|100\\17|ZZ\\8|x", "identifier 'ZZ' is not hexadecimal"),
                            ("1|2\\5|100\\17|\\8|x", "identifier is empty"),
                            ("1|2\\5|tok\\17|0A1B\\8|x", "device type 'tok' is not a decimal number")):
            self.assertIn(fault, self.error_of("info", path, expect=BAD_PATH), path)

    def test_forms_only_the_storage_functions_read(self):
        device = self.make_device("tok", "0A1B2C3D")
        info = self.kd_json("info", "DEV|105|k|")
        self.assertEqual((info["form"], info["device_type"], info["location"], info["container"]),
                         ("device type", 100, device, "k"))
        self.assertEqual((info["storage_type"]["value"], info["device_id"]), (2, "0A1B2C3D"))
        self.assertIsNone(self.kd_json("info", "DEV|101|k|")["storage_type"])
        named = self.kd_json("info", "\\\\!\\SoftToken\\0A1B2C3D\\k")
        self.assertEqual((named["resolved"], named["device_id"]), (device + "k", "0A1B2C3D"))
        fls = self.kd_json("info", "FLS|%s|" % self.path("a.pem"))
        self.assertEqual((fls["form"], fls["container"]), ("FLS file", "a.pem"))


class Complete(ToolTest):
    def containers(self, base, name):
        if WINDOWS:  # the system's folders (the Wine prefix's)
            folder = "C:\\ProgramData" if base == "KEYDEPOT_COMMON_APPDATA" else "C:\\users\\%s\\AppData\\Local" % (
                os.environ.get("USER") or "root")
            return "\\".join((folder, "Maltrove", "Containers", name))
        return os.path.join(self.env[base], "Maltrove", "Containers", name)

    def test_names_land_in_the_application_data_folders(self):
        self.assertEqual(self.kd("complete", "k1").stdout.decode(),
                         self.containers("KEYDEPOT_COMMON_APPDATA", "k1") + "\n")
        self.assertEqual(self.kd_json("complete", "--local", "k1")["full_path"],
                         self.containers("KEYDEPOT_LOCAL_APPDATA", "k1"))
        self.assertEqual(self.kd_json("complete", "", "--sub-name", "s")["full_path"],
                         self.containers("KEYDEPOT_COMMON_APPDATA", "sgn_cont:.s"))

    def test_device_designation_becomes_a_device_path(self):
        device = self.make_device("tok", "0A1B2C3D")
        out = self.kd_json("complete", "\\\\!\\SoftToken\\", "--container", "keys")
        self.assertEqual(out["full_path"], device + "keys")
        error = self.error_of("complete", "\\\\!\\SoftCrypto\\", expect=NOT_FOUND)
        self.assertIn("no attached device", error)

    def test_local_excludes_container_and_sub_name(self):
        self.kd("complete", "--local", "k", "--container", "c", expect=USAGE)


class Compare(ToolTest):
    def test_file_paths_and_sub_names(self):
        a = self.path("keys", "k1")
        self.assertEqual(self.kd("compare", a, a).stdout, b"same place\n")
        self.assertIn(b"sub-names differ ('' and 'x'", self.kd("compare", a, a + ":.x").stdout)
        self.assertEqual(self.kd_json("compare", a, a + ":.x", "--sub-names", expect=NO),
                         {"equal": False, "sub_names_differ": True})
        self.kd("compare", a, self.path("keys", "k2"), expect=NO)

    def test_device_paths_compare_by_identity_and_exact_container(self):
        device = self.make_device("tok", "0A1B2C3D")
        reordered = "8|keys\\5|100\\17|0A1B2C3D\\1|2"
        self.kd("compare", device + "keys", reordered, expect=OK)
        self.kd("compare", device + "keys", device + "KEYS", expect=NO)
        self.kd("compare", device + "keys", self.path("keys"), expect=NO)
        self.kd("compare", "\\\\!\\SoftToken\\0A1B2C3D\\keys", device + "keys", expect=OK)
        self.kd("compare", "DEV|100|keys|", device + "keys", expect=OK)
        self.kd("compare", "DEV|100|keys|", "DEV|100|other|", expect=NO)

    def test_bad_path(self):
        self.kd("compare", "x|y", self.path("a"), expect=BAD_PATH)


if __name__ == "__main__":
    unittest.main()
