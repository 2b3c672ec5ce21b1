package com.ztfileupload.server;

import java.util.Locale;
import java.util.regex.Pattern;

import com.ztfileupload.server.UploadException.Reason;

/** What makes an entry's name acceptable. */
final class Names {
    private static final Pattern DEVICE = Pattern.compile(
            "CON|PRN|AUX|NUL|CONIN\\$|CONOUT\\$|COM[1-9\u00b9\u00b2\u00b3]|LPT[1-9\u00b9\u00b2\u00b3]",
            Pattern.CASE_INSENSITIVE);

    private Names() {
    }

    /** A name is one entry, never a path, with no control character. */
    static void check(String name) throws UploadException {
        boolean bad = name.isEmpty() || name.equals(".") || name.equals("..");
        for (int i = 0; !bad && i < name.length(); i++) {
            char c = name.charAt(i);
            bad = c == '/' || c == '\\' || c < 0x20 || c == 0x7f;
        }
        if (bad) throw new UploadException(Reason.BAD_NAME, "the name " + shown(name) + " is empty, a path or holds control characters");
    }

    /**
     * Names that mislead when shown or misbehave when a server or a user later
     * saves them under that name on Windows.
     */
    static boolean risky(String name) {
        char last = name.charAt(name.length() - 1);
        if (last == '.' || last == ' ') return true;
        if (name.indexOf(':') >= 0) return true;  // an NTFS stream
        // Windows takes "con.txt" and "con .txt" for the device too.
        String stem = name.split("\\.", -1)[0].replaceAll(" +$", "");
        if (DEVICE.matcher(stem).matches()) return true;
        for (int i = 0; i < name.length(); i++) {
            char c = name.charAt(i);
            if ((c >= 0x80 && c <= 0x9f)                        // C1 controls
                    || c == 0x061c || c == 0x200e || c == 0x200f  // bidirectional marks
                    || (c >= 0x202a && c <= 0x202e)               // embeddings and overrides
                    || (c >= 0x2066 && c <= 0x2069)               // isolates
                    || c == 0x2028 || c == 0x2029) {              // line and paragraph separators
                return true;
            }
        }
        return false;
    }

    /** A name for a log line: quoted, its control characters written as escapes. */
    static String shown(String name) {
        StringBuilder s = new StringBuilder("\"");
        for (int i = 0; i < name.length() && i < 200; i++) {
            char c = name.charAt(i);
            if (c < 0x20 || c == 0x7f || c == '"' || c == '\\' || (c >= 0x80 && c <= 0x9f) || Character.getType(c) == Character.FORMAT
                    || c == 0x2028 || c == 0x2029) {
                s.append(String.format(Locale.ROOT, "\\u%04x", (int) c));
            } else {
                s.append(c);
            }
        }
        return s.append(name.length() > 200 ? "...\"" : "\"").toString();
    }
}
