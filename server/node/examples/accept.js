'use strict';
// What both examples do with an upload: store the files under names this
// server makes and keep <id>.json beside them, saying what arrived and where
// each file went. Here a real page would act on the rows: N and U store,
// V keep, D delete.
const crypto = require('node:crypto');
const fsp = require('node:fs/promises');
const path = require('node:path');
const iconv = require('iconv-lite');
const { readUpload, UploadError } = require('..');

async function accept(req, folder) {
  await fsp.mkdir(folder, { recursive: true });
  const upload = await readUpload(req, { tmpDir: folder });
  const stored = await upload.store(folder);
  const account = upload.toJSON();
  for (const [i, p] of stored) account.rows[i].file.stored = path.basename(p);
  // Names sort in arrival order.
  const id = `${String(Date.now() * 1000 + Number(process.hrtime.bigint() % 1000n)).padStart(16, '0')}-${crypto.randomBytes(4).toString('hex')}`;
  await fsp.writeFile(path.join(folder, `${id}.json.tmp`), JSON.stringify(account, null, 1));
  await fsp.rename(path.join(folder, `${id}.json.tmp`), path.join(folder, `${id}.json`));
}

// The control reads the reply in the encoding of its request and shows no
// charset: answer in kind, as plain short text.
function reply(req, res, status, text) {
  const utf8 = String(req.headers['accept-language'] || '').trim().toLowerCase() === 'utf-8';
  const body = utf8 ? Buffer.from(text, 'utf8') : iconv.encode(text, 'cp949');
  res.writeHead(status, { 'Content-Type': `text/plain; charset=${utf8 ? 'utf-8' : 'ks_c_5601-1987'}`,
    'Content-Length': body.length });
  res.end(body);
}

// A page of another origin (the browser twin served elsewhere) may post here
// when ZTUPLOAD_CORS_ORIGIN names that origin exactly.
function allowOrigin(req, res) {
  const origin = process.env.ZTUPLOAD_CORS_ORIGIN;
  if (!origin || req.headers.origin !== origin) return false;
  res.setHeader('Access-Control-Allow-Origin', origin);
  res.setHeader('Vary', 'Origin');
  return true;
}

async function handle(req, res, folder) {
  if (allowOrigin(req, res) && req.method === 'OPTIONS') {
    res.writeHead(204, { 'Access-Control-Allow-Methods': 'POST',
      'Access-Control-Allow-Headers': 'Content-Type, Accept-Language', 'Access-Control-Max-Age': '600' });
    return res.end();
  }
  if (req.method !== 'POST') return reply(req, res, 405, 'POST only');
  try {
    await accept(req, folder);
    reply(req, res, 200, 'OK');
  } catch (e) {
    if (!(e instanceof UploadError)) throw e;
    reply(req, res, 400, e.message);
  }
}

module.exports = { handle };
