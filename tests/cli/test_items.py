"""show, list and copy."""
import base64
import os
import struct
import subprocess
import unittest

from kdtool import EXISTS, NOT_FOUND, SOURCE_DIR, USAGE, ToolTest

SAMPLE = os.path.join(SOURCE_DIR, "cli", "tour", "sample-cert.pem")
with open(SAMPLE, "rb") as _f:
    SAMPLE_BYTES = _f.read()


def openssl(*args, input=None):
    return subprocess.run(["openssl", *args], input=input, check=True, capture_output=True).stdout


def der_of(pem):
    """The DER of a PEM file's one block."""
    return base64.b64decode(b"".join(line for line in pem.splitlines() if not line.startswith(b"-----")))


def private_part(text):
    """The private exponent, scalar or seed that `openssl pkey -text` prints, as upper-case hex."""
    lines = text.splitlines()
    start = next(i for i, line in enumerate(lines) if line.startswith(("privateExponent:", "priv:")))
    end = next((i for i, line in enumerate(lines[start + 1:]) if not line.startswith(" ")), len(lines))
    return "".join("".join(lines[start + 1:start + 1 + end]).split()).replace(":", "").upper()


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

    def shown(self, *args):
        """Everything keydepot prints for a command, as people and as scripts see it: upper case, no ':'."""
        out = b""
        for extra in ((), ("--json",)):
            result = self.kd(*args, *extra, expect=None)
            out += result.stdout + result.stderr
        return out.decode(errors="replace").upper().replace(":", "")

    def assert_no_run_of(self, data, shown, secret=""):
        """No 4 bytes of data in a row, in hex, and not the secret's last 24 hex digits."""
        for at in range(len(data) - 3):
            self.assertNotIn(data[at:at + 4].hex().upper(), shown)
        if secret:
            self.assertNotIn(secret[-24:], shown)

    def test_keys_of_each_kind_are_described_never_shown(self):
        cases = (
            ("rsa", openssl("genpkey", "-algorithm", "RSA", "-pkeyopt", "rsa_keygen_bits:1024"),
             {"type": "RSA", "bits": 1024}),
            ("ec", openssl("genpkey", "-algorithm", "EC", "-pkeyopt", "ec_paramgen_curve:P-384"),
             {"type": "EC", "bits": 384, "group": "secp384r1"}),
            ("explicit", openssl("ecparam", "-name", "prime256v1", "-param_enc", "explicit", "-genkey", "-noout"),
             {"type": "EC", "bits": 0, "group": None}),
            ("ed25519", openssl("genpkey", "-algorithm", "ED25519"), {"type": "ED25519", "bits": 256}))
        for name, pem, key in cases:
            path = self.write(name + ".pem", pem)
            secret = private_part(openssl("pkey", "-in", path, "-noout", "-text").decode())
            # The other structure: PKCS#1 or SEC 1 for a PKCS#8 key (Ed25519 has none), PKCS#8 for the others.
            other = (openssl("pkcs8", "-topk8", "-nocrypt", "-in", path) if not pem.startswith(b"-----BEGIN PRIVATE")
                     else pem if name == "ed25519" else openssl("pkey", "-in", path, "-traditional"))
            for item, text in ((path, pem), (self.write(name + ".other", other), other),
                               (self.write(name + ".der", der_of(pem)), pem)):
                self.assertEqual(self.kd_json("show", item)["objects"], [{"kind": "private key", "key": key}], item)
                shown = self.shown("show", item)
                self.assert_no_run_of(der_of(text), shown, secret)
                for line in text.splitlines()[1:-1]:
                    self.assertNotIn(line.decode().upper().replace(":", ""), shown)
        self.assertIn(b"EC (unnamed curve)", self.kd("show", self.path("explicit.pem")).stdout)
        locked = openssl("pkcs8", "-topk8", "-in", self.path("ec.pem"), "-passout", "pass:x")
        for item in (self.write("locked.pem", locked), self.write("locked.der", der_of(locked))):
            self.assertEqual(self.kd_json("show", item)["objects"], [{"kind": "encrypted private key"}])
            self.assert_no_run_of(der_of(locked), self.shown("show", item))
        public = self.write("pub.pem", openssl("pkey", "-in", self.path("ec.pem"), "-pubout"))
        self.assertEqual(self.kd_json("show", public)["objects"][0]["kind"], "public key")
        self.assert_no_run_of(b"".join(der_of(self.read(n + ".pem")) for n in ("rsa", "ec")),
                              self.shown("list", self.tmp, "--show"))

    def test_unknown_data_is_told_by_size_and_text_by_lines(self):
        noise = os.urandom(100)
        shown = self.kd_json("show", self.write("noise", noise))
        self.assertEqual(shown, {"path": self.path("noise"), "bytes": 100, "encoding": "unknown", "objects": []})
        self.assert_no_run_of(noise, self.shown("show", self.path("noise")))
        self.assertEqual(self.kd_json("show", self.write("password", b"s3cret-password\n"))["lines"], 1)
        self.assertIn(b"unrecognised text, 1 line", self.kd("show", self.path("password")).stdout)
        self.assertNotIn("S3CRET", self.shown("show", self.path("password")))
        self.assertNotIn("S3CRET", self.shown("list", self.tmp, "--show"))

    def test_an_item_stored_without_its_length_keeps_its_first_bytes(self):
        device = self.make_device("tok", "0A1B2C3D")
        self.admin("put-item", "tok", "raw", "--raw", input=b"SECRET-rest-of-a-key")
        length = str(struct.unpack("<I", b"SECR")[0])
        for args in (("show", device + "raw"), ("load", device + "raw"), ("list", device, "--show")):
            shown = self.shown(*args)
            self.assertIn("FIRST 4 DO NOT GIVE THE LENGTH", shown)
            for leak in (length, "53454352", "SECR"):
                self.assertNotIn(leak, shown)


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
        self.assertIn("same item", self.error_of("copy", named, first + "cert", expect=USAGE))
        self.error_of("copy", self.path("back.pem"), second + "cert", "--dst-pin-file", pin1, expect=5)

    def test_no_clobber_looks_at_the_destination(self):
        source = self.write("source.bin", b"new bytes")
        kept = self.write("kept.bin", b"old bytes")
        self.assertIn("exists already", self.error_of("copy", source, kept, "--no-clobber", expect=EXISTS))
        self.assertEqual(self.read("kept.bin"), b"old bytes")
        # A source that exists (it always does) is no reason to refuse.
        self.kd("copy", source, self.path("fresh.bin"), "--no-clobber")
        self.assertEqual(self.read("fresh.bin"), b"new bytes")


