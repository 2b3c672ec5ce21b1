package com.ztfileupload.server;

/**
 * A request refused as a whole. {@link #reason()} is a stable code a page or
 * a log can act on, {@link #status()} the HTTP status to answer with.
 * {@link #getMessage()} says what was wrong, naming the sender's text (for a
 * log); {@link #publicMessage()} is fixed text, safe to send back.
 */
public final class UploadException extends Exception {
    private static final long serialVersionUID = 1L;

    /** Why a request was refused. */
    public enum Reason {
        NOT_MULTIPART("not-multipart", 400, "the request is not readable as multipart/form-data"),
        TOO_LARGE("too-large", 413, "the request exceeds a byte limit of this server"),
        TOO_MANY_PARTS("too-many-parts", 413, "the request exceeds a count limit of this server"),
        INCOMPLETE("incomplete", 400, "the request ended before its end"),
        BAD_ENCODING("bad-encoding", 400, "a text is not valid in the request's encoding"),
        BAD_MANIFEST("bad-manifest", 400, "the file list is malformed"),
        BAD_NAME("bad-name", 400, "a name is empty, a path or holds control characters"),
        RISKY_NAME("risky-name", 400, "a name is unsafe to store or show"),
        DUPLICATE_NAME("duplicate-name", 400, "two entries have one name"),
        UNLISTED_FILE("unlisted-file", 400, "a file is not in the file list"),
        DUPLICATE_FILE("duplicate-file", 400, "a file was sent twice"),
        SIZE_MISMATCH("size-mismatch", 400, "a file's length is not its listed size"),
        UNKNOWN_UPLOAD("unknown-upload", 400, "a resumable upload named is not held by this server"),
        STORE_FAILED("store-failed", 500, "the server could not store the upload");

        private final String code;
        private final int status;
        private final String text;

        Reason(String code, int status, String text) {
            this.code = code;
            this.status = status;
            this.text = text;
        }

        /** The reason as the other kits and the fixtures spell it, e.g. {@code size-mismatch}. */
        public String code() {
            return code;
        }

        /** 400 for a wrong request, 413 for one over a limit, 500 when this server failed. */
        public int status() {
            return status;
        }
    }

    private final Reason reason;

    public UploadException(Reason reason, String detail) {
        super(reason.code + ": " + detail);
        this.reason = reason;
    }

    public UploadException(Reason reason, String detail, Throwable cause) {
        super(reason.code + ": " + detail, cause);
        this.reason = reason;
    }

    public Reason reason() {
        return reason;
    }

    public String code() {
        return reason.code;
    }

    public int status() {
        return reason.status;
    }

    /** "reason: what", never echoing the request's text. */
    public String publicMessage() {
        return reason.code + ": " + reason.text;
    }
}
