package com.ztfileupload.example;

import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;

import org.eclipse.jetty.server.Server;
import org.eclipse.jetty.server.ServerConnector;
import org.eclipse.jetty.servlet.ServletContextHandler;
import org.eclipse.jetty.servlet.ServletHolder;

/**
 * The example endpoint on an embedded Jetty 9, on 127.0.0.1 only:
 * {@code PORT=8080 ZTUPLOAD_DIR=/srv/uploads server/java/run-example}.
 * Prints "PORT n" once it listens (PORT=0 takes a free port).
 */
public final class ExampleServer {
    private ExampleServer() {
    }

    public static void main(String[] args) throws Exception {
        Path folder = Paths.get(env("ZTUPLOAD_DIR", "uploads")).toAbsolutePath();
        Files.createDirectories(folder);
        Server server = new Server();
        ServerConnector connector = new ServerConnector(server);
        connector.setHost("127.0.0.1");
        connector.setPort(Integer.parseInt(env("PORT", "8080")));
        // A user may pause an upload with the connection open; a stalled one
        // ends after this and its temporary file goes with it.
        connector.setIdleTimeout(10 * 60 * 1000L);
        server.addConnector(connector);
        ServletContextHandler context = new ServletContextHandler();
        context.addServlet(new ServletHolder(new ReceiveServlet(folder)), "/*");
        server.setHandler(context);
        server.start();
        System.out.println("PORT " + connector.getLocalPort());
        System.out.flush();
        server.join();
    }

    private static String env(String name, String fallback) {
        String v = System.getenv(name);
        return v == null || v.isEmpty() ? fallback : v;
    }
}
