"""PKCS#11 URIs (RFC 7512) as storage paths, and the URIs keydepot prints, pasted into p11tool and back."""
import json
import os
import shutil
import subprocess
import unittest

from kdtool import BAD_PATH, NOT_FOUND, OK, WINDOWS, ToolTest

MODULE = os.environ.get("SOFTHSM2_MODULE", "")
UTIL = os.environ.get("SOFTHSM2_UTIL", "softhsm2-util")
P11TOOL = shutil.which("p11tool")
PIN = "2468"


class UrisWithoutTokens(ToolTest):
    """What needs no token: refusals, and no match."""

    def test_windows_refuses_every_uri(self):
        if not WINDOWS:
            self.skipTest("the Linux build reads URIs")
        message = self.error_of("load", "pkcs11:token=Tour%20card;object=cert", expect=BAD_PATH)
        self.assertIn("not read on Windows", message)

    @unittest.skipIf(WINDOWS, "the Windows build reads no URIs")
    def test_pin_and_module_in_a_uri_are_refused_before_any_device_is_asked(self):
        for uri in ("pkcs11:token=T;object=c?pin-value=97531", "pkcs11:token=T?pin-source=file:97531"):
            message = self.error_of("show", uri, expect=BAD_PATH)
            self.assertIn("carries a PIN", message)
            self.assertNotIn("97531", message)
        self.assertIn("names a module", self.error_of("load", "pkcs11:token=T?module-path=/tmp/x.so", expect=BAD_PATH))

    @unittest.skipIf(WINDOWS, "the Windows build reads no URIs")
    def test_a_uri_matching_no_token(self):
        self.assertIn("no attached token matches", self.error_of("exists", "pkcs11:token=Tour", expect=NOT_FOUND))


