package com.ztfileupload.server;

import static java.nio.charset.StandardCharsets.ISO_8859_1;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static org.junit.jupiter.api.Assumptions.assumeTrue;

import java.io.BufferedReader;
import java.io.ByteArrayOutputStream;
import java.io.IOException;
import java.io.InputStreamReader;
import java.io.OutputStream;
import java.net.Socket;
import java.nio.file.Files;
import java.nio.file.Path;
import java.security.MessageDigest;
import java.util.regex.Matcher;
import java.util.regex.Pattern;

import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;

/**
 * The example as the control meets it, one HTTP/1.0 request a connection: tus under /tus/ beside the
 * upload page, the server killed mid-upload and started again on the same folder, the POST naming the
 * upload stored once; every answer says the connection closes.
 */
class ExampleServerTest {
    private static final int SIZE = 6 << 20;

    @TempDir
    Path tmp;

    private Process server;

    private int start(int port) throws IOException {
        ProcessBuilder b = new ProcessBuilder("java", "-Xmx64m", "-cp", System.getProperty("zt.example.cp"),
                "com.ztfileupload.example.ExampleServer").redirectError(ProcessBuilder.Redirect.DISCARD);
        b.environment().put("PORT", Integer.toString(port));
        b.environment().put("ZTUPLOAD_DIR", tmp.toString());
        server = b.start();
        String line = new BufferedReader(new InputStreamReader(server.getInputStream(), ISO_8859_1)).readLine();
        return Integer.parseInt(line.substring("PORT ".length()));
    }

    /** Sends head and body, returns the whole answer (the server closes after it). */
    private static String send(int port, String head, byte[] body, int from) throws IOException {
        try (Socket s = new Socket("127.0.0.1", port)) {
            OutputStream out = s.getOutputStream();
            out.write((head.replace("\n", "\r\n") + "Content-Length: " + (body.length - from) + "\r\n\r\n").getBytes(ISO_8859_1));
            out.write(body, from, body.length - from);
            String answer = new String(s.getInputStream().readAllBytes(), ISO_8859_1);
            assertTrue(answer.contains("\r\nConnection: close\r\n"), answer);
            return answer;
        }
    }

    private static String header(String answer, String name) {
        Matcher m = Pattern.compile("\r\n" + name + ": ([^\r]*)").matcher(answer);
        return m.find() ? m.group(1) : null;
    }

    @Test
    void anUploadOutlivesAKilledServerAndItsPostStoresItOnce() throws Exception {
        assumeTrue(System.getProperty("zt.example.cp") != null, "the example's class path: ./build test gives it");
        byte[] data = new byte[SIZE];
        for (int i = 0; i < SIZE; i++) data[i] = (byte) (i * 31 + i / 4093);
        try {
            int port = start(0);
            String tus = "Tus-Resumable: 1.0.0\nHost: 127.0.0.1:" + port + "\n";
            assertTrue(send(port, "OPTIONS /tus/ HTTP/1.0\n", new byte[0], 0).contains("Tus-Extension: creation,termination"));
            String made = send(port, "POST /tus/ HTTP/1.0\n" + tus + "Upload-Length: " + SIZE + "\n", new byte[0], 0);
            String location = header(made, "Location");
            assertTrue(location.startsWith("http://127.0.0.1:" + port + "/tus/"), made);
            String id = location.substring(location.lastIndexOf('/') + 1);
            String patch = "PATCH /tus/" + id + " HTTP/1.0\n" + tus + "Content-Type: application/offset+octet-stream\n";

            try (Socket s = new Socket("127.0.0.1", port)) {
                s.getOutputStream().write((patch + "Upload-Offset: 0\nContent-Length: " + SIZE + "\n\n")
                        .replace("\n", "\r\n").getBytes(ISO_8859_1));
                s.getOutputStream().write(data, 0, SIZE / 2);
                Path stored = tmp.resolve(".tus").resolve(id);
                for (int i = 0; i < 200 && Files.size(stored) < (1 << 20); i++) Thread.sleep(50);
                server.destroyForcibly().waitFor();
            }
            start(port);
            long offset = Long.parseLong(header(send(port, "HEAD /tus/" + id + " HTTP/1.0\n" + tus, new byte[0], 0), "Upload-Offset"));
            assertTrue(offset >= (1 << 20) && offset <= SIZE / 2, "kept what arrived: " + offset);
            String done = send(port, patch + "Upload-Offset: " + offset + "\n", data, (int) offset);
            assertEquals(Integer.toString(SIZE), header(done, "Upload-Offset"), done);

            byte[] body = TusEndpointTest.naming("big.bin", SIZE, id);
            String post = "POST /upload HTTP/1.0\nContent-Type: " + HostileRequestsTest.TYPE + "\nAccept-Language: utf-8\n";
            assertTrue(send(port, post, body, 0).startsWith("HTTP/1.1 200 "));
            assertTrue(send(port, post, body, 0).startsWith("HTTP/1.1 400 "), "taken once");
            StringBuilder sha = new StringBuilder();
            for (byte x : MessageDigest.getInstance("SHA-256").digest(data)) sha.append(String.format("%02x", x));
            try (var accounts = Files.newDirectoryStream(tmp, "*.json")) {
                String account = new String(Files.readAllBytes(accounts.iterator().next()), ISO_8859_1);
                assertTrue(account.contains("\"sha256\":\"" + sha + "\""), account);
            }
        } finally {
            if (server != null) server.destroyForcibly().waitFor();
        }
    }
}
