package com.ztfileupload.server;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.ByteArrayOutputStream;
import java.io.IOException;
import java.io.InputStream;
import java.io.SequenceInputStream;
import java.nio.charset.Charset;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.List;
import java.util.Map;
import java.util.function.Function;

import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;

/** Requests made to hurt a server: refused early and by their reason, nothing left behind. */
class HostileRequestsTest {
    static final String B = "0f0e0d0c-0b0a-4908-8706-050403020100";
    static final String TYPE = "multipart/form-data; boundary=" + B;

    @TempDir
    Path tmp;

    static byte[] text(String name, String value, Charset cs) {
        return ("--" + B + "\r\nContent-Disposition: form-data; name=\"" + name + "\"\r\n\r\n" + value + "\r\n").getBytes(cs);
    }

    static byte[] fileHead(String name, boolean first, Charset cs) {
        return ((first ? "" : "\r\n") + "--" + B + "\r\nContent-Disposition: form-data; name=\"" + name + "\"; filename=\""
                + name + "\"\r\nContent-Type: application/octet-stream\r\n\r\n").getBytes(cs);
    }

    static InputStream join(byte[]... parts) {
        ByteArrayOutputStream b = new ByteArrayOutputStream();
        for (byte[] p : parts) b.write(p, 0, p.length);
        return new java.io.ByteArrayInputStream(b.toByteArray());
    }

    /** The closing delimiter; after a file its data needs the CR LF first, a text part has its own. */
    static byte[] end(boolean afterFile) {
        return ((afterFile ? "\r\n--" : "--") + B + "--\r\n").getBytes(StandardCharsets.US_ASCII);
    }

    /** n bytes of 'x', made as they are read; counts what was taken. */
    static final class Endless extends InputStream {
        final long n;
        long read;

        Endless(long n) {
            this.n = n;
        }

        @Override
        public int read() {
            return read < n ? (++read > 0 ? 'x' : 0) : -1;
        }

        @Override
        public int read(byte[] b, int off, int len) {
            if (read >= n) return -1;
            int k = (int) Math.min(len, n - read);
            java.util.Arrays.fill(b, off, off + k, (byte) 'x');
            read += k;
            return k;
        }
    }

    private UploadException refused(InputStream body, UploadOptions options) {
        return assertThrows(UploadException.class, () -> UploadReader.read(body, TYPE, "utf-8", -1, options.tmpDir(tmp)));
    }

    private void assertNothingLeft() throws IOException {
        assertEquals(List.of(), FixturesTest.list(tmp), "a refused request leaves no file");
    }

    @Test
    void aFileLongerThanItsRowOrUnlistedOrNoPartAtAllEndsTheRequestEarly() throws IOException {
        byte[] manifest = text("_ZTUInfo", "Type|FileName|Size|\r\nN|a.txt|5|\r\n", StandardCharsets.UTF_8);
        Endless huge = new Endless(200L << 20);
        UploadException e = refused(new SequenceInputStream(join(manifest, fileHead("a.txt", true, StandardCharsets.UTF_8)), huge),
                new UploadOptions());
        assertEquals("size-mismatch", e.code());
        assertTrue(huge.read < 1 << 20, "read " + huge.read + " bytes of a part that could never fit its row");
        assertNothingLeft();

        // A listed file whole, then a part nobody listed: both gone.
        Endless forged = new Endless(200L << 20);
        e = refused(new SequenceInputStream(join(manifest, fileHead("a.txt", true, StandardCharsets.UTF_8),
                "abcde".getBytes(StandardCharsets.US_ASCII), fileHead("x.php", false, StandardCharsets.UTF_8)), forged),
                new UploadOptions());
        assertEquals("unlisted-file", e.code());
        assertTrue(forged.read < 1 << 20);
        assertNothingLeft();

        // A body that never begins a part.
        Endless noise = new Endless(200L << 20);
        assertEquals("not-multipart", refused(noise, new UploadOptions()).code());
        assertTrue(noise.read < 1 << 20);

        // A body that breaks off inside a file: the network's failure is an incomplete upload.
        InputStream broken = new SequenceInputStream(join(manifest, fileHead("a.txt", true, StandardCharsets.UTF_8), new byte[] {'a'}),
                new InputStream() {
                    @Override
                    public int read() throws IOException {
                        throw new IOException("connection reset");
                    }
                });
        assertEquals("incomplete", refused(broken, new UploadOptions()).code());
        assertNothingLeft();
    }

