'use strict';
const crypto = require('node:crypto');
const fs = require('node:fs');
const fsp = require('node:fs/promises');
const path = require('node:path');
const { UploadError } = require('./errors');
const { unescapeName, checkName, isRisky } = require('./names');

const upper = (s) => s.toUpperCase();

/** One request of the control, checked: fields, manifest rows and their files. */
class Upload {
  constructor(encoding, onDiscard) {
    this.encoding = encoding;
    this.onDiscard = onDiscard;
    this.fields = [];
    this.hasManifest = false;
    this.attributes = [];
    this.rows = [];
    // The N and U rows by name: each file part finds its row at once.
    this.byName = new Map();
    this.stored = new Map();
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
   * removed again, the rest discarded, and it rejects with an UploadError.
   */
  async store(folder) {
    const stored = new Map();
    try {
      for (const [i, row] of this.rows.entries()) {
        if (!row.file || !row.file.tmpPath) continue;
        const target = path.join(folder, crypto.randomBytes(16).toString('hex'));
        await move(row.file.tmpPath, target);
        row.file.tmpPath = null;
        if (row.file.claim) await row.file.claim.settle();
        stored.set(i, target);
        this.stored.set(i, target);
      }
    } catch (e) {
      await this.discard({ stored: true });
      throw new UploadError('store-failed', `a file could not be moved into the folder for uploads (${e.code || 'error'})`);
    }
    return stored;
  }

  /**
   * Removes the temporary files not stored; with { stored: true } also those
   * store() moved and, through onDiscard, what onFile took.
   */
  async discard({ stored = false } = {}) {
    const paths = this.rows.filter((r) => r.file && r.file.tmpPath).map((r) => r.file.tmpPath);
    if (stored) paths.push(...this.stored.values());
    await Promise.all(paths.map((p) => fsp.rm(p, { force: true })));
    // An upload the request took is spent, whatever the page did with it.
    for (const row of this.rows) {
      if (!row.file || !row.file.claim) continue;
      const { claim } = row.file;
      await fsp.rm(claim.path, { force: true });
      await claim.settle().catch(() => {});
    }
    if (!stored) return;
    this.stored.clear();
    for (const row of this.rows) {
      if (!row.file || !('result' in row.file)) continue;
      const { result } = row.file;
      delete row.file.result;
      if (this.onDiscard) await Promise.resolve().then(() => this.onDiscard(row, result)).catch(() => {});
    }
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
        ...(r.risky ? { risky: true } : {}),
      })),
    };
  }

  /** Reads the manifest's rows (text already decoded). */
  readManifest(text, { maxRows, allowRiskyNames }) {
    this.hasManifest = true;
    if (text === '') return;
    if (!text.endsWith('\n')) throw new UploadError('bad-manifest', 'the last row has no line end');
    const lines = text.slice(0, -1).split('\n');
    if (lines.length - 1 > maxRows) throw new UploadError('too-many-parts', `the manifest has more than ${maxRows} rows`);
    const header = rowFields(lines.shift(), 1);
    if (header[0] !== 'Type' || header[1] !== 'FileName' || header[2] !== 'Size') {
      throw new UploadError('bad-manifest', 'the manifest does not start with its header row');
    }
    this.attributes = header.slice(3);
    if (new Set(this.attributes).size !== this.attributes.length) {
      throw new UploadError('bad-manifest', 'an attribute name appears twice in the header row');
    }
    const seen = new Set();
    lines.forEach((line, n) => {
      const number = n + 2;
      const f = rowFields(line, number);
      if (f.length !== header.length) {
        throw new UploadError('bad-manifest', `row ${number} has ${f.length} fields, the header ${header.length}`);
      }
      if (!['N', 'U', 'V', 'D'].includes(f[0])) throw new UploadError('bad-manifest', `row ${number} has an unknown type`);
      if (!/^-?[0-9]{1,16}$/.test(f[2]) || !Number.isSafeInteger(Number(f[2]))) {
        throw new UploadError('bad-manifest', `row ${number} has no valid size`);
      }
      const name = unescapeName(f[1]);
      checkName(name);
      const risky = isRisky(name);
      if (risky && !allowRiskyNames) throw new UploadError('risky-name', `row ${number} has a name risky to store or show`);
      if (f[0] !== 'D') {
        // Entries of the list are unique ignoring case; deleted rows may repeat a name.
        if (seen.has(upper(name))) throw new UploadError('duplicate-name', `row ${number} repeats the name of another entry`);
        seen.add(upper(name));
      }
      const attributes = {};
      this.attributes.forEach((a, i) => { attributes[a] = f[3 + i]; });
      const row = { type: f[0], name, size: Number(f[2]), attributes, file: null };
      if (risky) row.risky = true;
      this.rows.push(row);
      if (f[0] === 'N' || f[0] === 'U') this.byName.set(name, row);
    });
  }
}

// The fields of one row: each is followed by "|", the row by CR LF or LF.
function rowFields(line, number) {
  if (line.endsWith('\r')) line = line.slice(0, -1);
  if (line === '' || !line.endsWith('|') || line.includes('\r') || line.includes('\0')) {
    throw new UploadError('bad-manifest', `row ${number} is not a run of fields each ended by |`);
  }
  return line.slice(0, -1).split('|');
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

module.exports = { Upload };
