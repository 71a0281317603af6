"""devices, containers and filter save."""
import json
import os
import subprocess
import unittest

from kdtool import LOCAL_IO, NOT_FOUND, NO_OTHER_USER, OTHER_USER, WINDOWS, ToolTest, device_path

DISABLES_100 = b'<deviceTypeFilter><deviceType number="100" enabled="false"/></deviceTypeFilter>'


class Devices(ToolTest):
    def test_no_devices(self):
        self.assertEqual(self.kd("devices").stdout, b"No devices attached.\n")
        self.assertEqual(self.kd_json("devices"), {"devices": []})

    def test_every_field_of_attached_devices(self):
        self.make_device("tok", "0A1B2C3D", extra=("--display-name", "Tour token"))
        self.make_device("cry", "C0C0", type_number=200, extra=("--crypto",))
        self.make_device("gone", "0D0D", extra=("--detached",))
        devices = sorted(self.kd_json("devices")["devices"], key=lambda d: d["type"])
        self.assertEqual(len(devices), 2)
        self.assertEqual(devices[0], {"type": 100, "type_name": "SoftToken", "display_name": "Tour token",
                                      "system_name": "tok", "id_text": "0A1B2C3D",
                                      "device_path": device_path("0A1B2C3D"), "crypto": False,
                                      "pin": {"set": False, "locked": False, "tries_left": None, "try_limit": None,
                                              "count_low": False, "final_try": False}})
        self.assertEqual((devices[1]["type"], devices[1]["crypto"]), (200, True))
        human = self.kd("devices").stdout.decode()
        self.assertIn("Tour token", human)
        self.assertIn(device_path("0A1B2C3D"), human)
        self.assertIn("PIN          none (every PIN is taken)", human)

    def test_names_from_the_store_reach_the_terminal_clean(self):
        device = self.make_device("tok", "0A1B2C3D")
        record_path = os.path.join(self.env["NODYX_STORE"], "tok", "device.json")
        with open(record_path) as f:
            record = json.load(f)
        # Clears the screen, sets the window title, starts a C1 sequence, reverses the text.
        hostile = "Evil\x1b[2J\x1b]0;owned\x07\u009b31m\u202etxt"
        record["displayName"], record["systemName"] = hostile, "sys\x1b[2J"
        with open(record_path, "w") as f:
            json.dump(record, f)
        self.admin("put-item", "tok", "\u009b2Jitem", input=b"x")
        outputs = [self.kd(*args) for args in (("devices",), ("list", device),
                                               ("exists", "\\\\!\\SoftToken\\0A1B2C3D\\\u009b2Jitem"))]
        for args in (("list",), ("show", "tok"), ("list-items", "tok")):
            outputs.append(self.admin_run(*args))
            self.assertEqual(outputs[-1].returncode, 0, outputs[-1].stderr)
        for result in outputs:
            printed = result.stdout + result.stderr
            for control in (b"\x1b", b"\x07", "\u009b".encode(), "\u202e".encode()):
                self.assertNotIn(control, printed, result.args)
        self.assertIn(b"Evil_[2J_]0;owned__31m_txt", outputs[0].stdout)
        self.assertIn(b"_2Jitem", outputs[1].stdout)
        # Scripts get the names exactly, escaped by JSON.
        listed = self.kd("devices", "--json").stdout
        for control in (b"\x1b", b"\x07", "\u009b".encode(), "\u202e".encode()):
            self.assertNotIn(control, listed)
        self.assertEqual(json.loads(listed)["devices"][0]["display_name"], hostile)
        self.assertEqual(self.kd_json("list", device)["items"][0]["name"], "\u009b2Jitem")


