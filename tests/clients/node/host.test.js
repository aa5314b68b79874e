'use strict';
// The Node client against the real skelmor without a desktop: the host then reports no
// session and refuses every screen method with "mac_locked".

const assert = require('node:assert');
const fs = require('node:fs');
const path = require('node:path');
const {test, describe, beforeEach, afterEach} = require('node:test');

const {
  clients,
  program,
  bareEnvironment,
  tempFolder,
  removeFolder,
  makeBundle,
} = require('./support');

const {
  Skelmor,
  LINE_LIMIT,
  HostError,
  HostExited,
  RequestTimeout,
  RequestTooLarge,
} = clients;

const SESSION_LESS = {
  accessibility: false,
  available: true,
  identity: 'unbundled',
  locked: false,
  name: 'Tarnwick Computer Use',
  onConsole: false,
  screen: false,
  sleeping: false,
  version: '1',
};

describe('skelmor without a desktop', () => {
  let folder;
  let host;
  let stderr;

  beforeEach(() => {
    folder = tempFolder();
    stderr = fs.openSync(path.join(folder, 'stderr'), 'w');
    host = new Skelmor({executable: program('SKELMOR'), env: bareEnvironment(folder), stderr});
  });

  afterEach(async () => {
    await host.close();
    fs.closeSync(stderr);
    removeFolder(folder);
  });

  // A clean end of input is exit status 0, with nothing on standard error.
  async function finish() {
    assert.strictEqual(await host.close(), 0);
    assert.strictEqual(fs.readFileSync(path.join(folder, 'stderr'), 'utf8'), '');
  }

  async function codeOf(promise) {
    await assert.rejects(promise, HostError);
    return promise.catch((error) => error.code);
  }

  test('status and permission answer the session-less state', async () => {
    assert.deepStrictEqual(await host.status(), SESSION_LESS);
    assert.deepStrictEqual(await host.permission('screen'), SESSION_LESS);
    assert.deepStrictEqual(await host.permission('accessibility'), SESSION_LESS);
    await finish();
  });

  test('screen methods are refused as mac_locked, with the method named', async () => {
    const app = await host.identity(makeBundle(folder));
    const target = {windowId: 4194311, pid: 812};
    const calls = {
      windows: host.windows(app),
      observe: host.observe(app, target),
      click: host.click(app, target, 'F', 1, 1),
      type_text: host.typeText(app, target, 'F', 'hello'),
      scroll: host.scroll(app, target, 'F', 'down'),
      press_key: host.pressKey(app, target, 'F', 'Tab'),
    };
    for (const [method, call] of Object.entries(calls)) {
      await assert.rejects(
          call,
          (error) =>
              error instanceof HostError && error.code === 'mac_locked' && error.method === method);
    }
    await finish();
  });

  test('refusals carry their wire codes', async () => {
    const unsealed = makeBundle(folder, {name: 'Unsealed', seal: false});
    const cases = [
      ['identity', {path: folder}, 'invalid_app'],
      ['identity', {}, 'invalid_app'],
      ['identity', {path: unsealed}, 'unsigned_app'],
      ['permission', {kind: 'Screen'}, 'invalid_permission'],
      ['observe', {app: {}}, 'target_changed'],
      ['Status', {}, 'unknown_method'],
      ['key', {}, 'unknown_method'],
    ];
    for (const [method, params, code] of cases) {
      assert.strictEqual(
          await codeOf(host.call(method, params)), code, `${method} ${JSON.stringify(params)}`);
    }
    await finish();
  });

  test('identity of a sealed bundle, and clear', async () => {
    const bundle = makeBundle(folder, {name: 'Pinned'});
    const identity = await host.identity(bundle);
    assert.strictEqual(identity.path, fs.realpathSync(bundle));
    assert.strictEqual(identity.name, 'Pinned');
    assert.strictEqual(identity.teamId, '');
    assert.match(identity.requirement, /^cdhash H"[0-9a-f]{64}"$/);
    assert.deepStrictEqual(await host.clear(), {cleared: true});
    await finish();
  });

  test('requests in flight together each get their own answer', async () => {
    const bundles = [0, 1, 2, 3].map((i) => makeBundle(folder, {name: `App${i}`}));
    const asked = [];
    for (let i = 0; i < 120; i++) {
      asked.push(i % 2 ? host.identity(bundles[i % 4]).then((r) => r.name) : host.status());
    }
    const answers = await Promise.all(asked);
    answers.forEach((answer, i) => {
      assert.deepStrictEqual(answer, i % 2 ? `App${i % 4}` : SESSION_LESS);
    });
    await finish();
  });

  test('a request times out alone and its late answer is dropped', async () => {
    // Checking a seal of 256 MB takes about a fifth of a second.
    const slow = makeBundle(folder, {name: 'Slow', extraFileBytes: 256 * 2 ** 20});
    const quick = makeBundle(folder, {name: 'Quick'});
    await assert.rejects(
        host.identity(slow, {timeout: 20}),
        (error) => error instanceof RequestTimeout && error.method === 'identity');
    assert.strictEqual((await host.identity(quick)).name, 'Quick');
    assert.deepStrictEqual(await host.status(), SESSION_LESS);
    await finish();
  });

  test('a host that dies fails what waits at once', async () => {
    const slow = makeBundle(folder, {name: 'Slow', extraFileBytes: 512 * 2 ** 20});
    const waiting = host.identity(slow, {timeout: 60000});
    setTimeout(() => process.kill(host.pid, 'SIGKILL'), 50);
    await assert.rejects(
        waiting, (error) => error instanceof HostExited && error.signal === 'SIGKILL');
    await assert.rejects(host.status(), HostExited);
  });

  test('a host that cannot be started fails its requests and closes', async () => {
    const missing = new Skelmor({executable: path.join(folder, 'no-such-host')});
    await assert.rejects(
        missing.status(), (error) => error instanceof HostExited && error.status === null);
    assert.strictEqual(await missing.close(), null);
    await finish();
  });

  test('a request over the line limit is not sent; one of the limit is', async () => {
    await assert.rejects(
        host.identity(`/${'x'.repeat(LINE_LIMIT)}`),
        (error) => error instanceof RequestTooLarge && error.limit === LINE_LIMIT);
    assert.deepStrictEqual(await host.status(), SESSION_LESS);
    // Ids count from 1: this request is the third.
    const envelope = Buffer.byteLength(
        `${JSON.stringify({id: '3', method: 'identity', params: {path: '/'}})}\n`);
    assert.strictEqual(
        await codeOf(host.identity(`/${'x'.repeat(LINE_LIMIT - envelope)}`)), 'invalid_app');
    await finish();
  });
});
