'use strict';
// Reads one request of the ZTFileUpload control from a stream: message
// fields, the _ZTUInfo manifest and the file parts, the files streamed to
// temporary files as they arrive. Everything is checked against the
// manifest before the caller sees a result; a request that does not add up
// is refused with an UploadError and leaves no file behind.
const Busboy = require('busboy');
const crypto = require('node:crypto');
const fs = require('node:fs');
const fsp = require('node:fs/promises');
const os = require('node:os');
const path = require('node:path');
const { pipeline, Transform } = require('node:stream');
const iconv = require('iconv-lite');

const MANIFEST = '_ZTUInfo';
// The control writes these five characters of a name as %XX, in capitals.
const ESCAPES = { '%22': '"', '%0D': '\r', '%0A': '\n', '%7C': '|', '%00': '\0' };

class UploadError extends Error {
  /** reason: one of not-multipart, too-large, incomplete, bad-encoding,
   *  bad-manifest, bad-name, duplicate-name, unlisted-file, duplicate-file,
   *  size-mismatch, store-failed */
  constructor(reason, message) {
    super(`${reason}: ${message}`);
    this.name = 'UploadError';
    this.reason = reason;
  }
}

/** A name as the sender meant it: the five escapes undone. */
function unescapeName(name) {
  return name.replace(/%(22|0D|0A|7C|00)/g, (m) => ESCAPES[m]);
}

const upper = (s) => s.toUpperCase();
const shown = (s) => JSON.stringify(s);

class Upload {
  constructor(encoding) {
    this.encoding = encoding;
    this.fields = [];
    this.hasManifest = false;
    this.attributes = [];
    this.rows = [];
  }

  /** The value of the first message field called name (case ignored). */
  field(name) {
    const f = this.fields.find((x) => upper(x.name) === upper(name));
    return f ? f.value : undefined;
  }

  /**
   * Moves every received file into folder under a name this server makes
   * (random hexadecimal, no extension: never the sender's text). Resolves to
   * the stored paths by row index. On failure the files already moved are
   * removed again and it rejects with an UploadError.
   */
  async store(folder) {
    const stored = new Map();
    try {
      for (const [i, row] of this.rows.entries()) {
        if (!row.file) continue;
        const target = path.join(folder, crypto.randomBytes(16).toString('hex'));
        await move(row.file.tmpPath, target);
        row.file.tmpPath = null;
        stored.set(i, target);
      }
    } catch (e) {
      await Promise.all([...stored.values()].map((p) => fsp.rm(p, { force: true })));
      await this.discard();
      throw new UploadError('store-failed', `a file could not be moved into the folder for uploads (${e.code || e.message})`);
    }
    return stored;
  }

  /** Removes the temporary files of rows not stored. */
  async discard() {
    await Promise.all(this.rows.filter((r) => r.file && r.file.tmpPath)
      .map((r) => fsp.rm(r.file.tmpPath, { force: true })));
  }

  /** What was understood, as plain data (the same shape the PHP kit gives). */
  toJSON() {
    return {
      encoding: this.encoding,
      fields: this.fields,
      manifest: this.hasManifest,
      attributes: this.attributes,
      rows: this.rows.map((r) => ({
        type: r.type, name: r.name, size: r.size, attributes: r.attributes,
        file: r.file ? { size: r.file.size, sha256: r.file.sha256 } : null,
      })),
    };
  }
}

async function move(from, to) {
  try {
    await fsp.rename(from, to);
  } catch (e) {
    if (e.code !== 'EXDEV') throw e;
    await fsp.copyFile(from, to, fs.constants.COPYFILE_EXCL);
    await fsp.rm(from, { force: true });
  }
}

/**
 * Reads the request. options: headers (default: stream.headers),
 * ansiEncoding (clients that do not send UTF-8; default 'cp949'), tmpDir
 * (default: the system's), maxFieldBytes (default 16 MiB; the manifest is a
 * field), maxFileBytes (default: no limit).
 */
