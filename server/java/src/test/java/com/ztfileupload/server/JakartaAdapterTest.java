package com.ztfileupload.server;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;

import java.io.ByteArrayInputStream;
import java.io.ByteArrayOutputStream;
import java.lang.reflect.Proxy;
import java.nio.charset.Charset;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.HashMap;
import java.util.Map;

import jakarta.servlet.ReadListener;
import jakarta.servlet.ServletInputStream;
import jakarta.servlet.ServletOutputStream;
import jakarta.servlet.WriteListener;
import jakarta.servlet.http.HttpServletRequest;
import jakarta.servlet.http.HttpServletResponse;

import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;

import com.ztfileupload.server.jakarta.ServletUploads;

/** The jakarta adapter on a container's request and response: a 949 upload read, its reply in 949, closing. */
class JakartaAdapterTest {
    @TempDir
    Path tmp;

    @Test
    void readsAnUploadAndAnswersInItsCodePage() throws Exception {
        FixturesTest.Request fixture = FixturesTest.Request.of(Files.readAllBytes(FixturesTest.FIXTURES.resolve("02-post-cp949.http")));
        Map<String, String> headers = fixture.headers;
        ByteArrayInputStream body = new ByteArrayInputStream(fixture.body);
        ServletInputStream in = new ServletInputStream() {
            public int read() { return body.read(); }
            public int read(byte[] b, int off, int len) { return body.read(b, off, len); }
            public boolean isFinished() { return body.available() == 0; }
            public boolean isReady() { return true; }
            public void setReadListener(ReadListener l) { }
        };
        HttpServletRequest request = (HttpServletRequest) Proxy.newProxyInstance(getClass().getClassLoader(),
                new Class<?>[] {HttpServletRequest.class}, (p, m, a) -> {
                    switch (m.getName()) {
                        case "getInputStream": return in;
                        case "getContentType": return headers.get("content-type");
                        case "getContentLengthLong": return Long.parseLong(headers.get("content-length"));
                        case "getProtocol": return "HTTP/1.0";
                        case "getHeader": return headers.get(((String) a[0]).toLowerCase());
                        default: throw new UnsupportedOperationException(m.getName());
                    }
                });
        Map<String, Object> answer = new HashMap<>();
        ByteArrayOutputStream sent = new ByteArrayOutputStream();
        ServletOutputStream out = new ServletOutputStream() {
            public void write(int b) { sent.write(b); }
            public boolean isReady() { return true; }
            public void setWriteListener(WriteListener l) { }
        };
        HttpServletResponse response = (HttpServletResponse) Proxy.newProxyInstance(getClass().getClassLoader(),
                new Class<?>[] {HttpServletResponse.class}, (p, m, a) -> {
                    if (m.getName().equals("getOutputStream")) return out;
                    answer.put(m.getName() + (a.length > 1 ? a[0] : ""), a[a.length - 1]);
                    return null;
                });

        UploadOptions options = new UploadOptions().tmpDir(tmp);
        try (Upload upload = ServletUploads.read(request, options)) {
            assertEquals("cp949", upload.encoding());
            assertEquals("Hello \uc548\ub155", upload.field("TITLE"));
        }
        ServletUploads.reply(request, response, 200, "\ubc1b\uc74c", options);
        assertEquals(200, answer.get("setStatus"));
        assertEquals("text/plain; charset=ks_c_5601-1987", answer.get("setHeaderContent-Type"));
        assertEquals("nosniff", answer.get("setHeaderX-Content-Type-Options"));
        // The control's HTTP/1.0 request is told the connection ends, or WinINet sends the next one on it.
        assertEquals("close", answer.get("setHeaderConnection"));
        assertArrayEquals("\ubc1b\uc74c".getBytes(Charset.forName("x-windows-949")), sent.toByteArray());

        ServletUploads.refuse(request, response, new UploadException(UploadException.Reason.SIZE_MISMATCH, "x"), options);
        assertEquals(400, answer.get("setStatus"));
    }
}
