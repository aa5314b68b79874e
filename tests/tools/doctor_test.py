#!/usr/bin/env python3
"""skelmor-doctor as a user runs it: without a display it says why the host refuses and exits
non-zero; on the virtual desktop, with an application in front, it finds the application,
captures its window and exits 0. Usage: doctor_test.py DOCTOR TESTAPP [--desktop]"""
import json
import os
import subprocess
import sys
import unittest

DOCTOR, TESTAPP = sys.argv[1], sys.argv[2]
ON_DESKTOP = "--desktop" in sys.argv


def run(*args, env=None):
    return subprocess.run([DOCTOR, *args], capture_output=True, text=True, env=env, timeout=60)


class WithoutADisplay(unittest.TestCase):
    def setUp(self):
        if ON_DESKTOP:
            self.skipTest("runs without a display")
        self.env = {k: v for k, v in os.environ.items()
                    if k not in ("DISPLAY", "DBUS_SESSION_BUS_ADDRESS", "AT_SPI_BUS_ADDRESS")}

    def test_says_why_the_host_refuses(self):
        done = run(env=self.env)
        self.assertEqual(done.returncode, 1)
        self.assertIn("mac_locked", done.stdout)
        self.assertIn("no X display", done.stdout)

    def test_json_is_the_same_as_an_object(self):
        done = run("--json", env=self.env)
        self.assertEqual(done.returncode, 1)
        facts = json.loads(done.stdout)
        self.assertFalse(facts["display"]["reached"])
        self.assertFalse(facts["host"]["session"])
        self.assertIn("mac_locked", [r["code"] for r in facts["verdict"]])

    def test_an_unknown_option_is_a_usage_error(self):
        self.assertEqual(run("--frobnicate").returncode, 2)


class OnTheDesktop(unittest.TestCase):
    def setUp(self):
        if not ON_DESKTOP:
            self.skipTest("needs the virtual desktop")
        self.app = subprocess.Popen([TESTAPP, "--title", "Doctor's patient"],
                                    stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
        ready = self.app.stdout.readline()
        while ready and not ready.startswith("ready "):  # focus reports may come first
            ready = self.app.stdout.readline()
        self.assertTrue(ready.startswith("ready "), ready)
        fields = dict(f.split("=") for f in ready.split()[1:])
        self.pid, self.window = int(fields["pid"]), int(fields["window"])
        subprocess.run(["xdotool", "windowactivate", "--sync", str(self.window)], check=True)

    def tearDown(self):
        self.app.kill()
        self.app.wait()

    def test_finds_and_captures_the_frontmost_window(self):
        done = run("--json")
        facts = json.loads(done.stdout)
        self.assertEqual(facts["verdict"], [], done.stdout)
        self.assertEqual(done.returncode, 0)
        display = facts["display"]
        self.assertTrue(display["reached"] and display["composite"] and display["xres"])
        self.assertEqual(facts["host"]["frontmost"]["pid"], self.pid)
        self.assertEqual(facts["host"]["capture"]["windowId"], self.window)
        self.assertTrue(facts["host"]["capture"]["ok"])
        self.assertIn("verdict:       the host can see and operate the screen", run().stdout)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1])