async function readUpload(stream, options = {}) {
  const headers = options.headers || stream.headers || {};
  const type = String(headers['content-type'] || '');
  if (!/^multipart\/form-data/i.test(type)) {
    throw new UploadError('not-multipart', 'the request is not multipart/form-data');
  }
  const utf8 = String(headers['accept-language'] || '').trim().toLowerCase() === 'utf-8';
  const encoding = utf8 ? 'utf-8' : (options.ansiEncoding || 'cp949');
  const received = await receive(stream, headers, options);
  try {
    return build(encoding, received);
  } catch (e) {
    await Promise.all(received.files.map((f) => fsp.rm(f.tmpPath, { force: true })));
    throw e;
  }
}

// Parses the multipart body: text parts as bytes, file parts to temporary files.
function receive(stream, headers, options) {
  const tmpDir = options.tmpDir || os.tmpdir();
  const limits = { fieldSize: options.maxFieldBytes || 16 << 20 };
  if (options.maxFileBytes !== undefined) limits.fileSize = options.maxFileBytes;
  return new Promise((resolve, reject) => {
    const fields = [], files = [], writes = [];
    let failure = null, bb;
    const fail = (reason, message) => {
      if (failure) return;
      failure = new UploadError(reason, message);
      // Stop parsing: destroying the parser ends the file being written, so
      // its temporary file can go; the rest of the body is drained unread.
      // Not from inside the parser's own callbacks (a limit is one).
      if (bb) {
        stream.unpipe(bb);
        process.nextTick(() => bb.destroy());
      }
      stream.resume();
      Promise.allSettled(writes).then(() =>
        Promise.all(files.map((f) => fsp.rm(f.tmpPath, { force: true })))).then(() => reject(failure));
    };
    try {
      // Header parameters and values as latin1 keep every byte: the text is
      // decoded later, once the request's encoding is known. preservePath
      // keeps a sender's path in the name, so it can be refused.
      bb = Busboy({ headers, preservePath: true, defParamCharset: 'latin1', defCharset: 'latin1', limits });
    } catch (e) {
      return reject(new UploadError('not-multipart', e.message));
    }
    bb.on('field', (name, value, info) => {
      if (info.nameTruncated || info.valueTruncated) {
        return fail('too-large', `the field ${shown(name)} is longer than ${limits.fieldSize} bytes`);
      }
      fields.push({ name: Buffer.from(name, 'latin1'), value: Buffer.from(value, 'latin1') });
    });
    bb.on('file', (name, file, info) => {
      if (failure) return file.on('error', () => {}).resume();  // ended by the parser's end
      const part = {
        name: Buffer.from(info.filename, 'latin1'),
        tmpPath: path.join(tmpDir, `zt-${crypto.randomBytes(16).toString('hex')}.part`),
        size: 0, sha256: null,
      };
      files.push(part);
      const hash = crypto.createHash('sha256');
      const count = new Transform({
        transform(chunk, _enc, done) { part.size += chunk.length; hash.update(chunk); done(null, chunk); },
      });
      file.on('limit', () => fail('too-large', `a file is longer than ${limits.fileSize} bytes`));
      writes.push(new Promise((done) => {
        pipeline(file, count, fs.createWriteStream(part.tmpPath, { flags: 'wx' }), (err) => {
          if (err) fail(err.message === 'Unexpected end of file' ? 'incomplete' : 'store-failed', err.message);
          part.sha256 = hash.digest('hex');
          done();
        });
      }));
    });
    bb.on('error', (e) => fail(/Unexpected end/.test(e.message) ? 'incomplete' : 'not-multipart', e.message));
    bb.on('close', () => {
      Promise.allSettled(writes).then(() => {
        if (!failure) resolve({ fields, files });
      });
    });
    stream.on('aborted', () => fail('incomplete', 'the client went away before the end of the request'));
    stream.on('error', (e) => fail('incomplete', e.message));
    stream.pipe(bb);
  });
}

