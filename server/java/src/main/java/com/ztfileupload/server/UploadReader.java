package com.ztfileupload.server;

import java.io.BufferedOutputStream;
import java.io.IOException;
import java.io.InputStream;
import java.io.OutputStream;
import java.nio.ByteBuffer;
import java.nio.charset.CharacterCodingException;
import java.nio.charset.Charset;
import java.nio.charset.CodingErrorAction;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.StandardOpenOption;
import java.security.MessageDigest;
import java.security.NoSuchAlgorithmException;
import java.util.ArrayList;
import java.util.HashMap;
import java.util.HashSet;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Locale;
import java.util.Map;
import java.util.Set;

import com.ztfileupload.server.UploadException.Reason;

/**
 * Reads one request of the ZTFileUpload control: message fields, the
 * {@code _ZTUInfo} manifest and the file parts, files streamed to temporary
 * files as they arrive. The manifest comes before the files, so each file part
 * is checked against its row as it starts and as it grows: an unlisted, twin or
 * overlong file ends the request at once. A request that does not add up is
 * refused with an {@link UploadException} and leaves no file behind.
 */
public final class UploadReader {
    static final String MANIFEST = "_ZTUInfo";
    // Names the uploads that brought files by tus: "<name>|<upload id>|" rows.
    static final String RESUMABLE = "_ZTUResumable";

    private UploadReader() {
    }

    /**
     * @param body          the request body, read to its end or to the first fault
     * @param contentType   the request's {@code Content-Type}
     * @param acceptLanguage the request's {@code Accept-Language}: {@code utf-8} says the texts are UTF-8
     * @param contentLength the announced length, or -1; one over the limits is refused before reading
     */
    public static Upload read(InputStream body, String contentType, String acceptLanguage, long contentLength,
                              UploadOptions options) throws UploadException {
        String boundary = boundary(contentType);
        // Files, texts and room for the parts' headers; no more when the files have no limit.
        long most = options.maxTotalBytes() > Long.MAX_VALUE / 2 ? Long.MAX_VALUE
                : options.maxTotalBytes() + options.maxFieldsTotalBytes() + (64L << 20);
        if (contentLength > most) {
            throw new UploadException(Reason.TOO_LARGE, "the request announces " + contentLength + " bytes");
        }
        boolean utf8 = isUtf8(acceptLanguage);
        Upload upload = new Upload(utf8 ? "utf-8" : options.ansiEncoding());
        State state = new State(upload, utf8 ? StandardCharsets.UTF_8 : options.ansiCharset(), options);
        try {
            state.read(new MultipartParser(body, boundary));
            return upload;
        } catch (UploadException | RuntimeException | Error e) {
            state.removeAll();
            throw e;
        }
    }

    /** {@link #read(InputStream, String, String, long, UploadOptions)} with the default options. */
    public static Upload read(InputStream body, String contentType, String acceptLanguage) throws UploadException {
        return read(body, contentType, acceptLanguage, -1, new UploadOptions());
    }

    /** Whether a request with this {@code Accept-Language} carries UTF-8 (the control's {@code UTF8} is 1). */
    public static boolean isUtf8(String acceptLanguage) {
        return acceptLanguage != null && acceptLanguage.trim().equalsIgnoreCase("utf-8");
    }

    /** A name as the sender meant it: the five escapes {@code %22 %0D %0A %7C %00} undone. */
    public static String unescapeName(String name) {
        if (name.indexOf('%') < 0) return name;
        StringBuilder s = new StringBuilder(name.length());
        for (int i = 0; i < name.length(); i++) {
            char c = name.charAt(i);
            if (c == '%' && i + 2 < name.length()) {
                String code = name.substring(i + 1, i + 3);
                char meant = "22".equals(code) ? '"' : "0D".equals(code) ? '\r' : "0A".equals(code) ? '\n'
                        : "7C".equals(code) ? '|' : "00".equals(code) ? '\0' : 0;
                if (meant != 0 || "00".equals(code)) {
                    s.append(meant);
                    i += 2;
                    continue;
                }
            }
            s.append(c);
        }
        return s.toString();
    }

