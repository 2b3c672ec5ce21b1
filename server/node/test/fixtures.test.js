'use strict';
// The shared fixtures through readUpload, each body fed in small pieces so
// that boundaries fall across them; hostile requests must be refused and
// leave nothing in the temporary folder.
const test = require('node:test');
const assert = require('node:assert');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { Readable } = require('node:stream');
const { readUpload, tusFileStore } = require('..');

const folder = path.join(__dirname, '..', '..', 'fixtures');

function request(raw) {
  const end = raw.indexOf('\r\n\r\n');
  const headers = {};
  for (const line of raw.subarray(0, end).toString('latin1').split('\r\n').slice(1)) {
    const colon = line.indexOf(':');
    headers[line.slice(0, colon).trim().toLowerCase()] = line.slice(colon + 1).trim();
  }
  const body = raw.subarray(end + 4);
  const pieces = [];
  for (let at = 0; at < body.length; at += 997) pieces.push(body.subarray(at, at + 997));
  return { stream: Readable.from(pieces), headers };
}

// Requests naming tus uploads (resumable/) find theirs in the store first:
// a taken upload leaves it, a refused request leaves it as it was.
const names = fs.readdirSync(folder).concat(fs.readdirSync(path.join(folder, 'resumable')).map((n) => `resumable/${n}`));
for (const name of names.filter((n) => n.endsWith('.http')).sort()) {
  test(name, async () => {
    const { uploads = {}, ...expected } = JSON.parse(fs.readFileSync(path.join(folder, name.replace(/\.http$/, '.json'))));
    const tmpDir = fs.mkdtempSync(path.join(os.tmpdir(), 'zt-node-kit-'));
    const store = fs.mkdtempSync(`${tmpDir}-tus`);
    const held = () => fs.readdirSync(store).sort().map((n) => [n, fs.readFileSync(path.join(store, n), 'latin1')]);
    for (const [id, { length, data }] of Object.entries(uploads)) {
      fs.writeFileSync(path.join(store, id), data);
      fs.writeFileSync(path.join(store, `${id}.json`), JSON.stringify({ id, size: length, metadata: {} }));
    }
    const before = held();
    try {
      const { stream, headers } = request(fs.readFileSync(path.join(folder, name)));
      const reading = readUpload(stream, { headers, tmpDir, resumable: tusFileStore(store) });
      if (expected.error) {
        await assert.rejects(reading, (e) => e.reason === expected.error && e.status === expected.status);
        assert.deepStrictEqual(fs.readdirSync(tmpDir), [], 'a refused request leaves no file');
        assert.deepStrictEqual(held(), before);
        return;
      }
      const upload = await reading;
      assert.deepStrictEqual(JSON.parse(JSON.stringify(upload)), expected);
      const stored = await upload.store(tmpDir);
      await upload.discard();
      for (const [i, p] of stored) assert.strictEqual(fs.statSync(p).size, upload.rows[i].size);
      assert.deepStrictEqual(held(), [], 'a taken upload can be claimed no more');
    } finally {
      fs.rmSync(tmpDir, { recursive: true, force: true });
      fs.rmSync(store, { recursive: true, force: true });
    }
  });
}

for (const example of ['http-server.js', 'express-server.js', 'fastify-server.js', 'koa-server.js']) {
  test(`${example} stores a request of the control and refuses a forged one with its reason alone`, async () => {
    const { spawn } = require('node:child_process');
    const net = require('node:net');
    const uploads = fs.mkdtempSync(path.join(os.tmpdir(), 'zt-node-example-'));
    const server = spawn(process.execPath, [path.join(__dirname, '..', 'examples', example)],
      { env: { ...process.env, PORT: '0', ZTUPLOAD_DIR: uploads, ZTUPLOAD_TUS_DIR: `${uploads}.tus` } });
    // Sends in pieces, as a client that reads the reply only once all is sent.
    const post = (fixture) => new Promise((resolve, reject) => {
      const chunks = [];
      const bytes = Buffer.isBuffer(fixture) ? fixture : fs.readFileSync(path.join(folder, fixture));
      const socket = net.connect(port, '127.0.0.1', async () => {
        for (let at = 0; at < bytes.length; at += 1 << 16) {
          await new Promise((done) => socket.write(bytes.subarray(at, at + (1 << 16)), done));
        }
      });
      socket.on('data', (d) => chunks.push(d)).on('end', () => resolve(Buffer.concat(chunks).toString())).on('error', reject);
    });
    let port;
    try {
      port = await new Promise((resolve, reject) => {
        server.stdout.on('data', (d) => { const m = /PORT (\d+)/.exec(d); if (m) resolve(Number(m[1])); });
        server.on('exit', reject);
      });
      assert.match(await post('x-unlisted-mid.http'), /^HTTP\/1\.1 400 [^]*\r\nx-content-type-options: nosniff\r\n[^]*\r\n\r\nunlisted-file$/i);
      // Refused long before its end, the client still reads the reply once it has sent all.
      const oversized = fs.readFileSync(path.join(folder, 'x-oversized-part.http')).toString('latin1')
        .replace(/z{65536}/, 'z'.repeat(8 << 20)).replace(/Content-Length: \d+/, (h) => `Content-Length: ${Number(h.slice(16)) - 65536 + (8 << 20)}`);
      assert.match(await post(Buffer.from(oversized, 'latin1')), /^HTTP\/1\.1 400 [^]*\r\n\r\nsize-mismatch$/);
      assert.deepStrictEqual(fs.readdirSync(uploads), []);
      assert.match(await post('01-post-utf8.http'), /^HTTP\/1\.1 200 [^]*\r\n\r\nOK$/);
      const account = fs.readdirSync(uploads).filter((n) => n.endsWith('.json'));
      assert.strictEqual(account.length, 1);
      const got = JSON.parse(fs.readFileSync(path.join(uploads, account[0])));
      for (const row of got.rows.filter((r) => r.file)) {
        assert.strictEqual(fs.statSync(path.join(uploads, row.file.stored)).size, row.size);
        delete row.file.stored;
      }
      assert.deepStrictEqual(got, JSON.parse(fs.readFileSync(path.join(folder, '01-post-utf8.json'))));
      assert.strictEqual(fs.readdirSync(uploads).length, 4, 'three files and their account, no temporary file');
    } finally {
      server.kill();
      fs.rmSync(uploads, { recursive: true, force: true });
      fs.rmSync(`${uploads}.tus`, { recursive: true, force: true });
    }
  });
}

test('a limit reached in a text or in the middle of a file refuses the request and leaves nothing', async () => {
  for (const limit of [{ maxFieldBytes: 100 }, { maxFileBytes: 100 }]) {
    const tmpDir = fs.mkdtempSync(path.join(os.tmpdir(), 'zt-node-limit-'));
    const { stream, headers } = request(fs.readFileSync(path.join(folder, '01-post-utf8.http')));
    await assert.rejects(readUpload(stream, { headers, tmpDir, ...limit }), (e) => e.reason === 'too-large');
    assert.deepStrictEqual(fs.readdirSync(tmpDir), []);
    fs.rmSync(tmpDir, { recursive: true });
  }
});
