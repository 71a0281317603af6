"""The software token's count of wrong PINs as the tools show it: the tries left after each refused PIN,
the locked device with its own code, the count kept from one process to the next, and nodyx-admin show and
unblock."""
import hashlib
import json
import os
import unittest

from kdtool import OK, PIN_REFUSED, ToolTest


class PinLimit(ToolTest):
    def setUp(self):
        super().setUp()
        self.device = self.make_device("tok", "0A1B2C3D")
        self.set_fast_pin("tok", b"1234")
        self.item = self.device + "cert"
        self.pin = self.write("pin", b"1234\n")
        self.wrong = self.write("wrong", b"9999\n")
        for path in (self.pin, self.wrong):
            os.chmod(path, 0o600)
        self.kd("save", self.item, "--pin-file", self.pin, input=b"abc")

    def set_fast_pin(self, folder, pin):
        """Gives the device the PIN, hashed with the fewest iterations a description takes: each check is cheap."""
        path = os.path.join(self.env["NODYX_STORE"], folder, "device.json")
        with open(path) as f:
            description = json.load(f)
        salt = os.urandom(16)
        description["pin"] = {"salt": salt.hex().upper(), "iterations": 1000,
                              "hash": hashlib.pbkdf2_hmac("sha256", pin, salt, 1000).hex().upper()}
        with open(path, "w") as f:
            json.dump(description, f)

    def show(self):
        """nodyx-admin show tok: its standard output."""
        result = self.admin_run("show", "tok")
        self.assertEqual(result.returncode, 0, result.stderr)
        return result.stdout.decode()

    def load_wrong(self):
        return self.error_of("load", self.item, "--pin-file", self.wrong, expect=PIN_REFUSED)

    def test_each_refusal_tells_the_tries_left_and_the_limit_locks_for_every_process(self):
        for left in range(9, 1, -1):
            self.assertIn("the device refused the PIN (%d tries left)" % left, self.load_wrong())
        self.assertIn("the device refused the PIN (1 try left)", self.load_wrong())
        self.assertIn("the device refused the PIN (no tries left: the device is locked now)", self.load_wrong())
        # Each run above was a process of its own; the right PIN now fails too, with its own code.
        locked = self.kd_json("load", self.item, "--pin-file", self.pin, "-o", self.path("out"),
                              expect=PIN_REFUSED)["error"]
        self.assertEqual(locked["hresult"], "0x8010006C")
        self.assertIn("the device is locked after 10 wrong PINs (SCARD_W_CHV_BLOCKED)", locked["message"])
        self.assertIn("nodyx-admin unblock 0A1B2C3D", locked["message"])
        # Without a PIN too: the tool says locked, not that a PIN is needed.
        self.assertIn("locked after 10 wrong PINs", self.error_of("load", self.item, expect=PIN_REFUSED))
        self.assertIn("PIN:               set, locked after 10 wrong PINs (nodyx-admin unblock)", self.show())

        self.admin("unblock", "0A1B2C3D")  # the tests run as the store's owner
        self.assertEqual(self.kd("load", self.item, "--pin-file", self.pin).stdout, b"abc")
        self.assertIn("PIN:               set, 10 of 10 tries left", self.show())

    def test_listing_presents_the_pin_once_before_any_item(self):
        for name in ("a", "b", "c", "d"):
            self.kd("save", self.device + name, "--pin-file", self.pin, input=name.encode())
        listed = self.kd_json("list", self.device, "--pin-file", self.pin)["items"]
        self.assertEqual([(i["name"], i["bytes"]) for i in listed], [("a", 1), ("b", 1), ("c", 1), ("cert", 3), ("d", 1)])
        error = self.error_of("list", self.device, "--pin-file", self.wrong, expect=PIN_REFUSED)
        self.assertIn("the device refused the PIN (9 tries left): ERROR_INVALID_PASSWORD", error)
        self.assertIn("9 of 10 tries left", self.show())  # five items, one try
        self.assertIn("(8 tries left)", self.error_of("exists", self.item, "--pin-file", self.wrong,
                                                      expect=PIN_REFUSED))

    def test_a_saved_pin_the_device_refuses_is_out_of_date_and_used_once(self):
        for name in ("a", "b", "c"):
            self.kd("save", self.device + name, "--pin-file", self.pin, input=name.encode())
        self.admin("pin", "save", "tok", "--pin-file", self.pin)
        self.set_fast_pin("tok", b"5678")  # the PIN changed on the device since
        error = self.error_of("list", self.device, "--saved-pin", "--show", expect=PIN_REFUSED)
        self.assertIn("the device refused the PIN saved for it (9 tries left), so the saved PIN is out of date", error)
        self.assertIn("save the current one with: nodyx-admin pin save 0A1B2C3D", error)
        copy = self.kd_json("copy", self.item, self.device + "copy", "--src-saved-pin", "--dst-saved-pin",
                            expect=PIN_REFUSED)["error"]
        self.assertIn("saved PIN is out of date", copy["message"])
        self.assertEqual(copy["hresult"], "0x80070056")
        self.assertIn("8 of 10 tries left", self.show())  # one try for each command
        # The command the message gives, run as given, brings the saved PIN up to date.
        self.admin("pin", "save", "0A1B2C3D", "--pin-file", self.write("new", b"5678\n"))
        self.assertEqual(self.kd("load", self.item, "--saved-pin").stdout, b"abc")
        self.assertIn("10 of 10 tries left", self.show())

    def test_devices_tells_the_tries_left(self):
        self.load_wrong()
        device = self.kd_json("devices")["devices"][0]
        self.assertEqual(device["pin"], {"set": True, "locked": False, "tries_left": 9, "try_limit": 10,
                                         "count_low": True, "final_try": False})
        self.assertIn("PIN          9 of 10 tries left", self.kd("devices").stdout.decode())
        for _ in range(8):
            self.load_wrong()
        self.assertTrue(self.kd_json("devices")["devices"][0]["pin"]["final_try"])
        self.load_wrong()
        self.assertIn("PIN          locked after 10 wrong PINs", self.kd("devices").stdout.decode())


if __name__ == "__main__":
    unittest.main()
