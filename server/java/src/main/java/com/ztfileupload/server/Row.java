package com.ztfileupload.server;

import java.util.Collections;
import java.util.Map;

/**
 * One row of the manifest: {@code N} a new file, {@code U} a server file
 * replaced, {@code V} a server file kept, {@code D} a server file deleted.
 */
public final class Row {
    private final char type;
    private final String name;
    private final long size;
    private final Map<String, String> attributes;
    private final boolean risky;
    private ReceivedFile file;

    Row(char type, String name, long size, Map<String, String> attributes, boolean risky) {
        this.type = type;
        this.name = name;
        this.size = size;
        this.attributes = Collections.unmodifiableMap(attributes);
        this.risky = risky;
    }

    public char type() {
        return type;
    }

    /** The entry's name as the user saw it (escapes undone). Never use it as a path. */
    public String name() {
        return name;
    }

    /** The size the row gives; an {@code N}/{@code U} row's file has exactly this length. */
    public long size() {
        return size;
    }

    /** Attribute values by name, in the header row's order. */
    public Map<String, String> attributes() {
        return attributes;
    }

    /** The uploaded file of an {@code N}/{@code U} row, or null when the client sent none. */
    public ReceivedFile file() {
        return file;
    }

    /** The name is one a server was allowed to take though it is risky to store or show. */
    public boolean risky() {
        return risky;
    }

    boolean takesFile() {
        return type == 'N' || type == 'U';
    }

    void attach(ReceivedFile f) {
        file = f;
    }
}
