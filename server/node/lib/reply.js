'use strict';
const iconv = require('iconv-lite');

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
  res.end(body);
}

/** The refusal's status and its reason code alone: nothing the sender wrote comes back. */
function sendError(req, res, error, ansiEncoding) {
  sendReply(req, res, error.status, error.reason, ansiEncoding);
}

module.exports = { sendReply, sendError, isUtf8 };
