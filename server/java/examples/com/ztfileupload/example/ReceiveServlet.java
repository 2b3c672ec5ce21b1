package com.ztfileupload.example;

import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.StandardCopyOption;
import java.security.SecureRandom;
import java.util.Map;

import javax.servlet.http.HttpServlet;
import javax.servlet.http.HttpServletRequest;
import javax.servlet.http.HttpServletResponse;

import com.ztfileupload.server.TusEndpoint;
import com.ztfileupload.server.TusStore;
import com.ztfileupload.server.Upload;
import com.ztfileupload.server.UploadException;
import com.ztfileupload.server.UploadOptions;
import com.ztfileupload.server.javax.ServletUploads;

/**
 * An upload endpoint for the ZTFileUpload control: files go into the folder
 * under names this server makes, and each accepted request leaves
 * {@code <id>.json} beside them saying what arrived and where each file went.
 * Here a real page would act on the rows: N and U store, V keep, D delete.
 * Under /tus/ it is the tus endpoint whose uploads a POST may name.
 */
public final class ReceiveServlet extends HttpServlet {
    private static final long serialVersionUID = 1L;
    private static final SecureRandom RANDOM = new SecureRandom();

    private final transient Path folder;
    private final transient UploadOptions options;
    private final transient TusEndpoint tus;

    public ReceiveServlet(Path folder, TusStore store, TusEndpoint tus) {
        this.folder = folder;
        // Temporary files on the folder's own disk: storing only renames.
        this.options = new UploadOptions().tmpDir(folder).resumable(store);
        this.tus = tus;
    }

    @Override
    protected void service(HttpServletRequest request, HttpServletResponse response) throws IOException {
        if (tus.owns(request.getRequestURI())) {
            ServletUploads.serve(tus, request, response);
            return;
        }
        if (!"POST".equals(request.getMethod())) {
            ServletUploads.reply(request, response, 405, "POST only", options);
            return;
        }
        try (Upload upload = ServletUploads.read(request, options)) {
            Map<Integer, Path> stored = upload.store(folder);
            try {
                account(upload.toJson(stored));
            } catch (IOException e) {
                // Files without their account would be lost to the page: take them back.
                for (Path p : stored.values()) Files.deleteIfExists(p);
                throw new UploadException(UploadException.Reason.STORE_FAILED, "the account could not be written (" + e + ")", e);
            }
            ServletUploads.reply(request, response, 200, "OK", options);
        } catch (UploadException e) {
            log(e.getMessage());
            ServletUploads.refuse(request, response, e, options);
        }
    }

    private void account(String json) throws IOException {
        // Names sort in arrival order.
        long micros = System.currentTimeMillis() * 1000 + (System.nanoTime() / 1000) % 1000;
        String id = String.format("%016d-%08x", micros, RANDOM.nextInt());
        Path tmp = folder.resolve(id + ".json.tmp");
        Files.write(tmp, json.getBytes(StandardCharsets.UTF_8));
        Files.move(tmp, folder.resolve(id + ".json"), StandardCopyOption.ATOMIC_MOVE);
    }
}
