'use strict';
// A client of skelmor, the computer-use host: one child process, JSON lines both ways.
//
// The host answers in request order except that an observe may be answered after later
// requests, so answers are matched by id. Its input stays open for the life of the client:
// the host stops reading at end of input and never answers what is still queued then.

const {spawn} = require('node:child_process');
const {HostError, HostExited, RequestTimeout, RequestTooLarge} = require('./errors');

// The host exits at once (status 2) when more than 65,536 bytes of input are pending after
// one of its reads of up to 4,096 bytes. A line of at most 65,536 - 4,096 bytes, line feed
// included, never gets there, whatever follows it in the same read.
const LINE_LIMIT = 65536 - 4096;

const DEFAULT_TIMEOUT = 10000;  // milliseconds
// Observe waits for two signature checks of the bundle and a capture.
const OBSERVE_TIMEOUT = 30000;

const NEWLINE = 0x0a;

class Skelmor {
  // Starts the host. `call` resolves to the answer's result or rejects with HostError
  // (carrying the wire code), RequestTimeout, HostExited or RequestTooLarge.
  constructor({
    executable = 'skelmor',
    env,
    timeout = DEFAULT_TIMEOUT,
    observeTimeout = OBSERVE_TIMEOUT,
    stderr = 'ignore',
  } = {}) {
    this.timeout = timeout;
    this.observeTimeout = observeTimeout;
    this._nextId = 1;
    this._pending = new Map();
    this._ended = null;
    this._partial = [];  // the bytes of a line whose line feed has not come yet
    this._child = spawn(executable, [], {stdio: ['pipe', 'pipe', stderr], env});
    // A write after the host has gone fails; the end of the host fails what waits.
    this._child.stdin.on('error', () => {});
    this._child.stdout.on('data', (chunk) => this._receive(chunk));
    this.exited = new Promise((resolve) => {
      // 'close' comes after the last answer has been read.
      this._child.on('close', (status, signal) => {
        this._end(status, signal);
        resolve(status);
      });
      this._child.on('error', () => {  // it could not be started
        this._end(null, null);
        resolve(null);
      });
    });
  }

  get pid() {
    return this._child.pid;
  }

  // Sends one request; the promise settles with its own answer or after `timeout` ms.
  call(method, params = {}, {timeout} = {}) {
    if (this._ended) {
      return Promise.reject(new HostExited(this._ended.status, this._ended.signal));
    }
    const id = String(this._nextId++);
    const line = Buffer.from(`${JSON.stringify({id, method, params})}\n`, 'utf8');
    if (line.length > LINE_LIMIT) {
      return Promise.reject(new RequestTooLarge(method, line.length, LINE_LIMIT));
    }
    const ms = timeout ?? (method === 'observe' ? this.observeTimeout : this.timeout);
    return new Promise((resolve, reject) => {
      const timer = setTimeout(() => {
        this._pending.delete(id);  // a late answer is dropped
        reject(new RequestTimeout(method, ms));
      }, ms);
      this._pending.set(id, {method, resolve, reject, timer});
      this._child.stdin.write(line);
    });
  }

  // The methods, by name. `app` is an identity result, `target` a {windowId, pid}.
  status(options) {
    return this.call('status', {}, options);
  }

  identity(path, options) {
    return this.call('identity', {path}, options);
  }

  permission(kind, options) {
    return this.call('permission', {kind}, options);
  }

  async windows(app, options) {
    return (await this.call('windows', {app}, options)).windows;
  }

  clear(options) {
    return this.call('clear', {}, options);
  }

  observe(app, target, options) {
    return this.call('observe', {app, target}, options);
  }

  click(app, target, frameId, x, y, options) {
    return this.call('click', {app, target, frameId, x, y}, options);
  }

  typeText(app, target, frameId, text, options) {
    return this.call('type_text', {app, target, frameId, text}, options);
  }

  scroll(app, target, frameId, direction, options) {
    return this.call('scroll', {app, target, frameId, direction}, options);
  }

  pressKey(app, target, frameId, key = 'Tab', options) {
    return this.call('press_key', {app, target, frameId, key}, options);
  }

  // Ends the host by ending its input and resolves to its exit status. Requests still
  // waiting fail with HostExited. A host that does not end in time is killed.
  async close({timeout = 5000} = {}) {
    this._child.stdin.end();
    let timer;
    const late = new Promise((resolve) => {
      timer = setTimeout(resolve, timeout, 'late');
    });
    const first = await Promise.race([this.exited, late]);
    clearTimeout(timer);
    if (first !== 'late') return first;
    this._child.kill('SIGKILL');
    return this.exited;
  }

  // Cuts answer lines out of the output; a line may span any number of chunks.
  _receive(chunk) {
    let start = 0;
    for (let end; (end = chunk.indexOf(NEWLINE, start)) !== -1; start = end + 1) {
      const piece = chunk.subarray(start, end);
      const line = this._partial.length ? Buffer.concat([...this._partial, piece]) : piece;
      this._partial = [];
      this._answer(line);
    }
    if (start < chunk.length) this._partial.push(chunk.subarray(start));
  }

  _answer(line) {
    let answer;
    try {
      answer = JSON.parse(line.toString('utf8'));
    } catch {
      return;
    }
    const pending = answer && this._pending.get(answer.id);
    if (!pending) return;
    this._pending.delete(answer.id);
    clearTimeout(pending.timer);
    if ('error' in answer)
      pending.reject(new HostError(answer.error, pending.method));
    else
      pending.resolve(answer.result);
  }

  _end(status, signal) {
    if (this._ended) return;
    this._ended = {status, signal};
    for (const pending of this._pending.values()) {
      clearTimeout(pending.timer);
      pending.reject(new HostExited(status, signal));
    }
    this._pending.clear();
  }
}

module.exports = {
  Skelmor,
  LINE_LIMIT,
  DEFAULT_TIMEOUT,
  OBSERVE_TIMEOUT
};
