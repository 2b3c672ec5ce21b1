'use strict';
// Uploads that arrived by tus before the POST naming them. The kit does not
// depend on a tus server: it reads the folder of @tus/file-store (and of the
// PHP kit's endpoint), where an upload is the file <id> with its account
// <id>.json ({ size, ... }) beside it; the offset is the file's length.
const crypto = require('node:crypto');
const fsp = require('node:fs/promises');
const path = require('node:path');

// What a tus server puts in an upload URL's last segment; anything else is
// not looked up at all, so an id can never become a path.
const UPLOAD_ID = /^[A-Za-z0-9_-]{1,128}$/;

/**
 * The store of a tus endpoint kept in `directory`. claim(id) takes the upload
 * out of the store at once (a rename: of two requests naming it, one gets it)
 * and resolves to { path, length, offset, restore(), settle() }, or null when
 * the store holds no such upload. restore() puts it back (the POST was
 * refused); settle() forgets it for good (the POST was taken).
 */
function tusFileStore(directory) {
  const dir = path.resolve(directory);
  return {
    directory: dir,
    async claim(id) {
      if (!UPLOAD_ID.test(id)) return null;
      const data = path.join(dir, id);
      const info = path.join(dir, `${id}.json`);
      const claimed = path.join(dir, `.claimed-${crypto.randomBytes(8).toString('hex')}`);
      try {
        await fsp.rename(data, claimed);
      } catch (e) {
        if (e.code === 'ENOENT' || e.code === 'ENOTDIR') return null;
        throw e;
      }
      const restore = () => fsp.rename(claimed, data);
      let length, offset;
      try {
        const account = JSON.parse(await fsp.readFile(info, 'utf8'));
        length = account.size;
        const stat = await fsp.stat(claimed);
        if (!stat.isFile()) throw new Error('not a file');
        offset = stat.size;
      } catch {
        await restore().catch(() => {});
        return null;
      }
      // An upload whose length was deferred has none yet: it cannot be complete.
      if (!Number.isSafeInteger(length)) length = -1;
      return { path: claimed, length, offset, restore, settle: () => fsp.rm(info, { force: true }) };
    },
  };
}

module.exports = { tusFileStore, UPLOAD_ID };
