'use strict';
// What every example does with an upload: store the files under names this
// server makes and keep <id>.json beside them, saying what arrived and where
// each file went. Here a real page would act on the rows: N and U store,
// V keep, D delete.
const crypto = require('node:crypto');
const fsp = require('node:fs/promises');
const os = require('node:os');
const path = require('node:path');
const { withUpload, uploadOptions, sendReply, sendError, UploadError, tusFileStore } = require('..');

// Outside any folder a web server publishes.
const folder = process.env.ZTUPLOAD_DIR || path.join(os.tmpdir(), 'ztfileupload');
// Where the tus endpoint keeps uploads until a POST names them; on the disk
// of `folder`, so that storing one only renames it.
const tusDir = process.env.ZTUPLOAD_TUS_DIR || path.join(folder, '.tus');
// Checked once, at start: a wrong option stops the server, not a request.
const options = uploadOptions({ tmpDir: folder, resumable: tusFileStore(tusDir) });

async function accept(req) {
  await fsp.mkdir(folder, { recursive: true });
  await withUpload(req, options, async (upload) => {
    const stored = await upload.store(folder);
    const account = upload.toJSON();
    for (const [i, p] of stored) account.rows[i].file.stored = path.basename(p);
    // Names sort in arrival order. Should this fail, withUpload removes the files.
    const id = `${String(Date.now() * 1000 + Number(process.hrtime.bigint() % 1000n)).padStart(16, '0')}-${crypto.randomBytes(4).toString('hex')}`;
    await fsp.writeFile(path.join(folder, `${id}.json.tmp`), JSON.stringify(account));
    await fsp.rename(path.join(folder, `${id}.json.tmp`), path.join(folder, `${id}.json`));
  });
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

/** Answers one request on Node's own req and res (every framework gives them). */
async function handle(req, res) {
  if (allowOrigin(req, res) && req.method === 'OPTIONS') {
    res.writeHead(204, { 'Access-Control-Allow-Methods': 'POST',
      'Access-Control-Allow-Headers': 'Content-Type, Accept-Language', 'Access-Control-Max-Age': '600' });
    return res.end();
  }
  if (req.method !== 'POST') return sendReply(req, res, 405, 'POST only');
  try {
    await accept(req);
    sendReply(req, res, 200, 'OK');
  } catch (e) {
    if (!(e instanceof UploadError)) throw e;
    console.error(e.message);
    sendError(req, res, e);
  }
}

module.exports = { handle, tusDir };
