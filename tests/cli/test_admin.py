"""nodyx-admin speaks like keydepot: the same exit code for the same outcome, and with --json one object on
standard output, the command's result or keydepot's error object. One class per command group."""
import json
import os

from kdtool import (BAD_PATH, EXISTS, FAILED, LOCAL_IO, NOT_FOUND, OK, PIN_REFUSED, USAGE, ToolTest,
                    device_path)

ERROR_KEYS = ["code", "toolkit", "hresult", "message"]


class AdminTest(ToolTest):
    def admin_json(self, *args, expect=OK, input=b""):
        result = self.admin_run(*args, "--json", input=input)
        self.assertEqual(result.returncode, expect, result.stderr)
        return json.loads(result.stdout)

    def admin_error(self, *args, expect, input=b""):
        """A failure with --json: keydepot's error object, its code the exit code; the words on stderr too."""
        result = self.admin_run(*args, "--json", input=input)
        self.assertEqual(result.returncode, expect, result.stderr)
        error = json.loads(result.stdout)["error"]
        self.assertEqual(list(error), ERROR_KEYS)
        self.assertEqual(error["code"], expect)
        self.assertIn(error["message"], result.stderr.decode())
        return error


class Devices(AdminTest):
    def test_create_list_show_attach_remove(self):
        self.assertEqual(self.admin_json("create", "tok", "--id", "0A1B"), {"device": "tok", "id_text": "0A1B"})
        listed = self.admin_json("list")
        self.assertEqual(listed["devices"], [{"device": "tok", "type": 100, "id_text": "0A1B", "detached": False,
                                              "display_name": "SoftToken tok"}])
        self.assertEqual(listed["unreadable"], [])
        shown = self.admin_json("show", "tok")
        self.assertEqual((shown["id_text"], shown["type_name"], shown["pin"], shown["detached"]),
                         ("0A1B", "SoftToken", "none", False))
        self.assertEqual(self.admin_json("detach", "tok"), {"device": "tok", "detached": True})
        self.assertEqual(self.admin_json("attach", "tok"), {"device": "tok", "detached": False})
        self.assertEqual(self.admin_json("remove", "tok"), {"device": "tok", "removed": True})

    def test_failures_use_keydepots_codes(self):
        self.admin("create", "tok", "--id", "0A1B")
        missing = self.admin_error("show", "nobody", expect=NOT_FOUND)
        self.assertEqual((missing["toolkit"], missing["hresult"]), (4, "0x80070002"))
        self.assertIn("already has this type and identifier",
                      self.admin_error("create", "other", "--id", "0A1B", expect=EXISTS)["message"])
        self.admin_error("create", "tok", "--id", "0C", expect=EXISTS)
        self.assertIn("invalid device name", self.admin_error("create", "..", expect=BAD_PATH)["message"])
        for bad in (("--type", "999"), ("--type", "notanumber"), ("--id", "0"), ("--id", "A" * 64),
                    ("--display-name", "a|b")):
            self.admin_error("create", "x", *bad, expect=USAGE)
        self.admin_error("put-item", "tok", "../escape", expect=BAD_PATH)
        # A bad command line is an error object too.
        self.assertEqual(self.admin_error("frobnicate", expect=USAGE)["toolkit"], None)
        self.admin_error("create", expect=USAGE)
        # Without --json nothing but the words, on standard error.
        result = self.admin_run("show", "nobody")
        self.assertEqual((result.returncode, result.stdout), (NOT_FOUND, b""))
        self.admin(expect=USAGE)

    def test_the_same_outcome_is_the_same_code_in_both_tools(self):
        self.make_device("tok", "0A1B", pin=b"1234")
        wrong = self.write("wrong", b"9999\n")
        self.kd("load", device_path("0A1B", "x"), "--pin-file", wrong, expect=PIN_REFUSED)
        self.admin_error("pin", "save", "tok", "--pin-file", wrong, expect=PIN_REFUSED)
        self.kd("load", device_path("FFFF", "x"), expect=NOT_FOUND)
        self.admin_error("show", "nosuch", expect=NOT_FOUND)
        self.kd("save", device_path("0A1B", "a|b"), "--pin-file", self.write("pin", b"1234\n"), input=b"x",
                expect=BAD_PATH)
        self.admin_error("put-item", "tok", "a|b", input=b"x", expect=BAD_PATH)


