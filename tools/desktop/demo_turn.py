#!/usr/bin/python3
"""One whole assistant turn through skelmor on the virtual desktop (run it inside
tools/desktop/run.sh): seals the GTK3 test application into a bundle, starts it, and drives
status, identity, windows, observe, click, type_text, scroll and press_key, printing every
request and answer (images shortened) and what the application saw. The observed frame is
saved as frame.jpg in the output folder.

    tools/desktop/run.sh /usr/bin/python3 tools/desktop/demo_turn.py BUILD_DIR OUT_DIR
"""
import base64
import json
import os
import plistlib
import selectors
import shutil
import subprocess
import sys
import time

build, out = sys.argv[1], sys.argv[2]
skelmor = os.path.join(build, "host", "skelmor")
testapp = os.path.join(build, "tests", "host", "desktop", "testapp")
seal_tool = os.path.join(build, "tools", "seal", "bundle-seal")


class Lines:
    """A child process whose output is read line by line with a time limit."""

    def __init__(self, argv):
        self.process = subprocess.Popen(argv, stdin=subprocess.PIPE, stdout=subprocess.PIPE)
        self.selector = selectors.DefaultSelector()
        self.selector.register(self.process.stdout, selectors.EVENT_READ)
        self.pending = b""

    def send(self, line):
        self.process.stdin.write(line.encode() + b"\n")
        self.process.stdin.flush()

    def read_line(self, seconds):
        deadline = time.monotonic() + seconds
        while b"\n" not in self.pending:
            left = deadline - time.monotonic()
            if left <= 0 or not self.selector.select(left):
                return None
            chunk = os.read(self.process.stdout.fileno(), 65536)
            if not chunk:
                return None
            self.pending += chunk
        line, self.pending = self.pending.split(b"\n", 1)
        return line.decode("utf-8", "replace")

    def wait_for(self, prefix, seconds=5):
        deadline = time.monotonic() + seconds
        while (left := deadline - time.monotonic()) > 0:
            line = self.read_line(left)
            if line is None:
                return None
            if line.startswith(prefix):
                return line
        return None

    def stop(self):
        if self.process.poll() is None:
            self.process.kill()
        self.process.wait()


def shortened(value):
    """The answer with long base64 members cut, for printing."""
    if isinstance(value, dict):
        return {k: (v[:32] + "...(%d characters)" % len(v)
                    if k in ("image", "icon") and isinstance(v, str) and len(v) > 48
                    else shortened(v)) for k, v in value.items()}
    if isinstance(value, list):
        return [shortened(v) for v in value]
    return value


class Host:
    def __init__(self):
        self.lines = Lines([skelmor])
        self.next = 1

    def call(self, method, params):
        rid = str(self.next)
        self.next += 1
        request = {"id": rid, "method": method, "params": params}
        shown = shortened(request)
        if isinstance(params.get("app"), dict):
            # The identity object goes back with every window request; shown once is enough.
            shown["params"] = dict(shown["params"], app="<the identity answered above>")
        print(">>", json.dumps(shown, ensure_ascii=False))
        self.lines.send(json.dumps(request))
        while True:
            line = self.lines.read_line(15)
            if line is None:
                print("<< (no answer)")
                return None
            answer = json.loads(line)
            if answer.get("id") == rid:
                print("<<", json.dumps(shortened(answer), ensure_ascii=False))
                return answer


def make_bundle(folder):
    bundle = os.path.join(folder, "TestApp.app")
    shutil.rmtree(bundle, ignore_errors=True)
    os.makedirs(os.path.join(bundle, "Contents", "MacOS"))
    shutil.copy2(testapp, os.path.join(bundle, "Contents", "MacOS", "testapp"))
    with open(os.path.join(bundle, "Contents", "Info.plist"), "wb") as f:
        plistlib.dump({"CFBundleIdentifier": "org.tarnwick.testapp", "CFBundleExecutable": "testapp",
                       "CFBundleName": "Test App", "CFBundlePackageType": "APPL"}, f)
    subprocess.run([seal_tool, "seal", bundle], check=True)
    return bundle


def main():
    os.makedirs(out, exist_ok=True)
    bundle = make_bundle(out)
    app = Lines([os.path.join(bundle, "Contents", "MacOS", "testapp"), "--position", "60,60"])
    host = Host()
    try:
        ready = app.wait_for("ready ", 10)
        print("test application:", ready)
        app.send("present")
        app.wait_for("active yes", 3)

        host.call("status", {})
        identity = host.call("identity", {"path": bundle})
        if not identity or "result" not in identity:
            raise SystemExit("identity failed: the rest of the turn needs it")
        appobj = identity["result"]
        window = None
        for _ in range(50):
            answer = host.call("windows", {"app": appobj})
            found = (answer or {}).get("result", {}).get("windows", [])
            if found:
                window = found[0]
                break
            time.sleep(0.1)
        if window is None:
            raise SystemExit("the test window is not listed")
        target = {"windowId": window["windowId"], "pid": window["pid"]}
        bounds = window["bounds"]

        def observe():
            answer = host.call("observe", {"app": appobj, "target": target})
            return (answer or {}).get("result")

        def act(method, frame, **extra):
            params = {"app": appobj, "target": target, "frameId": frame["frameId"] if frame else ""}
            params.update(extra)
            return host.call(method, params)

        def centre(name):
            app.send("geometry " + name)
            _, _, x, y, w, h = app.wait_for("geometry " + name + " ").split()
            return int(x) - bounds["x"] + int(w) / 2, int(y) - bounds["y"] + int(h) / 2

        frame = observe()
        if frame:
            path = os.path.join(out, "frame.jpg")
            with open(path, "wb") as f:
                f.write(base64.b64decode(frame["image"]))
            print("saved the observed frame (%dx%d) as %s" % (frame["width"], frame["height"], path))

        x, y = centre("button")
        act("click", frame, x=x, y=y)
        print("   application:", app.wait_for("pressed", 3))

        app.send("focus entry")
        app.wait_for("focused entry")
        act("type_text", observe(), text="Hello from skelmor")
        print("   application:", app.wait_for("entry ", 3))

        app.send("focus view")
        app.wait_for("focused view")
        act("scroll", observe(), direction="down")
        print("   application:", app.wait_for("scroll ", 3))

        app.send("focus entry")
        app.wait_for("focused entry")
        act("press_key", observe(), key="Tab")
        print("   application:", app.wait_for("focus ", 3))
    finally:
        host.lines.process.stdin.close()
        host.lines.stop()
        app.stop()
        shutil.rmtree(bundle, ignore_errors=True)


main()
