package com.ztfileupload.example;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.ByteArrayOutputStream;
import java.io.InputStream;
import java.io.OutputStream;
import java.net.Socket;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.util.List;
import java.util.stream.Collectors;
import java.util.stream.Stream;

import org.eclipse.jetty.server.Server;
import org.eclipse.jetty.server.ServerConnector;
import org.eclipse.jetty.servlet.ServletContextHandler;
import org.eclipse.jetty.servlet.ServletHolder;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;

/** The example endpoint on Jetty, as the control meets it: an upload stored with its account, a forged one refused. */
class ExampleServerTest {
    static final Path FIXTURES = Paths.get(System.getProperty("zt.fixtures", "../fixtures"));

    @TempDir
    Path folder;

    static String post(int port, byte[] request) throws Exception {
        try (Socket s = new Socket("127.0.0.1", port)) {
            OutputStream out = s.getOutputStream();
            out.write(request);
            out.flush();
            InputStream in = s.getInputStream();
            ByteArrayOutputStream reply = new ByteArrayOutputStream();
            in.transferTo(reply);
            return reply.toString(StandardCharsets.UTF_8);
        }
    }

    List<String> files() throws Exception {
        try (Stream<Path> s = Files.list(folder)) {
            return s.map(p -> p.getFileName().toString()).sorted().collect(Collectors.toList());
        }
    }

    @Test
    void storesAnUploadWithItsAccountAndRefusesAForgedOne() throws Exception {
        Server server = new Server();
        ServerConnector connector = new ServerConnector(server);
        connector.setHost("127.0.0.1");
        server.addConnector(connector);
        ServletContextHandler context = new ServletContextHandler();
        context.addServlet(new ServletHolder(new ReceiveServlet(folder)), "/*");
        server.setHandler(context);
        server.start();
        try {
            int port = connector.getLocalPort();
            String reply = post(port, Files.readAllBytes(FIXTURES.resolve("01-post-utf8.http")));
            assertTrue(reply.startsWith("HTTP/1.1 200 ") && reply.endsWith("\r\n\r\nOK"), reply);
            List<String> stored = files();
            assertEquals(4, stored.size(), "three files and one account: " + stored);
            String account = stored.stream().filter(n -> n.endsWith(".json")).findFirst().orElseThrow();
            String json = Files.readString(folder.resolve(account));
            for (String n : stored) {
                if (!n.endsWith(".json")) assertTrue(json.contains("\"stored\":\"" + n + "\""), n);
            }

            reply = post(port, Files.readAllBytes(FIXTURES.resolve("x-forged-row.http")));
            assertTrue(reply.startsWith("HTTP/1.1 400 "), reply);
            assertTrue(reply.contains("X-Content-Type-Options: nosniff") && reply.endsWith("unlisted-file: a file is not in the file list"), reply);
            assertEquals(stored, files(), "a refused request stores nothing");

            // The reply speaks the request's code page.
            reply = post(port, Files.readAllBytes(FIXTURES.resolve("02-post-cp949.http")));
            assertTrue(reply.contains("charset=ks_c_5601-1987"), reply);
        } finally {
            server.stop();
        }
    }
}