class Containers(ToolTest):
    def setUp(self):
        super().setUp()
        self.device = self.make_device("tok", "0A1B2C3D", extra=("--default-container", "main"))
        for item in ("main", "other"):
            self.kd("save", self.device + item, input=b"x")

    def test_default_container_or_all(self):
        self.assertEqual(self.kd("containers", self.device).stdout, b"main\n")
        listed = self.kd_json("containers", self.device, "--skip-default")
        self.assertEqual(sorted(listed["containers"]), ["main", "other"])
        self.assertFalse(listed["partial"])

    def test_without_a_location_each_container_is_a_full_path(self):
        # Two devices with containers of the same name: bare names would not
        # tell them apart.
        second = self.make_device("tok2", "0B0B", extra=("--default-container", "main"))
        self.kd("save", second + "main", input=b"y")
        self.assertEqual(sorted(self.kd("containers").stdout.decode().splitlines()),
                         sorted([self.device + "main", second + "main"]))
        listed = self.kd_json("containers", "--skip-default")
        self.assertTrue(listed["paths"])
        self.assertEqual(sorted(listed["containers"]), sorted([self.device + "main", self.device + "other",
                                                               second + "main"]))

    def test_full_paths_name_their_device(self):
        paths = self.kd_json("containers", "--skip-default", "--paths")["containers"]
        self.assertEqual(sorted(paths), [self.device + "main", self.device + "other"])
        self.assertEqual(self.kd_json("info", paths[0])["device_id"], "0A1B2C3D")

    def test_location_naming_a_container(self):
        self.assertEqual(self.kd_json("containers", self.device + "other")["containers"], ["other"])
        self.assertIn("has a container 'absent'", self.error_of("containers", self.device + "absent",
                                                                 expect=NOT_FOUND))
        self.error_of("containers", "nosuch", expect=NOT_FOUND)
        self.assertIn("no attached device matches", self.error_of("containers", "\\\\!\\SoftToken\\FFFF",
                                                                   expect=NOT_FOUND))

    def test_bad_location(self):
        self.assertIn("not a valid storage path", self.error_of("containers", "x|y", expect=6))


class NoDevices(ToolTest):
    """An empty listing says what may stand in the way, on standard error; the listing itself stays."""

    def listing(self, **env):
        result = self.kd("devices", env=dict(self.env, **env))
        self.assertEqual(result.stdout, b"No devices attached.\n")
        return result.stderr.decode()

    def test_a_store_that_is_a_file_or_missing_is_named(self):
        self.write("file", b"x")
        self.assertIn("device store " + self.path("file") + " (NODYX_STORE) is not a folder",
                      self.listing(NODYX_STORE=self.path("file")))
        self.assertIn("device store " + self.path("none") + " (NODYX_STORE) does not exist",
                      self.listing(NODYX_STORE=self.path("none")))

    def test_a_missing_module_is_named(self):
        module = self.path("no-such-module" + (".dll" if WINDOWS else ".so"))
        os.mkdir(self.path("store"))
        error = self.listing(NODYX_PKCS11_MODULES=module)
        self.assertIn("the PKCS#11 module " + module + " does not exist", error)
        self.assertIn("nodyx-admin pkcs11 modules", error)

    def test_a_usable_empty_store_says_nothing(self):
        os.mkdir(self.path("store"))
        self.assertEqual(self.listing(), "")


class AdminStore(ToolTest):
    def test_a_store_that_cannot_be_created_is_named(self):
        os.mkdir(self.path("root-only"))
        env = dict(self.env, KEYDEPOT_COMMON_APPDATA=self.path("root-only"))
        del env["NODYX_STORE"]
        error = self.admin("create", "t1", expect=LOCAL_IO, env=env, prefix=self.as_other_user())
        self.assertIn("device store " + self.path("root-only", "Maltrove", "nodyx") + " cannot be created", error)
        self.assertIn("NODYX_STORE", error)


class FilterSave(ToolTest):
    def test_creates_the_named_file(self):
        target = self.path("filter.xml")
        self.assertEqual(self.kd_json("filter", "save", "--filter", target), {"filter": target, "saved": True})
        self.assertTrue(os.path.getsize(target) > 0)
        # The saved file opens again as a session's filter.
        self.kd("devices", "--filter", target)

    def test_a_missing_folder_is_named(self):
        target = self.path("no", "such", "folder", "f.xml")
        self.assertIn(target + ": its folder does not exist",
                      self.error_of("filter", "save", "--filter", target, expect=NOT_FOUND))
        # The shared filter on a machine where nobody made its folder yet: which file, and what to do. (On
        # Windows the shared folder is the Wine prefix's, which exists.)
        if WINDOWS:
            return
        shared = os.path.join(self.env["KEYDEPOT_COMMON_APPDATA"], "Maltrove", "device_type_filter.xml")
        error = self.error_of("filter", "save", expect=NOT_FOUND)
        self.assertIn(shared + ": its folder does not exist", error)
        self.assertIn("--filter FILE", error)


