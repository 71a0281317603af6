"""A store, saved PINs and folder items that move between systems: made by the Windows programs (under
Wine), read by the Linux programs, and the other way round. Runs in the Windows builds, with the Linux
build's programs from LINUX_KEYDEPOT_BIN and LINUX_NODYX_ADMIN_BIN."""
import json
import os
import re
import struct
import subprocess
import unittest

from kdtool import SAVED_PINS_KEY, SOURCE_DIR, WINDOWS, ToolTest, device_path

LINUX_KEYDEPOT = os.environ.get("LINUX_KEYDEPOT_BIN", "")
LINUX_ADMIN = os.environ.get("LINUX_NODYX_ADMIN_BIN", "")
BOTH = WINDOWS and all(os.access(p, os.X_OK) for p in (LINUX_KEYDEPOT, LINUX_ADMIN))
SAMPLE = os.path.join(SOURCE_DIR, "cli", "tour", "sample-cert.pem")
BINARY = bytes(range(256)) + b"\r\n\x00\n"
VALUE_TYPES = {"REG_BINARY": 3, "REG_DWORD": 4}


@unittest.skipUnless(BOTH, "needs the Windows programs and the Linux build's (KEYDEPOT_LINUX_TOOLS_DIR)")
class AcrossSystems(ToolTest):
    def linux(self, binary, *args, input=b"", expect=0):
        """Runs a Linux program on the test's store and registry; returns its standard output."""
        result = subprocess.run([binary, *args], input=input, env=self.env, capture_output=True, timeout=60)
        self.assertEqual(result.returncode, expect, result.stderr)
        return result.stdout

    def test_a_store_made_on_windows_is_read_and_changed_on_linux(self):
        device = self.make_device("tok", "0A1B2C3D", pin=b"1234")
        pin = self.path("tok.pin")
        self.kd("save", device + "cert", "--pin-file", pin, "-i", SAMPLE)
        with open(SAMPLE, "rb") as f:
            self.assertEqual(self.linux(LINUX_KEYDEPOT, "load", device + "cert", "--pin-file", pin), f.read())
        # Linux adds an item with a name beyond ASCII; Windows reads it and lists both alike.
        self.linux(LINUX_KEYDEPOT, "save", device + "clé 证书", "--pin-file", pin, input=BINARY)
        self.assertEqual(self.kd("load", device + "clé 证书", "--pin-file", pin).stdout, BINARY)
        listed = self.kd_json("list", device, "--pin-file", pin)
        self.assertEqual(listed, json.loads(self.linux(LINUX_KEYDEPOT, "list", device, "--pin-file", pin, "--json")))
        self.assertEqual([item["name"] for item in listed["items"]], ["cert", "clé 证书"])
        # The count of wrong PINs is the store's, on both systems.
        self.kd("load", device + "cert", "--pin-file", self.write("bad", b"9999\n"), expect=5)
        self.assertIn(b"9 of 10 tries left", self.linux(LINUX_ADMIN, "show", "tok"))

    def windows_registry(self):
        """The saved PINs' keys and values in the Wine registry: {key path below MTRVShared: {name: bytes}}."""
        keys, key = {}, None
        for line in self.windows_command("reg", "query", SAVED_PINS_KEY, "/s", "/reg:32").splitlines():
            if line.startswith("HKEY_"):
                key = re.sub(r"^.*?\\MTRVShared\\?", "", line, flags=re.I)
            elif line.strip() and key is not None:
                name, kind, data = line.split(None, 2)
                self.assertIn(kind, VALUE_TYPES, line)
                value = int(data, 16).to_bytes(4, "little") if kind == "REG_DWORD" else bytes.fromhex(data)
                keys.setdefault(key, {})[name] = (VALUE_TYPES[kind], value)
        return keys

    def write_linux_registry(self, keys):
        """Writes keys below MTRVShared into the Linux registry store (docs/toolkit.md, "Registry")."""
        base = os.path.join(self.env["KEYDEPOT_REGISTRY"], "software", "maltrove", "mtrvshared")
        for key, values in keys.items():
            folder = os.path.join(base, *key.lower().split("\\"))
            os.makedirs(folder, mode=0o700, exist_ok=True)
            data = b"KDRG" + struct.pack("<I", 1)
            for name, (kind, value) in values.items():
                data += struct.pack("<I", len(name)) + name.encode() + struct.pack("<II", kind, len(value)) + value
            fd = os.open(os.path.join(folder, ".values"), os.O_WRONLY | os.O_CREAT | os.O_EXCL, 0o600)
            with os.fdopen(fd, "wb") as f:
                f.write(data)

    def test_a_pin_saved_on_windows_deciphers_on_linux_with_the_machine_key(self):
        device = self.make_device("tok", "0A1B2C3D", pin=b"1234")
        self.admin("pin", "save", "tok", "--pin-file", self.path("tok.pin"))
        self.kd("save", device + "cert", "--saved-pin", input=BINARY)
        keys = self.windows_registry()
        self.assertIn("PinCipher", keys)
        self.assertTrue(any(key.startswith("AD\\") for key in keys), keys)
        self.write_linux_registry(keys)
        self.assertEqual(self.linux(LINUX_KEYDEPOT, "load", device + "cert", "--saved-pin"), BINARY)
        self.assertEqual(json.loads(self.linux(LINUX_KEYDEPOT, "pin", "show", device, "--json")),
                         {"device_path": device, "saved": True, "readable": True})

    def test_folder_items_saved_on_each_system_read_on_the_other(self):
        os.mkdir(self.path("keys é"))
        from_windows, from_linux = self.path("keys é", "clé 证书.pem"), self.path("keys é", "linux.bin")
        self.kd("save", from_windows, input=BINARY)
        self.assertEqual(self.linux(LINUX_KEYDEPOT, "load", from_windows), BINARY)
        self.linux(LINUX_KEYDEPOT, "save", from_linux, input=BINARY[::-1])
        self.assertEqual(self.kd("load", from_linux).stdout, BINARY[::-1])
        # Both systems name the items alike.
        listed = self.kd_json("list", self.path("keys é"))
        self.assertEqual(listed, json.loads(self.linux(LINUX_KEYDEPOT, "list", self.path("keys é"), "--json")))
        self.assertEqual([(item["name"], item["path"]) for item in listed["items"]],
                         [("clé 证书.pem", from_windows), ("linux.bin", from_linux)])


if __name__ == "__main__":
    unittest.main()
