package com.ztfileupload.server;

import java.io.IOException;
import java.io.InputStream;
import java.nio.charset.Charset;
import java.nio.charset.StandardCharsets;

/**
 * The control reads a reply in the encoding of its request and ignores any
 * charset: answer in kind, as short plain text.
 */
public final class Reply {
    private final Charset charset;
    private final String label;

    private Reply(Charset charset, String label) {
        this.charset = charset;
        this.label = label;
    }

    /** The reply's encoding for a request with this {@code Accept-Language}. */
    public static Reply forRequest(String acceptLanguage, UploadOptions options) {
        if (UploadReader.isUtf8(acceptLanguage)) return new Reply(StandardCharsets.UTF_8, "utf-8");
        Charset c = options.ansiCharset();
        return new Reply(c, c.name().equalsIgnoreCase("x-windows-949") ? "ks_c_5601-1987" : c.name());
    }

    /** The {@code Content-Type} to send. */
    public String contentType() {
        return "text/plain; charset=" + label;
    }

    /** The text's bytes; a character the code page lacks becomes '?'. */
    public byte[] body(String text) {
        return text.getBytes(charset);
    }

    /**
     * Whether the answer must say {@code Connection: close}: the request is HTTP/1.0 without keep-alive, or
     * asked to close. Jetty 9 answers such a request as HTTP/1.1 and closes without saying so; WinINet then
     * keeps the connection for the control's next request, which meets the close and gets no reply.
     */
    public static boolean closesConnection(String protocol, String connection) {
        boolean close = false, keepAlive = false;
        for (String token : (connection == null ? "" : connection).split(",")) {
            close |= token.trim().equalsIgnoreCase("close");
            keepAlive |= token.trim().equalsIgnoreCase("keep-alive");
        }
        return close || ("HTTP/1.0".equals(protocol) || "HTTP/0.9".equals(protocol)) && !keepAlive;
    }

    /** A refused request's rest is read and dropped up to this, so the client gets to read the answer. */
    private static final long DRAIN_BYTES = 16L << 20;

    /**
     * Before answering a refusal: reads and drops what is left of the body (bounded), since a client that
     * reads only after sending (the control does) sees a reset instead of the answer otherwise. A 413 is
     * answered at once: its rest may be anything.
     */
    public static void drainBefore(UploadException refusal, InputStream body) {
        if (refusal.status() == 413) return;
        try {
            byte[] b = new byte[8192];
            long left = DRAIN_BYTES;
            for (int n; left > 0 && (n = body.read(b)) > 0; ) left -= n;
        } catch (IOException | IllegalStateException ignored) {
            // The client is gone or the stream is closed: nothing to drain.
        }
    }
}
