"""Running brevail, the attachment tool: one process per job, the job on its standard input,
the report on its standard output or one fixed message on its standard error."""

import json
import subprocess

from .errors import BrevailError

DEFAULT_TIMEOUT = 120.0


def run_brevail(job, executable="brevail", timeout=DEFAULT_TIMEOUT, env=None, cwd=None):
    """Runs one job (a dict, or the job's JSON text) and returns the report as a dict.

    Raises BrevailError with the tool's message ("Invalid page"...) and exit status 1, or
    with a description when the tool ended otherwise or took longer than `timeout`.
    Relative paths in the job are taken from `cwd`.
    """
    text = job if isinstance(job, (str, bytes)) else json.dumps(job, ensure_ascii=False)
    data = text.encode("utf-8") if isinstance(text, str) else text
    try:
        done = subprocess.run([executable], input=data, capture_output=True, timeout=timeout,
                              env=env, cwd=cwd, check=False)
    except subprocess.TimeoutExpired:
        # run() has killed and reaped the tool; files it wrote before stay.
        raise BrevailError("brevail took longer than %g s" % timeout, None) from None
    if done.returncode == 0:
        return json.loads(done.stdout)
    message = done.stderr.decode("utf-8", "replace")
    if done.returncode != 1 or not message:
        message = "brevail ended with status %d" % done.returncode
    raise BrevailError(message, done.returncode)
