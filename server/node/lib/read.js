'use strict';
// Reads one request of the control from a stream, checking every part as it
// starts: the manifest comes before the files, so a file part that no row
// lists, one longer than its row, or one past a limit ends the request at
// once and what was written for it is removed.
const Busboy = require('busboy');
const crypto = require('node:crypto');
const fs = require('node:fs');
const fsp = require('node:fs/promises');
const os = require('node:os');
const path = require('node:path');
const { pipeline, PassThrough } = require('node:stream');
const iconv = require('iconv-lite');
const { UploadError } = require('./errors');
const { unescapeName } = require('./names');
const { isUtf8 } = require('./reply');
const { Upload } = require('./upload');
const { UPLOAD_ID } = require('./resumable');

const MANIFEST = '_ZTUInfo';
// Names the uploads that brought files by tus: "<name>|<upload id>|" rows.
const RESUMABLE = '_ZTUResumable';
const VALIDATED = Symbol('validated');

/** Limits that protect a server; each may be raised (Infinity: no limit). */
const DEFAULTS = Object.freeze({
  headers: undefined,            // default: stream.headers
  ansiEncoding: 'cp949',         // clients that do not send UTF-8 (Korean Windows); an iconv-lite name
  tmpDir: undefined,             // where files wait; default os.tmpdir()
  maxFields: 1000,               // message fields
  maxFieldBytes: 4 << 20,        // one field; the manifest too
  maxFieldsBytes: 16 << 20,      // all fields together
  maxRows: 10000,                // manifest rows (files are no more than the N and U rows)
  maxFileBytes: Infinity,        // one file
  maxTotalBytes: Infinity,       // all files together
  idleTimeout: 600000,           // ms without a byte before a stalled upload is given up (a user's pause sends none)
  sha256: true,                  // hash each file as it arrives
  allowRiskyNames: false,        // take names risky to store or show, flagged `risky` on their row
  onFile: undefined,             // (row, stream) => Promise: take each file yourself, no temporary copy
  onDiscard: undefined,          // (row, result) => void: undo what onFile did for a refused request
  resumable: undefined,          // the store of your tus endpoint (tusFileStore(dir)): files sent by tus
});

/** The options with their defaults, checked: a wrong one throws a TypeError now, not at a request. */
function uploadOptions(options = {}) {
  if (options[VALIDATED]) return options;
  for (const k of Object.keys(options)) if (!(k in DEFAULTS)) throw new TypeError(`unknown upload option ${k}`);
  const o = { ...DEFAULTS };
  for (const [k, v] of Object.entries(options)) if (v !== undefined) o[k] = v;
  if (typeof o.ansiEncoding !== 'string' || !iconv.encodingExists(o.ansiEncoding)) {
    throw new TypeError(`ansiEncoding ${o.ansiEncoding} is not an encoding iconv-lite knows`);
  }
  for (const k of ['maxFields', 'maxFieldBytes', 'maxFieldsBytes', 'maxRows', 'maxFileBytes', 'maxTotalBytes', 'idleTimeout']) {
    if (typeof o[k] !== 'number' || !(o[k] >= 0)) throw new TypeError(`${k} must be a number of 0 or more`);
  }
  for (const k of ['onFile', 'onDiscard']) {
    if (o[k] !== undefined && typeof o[k] !== 'function') throw new TypeError(`${k} must be a function`);
  }
  if (o.resumable !== undefined && (!o.resumable || typeof o.resumable.claim !== 'function')) {
    throw new TypeError('resumable must be a store with claim(id), such as tusFileStore(dir)');
  }
  return Object.freeze(Object.assign(o, { [VALIDATED]: true }));
}

/** Reads the request into a checked Upload, or rejects with an UploadError leaving no file behind. */
async function readUpload(stream, options = {}) {
  const o = uploadOptions(options);
  const headers = o.headers || stream.headers || {};
  if (!/^multipart\/form-data/i.test(String(headers['content-type'] || ''))) {
    throw new UploadError('not-multipart', 'the request is not multipart/form-data');
  }
  return receive(stream, headers, o, new Upload(isUtf8(headers) ? 'utf-8' : o.ansiEncoding, o.onDiscard));
}

