'use strict';
// The example's tus endpoint as a client meets it: discovery, upload URLs
// made from the Host sent, a server killed mid-upload and started again (the
// client goes on from the stored offset), then the POST naming the upload.
const test = require('node:test');
const assert = require('node:assert');
const { spawn } = require('node:child_process');
const crypto = require('node:crypto');
const fs = require('node:fs');
const http = require('node:http');
const os = require('node:os');
const path = require('node:path');
const tus = require('tus-js-client');

const example = path.join(__dirname, '..', 'examples', 'http-server.js');

function start(env) {
  const child = spawn(process.execPath, [example], { env: { ...process.env, ...env } });
  const port = new Promise((resolve, reject) => {
    child.stdout.on('data', (d) => { const m = /PORT (\d+)/.exec(d); if (m) resolve(Number(m[1])); });
    child.on('exit', reject);
  });
  return { child, port };
}

function send(port, method, url, headers, body) {
  return new Promise((resolve, reject) => {
    const req = http.request({ host: '127.0.0.1', port, method, path: url, headers }, (res) => {
      const chunks = [];
      res.on('data', (d) => chunks.push(d)).on('end', () => resolve({ status: res.statusCode, headers: res.headers, body: Buffer.concat(chunks).toString() }));
    });
    req.on('error', reject).end(body);
  });
}

test('an upload survives a killed server and its POST stores the file once', async (t) => {
  const uploads = fs.mkdtempSync(path.join(os.tmpdir(), 'zt-node-tus-example-'));
  const env = { ZTUPLOAD_DIR: uploads, ZTUPLOAD_TUS_DIR: path.join(uploads, 'tus') };
  let server = start({ ...env, PORT: '0' });
  t.after(() => { server.child.kill(); fs.rmSync(uploads, { recursive: true, force: true }); });
  const port = await server.port;

  const options = await send(port, 'OPTIONS', '/tus/', { 'Tus-Resumable': '1.0.0' });
  assert.match(options.headers['tus-version'], /(^|,)1\.0\.0(,|$)/);
  assert.match(options.headers['tus-extension'], /(^|,)creation(,|$)/);
  const made = await send(port, 'POST', '/tus/', { 'Tus-Resumable': '1.0.0', 'Upload-Length': '1', Host: 'uploads.example:8443' });
  assert.strictEqual(made.status, 201);
  assert.match(made.headers.location, /^http:\/\/uploads\.example:8443\/tus\/[A-Za-z0-9_-]+$/);

  const data = crypto.randomBytes(6 << 20);
  let killed = null;
  const location = await new Promise((resolve, reject) => {
    const upload = new tus.Upload(data, {
      endpoint: `http://127.0.0.1:${port}/tus/`,
      chunkSize: 1 << 20,
      retryDelays: [200, 400, 800, 1600, 3200, 6400],
      metadata: { filename: 'big.bin', size: String(data.length) },
      onProgress: (sent) => {
        if (killed || sent < 2.5 * (1 << 20)) return;
        killed = upload.url;
        server.child.kill('SIGKILL');
        server.child.once('exit', () => { server = start({ ...env, PORT: String(port) }); });
      },
      onSuccess: () => resolve(upload.url),
      onError: reject,
    });
    upload.start();
  });
  assert.strictEqual(location, killed, 'the upload killed midway is the one completed, not a new one');

  const id = location.split('/').pop();
  const B = 'b0b0b0b0-0000-4000-8000-000000000000';
  const post = (file) => send(port, 'POST', '/upload', { 'Content-Type': `multipart/form-data; boundary=${B}`, 'Accept-Language': 'utf-8' },
    `--${B}\r\nContent-Disposition: form-data; name="_ZTUInfo"\r\n\r\nType|FileName|Size|\r\nN|big.bin|${data.length}|\r\n\r\n` +
    `--${B}\r\nContent-Disposition: form-data; name="_ZTUResumable"\r\n\r\nbig.bin|${id}|\r\n\r\n` +
    `--${B}\r\nContent-Disposition: form-data; name="big.bin"; filename="big.bin"\r\nContent-Type: application/octet-stream\r\n\r\n${file}\r\n--${B}--\r\n`);
  assert.deepStrictEqual([(await post('')).status, (await post('')).body], [200, 'unknown-upload'], 'taken once, then no more');
  const accounts = fs.readdirSync(uploads).filter((n) => n.endsWith('.json'));
  assert.strictEqual(accounts.length, 1);
  const { file } = JSON.parse(fs.readFileSync(path.join(uploads, accounts[0]))).rows[0];
  assert.strictEqual(file.sha256, crypto.createHash('sha256').update(data).digest('hex'));
  assert.ok(fs.readFileSync(path.join(uploads, file.stored)).equals(data));
  assert.strictEqual((await send(port, 'HEAD', `/tus/${id}`, { 'Tus-Resumable': '1.0.0' })).status, 404);
});
