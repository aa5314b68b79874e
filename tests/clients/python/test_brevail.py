"""The Python runner of the real brevail: reports and messages, each checked against the
schemas, and the jobs sent checked against the job schema."""

import os
import unittest

import support
from support import SchemaAssertions
from tarnwick import BrevailError, run_brevail

SAMPLES = os.path.join(support.TOP, "samples")


class Brevail(unittest.TestCase, SchemaAssertions):
    def setUp(self):
        self.folder = support.TempFolder()
        self.out = self.folder.__enter__()
        self.addCleanup(self.folder.__exit__)

    def run_job(self, job):
        self.assertValid("brevail/job", job)
        report = run_brevail(job, executable=support.program("BREVAIL"), cwd=support.TOP)
        self.assertValid("brevail/report", report)
        return report

    def test_inspections_report_the_size_or_the_page_count(self):
        self.assertEqual(self.run_job({"input": "samples/sample.jpg", "operation": "inspect"}),
                         {"height": 800, "kind": "image", "width": 1200})
        self.assertEqual(self.run_job({"input": os.path.join(SAMPLES, "sample.pdf"),
                                       "operation": "", "kind": "pdf", "pages": [1]}),
                         {"kind": "pdf", "pages": 3})
        self.assertEqual(os.listdir(self.out), [])

    def test_an_image_prepare_writes_one_upright_jpeg(self):
        report = self.run_job({"input": "samples/sample.jpg", "operation": "prepare",
                               "output": self.out})
        self.assertEqual(report["items"], [{"file": "image.jpg", "page": 0, "text": ""}])
        with open(os.path.join(self.out, "image.jpg"), "rb") as f:
            self.assertEqual(support.jpeg_size(f.read()), (1200, 800))

    def test_a_pdf_prepare_writes_the_pages_in_the_order_asked(self):
        report = self.run_job({"input": "samples/sample.pdf", "operation": "prepare",
                               "kind": "pdf", "output": self.out, "pages": [3, 1, 3]})
        self.assertEqual([(i["file"], i["page"]) for i in report["items"]],
                         [("page-3.jpg", 3), ("page-1.jpg", 1), ("page-3.jpg", 3)])
        self.assertIn("Quarterly field notes", report["items"][1]["text"])
        for name in ("page-1.jpg", "page-3.jpg"):
            with open(os.path.join(self.out, name), "rb") as f:
                self.assertEqual(max(support.jpeg_size(f.read())), 2000)

    def test_failures_raise_the_tools_message(self):
        pdf = {"input": "samples/sample.pdf", "kind": "pdf", "operation": "prepare"}
        cases = [
            ({"operation": "inspect"}, "Invalid input"),
            ([], "Invalid input"),
            ("", "File processing failed"),
            ("42", "File processing failed"),
            ({"input": "samples/missing.png", "operation": "inspect"},
             "Unsupported, animated or damaged image"),
            ({"input": "samples/sample.pdf", "operation": "inspect"},
             "Unsupported, animated or damaged image"),
            ({"input": "samples/sample.jpg", "operation": "prepare"}, "Cannot prepare image"),
            ({"input": "samples/sample.jpg", "operation": "prepare",
              "output": os.path.join(self.out, "missing")}, "Cannot prepare image"),
            ({"input": "samples/sample.jpg", "operation": "x", "kind": "pdf"},
             "Unsupported, encrypted or damaged PDF"),
            (dict(pdf, output=self.out), "Select PDF pages"),
            (dict(pdf, output=self.out, pages=[]), "Select PDF pages"),
            (dict(pdf, output=self.out, pages=[1.5]), "Select PDF pages"),
            (dict(pdf, output=self.out, pages=list(range(1, 12))), "Select PDF pages"),
            (dict(pdf, output=self.out, pages=[4]), "Invalid page"),
            (dict(pdf, output=self.out, pages=[0]), "Invalid page"),
        ]
        for job, message in cases:
            with self.subTest(job=job):
                with self.assertRaises(BrevailError) as raised:
                    run_brevail(job, executable=support.program("BREVAIL"), cwd=support.TOP)
                self.assertEqual((raised.exception.message, raised.exception.status), (message, 1))
                self.assertValid("brevail/message", raised.exception.message)

    def test_pages_written_before_a_failure_stay(self):
        with self.assertRaises(BrevailError) as raised:
            run_brevail({"input": "samples/sample.pdf", "kind": "pdf", "operation": "prepare",
                         "output": self.out, "pages": [2, 9]},
                        executable=support.program("BREVAIL"), cwd=support.TOP)
        self.assertEqual(raised.exception.message, "Invalid page")
        self.assertEqual(os.listdir(self.out), ["page-2.jpg"])

    def test_an_exit_without_a_message_is_not_taken_for_one(self):
        with self.assertRaises(BrevailError) as raised:
            run_brevail({"input": "samples/sample.pdf", "operation": "inspect"},
                        executable="/bin/false")
        self.assertEqual(raised.exception.status, 1)
        self.assertEqual(raised.exception.message, "brevail ended with status 1")


if __name__ == "__main__":
    unittest.main()
