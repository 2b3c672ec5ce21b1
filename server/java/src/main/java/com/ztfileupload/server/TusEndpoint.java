package com.ztfileupload.server;

import java.io.IOException;
import java.io.InputStream;
import java.nio.ByteBuffer;
import java.nio.channels.FileChannel;
import java.nio.charset.CharacterCodingException;
import java.nio.charset.CodingErrorAction;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.LinkOption;
import java.nio.file.NoSuchFileException;
import java.nio.file.StandardOpenOption;
import java.time.Duration;
import java.util.Base64;
import java.util.Collections;
import java.util.LinkedHashMap;
import java.util.Map;
import java.util.function.Function;
import java.util.regex.Pattern;

/**
 * A tus 1.0 endpoint (core, creation, termination) over a {@link TusStore}, apart from any container: the
 * servlet adapters hand it a request and write its {@link Answer}. Nothing the client sends becomes a path:
 * ids are made by the store and checked; the offset is the stored file's length. The limits keep a hostile
 * client from filling the disk: the largest upload, how many may be open, how long one may sit idle, and
 * the free space that must stay on the store's disk.
 */
public final class TusEndpoint {
    private static final Pattern DIGITS = Pattern.compile("[0-9]{1,18}");
    private static final Pattern HOST =
            Pattern.compile("[A-Za-z0-9.-]+(:[0-9]{1,5})?|\\[[0-9A-Fa-f:.]+\\](:[0-9]{1,5})?");
    private static final int CHUNK = 64 * 1024;

    private final TusStore store;
    private final String basePath;
    private long maxSize = Long.MAX_VALUE;
    private int maxUploads = 1_000;
    private long expireSeconds = Duration.ofDays(7).getSeconds();
    private long minFreeBytes = 1L << 30;

    /** @param basePath the URL path of the endpoint, such as {@code /tus/} */
    public TusEndpoint(TusStore store, String basePath) {
        this.store = store;
        this.basePath = basePath.endsWith("/") ? basePath : basePath + "/";
    }

    /** The largest upload taken, announced as {@code Tus-Max-Size} (no limit). */
    public TusEndpoint maxSize(long bytes) {
        this.maxSize = bytes;
        return this;
    }

    /** Uploads open at once; a creation beyond is answered 503 (1,000). */
    public TusEndpoint maxUploads(int n) {
        this.maxUploads = n;
        return this;
    }

    /** An upload nobody wrote to or named for this long is removed (7 days). */
    public TusEndpoint expireAfter(Duration idle) {
        this.expireSeconds = idle.getSeconds();
        return this;
    }

    /** Creations and writes that would leave less free space on the store's disk get 507 (1 GiB). */
    public TusEndpoint minFreeBytes(long bytes) {
        this.minFreeBytes = bytes;
        return this;
    }

    /** Whether a request for this path is the endpoint's. */
    public boolean owns(String path) {
        return path != null && (path.startsWith(basePath) || path.equals(basePath.substring(0, basePath.length() - 1)));
    }

    /** Removes expired uploads now (each creation does too); returns how many remain open. */
    public int sweep() throws IOException {
        return store.sweep(expireSeconds);
    }

    /** A status and headers; tus answers carry no body. */
    public static final class Answer {
        private final int status;
        private final Map<String, String> headers = new LinkedHashMap<>();

        private Answer(int status) {
            this.status = status;
            headers.put("Tus-Resumable", "1.0.0");
            headers.put("Cache-Control", "no-store");
            headers.put("X-Content-Type-Options", "nosniff");
        }

        private Answer with(String name, String value) {
            headers.put(name, value);
            return this;
        }

        public int status() {
            return status;
        }

        public Map<String, String> headers() {
            return Collections.unmodifiableMap(headers);
        }
    }

    /**
     * Answers one request.
     * @param path   the request's path as sent (not decoded)
     * @param header a request header by name, case ignored, or null
     * @param body   the request body (read by PATCH only)
     * @param https  whether the request came over TLS, for the upload's URL
     */
    public Answer answer(String method, String path, Function<String, String> header, InputStream body, boolean https) {
        if ("OPTIONS".equals(method)) {
            Answer a = new Answer(204).with("Tus-Version", "1.0.0").with("Tus-Extension", "creation,termination");
            return maxSize == Long.MAX_VALUE ? a : a.with("Tus-Max-Size", Long.toString(maxSize));
        }
        if (!"1.0.0".equals(trim(header.apply("Tus-Resumable")))) return new Answer(412).with("Tus-Version", "1.0.0");
        if (!owns(path) || path.length() <= basePath.length()) {
            return !owns(path) ? new Answer(404)
                    : "POST".equals(method) ? create(header, https) : new Answer(405).with("Allow", "OPTIONS, POST");
        }
        String id = path.substring(basePath.length());
        if (!TusStore.validId(id)) return new Answer(404);
        switch (method) {
            case "HEAD": return offset(id);
            case "PATCH": return append(id, header, body);
            case "DELETE": return delete(id);
            default: return new Answer(405).with("Allow", "OPTIONS, HEAD, PATCH, DELETE");
        }
    }

