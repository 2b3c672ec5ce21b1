package com.ztfileupload.server;

import java.nio.file.Path;

/** The bytes of a file part: on disk under a name this server made, never in memory. */
public final class ReceivedFile {
    private final long size;
    private final String sha256;
    private Path path;
    private boolean stored;
    private final ClaimedUpload claim;

    ReceivedFile(long size, String sha256, Path path, ClaimedUpload claim) {
        this.size = size;
        this.sha256 = sha256;
        this.path = path;
        this.claim = claim;
    }

    public long size() {
        return size;
    }

    /** SHA-256 of the bytes, lowercase hexadecimal. */
    public String sha256() {
        return sha256;
    }

    /** Where the bytes are: the temporary file, or the stored one after {@link Upload#store}. */
    public Path path() {
        return path;
    }

    boolean stored() {
        return stored;
    }

    void moved(Path to) {
        path = to;
        stored = true;
        settle();
    }

    /** The tus upload it came from, or null for a file part. */
    ClaimedUpload claim() {
        return claim;
    }

    // A request that was taken spends its uploads, whether the page stores them or not.
    void settle() {
        if (claim != null) claim.settle();
    }
}
