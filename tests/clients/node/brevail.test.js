'use strict';
// The Node runner of the real brevail: reports, and messages as typed errors.

const assert = require('node:assert');
const fs = require('node:fs');
const path = require('node:path');
const {test, describe, beforeEach, afterEach} = require('node:test');

const {
  TOP,
  clients,
  program,
  tempFolder,
  removeFolder,
  jpegSize,
} = require('./support');

const {runBrevail, BrevailError} = clients;

describe('brevail', () => {
  let out;
  const run = (job) => runBrevail(job, {executable: program('BREVAIL'), cwd: TOP});

  beforeEach(() => {
    out = tempFolder();
  });

  afterEach(() => removeFolder(out));

  test('inspections report the size or the page count', async () => {
    assert.deepStrictEqual(
        await run({input: 'samples/sample.jpg', operation: 'inspect'}),
        {height: 800, kind: 'image', width: 1200});
    assert.deepStrictEqual(
        await run({input: 'samples/sample.pdf', operation: '', kind: 'pdf'}),
        {kind: 'pdf', pages: 3});
    assert.deepStrictEqual(fs.readdirSync(out), []);
  });

  test('a PDF prepare writes the pages in the order asked, with their text', async () => {
    const report = await run({
      input: 'samples/sample.pdf',
      operation: 'prepare',
      kind: 'pdf',
      output: out,
      pages: [3, 1],
    });
    assert.deepStrictEqual(
        report.items.map((i) => [i.file, i.page]), [['page-3.jpg', 3], ['page-1.jpg', 1]]);
    assert.match(report.items[1].text, /Quarterly field notes/);
    assert.strictEqual(Math.max(...jpegSize(fs.readFileSync(path.join(out, 'page-1.jpg')))), 2000);
  });

  test('an image prepare writes one JPEG', async () => {
    const report = await run({input: 'samples/sample.jpg', operation: 'prepare', output: out});
    assert.deepStrictEqual(report.items, [{file: 'image.jpg', page: 0, text: ''}]);
    assert.deepStrictEqual(jpegSize(fs.readFileSync(path.join(out, 'image.jpg'))), [1200, 800]);
  });

  test('failures reject with the tool\'s message', async () => {
    const pdf = {input: 'samples/sample.pdf', kind: 'pdf', operation: 'prepare', output: out};
    const cases = [
      [{operation: 'inspect'}, 'Invalid input'],
      ['', 'File processing failed'],
      [
        {input: 'samples/missing.png', operation: 'inspect'},
        'Unsupported, animated or damaged image'
      ],
      [{input: 'samples/sample.jpg', operation: 'prepare'}, 'Cannot prepare image'],
      [
        {input: 'samples/sample.jpg', operation: 'x', kind: 'pdf'},
        'Unsupported, encrypted or damaged PDF'
      ],
      [pdf, 'Select PDF pages'],
      [{...pdf, pages: [4]}, 'Invalid page'],
    ];
    for (const [job, message] of cases) {
      await assert.rejects(
          run(job),
          (error) =>
              error instanceof BrevailError && error.message === message && error.status === 1,
          JSON.stringify(job));
    }
  });

  test('an exit without a message is not taken for one', async () => {
    await assert.rejects(
        runBrevail({}, {executable: '/bin/false'}),
        (error) =>
            error instanceof BrevailError && error.message === 'brevail ended with status 1');
  });
});
