'use strict';
// Running brevail, the attachment tool: one process per job, the job on its standard input,
// the report on its standard output or one fixed message on its standard error.

const {spawn} = require('node:child_process');
const {BrevailError} = require('./errors');

const DEFAULT_TIMEOUT = 120000;  // milliseconds

// Runs one job (an object, or the job's JSON text) and resolves to the report. Rejects with
// BrevailError carrying the tool's message ("Invalid page"...) and status 1, or a description
// when the tool ended otherwise or took longer than `timeout`. Relative paths in the job are
// taken from `cwd`.
function runBrevail(job, {
  executable = 'brevail',
  timeout = DEFAULT_TIMEOUT,
  env,
  cwd,
} = {}) {
  return new Promise((resolve, reject) => {
    const child = spawn(executable, [], {stdio: ['pipe', 'pipe', 'pipe'], env, cwd});
    const out = [];
    const err = [];
    let timedOut = false;
    const timer = setTimeout(() => {
      timedOut = true;
      child.kill('SIGKILL');  // files written before stay
    }, timeout);
    child.stdout.on('data', (chunk) => out.push(chunk));
    child.stderr.on('data', (chunk) => err.push(chunk));
    child.stdin.on('error', () => {});
    child.on('error', (error) => {
      clearTimeout(timer);
      reject(new BrevailError(`brevail could not be started: ${error.message}`, null));
    });
    child.on('close', (status, signal) => {
      clearTimeout(timer);
      if (timedOut) {
        reject(new BrevailError(`brevail took longer than ${timeout} ms`, null));
      } else if (status === 0) {
        resolve(JSON.parse(Buffer.concat(out).toString('utf8')));
      } else {
        const message = Buffer.concat(err).toString('utf8');
        reject(new BrevailError(
            status === 1 && message ?
                message :
                `brevail ended with ${signal ? `signal ${signal}` : `status ${status}`}`,
            status));
      }
    });
    const text = typeof job === 'string' || Buffer.isBuffer(job) ? job : JSON.stringify(job);
    child.stdin.end(text);
  });
}

module.exports = {
  runBrevail,
  DEFAULT_TIMEOUT
};
