package com.ztfileupload.server;

import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.AtomicMoveNotSupportedException;
import java.nio.file.DirectoryStream;
import java.nio.file.Files;
import java.nio.file.LinkOption;
import java.nio.file.NoSuchFileException;
import java.nio.file.Path;
import java.nio.file.StandardCopyOption;
import java.nio.file.attribute.FileTime;
import java.time.Instant;
import java.util.HashSet;
import java.util.Map;
import java.util.Set;
import java.util.concurrent.ConcurrentHashMap;
import java.util.regex.Pattern;

/**
 * The uploads of a tus endpoint, kept in one folder: the bytes in {@code <id>}, the account in
 * {@code <id>.json} ({@code {"id", "size", "metadata", "creation_date"}}); the offset is the length of
 * {@code <id>}. The PHP kit and Node's {@code @tus/file-store} keep the same layout. Ids are made here and
 * checked before any use: an id is never a path. Use one store per folder in a server: it is also the lock
 * that lets one request at a time write, delete or take an upload.
 */
public final class TusStore {
    private static final Pattern ID = Pattern.compile("[A-Za-z0-9_-]{1,128}");
    private static final String CLAIMED = ".claimed-";
    // ".claimed-" and 32 random digits and "-" come before the id in a taken upload's name.
    private static final int CLAIMED_ID = CLAIMED.length() + 33;

    private final Path directory;
    private final Set<String> busy = ConcurrentHashMap.newKeySet();

    public TusStore(Path directory) {
        this.directory = directory.toAbsolutePath();
    }

    public Path directory() {
        return directory;
    }

    /** An upload id as tus servers make them: 1 to 128 of {@code A-Z a-z 0-9 _ -}. */
    public static boolean validId(String id) {
        return id != null && ID.matcher(id).matches();
    }

    /** A new, empty upload of length bytes; its id. */
    String create(long length, Map<String, String> metadata) throws IOException {
        Files.createDirectories(directory);
        String id = Upload.randomName();
        Json j = new Json().open('{').key("id").string(id).key("size").number(length).key("metadata").open('{');
        for (Map.Entry<String, String> m : metadata.entrySet()) j.key(m.getKey()).string(m.getValue());
        j.close('}').key("creation_date").string(Instant.now().toString()).close('}');
        Path account = account(id), tmp = directory.resolve(id + ".json.tmp");
        // The account first: an upload is its data file, and a reader takes the account after it.
        try {
            Files.write(tmp, j.toString().getBytes(StandardCharsets.UTF_8));
            Files.move(tmp, account, StandardCopyOption.ATOMIC_MOVE);
            Files.createFile(data(id));
        } catch (IOException e) {
            Upload.deleteQuietly(tmp);
            Upload.deleteQuietly(account);
            throw e;
        }
        return id;
    }

    /** The upload's declared length, or -1 when the store holds no upload of that id. */
    long length(String id) {
        if (!validId(id) || !Files.isRegularFile(data(id), LinkOption.NOFOLLOW_LINKS)) return -1;
        try {
            return sizeOf(new String(Files.readAllBytes(account(id)), StandardCharsets.UTF_8));
        } catch (IOException e) {
            return -1;
        }
    }

    /** Bytes received so far, or -1 when there is no such upload. */
    long offset(String id) {
        try {
            return validId(id) ? Files.size(data(id)) : -1;
        } catch (IOException e) {
            return -1;
        }
    }

    Path data(String id) {
        if (!validId(id)) throw new IllegalArgumentException("not an upload id");
        return directory.resolve(id);
    }

    private Path account(String id) {
        return directory.resolve(id + ".json");
    }

    /** Holds the upload for one writer (a PATCH, a DELETE, a POST taking it); false when another holds it. */
    boolean hold(String id) {
        return busy.add(id);
    }

    void release(String id) {
        busy.remove(id);
    }

    /** Removes an upload nobody holds. */
    void delete(String id) throws IOException {
        Files.deleteIfExists(data(id));
        Files.deleteIfExists(account(id));
    }