    private static String boundary(String contentType) throws UploadException {
        String type = contentType == null ? "" : contentType.trim();
        if (!type.toLowerCase(Locale.ROOT).startsWith("multipart/form-data")) {
            throw new UploadException(Reason.NOT_MULTIPART, "the request is not multipart/form-data");
        }
        for (String param : type.split(";")) {
            int eq = param.indexOf('=');
            if (eq < 0 || !param.substring(0, eq).trim().equalsIgnoreCase("boundary")) continue;
            String b = param.substring(eq + 1).trim();
            if (b.length() >= 2 && b.startsWith("\"") && b.endsWith("\"")) b = b.substring(1, b.length() - 1);
            if (b.isEmpty() || b.length() > 70) break;
            return b;
        }
        throw new UploadException(Reason.NOT_MULTIPART, "the request has no valid boundary");
    }

    /** The reading of one request. */
    private static final class State {
        private final Upload upload;
        private final Charset charset;
        private final UploadOptions options;
        private final Map<String, Row> fileRows = new HashMap<>();
        private final List<Path> temporary = new ArrayList<>();
        private int messageFields;
        private long textBytes;
        private int fileParts;
        private long fileBytes;
        private boolean manifestSeen;
        private boolean resumableSeen;
        private final Map<Row, String> byTus = new HashMap<>();
        private final Set<Row> emptyParts = new HashSet<>();
        private final List<ClaimedUpload> claims = new ArrayList<>();

        State(Upload upload, Charset charset, UploadOptions options) {
            this.upload = upload;
            this.charset = charset;
            this.options = options;
        }

        void read(MultipartParser parser) throws UploadException {
            parser.start();
            int parts = 0;
            for (List<String> headers = parser.nextPart(); headers != null; headers = parser.nextPart()) {
                parts++;
                Disposition d = Disposition.of(headers);
                if (d.filename != null) {
                    file(parser, d.filename);
                } else {
                    text(parser, d.name);
                }
            }
            // Every request of the control carries a part.
            if (parts == 0) throw new UploadException(Reason.INCOMPLETE, "the request carries no part");
        }

        private void text(MultipartParser parser, String rawName) throws UploadException {
            java.io.ByteArrayOutputStream value = new java.io.ByteArrayOutputStream();
            parser.data((b, off, len) -> {
                textBytes += len;
                if (value.size() + len > options.maxFieldBytes()) {
                    throw new UploadException(Reason.TOO_LARGE, "a field is longer than " + options.maxFieldBytes() + " bytes");
                }
                if (textBytes > options.maxFieldsTotalBytes()) {
                    throw new UploadException(Reason.TOO_LARGE, "the fields hold more than " + options.maxFieldsTotalBytes() + " bytes");
                }
                value.write(b, off, len);
            });
            String name = decode(latin1Bytes(rawName), "a field name");
            if (name.equals(RESUMABLE)) {
                resumable(decode(value.toByteArray(), "the list of uploads"));
            } else if (name.equals(MANIFEST)) {
                if (manifestSeen) throw new UploadException(Reason.BAD_MANIFEST, "the request holds two manifests");
                manifestSeen = true;
                manifest(decode(value.toByteArray(), "the manifest"));
            } else {
                if (++messageFields > options.maxFields()) {
                    throw new UploadException(Reason.TOO_MANY_PARTS, "more than " + options.maxFields() + " fields");
                }
                upload.addField(new Field(unescapeName(name), decode(value.toByteArray(), "the value of a field")));
            }
        }

