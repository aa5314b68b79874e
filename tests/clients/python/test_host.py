"""The Python client against the real skelmor without a desktop: the host then reports no
session and refuses every screen method with "mac_locked". Every result and code is checked
against the method's schema."""

import json
import os
import subprocess
import tempfile
import threading
import time
import unittest

import support
from support import SchemaAssertions
from tarnwick.skelmor import _request_line
from tarnwick import (LINE_LIMIT, HostError, HostExited, RequestTimeout, RequestTooLarge,
                      Skelmor)

SESSION_LESS = {"accessibility": False, "available": True, "identity": "unbundled",
                "locked": False, "name": "Tarnwick Computer Use", "onConsole": False,
                "screen": False, "sleeping": False, "version": "1"}


class HostTestCase(unittest.TestCase, SchemaAssertions):
    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="clients-host.")
        self.addCleanup(support.shutil.rmtree, self.folder, True)
        self.stderr = open(os.path.join(self.folder, "stderr"), "w+b")
        self.addCleanup(self.stderr.close)
        self.host = Skelmor(support.program("SKELMOR"), env=support.bare_environment(self.folder),
                            stderr=self.stderr)
        self.addCleanup(self.host.close)

    def finish(self):
        """Ends the host: a clean end of input is exit status 0 with nothing on stderr."""
        self.assertEqual(self.host.close(), 0)
        self.stderr.seek(0)
        self.assertEqual(self.stderr.read(), b"")


class SessionLess(HostTestCase):
    def test_status_and_permission_answer_the_session_less_state(self):
        self.assertEqual(self.host.status(), SESSION_LESS)
        self.assertResult("status", self.host.status())
        for kind in ("screen", "accessibility"):
            state = self.host.permission(kind)
            self.assertEqual(state, SESSION_LESS)
            self.assertResult("permission", state)
        self.finish()

    def test_screen_methods_are_refused_as_mac_locked(self):
        with support.TempFolder() as folder:
            app = self.host.identity(support.make_bundle(folder))
        target = {"windowId": 4194311, "pid": 812}
        calls = [
            ("windows", lambda: self.host.windows(app)),
            ("observe", lambda: self.host.observe(app, target)),
            ("click", lambda: self.host.click(app, target, "F", 1, 1)),
            ("type_text", lambda: self.host.type_text(app, target, "F", "hello")),
            ("scroll", lambda: self.host.scroll(app, target, "F", "down")),
            ("press_key", lambda: self.host.press_key(app, target, "F", "Tab")),
        ]
        for method, call in calls:
            with self.subTest(method=method):
                with self.assertRaises(HostError) as raised:
                    call()
                self.assertCode(method, raised.exception, "mac_locked")
        self.finish()

    def test_refusals_carry_their_wire_codes(self):
        with support.TempFolder() as folder:
            unsealed = support.make_bundle(folder, name="Unsealed", seal=False)
            os.makedirs(os.path.join(folder, "Plain.app"))
            cases = [
                ("identity", {"path": folder}, "invalid_app"),
                ("identity", {"path": os.path.join(folder, "Plain.app")}, "invalid_app"),
                ("identity", {}, "invalid_app"),
                ("identity", {"path": unsealed}, "unsigned_app"),
                ("permission", {"kind": "Screen"}, "invalid_permission"),
                ("permission", {}, "invalid_permission"),
                # Malformed targets are refused before the screen is looked at.
                ("observe", {"app": {}}, "target_changed"),
                ("click", {"app": {}, "target": {"windowId": "1", "pid": 1}}, "target_changed"),
            ]
            for method, params, code in cases:
                with self.subTest(method=method, params=params):
                    with self.assertRaises(HostError) as raised:
                        self.host.call(method, params)
                    self.assertCode(method, raised.exception, code)
        for name in ("Status", "key", ""):
            with self.subTest(method=name):
                with self.assertRaises(HostError) as raised:
                    self.host.call(name, {"path": "/"})
                self.assertEqual(raised.exception.code, "unknown_method")
                self.assertValid("skelmor/answer", "unknown_method", "#/$defs/code")
        self.finish()

    def test_identity_of_a_sealed_bundle_and_clear(self):
        with support.TempFolder() as folder:
            bundle = support.make_bundle(folder, name="Pinned")
            identity = self.host.identity(bundle)
        self.assertResult("identity", identity)
        self.assertEqual(identity["path"], os.path.realpath(bundle))
        self.assertEqual((identity["name"], identity["teamId"]), ("Pinned", ""))
        self.assertEqual(self.host.clear(), {"cleared": True})
        self.assertResult("clear", self.host.clear())
        self.finish()


