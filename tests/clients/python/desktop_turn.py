"""The Python client through whole turns on the virtual desktop (run under
tools/desktop/run.sh): the real skelmor operating the GTK test application in a sealed
bundle. Every result is checked against its method's schema."""

import base64
import os
import shutil
import tempfile
import threading
import time
import unittest

import support
from support import SchemaAssertions
from tarnwick import HostError, RequestTimeout, Skelmor

NOISE_WINDOW = os.path.join(support.HERE, "..", "noise_window.py")


class OnTheDesktop(unittest.TestCase, SchemaAssertions):
    @classmethod
    def setUpClass(cls):
        if not os.environ.get("TARNWICK_DESKTOP"):
            raise unittest.SkipTest("needs the virtual desktop: run under tools/desktop/run.sh")

    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="clients-desktop.")
        self.addCleanup(shutil.rmtree, self.folder, True)
        self.host = Skelmor(support.program("SKELMOR"))
        self.addCleanup(self.host.close)

    def listed(self, bundle):
        """The bundle's identity and its first window, once the window is listed."""
        identity = self.host.identity(bundle)
        self.assertResult("identity", identity)
        for _ in range(100):
            windows = self.host.windows(identity)
            if windows:
                self.assertResult("windows", {"windows": windows})
                return identity, windows[0]
            time.sleep(0.05)
        self.fail("the application's window is never listed")

    def test_a_whole_turn(self):
        bundle = support.make_bundle(self.folder)
        app = support.TestApp([support.executable_of(bundle), "--position", "60,60"])
        self.addCleanup(app.stop)
        app.bring_to_front()
        identity, window = self.listed(bundle)
        self.assertEqual(window["windowId"], app.window)
        target = {"windowId": window["windowId"], "pid": window["pid"]}

        state = self.host.status()
        self.assertResult("status", state)
        self.assertTrue(state["screen"] and state["accessibility"] and state["onConsole"])

        def observe():
            frame = self.host.observe(identity, target)
            self.assertResult("observe", frame)
            jpeg = base64.b64decode(frame["image"])
            self.assertEqual(support.jpeg_size(jpeg), (frame["width"], frame["height"]))
            self.assertEqual(frame["bounds"], window["bounds"])
            return frame

        # An observe and a status in flight together: each gets its own answer.
        seen = {}
        capture = threading.Thread(target=lambda: seen.update(frame=observe()))
        capture.start()
        self.assertEqual(self.host.status(), state)
        capture.join()
        frame = seen["frame"]

        x, y = app.centre_of("button", window["bounds"])
        self.assertEqual(self.host.click(identity, target, frame["frameId"], x, y),
                         {"completed": True})
        self.assertEqual(app.wait_for("pressed"), "pressed")
        with self.assertRaises(HostError) as raised:
            self.host.click(identity, target, frame["frameId"], x, y)
        self.assertCode("click", raised.exception, "stale_frame")

        app.send("focus entry")
        app.wait_for("focused entry")
        self.assertResult("type_text", self.host.type_text(identity, target, observe()["frameId"],
                                                           "Hello from Python"))
        self.assertEqual(app.wait_for("entry "), "entry Hello from Python")

        app.send("focus view")
        app.wait_for("focused view")
        self.assertResult("scroll", self.host.scroll(identity, target, observe()["frameId"],
                                                     "down"))
        self.assertGreater(float(app.wait_for("scroll ").split()[1]), 0)

        app.send("focus entry")
        app.wait_for("focused entry")
        self.assertResult("press_key", self.host.press_key(identity, target,
                                                           observe()["frameId"]))
        moved = app.wait_for("focus ")
        self.assertIsNotNone(moved)
        self.assertNotEqual(moved, "focus entry")

        with self.assertRaises(HostError) as raised:
            self.host.scroll(identity, target, observe()["frameId"], "sideways")
        self.assertCode("scroll", raised.exception, "unsupported_scroll")
        self.assertEqual(self.host.close(), 0)

    def test_an_observe_answer_of_nearly_a_megabyte_is_read_whole(self):
        # A window of pure noise, 1272 x 1005 points with its frame, near the largest a
        # capture of this screen can be.
        python = os.path.realpath("/usr/bin/python3")
        bundle = support.make_bundle(self.folder, name="Noise", identifier="org.tarnwick.noise",
                                     executable=python, exec_name="python3")
        app = support.TestApp([support.executable_of(bundle, "python3"), NOISE_WINDOW,
                               "1270", "980"])
        self.addCleanup(app.stop)
        identity, window = self.listed(bundle)
        frame = self.host.observe(identity, {"windowId": window["windowId"], "pid": app.pid})
        self.assertResult("observe", frame)
        self.assertGreater(len(frame["image"]), 900_000)
        jpeg = base64.b64decode(frame["image"])
        self.assertEqual(support.jpeg_size(jpeg), (frame["width"], frame["height"]))

    def test_a_hung_application_times_out_one_request_and_not_the_next(self):
        bundle = support.make_bundle(self.folder)
        app = support.TestApp([support.executable_of(bundle), "--position", "60,60"])
        self.addCleanup(app.stop)
        app.bring_to_front()
        identity, window = self.listed(bundle)
        target = {"windowId": window["windowId"], "pid": window["pid"]}
        frame = self.host.observe(identity, target)
        app.send("hang")
        self.assertEqual(app.wait_for("hung"), "hung")
        # The host waits for the application's accessibility for up to two seconds.
        with self.assertRaises(RequestTimeout):
            self.host.click(identity, target, frame["frameId"], 10, 10, timeout=0.3)
        state = self.host.status(timeout=10)
        self.assertResult("status", state)


if __name__ == "__main__":
    unittest.main()
