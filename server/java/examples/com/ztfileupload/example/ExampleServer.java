package com.ztfileupload.example;

import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.util.concurrent.Executors;
import java.util.concurrent.ScheduledExecutorService;
import java.util.concurrent.TimeUnit;

import org.eclipse.jetty.server.Server;
import org.eclipse.jetty.server.ServerConnector;
import org.eclipse.jetty.servlet.ServletContextHandler;
import org.eclipse.jetty.servlet.ServletHolder;

import com.ztfileupload.server.TusEndpoint;
import com.ztfileupload.server.TusStore;

/**
 * The example endpoint on an embedded Jetty 9, on 127.0.0.1 only:
 * {@code PORT=8080 ZTUPLOAD_DIR=/srv/uploads server/java/run-example}.
 * Prints "PORT n" once it listens (PORT=0 takes a free port). Under /tus/ it
 * is a tus endpoint for the control's ResumableURL, its uploads in
 * ZTUPLOAD_TUS_DIR (by default .tus in ZTUPLOAD_DIR) until a POST names them.
 */
public final class ExampleServer {
    private ExampleServer() {
    }

    public static void main(String[] args) throws Exception {
        Path folder = Paths.get(env("ZTUPLOAD_DIR", "uploads")).toAbsolutePath();
        Files.createDirectories(folder);
        // Unfinished uploads are files there: a restarted server goes on with them.
        TusStore tus = new TusStore(Paths.get(env("ZTUPLOAD_TUS_DIR", folder.resolve(".tus").toString())));
        TusEndpoint endpoint = new TusEndpoint(tus, "/tus/");
        ScheduledExecutorService sweeper = Executors.newSingleThreadScheduledExecutor(r -> {
            Thread t = new Thread(r, "tus-sweep");
            t.setDaemon(true);
            return t;
        });
        sweeper.scheduleWithFixedDelay(() -> {
            try {
                endpoint.sweep();
            } catch (IOException | RuntimeException e) {
                System.err.println("tus sweep: " + e);
            }
        }, 1, 1, TimeUnit.HOURS);
        Server server = new Server();
        ServerConnector connector = new ServerConnector(server);
        connector.setHost("127.0.0.1");
        connector.setPort(Integer.parseInt(env("PORT", "8080")));
        // A user may pause an upload with the connection open; a stalled one
        // ends after this and its temporary file goes with it.
        connector.setIdleTimeout(10 * 60 * 1000L);
        server.addConnector(connector);
        ServletContextHandler context = new ServletContextHandler();
        context.addServlet(new ServletHolder(new ReceiveServlet(folder, tus, endpoint)), "/*");
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
