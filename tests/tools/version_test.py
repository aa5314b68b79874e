#!/usr/bin/env python3
"""--version of the tools people run beside the programs: each prints its name and the
project's version on one line, in the same form, and nothing else.
Usage: version_test.py VERSION BUNDLE_SEAL SKELMOR_DOCTOR"""
import subprocess
import sys
import unittest

VERSION, BUNDLE_SEAL, DOCTOR = sys.argv[1], sys.argv[2], sys.argv[3]


def run(tool, *args):
    return subprocess.run([tool, *args], capture_output=True, text=True, timeout=60)


class Version(unittest.TestCase):
    def test_each_tool_prints_its_name_and_the_project_version(self):
        for name, tool in (("bundle-seal", BUNDLE_SEAL), ("skelmor-doctor", DOCTOR)):
            with self.subTest(tool=name):
                result = run(tool, "--version")
                self.assertEqual(result.returncode, 0, result.stderr)
                self.assertEqual(result.stdout, f"{name} {VERSION}\n")
                self.assertEqual(result.stderr, "")

    def test_bundle_seal_takes_version_alone(self):
        result = run(BUNDLE_SEAL, "--version", "extra")
        self.assertEqual(result.returncode, 2)
        self.assertEqual(result.stdout, "")
        self.assertIn("bundle-seal --version", result.stderr)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1])