        private void manifest(String text) throws UploadException {
            upload.markManifest();
            if (text.isEmpty()) return;
            if (!text.endsWith("\n")) throw new UploadException(Reason.BAD_MANIFEST, "the last row has no line end");
            String[] lines = text.substring(0, text.length() - 1).split("\n", -1);
            if (lines.length - 1 > options.maxRows()) {
                throw new UploadException(Reason.TOO_MANY_PARTS, "the manifest has more than " + options.maxRows() + " rows");
            }
            String[] header = fields(lines[0], 1);
            if (header.length < 3 || !header[0].equals("Type") || !header[1].equals("FileName") || !header[2].equals("Size")) {
                throw new UploadException(Reason.BAD_MANIFEST, "the manifest does not start with its header row");
            }
            Set<String> names = new HashSet<>();
            for (int i = 3; i < header.length; i++) {
                if (!names.add(header[i])) {
                    throw new UploadException(Reason.BAD_MANIFEST, "an attribute name appears twice in the header row");
                }
                upload.addAttribute(header[i]);
            }
            Set<String> entries = new HashSet<>();
            for (int n = 1; n < lines.length; n++) {
                int number = n + 1;
                String[] f = fields(lines[n], number);
                if (f.length != header.length) {
                    throw new UploadException(Reason.BAD_MANIFEST,
                            "row " + number + " has " + f.length + " fields, the header " + header.length);
                }
                if (f[0].length() != 1 || "NUVD".indexOf(f[0].charAt(0)) < 0) {
                    throw new UploadException(Reason.BAD_MANIFEST, "row " + number + " has an unknown type");
                }
                if (!f[2].matches("-?[0-9]{1,18}")) {
                    throw new UploadException(Reason.BAD_MANIFEST, "row " + number + " has no valid size");
                }
                char type = f[0].charAt(0);
                String name = unescapeName(f[1]);
                Names.check(name);
                boolean risky = Names.risky(name);
                if (risky && !options.allowRiskyNames()) {
                    throw new UploadException(Reason.RISKY_NAME, "row " + number + " has a name unsafe to store or show: "
                            + Names.shown(name));
                }
                // Entries of the list are unique ignoring case; deleted rows may repeat a name.
                if (type != 'D' && !entries.add(name.toUpperCase(Locale.ROOT))) {
                    throw new UploadException(Reason.DUPLICATE_NAME, "two entries of the list are called " + Names.shown(name));
                }
                Map<String, String> attributes = new LinkedHashMap<>();
                for (int i = 3; i < header.length; i++) attributes.put(header[i], f[i]);
                Row row = new Row(type, name, Long.parseLong(f[2]), attributes, risky);
                upload.addRow(row);
                if (row.takesFile()) fileRows.put(name, row);
            }
        }

        // The fields of one row: each is followed by "|", the row by CR LF or LF.
        private static String[] fields(String line, int number) throws UploadException {
            if (line.endsWith("\r")) line = line.substring(0, line.length() - 1);
            if (line.isEmpty() || !line.endsWith("|") || line.indexOf('\r') >= 0 || line.indexOf('\0') >= 0) {
                throw new UploadException(Reason.BAD_MANIFEST, "row " + number + " is not a run of fields each ended by |");
            }
            return line.substring(0, line.length() - 1).split("\\|", -1);
        }

        /**
         * Each row names a file that came by tus: its upload is taken from the store by id alone and must be
         * complete at the row's size.
         */
        private void resumable(String text) throws UploadException {
            if (resumableSeen || !manifestSeen) {
                throw new UploadException(Reason.BAD_MANIFEST, "the list of uploads is repeated or comes before the manifest");
            }
            resumableSeen = true;
            if (!text.isEmpty() && !text.endsWith("\n")) {
                throw new UploadException(Reason.BAD_MANIFEST, "the list of uploads has a row without line end");
            }
            Set<String> ids = new HashSet<>();
            for (String line : text.isEmpty() ? new String[0] : text.substring(0, text.length() - 1).split("\n", -1)) {
                String[] f = line.endsWith("\r") ? line.substring(0, line.length() - 1).split("\\|", -1) : line.split("\\|", -1);
                if (f.length != 3 || !f[2].isEmpty() || f[0].indexOf('\r') >= 0 || !TusStore.validId(f[1])) {
                    throw new UploadException(Reason.BAD_MANIFEST, "a row of the list of uploads is not <name>|<upload id>|");
                }
                Row row = fileRows.get(unescapeName(f[0]));
                if (row == null) throw new UploadException(Reason.UNLISTED_FILE, "an upload is named for no N or U row");
                if (byTus.containsKey(row) || row.file() != null || !ids.add(f[1])) {
                    throw new UploadException(Reason.DUPLICATE_FILE, "a row or an upload is named twice");
                }
                byTus.put(row, f[1]);
            }
            if (!byTus.isEmpty() && options.resumable() == null) {
                throw new UploadException(Reason.UNKNOWN_UPLOAD, "this server takes no resumable uploads");
            }
            for (Row row : upload.rows()) {
                if (byTus.containsKey(row)) row.attach(take(row, byTus.get(row)));
            }
        }

