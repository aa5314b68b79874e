"""The schemas themselves: well formed, every reference resolvable, their error codes and
messages the ones the programs' sources raise and the protocol reference documents, and
strict enough to tell a good request from a bad one."""

import glob
import json
import os
import re
import unittest

import support
from support import SCHEMA, SchemaAssertions
from tarnwick.skelmor import _request_line

METHODS = SCHEMA.by_name["skelmor/request"]["properties"]["method"]["enum"]
ALL_CODES = set(SCHEMA.by_name["skelmor/answer"]["$defs"]["code"]["enum"])
MESSAGES = set(SCHEMA.by_name["brevail/message"]["enum"])


def sources(folder):
    for path in glob.glob(os.path.join(support.TOP, folder, "**", "*.[ch]*"), recursive=True):
        with open(path, encoding="utf-8") as f:
            yield f.read()


def references(node):
    if isinstance(node, dict):
        for key, value in node.items():
            if key == "$ref":
                yield value
            else:
                yield from references(value)
    elif isinstance(node, list):
        for value in node:
            yield from references(value)


def codes_of(node, schema):
    """The codes an error schema admits, following references within the schemas."""
    if "$ref" in node:
        resolver = SCHEMA.validator(schema).resolver
        with resolver.resolving(node["$ref"]) as target:
            return codes_of(target, schema)
    if "enum" in node:
        return set(node["enum"])
    if "const" in node:
        return {node["const"]}
    return set().union(*(codes_of(part, schema) for part in node["anyOf"]))


class Schemas(unittest.TestCase, SchemaAssertions):
    def test_every_schema_is_valid_and_every_reference_resolves(self):
        expected = {"skelmor/" + m for m in METHODS + ["common", "request", "answer"]}
        self.assertEqual(set(SCHEMA.by_name), expected | {"brevail/job", "brevail/report",
                                                          "brevail/message"})
        for name, schema in SCHEMA.by_name.items():
            with self.subTest(schema=name):
                support.jsonschema.Draft202012Validator.check_schema(schema)
                resolver = SCHEMA.validator(name).resolver
                for ref in references(schema):
                    with resolver.resolving(ref) as target:
                        self.assertIsInstance(target, dict, ref)

    def test_every_method_has_its_schema_with_params_result_and_errors(self):
        for method in METHODS:
            with self.subTest(method=method):
                defs = SCHEMA.by_name["skelmor/" + method]["$defs"]
                self.assertEqual(set(defs), {"params", "result", "error"})
                self.assertLessEqual(codes_of(defs["error"], "skelmor/" + method), ALL_CODES)

    def test_the_codes_are_those_the_host_answers(self):
        # The host names every code once, beside its enumerator, in one table of wire names.
        text = "\n".join(sources("host"))
        named = set(re.findall(r'\{\s*ErrorCode::\w+\s*,\s*"([a-z_]+)"\s*\}', text))
        self.assertEqual(named, ALL_CODES)
        used = set().union(*(codes_of(SCHEMA.by_name["skelmor/" + m]["$defs"]["error"],
                                      "skelmor/" + m) for m in METHODS))
        self.assertEqual(used | {"unknown_method"}, ALL_CODES)

    def test_the_messages_are_those_the_tool_prints(self):
        text = "\n".join(sources("attachments"))
        printed = set(re.findall(r'fail\("([^"]+)"\)', text))
        printed |= set(re.findall(r'(?:k[A-Z]\w+|unexpectedFailure)\s*=\s*"([^"]+)"', text))
        self.assertEqual(printed, MESSAGES)

    def test_the_protocol_reference_documents_every_code_and_message(self):
        with open(os.path.join(support.TOP, "docs", "protocol.md"), encoding="utf-8") as f:
            text = f.read()
        documented = set(re.findall(r'"([a-z]+(?:_[a-z]+)+|[a-z]+)"', text))
        self.assertLessEqual(ALL_CODES, documented)
        for message in MESSAGES:
            self.assertIn('"%s"' % message, text)

    def test_requests_as_the_clients_write_them_pass_and_malformed_ones_fail(self):
        app = {"path": "/a/A.app", "bundleId": "b", "signedId": "b", "teamId": "",
               "executable": "/a/A.app/Contents/MacOS/a", "requirement": 'cdhash H"00"',
               "name": "A", "icon": ""}
        target = {"windowId": 4194311, "pid": 812}
        act = {"app": app, "target": target, "frameId": "F"}
        good = [
            ("status", {}), ("identity", {"path": "A.app"}), ("permission", {"kind": "screen"}),
            ("windows", {"app": app}), ("clear", {}), ("observe", {"app": app, "target": target}),
            ("click", dict(act, x=0, y=10.5)), ("type_text", dict(act, text="")),
            ("scroll", dict(act, direction="up")), ("press_key", dict(act, key="Tab")),
        ]
        for method, params in good:
            with self.subTest(method=method):
                self.assertValid("skelmor/request", json.loads(_request_line("1", method, params)))
        bad = [
            {"id": 1, "method": "status"},
            {"id": "1"},
            {"id": "1", "method": "Status"},
            {"id": "1", "method": "identity"},
            {"id": "1", "method": "permission", "params": {"kind": "Screen"}},
            {"id": "1", "method": "windows", "params": {"app": dict(app, teamId=None)}},
            {"id": "1", "method": "observe",
             "params": {"app": app, "target": {"windowId": 1.5, "pid": 1}}},
            {"id": "1", "method": "click", "params": dict(act, x=-1, y=0)},
            {"id": "1", "method": "scroll", "params": dict(act, direction="left")},
            {"id": "1", "method": "press_key", "params": dict(act, key="tab")},
        ]
        for request in bad:
            with self.subTest(request=request):
                self.assertInvalid("skelmor/request", request)

    def test_the_report_and_job_schemas_tell_good_from_bad(self):
        self.assertInvalid("brevail/job", {"input": "a.pdf", "operation": "prepare", "kind": "pdf",
                                           "output": "/tmp"})
        self.assertInvalid("brevail/job", {"input": "a.png", "operation": "prepare"})
        self.assertInvalid("brevail/report", {"kind": "image", "pages": 3})
        self.assertInvalid("brevail/report", {"kind": "pdf", "pages": 3, "items": [
            {"file": "image.jpg", "page": 0, "text": ""}]})


if __name__ == "__main__":
    unittest.main()
