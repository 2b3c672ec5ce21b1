package com.ztfileupload.server;

/** A small JSON writer for the result: objects, arrays, strings, numbers. */
final class Json {
    private final StringBuilder out = new StringBuilder();
    private boolean first = true;

    Json open(char c) {
        comma();
        out.append(c);
        first = true;
        return this;
    }

    Json close(char c) {
        out.append(c);
        first = false;
        return this;
    }

    Json key(String k) {
        string(k);
        out.append(':');
        first = true;
        return this;
    }

    Json string(String s) {
        comma();
        out.append('"');
        for (int i = 0; i < s.length(); i++) {
            char c = s.charAt(i);
            if (c == '"' || c == '\\') {
                out.append('\\').append(c);
            } else if (c < 0x20 || c == 0x2028 || c == 0x2029) {
                out.append(String.format("\\u%04x", (int) c));
            } else {
                out.append(c);
            }
        }
        out.append('"');
        return this;
    }

    Json number(long n) {
        comma();
        out.append(n);
        return this;
    }

    Json bool(boolean b) {
        comma();
        out.append(b);
        return this;
    }

    Json nul() {
        comma();
        out.append("null");
        return this;
    }

    private void comma() {
        if (!first) out.append(',');
        first = false;
    }

    @Override
    public String toString() {
        return out.toString();
    }
}
