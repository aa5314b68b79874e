'use strict';
// What can go wrong when talking to skelmor or running brevail, as error types.

class SkelmorError extends Error {
  constructor(message) {
    super(message);
    this.name = this.constructor.name;
  }
}

// The host answered the request with an error code ("stale_frame", "mac_locked"...).
class HostError extends SkelmorError {
  constructor(code, method) {
    super(`${method}: ${code}`);
    this.code = code;
    this.method = method;
  }
}

// No answer arrived within the request's own time-out. A late answer is dropped.
class RequestTimeout extends SkelmorError {
  constructor(method, milliseconds) {
    super(`${method}: no answer within ${milliseconds} ms`);
    this.method = method;
    this.milliseconds = milliseconds;
  }
}

// The host ended (or could not be written to) before the request was answered.
class HostExited extends SkelmorError {
  constructor(status, signal) {
    super(`skelmor ended with ${signal ? `signal ${signal}` : `status ${status}`}`);
    this.status = status;
    this.signal = signal;
  }
}

// The request line is longer than the host can always take; it was not sent, because too
// much pending input makes the host exit at once.
class RequestTooLarge extends SkelmorError {
  constructor(method, size, limit) {
    super(`${method}: request of ${size} bytes, at most ${limit} may be sent`);
    this.method = method;
    this.size = size;
    this.limit = limit;
  }
}

// brevail refused the job: `message` is its fixed message ("Invalid page"...), or a
// description when it ended without one (killed, timed out).
class BrevailError extends Error {
  constructor(message, status) {
    super(message);
    this.name = 'BrevailError';
    this.status = status;
  }
}

module.exports = {
  SkelmorError,
  HostError,
  RequestTimeout,
  HostExited,
  RequestTooLarge,
  BrevailError,
};
