'use strict';
// The Node client through whole turns on the virtual desktop (run under
// tools/desktop/run.sh): the real skelmor operating the GTK test application in a sealed bundle.

const assert = require('node:assert');
const fs = require('node:fs');
const path = require('node:path');
const {test, describe, beforeEach, afterEach} = require('node:test');

const {
  clients,
  program,
  tempFolder,
  removeFolder,
  makeBundle,
  TestApp,
  jpegSize,
} = require('./support');

const {Skelmor, HostError, RequestTimeout} = clients;
const NOISE_WINDOW = path.join(__dirname, '..', 'noise_window.py');
const onDesktop = Boolean(process.env.TARNWICK_DESKTOP);

describe(
    'skelmor on the virtual desktop', {skip: !onDesktop && 'needs tools/desktop/run.sh'}, () => {
      let folder;
      let host;
      let apps;

      beforeEach(() => {
        folder = tempFolder();
        host = new Skelmor({executable: program('SKELMOR')});
        apps = [];
      });

      afterEach(async () => {
        await host.close();
        apps.forEach((app) => app.stop());
        removeFolder(folder);
      });

      async function start(argv) {
        const app = await TestApp.start(argv);
        apps.push(app);
        return app;
      }

      // The bundle's identity and its first window, once the window is listed.
      async function listed(bundle) {
        const identity = await host.identity(bundle);
        for (let i = 0; i < 100; i++) {
          const windows = await host.windows(identity);
          if (windows.length) return {identity, window: windows[0]};
          await new Promise((r) => setTimeout(r, 50));
        }
        throw new Error('the application\'s window is never listed');
      }

      async function observed(identity, target) {
        const frame = await host.observe(identity, target);
        assert.deepStrictEqual(
            jpegSize(Buffer.from(frame.image, 'base64')), [frame.width, frame.height]);
        assert.strictEqual(frame.mimeType, 'image/jpeg');
        assert.match(
            frame.frameId, /^[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}$/);
        return frame;
      }

      test('a whole turn', async () => {
        const bundle = makeBundle(folder);
        const app =
            await start([path.join(bundle, 'Contents', 'MacOS', 'testapp'), '--position', '60,60']);
        await app.bringToFront();
        const {identity, window} = await listed(bundle);
        assert.strictEqual(window.windowId, app.window);
        const target = {windowId: window.windowId, pid: window.pid};

        // An observe and a status in flight together: each gets its own answer.
        const [frame, state] = await Promise.all([observed(identity, target), host.status()]);
        assert.deepStrictEqual(
            [state.screen, state.accessibility, state.onConsole], [true, true, true]);
        assert.deepStrictEqual(frame.bounds, window.bounds);

        const [x, y] = await app.centreOf('button', window.bounds);
        const pressed = app.waitFor('pressed');
        assert.deepStrictEqual(
            await host.click(identity, target, frame.frameId, x, y), {completed: true});
        assert.strictEqual(await pressed, 'pressed');
        await assert.rejects(
            host.click(identity, target, frame.frameId, x, y),
            (error) => error instanceof HostError && error.code === 'stale_frame');

        await app.ask('focus entry', 'focused entry');
        const typed = app.waitFor('entry ');
        await host.typeText(
            identity, target, (await observed(identity, target)).frameId, 'Hello from Node');
        assert.strictEqual(await typed, 'entry Hello from Node');

        await app.ask('focus view', 'focused view');
        const scrolled = app.waitFor('scroll ');
        await host.scroll(identity, target, (await observed(identity, target)).frameId, 'down');
        assert.ok(Number((await scrolled).split(' ')[1]) > 0);

        await app.ask('focus entry', 'focused entry');
        const moved = app.waitFor('focus ');
        await host.pressKey(identity, target, (await observed(identity, target)).frameId);
        assert.notStrictEqual(await moved, null);
        assert.notStrictEqual(await moved, 'focus entry');
        assert.strictEqual(await host.close(), 0);
      });

      test('an observe answer of nearly a megabyte is read whole', async () => {
        const python = fs.realpathSync('/usr/bin/python3');
        const bundle = makeBundle(folder, {
          name: 'Noise',
          identifier: 'org.tarnwick.noise',
          executable: python,
          execName: 'python3',
        });
        const app = await start(
            [path.join(bundle, 'Contents', 'MacOS', 'python3'), NOISE_WINDOW, '1270', '980']);
        const {identity, window} = await listed(bundle);
        const frame = await observed(identity, {windowId: window.windowId, pid: app.pid});
        assert.ok(frame.image.length > 900000, `${frame.image.length} characters`);
      });

      test('a hung application times out one request and not the next', async () => {
        const bundle = makeBundle(folder);
        const app =
            await start([path.join(bundle, 'Contents', 'MacOS', 'testapp'), '--position', '60,60']);
        await app.bringToFront();
        const {identity, window} = await listed(bundle);
        const target = {windowId: window.windowId, pid: window.pid};
        const frame = await observed(identity, target);
        assert.strictEqual(await app.ask('hang', 'hung'), 'hung');
        // The host waits for the application's accessibility for up to two seconds.
        await assert.rejects(
            host.click(identity, target, frame.frameId, 10, 10, {timeout: 300}), RequestTimeout);
        assert.strictEqual((await host.status({timeout: 10000})).available, true);
      });
    });