class Matching(HostTestCase):
    def test_concurrent_requests_each_get_their_own_answer(self):
        with support.TempFolder() as folder:
            bundles = [support.make_bundle(folder, name="App%d" % i) for i in range(4)]
            failures = []

            def worker(n):
                try:
                    for i in range(20):
                        bundle = bundles[(n + i) % len(bundles)]
                        if i % 2:
                            name = self.host.identity(bundle)["name"]
                            if name != os.path.basename(bundle)[:-4]:
                                failures.append((bundle, name))
                        elif self.host.status() != SESSION_LESS:
                            failures.append("status")
                except Exception as error:  # reported below, in the test's own thread
                    failures.append(error)

            threads = [threading.Thread(target=worker, args=(n,)) for n in range(6)]
            for thread in threads:
                thread.start()
            for thread in threads:
                thread.join()
        self.assertEqual(failures, [])
        self.finish()

    def test_a_request_times_out_alone_and_its_late_answer_is_dropped(self):
        with support.TempFolder() as folder:
            # Checking a seal of 256 MB takes about a fifth of a second.
            slow = support.make_bundle(folder, name="Slow", extra_file_bytes=256 << 20)
            quick = support.make_bundle(folder, name="Quick")
            with self.assertRaises(RequestTimeout) as raised:
                self.host.identity(slow, timeout=0.02)
            self.assertEqual(raised.exception.method, "identity")
            # The slow answer arrives first and belongs to nobody any more.
            self.assertEqual(self.host.identity(quick)["name"], "Quick")
            self.assertEqual(self.host.status(), SESSION_LESS)
        self.finish()

    def test_a_host_that_dies_fails_what_waits_at_once(self):
        with support.TempFolder() as folder:
            slow = support.make_bundle(folder, name="Slow", extra_file_bytes=512 << 20)
            result = {}

            def ask():
                try:
                    self.host.identity(slow, timeout=60)
                except HostExited as error:
                    result["error"] = error

            waiting = threading.Thread(target=ask)
            waiting.start()
            time.sleep(0.05)
            os.kill(self.host.pid, 9)
            waiting.join(10)
        self.assertFalse(waiting.is_alive(), "the request still waits for a dead host")
        self.assertEqual(result["error"].status, -9)
        with self.assertRaises(HostExited):
            self.host.status()


class InputBound(HostTestCase):
    def test_a_request_over_the_line_limit_is_not_sent(self):
        with self.assertRaises(RequestTooLarge) as raised:
            self.host.identity("/" + "x" * LINE_LIMIT)
        self.assertEqual(raised.exception.limit, LINE_LIMIT)
        # The host would have exited with status 2; it still answers.
        self.assertEqual(self.host.status(), SESSION_LESS)
        # A request of exactly the limit goes through (ids count from 1: this is the third).
        envelope = len(_request_line("3", "identity", {"path": "/"}))
        with self.assertRaises(HostError) as raised:
            self.host.identity("/" + "x" * (LINE_LIMIT - envelope))
        self.assertEqual(raised.exception.code, "invalid_app")
        self.finish()

    def test_lines_of_the_limit_are_taken_whatever_follows_them(self):
        # Back to back, at every offset against the host's reads: never too much pending.
        line = b'{"id":"x","method":"status"}'
        longest = line[:-1] + b" " * (LINE_LIMIT - len(line) - 1) + b"}\n"
        self.assertEqual(len(longest), LINE_LIMIT)
        burst = b"".join(b'{"id":"%d","method":"clear"}' % n + b" " * n + b"\n" + longest
                         for n in range(0, 4096, 97))
        burst += b'{"id":"end","method":"status"}\n'
        with support.TempFolder() as home:
            host = subprocess.Popen([support.program("SKELMOR")], stdin=subprocess.PIPE,
                                    stdout=subprocess.PIPE, env=support.bare_environment(home))
            writer = threading.Thread(target=host.stdin.write, args=(burst,))
            writer.start()
            ids = []  # until "end"; a host that exited ends the loop too
            for answer in iter(host.stdout.readline, b""):
                if json.loads(answer)["id"] == "end":
                    break
                ids.append(json.loads(answer)["id"])
            writer.join()
            host.stdin.close()
            status = host.wait()
            host.stdout.close()
        self.assertEqual(status, 0)
        self.assertEqual(len(ids), 2 * len(range(0, 4096, 97)))


class AnswerLines(unittest.TestCase, SchemaAssertions):
    """Whole answer lines, as the host writes them, against the schemas of their methods."""

    def test_every_answer_line_fits_its_methods_schema(self):
        with support.TempFolder() as folder:
            bundle = support.make_bundle(folder)
            requests = [
                ("status", None), ("identity", {"path": bundle}), ("identity", {"path": folder}),
                ("permission", {"kind": "screen"}), ("permission", {"kind": 1}),
                ("windows", {"app": {}}), ("clear", []), ("observe", {}),
                ("click", {"app": {}, "target": {"windowId": 1, "pid": 1}, "x": 1, "y": 1}),
                ("type_text", {}), ("scroll", {}), ("press_key", {}), ("nope", {}),
            ]
            lines = b"".join(json.dumps({"id": "r%d" % n, "method": m, "params": p}).encode()
                             + b"\r\n" for n, (m, p) in enumerate(requests))
            host = subprocess.Popen([support.program("SKELMOR")], stdin=subprocess.PIPE,
                                    stdout=subprocess.PIPE, env=support.bare_environment(folder))
            host.stdin.write(lines)
            host.stdin.flush()
            answers = [host.stdout.readline() for _ in requests]
            host.stdin.close()
            self.assertEqual(host.wait(), 0)
            host.stdout.close()
        for (method, _), line in zip(requests, answers):
            with self.subTest(method=method):
                self.assertTrue(line.endswith(b"}\n") and line.count(b"\n") == 1, line[:200])
                answer = json.loads(line, object_pairs_hook=sorted_pairs)
                self.assertValid("skelmor/answer", answer)
                if method != "nope":
                    self.assertValid("skelmor/" + method, answer)
                compact = json.dumps(answer, ensure_ascii=False, separators=(",", ":"))
                self.assertEqual(compact.encode() + b"\n", line)


def sorted_pairs(pairs):
    """Keeps an object's members as written, failing when they are not sorted."""
    keys = [key for key, _ in pairs]
    if keys != sorted(keys):
        raise AssertionError("members not sorted: %s" % keys)
    return dict(pairs)


if __name__ == "__main__":
    unittest.main()
