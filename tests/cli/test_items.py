"""show, list and copy."""
import base64
import os
import subprocess
import unittest

from kdtool import EXISTS, FAILED, NOT_FOUND, SOURCE_DIR, USAGE, ToolTest

SAMPLE = os.path.join(SOURCE_DIR, "cli", "tour", "sample-cert.pem")
with open(SAMPLE, "rb") as _f:
    SAMPLE_BYTES = _f.read()


def openssl(*args, input=None):
    return subprocess.run(["openssl", *args], input=input, check=True, capture_output=True).stdout


class Show(ToolTest):
    def test_certificate_in_pem_and_der(self):
        cert = self.kd_json("show", SAMPLE)["objects"][0]
        fingerprint = openssl("x509", "-in", SAMPLE, "-noout", "-fingerprint", "-sha256").decode()
        self.assertEqual(cert, {"kind": "certificate", "subject": "CN=keydepot tour sample, O=keydepot",
                                "issuer": "CN=keydepot tour sample, O=keydepot",
                                "serial": "06054EF586C0C5402D8F71D295425397D68D9ECB",
                                "not_before": "2026-12-05T18:43:00Z", "not_after": "2126-11-11T18:43:00Z",
                                "validity": cert["validity"],
                                "key": {"type": "EC", "bits": 256, "group": "prime256v1"},
                                "sha256": fingerprint.strip().split("=", 1)[1]})
        device = self.make_device("tok", "0A1B2C3D")
        self.kd("save", device + "der", input=openssl("x509", "-in", SAMPLE, "-outform", "DER"))
        shown = self.kd_json("show", device + "der")
        self.assertEqual((shown["encoding"], shown["objects"]), ("DER", [cert]))
        self.assertIn(b"SHA-256", self.kd("show", device + "der").stdout)

    def test_keys_are_described_never_shown(self):
        key = openssl("genpkey", "-algorithm", "EC", "-pkeyopt", "ec_paramgen_curve:P-384")
        path = self.write("key.pem", key)
        text = openssl("pkey", "-in", path, "-noout", "-text").decode()
        scalar = "".join(text.split("priv:")[1].split("pub:")[0].split()).replace(":", "").upper()
        body = base64.b64decode(b"".join(key.splitlines()[1:-1])).hex().upper()
        for args in (("show", path), ("show", path, "--json")):
            result = self.kd(*args)
            shown = (result.stdout + result.stderr).decode().upper().replace(":", "")
            for secret in (scalar[-24:], body[-24:], key.splitlines()[1].decode().upper()):
                self.assertNotIn(secret, shown)
        self.assertEqual(self.kd_json("show", path)["objects"],
                         [{"kind": "private key", "key": {"type": "EC", "bits": 384, "group": "secp384r1"}}])
        public = self.write("pub.pem", openssl("pkey", "-in", path, "-pubout"))
        self.assertEqual(self.kd_json("show", public)["objects"][0]["kind"], "public key")
        locked = self.write("locked.der", openssl("pkcs8", "-topk8", "-in", path, "-outform", "DER",
                                                  "-passout", "pass:x"))
        self.assertEqual(self.kd_json("show", locked)["objects"], [{"kind": "encrypted private key"}])

    def test_other_data_shows_a_preview_only_when_large(self):
        large = self.kd_json("show", self.write("large", bytes(range(100))))
        self.assertEqual((large["encoding"], large["objects"], large["preview"]),
                         ("unknown", [], bytes(range(16)).hex().upper()))
        self.assertNotIn("preview", self.kd_json("show", self.write("small", b"s3cret-password")))
        self.assertNotIn(b"733363", self.kd("show", self.path("small")).stdout)


class List(ToolTest):
    def test_folder_items_and_what_they_are(self):
        self.write("b-cert.pem", SAMPLE_BYTES)
        self.write("a-data.bin", b"xyz")
        os.mkdir(self.path("sub"))
        listed = self.kd_json("list", self.tmp, "--show")["items"]
        self.assertEqual([(i["name"], i["bytes"]) for i in listed],
                         [("a-data.bin", 3), ("b-cert.pem", os.path.getsize(SAMPLE))])
        self.assertEqual(listed[1]["description"]["objects"][0]["kind"], "certificate")
        self.assertIn(b"certificate CN=keydepot tour sample", self.kd("list", self.tmp, "--show").stdout)
        self.kd("list", self.path("none"), expect=NOT_FOUND)

    def test_device_items_need_the_pin_for_their_sizes(self):
        device = self.make_device("tok", "0A1B2C3D", pin=b"1234")
        pin = self.write("pin", b"1234\n")
        self.kd("save", device + "cert", "--pin-file", pin, "-i", SAMPLE)
        self.admin("put-item", "tok", "raw", "--raw", input=b"raw bytes")
        result = self.kd("list", "\\\\!\\SoftToken\\0A1B2C3D")
        self.assertIn(b"item sizes need the device's PIN", result.stderr)
        listed = self.kd_json("list", "DEV|100||", "--pin-file", pin)["items"]
        self.assertEqual([(i["name"], i["bytes"]) for i in listed], [("cert", os.path.getsize(SAMPLE)), ("raw", None)])
        self.assertIn("--raw", listed[1]["error"])


class Copy(ToolTest):
    def test_between_files_and_devices_with_each_sides_pin(self):
        first = self.make_device("tok", "0A1B2C3D", pin=b"1234")
        second = self.make_device("tok2", "0C0D", pin=b"5678")
        pin1, pin2 = self.write("pin1", b"1234\n"), self.write("pin2", b"5678\n")
        named = "\\\\!\\SoftToken\\0A1B2C3D\\cert"
        self.assertIn(b"read back and compared", self.kd("copy", SAMPLE, named, "--dst-pin-file", pin1).stdout)
        copied = self.kd_json("copy", named, second + "cert", "--src-pin-file", pin1, "--dst-pin-file", pin2)
        self.assertEqual(copied, {"source": {"path": named, "resolved": first + "cert"},
                                  "destination": {"path": second + "cert"},
                                  "bytes": os.path.getsize(SAMPLE), "verified": True})
        self.kd("copy", second + "cert", self.path("back.pem"), "--src-pin-file", pin2)
        self.assertEqual(self.read("back.pem"), SAMPLE_BYTES)
        self.error_of("copy", SAMPLE, self.path("back.pem"), "--no-clobber", expect=EXISTS)
        self.assertIn("same item", self.error_of("copy", named, first + "cert", expect=USAGE))
        self.error_of("copy", self.path("back.pem"), second + "cert", "--dst-pin-file", pin1, expect=5)


if __name__ == "__main__":
    unittest.main()
