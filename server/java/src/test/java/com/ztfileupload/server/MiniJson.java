package com.ztfileupload.server;

import java.util.ArrayList;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;

/** Just enough JSON to compare results as values: objects, arrays, strings, integers, booleans, null. */
final class MiniJson {
    private final String s;
    private int i;

    private MiniJson(String s) {
        this.s = s;
    }

    static Object parse(String text) {
        MiniJson p = new MiniJson(text);
        Object v = p.value();
        p.space();
        if (p.i != text.length()) throw new IllegalArgumentException("trailing text at " + p.i);
        return v;
    }

    private Object value() {
        space();
        char c = s.charAt(i);
        if (c == '{') {
            Map<String, Object> m = new LinkedHashMap<>();
            i++;
            for (space(); s.charAt(i) != '}'; space()) {
                String k = string();
                space();
                expect(':');
                m.put(k, value());
                space();
                if (s.charAt(i) == ',') i++;
            }
            i++;
            return m;
        }
        if (c == '[') {
            List<Object> l = new ArrayList<>();
            i++;
            for (space(); s.charAt(i) != ']'; space()) {
                l.add(value());
                space();
                if (s.charAt(i) == ',') i++;
            }
            i++;
            return l;
        }
        if (c == '"') return string();
        for (String word : new String[] {"true", "false", "null"}) {
            if (s.startsWith(word, i)) {
                i += word.length();
                return word.equals("null") ? null : Boolean.valueOf(word);
            }
        }
        int from = i;
        while (i < s.length() && "-0123456789".indexOf(s.charAt(i)) >= 0) i++;
        return Long.parseLong(s.substring(from, i));
    }

    private String string() {
        expect('"');
        StringBuilder b = new StringBuilder();
        for (char c = s.charAt(i++); c != '"'; c = s.charAt(i++)) {
            if (c != '\\') {
                b.append(c);
                continue;
            }
            char e = s.charAt(i++);
            if (e == 'u') {
                b.append((char) Integer.parseInt(s.substring(i, i + 4), 16));
                i += 4;
            } else {
                b.append(e == 'n' ? '\n' : e == 'r' ? '\r' : e == 't' ? '\t' : e == 'b' ? '\b' : e == 'f' ? '\f' : e);
            }
        }
        return b.toString();
    }

    private void expect(char c) {
        if (s.charAt(i++) != c) throw new IllegalArgumentException("expected " + c + " at " + (i - 1));
    }

    private void space() {
        while (i < s.length() && Character.isWhitespace(s.charAt(i))) i++;
    }
}
