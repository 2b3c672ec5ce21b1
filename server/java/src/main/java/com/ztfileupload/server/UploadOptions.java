package com.ztfileupload.server;

import java.nio.charset.Charset;
import java.nio.file.Path;
import java.nio.file.Paths;

/**
 * How a request is read. The defaults protect a server: raise a limit to what
 * your pages really send. Setters return this options object, so they chain.
 */
public final class UploadOptions {
    private String ansiEncoding = "cp949";
    private Charset ansiCharset = Charset.forName("x-windows-949");
    private Path tmpDir = Paths.get(System.getProperty("java.io.tmpdir"));
    private int maxFields = 1_000;
    private int maxFieldBytes = 4 << 20;
    private long maxFieldsTotalBytes = 16L << 20;
    private int maxRows = 10_000;
    private long maxFileBytes = Long.MAX_VALUE;
    private long maxTotalBytes = Long.MAX_VALUE;
    private boolean allowRiskyNames;
    private TusStore resumable;

    /** The defaults; each setter changes one. */
    public UploadOptions() {
    }

    /**
     * The code page of clients whose control does not send UTF-8: {@code cp949}
     * (the default, Korean Windows) or any charset name the JDK knows, such as
     * {@code windows-1252}. An unknown name is refused here, not at the first request.
     */
    public UploadOptions ansiEncoding(String name) {
        Charset charset = Charset.forName("cp949".equalsIgnoreCase(name) ? "x-windows-949" : name);
        this.ansiEncoding = name.toLowerCase(java.util.Locale.ROOT);
        this.ansiCharset = charset;
        return this;
    }

    /** Where files wait until {@link Upload#store}: on the disk of the final folder, so storing only renames. */
    public UploadOptions tmpDir(Path dir) {
        this.tmpDir = dir;
        return this;
    }

    /** Message fields, the manifest not counted (1,000, as PHP's {@code max_input_vars}). */
    public UploadOptions maxFields(int n) {
        this.maxFields = n;
        return this;
    }

    /** One field's value, the manifest's included (4 MiB). */
    public UploadOptions maxFieldBytes(int n) {
        this.maxFieldBytes = n;
        return this;
    }

    /** All text parts together; they are held in memory (16 MiB). */
    public UploadOptions maxFieldsTotalBytes(long n) {
        this.maxFieldsTotalBytes = n;
        return this;
    }

    /** Rows of the manifest, and so files (10,000). */
    public UploadOptions maxRows(int n) {
        this.maxRows = n;
        return this;
    }

    /** One file (no limit: the control sends files of any size). */
    public UploadOptions maxFileBytes(long n) {
        this.maxFileBytes = n;
        return this;
    }

    /** All files of one request together (no limit). */
    public UploadOptions maxTotalBytes(long n) {
        this.maxTotalBytes = n;
        return this;
    }

    /**
     * Takes names that are risky to store or show later (bidirectional controls,
     * Windows device names, streams, trailing dots or spaces, C1 controls, line
     * separators) instead of refusing them; such rows say {@link Row#risky()}.
     */
    public UploadOptions allowRiskyNames(boolean allow) {
        this.allowRiskyNames = allow;
        return this;
    }

    /**
     * The store of your tus endpoint: a request may then name uploads in it for its files
     * ({@code _ZTUResumable}). Without it such a request is refused as {@code unknown-upload}.
     */
    public UploadOptions resumable(TusStore store) {
        this.resumable = store;
        return this;
    }

    String ansiEncoding() { return ansiEncoding; }
    Charset ansiCharset() { return ansiCharset; }
    Path tmpDir() { return tmpDir; }
    int maxFields() { return maxFields; }
    int maxFieldBytes() { return maxFieldBytes; }
    long maxFieldsTotalBytes() { return maxFieldsTotalBytes; }
    int maxRows() { return maxRows; }
    long maxFileBytes() { return maxFileBytes; }
    long maxTotalBytes() { return maxTotalBytes; }
    boolean allowRiskyNames() { return allowRiskyNames; }
    TusStore resumable() { return resumable; }
}
