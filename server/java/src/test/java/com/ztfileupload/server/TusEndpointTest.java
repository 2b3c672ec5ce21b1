package com.ztfileupload.server;

import static java.nio.charset.StandardCharsets.UTF_8;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.ByteArrayInputStream;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.attribute.FileTime;
import java.util.Base64;
import java.util.List;
import java.util.Map;
import java.util.TreeMap;

import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;

/**
 * The tus endpoint as a client meets it: one upload's life with the mistakes a client or a forger makes,
 * the endpoint started again midway, a POST that takes it once; and the limits a hostile client meets.
 */
class TusEndpointTest {
    @TempDir
    Path tmp;

    static TusEndpoint.Answer call(TusEndpoint tus, String method, String path, String body, String... headers) {
        Map<String, String> h = new TreeMap<>(String.CASE_INSENSITIVE_ORDER);
        h.put("Tus-Resumable", "1.0.0");
        for (int i = 0; i < headers.length; i += 2) h.put(headers[i], headers[i + 1]);
        return tus.answer(method, path, h::get, new ByteArrayInputStream(body.getBytes(UTF_8)), false);
    }

    static TusEndpoint.Answer patch(TusEndpoint tus, String id, long offset, String bytes) {
        return call(tus, "PATCH", "/tus/" + id, bytes, "Content-Type", "application/offset+octet-stream",
                "Upload-Offset", Long.toString(offset));
    }

    static String create(TusEndpoint tus, int length) {
        TusEndpoint.Answer a = call(tus, "POST", "/tus/", "", "Upload-Length", Integer.toString(length));
        assertEquals(201, a.status());
        return a.headers().get("Location").substring("/tus/".length());
    }

    /** The control's POST of one file sent by tus: its row, the upload's name, an empty part. */
    static byte[] naming(String name, long size, String id) {
        return (new String(HostileRequestsTest.text("_ZTUInfo", "Type|FileName|Size|\r\nN|" + name + "|" + size + "|\r\n", UTF_8), UTF_8)
                + new String(HostileRequestsTest.text("_ZTUResumable", name + "|" + id + "|\r\n", UTF_8), UTF_8)
                + new String(HostileRequestsTest.fileHead(name, true, UTF_8), UTF_8)
                + new String(HostileRequestsTest.end(true), UTF_8)).getBytes(UTF_8);
    }

    static Upload post(TusStore store, String id) throws UploadException {
        return UploadReader.read(new ByteArrayInputStream(naming("a.txt", 5, id)), HostileRequestsTest.TYPE, "utf-8", -1,
                new UploadOptions().tmpDir(store.directory()).resumable(store));
    }

