"""devices, containers, save, load, exists, delete and pin on SoftHSM2 tokens."""
import os
import shutil
import subprocess
import unittest

from kdtool import ADMIN, FAILED, KEYDEPOT, PIN_REFUSED, USAGE, WINDOWS, ToolTest

MODULE = os.environ.get("SOFTHSM2_MODULE", "")
UTIL = os.environ.get("SOFTHSM2_UTIL", "softhsm2-util")
ITEM = bytes(range(256)) * 20 + b"\x00end"  # over 4 KiB, every byte value


@unittest.skipIf(WINDOWS, "SoftHSM2 is a Linux module")
@unittest.skipUnless(MODULE, "SoftHSM2 is not installed")
class SoftHsmTokens(ToolTest):
    """Two tokens of one module, made fresh for each test."""

    def setUp(self):
        super().setUp()
        os.makedirs(self.path("tokens"))
        conf = "directories.tokendir = %s\nobjectstore.backend = file\nlog.level = ERROR\n" % self.path("tokens")
        self.env.update(SOFTHSM2_CONF=self.write("softhsm2.conf", conf.encode()), NODYX_PKCS11_MODULES=MODULE)
        for label, pin in (("Card A", "2468"), ("Card B", "1357")):
            self.tool(UTIL, "--init-token", "--free", "--label", label, "--so-pin", "0000", "--pin", pin)
        self.pin = self.write("pin", b"2468\n")
        os.chmod(self.pin, 0o600)
        self.devices = {d["display_name"]: d for d in self.kd_json("devices")["devices"]}

    def tool(self, *args, expect=0):
        result = subprocess.run(args, env=self.env, capture_output=True, timeout=60)
        self.assertEqual(result.returncode, expect, result.stderr)

    def test_each_token_is_a_device(self):
        self.assertEqual(sorted(self.devices), ["Card A", "Card B"])
        card = self.devices["Card A"]
        self.assertEqual((card["type"], card["type_name"], card["crypto"]), (300, "Pkcs11Token", True))
        self.assertTrue(card["system_name"].startswith("SoftHSM slot ID"), card)
        self.assertEqual(card["device_path"], "1|2\\5|300\\17|%s\\8|" % card["id_text"])

    # Wrong PINs, the other token and deleting: SoftHsmTest (tests/pkcs11/posix).
    def test_items_round_trip_and_are_hidden_before_the_pin(self):
        device = self.devices["Card A"]["device_path"]
        for name, data in (("cert", ITEM), ("key", b"k")):
            self.kd("save", device + name, "--pin-file", self.pin, input=data)
        self.assertEqual(self.kd("load", device + "cert", "--pin-file", self.pin).stdout, ITEM)
        self.assertTrue(self.kd_json("exists", device + "cert", "--pin-file", self.pin)["exists"])
        self.kd("exists", device + "cert", expect=PIN_REFUSED)  # the token hides private objects before a login
        listed = self.kd_json("list", device, "--pin-file", self.pin)["items"]
        self.assertEqual([(i["name"], i["bytes"]) for i in listed], [("cert", len(ITEM)), ("key", 1)])
        designated = "\\\\!\\Pkcs11Token\\" + self.devices["Card A"]["id_text"]
        self.assertIn(b"key", self.kd("list", designated, "--pin-file", self.pin).stdout)
        self.assertIn("shows its items only after its PIN", self.error_of("list", device, expect=PIN_REFUSED))

    def test_refused_pins_tell_what_the_token_tells(self):
        device = self.devices["Card A"]["device_path"]
        self.assertFalse(self.devices["Card A"]["pin"]["count_low"])
        bad = self.write("bad", b"1111\n")
        # SoftHSM2 marks "count low" after a wrong PIN (and never locks).
        error = self.error_of("list", device, "--pin-file", bad, expect=PIN_REFUSED)
        self.assertIn("the device refused the PIN (few tries left): ERROR_INVALID_PASSWORD", error)
        card = {d["display_name"]: d for d in self.kd_json("devices")["devices"]}["Card A"]
        self.assertEqual(card["pin"], {"set": True, "locked": False, "tries_left": None, "try_limit": None,
                                       "count_low": True, "final_try": False})
        self.assertIn("PIN          few tries left", self.kd("devices").stdout.decode())
        self.kd("list", device, "--pin-file", self.pin)
        self.assertIn("PIN          no wrong PIN reported", self.kd("devices").stdout.decode())

    def test_concurrent_saves_to_one_item_all_find_the_token(self):
        item = self.devices["Card A"]["device_path"] + "cert"
        env = self.tool_env(self.env)
        writers = [subprocess.Popen([KEYDEPOT, "save", item, "--pin-file", self.pin, "-i", self.write("in%d" % i, ITEM)],
                                    env=env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE) for i in range(20)]
        failures = [w.stderr.read().decode() for w in writers if w.wait(timeout=120) != 0]
        self.assertEqual(failures, [], "\n".join(failures))
        self.assertEqual(self.kd("load", item, "--pin-file", self.pin).stdout, ITEM)

    @unittest.skipUnless(shutil.which("p11tool"), "p11tool (gnutls-bin) is not installed")
    def test_containers_of_private_objects_are_listed_after_the_pin(self):
        key = self.path("key.pem")
        self.tool("openssl", "genpkey", "-algorithm", "EC", "-pkeyopt", "ec_paramgen_curve:P-256", "-out", key)
        self.env["GNUTLS_PIN"] = "2468"
        self.tool("p11tool", "--provider", MODULE, "--login", "--write", "--load-privkey", key, "--label", "hidden",
                  "--id", "02", "pkcs11:token=Card%20A")
        device = self.devices["Card A"]["device_path"]
        self.assertEqual(self.kd_json("containers", device, "--skip-default")["containers"], [])
        self.assertEqual(self.kd_json("containers", device, "--skip-default", "--pin-file", self.pin)["containers"],
                         ["hidden"])
        self.kd("containers", device, "--pin-file", self.write("bad", b"1111\n"), expect=PIN_REFUSED)
        self.kd("containers", "--pin-file", self.pin, expect=USAGE)

    def test_save_as_certificate_makes_a_certificate_object(self):
        device = self.devices["Card A"]["device_path"]
        key, pem = self.path("key.pem"), self.path("cert.pem")
        self.tool("openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:P-256", "-nodes",
                  "-keyout", key, "-subj", "/CN=tour", "-out", pem)
        der = subprocess.run(["openssl", "x509", "-in", pem, "-outform", "DER"], capture_output=True).stdout
        saved = self.kd_json("save", device + "web", "-i", pem, "--as", "certificate", "--pin-file", self.pin)
        self.assertEqual((saved["bytes"], saved["as"]), (len(der), "certificate"))
        # A public certificate object of its own container: listed without a PIN.
        listed = self.kd_json("containers", "--skip-default", "--paths")
        self.assertEqual(listed["containers"], [device + "web"])
        self.assertEqual(self.kd("load", device + "web", "--pin-file", self.pin).stdout, der)
        refused = self.kd("save", device + "web", "-i", key, "--as", "certificate", "--pin-file", self.pin,
                          expect=FAILED)
        self.assertIn(b"not one X.509 certificate", refused.stderr)
        self.kd("save", self.path("file.der"), "-i", pem, "--as", "certificate", expect=USAGE)
        # A key pair's container is no item: its keys are never read.
        self.tool(UTIL, "--import", key, "--token", "Card A", "--label", "sig", "--id", "01", "--pin", "2468")
        refused = self.kd("load", device + "sig", "--pin-file", self.pin, expect=FAILED)
        self.assertIn(b"keys never leave the token", refused.stderr)
        shown = self.kd_json("show", device + "sig", "--pin-file", self.pin)
        self.assertNotIn("objects", shown)
        self.assertEqual([(k["class"], k["type"], k["bits"], k["extractable"] if "extractable" in k else None)
                          for k in shown["key_objects"]],
                         [("private key", "EC", 256, False), ("public key", "EC", 256, None)])
        self.assertIn("sign", shown["key_objects"][0]["usage"])

    def test_saved_pin_is_checked_by_the_token_and_keyed_by_its_identifier(self):
        device = self.devices["Card A"]["device_path"]
        self.tool(ADMIN, "pin", "save", "Card A", "--pin-file", self.write("bad", b"1111\n"), expect=PIN_REFUSED)
        self.tool(ADMIN, "pin", "save", "Card A", "--pin-file", self.pin)
        self.assertEqual(self.kd_json("pin", "show", device), {"device_path": device, "saved": True, "readable": True})
        self.assertTrue(self.kd_json("pin", "remove", device)["removed"])
        self.assertFalse(self.kd_json("pin", "show", device)["saved"])


if __name__ == "__main__":
    unittest.main()
