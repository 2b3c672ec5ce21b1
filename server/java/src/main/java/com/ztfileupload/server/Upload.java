package com.ztfileupload.server;

import java.io.IOException;
import java.nio.file.AtomicMoveNotSupportedException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.StandardCopyOption;
import java.security.SecureRandom;
import java.util.ArrayList;
import java.util.Collections;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Locale;
import java.util.Map;

/**
 * One request of the control, read and checked. Its files wait in temporary
 * files until {@link #store}; {@link #close} removes those not stored, so use
 * it in try-with-resources.
 */
public final class Upload implements AutoCloseable {
    private static final SecureRandom RANDOM = new SecureRandom();

    private final String encoding;
    private final List<Field> fields = new ArrayList<>();
    private boolean manifest;
    private final List<String> attributes = new ArrayList<>();
    private final List<Row> rows = new ArrayList<>();

    Upload(String encoding) {
        this.encoding = encoding;
    }

    /** {@code utf-8}, or the ANSI code page's name ({@code cp949} by default). */
    public String encoding() {
        return encoding;
    }

    /** The message fields in the order sent; the manifest is not among them. */
    public List<Field> fields() {
        return Collections.unmodifiableList(fields);
    }

    /** The value of the first field of that name (case ignored), or null. */
    public String field(String name) {
        for (Field f : fields) {
            if (f.name().equalsIgnoreCase(name)) return f.value();
        }
        return null;
    }

    /** Whether the request carried a manifest ({@code PostMessage} sends none). */
    public boolean hasManifest() {
        return manifest;
    }

    /** The attribute names of the header row, in order. */
    public List<String> attributes() {
        return Collections.unmodifiableList(attributes);
    }

    /** The manifest's rows, in order. */
    public List<Row> rows() {
        return Collections.unmodifiableList(rows);
    }

    /**
     * Moves every received file into folder under a name this server makes
     * (32 random hexadecimal digits, never the sender's text). Returns the
     * stored paths by row index. When a file cannot be moved, those already
     * moved are removed again, the rest discarded, and it throws store-failed.
     */
    public Map<Integer, Path> store(Path folder) throws UploadException {
        Map<Integer, Path> stored = new LinkedHashMap<>();
        try {
            for (int i = 0; i < rows.size(); i++) {
                ReceivedFile f = rows.get(i).file();
                if (f == null) continue;
                Path target = folder.resolve(randomName());
                move(f.path(), target);
                f.moved(target);
                stored.put(i, target);
            }
        } catch (IOException e) {
            for (Path p : stored.values()) deleteQuietly(p);
            for (Row r : rows) {
                if (r.file() != null) {
                    deleteQuietly(r.file().path());
                    r.file().settle();
                }
            }
            throw new UploadException(UploadException.Reason.STORE_FAILED,
                    "a file could not be moved into the folder for uploads (" + e + ")", e);
        }
        return stored;
    }

    /** Removes the files not stored. Safe to call more than once. */
    public void discard() {
        for (Row r : rows) {
            if (r.file() != null && !r.file().stored()) {
                deleteQuietly(r.file().path());
                r.file().settle();
            }
        }
    }

    @Override
    public void close() {
        discard();
    }

    /** What was understood, as JSON (the shape every kit gives); stored names by row index added. */
    public String toJson(Map<Integer, Path> stored) {
        Json j = new Json();
        j.open('{').key("encoding").string(encoding).key("fields").open('[');
        for (Field f : fields) j.open('{').key("name").string(f.name()).key("value").string(f.value()).close('}');
        j.close(']').key("manifest").bool(manifest).key("attributes").open('[');
        for (String a : attributes) j.string(a);
        j.close(']').key("rows").open('[');
        for (int i = 0; i < rows.size(); i++) {
            Row r = rows.get(i);
            j.open('{').key("type").string(String.valueOf(r.type())).key("name").string(r.name())
                    .key("size").number(r.size()).key("attributes").open('{');
            for (Map.Entry<String, String> a : r.attributes().entrySet()) j.key(a.getKey()).string(a.getValue());
            j.close('}');
            if (r.risky()) j.key("risky").bool(true);
            j.key("file");
            if (r.file() == null) {
                j.nul();
            } else {
                j.open('{').key("size").number(r.file().size()).key("sha256").string(r.file().sha256());
                Path p = stored == null ? null : stored.get(i);
                if (p != null) j.key("stored").string(p.getFileName().toString());
                j.close('}');
            }
            j.close('}');
        }
        return j.close(']').close('}').toString();
    }

    /** {@link #toJson(Map)} without stored names. */
    public String toJson() {
        return toJson(null);
    }

    // Built by UploadReader.
    void addField(Field f) { fields.add(f); }
    void markManifest() { manifest = true; }
    void addAttribute(String a) { attributes.add(a); }
    void addRow(Row r) { rows.add(r); }

    static String randomName() {
        byte[] b = new byte[16];
        RANDOM.nextBytes(b);
        StringBuilder s = new StringBuilder(32);
        for (byte x : b) s.append(String.format(Locale.ROOT, "%02x", x));
        return s.toString();
    }

    private static void move(Path from, Path to) throws IOException {
        try {
            Files.move(from, to, StandardCopyOption.ATOMIC_MOVE);
        } catch (AtomicMoveNotSupportedException e) {
            // Another disk: copy, never over an existing file, then drop the temporary one.
            Files.copy(from, to);
            Files.delete(from);
        }
    }

    static void deleteQuietly(Path p) {
        try {
            Files.deleteIfExists(p);
        } catch (IOException ignored) {
            // Nothing more can be done; the caller is already failing.
        }
    }
}
