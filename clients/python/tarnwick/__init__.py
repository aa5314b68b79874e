"""Clients of the Tarnwick desktop helpers: skelmor (computer-use host) and brevail
(attachment tool). Standard library only."""

from .brevail import run_brevail
from .errors import (BrevailError, HostError, HostExited, RequestTimeout, RequestTooLarge,
                     SkelmorError)
from .skelmor import LINE_LIMIT, Skelmor

__all__ = ["Skelmor", "run_brevail", "LINE_LIMIT", "SkelmorError", "HostError",
           "RequestTimeout", "HostExited", "RequestTooLarge", "BrevailError"]
