"""What the client tests share: the programs under test, an environment without a desktop,
sealed bundles, the GTK test application as a child process, and the JSON Schemas."""

import glob
import json
import os
import plistlib
import selectors
import shutil
import struct
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
TOP = os.path.normpath(os.path.join(HERE, "..", "..", ".."))
sys.path.insert(0, os.path.join(TOP, "clients", "python"))

import jsonschema  # noqa: E402  (Debian's python3-jsonschema)

SCHEMAS = os.path.join(TOP, "docs", "schema")


def program(name):
    """The path of a program under test, from the variable CTest sets (SKELMOR, BREVAIL...)."""
    path = os.environ.get(name)
    if not path:
        raise RuntimeError("%s is not set: run the tests through ctest" % name)
    return path


def bare_environment(home):
    """No display, no session bus, no accessibility bus: the host then has no session."""
    env = {"PATH": "/usr/bin:/bin", "HOME": home}
    for name in ("ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"):
        if name in os.environ:
            env[name] = os.environ[name]
    return env


def make_bundle(folder, name="TestApp", identifier="org.tarnwick.clients.testapp",
                executable=None, exec_name="testapp", extra_file_bytes=0, seal=True):
    """A copy of an executable (the GTK test application by default) in X.app, sealed ad hoc.
    `extra_file_bytes` adds a sparse resource of that size, which makes every strict check
    of the seal take a while."""
    bundle = os.path.join(folder, name + ".app")
    shutil.rmtree(bundle, ignore_errors=True)
    os.makedirs(os.path.join(bundle, "Contents", "MacOS"))
    os.makedirs(os.path.join(bundle, "Contents", "Resources"))
    shutil.copy2(executable or program("TESTAPP"),
                 os.path.join(bundle, "Contents", "MacOS", exec_name))
    with open(os.path.join(bundle, "Contents", "Info.plist"), "wb") as f:
        plistlib.dump({"CFBundleIdentifier": identifier, "CFBundleExecutable": exec_name,
                       "CFBundleName": name, "CFBundlePackageType": "APPL"}, f)
    if extra_file_bytes:
        with open(os.path.join(bundle, "Contents", "Resources", "blob"), "wb") as f:
            f.truncate(extra_file_bytes)
    if seal:
        subprocess.run([program("BUNDLE_SEAL"), "seal", bundle], check=True,
                       stdout=subprocess.DEVNULL)
    return bundle


def executable_of(bundle, exec_name="testapp"):
    return os.path.join(bundle, "Contents", "MacOS", exec_name)


class TempFolder:
    def __enter__(self):
        self.path = tempfile.mkdtemp(prefix="clients-test.")
        return self.path

    def __exit__(self, *exc):
        shutil.rmtree(self.path, ignore_errors=True)


class TestApp:
    """The GTK3 test application: it reports on standard output what happens to it and takes
    commands on standard input ("present", "focus entry", "geometry button", "hang"...)."""

    def __init__(self, argv):
        self.process = subprocess.Popen(argv, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                        stderr=subprocess.DEVNULL)
        self.selector = selectors.DefaultSelector()
        self.selector.register(self.process.stdout, selectors.EVENT_READ)
        self.pending = b""
        ready = self.wait_for("ready ", 10)
        if ready is None:
            self.stop()
            raise RuntimeError("the test application did not show its window")
        fields = dict(part.split("=") for part in ready.split()[1:])
        self.pid, self.window = int(fields["pid"]), int(fields["window"])

    def send(self, command):
        self.process.stdin.write(command.encode() + b"\n")
        self.process.stdin.flush()

    def wait_for(self, prefix, seconds=5):
        deadline = time.monotonic() + seconds
        while True:
            while b"\n" in self.pending:
                line, self.pending = self.pending.split(b"\n", 1)
                text = line.decode("utf-8", "replace")
                if text.startswith(prefix):
                    return text
            left = deadline - time.monotonic()
            if left <= 0 or not self.selector.select(left):
                return None
            chunk = os.read(self.process.stdout.fileno(), 65536)
            if not chunk:
                return None
            self.pending += chunk

    def bring_to_front(self):
        for _ in range(100):
            self.send("present")
            self.send("active")
            if self.wait_for("active ") == "active yes":
                return
            time.sleep(0.02)
        raise RuntimeError("the window manager did not bring the test application to the front")

    def centre_of(self, widget, window_bounds):
        """A widget's centre in points from the window's top-left corner."""
        self.send("geometry " + widget)
        _, _, x, y, w, h = self.wait_for("geometry %s " % widget).split()
        return (int(x) - window_bounds["x"] + int(w) / 2,
                int(y) - window_bounds["y"] + int(h) / 2)

    def stop(self):
        if self.process.poll() is None:
            self.process.kill()
        self.process.wait()
        self.process.stdin.close()
        self.process.stdout.close()


def jpeg_size(data):
    """(width, height) from a JPEG's frame header; nothing when it has none."""
    if data[:2] != b"\xff\xd8":
        return None
    at = 2
    while at + 4 <= len(data):
        if data[at] != 0xFF:
            return None
        marker = data[at + 1]
        length = struct.unpack(">H", data[at + 2:at + 4])[0]
        if marker in (0xC0, 0xC1, 0xC2):
            height, width = struct.unpack(">HH", data[at + 5:at + 9])
            return width, height
        at += 2 + length
    return None


class Schemas:
    """Every schema of docs/schema, by file name ("observe", "brevail/report"...)."""

    def __init__(self):
        self.by_id = {}
        self.by_name = {}
        for path in sorted(glob.glob(os.path.join(SCHEMAS, "*", "*.schema.json"))):
            with open(path) as f:
                schema = json.load(f)
            name = os.path.relpath(path, SCHEMAS)[: -len(".schema.json")]
            self.by_id[schema["$id"]] = schema
            self.by_name[name] = schema

    def validator(self, name, fragment=""):
        """A validator of the schema `name` ("skelmor/observe"), or of one of its parts
        ("#/$defs/result")."""
        root = self.by_name[name]
        schema = {"$ref": root["$id"] + fragment} if fragment else root
        resolver = jsonschema.RefResolver(root["$id"], root, store=self.by_id)
        return jsonschema.Draft202012Validator(schema, resolver=resolver)

    def errors(self, name, instance, fragment=""):
        return [e.message[:300] for e in self.validator(name, fragment).iter_errors(instance)]


SCHEMA = Schemas()


class SchemaAssertions:
    """unittest assertions that a value is valid (or not) against one of the schemas."""

    def assertValid(self, name, instance, fragment=""):
        self.assertEqual(SCHEMA.errors(name, instance, fragment), [],
                         "%s%s: %s" % (name, fragment, json.dumps(instance)[:300]))

    def assertInvalid(self, name, instance, fragment=""):
        self.assertNotEqual(SCHEMA.errors(name, instance, fragment), [],
                            "%s%s accepts %s" % (name, fragment, json.dumps(instance)[:300]))

    def assertResult(self, method, result):
        self.assertValid("skelmor/" + method, result, "#/$defs/result")

    def assertCode(self, method, error, code):
        """A HostError of `method` carrying `code`, which that method's schema lists."""
        self.assertEqual((error.method, error.code), (method, code))
        self.assertValid("skelmor/" + method, error.code, "#/$defs/error")
