package com.ztfileupload.server;

/** A message field the page queued, name and value decoded. */
public final class Field {
    private final String name;
    private final String value;

    Field(String name, String value) {
        this.name = name;
        this.value = value;
    }

    public String name() {
        return name;
    }

    public String value() {
        return value;
    }
}