        private ReceivedFile take(Row row, String id) throws UploadException {
            ClaimedUpload c;
            try {
                c = options.resumable().claim(id);
            } catch (IOException e) {
                throw new UploadException(Reason.STORE_FAILED, "an upload could not be taken from the tus store (" + e + ")", e);
            }
            if (c == null) throw new UploadException(Reason.UNKNOWN_UPLOAD, "an upload named is not in the tus store");
            claims.add(c);
            if (c.offset < 0) throw new UploadException(Reason.INCOMPLETE, "an upload named is being written");
            if (c.length != row.size()) throw new UploadException(Reason.SIZE_MISMATCH, "an upload is not as long as its row says");
            if (c.offset != c.length) throw new UploadException(Reason.INCOMPLETE, "an upload named is not complete");
            fileBytes += c.length;
            if (c.length > options.maxFileBytes() || fileBytes > options.maxTotalBytes()) {
                throw new UploadException(Reason.TOO_LARGE, "a file, or all files together, exceed their limit");
            }
            MessageDigest sha = sha256();
            try (InputStream in = Files.newInputStream(c.path)) {
                byte[] b = new byte[64 * 1024];
                for (int n; (n = in.read(b)) > 0; ) sha.update(b, 0, n);
            } catch (IOException e) {
                throw new UploadException(Reason.STORE_FAILED, "an upload could not be read (" + e + ")", e);
            }
            return new ReceivedFile(c.length, hex(sha.digest()), c.path, c);
        }

        private void file(MultipartParser parser, String rawName) throws UploadException {
            String name = unescapeName(decode(latin1Bytes(rawName), "a file name"));
            Row row = fileRows.get(name);
            if (row == null) {
                throw new UploadException(Reason.UNLISTED_FILE, "the file part " + Names.shown(name) + " has no N or U row before it");
            }
            if (byTus.containsKey(row)) {
                // Its bytes came by tus: the part is there so that a server unaware of tus refuses the
                // request, and must be empty.
                if (!emptyParts.add(row)) throw new UploadException(Reason.DUPLICATE_FILE, "two file parts are called " + Names.shown(name));
                parser.data((b, off, len) -> {
                    if (len > 0) throw new UploadException(Reason.SIZE_MISMATCH, "a file part carries bytes its upload brought");
                });
                return;
            }
            if (row.file() != null) {
                throw new UploadException(Reason.DUPLICATE_FILE, "two file parts are called " + Names.shown(name));
            }
            if (++fileParts > options.maxRows()) {
                throw new UploadException(Reason.TOO_MANY_PARTS, "more files than rows");
            }
            if (row.size() > options.maxFileBytes()) {
                throw new UploadException(Reason.TOO_LARGE, Names.shown(name) + " is larger than " + options.maxFileBytes() + " bytes");
            }
            Path path = options.tmpDir().resolve("zt-" + Upload.randomName() + ".part");
            MessageDigest sha = sha256();
            long[] length = {0};
            try (OutputStream out = new BufferedOutputStream(
                    Files.newOutputStream(path, StandardOpenOption.CREATE_NEW, StandardOpenOption.WRITE), 64 * 1024)) {
                temporary.add(path);
                parser.data((b, off, len) -> {
                    length[0] += len;
                    fileBytes += len;
                    // Longer than its row: refused now, not after the rest reached the disk.
                    if (length[0] > row.size()) {
                        throw new UploadException(Reason.SIZE_MISMATCH, Names.shown(name) + " is longer than its row says");
                    }
                    if (fileBytes > options.maxTotalBytes()) {
                        throw new UploadException(Reason.TOO_LARGE, "the files hold more than " + options.maxTotalBytes() + " bytes");
                    }
                    sha.update(b, off, len);
                    try {
                        out.write(b, off, len);
                    } catch (IOException e) {
                        throw storeFailed(e);
                    }
                });
            } catch (IOException e) {
                throw storeFailed(e);
            }
            if (length[0] != row.size()) {
                throw new UploadException(Reason.SIZE_MISMATCH,
                        Names.shown(name) + " has " + length[0] + " bytes, its row says " + row.size());
            }
            row.attach(new ReceivedFile(length[0], hex(sha.digest()), path, null));
        }

        private static UploadException storeFailed(IOException e) {
            return new UploadException(Reason.STORE_FAILED, "a file could not be written to the temporary folder (" + e + ")", e);
        }

        void removeAll() {
            for (Path p : temporary) Upload.deleteQuietly(p);
            // A refused request's uploads go back, so that a corrected one may name them again.
            for (ClaimedUpload c : claims) c.restore();
        }

