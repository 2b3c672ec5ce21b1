package com.ztfileupload.server;

import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.StandardCopyOption;

/** An upload a request took out of its tus store: put back when the request is refused, spent when taken. */
final class ClaimedUpload {
    final Path path;
    private final Path home;
    private final Path account;
    final long length;
    final long offset;

    ClaimedUpload(Path path, Path home, Path account, long length, long offset) {
        this.path = path;
        this.home = home;
        this.account = account;
        this.length = length;
        this.offset = offset;
    }

    void restore() {
        if (path == null) return;
        try {
            Files.move(path, home, StandardCopyOption.ATOMIC_MOVE);
        } catch (IOException ignored) {
            // Nothing more can be done: the sweep removes it in time.
        }
    }

    void settle() {
        if (account != null) Upload.deleteQuietly(account);
    }
}