    /**
     * Takes the upload out of the store at once (a rename: a second request naming it finds nothing), or
     * returns null when the store holds none of that id. One a PATCH is writing comes back with offset -1.
     */
    ClaimedUpload claim(String id) throws IOException {
        if (!validId(id)) return null;
        if (!hold(id)) return new ClaimedUpload(null, null, null, -1, -1);
        try {
            long length = length(id);
            if (length < 0) return null;
            Path claimed = directory.resolve(CLAIMED + Upload.randomName() + "-" + id);
            try {
                Files.move(data(id), claimed, StandardCopyOption.ATOMIC_MOVE);
            } catch (NoSuchFileException e) {
                return null;
            } catch (AtomicMoveNotSupportedException e) {
                throw new IOException("the tus folder cannot rename in place", e);
            }
            // A taken upload left by a request that died is swept by this time, not by its last byte.
            Files.setLastModifiedTime(claimed, FileTime.from(Instant.now()));
            return new ClaimedUpload(claimed, data(id), account(id), length, Files.size(claimed));
        } finally {
            release(id);
        }
    }

    /**
     * Removes the uploads nobody wrote to for the given seconds, and what a request that died while taking
     * one left behind, so a client that never finishes cannot fill the disk for good. Returns how many
     * uploads remain open.
     */
    int sweep(long seconds) throws IOException {
        if (!Files.isDirectory(directory)) return 0;
        FileTime before = FileTime.from(Instant.now().minusSeconds(seconds));
        Set<String> names = new HashSet<>();
        Set<String> taken = new HashSet<>();
        try (DirectoryStream<Path> all = Files.newDirectoryStream(directory)) {
            for (Path p : all) {
                String name = p.getFileName().toString();
                names.add(name);
                if (name.startsWith(CLAIMED) && name.length() > CLAIMED_ID) taken.add(name.substring(CLAIMED_ID));
            }
        }
        int open = 0;
        for (String name : names) {
            Path p = directory.resolve(name);
            boolean old = lastModified(p).compareTo(before) < 0;
            if (name.startsWith(CLAIMED)) {
                if (old) Upload.deleteQuietly(p);
            } else if (name.endsWith(".json")) {
                // An account goes with its data, or alone once its data was taken and never settled.
                String id = name.substring(0, name.length() - 5);
                if (old && validId(id) && !names.contains(id) && !taken.contains(id)) Upload.deleteQuietly(p);
            } else if (validId(name)) {
                if (!old || !hold(name)) {
                    open++;
                    continue;
                }
                try {
                    delete(name);
                } finally {
                    release(name);
                }
            }
        }
        return open;
    }

    private static FileTime lastModified(Path p) {
        try {
            return Files.getLastModifiedTime(p, LinkOption.NOFOLLOW_LINKS);
        } catch (IOException e) {
            return FileTime.fromMillis(Long.MAX_VALUE);  // gone meanwhile: nothing to sweep
        }
    }

    // The top-level "size" of an account: a non-negative integer, or -1 (a deferred length has none).
    static long sizeOf(String json) {
        int depth = 0;
        for (int i = 0; i < json.length(); i++) {
            char c = json.charAt(i);
            if (c == '{' || c == '[') depth++;
            else if (c == '}' || c == ']') depth--;
            else if (c == '"') {
                int end = i + 1;
                while (end < json.length() && json.charAt(end) != '"') end += json.charAt(end) == '\\' ? 2 : 1;
                String key = json.substring(i + 1, Math.min(end, json.length()));
                i = end;
                if (depth != 1 || !key.equals("size")) continue;
                int at = i + 1;
                while (at < json.length() && Character.isWhitespace(json.charAt(at))) at++;
                if (at >= json.length() || json.charAt(at) != ':') continue;
                String rest = json.substring(at + 1).trim();
                int digits = 0;
                while (digits < rest.length() && digits < 19 && Character.isDigit(rest.charAt(digits))) digits++;
                return digits == 0 ? -1 : Long.parseLong(rest.substring(0, digits));
            }
        }
        return -1;
    }
}