        private String decode(byte[] bytes, String what) throws UploadException {
            try {
                String text = charset.newDecoder().onMalformedInput(CodingErrorAction.REPORT)
                        .onUnmappableCharacter(CodingErrorAction.REPORT).decode(ByteBuffer.wrap(bytes)).toString();
                // A code page may decode bytes it would never write; only its own writing is taken.
                if (charset != StandardCharsets.UTF_8) {
                    ByteBuffer again = charset.newEncoder().onMalformedInput(CodingErrorAction.REPORT)
                            .onUnmappableCharacter(CodingErrorAction.REPORT).encode(java.nio.CharBuffer.wrap(text));
                    if (!again.equals(ByteBuffer.wrap(bytes))) throw new CharacterCodingException();
                }
                return text;
            } catch (CharacterCodingException e) {
                throw new UploadException(Reason.BAD_ENCODING, what + " is not valid " + upload.encoding());
            }
        }
    }

    private static byte[] latin1Bytes(String s) {
        return s.getBytes(StandardCharsets.ISO_8859_1);
    }

    private static MessageDigest sha256() {
        try {
            return MessageDigest.getInstance("SHA-256");
        } catch (NoSuchAlgorithmException e) {
            throw new IllegalStateException("every JDK has SHA-256", e);
        }
    }

    private static String hex(byte[] b) {
        StringBuilder s = new StringBuilder(b.length * 2);
        for (byte x : b) s.append(Character.forDigit((x >> 4) & 15, 16)).append(Character.forDigit(x & 15, 16));
        return s.toString();
    }

    /** The name and filename of a part's Content-Disposition. */
    private static final class Disposition {
        String name;
        String filename;

        static Disposition of(List<String> headers) throws UploadException {
            Disposition d = null;
            for (String h : headers) {
                int colon = h.indexOf(':');
                if (colon < 0) throw new UploadException(Reason.NOT_MULTIPART, "a part header has no colon");
                if (!h.substring(0, colon).trim().equalsIgnoreCase("Content-Disposition")) continue;
                if (d != null) throw new UploadException(Reason.NOT_MULTIPART, "a part has two Content-Disposition lines");
                d = parse(h.substring(colon + 1));
            }
            if (d == null || d.name == null) {
                throw new UploadException(Reason.NOT_MULTIPART, "a part has no form-data name");
            }
            return d;
        }

        // A quoted value runs to the next '"': the control writes a '"' of a
        // name as %22 and never escapes a backslash, which a name may hold.
        private static Disposition parse(String value) throws UploadException {
            String v = value.trim();
            int semi = v.indexOf(';');
            String kind = (semi < 0 ? v : v.substring(0, semi)).trim();
            if (!kind.equalsIgnoreCase("form-data")) {
                throw new UploadException(Reason.NOT_MULTIPART, "a part is not form-data");
            }
            Disposition d = new Disposition();
            int i = semi < 0 ? v.length() : semi + 1;
            while (i < v.length()) {
                while (i < v.length() && (v.charAt(i) == ' ' || v.charAt(i) == '\t' || v.charAt(i) == ';')) i++;
                if (i >= v.length()) break;
                int eq = v.indexOf('=', i);
                if (eq < 0) throw new UploadException(Reason.NOT_MULTIPART, "a part header parameter has no value");
                String key = v.substring(i, eq).trim().toLowerCase(Locale.ROOT);
                String val;
                if (eq + 1 < v.length() && v.charAt(eq + 1) == '"') {
                    int close = v.indexOf('"', eq + 2);
                    if (close < 0) throw new UploadException(Reason.NOT_MULTIPART, "a part header has an unclosed quote");
                    val = v.substring(eq + 2, close);
                    i = close + 1;
                } else {
                    int next = v.indexOf(';', eq + 1);
                    if (next < 0) next = v.length();
                    val = v.substring(eq + 1, next).trim();
                    i = next;
                }
                if (key.equals("name") || key.equals("filename")) {
                    if ((key.equals("name") ? d.name : d.filename) != null) {
                        throw new UploadException(Reason.NOT_MULTIPART, "a part header repeats " + key);
                    }
                    if (key.equals("name")) d.name = val; else d.filename = val;
                }
            }
            return d;
        }
    }
}
