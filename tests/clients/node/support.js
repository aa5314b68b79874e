'use strict';
// What the Node client tests share: the programs under test, an environment without a
// desktop, sealed bundles, and the GTK test application as a child process.

const {spawn, execFileSync} = require('node:child_process');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');

const TOP = path.resolve(__dirname, '..', '..', '..');
const clients = require(path.join(TOP, 'clients', 'node'));

// The path of a program under test, from the variable CTest sets (SKELMOR, BREVAIL...).
function program(name) {
  const value = process.env[name];
  if (!value) throw new Error(`${name} is not set: run the tests through ctest`);
  return value;
}

// No display, no session bus, no accessibility bus: the host then has no session.
function bareEnvironment(home) {
  const env = {PATH: '/usr/bin:/bin', HOME: home};
  for (const name of ['ASAN_OPTIONS', 'UBSAN_OPTIONS', 'LSAN_OPTIONS']) {
    if (process.env[name]) env[name] = process.env[name];
  }
  return env;
}

function tempFolder() {
  return fs.mkdtempSync(path.join(os.tmpdir(), 'clients-node.'));
}

function removeFolder(folder) {
  fs.rmSync(folder, {recursive: true, force: true});
}

function escapeXml(text) {
  return text.replace(/&/g, '&amp;').replace(/</g, '&lt;').replace(/>/g, '&gt;');
}

// A copy of an executable (the GTK test application by default) in NAME.app, sealed ad hoc.
// `extraFileBytes` adds a resource of that size, which makes every check of the seal slow.
function makeBundle(folder, {
  name = 'TestApp',
  identifier = 'org.tarnwick.clients.node',
  executable,
  execName = 'testapp',
  extraFileBytes = 0,
  seal = true,
} = {}) {
  const bundle = path.join(folder, `${name}.app`);
  fs.rmSync(bundle, {recursive: true, force: true});
  fs.mkdirSync(path.join(bundle, 'Contents', 'MacOS'), {recursive: true});
  fs.mkdirSync(path.join(bundle, 'Contents', 'Resources'));
  fs.copyFileSync(
      executable || program('TESTAPP'), path.join(bundle, 'Contents', 'MacOS', execName));
  fs.chmodSync(path.join(bundle, 'Contents', 'MacOS', execName), 0o755);
  const keys = {CFBundleIdentifier: identifier, CFBundleExecutable: execName, CFBundleName: name};
  const plist = ['<?xml version="1.0" encoding="UTF-8"?>', '<plist version="1.0">', '<dict>'];
  for (const [key, value] of Object.entries(keys)) {
    plist.push(`  <key>${key}</key><string>${escapeXml(value)}</string>`);
  }
  plist.push('</dict>', '</plist>', '');
  fs.writeFileSync(path.join(bundle, 'Contents', 'Info.plist'), plist.join('\n'));
  if (extraFileBytes) {
    const blob = path.join(bundle, 'Contents', 'Resources', 'blob');  // sparse: no disk used
    fs.closeSync(fs.openSync(blob, 'w'));
    fs.truncateSync(blob, extraFileBytes);
  }
  if (seal) execFileSync(program('BUNDLE_SEAL'), ['seal', bundle], {stdio: 'ignore'});
  return bundle;
}

// The GTK3 test application: it reports on standard output what happens to it and takes
// commands on standard input ("present", "focus entry", "geometry button", "hang"...).
class TestApp {
  static async start(argv) {
    const app = new TestApp(argv);
    const ready = await app.waitFor('ready ', 10000);
    if (!ready) {
      app.stop();
      throw new Error('the test application did not show its window');
    }
    const fields = Object.fromEntries(ready.split(' ').slice(1).map((f) => f.split('=')));
    app.pid = Number(fields.pid);
    app.window = Number(fields.window);
    return app;
  }

  constructor(argv) {
    this.child = spawn(argv[0], argv.slice(1), {stdio: ['pipe', 'pipe', 'ignore']});
    this.child.stdin.on('error', () => {});
    this.lines = [];
    this.waiters = [];
    let partial = '';
    this.child.stdout.setEncoding('utf8');
    this.child.stdout.on('data', (text) => {
      const parts = (partial + text).split('\n');
      partial = parts.pop();
      for (const line of parts) this._line(line);
    });
  }

  _line(line) {
    const waiter = this.waiters.find((w) => line.startsWith(w.prefix));
    if (waiter) {
      this.waiters.splice(this.waiters.indexOf(waiter), 1);
      clearTimeout(waiter.timer);
      waiter.resolve(line);
    }
    // Lines nobody waits for are dropped: only what comes after a command counts.
  }

  send(command) {
    this.child.stdin.write(`${command}\n`);
  }

  // The next line that starts with `prefix`, or null after `ms`.
  waitFor(prefix, ms = 5000) {
    return new Promise((resolve) => {
      const waiter = {prefix, resolve};
      waiter.timer = setTimeout(() => {
        this.waiters.splice(this.waiters.indexOf(waiter), 1);
        resolve(null);
      }, ms);
      this.waiters.push(waiter);
    });
  }

  async ask(command, prefix, ms) {
    const answer = this.waitFor(prefix, ms);
    this.send(command);
    return answer;
  }

  async bringToFront() {
    for (let i = 0; i < 100; i++) {
      this.send('present');
      if (await this.ask('active', 'active ') === 'active yes') return;
      await new Promise((r) => setTimeout(r, 20));
    }
    throw new Error('the window manager did not bring the test application to the front');
  }

  // A widget's centre in points from the window's top-left corner.
  async centreOf(widget, bounds) {
    const line = await this.ask(`geometry ${widget}`, `geometry ${widget} `);
    const [x, y, w, h] = line.split(' ').slice(2).map(Number);
    return [x - bounds.x + w / 2, y - bounds.y + h / 2];
  }

  stop() {
    this.child.kill('SIGKILL');
  }
}

// [width, height] from a JPEG's frame header, or null.
function jpegSize(data) {
  if (data[0] !== 0xff || data[1] !== 0xd8) return null;
  for (let at = 2; at + 4 <= data.length;) {
    if (data[at] !== 0xff) return null;
    const marker = data[at + 1];
    const length = data.readUInt16BE(at + 2);
    if (marker >= 0xc0 && marker <= 0xc2)
      return [data.readUInt16BE(at + 7), data.readUInt16BE(at + 5)];
    at += 2 + length;
  }
  return null;
}

module.exports = {
  TOP,
  clients,
  program,
  bareEnvironment,
  tempFolder,
  removeFolder,
  makeBundle,
  TestApp,
  jpegSize,
};
