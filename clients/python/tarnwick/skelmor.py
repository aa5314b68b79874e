"""A client of skelmor, the computer-use host: one child process, JSON lines both ways.

The host answers in request order except that an observe may be answered after later
requests, so answers are matched by id. Its input stays open for the life of the client:
the host stops reading at end of input and never answers what is still queued then.
"""

import itertools
import json
import subprocess
import threading

from .errors import HostError, HostExited, RequestTimeout, RequestTooLarge

# The host exits at once (status 2) when more than 65,536 bytes of input are pending after
# one of its reads of up to 4,096 bytes. A line of at most 65,536 - 4,096 bytes, line feed
# included, never gets there, whatever follows it in the same read.
LINE_LIMIT = 65_536 - 4_096

DEFAULT_TIMEOUT = 10.0
# Observe waits for two signature checks of the bundle and a capture.
OBSERVE_TIMEOUT = 30.0


class _Pending:
    """One request waiting for its answer."""

    def __init__(self):
        self.done = threading.Event()
        self.answer = None
        self.failure = None


class Skelmor:
    """Starts the host and sends it requests; safe to use from several threads.

    `call` returns the answer's result (a dict) or raises HostError with the wire code,
    RequestTimeout, HostExited or RequestTooLarge. Use it as a context manager, or call
    close() to end the host.
    """

    def __init__(self, executable="skelmor", env=None, timeout=DEFAULT_TIMEOUT,
                 observe_timeout=OBSERVE_TIMEOUT, stderr=None):
        self.timeout = timeout
        self.observe_timeout = observe_timeout
        self._process = subprocess.Popen(
            [executable],
            stdin=subprocess.PIPE,
            stdout=subprocess.PIPE,
            stderr=subprocess.DEVNULL if stderr is None else stderr,
            env=env,
        )
        self._ids = itertools.count(1)
        self._lock = threading.Lock()  # guards _pending, _ended and the ids
        self._write_lock = threading.Lock()
        self._pending = {}
        self._ended = False
        self._reader = threading.Thread(target=self._read_answers, daemon=True)
        self._reader.start()

    @property
    def pid(self):
        return self._process.pid

    def call(self, method, params=None, timeout=None):
        """Sends one request and waits for its own answer, at most `timeout` seconds."""
        if timeout is None:
            timeout = self.observe_timeout if method == "observe" else self.timeout
        pending = _Pending()
        with self._lock:
            if self._ended:
                raise HostExited(self._process.poll())
            rid = str(next(self._ids))
            line = _request_line(rid, method, params)
            if len(line) > LINE_LIMIT:
                raise RequestTooLarge(method, len(line), LINE_LIMIT)
            self._pending[rid] = pending
        try:
            with self._write_lock:
                self._process.stdin.write(line)
                self._process.stdin.flush()
        except (BrokenPipeError, ValueError, OSError):
            with self._lock:
                self._pending.pop(rid, None)
            raise HostExited(self._process.poll()) from None

        if not pending.done.wait(timeout):
            with self._lock:
                mine = self._pending.pop(rid, None) is pending
            if mine:
                raise RequestTimeout(method, timeout)  # a late answer will be dropped
            pending.done.wait()  # the reader took it just now and is handing it over
        if pending.failure is not None:
            raise pending.failure
        if "error" in pending.answer:
            raise HostError(pending.answer["error"], method)
        return pending.answer["result"]

    # The methods, by name. `app` is an identity result, `target` a {"windowId", "pid"}.
    def status(self, **kw):
        return self.call("status", {}, **kw)

    def identity(self, path, **kw):
        return self.call("identity", {"path": path}, **kw)

    def permission(self, kind, **kw):
        return self.call("permission", {"kind": kind}, **kw)

    def windows(self, app, **kw):
        return self.call("windows", {"app": app}, **kw)["windows"]

    def clear(self, **kw):
        return self.call("clear", {}, **kw)

    def observe(self, app, target, **kw):
        return self.call("observe", {"app": app, "target": target}, **kw)

    def click(self, app, target, frame_id, x, y, **kw):
        return self.call("click", _action(app, target, frame_id, x=x, y=y), **kw)

    def type_text(self, app, target, frame_id, text, **kw):
        return self.call("type_text", _action(app, target, frame_id, text=text), **kw)

    def scroll(self, app, target, frame_id, direction, **kw):
        return self.call("scroll", _action(app, target, frame_id, direction=direction), **kw)

    def press_key(self, app, target, frame_id, key="Tab", **kw):
        return self.call("press_key", _action(app, target, frame_id, key=key), **kw)

    def close(self, timeout=5.0):
        """Ends the host by ending its input and returns its exit status. Requests still
        waiting fail with HostExited. A host that does not end in time is killed."""
        with self._write_lock:
            try:
                self._process.stdin.close()
            except OSError:
                pass
        try:
            status = self._process.wait(timeout)
        except subprocess.TimeoutExpired:
            self._process.kill()
            status = self._process.wait()
        self._reader.join()
        return status

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def _read_answers(self):
        # A buffered binary pipe's lines have no length limit: an observe answer may be
        # megabytes long.
        for line in self._process.stdout:
            try:
                answer = json.loads(line)
                rid = answer["id"]
            except (ValueError, TypeError, KeyError):
                continue
            with self._lock:
                pending = self._pending.pop(rid, None)
            if pending is not None:
                pending.answer = answer
                pending.done.set()
        self._process.stdout.close()
        status = self._process.wait()
        with self._lock:
            self._ended = True
            waiting, self._pending = self._pending, {}
        for pending in waiting.values():
            pending.failure = HostExited(status)
            pending.done.set()


def _request_line(rid, method, params):
    request = {"id": rid, "method": method, "params": {} if params is None else params}
    text = json.dumps(request, ensure_ascii=False, separators=(",", ":"), allow_nan=False)
    return text.encode("utf-8") + b"\n"


def _action(app, target, frame_id, **own):
    return dict(own, app=app, target=target, frameId=frame_id)
