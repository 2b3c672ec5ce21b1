// The twin's members, events and texts against the control's own tables, read
// from its sources, so a member or text changed on one side fails here.
import { test } from "node:test";
import assert from "node:assert/strict";
import { readFileSync } from "node:fs";
import { MEMBERS, TEXTS, errorText } from "../dist/members.js";

const source = (path) => readFileSync(new URL(`../../src/${path}`, import.meta.url), "utf8");
const unescape = (text) => JSON.parse(`"${text}"`);

test("members: same names, numbers, kinds, parameter counts and read-only properties as the control", () => {
  const rows = [...source("control/members.cpp").matchAll(/\{\{L"(\w+)", (\d+), ([PM]), VT_\w+, (\d+), \{[^}]*\}\}, [^,]+, ([^}]+)\}/g)];
  assert.ok(rows.length >= 60, `member rows read: ${rows.length}`);
  const control = rows.map(([, name, dispid, kind, params, put]) => ({
    name, dispid: Number(dispid), kind: kind === "P" ? "property" : "method", params: Number(params),
    readOnly: put.trim() === "&CM::PutReadOnly",
  }));
  const twin = MEMBERS.map(({ name, dispid, kind, params, readOnly }) => ({ name, dispid, kind, params, readOnly: !!readOnly }));
  assert.deepEqual(twin, control);
});

test("texts: every Korean text the twin shows is the control's string table entry, and error texts format names", () => {
  const table = new Map([...source("text/string_table.cpp").matchAll(/\{(\d+), u"((?:[^"\\]|\\.)*)"\}/g)]
    .map(([, id, text]) => [Number(id), unescape(text)]));
  for (const [id, text] of Object.entries(TEXTS)) assert.equal(text, table.get(Number(id)), `text ${id}`);
  assert.equal(errorText("E01002", "a.txt"), '"a.txt" 파일명이 이미 존재합니다. 파일을 추가할 수 없습니다.');
  assert.equal(errorText("I04001"), table.get(14001));
  assert.equal(errorText("E04003"), table.get(4003));
});