@unittest.skipIf(WINDOWS, "SoftHSM2 is a Linux module, and the Windows build reads no URIs")
@unittest.skipUnless(MODULE, "SoftHSM2 is not installed")
class UrisOnSoftHsmTokens(ToolTest):
    """Two tokens of one module: "Tour card" and "Card B"."""

    def setUp(self):
        super().setUp()
        os.makedirs(self.path("tokens"))
        conf = "directories.tokendir = %s\nobjectstore.backend = file\nlog.level = ERROR\n" % self.path("tokens")
        self.env.update(SOFTHSM2_CONF=self.write("softhsm2.conf", conf.encode()), NODYX_PKCS11_MODULES=MODULE)
        for label in ("Tour card", "Card B"):
            self.run_ok(UTIL, "--init-token", "--free", "--label", label, "--so-pin", "0000", "--pin", PIN)
        self.pin = self.write("pin", PIN.encode())
        os.chmod(self.pin, 0o600)
        self.devices = {d["display_name"]: d for d in self.kd_json("devices")["devices"]}
        self.tour = self.devices["Tour card"]

    def run_ok(self, *args):
        result = subprocess.run(args, env=dict(self.env, GNUTLS_PIN=PIN), capture_output=True, timeout=60)
        self.assertEqual(result.returncode, 0, result.stderr)
        return result.stdout.decode()

    def p11tool(self, *args):
        if not P11TOOL:
            self.skipTest("p11tool (gnutls-bin) is not installed")
        return self.run_ok(P11TOOL, "--provider", MODULE, *args)

    def p11tool_urls(self, *args):
        return [line.split("URL: ", 1)[1] for line in self.p11tool(*args).splitlines() if "URL: " in line]

    def test_an_item_by_uri_is_the_item_by_device_path_and_the_tool_says_which(self):
        saved = self.kd("save", "pkcs11:token=Tour%20card;object=tour%20data;type=data", "--pin-file", self.pin,
                        input=b"tour bytes")
        self.assertIn("is %stour data on Tour card" % self.tour["device_path"], saved.stderr.decode())
        self.assertEqual(self.kd("load", self.tour["device_path"] + "tour data", "--pin-file", self.pin).stdout,
                         b"tour bytes")
        self.assertTrue(self.kd_json("exists", "pkcs11:token=Tour%20card;object=tour%20data", "--pin-file",
                                     self.pin)["exists"])
        self.kd("exists", "pkcs11:token=Card%20B;object=tour%20data", "--pin-file", self.pin, expect=1)
        info = self.kd_json("info", "pkcs11:serial=%s;object=x" % self.serial_of("Tour card"))
        self.assertEqual((info["form"], info["resolved"], info["container"]),
                         ("PKCS#11 URI", self.tour["device_path"] + "x", "x"))

    def serial_of(self, label):
        uri = self.devices[label]["uri"]
        return dict(part.split("=", 1) for part in uri[len("pkcs11:"):].split(";"))["serial"]

    def test_several_matching_tokens_are_named_and_none_is_chosen(self):
        message = self.error_of("load", "pkcs11:model=SoftHSM%20v2;object=x", "--pin-file", self.pin,
                                expect=BAD_PATH)
        self.assertIn("matches 2 attached tokens", message)
        self.assertIn(self.tour["device_path"], message)
        self.assertIn(self.devices["Card B"]["device_path"], message)

    def test_token_uris_are_those_p11tool_prints(self):
        self.assertEqual(sorted(d["uri"] for d in self.devices.values()), sorted(self.p11tool_urls("--list-tokens")))
        text = self.kd("devices").stdout.decode()
        self.assertIn("uri          " + self.tour["uri"], text)

    def test_p11tool_reads_what_keydepot_names_and_keydepot_loads_what_p11tool_names(self):
        self.kd("save", self.tour["device_path"] + "greeting", "--pin-file", self.pin, input=b"hello")
        # keydepot's token URI, given to p11tool, lists the item keydepot wrote ...
        urls = self.p11tool_urls("--login", "--list-all", self.tour["uri"])
        data_url = self.tour["uri"] + ";object=greeting;type=data"
        self.assertEqual(urls, [data_url])
        # ... and p11tool's URL of it, given to keydepot, is that item.
        self.assertEqual(self.kd("load", data_url, "--pin-file", self.pin).stdout, b"hello")
        listed = self.kd("list", self.tour["uri"], "--pin-file", self.pin, "--json")
        self.assertEqual([item["uri"] for item in json.loads(listed.stdout)["items"]], [data_url])

    def test_a_certificate_p11tool_imported_is_found_by_its_id(self):
        key, cert = self.path("key.pem"), self.path("cert.pem")
        self.run_ok("openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:P-256", "-nodes",
                    "-keyout", key, "-out", cert, "-subj", "/CN=tour", "-days", "2")
        self.p11tool("--login", "--write", "--load-certificate", cert, "--label", "tour-cert", "--id", "0a0b",
                     self.tour["uri"])
        [cert_url] = self.p11tool_urls("--list-all-certs", self.tour["uri"])
        self.assertIn(";id=%0A%0B;object=tour-cert;type=cert", cert_url)
        container = self.tour["device_path"] + "tour-cert"
        self.assertEqual(self.kd_json("info", cert_url)["resolved"], container)
        # ... and loads as the certificate p11tool was given, in DER.
        der = subprocess.run(["openssl", "x509", "-in", cert, "-outform", "DER"], capture_output=True,
                             check=True).stdout
        self.assertEqual(self.kd("load", cert_url, "--pin-file", self.pin).stdout, der)
        # id= alone names the container its objects make, whatever their labels.
        self.assertEqual(self.kd("complete", "pkcs11:token=Tour%20card;id=%0a%0b;object=other").stdout.decode(),
                         container + "\n")
        self.assertIn("no key container with the CKA_ID 0A0C",
                      self.error_of("complete", "pkcs11:token=Tour%20card;id=%0a%0c", expect=NOT_FOUND))
        listed = self.kd_json("containers", "pkcs11:token=Tour%20card")
        self.assertEqual(listed["containers"], ["tour-cert"])


if __name__ == "__main__":
    unittest.main()
