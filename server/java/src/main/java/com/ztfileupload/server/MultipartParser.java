package com.ztfileupload.server;

import java.io.IOException;
import java.io.InputStream;
import java.nio.charset.StandardCharsets;
import java.util.ArrayList;
import java.util.List;

import com.ztfileupload.server.UploadException.Reason;

/**
 * Reads a multipart body part by part from a stream through one fixed
 * buffer: a part's data goes to a sink as it arrives, so a part of any
 * length costs no more memory than the buffer.
 */
final class MultipartParser {
    /** Takes a part's data as it arrives. */
    interface Sink {
        void write(byte[] b, int off, int len) throws UploadException;
    }

    private static final int BUFFER = 64 * 1024;
    private static final int MAX_HEADER_LINE = 8 * 1024;
    private static final int MAX_HEADER_LINES = 16;

    private final InputStream in;
    private final byte[] delimiter;
    private final int[] skip = new int[256];
    private final byte[] buf = new byte[BUFFER];
    private int pos;
    private int end;
    private boolean eof;
    private boolean closed;

    MultipartParser(InputStream in, String boundary) {
        this.in = in;
        this.delimiter = ("\r\n--" + boundary).getBytes(StandardCharsets.ISO_8859_1);
        java.util.Arrays.fill(skip, delimiter.length);
        for (int k = 0; k < delimiter.length - 1; k++) skip[delimiter[k] & 0xff] = delimiter.length - 1 - k;
        // The first delimiter opens the body without a line end before it:
        // a CR LF put in front lets one search find every delimiter.
        buf[0] = '\r';
        buf[1] = '\n';
        end = 2;
    }

    /** Skips what comes before the first part: nothing from the control, a little from others. */
    void start() throws UploadException {
        long[] skipped = {0};
        data((b, off, len) -> {
            skipped[0] += len;
            if (skipped[0] > BUFFER) throw new UploadException(Reason.NOT_MULTIPART, "the body does not begin with a part");
        });
    }

    /**
     * After a delimiter: the next part's header lines (decoded byte for byte
     * as ISO-8859-1), or null when it was the closing one.
     */
    List<String> nextPart() throws UploadException {
        if (closed) return null;
        need(2);
        if (buf[pos] == '-' && buf[pos + 1] == '-') {
            closed = true;
            return null;
        }
        String padding = line();
        if (!padding.trim().isEmpty()) {
            throw new UploadException(Reason.NOT_MULTIPART, "a delimiter is followed by more than its line end");
        }
        List<String> headers = new ArrayList<>();
        for (String h = line(); !h.isEmpty(); h = line()) {
            if (headers.size() == MAX_HEADER_LINES) {
                throw new UploadException(Reason.NOT_MULTIPART, "a part has too many header lines");
            }
            headers.add(h);
        }
        return headers;
    }

    /** Hands the current part's data to sink, up to the next delimiter, which it consumes. */
    void data(Sink sink) throws UploadException {
        while (true) {
            int at = find();
            if (at >= 0) {
                sink.write(buf, pos, at - pos);
                pos = at + delimiter.length;
                return;
            }
            // A delimiter may begin in the last bytes: keep them for the next search.
            int safe = Math.max(pos, end - (delimiter.length - 1));
            if (safe > pos) {
                sink.write(buf, pos, safe - pos);
                pos = safe;
            }
            if (eof) throw new UploadException(Reason.INCOMPLETE, "the body ends inside a part");
            fill();
        }
    }

    // Boyer-Moore-Horspool: file data rarely holds the delimiter's bytes, so
    // most steps skip the delimiter's whole length.
    private int find() {
        int n = delimiter.length;
        for (int i = pos; i <= end - n; i += skip[buf[i + n - 1] & 0xff]) {
            int k = n - 1;
            while (k >= 0 && buf[i + k] == delimiter[k]) k--;
            if (k < 0) return i;
        }
        return -1;
    }

    private String line() throws UploadException {
        int from = pos;
        while (true) {
            for (int i = from; i + 1 < end; i++) {
                if (buf[i] == '\r' && buf[i + 1] == '\n') {
                    String s = new String(buf, pos, i - pos, StandardCharsets.ISO_8859_1);
                    pos = i + 2;
                    return s;
                }
            }
            if (end - pos > MAX_HEADER_LINE) {
                throw new UploadException(Reason.NOT_MULTIPART, "a part's header line is too long");
            }
            if (eof) throw new UploadException(Reason.INCOMPLETE, "the body ends inside a part's header");
            from = Math.max(pos, end - 1);
            int shift = pos;
            fill();
            from -= shift;
        }
    }

    private void need(int n) throws UploadException {
        while (end - pos < n) {
            if (eof) throw new UploadException(Reason.INCOMPLETE, "the body ends after a delimiter");
            fill();
        }
    }

    // Moves the unread bytes to the front and reads more after them.
    private void fill() throws UploadException {
        if (pos > 0) {
            System.arraycopy(buf, pos, buf, 0, end - pos);
            end -= pos;
            pos = 0;
        }
        try {
            int n = in.read(buf, end, buf.length - end);
            if (n < 0) {
                eof = true;
            } else {
                end += n;
            }
        } catch (IOException e) {
            throw new UploadException(Reason.INCOMPLETE, "the request could not be read to its end (" + e + ")", e);
        }
    }
}
