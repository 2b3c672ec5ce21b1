'use strict';
// What the kit does while a request is still arriving: refusing early,
// giving up a stalled upload, handing files to a hook, and undoing a
// handler's work when it throws.
const test = require('node:test');
const assert = require('node:assert');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { Readable, Writable } = require('node:stream');
const { pipeline } = require('node:stream/promises');
const { readUpload, withUpload, uploadOptions } = require('..');

const B = 'b0undary';
const headers = { 'content-type': `multipart/form-data; boundary=${B}`, 'accept-language': 'utf-8' };
const manifest = (rows) => `--${B}\r\nContent-Disposition: form-data; name="_ZTUInfo"\r\n\r\nType|FileName|Size|\r\n${rows.map((r) => `${r}\r\n`).join('')}\r\n`;
const fileHead = (name) => `--${B}\r\nContent-Disposition: form-data; name="${name}"; filename="${name}"\r\nContent-Type: application/octet-stream\r\n\r\n`;
const body = (...pieces) => Readable.from([...pieces, `--${B}--\r\n`].map((p) => Buffer.from(p)));
const folderSize = (dir) => fs.readdirSync(dir).reduce((n, f) => {
  try { return n + fs.statSync(path.join(dir, f)).size; } catch { return n; }
}, 0);

function scratch(t) {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'zt-node-stream-'));
  t.after(() => fs.rmSync(dir, { recursive: true, force: true }));
  return dir;
}

test('a file longer than its row, or past a limit, is refused before much more than the row reaches the disk', async (t) => {
  const tmpDir = scratch(t);
  for (const [size, options, reason] of [[5, {}, 'size-mismatch'], [64 << 20, { maxTotalBytes: 1 << 20 }, 'too-large']]) {
    let mostOnDisk = 0;
    async function* upload() {
      yield Buffer.from(manifest([`N|big.bin|${size}|`]) + fileHead('big.bin'));
      const chunk = Buffer.alloc(1 << 16, 7);
      for (let sent = 0; sent < 64 << 20; sent += chunk.length) {
        mostOnDisk = Math.max(mostOnDisk, folderSize(tmpDir));
        yield chunk;
      }
      yield Buffer.from(`\r\n--${B}--\r\n`);
    }
    await assert.rejects(readUpload(Readable.from(upload()), { headers, tmpDir, ...options }),
      (e) => e.reason === reason && e.status === (reason === 'too-large' ? 413 : 400));
    assert.ok(mostOnDisk <= Math.min(size, 1 << 20) + (1 << 20), `${mostOnDisk} bytes reached the disk`);
    assert.deepStrictEqual(fs.readdirSync(tmpDir), []);
  }
});

test('a stalled upload is given up as incomplete and its temporary file removed; an endless text is refused as it grows', async (t) => {
  const tmpDir = scratch(t);
  const endless = new Readable({ read() {} });
  endless.push(manifest(['N|a.txt|5|']).replace(/\r\n\r\n$/, '\r\n') + 'N|b.txt|5|\r\n'.repeat(30000));
  await assert.rejects(readUpload(endless, { headers, tmpDir, maxFieldBytes: 1000, idleTimeout: 5000 }),
    (e) => e.reason === 'too-large');

  const stalled = new Readable({ read() {} });
  stalled.push(manifest(['N|a.txt|10|']) + fileHead('a.txt') + 'abc');  // and nothing more
  await assert.rejects(readUpload(stalled, { headers, tmpDir, idleTimeout: 200 }), (e) => e.reason === 'incomplete');
  assert.deepStrictEqual(fs.readdirSync(tmpDir), []);
});

test('onFile takes each file without a temporary copy; a later refusal hands them to onDiscard', async (t) => {
  const tmpDir = scratch(t);
  const taken = new Map();
  const discarded = [];
  const options = {
    headers, tmpDir, sha256: false,
    onFile: async (row, stream) => {
      const chunks = [];
      await pipeline(stream, new Writable({ write(c, _e, done) { chunks.push(c); done(); } }));
      taken.set(row.name, Buffer.concat(chunks).toString());
      return `object/${row.name}`;
    },
    onDiscard: (row, result) => discarded.push([row.name, result]),
  };
  const upload = await readUpload(body(manifest(['N|a.txt|5|', 'N|b.txt|3|']), fileHead('a.txt'), 'abcde\r\n',
    fileHead('b.txt'), 'xyz\r\n'), options);
  assert.deepStrictEqual([...taken], [['a.txt', 'abcde'], ['b.txt', 'xyz']]);
  assert.deepStrictEqual(upload.rows.map((r) => [r.file.size, r.file.sha256, r.file.tmpPath, r.file.result]),
    [[5, null, null, 'object/a.txt'], [3, null, null, 'object/b.txt']]);
  assert.deepStrictEqual(fs.readdirSync(tmpDir), []);

  // The forged part comes once the hook has taken a.txt whole.
  taken.clear();
  const request = new Readable({ read() {} });
  request.push(manifest(['N|a.txt|5|']) + fileHead('a.txt') + `abcde\r\n--${B}`);
  const reading = readUpload(request, options);
  while (!taken.has('a.txt')) await new Promise((r) => setImmediate(r));
  request.push(fileHead('x.exe').slice(B.length + 2) + 'MZ\r\n');
  request.push(null);
  await assert.rejects(reading, (e) => e.reason === 'unlisted-file');
  assert.deepStrictEqual(discarded, [['a.txt', 'object/a.txt']]);
});

test('withUpload removes what a throwing handler stored, and what it did not store when it returns', async (t) => {
  const tmpDir = scratch(t);
  const uploads = scratch(t);
  const request = () => body(manifest(['N|a.txt|5|', 'N|b.txt|3|']), fileHead('a.txt'), 'abcde\r\n', fileHead('b.txt'), 'xyz\r\n');
  await assert.rejects(withUpload(request(), { headers, tmpDir }, async (upload) => {
    await upload.store(uploads);
    throw new Error('the database is down');
  }), /the database is down/);
  assert.deepStrictEqual([fs.readdirSync(tmpDir), fs.readdirSync(uploads)], [[], []]);
  const rows = await withUpload(request(), { headers, tmpDir }, async (upload) => upload.rows.length);
  assert.strictEqual(rows, 2);
  assert.deepStrictEqual(fs.readdirSync(tmpDir), []);
});

test('options are checked when given; risky names are taken only when allowed, and flagged', async () => {
  assert.throws(() => uploadOptions({ ansiEncoding: 'cp-nonesuch' }), TypeError);
  assert.throws(() => uploadOptions({ maxfields: 10 }), TypeError);
  assert.throws(() => uploadOptions({ maxRows: '10' }), TypeError);
  const request = () => body(manifest(['V|CON.txt|1|', 'D|a.txt.|0|']));
  await assert.rejects(readUpload(request(), { headers }), (e) => e.reason === 'risky-name');
  const upload = await readUpload(request(), { headers, allowRiskyNames: true });
  assert.deepStrictEqual(upload.toJSON().rows.map((r) => [r.name, r.risky]), [['CON.txt', true], ['a.txt.', true]]);
});
