package com.ztfileupload.server.javax;

import java.io.IOException;

import javax.servlet.http.HttpServletRequest;
import javax.servlet.http.HttpServletResponse;

import com.ztfileupload.server.Reply;
import com.ztfileupload.server.TusEndpoint;
import com.ztfileupload.server.Upload;
import com.ztfileupload.server.UploadException;
import com.ztfileupload.server.UploadOptions;
import com.ztfileupload.server.UploadReader;

/**
 * The kit on a {@code javax.servlet} container (Servlet 3.1 to 4: Tomcat 8.5
 * and 9, Jetty 9, Spring Boot 2). The body is read as a stream, so no
 * multipart configuration and no other reader may touch the request first.
 */
public final class ServletUploads {
    private ServletUploads() {
    }

    public static Upload read(HttpServletRequest request, UploadOptions options) throws UploadException, IOException {
        return UploadReader.read(request.getInputStream(), request.getContentType(),
                request.getHeader("Accept-Language"), request.getContentLengthLong(), options);
    }

    /** Answers status with text in the request's encoding. */
    public static void reply(HttpServletRequest request, HttpServletResponse response, int status, String text,
                             UploadOptions options) throws IOException {
        Reply reply = Reply.forRequest(request.getHeader("Accept-Language"), options);
        byte[] body = reply.body(text);
        response.setStatus(status);
        response.setHeader("Content-Type", reply.contentType());
        response.setHeader("X-Content-Type-Options", "nosniff");
        closeIfDone(request, response);
        response.setContentLength(body.length);
        response.getOutputStream().write(body);
    }

    /** Answers a request for the tus endpoint (where {@link TusEndpoint#owns} its path). */
    public static void serve(TusEndpoint endpoint, HttpServletRequest request, HttpServletResponse response)
            throws IOException {
        TusEndpoint.Answer answer = endpoint.answer(request.getMethod(), request.getRequestURI(), request::getHeader,
                request.getInputStream(), request.isSecure());
        response.setStatus(answer.status());
        answer.headers().forEach(response::setHeader);
        closeIfDone(request, response);
        if (!"HEAD".equals(request.getMethod())) response.setContentLength(0);
    }

    private static void closeIfDone(HttpServletRequest request, HttpServletResponse response) {
        if (Reply.closesConnection(request.getProtocol(), request.getHeader("Connection"))) {
            response.setHeader("Connection", "close");
        }
    }

    /** Answers a refusal with its status and fixed text (never the request's own text). */
    public static void refuse(HttpServletRequest request, HttpServletResponse response, UploadException e,
                              UploadOptions options) throws IOException {
        try {
            Reply.drainBefore(e, request.getInputStream());
        } catch (IOException | IllegalStateException ignored) {
            // No body to drain.
        }
        reply(request, response, e.status(), e.publicMessage(), options);
    }
}
