"""Runs the built keydepot tool and nodyx-admin in a temporary store.

The same tests run against the Windows programs under Wine: KEYDEPOT_RUNNER is
the command that starts a Windows program (the build's wine-run.sh). Then the
host paths in arguments and in NODYX_STORE are given as Windows paths (Z:\\...,
or C:\\... inside the Wine prefix's drive C:), the Windows paths in what the
tools print are read back as host paths, and text output has its CR LF line
ends made LF (item bytes are left as they are).
"""
import json
import os
import re
import shlex
import shutil
import subprocess
import tempfile
import unittest

KEYDEPOT = os.environ.get("KEYDEPOT_BIN", "keydepot")
ADMIN = os.environ.get("NODYX_ADMIN_BIN", "nodyx-admin")
SOURCE_DIR = os.environ.get("KEYDEPOT_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "..", ".."))
RUNNER = shlex.split(os.environ.get("KEYDEPOT_RUNNER", ""))
WINDOWS = KEYDEPOT.lower().endswith(".exe")


def _drive_c():
    """Where the Wine prefix's drive C: lies on this machine."""
    return subprocess.run([*RUNNER, "--drive-c"], check=True, capture_output=True).stdout.decode().strip()


# Where the tests' temporary folders go (None: the system's). Under Wine, on
# drive C:, whose host folders the programs do not see: the tools trust no
# folder that other users may change, and Wine shows /tmp (where the build or
# the prefix may lie) as one, without its sticky bit. Not TMPDIR, which would
# give each Windows program a Wine server of its own.
DRIVE_C = os.path.abspath(_drive_c()) if WINDOWS else None
TEMPORARY_FOLDER = None
if WINDOWS:
    TEMPORARY_FOLDER = os.path.join(DRIVE_C, "keydepot-tests")
    os.makedirs(TEMPORARY_FOLDER, mode=0o700, exist_ok=True)

# Exit codes of both tools (toolsupport/include/kdtools/exit_codes.h).
OK, NO, USAGE, FAILED, NOT_FOUND, PIN_REFUSED, BAD_PATH, LOCAL_IO, EXISTS, BUSY = range(10)

# Runs a command as an unprivileged user when the tests run as root, so that
# file permissions count. Windows starts a program as another user only with
# that user's password.
OTHER_USER = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"] if os.geteuid() == 0 else []
NO_OTHER_USER = ("Windows starts a program as another user only with that user's password" if WINDOWS else
                 "needs root to act as another user")
# Why a case about POSIX permission bits does not run on Windows.
NO_MODES = "Windows keeps access lists, not POSIX permission bits"

# The key of saved PINs and of their machine key in the Windows registry (its
# 32-bit view, which both Windows builds use).
SAVED_PINS_KEY = "HKLM\\SOFTWARE\\Maltrove\\MTRVShared"


def device_path(id_hex, container="", type_number=100):
    return "1|2\\5|%d\\17|%s\\8|%s" % (type_number, id_hex, container)


def windows_path(host):
    """A host path as the Windows programs under Wine name it: /a/b is Z:\\a\\b, and
    <drive C:>/a is C:\\a."""
    host = os.path.abspath(host)
    if DRIVE_C and (host + "/").startswith(DRIVE_C + "/"):
        return "C:" + (host[len(DRIVE_C):] or "/").replace("/", "\\")
    return "Z:" + host.replace("/", "\\")


# A host path as a whole argument, or inside FLS|...| and the like.
_HOST_PATH = re.compile(r"(?:^|(?<=\|))/[^|]*")
# A Windows path on drive Z: or in the tests' folder on C: in text, up to a
# character no test's path holds; a space only where a further name follows.
_WINDOWS_PATH = re.compile(r"(?:Z:|C:\\keydepot-tests)\\(?:[^\s'\"|,;()<>]| (?=[^\s\\]*\\))*")


def to_windows(arg):
    return _HOST_PATH.sub(lambda m: windows_path(m.group(0)), arg) if isinstance(arg, str) else arg


def from_windows(text):
    """Text with each Z:\\ path made a host path again."""
    def host(path):
        rest = path[2:].replace("\\", "/")
        return DRIVE_C + rest if path.startswith("C:") else rest
    return _WINDOWS_PATH.sub(lambda m: host(m.group(0)), text)


def from_windows_output(output, json_output):
    """Text output bytes with Z:\\ paths made host paths and CR LF made LF; JSON (one object) with its
    strings mapped so, written again as the tools write it."""
    if json_output:
        try:
            return (json.dumps(_map_strings(json.loads(output)), separators=(",", ":")) + "\n").encode()
        except ValueError:
            pass
    return from_windows(output.decode("utf-8", "surrogateescape")).encode("utf-8", "surrogateescape").replace(
        b"\r\n", b"\n")


def _map_strings(value):
    if isinstance(value, str):
        return from_windows(value)
    if isinstance(value, list):
        return [_map_strings(v) for v in value]
    if isinstance(value, dict):
        return {k: _map_strings(v) for k, v in value.items()}
    return value


def program(path):
    """The command line that starts one of the built programs."""
    return [*RUNNER, path]


def writes_data_to_stdout(args):
    """Whether keydepot writes item bytes, not text, on standard output."""
    if not args or args[0] != "load":
        return False
    for i, arg in enumerate(args[:-1]):
        if arg in ("-o", "--output"):
            return args[i + 1] == "-"
    return True


class ToolTest(unittest.TestCase):
    """Each test gets its own device store, application-data folders and registry.

    On Windows the registry and the application-data folders are the Wine
    prefix's, shared by every test: tests run one at a time there, and the
    PINs a test saves are forgotten when it ends."""

    def setUp(self):
        self.tmp = tempfile.mkdtemp(prefix="kdcli-", dir=TEMPORARY_FOLDER)
        self.env = dict(os.environ)
        for name, sub in (("NODYX_STORE", "store"), ("KEYDEPOT_COMMON_APPDATA", "common"),
                          ("KEYDEPOT_LOCAL_APPDATA", "local"), ("KEYDEPOT_REGISTRY", "registry")):
            self.env[name] = os.path.join(self.tmp, sub)
        self.env.pop("KEYDEPOT_DRIVES", None)
        self.env["NODYX_PKCS11_MODULES"] = ""  # no PKCS#11 module this machine registers
        self.pins_saved = False

    def tearDown(self):
        if WINDOWS and self.pins_saved:
            self.windows_command("reg", "delete", SAVED_PINS_KEY + "\\AD", "/f", "/reg:32", expect=None)
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

    def tool_env(self, env):
        """The environment as the programs see it: NODYX_STORE and module paths as Windows names them."""
        env = dict(env or self.env)
        if WINDOWS:
            for name in ("NODYX_STORE", "NODYX_PKCS11_MODULES"):
                if env.get(name):
                    env[name] = ";".join(to_windows(part) for part in env[name].split(os.pathsep))
        return env

    def run_tool(self, binary, args, input=b"", env=None, prefix=(), data_out=False, **kwargs):
        """Runs one of the built programs; returns the completed process with output as the tests read it."""
        if WINDOWS:
            args = [to_windows(arg) for arg in args]
        result = subprocess.run([*prefix, *program(binary), *args], input=input, capture_output=True,
                                env=self.tool_env(env), timeout=120, **kwargs)
        if WINDOWS:
            if not data_out:
                result.stdout = from_windows_output(result.stdout, "--json" in args)
            result.stderr = from_windows_output(result.stderr, False)
        return result

    def kd(self, *args, expect=OK, input=b"", env=None, prefix=(), **kwargs):
        """Runs keydepot; checks the exit code; returns the completed process (bytes)."""
        result = self.run_tool(KEYDEPOT, args, input=input, env=env, prefix=prefix,
                               data_out=writes_data_to_stdout(args), **kwargs)
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

    def admin_run(self, *args, input=b"", env=None, prefix=()):
        """Runs nodyx-admin; returns the completed process (bytes)."""
        if args[:2] == ("pin", "save"):
            self.pins_saved = True
        return self.run_tool(ADMIN, args, input=input, env=env, prefix=prefix)

    def admin(self, *args, input=b"", expect=0, env=None, prefix=()):
        """Runs nodyx-admin; checks the exit code; returns its standard error as text."""
        result = self.admin_run(*args, input=input, env=env, prefix=prefix)
        if expect is not None:
            self.assertEqual(result.returncode, expect, result.stderr)
        return result.stderr.decode()

    def windows_command(self, *args, expect=0):
        """Runs a program of Wine's Windows (reg) under the runner; returns its standard output."""
        result = subprocess.run([*RUNNER, *args], capture_output=True, env=self.env, timeout=120)
        if expect is not None:
            self.assertEqual(result.returncode, expect, result.stderr)
        return result.stdout.decode(errors="replace").replace("\r\n", "\n")

    def forget_machine_key(self):
        """Removes the key that deciphers saved PINs, as a reinstalled machine would have lost it."""
        if WINDOWS:
            self.windows_command("reg", "delete", SAVED_PINS_KEY + "\\PinCipher", "/f", "/reg:32")
        else:
            shutil.rmtree(os.path.join(self.env["KEYDEPOT_REGISTRY"], "software", "maltrove", "mtrvshared",
                                       "pincipher"))

    def as_other_user(self):
        """Makes the temporary folder reachable for OTHER_USER; returns the command prefix."""
        if WINDOWS or not OTHER_USER:
            self.skipTest(NO_OTHER_USER)
        os.chmod(self.tmp, 0o755)
        return OTHER_USER

    def make_device(self, folder, id_hex, type_number=100, pin=None, extra=()):
        self.admin("create", folder, "--type", str(type_number), "--id", id_hex, *extra)
        if pin is not None:
            self.admin("set-pin", folder, "--pin-file", self.write(folder + ".pin", pin + b"\n"))
        return device_path(id_hex, type_number=type_number)