    @Test
    void everyLimitRefusesWith413AndLeavesNothing() throws IOException {
        byte[] request = Files.readAllBytes(FixturesTest.FIXTURES.resolve("01-post-utf8.http"));
        Map<String, Function<UploadOptions, UploadOptions>> limits = Map.of(
                "too-large fieldBytes", o -> o.maxFieldBytes(100), "too-large fieldsTotal", o -> o.maxFieldsTotalBytes(150),
                "too-many-parts fields", o -> o.maxFields(1), "too-many-parts rows", o -> o.maxRows(5),
                "too-large file", o -> o.maxFileBytes(3500), "too-large total", o -> o.maxTotalBytes(5000));
        for (Map.Entry<String, Function<UploadOptions, UploadOptions>> limit : limits.entrySet()) {
            FixturesTest.Request r = FixturesTest.Request.of(request);
            UploadException e = assertThrows(UploadException.class,
                    () -> r.read(limit.getValue().apply(new UploadOptions().tmpDir(tmp))), limit.getKey());
            assertEquals(limit.getKey().split(" ")[0], e.code(), limit.getKey());
            assertEquals(413, e.status());
            assertNothingLeft();
        }
        // An announced length past the limits is refused without reading a byte.
        InputStream untouchable = new InputStream() {
            @Override
            public int read() {
                throw new AssertionError("read a request refused by its length");
            }
        };
        assertEquals("too-large", assertThrows(UploadException.class,
                () -> UploadReader.read(untouchable, TYPE, "utf-8", 9L << 30, new UploadOptions().maxTotalBytes(8L << 30))).code());
    }

    @Test
    void riskyNamesAreRefusedUnlessTakenAndThenFlagged() throws Exception {
        String[] risky = {"a\u202Etxt.exe", "CON", "lpt1.txt", "con .txt", "a.txt:evil.exe", "a.txt.", "a.txt ", "\u0085x", "a\u2028b"};
        for (String name : risky) {
            byte[] body = text("_ZTUInfo", "Type|FileName|Size|\r\nN|" + name + "|1|\r\n", StandardCharsets.UTF_8);
            byte[] file = fileHead(name, true, StandardCharsets.UTF_8);
            UploadException e = refused(join(body, file, new byte[] {'z'}, end(true)), new UploadOptions());
            assertEquals("risky-name", e.code(), name);
            try (Upload u = UploadReader.read(join(body, file, new byte[] {'z'}, end(true)), TYPE, "utf-8", -1,
                    new UploadOptions().tmpDir(tmp).allowRiskyNames(true))) {
                assertTrue(u.rows().get(0).risky() && u.rows().get(0).file() != null, name);
                assertTrue(u.toJson().contains("\"risky\":true"));
            }
            assertNothingLeft();
        }
        // Names that only look odd are ordinary, in code page 949 too.
        Charset cp949 = Charset.forName("x-windows-949");
        String names = "N|[draft] plan.txt|0|\r\nN|report 2024.txt|0|\r\nN|CONTRACT.txt|0|\r\nN|보고서.hwp|0|\r\n";
        try (Upload u = UploadReader.read(join(text("_ZTUInfo", "Type|FileName|Size|\r\n" + names, cp949), end(false)),
                TYPE, "ko", -1, new UploadOptions().tmpDir(tmp))) {
            assertEquals("cp949", u.encoding());
            assertEquals("보고서.hwp", u.rows().get(3).name());
            assertTrue(u.rows().stream().noneMatch(Row::risky));
        }
        // A byte no 949 text holds.
        byte[] bad = text("title", "x", cp949);
        bad[bad.length - 3] = (byte) 0xff;
        assertEquals("bad-encoding", assertThrows(UploadException.class,
                () -> UploadReader.read(join(bad, end(false)), TYPE, "ko", -1, new UploadOptions())).code());
    }

    @Test
    void aStoreThatFailsPartWayTakesBackWhatItStored() throws Exception {
        // The first file holds all but the last byte of a delimiter: data, not a part's end.
        byte[] near = ("\r\n--" + B.substring(0, B.length() - 1) + "\r\n--").getBytes(StandardCharsets.US_ASCII);
        byte[] manifest = text("_ZTUInfo", "Type|FileName|Size|\r\nN|a.txt|" + near.length + "|\r\nN|b.txt|1|\r\n",
                StandardCharsets.UTF_8);
        Path folder = Files.createDirectory(tmp.resolve("uploads"));
        Upload u = UploadReader.read(join(manifest, fileHead("a.txt", true, StandardCharsets.UTF_8), near,
                fileHead("b.txt", false, StandardCharsets.UTF_8), new byte[] {'b'}, end(true)), TYPE, "utf-8", -1,
                new UploadOptions().tmpDir(tmp));
        assertArrayEquals(near, Files.readAllBytes(u.rows().get(0).file().path()));
        Files.delete(u.rows().get(1).file().path());  // the second move will fail
        UploadException e = assertThrows(UploadException.class, () -> u.store(folder));
        assertEquals("store-failed", e.code());
        assertEquals(500, e.status());
        assertEquals(List.of(), FixturesTest.list(folder), "the file stored before the failure was taken back");
        assertEquals(List.of(folder), FixturesTest.list(tmp));
    }
}
