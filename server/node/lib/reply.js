'use strict';
const iconv = require('iconv-lite');

const DRAIN_BYTES = 64 << 20;
const DRAIN_MS = 30000;

const isUtf8 = (headers) => String(headers['accept-language'] || '').trim().toLowerCase() === 'utf-8';

/**
 * Answers the control: a short plain text in the encoding of its request
 * (it reads the reply so and ignores the charset), never sniffed as markup.
 */
function sendReply(req, res, status, text, ansiEncoding = 'cp949') {
  const utf8 = isUtf8(req.headers);
  const body = utf8 ? Buffer.from(text, 'utf8') : iconv.encode(text, ansiEncoding);
  res.writeHead(status, {
    'Content-Type': `text/plain; charset=${utf8 ? 'utf-8' : ansiEncoding}`,
    'Content-Length': body.length,
    'X-Content-Type-Options': 'nosniff',
  });
  if (req.complete || req.destroyed || typeof req.on !== 'function') return res.end(body);
  // A refusal before the body's end: a client reads the reply only once it
  // has sent everything, and closing on unread bytes resets the connection
  // and loses the reply. So a modest rest is read and dropped first; past
  // DRAIN_BYTES or DRAIN_MS the connection is closed all the same.
  res.write(body);
  let drained = 0;
  const finish = () => {
    clearTimeout(timer);
    req.off('data', count);
    if (!res.writableEnded) res.end();
  };
  const count = (chunk) => {
    drained += chunk.length;
    if (drained > DRAIN_BYTES) {
      finish();
      req.destroy();
    }
  };
  const timer = setTimeout(() => { finish(); req.destroy(); }, DRAIN_MS);
  req.on('data', count).on('end', finish).on('close', finish);
  req.resume();
}

/** The refusal's status and its reason code alone: nothing the sender wrote comes back. */
function sendError(req, res, error, ansiEncoding) {
  sendReply(req, res, error.status, error.reason, ansiEncoding);
}

module.exports = { sendReply, sendError, isUtf8 };