@unittest.skipIf(WINDOWS or not OTHER_USER, NO_OTHER_USER)
class UntrustedConfiguration(ToolTest):
    """Shared configuration another user could have written is ignored, and the tool says why."""

    def setUp(self):
        super().setUp()
        self.make_device("tok", "0A1B2C3D")
        self.shared = self.path("common", "Maltrove")
        os.makedirs(self.shared, exist_ok=True)
        os.chmod(self.tmp, 0o755)
        os.chmod(self.path("common"), 0o755)
        os.chmod(self.shared, 0o755)
        # A file every user may write must be refused: else the trust check
        # is not in force in this build yet.
        os.mkdir(self.path("probe"))
        probe = self.write(os.path.join("probe", "f.xml"), DISABLES_100)
        os.chmod(probe, 0o666)
        if self.types("--filter", probe) != [100]:
            self.skipTest("kdp::CheckTrusted refuses nothing yet")

    def types(self, *args):
        return [device["type"] for device in self.kd_json("devices", *args)["devices"]]

    def test_filter_file_another_user_owns_is_ignored(self):
        shared = os.path.join(self.shared, "device_type_filter.xml")
        with open(shared, "wb") as f:
            f.write(DISABLES_100)
        result = self.kd("devices")
        self.assertEqual((result.stdout, result.stderr), (b"No devices attached.\n", b""))

        os.chown(shared, 65534, 65534)
        self.assertEqual(self.types(), [100])
        warning = "the device-type filter %s is ignored: " % shared
        self.assertIn(warning, self.kd("devices").stderr.decode())
        self.assertIn(warning, self.kd("info", device_path("0A1B2C3D", "c")).stderr.decode())
        # Saving replaces the other user's file with root's own.
        self.assertIn(warning, self.kd("filter", "save").stderr.decode())
        self.assertEqual(os.stat(shared).st_uid, 0)
        self.assertEqual(self.kd("devices").stderr, b"")

    def test_module_list_another_user_wrote_is_ignored(self):
        env = dict(self.env)
        del env["NODYX_PKCS11_MODULES"]
        os.chmod(self.shared, 0o777)
        config = os.path.join(self.shared, "nodyx-pkcs11.conf")
        subprocess.run([*OTHER_USER, "sh", "-c", "echo /tmp/planted.so > " + config], check=True)
        self.assertIn("the PKCS#11 module list %s is ignored: " % config, self.kd("devices", env=env).stderr.decode())
        listed = self.admin_run("pkcs11", "modules", env=env)
        self.assertIn("%s\tignored\t" % config, listed.stdout.decode())
        self.assertNotIn("planted", listed.stdout.decode())


class RelativeModulePaths(ToolTest):
    def test_are_not_used_and_the_tool_says_so(self):
        env = dict(self.env, NODYX_PKCS11_MODULES="libsofthsm2.so")
        result = self.kd("devices", env=env)
        self.assertIn("the PKCS#11 module libsofthsm2.so is not used: not an absolute path", result.stderr.decode())


class SavedPins(ToolTest):
    def test_saved_pin_is_shown_as_saved_and_removed(self):
        device = self.make_device("tok", "0A1B2C3D")
        self.assertEqual(self.kd_json("pin", "show", device), {"device_path": device, "saved": False})
        self.admin("pin", "save", "tok", "--pin-file", self.write("pin", b"1234\n"))
        result = self.kd("pin", "show", device, "--json")
        self.assertNotIn(b"1234", result.stdout + result.stderr)
        self.assertEqual(json.loads(result.stdout), {"device_path": device, "saved": True, "readable": True})
        self.assertEqual(self.kd_json("pin", "remove", device), {"device_path": device, "removed": True})
        self.assertFalse(self.kd_json("pin", "show", "\\\\!\\SoftToken\\0A1B2C3D")["saved"])
        self.assertIn("no PIN is saved", self.error_of("pin", "remove", device, expect=NOT_FOUND))

    def test_saved_pin_that_no_longer_deciphers(self):
        device = self.make_device("tok", "0A1B2C3D")
        self.admin("pin", "save", "tok", "--pin-file", self.write("pin", b"1234\n"))
        self.forget_machine_key()
        shown = self.kd_json("pin", "show", device)
        self.assertEqual((shown["saved"], shown["readable"]), (True, False))
        self.assertIn("HRESULT", shown["read_error"])

    def test_missing_device_and_bad_path(self):
        for command in ("show", "remove"):
            error = self.error_of("pin", command, device_path("FFFF"), expect=NOT_FOUND)
            self.assertIn("no attached device", error)
            self.kd("pin", command, "x|y", expect=6)


if __name__ == "__main__":
    unittest.main()
