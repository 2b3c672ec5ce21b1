'use strict';
const { UploadError } = require('./errors');

// The control writes these five characters of a name as %XX, in capitals.
const ESCAPES = { '%22': '"', '%0D': '\r', '%0A': '\n', '%7C': '|', '%00': '\0' };
// Bidirectional controls, the line and paragraph separators and C1 controls
// make a name show as something else; the rest make Windows store it elsewhere.
const RISKY_CHARS = /[\u0080-\u009f\u061c\u200e\u200f\u202a-\u202e\u2066-\u2069\u2028\u2029:]/;
const DEVICES = /^(CON|PRN|AUX|NUL|COM[1-9¹²³]|LPT[1-9¹²³]|CONIN\$|CONOUT\$)$/i;

/** A name as the sender meant it: the five escapes undone. */
function unescapeName(name) {
  return name.replace(/%(22|0D|0A|7C|00)/g, (m) => ESCAPES[m]);
}

/** Throws bad-name for a name that is not one file name. */
function checkName(name) {
  if (name === '' || name === '.' || name === '..' || /[/\\\x00-\x1f\x7f]/.test(name)) {
    throw new UploadError('bad-name', 'a name is empty, a path or holds control characters');
  }
}

/** Whether a name is risky to store or show. */
function isRisky(name) {
  return RISKY_CHARS.test(name) || DEVICES.test(name.split('.')[0].replace(/ +$/, ''))
    || name.endsWith('.') || name.endsWith(' ');
}

module.exports = { unescapeName, checkName, isRisky };