    @Test
    void anUploadFromCreationThroughARestartToItsPost() throws Exception {
        Path dir = tmp.resolve("tus");
        TusEndpoint tus = new TusEndpoint(new TusStore(dir), "/tus/").maxSize(1000).minFreeBytes(0);
        TusEndpoint.Answer a = call(tus, "OPTIONS", "/tus/", "", "Tus-Resumable", null);
        assertEquals(List.of(204, "1.0.0", "creation,termination", "1000"), List.of(a.status(),
                a.headers().get("Tus-Version"), a.headers().get("Tus-Extension"), a.headers().get("Tus-Max-Size")));
        assertEquals(412, call(tus, "POST", "/tus/", "", "Tus-Resumable", null, "Upload-Length", "5").status());
        assertEquals(413, call(tus, "POST", "/tus/", "", "Upload-Length", "1001").status(), "past Tus-Max-Size");
        assertEquals(400, call(tus, "POST", "/tus/", "", "Upload-Length", "5", "Upload-Metadata", "filename !!").status());
        assertEquals(400, call(tus, "POST", "/tus/", "").status(), "a deferred length is not offered");
        assertTrue(call(tus, "POST", "/tus/", "", "Upload-Length", "1", "Host", "evil/x@y").headers().get("Location")
                .startsWith("/tus/"), "a Host that is no host name gives a relative URL");
        String name = Base64.getEncoder().encodeToString("\ubcf4\uace0\uc11c.txt".getBytes(UTF_8));
        a = call(tus, "POST", "/tus/", "", "Upload-Length", "5", "Host", "files.example:8080",
                "Upload-Metadata", "filename " + name + ",size NQ==");
        String location = a.headers().get("Location");
        assertTrue(location.matches("http://files\\.example:8080/tus/[0-9a-f]{32}"), location);
        String id = location.substring(location.lastIndexOf('/') + 1);
        assertTrue(new String(Files.readAllBytes(dir.resolve(id + ".json")), UTF_8).contains("\"filename\":\"\ubcf4\uace0\uc11c.txt\""));

        assertEquals(415, call(tus, "PATCH", "/tus/" + id, "ab", "Content-Type", "application/octet-stream",
                "Upload-Offset", "0").status());
        assertEquals(413, patch(tus, id, 0, "abcdef").status(), "past its length");
        assertEquals(0, Files.size(dir.resolve(id)), "and nothing of it kept");
        assertEquals("2", patch(tus, id, 0, "ab").headers().get("Upload-Offset"));
        a = patch(tus, id, 0, "ab");
        assertEquals(List.of(409, "2"), List.of(a.status(), a.headers().get("Upload-Offset")), "a stale offset");
        assertEquals(404, call(tus, "HEAD", "/tus/../tus/" + id, "").status());

        // Started again on the same folder: the upload goes on from its stored offset.
        TusStore store = new TusStore(dir);
        tus = new TusEndpoint(store, "/tus/").minFreeBytes(0);
        assertEquals("2", call(tus, "HEAD", "/tus/" + id, "").headers().get("Upload-Offset"));
        assertEquals(UploadException.Reason.INCOMPLETE, assertThrows(UploadException.class, () -> post(store, id)).reason());
        assertEquals(204, patch(tus, id, 2, "cde").status());
        try (Upload upload = post(store, id)) {
            Path stored = upload.store(tmp).get(0);
            assertEquals("abcde", new String(Files.readAllBytes(stored), UTF_8));
        }
        assertEquals(404, call(tus, "HEAD", "/tus/" + id, "").status(), "taken once");
        assertEquals(UploadException.Reason.UNKNOWN_UPLOAD, assertThrows(UploadException.class, () -> post(store, id)).reason());
    }

    @Test
    void limitsKeepAHostileClientFromFillingTheDisk() throws Exception {
        TusStore store = new TusStore(tmp);
        TusEndpoint tus = new TusEndpoint(store, "/tus/").maxUploads(2).minFreeBytes(0);
        String idle = create(tus, 3), busy = create(tus, 3);
        assertEquals(503, call(tus, "POST", "/tus/", "", "Upload-Length", "3").status(), "past the open uploads");
        // An upload nobody wrote to for a week goes with the next creation.
        Files.setLastModifiedTime(tmp.resolve(idle), FileTime.fromMillis(0));
        create(tus, 3);
        assertEquals(404, call(tus, "HEAD", "/tus/" + idle, "").status());
        assertFalse(Files.exists(tmp.resolve(idle + ".json")), "its account too");

        assertTrue(store.hold(busy));
        assertEquals(423, patch(tus, busy, 0, "a").status(), "one writer at a time");
        assertEquals(423, call(tus, "DELETE", "/tus/" + busy, "").status());
        assertEquals(UploadException.Reason.INCOMPLETE, assertThrows(UploadException.class, () -> post(store, busy)).reason());
        store.release(busy);
        assertEquals(204, call(tus, "DELETE", "/tus/" + busy, "").status());
        assertEquals(404, call(tus, "HEAD", "/tus/" + busy, "").status());

        tus.minFreeBytes(Long.MAX_VALUE / 2);
        assertEquals(507, call(tus, "POST", "/tus/", "", "Upload-Length", "3").status(), "the disk keeps its free space");
    }
}
