'use strict';
// A server for the benchmark: `kit` reads each request with the kit (hashing
// off) and stores its files; `busboy` is bare busboy writing each file part
// to disk, the reference. Prints its port.
//   node bench/server.js kit|busboy <folder>
const Busboy = require('busboy');
const crypto = require('node:crypto');
const fs = require('node:fs');
const http = require('node:http');
const path = require('node:path');
const { withUpload, sendReply, sendError, UploadError } = require('..');

const [mode, folder] = process.argv.slice(2);

function bare(req, res) {
  const bb = Busboy({ headers: req.headers });
  const writes = [];
  bb.on('file', (_name, file) => {
    const out = fs.createWriteStream(path.join(folder, crypto.randomBytes(16).toString('hex')));
    writes.push(new Promise((done) => out.on('close', done)));
    file.pipe(out);
  });
  bb.on('field', () => {});
  bb.on('close', () => Promise.all(writes).then(() => res.end('OK')));
  req.pipe(bb);
}

async function kit(req, res) {
  try {
    await withUpload(req, { tmpDir: folder, sha256: false }, (upload) => upload.store(folder));
    sendReply(req, res, 200, 'OK');
  } catch (e) {
    if (!(e instanceof UploadError)) throw e;
    sendError(req, res, e);
  }
}

const server = http.createServer((req, res) => (mode === 'kit' ? kit(req, res) : bare(req, res)));
server.requestTimeout = 0;
server.listen(0, '127.0.0.1', () => console.log(`PORT ${server.address().port}`));
