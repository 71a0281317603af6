"""Runs the built keydepot tool and nodyx-admin in a temporary store."""
import json
import os
import shutil
import subprocess
import tempfile
import unittest

KEYDEPOT = os.environ.get("KEYDEPOT_BIN", "keydepot")
ADMIN = os.environ.get("NODYX_ADMIN_BIN", "nodyx-admin")
SOURCE_DIR = os.environ.get("KEYDEPOT_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "..", ".."))

# Exit codes of the tool (cli/exit_codes.h).
OK, NO, USAGE, FAILED, NOT_FOUND, PIN_REFUSED, BAD_PATH, LOCAL_IO, EXISTS = range(9)

# Runs a command as an unprivileged user when the tests run as root, so that
# file permissions count.
OTHER_USER = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"] if os.geteuid() == 0 else []


def device_path(id_hex, container="", type_number=100):
    return "1|2\\5|%d\\17|%s\\8|%s" % (type_number, id_hex, container)


class ToolTest(unittest.TestCase):
    """Each test gets its own device store, application-data folders and registry."""

    def setUp(self):
        self.tmp = tempfile.mkdtemp(prefix="kdcli-")
        self.env = dict(os.environ)
        for name, sub in (("NODYX_STORE", "store"), ("KEYDEPOT_COMMON_APPDATA", "common"),
                          ("KEYDEPOT_LOCAL_APPDATA", "local"), ("KEYDEPOT_REGISTRY", "registry")):
            self.env[name] = os.path.join(self.tmp, sub)
        self.env.pop("KEYDEPOT_DRIVES", None)
        self.env["NODYX_PKCS11_MODULES"] = ""  # no PKCS#11 module this machine registers

    def tearDown(self):
        shutil.rmtree(self.tmp, ignore_errors=True)

    def path(self, *parts):
        return os.path.join(self.tmp, *parts)

    def write(self, name, data):
        with open(self.path(name), "wb") as f:
            f.write(data)
        return self.path(name)

    def read(self, name):
        with open(self.path(name), "rb") as f:
            return f.read()

    def kd(self, *args, expect=OK, input=b"", env=None, prefix=(), **kwargs):
        """Runs keydepot; checks the exit code; returns the completed process (bytes)."""
        result = subprocess.run([*prefix, KEYDEPOT, *args], input=input, capture_output=True,
                                env=env or self.env, timeout=60, **kwargs)
        if expect is not None:
            self.assertEqual(result.returncode, expect,
                             "keydepot %s: exit %d\nstdout: %r\nstderr: %r" %
                             (" ".join(args), result.returncode, result.stdout[:400], result.stderr[:400]))
        return result

    def kd_json(self, *args, expect=OK, **kwargs):
        out = self.kd(*args, "--json", expect=expect, **kwargs).stdout
        return json.loads(out)

    def error_of(self, *args, expect, **kwargs):
        """Runs a failing command; returns its standard error as text."""
        result = self.kd(*args, expect=expect, **kwargs)
        self.assertEqual(result.stdout, b"")
        return result.stderr.decode()

    def admin(self, *args, input=b"", expect=0, env=None, prefix=()):
        """Runs nodyx-admin; checks the exit code; returns its standard error as text."""
        result = subprocess.run([*prefix, ADMIN, *args], input=input, env=env or self.env, capture_output=True,
                                timeout=60)
        if expect is not None:
            self.assertEqual(result.returncode, expect, result.stderr)
        return result.stderr.decode()

    def as_other_user(self):
        """Makes the temporary folder reachable for OTHER_USER; returns the command prefix."""
        os.chmod(self.tmp, 0o755)
        return OTHER_USER

    def make_device(self, folder, id_hex, type_number=100, pin=None, extra=()):
        self.admin("create", folder, "--type", str(type_number), "--id", id_hex, *extra)
        if pin is not None:
            self.admin("set-pin", folder, "--pin-file", self.write(folder + ".pin", pin + b"\n"))
        return device_path(id_hex, type_number=type_number)
