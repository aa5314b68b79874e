"""What can go wrong when talking to skelmor or running brevail, as exception types."""


class SkelmorError(Exception):
    """Base of every failure of a skelmor request."""


class HostError(SkelmorError):
    """The host answered the request with an error code ("stale_frame", "mac_locked"...)."""

    def __init__(self, code, method):
        super().__init__("%s: %s" % (method, code))
        self.code = code
        self.method = method


class RequestTimeout(SkelmorError):
    """No answer arrived within the request's own time-out. A late answer is dropped."""

    def __init__(self, method, seconds):
        super().__init__("%s: no answer within %g s" % (method, seconds))
        self.method = method
        self.seconds = seconds


class HostExited(SkelmorError):
    """The host ended (or could not be written to) before the request was answered."""

    def __init__(self, status):
        super().__init__("skelmor ended with status %r" % (status,))
        self.status = status


class RequestTooLarge(SkelmorError):
    """The request line is longer than the host can always take; it was not sent, because
    too much pending input makes the host exit at once."""

    def __init__(self, method, size, limit):
        super().__init__("%s: request of %d bytes, at most %d may be sent" % (method, size, limit))
        self.method = method
        self.size = size
        self.limit = limit


class BrevailError(Exception):
    """brevail refused the job: `message` is its fixed message ("Invalid page"...), or a
    description when it ended without one (killed, timed out)."""

    def __init__(self, message, status):
        super().__init__(message)
        self.message = message
        self.status = status
