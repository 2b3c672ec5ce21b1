// The script surface and the posts, with Node's fetch as the transport: the
// Node kit's example takes every request, and its accounts must match what
// the list held; the per-file run against a server that fails first tries.
import { test } from "node:test";
import assert from "node:assert/strict";
import { spawn } from "node:child_process";
import { createServer } from "node:http";
import { mkdtempSync, readFileSync, readdirSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import { createHash } from "node:crypto";
import { UploadCore, TransportError, ServerAnswer } from "../dist/core.js";
import { FileRun, RowState } from "../dist/run.js";

const fetchTransport = async ({ url, headers, body, signal }) => {
  try {
    const reply = await fetch(url, { method: "POST", headers, body, signal });
    return { status: reply.status, body: new Uint8Array(await reply.arrayBuffer()) };
  } catch (e) {
    if (signal?.aborted) throw e;
    throw new TransportError("E04003", true);
  }
};

async function startKit() {
  const dir = mkdtempSync(join(tmpdir(), "zt-web-"));
  const kit = spawn(process.execPath, [new URL("../../server/node/examples/http-server.js", import.meta.url).pathname],
    { env: { ...process.env, PORT: "0", ZTUPLOAD_DIR: dir }, stdio: ["ignore", "pipe", "inherit"] });
  const port = await new Promise((resolve) => kit.stdout.on("data", (d) => { const m = /PORT (\d+)/.exec(d); if (m) resolve(m[1]); }));
  const accounts = () => readdirSync(dir).filter((n) => n.endsWith(".json")).sort().map((n) => JSON.parse(readFileSync(join(dir, n), "utf8")));
  const stored = (name) => createHash("sha256").update(readFileSync(join(dir, name))).digest("hex");
  return { url: `http://127.0.0.1:${port}/upload`, accounts, stored, stop: () => kit.kill() };
}

const sha = (text) => createHash("sha256").update(text).digest("hex");
const caught = (call) => { try { call(); } catch (e) { return e; } assert.fail("no error"); };

test("a page's script drives the list and posts it; the Node kit's accounts hold what the list held", async (t) => {
  const kit = await startKit();
  t.after(kit.stop);
  const events = [];
  const c = new UploadCore(fetchTransport, (name, detail) => events.push([name, detail]));

  // Refusals before any request: no URL, nothing current, a read of a missing entry.
  assert.equal(caught(() => c.postMessage()).code, "E01009");
  c.messages.push({ name: "title", value: "안녕 \"q\"" });
  assert.equal(caught(() => c.postMessage()).code, "E01001");
  assert.equal(await c.post(), "");
  assert.equal(c.errorCode, "E01001");

  c.URL = "http://bad host/upload";
  assert.equal(await c.post(), "");
  assert.deepEqual([c.errorCode, c.responseStatusCode], ["E04003", -1], "a host with a space never reaches a connection");
  c.URL = kit.url.replace("http://", "HTTP://");
  assert.equal(c.URL, "/upload");
  c.addLocalFiles([{ file: new Blob(["a\nb"]), name: "a.txt", path: "a.txt" }, { file: new Blob(["x"]), name: "A.TXT", path: "sub/A.TXT" }]);
  c.addVirtualFile("/docs/보고서.doc", "12K");
  c.addVirtualFile("/docs/old.doc");
  assert.deepEqual(c.entries.map((e) => e.name), ["a.txt", "A(1).TXT", "보고서.doc", "old.doc"]);
  assert.deepEqual(events.filter(([n]) => n === "AfterAddFiles").map(([, d]) => d.FileCount), [2, 1, 1]);
  c.setFilePos(0);
  assert.ok(c.setAttr(false, "author", "kim|lee"));
  assert.equal(caught(() => c.setAttr(false, "_x", "1")).code, "E01007");
  assert.equal(caught(() => c.setFileName("a(1).txt")).description, '"a(1).txt" 파일명이 이미 존재합니다. 파일을 추가할 수 없습니다.');
  assert.equal(caught(() => c.deleteFile(4)).code, "E01003");
  c.deleteFile2("OLD.DOC");
  assert.deepEqual(events.at(-1), ["AfterDeleteFile", { FileName: "old.doc", FilePath: "/docs/old.doc" }]);
  c.setDeleteFilePos(0);
  c.setAttr(true, "author", "park");

  assert.equal(await c.post(), c.responseText);
  assert.equal(c.responseStatusCode, 200, c.responseText);
  c.setFilePos(1);
  assert.equal(await c.postFile(), "");
  await c.postMessage();
  assert.equal(c.errorCode, "");

  const [all, one, fields] = kit.accounts();
  const row = (type, name, size, author, file) => ({ type, name, size, attributes: { author }, file });
  assert.deepEqual(all.fields, [{ name: "title", value: "안녕 \"q\"" }]);
  // Each stored file holds the bytes sent.
  for (const r of all.rows.filter((r) => r.file)) {
    assert.equal(kit.stored(r.file.stored), r.file.sha256);
    delete r.file.stored;
  }
  assert.deepEqual(all.rows, [
    row("N", "a.txt", 3, "kim lee", { size: 3, sha256: sha("a\nb") }),
    row("N", "A(1).TXT", 1, "", { size: 1, sha256: sha("x") }),
    row("V", "보고서.doc", 12288, "", null),
    row("D", "old.doc", 0, "park", null),
  ]);
  assert.deepEqual(one.rows.map((r) => r.name), ["A(1).TXT"]);
  assert.equal(fields.manifest, false);
  assert.equal(kit.accounts().length, 3);
  // The list keeps its entries after a post, in the order added.
  assert.equal(c.FileCount, 3);
});

test("the per-file run sends up to ParallelCount files at once and retries a curable failure RetryCount times", async (t) => {
  const seen = new Map();
  let open = 0, most = 0;
  const server = createServer((req, res) => {
    open++;
    most = Math.max(most, open);
    const chunks = [];
    req.on("data", (d) => chunks.push(d));
    req.on("end", () => {
      const name = /\r\nN\|([^|]*)\|/.exec(Buffer.concat(chunks).toString("latin1"))?.[1] ?? "(fields)";
      const tries = (seen.get(name) ?? 0) + 1;
      seen.set(name, tries);
      // Every file's first try fails as an overloaded server fails; "bad" is refused for good.
      const status = name === "(fields)" ? 200 : name === "bad" ? 403 : tries === 1 ? 503 : 200;
      setTimeout(() => { open--; res.writeHead(status).end("ok"); }, 50);
    });
  }).listen(0, "127.0.0.1");
  t.after(() => server.close());
  await new Promise((r) => server.on("listening", r));

  const c = new UploadCore(fetchTransport);
  c.URL = `http://127.0.0.1:${server.address().port}/u`;
  c.messages.push({ name: "f", value: "1" });
  c.addLocalFiles(["a", "b", "c", "d", "bad"].map((n) => ({ file: new Blob([n]), name: n, path: n })));
  c.addVirtualFile("/s/server.doc");
  c.setStored("ParallelCount", 3);
  c.setStored("RetryCount", 1);
  const run = new FileRun(c, { row() {}, progress() {} }, () => 10);
  assert.equal(run.rows.length, 5, "server entries are not listed");
  assert.equal(await run.start(), true);
  assert.deepEqual(run.rows.map((r) => r.state), [RowState.Done, RowState.Done, RowState.Done, RowState.Done, RowState.Failed]);
  assert.deepEqual(Object.fromEntries(seen), { "(fields)": 1, a: 2, b: 2, c: 2, d: 2, bad: 1 });
  assert.equal(most, 3);
  assert.equal(run.sent, run.total);
  // 재시도 sends the failed file alone; the fields are not sent again.
  assert.equal(await run.start(), true);
  assert.equal(seen.get("bad"), 2);
  assert.equal(seen.get("(fields)"), 1);

  // With KByteRate the run waits before a request until its average is within the limit.
  const waits = [];
  c.setStored("KByteRate", 1);
  c.setStored("ParallelCount", 1);
  c.entries.slice(0, 2).forEach((e) => { e.size = 2048; e.file = new Blob([new Uint8Array(2048)]); });
  const throttled = new FileRun(c, { row() {}, progress() {} }, () => 0, async (ms) => { waits.push(Math.round(ms)); }, () => 0);
  await throttled.start();
  assert.deepEqual(waits.slice(0, 2), [2000, 4000], "1 KB/s: 2 KiB sent means two seconds due, then four");
});

test("added names are made unique as the control makes them, and MaxUploadSize stops an add at the limit", () => {
  const c = new UploadCore(fetchTransport);
  const add = (name, size = 0) => c.addLocalFiles([{ file: new Blob([new Uint8Array(size)]), name, path: name }]);
  for (const name of ["a.txt", "A.TXT", "a(1).txt", "x.tar.gz", "x.tar.gz", "readme", "readme"]) add(name);
  assert.deepEqual(c.entries.map((e) => e.name), ["a.txt", "A(1).TXT", "a(1)(1).txt", "x.tar.gz", "x.tar(1).gz", "readme", "readme(1)."]);
  c.setStored("MaxUploadSize", 1);
  c.addVirtualFile("/big", "1048000");
  const before = c.FileCount;
  assert.equal(caught(() => add("over", 576)).code, "E01004");
  assert.equal(c.FileCount, before, "nothing added past the limit");
  add("fits", 575);
  assert.equal(c.FileCount, before + 1);
});

test("with ResumableURL each file goes first as an upload, a failed post resumes it, and the request names it", async () => {
  const bodies = [];
  const transport = async ({ body }) => { bodies.push(await body.text()); return { status: 200, body: new TextEncoder().encode("OK") }; };
  // A server's store: an upload per key, cut once in b.txt's middle.
  const store = new Map(), starts = [];
  let cut = true, refuse = true;
  const sender = {
    async discover() {},
    async upload(endpoint, file, hooks) {
      const record = store.get(file.key) ?? { id: `id${store.size}`, offset: 0 };
      store.set(file.key, record);
      starts.push([file.name, record.offset]);
      await hooks.beforeChunk();
      record.offset = Math.min(file.data.size, record.offset + 2);
      if (file.name === "b.txt" && cut) { cut = false; throw new TransportError("E04006", true); }
      if (file.name === "b.txt" && refuse) { refuse = false; throw new ServerAnswer(413, new TextEncoder().encode("too big")); }
      record.offset = file.data.size;
      hooks.onProgress(record.offset);
      return record.id;
    },
    async forget(files) { for (const f of files) store.delete(f.key); },
  };
  const c = new UploadCore(transport, undefined, undefined, sender);
  c.URL = "http://127.0.0.1:9/upload";
  const same = new Blob(["abcd"]);
  c.addLocalFiles([{ file: same, name: "a.txt", path: "a.txt" }, { file: same, name: "a.txt", path: "a.txt" }, { file: new Blob(["xyz12"]), name: "b.txt", path: "b.txt" }]);
  c.setStored("ResumableURL", "ftp://127.0.0.1/tus/");
  assert.deepEqual([await c.post(), c.errorCode, bodies.length], ["", "E04003", 0], "an endpoint that is no http address sends nothing");
  c.setStored("ResumableURL", "http://127.0.0.1:9/tus/");
  assert.deepEqual([await c.post(), c.errorCode, c.responseStatusCode, bodies.length, c.FileCount], ["", "E04006", -1, 0, 3]);
  assert.deepEqual([await c.post(), c.errorCode, c.responseStatusCode, bodies.length, c.FileCount], ["too big", "", 413, 0, 3],
    "the endpoint's refusal is the post's reply");
  assert.equal(await c.post(), "OK");
  assert.deepEqual(starts, [["a.txt", 0], ["a(1).txt", 0], ["b.txt", 0], ["a.txt", 4], ["a(1).txt", 4], ["b.txt", 2], ["a.txt", 4], ["a(1).txt", 4], ["b.txt", 4]],
    "the same file twice gets two uploads; the second post resumes each where it stood");
  assert.match(bodies[0], /name="_ZTUInfo"\r\n\r\n[^]*\r\n--[^]*name="_ZTUResumable"\r\n\r\na\.txt\|id0\|\r\na\(1\)\.txt\|id1\|\r\nb\.txt\|id2\|\r\n\r\n--/);
  assert.equal(bodies[0].match(/Content-Type: application\/octet-stream\r\n\r\n\r\n--/g).length, 3, "file parts go empty");
  assert.equal(store.size, 0, "a taken request leaves nothing to resume");
});