/**
 * Reads the request and runs handler(upload). Whatever the handler does not
 * store is removed; if it throws, what it stored is removed too.
 */
async function withUpload(stream, options, handler) {
  const upload = await readUpload(stream, options);
  try {
    return await handler(upload);
  } catch (e) {
    await upload.discard({ stored: true });
    throw e;
  } finally {
    await upload.discard();
  }
}

function decoder(encoding) {
  if (encoding === 'utf-8') {
    const utf8 = new TextDecoder('utf-8', { fatal: true, ignoreBOM: true });
    return (bytes, what) => {
      try {
        return utf8.decode(bytes);
      } catch {
        throw new UploadError('bad-encoding', `${what} is not valid UTF-8`);
      }
    };
  }
  return (bytes, what) => {
    const t = iconv.decode(bytes, encoding);
    if (!iconv.encode(t, encoding).equals(bytes)) throw new UploadError('bad-encoding', `${what} is not valid ${encoding}`);
    return t;
  };
}

function receive(stream, headers, o, u) {
  const tmpDir = o.tmpDir || os.tmpdir();
  const text = decoder(u.encoding);
  return new Promise((resolve, reject) => {
    const pending = new Set();   // the files being written
    const active = new Set();    // their parts' streams, ended at a refusal
    const temps = [];
    const receiving = new Set();
    const claims = [];           // uploads taken out of the tus store, put back at a refusal
    let resumableSeen = false;
    let failure = null, bb, idle = null, parts = 0, fieldsBytes = 0, filesBytes = 0, textBytes = 0;

    const fail = (reason, message) => {
      if (failure) return;
      failure = reason instanceof UploadError ? reason : new UploadError(reason, message);
      clearTimeout(idle);
      for (const c of active) c.destroy(failure);
      if (bb) {
        stream.unpipe(bb);
        // Not from inside the parser's own callbacks.
        process.nextTick(() => bb.destroy());
      }
      stream.resume();  // the rest is drained unread, so the client can read the refusal
      Promise.allSettled(pending)
        .then(() => Promise.all(temps.map((p) => fsp.rm(p, { force: true }))))
        .then(() => Promise.all(claims.map((c) => c.restore().catch(() => {}))))
        // An upload goes back whole; what onFile made of it is for onDiscard to undo.
        .then(() => { for (const row of u.rows) if (row.file && row.file.claim) row.file = 'result' in row.file ? { result: row.file.result } : null; })
        .then(() => u.discard({ stored: true }))
        .then(() => reject(failure), () => reject(failure));
    };
    // A refusal thrown while a part is handled ends the request.
    const guard = (fn) => {
      if (failure) return;
      try {
        fn();
      } catch (e) {
        if (e instanceof UploadError) fail(e);
        else fail('store-failed', e.message);
      }
    };
    const touch = (chunk) => {
      if (failure) return;
      // The parser tells of a text part only at its end: bytes past the
      // longest text while no file is being written end the request now.
      if (chunk && active.size === 0 && (textBytes += chunk.length) > o.maxFieldBytes + 65536) {
        return fail('too-large', 'a field exceeds maxFieldBytes');
      }
      if (!Number.isFinite(o.idleTimeout)) return;
      if (idle) return idle.refresh();
      idle = setTimeout(() => {
        fail('incomplete', `no byte arrived for ${o.idleTimeout} ms`);
        if (typeof stream.destroy === 'function') stream.destroy();
      }, o.idleTimeout);
    };
    try {
      // Header parameters and values as latin1 keep every byte: the text is
      // decoded in the request's encoding. preservePath keeps a sender's
      // path in the name, so it can be refused.
      bb = Busboy({
        headers, preservePath: true, defParamCharset: 'latin1', defCharset: 'latin1',
        limits: {
          fieldNameSize: 4096, fieldSize: o.maxFieldBytes, fields: o.maxFields + 1, files: o.maxRows,
          parts: o.maxFields + o.maxRows + 1, fileSize: o.maxFileBytes,
        },
      });
    } catch (e) {
      return reject(new UploadError('not-multipart', 'the request has no readable multipart boundary'));
    }
    for (const limit of ['partsLimit', 'fieldsLimit', 'filesLimit']) {
      bb.on(limit, () => fail('too-many-parts', 'the request has more parts than its limits allow'));
    }
    bb.on('field', (name, value, info) => guard(() => {
      parts++;
      textBytes = 0;
      if (info.nameTruncated || info.valueTruncated) throw new UploadError('too-large', 'a field exceeds maxFieldBytes');
      fieldsBytes += value.length;
      if (fieldsBytes > o.maxFieldsBytes) throw new UploadError('too-large', 'the fields together exceed maxFieldsBytes');
      if (name === RESUMABLE) return readResumable(text(Buffer.from(value, 'latin1'), 'the list of uploads'));
      if (name === MANIFEST) {
        if (u.hasManifest) throw new UploadError('bad-manifest', 'the request holds two manifests');
        u.readManifest(text(Buffer.from(value, 'latin1'), 'the manifest'), o);
        return;
      }
      if (u.fields.length >= o.maxFields) throw new UploadError('too-many-parts', `the request has more than ${o.maxFields} fields`);
      u.fields.push({
        name: unescapeName(text(Buffer.from(name, 'latin1'), 'a field name')),
        value: text(Buffer.from(value, 'latin1'), 'a field value'),
      });
    }));
    bb.on('file', (_field, file, info) => {
      parts++;
      textBytes = 0;
      file.on('error', () => {});  // a refusal ends it; the refusal is the error that counts
      guard(() => startFile(file, info));
      if (failure) file.resume();
    });
    bb.on('error', (e) => fail(/Unexpected end/.test(e.message) ? 'incomplete' : 'not-multipart', 'the body is not readable as multipart'));
    bb.on('close', () => {
      Promise.allSettled(pending).then(() => {
        if (failure) return;
        clearTimeout(idle);
        // Every request of the control carries a part.
        if (parts === 0) return fail('incomplete', 'the request carries no part');
        resolve(u);
      });
    });
    stream.on('aborted', () => fail('incomplete', 'the client went away before the end of the request'));
    stream.on('error', () => fail('incomplete', 'the request stream failed'));
    stream.pipe(bb);
    stream.on('data', touch);
    touch();

    // Each row names a file that came by tus: the upload is claimed from
    // the store by its id alone and must be complete at the row's size.
    function readResumable(value) {
      if (resumableSeen || !u.hasManifest) throw new UploadError('bad-manifest', 'the list of uploads is repeated or comes before the manifest');
      resumableSeen = true;
      if (value !== '' && !value.endsWith('\n')) throw new UploadError('bad-manifest', 'the list of uploads has a row without line end');
      const ids = new Set();
      const named = [];
      for (const line of value.split('\n').slice(0, -1)) {
        const m = /^([^|\r]*)\|([^|\r]*)\|\r?$/.exec(line);
        if (!m || !UPLOAD_ID.test(m[2])) throw new UploadError('bad-manifest', 'a row of the list of uploads is not <name>|<upload id>|');
        const row = u.byName.get(unescapeName(m[1]));
        if (!row) throw new UploadError('unlisted-file', 'an upload is named for no N or U row');
        if (row.resumable || receiving.has(row) || ids.has(m[2])) throw new UploadError('duplicate-file', 'a row or an upload is named twice');
        ids.add(m[2]);
        row.resumable = m[2];
        named.push(row);
      }
      if (named.length && !o.resumable) throw new UploadError('unknown-upload', 'this server takes no resumable uploads');
      for (const row of named) pending.add(claim(row).catch((e) => fail(e instanceof UploadError ? e : new UploadError('store-failed', 'an upload could not be taken from the tus store'))));
    }

    async function claim(row) {
      const c = await o.resumable.claim(row.resumable);
      if (!c) throw new UploadError('unknown-upload', 'an upload named is not in the tus store');
      claims.push(c);
      if (failure) return;
      if (c.length !== row.size) throw new UploadError('size-mismatch', 'an upload is not as long as its row says');
      if (c.offset !== c.length) throw new UploadError('incomplete', 'an upload named is not complete');
      filesBytes += c.length;
      if (c.length > o.maxFileBytes || filesBytes > o.maxTotalBytes) throw new UploadError('too-large', 'a file, or all files together, exceed their limit');
      let sha256 = null;
      if (o.sha256) {
        const hash = crypto.createHash('sha256');
        for await (const chunk of fs.createReadStream(c.path)) hash.update(chunk);
        sha256 = hash.digest('hex');
      }
      row.file = { size: c.length, sha256, tmpPath: o.onFile ? null : c.path, claim: c };
      if (o.onFile) row.file.result = await o.onFile(row, fs.createReadStream(c.path));
    }

    function startFile(file, info) {
      const name = unescapeName(text(Buffer.from(info.filename || '', 'latin1'), 'a file name'));
      const row = u.byName.get(name);
      if (!row) throw new UploadError('unlisted-file', 'a file part has no N or U row in the manifest');
      if (row.resumable) {
        // Its bytes came by tus: the part is there so that a server unaware
        // of tus refuses the request, and must be empty.
        if (receiving.has(row)) throw new UploadError('duplicate-file', 'two file parts have one name');
        receiving.add(row);
        file.on('data', (chunk) => { if (chunk.length) fail('size-mismatch', 'a file part carries bytes its upload brought'); });
        file.resume();
        return;
      }
      if (row.file || receiving.has(row)) throw new UploadError('duplicate-file', 'two file parts have one name');
      receiving.add(row);
      let size = 0;
      const hash = o.sha256 ? crypto.createHash('sha256') : null;
      // Counted as it passes to the sink: a part longer than its row is
      // refused within one chunk of its row's size.
      file.on('data', (chunk) => {
        size += chunk.length;
        filesBytes += chunk.length;
        if (size > row.size) file.destroy(new UploadError('size-mismatch', 'a file part is longer than its row says'));
        else if (filesBytes > o.maxTotalBytes) file.destroy(new UploadError('too-large', 'the files together exceed maxTotalBytes'));
        else if (hash) hash.update(chunk);
      });
      file.on('limit', () => fail('too-large', 'a file exceeds maxFileBytes'));
      active.add(file);
      let tmpPath = null, sink, taken;
      if (o.onFile) {
        sink = new PassThrough();
        taken = Promise.resolve().then(() => o.onFile(row, sink));
      } else {
        tmpPath = path.join(tmpDir, `zt-${crypto.randomBytes(16).toString('hex')}.part`);
        temps.push(tmpPath);
        sink = fs.createWriteStream(tmpPath, { flags: 'wx' });
      }
      let complete = false;
      const written = new Promise((done) => {
        pipeline(file, sink, (err) => {
          active.delete(file);
          if (err) {
            if (err instanceof UploadError) fail(err);
            else fail(/Unexpected end/.test(err.message) ? 'incomplete' : 'store-failed', 'a file part could not be written');
          } else if (size !== row.size) {
            fail('size-mismatch', 'a file part is shorter than its row says');
          } else {
            complete = true;
          }
          done();
        });
      }).then(() => taken).then((result) => {
        // What onFile took is recorded even for a refused request, so that onDiscard can undo it.
        if (!complete && !o.onFile) return;
        row.file = { size, sha256: hash && complete ? hash.digest('hex') : null, tmpPath };
        if (o.onFile) row.file.result = result;
      }, () => fail('store-failed', 'onFile failed'));
      pending.add(written);
    }
  });
}

module.exports = { readUpload, withUpload, uploadOptions, DEFAULTS };
