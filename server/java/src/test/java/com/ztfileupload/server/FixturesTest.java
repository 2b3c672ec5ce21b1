package com.ztfileupload.server;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;

import java.io.ByteArrayInputStream;
import java.io.IOException;
import java.io.InputStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.util.ArrayList;
import java.util.HashMap;
import java.util.List;
import java.util.Map;
import java.util.stream.Stream;

import org.junit.jupiter.api.DynamicTest;
import org.junit.jupiter.api.TestFactory;
import org.junit.jupiter.api.io.TempDir;

/**
 * The requests every kit is held to (server/fixtures): each gives the result
 * its .json says, read from a stream that hands out odd-sized pieces so
 * delimiters fall across reads; a refused one leaves no file, an accepted
 * one stores files of their rows' sizes and leaves nothing temporary.
 * Requests naming tus uploads (resumable/) find theirs in the store first: a
 * refused one puts them back as they were, a taken one leaves none.
 */
class FixturesTest {
    static final Path FIXTURES = Paths.get(System.getProperty("zt.fixtures", "../fixtures"));

    @TempDir
    Path tmp;

    @TestFactory
    Stream<DynamicTest> everyFixtureGivesItsResult() throws IOException {
        List<Path> requests = new ArrayList<>();
        for (Path dir : List.of(FIXTURES, FIXTURES.resolve("resumable"))) {
            try (Stream<Path> s = Files.list(dir)) {
                s.filter(p -> p.toString().endsWith(".http")).sorted().forEach(requests::add);
            }
        }
        return requests.stream().map(p -> DynamicTest.dynamicTest(p.getFileName().toString(), () -> check(p)));
    }

    private void check(Path fixture) throws Exception {
        String json = fixture.toString().replaceAll("\\.http$", ".json");
        Object expected = MiniJson.parse(new String(Files.readAllBytes(Paths.get(json)), StandardCharsets.UTF_8));
        Request r = Request.of(Files.readAllBytes(fixture));
        Path work = Files.createTempDirectory(tmp, "w");
        Path tus = Files.createTempDirectory(tmp, "tus");
        UploadOptions options = new UploadOptions().tmpDir(work).resumable(new TusStore(tus));
        @SuppressWarnings("unchecked")
        Map<String, Object> refusal = (Map<String, Object>) expected;
        @SuppressWarnings("unchecked")
        Map<String, Map<String, Object>> uploads = (Map<String, Map<String, Object>>) refusal.remove("uploads");
        for (Map.Entry<String, Map<String, Object>> u : uploads == null ? Map.<String, Map<String, Object>>of().entrySet() : uploads.entrySet()) {
            Files.write(tus.resolve(u.getKey()), ((String) u.getValue().get("data")).getBytes(StandardCharsets.UTF_8));
            Files.write(tus.resolve(u.getKey() + ".json"), ("{\"id\":\"" + u.getKey() + "\",\"size\":" + u.getValue().get("length")
                    + ",\"metadata\":{}}").getBytes(StandardCharsets.UTF_8));
        }
        Map<Path, String> held = contents(tus);
        if (refusal.containsKey("error")) {
            UploadException e = assertThrows(UploadException.class, () -> r.read(options));
            assertEquals(refusal.get("error"), e.code(), e.getMessage());
            assertEquals(refusal.get("status"), (long) e.status());
            assertEquals(List.of(), list(work), "a refused request leaves no file");
            assertEquals(held, contents(tus), "a refused request puts its uploads back");
            return;
        }
        try (Upload upload = r.read(options)) {
            assertEquals(expected, MiniJson.parse(upload.toJson()));
            Path folder = Files.createDirectory(tmp.resolve("stored-" + fixture.getFileName()));
            Map<Integer, Path> stored = upload.store(folder);
            for (Map.Entry<Integer, Path> e : stored.entrySet()) {
                assertEquals(upload.rows().get(e.getKey()).size(), Files.size(e.getValue()));
                assertEquals(32, e.getValue().getFileName().toString().length());
            }
            assertEquals(List.of(), list(work), "storing leaves no temporary file");
        }
        assertEquals(List.of(), list(tus), "a taken upload can be claimed no more");
    }

    static Map<Path, String> contents(Path dir) throws IOException {
        Map<Path, String> out = new HashMap<>();
        for (Path p : list(dir)) out.put(p.getFileName(), new String(Files.readAllBytes(p), StandardCharsets.ISO_8859_1));
        return out;
    }

    static List<Path> list(Path dir) throws IOException {
        try (Stream<Path> s = Files.list(dir)) {
            List<Path> out = new ArrayList<>();
            s.forEach(out::add);
            return out;
        }
    }

    /** A request as captured: its headers and its body. */
    static final class Request {
        final Map<String, String> headers = new HashMap<>();
        final byte[] body;

        private Request(byte[] body) {
            this.body = body;
        }

        static Request of(byte[] raw) {
            String text = new String(raw, StandardCharsets.ISO_8859_1);
            int end = text.indexOf("\r\n\r\n");
            Request r = new Request(java.util.Arrays.copyOfRange(raw, end + 4, raw.length));
            for (String line : text.substring(0, end).split("\r\n")) {
                int colon = line.indexOf(':');
                if (colon > 0) r.headers.put(line.substring(0, colon).trim().toLowerCase(), line.substring(colon + 1).trim());
            }
            return r;
        }

        Upload read(UploadOptions options) throws UploadException {
            return UploadReader.read(new Pieces(new ByteArrayInputStream(body), 997), headers.get("content-type"),
                    headers.get("accept-language"), -1, options);
        }
    }

    /** Hands out at most n bytes a read, as a network does. */
    static final class Pieces extends java.io.FilterInputStream {
        private final int n;

        Pieces(InputStream in, int n) {
            super(in);
            this.n = n;
        }

        @Override
        public int read(byte[] b, int off, int len) throws IOException {
            return super.read(b, off, Math.min(len, n));
        }
    }
}