class AnyFileName(ToolTest):
    """Names beyond ASCII, and beyond the code page of Windows' Western systems, are taken as given and
    printed exactly: every command gives the same string for the same file."""
    NAME = "clé 证书.pem"

    def test_save_list_show_load_and_copy_name_the_file_alike(self):
        folder = self.path("dossier é")
        os.mkdir(folder)
        item = os.path.join(folder, self.NAME)
        source = self.write("entrée 証明.pem", SAMPLE_BYTES)
        size = len(SAMPLE_BYTES)
        self.assertEqual(self.kd_json("save", item, "-i", source), {"path": item, "bytes": size})
        self.assertEqual(self.read(os.path.join("dossier é", self.NAME)), SAMPLE_BYTES)
        self.assertEqual(self.kd_json("list", folder)["items"], [{"name": self.NAME, "path": item, "bytes": size}])
        shown = self.kd_json("show", item)
        self.assertEqual((shown["path"], shown["objects"][0]["kind"]), (item, "certificate"))
        out = os.path.join(folder, "sortie ü.pem")
        self.assertEqual(self.kd_json("load", item, "-o", out),
                         {"path": item, "output": out, "bytes": size, "device_id": None})
        copy = os.path.join(folder, "копия.pem")
        self.assertEqual(self.kd_json("copy", item, copy),
                         {"source": {"path": item}, "destination": {"path": copy}, "bytes": size, "verified": True})
        for name in ("sortie ü.pem", "копия.pem"):
            self.assertEqual(self.read(os.path.join("dossier é", name)), SAMPLE_BYTES)
        # People read the names too.
        self.assertEqual(self.kd("save", item, "-i", source).stdout, ("Saved %d bytes to %s\n" % (size, item)).encode())
        listed = self.kd("list", folder).stdout.decode()
        for name in (self.NAME, "sortie ü.pem", "копия.pem"):
            self.assertIn("  " + name + "\n", listed)

    def test_device_items_containers_and_devices_in_a_store_so_named(self):
        self.env["NODYX_STORE"] = self.path("magasin é", "störe")  # made with the first device, its folder too
        device = self.make_device("tök", "0A1B2C3D")
        self.assertEqual(self.kd_json("save", device + "证书 é", "-i", SAMPLE)["path"], device + "证书 é")
        self.assertEqual(self.kd_json("list", device)["items"],
                         [{"name": "证书 é", "path": device + "证书 é", "bytes": len(SAMPLE_BYTES)}])
        self.admin("get-item", "tök", "证书 é", "--to", self.path("à.pem"))
        self.assertEqual(self.read("à.pem"), SAMPLE_BYTES)
        self.admin("put-container", "tök", "cönt")
        self.assertEqual(self.admin_run("list-containers", "tök").stdout.decode().split(), ["cönt"])
        self.admin("remove-container", "tök", "cönt")
        self.admin("remove", "tök")
        self.assertEqual(os.listdir(self.path("magasin é", "störe")), [])


if __name__ == "__main__":
    unittest.main()
