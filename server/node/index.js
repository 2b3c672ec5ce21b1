'use strict';
// Reads the uploads of the ZTFileUpload control: message fields, the
// _ZTUInfo manifest and the file parts, each checked against the manifest
// as it arrives and streamed to a temporary file (or to your own onFile).
// A request that does not add up is refused with an UploadError (a stable
// `reason` and the HTTP `status` to answer) and leaves no file behind.
const { UploadError, STATUS } = require('./lib/errors');
const { unescapeName, isRisky } = require('./lib/names');
const { readUpload, withUpload, uploadOptions, DEFAULTS } = require('./lib/read');
const { sendReply, sendError } = require('./lib/reply');
const { Upload } = require('./lib/upload');
const { tusFileStore } = require('./lib/resumable');

module.exports = {
  readUpload, withUpload, uploadOptions, DEFAULTS, Upload, UploadError, STATUS, sendReply, sendError,
  unescapeName, isRisky, tusFileStore,
};