function build(encoding, { fields, files }) {
  // Every request of the control carries a part.
  if (!fields.length && !files.length) throw new UploadError('incomplete', 'the request carries no part');
  const u = new Upload(encoding);
  const text = (bytes, what) => {
    if (encoding === 'utf-8') {
      try {
        return new TextDecoder('utf-8', { fatal: true, ignoreBOM: true }).decode(bytes);
      } catch {
        throw new UploadError('bad-encoding', `${what} is not valid UTF-8`);
      }
    }
    const t = iconv.decode(bytes, encoding);
    if (!iconv.encode(t, encoding).equals(bytes)) {
      throw new UploadError('bad-encoding', `${what} is not valid ${encoding.toUpperCase()}`);
    }
    return t;
  };
  let manifest = null;
  for (const f of fields) {
    const name = text(f.name, 'a field name');
    if (name === MANIFEST) {
      if (manifest !== null) throw new UploadError('bad-manifest', 'the request holds two manifests');
      manifest = f.value;
      continue;
    }
    u.fields.push({ name: unescapeName(name), value: text(f.value, `the value of ${name}`) });
  }
  if (manifest !== null) readManifest(u, text(manifest, 'the manifest'));
  for (const part of files) {
    const name = unescapeName(text(part.name, 'a file name'));
    const row = u.rows.filter((r) => (r.type === 'N' || r.type === 'U') && r.name === name).pop();
    if (!row) throw new UploadError('unlisted-file', `the file part ${shown(name)} has no N or U row in the manifest`);
    if (row.file) throw new UploadError('duplicate-file', `two file parts are called ${shown(row.name)}`);
    if (part.size !== row.size) {
      throw new UploadError('size-mismatch', `${shown(row.name)} has ${part.size} bytes, its row says ${row.size}`);
    }
    row.file = { size: part.size, sha256: part.sha256, tmpPath: part.tmpPath };
  }
  return u;
}

function readManifest(u, text) {
  u.hasManifest = true;
  if (text === '') return;
  if (!text.endsWith('\n')) throw new UploadError('bad-manifest', 'the last row has no line end');
  const lines = text.slice(0, -1).split('\n');
  const header = rowFields(lines.shift(), 1);
  if (header[0] !== 'Type' || header[1] !== 'FileName' || header[2] !== 'Size') {
    throw new UploadError('bad-manifest', 'the manifest does not start with its header row');
  }
  u.attributes = header.slice(3);
  if (new Set(u.attributes).size !== u.attributes.length) {
    throw new UploadError('bad-manifest', 'an attribute name appears twice in the header row');
  }
  const seen = new Set();
  lines.forEach((line, n) => {
    const number = n + 2;
    const f = rowFields(line, number);
    if (f.length !== header.length) {
      throw new UploadError('bad-manifest', `row ${number} has ${f.length} fields, the header ${header.length}`);
    }
    if (!['N', 'U', 'V', 'D'].includes(f[0])) {
      throw new UploadError('bad-manifest', `row ${number} has the unknown type "${f[0]}"`);
    }
    if (!/^-?[0-9]{1,16}$/.test(f[2]) || !Number.isSafeInteger(Number(f[2]))) {
      throw new UploadError('bad-manifest', `row ${number} has no valid size`);
    }
    const name = checkedName(f[1]);
    if (f[0] !== 'D') {
      // Entries of the list are unique ignoring case; deleted rows may repeat a name.
      if (seen.has(upper(name))) throw new UploadError('duplicate-name', `two entries of the list are called ${shown(name)}`);
      seen.add(upper(name));
    }
    const attributes = {};
    u.attributes.forEach((a, i) => { attributes[a] = f[3 + i]; });
    u.rows.push({ type: f[0], name, size: Number(f[2]), attributes, file: null });
  });
}

// The fields of one row: each is followed by "|", the row by CR LF or LF.
function rowFields(line, number) {
  if (line.endsWith('\r')) line = line.slice(0, -1);
  if (line === '' || !line.endsWith('|') || line.includes('\r') || line.includes('\0')) {
    throw new UploadError('bad-manifest', `row ${number} is not a run of fields each ended by |`);
  }
  return line.slice(0, -1).split('|');
}

function checkedName(raw) {
  const name = unescapeName(raw);
  if (name === '' || name === '.' || name === '..' || /[/\\\x00-\x1f\x7f]/.test(name)) {
    throw new UploadError('bad-name', `the name ${shown(name)} is empty, a path or holds control characters`);
  }
  return name;
}

module.exports = { readUpload, Upload, UploadError, unescapeName };