    private Answer create(Function<String, String> header, boolean https) {
        String declared = trim(header.apply("Upload-Length"));
        // A deferred length is not offered.
        if (declared == null || !DIGITS.matcher(declared).matches()) return new Answer(400);
        long length = Long.parseLong(declared);
        if (length > maxSize) return new Answer(413);
        Map<String, String> metadata = metadata(header.apply("Upload-Metadata"));
        if (metadata == null) return new Answer(400);
        String id;
        try {
            synchronized (this) {
                // Each new upload sweeps the old ones; the count and the creation are one step.
                if (store.sweep(expireSeconds) >= maxUploads) return new Answer(503);
                Files.createDirectories(store.directory());
                if (!room(length)) return new Answer(507);
                id = store.create(length, metadata);
            }
        } catch (IOException e) {
            return new Answer(500);
        }
        // Back through the host the client used; a Host that is no host name gives a relative URL.
        String host = trim(header.apply("Host"));
        String origin = host != null && HOST.matcher(host).matches() ? (https ? "https://" : "http://") + host : "";
        return new Answer(201).with("Location", origin + basePath + id);
    }

    private Answer offset(String id) {
        long length = store.length(id), offset = store.offset(id);
        if (length < 0 || offset < 0) return new Answer(404);
        return new Answer(200).with("Upload-Offset", Long.toString(offset)).with("Upload-Length", Long.toString(length));
    }

    private Answer append(String id, Function<String, String> header, InputStream body) {
        String type = header.apply("Content-Type");
        if (type == null || !type.split(";")[0].trim().equalsIgnoreCase("application/offset+octet-stream")) {
            return new Answer(415);
        }
        String claimed = trim(header.apply("Upload-Offset"));
        String sent = trim(header.apply("Content-Length"));
        if (claimed == null || !DIGITS.matcher(claimed).matches() || sent != null && !DIGITS.matcher(sent).matches()) {
            return new Answer(400);
        }
        if (!store.hold(id)) return new Answer(423);  // another request is writing it
        try (FileChannel file = FileChannel.open(store.data(id), StandardOpenOption.WRITE, LinkOption.NOFOLLOW_LINKS)) {
            long length = store.length(id), offset = file.size();
            if (length < 0) return new Answer(404);
            if (Long.parseLong(claimed) != offset) return new Answer(409).with("Upload-Offset", Long.toString(offset));
            long declared = sent == null ? length - offset : Long.parseLong(sent);
            if (offset + declared > length) return new Answer(413);
            if (!room(declared)) return new Answer(507);
            long at = offset;
            byte[] b = new byte[CHUNK];
            while (true) {
                int n;
                try {
                    n = body.read(b);
                } catch (IOException | RuntimeException cut) {
                    break;  // what arrived before a cut is kept: the client asks HEAD and goes on from there
                }
                if (n < 0) break;
                if (at + n > length) {
                    // More than the upload's length: none of this request is kept.
                    file.truncate(offset);
                    return new Answer(413);
                }
                try {
                    for (ByteBuffer buf = ByteBuffer.wrap(b, 0, n); buf.hasRemaining(); ) file.write(buf, at + buf.position());
                } catch (IOException e) {
                    file.truncate(at);
                    return new Answer(500);
                }
                at += n;
            }
            return new Answer(204).with("Upload-Offset", Long.toString(at));
        } catch (NoSuchFileException e) {
            return new Answer(404);  // taken by a POST, deleted or expired
        } catch (IOException e) {
            return new Answer(500);
        } finally {
            store.release(id);
        }
    }

    private Answer delete(String id) {
        if (!store.hold(id)) return new Answer(423);
        try {
            if (store.length(id) < 0) return new Answer(404);
            store.delete(id);
            return new Answer(204);
        } catch (IOException e) {
            return new Answer(500);
        } finally {
            store.release(id);
        }
    }

    private boolean room(long bytes) {
        try {
            return Files.getFileStore(store.directory()).getUsableSpace() - bytes >= minFreeBytes;
        } catch (IOException e) {
            return false;
        }
    }

    /** Upload-Metadata: "key base64" pairs, comma-separated; null when it is not that. */
    static Map<String, String> metadata(String header) {
        Map<String, String> out = new LinkedHashMap<>();
        if (header == null || header.isEmpty()) return out;
        if (header.length() > 4096) return null;
        for (String pair : header.split(",", -1)) {
            String[] kv = pair.trim().split(" ", -1);
            if (kv.length > 2 || kv[0].isEmpty() || !kv[0].chars().allMatch(c -> c > 0x20 && c < 0x7f)
                    || out.containsKey(kv[0])) {
                return null;
            }
            try {
                byte[] value = Base64.getDecoder().decode(kv.length == 2 ? kv[1] : "");
                out.put(kv[0], StandardCharsets.UTF_8.newDecoder().onMalformedInput(CodingErrorAction.REPORT)
                        .onUnmappableCharacter(CodingErrorAction.REPORT).decode(ByteBuffer.wrap(value)).toString());
            } catch (IllegalArgumentException | CharacterCodingException e) {
                return null;
            }
        }
        return out;
    }

    private static String trim(String s) {
        return s == null ? null : s.trim();
    }
}
