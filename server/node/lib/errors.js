'use strict';

// Every reason and the HTTP status to answer it with: 400 the request is
// wrong, 413 it exceeds a limit, 500 this server failed.
const STATUS = Object.freeze({
  'not-multipart': 400, 'too-large': 413, 'too-many-parts': 413, incomplete: 400,
  'bad-encoding': 400, 'bad-manifest': 400, 'bad-name': 400, 'risky-name': 400,
  'duplicate-name': 400, 'unlisted-file': 400, 'duplicate-file': 400, 'size-mismatch': 400,
  'unknown-upload': 400, 'name-mangled': 500, 'store-failed': 500,
});

/** A request that does not add up; none of its files is left on disk. The
 *  message is for logs: answer with sendError(), which never repeats
 *  request text. */
class UploadError extends Error {
  constructor(reason, message) {
    if (!(reason in STATUS)) throw new TypeError(`unknown reason ${reason}`);
    super(`${reason}: ${message}`);
    this.name = 'UploadError';
    this.reason = reason;
    this.status = STATUS[reason];
  }
}

module.exports = { UploadError, STATUS };
