// The request the twin builds, held byte for byte against requests the
// control itself sent (server/fixtures, captured on the wire).
import { test } from "node:test";
import assert from "node:assert/strict";
import { readFileSync, readdirSync } from "node:fs";
import { createHash } from "node:crypto";
import { buildRequest, escapeName, manifestText, mergeFields, parseSizeText } from "../dist/request.js";

const fixtures = new URL("../../server/fixtures/", import.meta.url);

function readCapture(stem) {
  const raw = readFileSync(new URL(`${stem}.http`, fixtures));
  const split = raw.indexOf("\r\n\r\n");
  const head = raw.subarray(0, split).toString("latin1");
  const boundary = /boundary=([0-9a-f-]{36})/.exec(head)[1];
  return { head, boundary, body: raw.subarray(split + 4), account: JSON.parse(readFileSync(new URL(`${stem}.json`, fixtures))) };
}

// A file's bytes, taken from the captured part and checked by the account's hash.
function fileBytes(body, name, size, sha256) {
  const marker = Buffer.from(`name="${escapeName(name)}"; filename=`);
  const at = body.indexOf(Buffer.from("\r\n\r\n"), body.indexOf(marker)) + 4;
  const bytes = body.subarray(at, at + size);
  assert.equal(createHash("sha256").update(bytes).digest("hex"), sha256, name);
  return bytes;
}

function partsOf({ account, body }) {
  const values = (row) => new Map(Object.entries(row.attributes));
  return {
    fields: account.fields,
    manifest: account.manifest
      ? { attributeNames: account.attributes, rows: account.rows.map((r) => ({ kind: r.type, name: r.name, size: r.size, values: values(r) })) }
      : null,
    files: account.rows.filter((r) => r.file).map((r) => ({ name: r.name, data: new Blob([fileBytes(body, r.name, r.file.size, r.file.sha256)]) })),
  };
}

const utf8Captures = readdirSync(fixtures)
  .filter((f) => /^\d\d-.*\.json$/.test(f))
  .map((f) => f.slice(0, -5))
  .filter((stem) => JSON.parse(readFileSync(new URL(`${stem}.json`, fixtures))).encoding === "utf-8");

test("every UTF-8 request of the control is rebuilt byte for byte, under its own boundary or a new one", async () => {
  assert.ok(utf8Captures.length >= 7, "captures found");
  for (const stem of utf8Captures) {
    const capture = readCapture(stem);
    assert.match(capture.head, /\r\nAccept-Language: utf-8(\r\n|$)/, stem);
    const same = buildRequest(partsOf(capture), capture.boundary);
    assert.equal(`\r\nContent-Type: ${same.headers["Content-Type"]}\r\n`, /\r\nContent-Type: [^\r]*\r\n/.exec(capture.head)[0], stem);
    assert.equal(same.headers["Accept-Language"], "utf-8");
    assert.ok(Buffer.from(await same.body.arrayBuffer()).equals(capture.body), `${stem}: body differs`);

    const fresh = buildRequest(partsOf(capture));
    assert.match(fresh.boundary, /^[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}$/);
    assert.notEqual(fresh.boundary, capture.boundary);
    const rebased = Buffer.from(await fresh.body.arrayBuffer()).toString("latin1").split(fresh.boundary).join(capture.boundary);
    assert.ok(Buffer.from(rebased, "latin1").equals(capture.body), `${stem}: body under a new boundary differs`);
  }
});

test("a request naming resumable uploads is the one both kits take, byte for byte", async () => {
  const capture = readCapture("resumable/taken");
  const [[id, upload]] = Object.entries(capture.account.uploads);
  const [a, b] = capture.account.rows;
  const parts = { fields: capture.account.fields,
    manifest: { attributeNames: [], rows: capture.account.rows.map((r) => ({ kind: r.type, name: r.name, size: r.size, values: new Map() })) },
    files: [{ name: a.name, data: new Blob([upload.data]), upload: id }, { name: b.name, data: new Blob([fileBytes(capture.body, b.name, 3, b.file.sha256)]) }] };
  assert.ok(Buffer.from(await buildRequest(parts, capture.boundary).body.arrayBuffer()).equals(capture.body));
});

test("hostile names and values cannot add a part, a header line or a manifest field", async () => {
  const values = new Map([["a|b\r\n", "x|y\r\nz\0w"]]);
  const manifest = { attributeNames: ["a|b\r\n"], rows: [
    { kind: "D", name: "gone|\n", size: 1, values },
    { kind: "N", name: 'q"\r\n\0%.txt', size: 3000000000n, values },
  ] };
  assert.equal(manifestText(manifest),
    "Type|FileName|Size|a b  |\r\nN|q%22%0D%0A%00%.txt|3000000000|x y  z w|\r\nD|gone%7C%0A|1|x y  z w|\n");
  const built = buildRequest({ fields: [{ name: "T", value: "1" }, { name: "x", value: "cut\0here" }, { name: "t", value: "2" }],
    files: [{ name: 'a"b', data: new Blob(["\n"]) }] }, "b");
  assert.equal(await built.body.text(),
    '--b\r\nContent-Disposition: form-data; name="T"\r\n\r\n2\r\n--b\r\nContent-Disposition: form-data; name="x"\r\n\r\ncut\r\n' +
    '--b\r\nContent-Disposition: form-data; name="a%22b"; filename="a%22b"\r\nContent-Type: application/octet-stream\r\n\r\n\n\r\n--b--\r\n');
  assert.deepEqual(mergeFields([{ name: "a", value: "1" }, { name: "A", value: "2" }]), [{ name: "a", value: "2" }]);
});

test("size texts read as the control reads them", () => {
  const cases = { "": 0, "0": 0, "1536": 1536, "12K": 12288, "12 k": 12288, "3 m": 3145728, "1.5M": 0, "10KB": 0, "K": 0, "1k2K": 12288, "4294967296": 0 };
  for (const [text, size] of Object.entries(cases)) assert.equal(parseSizeText(text), size, JSON.stringify(text));
});