class Pins(AdminTest):
    def test_set_clear_and_unblock(self):
        self.admin("create", "tok", "--id", "0A1B", "--pin-try-limit", "3")
        pin = self.write("pin", b"1234\n")
        self.assertEqual(self.admin_json("set-pin", "tok", "--pin-file", pin), {"device": "tok", "pin": True})
        self.assertEqual(self.admin_json("set-admin-pin", "tok", "--pin-file", self.write("a", b"admin\n")),
                         {"device": "tok", "admin_pin": True})
        self.assertEqual(self.admin_json("unblock", "tok"),
                         {"device": "tok", "unblocked": True, "try_limit": 3, "new_pin": False})
        self.assertEqual(self.admin_json("clear-pin", "tok"), {"device": "tok", "pin": False})

    def test_pin_failures(self):
        self.admin("create", "tok", "--id", "0A1B")
        self.admin("set-admin-pin", "tok", "--pin-file", self.write("a", b"admin\n"))
        self.assertIn("standard input holds no usable PIN",
                      self.admin_error("set-pin", "tok", expect=LOCAL_IO)["message"])
        self.admin_error("set-pin", "tok", "--pin-file", self.path("absent"), expect=LOCAL_IO)
        self.assertIn("not the admin PIN", self.admin_error("unblock", "tok", "--admin-pin-file",
                                                            self.write("w", b"wrong\n"), expect=PIN_REFUSED)["message"])
        self.admin_error("create", "bad", "--pin-try-limit", "0", expect=USAGE)


class Items(AdminTest):
    def test_put_get_list_delete(self):
        self.admin("create", "tok")
        self.assertEqual(self.admin_json("put-item", "tok", "keys", input=b"secret"),
                         {"device": "tok", "item": "keys", "bytes": 6})
        out = self.path("out.bin")
        self.assertEqual(self.admin_json("get-item", "tok", "keys", "--to", out),
                         {"device": "tok", "item": "keys", "to": out, "bytes": 6})
        self.assertEqual(self.read("out.bin"), b"secret")
        self.assertEqual(self.admin_json("list-items", "tok"), {"device": "tok", "items": ["keys"]})
        self.assertEqual(self.admin_json("delete-item", "tok", "keys"),
                         {"device": "tok", "item": "keys", "deleted": True})

    def test_item_failures(self):
        self.admin("create", "tok")
        self.admin_error("get-item", "tok", "absent", "--to", self.path("o"), expect=NOT_FOUND)
        self.admin_error("delete-item", "tok", "absent", expect=NOT_FOUND)
        self.admin_error("put-item", "tok", "k", "--from", self.path("absent"), expect=LOCAL_IO)
        self.admin("put-item", "tok", "plain", "--raw", input=b"xy")
        self.assertIn("not stored with its length",
                      self.admin_error("get-item", "tok", "plain", "--to", self.path("o"), expect=FAILED)["message"])
        # The item's bytes and the JSON cannot share standard output.
        self.assertIn("--to", self.admin_error("get-item", "tok", "plain", expect=USAGE)["message"])
        self.assertFalse(os.path.exists(self.path("o")))


class Containers(AdminTest):
    def test_put_list_remove(self):
        self.admin("create", "tok")
        self.assertEqual(self.admin_json("put-container", "tok", "sgn"),
                         {"device": "tok", "container": "sgn", "created": True})
        self.assertEqual(self.admin_json("list-containers", "tok"), {"device": "tok", "containers": ["sgn"]})
        self.admin_error("put-container", "tok", "sgn", expect=EXISTS)
        self.admin_error("put-container", "tok", "prn", expect=BAD_PATH)
        self.assertEqual(self.admin_json("remove-container", "tok", "sgn"),
                         {"device": "tok", "container": "sgn", "removed": True})
        self.admin_error("remove-container", "tok", "sgn", expect=NOT_FOUND)


class SavedPin(AdminTest):
    def test_save_status_forget(self):
        self.make_device("tok", "0A1B", pin=b"1234")
        # No PIN saved is an answer, not a failure (like keydepot exists): a result, with its own code.
        self.assertEqual(self.admin_json("pin", "status", "tok", expect=NOT_FOUND),
                         {"device": "tok", "id_text": "0A1B", "saved": False, "usable": False,
                          "state": "no PIN saved"})
        self.assertEqual(self.admin_json("pin", "save", "tok", "--pin-file", self.write("p", b"1234\n")),
                         {"device": "tok", "id_text": "0A1B", "saved": True})
        self.assertTrue(self.admin_json("pin", "status", "tok")["usable"])
        self.assertEqual(self.admin_json("pin", "forget", "tok"),
                         {"device": "tok", "id_text": "0A1B", "forgotten": True})
        self.assertIn("no device or PKCS#11 token is named",
                      self.admin_error("pin", "status", "nosuch", expect=NOT_FOUND)["message"])


class Pkcs11(AdminTest):
    def test_modules_and_tokens_without_modules(self):
        modules = self.admin_json("pkcs11", "modules")
        self.assertEqual((modules["ignored"], modules["modules"]), (None, []))
        self.assertEqual(self.admin_json("pkcs11", "tokens"), {"tokens": []})
        self.admin_error("pkcs11", expect=USAGE)
