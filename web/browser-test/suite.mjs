// node browser-test/suite.mjs chromium|firefox [screenshot folder]
// A page written for the control, through the loader, in a real headless
// browser against both kits: a person's keyboard walk (menu, file chooser,
// delete, post), a dropped folder (Chromium), attributes and fields,
// Post(false), Post(true) with its window, Cancel mid-way, the per-file
// window with three at once and retries, OpenFile (saved, in Chromium), a
// sort, and axe-core. Each kit's accounts must hold
// what the page listed, files by hash.
import puppeteer from "puppeteer-core";
import assert from "node:assert/strict";
import { mkdtempSync, mkdirSync, writeFileSync, readFileSync, readdirSync, existsSync } from "node:fs";
import { createHash, randomBytes } from "node:crypto";
import { createRequire } from "node:module";
import { tmpdir } from "node:os";
import { join } from "node:path";
import { startServers } from "./servers.mjs";

const engine = process.argv[2] ?? "chromium";
const shots = process.argv[3] ?? mkdtempSync(join(tmpdir(), "zt-shots-"));
mkdirSync(shots, { recursive: true });
const chromium = engine === "chromium";
const work = mkdtempSync(join(tmpdir(), `zt-${engine}-`));
const sha = (bytes) => createHash("sha256").update(bytes).digest("hex");

// The person's files: Korean names, a lone LF, an empty file, a folder with a subfolder.
const files = { "보고서.txt": Buffer.from("첫 줄\n둘째 줄\r\n"), "data.bin": randomBytes(300000), "empty.dat": Buffer.alloc(0) };
for (const [name, bytes] of Object.entries(files)) writeFileSync(join(work, name), bytes);
mkdirSync(join(work, "사진/sub"), { recursive: true });
writeFileSync(join(work, "사진/a.png"), randomBytes(5000));
writeFileSync(join(work, "사진/sub/deep.png"), randomBytes(10));
const big = join(work, "big.bin");
writeFileSync(big, randomBytes(48 << 20));
const slow = join(work, "slow.bin");
writeFileSync(slow, randomBytes(12 << 20));
const bytesOf = (name) => files[name] ?? readFileSync(join(work, name === "a.png" ? "사진/a.png" : name));

const servers = await startServers();
const browser = await puppeteer.launch(chromium
  ? { executablePath: "/usr/bin/chromium", userDataDir: join(work, "profile"),
      args: ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run", "--disable-background-networking",
        "--disable-component-update", "--disable-sync"] }
  : { browser: "firefox", executablePath: "/usr/bin/firefox-esr", protocol: "webDriverBiDi", headless: true, userDataDir: join(work, "profile") });
let failed = false;
try {
  for (const kit of ["php", "node"]) await walk(kit);
  console.log(`${engine}: every step passed; screenshots in ${shots}`);
} catch (e) {
  failed = true;
  console.error(e);
} finally {
  await browser.close();
  servers.stop();
}
process.exit(failed ? 1 : 0);

async function walk(kitName) {
  const kit = servers.kits[kitName];
  const page = await browser.newPage();
  page.setDefaultTimeout(20000);
  const errors = [];
  page.on("pageerror", (e) => errors.push(e.message));
  await page.setViewport({ width: 900, height: 700 });
  await page.goto(`${servers.origin}/browser-test/page.html?url=${encodeURIComponent(kit.url)}`);
  await page.waitForFunction(() => window.upload && upload.FileCount === 0);
  const shadowActive = () => page.evaluate(() => upload.shadowRoot.activeElement?.textContent ?? null);
  const state = () => page.evaluate(() => ({ count: upload.FileCount, code: upload.ErrorCode, status: upload.ResponseStatusCode }));

  // The keyboard only: Tab to the list, Shift+F10 for the menu, Enter on 파일열기, the chooser, Delete.
  await page.keyboard.press("Tab");
  await page.keyboard.down("Shift");
  await page.keyboard.press("F10");
  await page.keyboard.up("Shift");
  assert.equal(await shadowActive(), "파일열기", "the menu opens on its first command");
  const chooser = await choose(page, () => page.keyboard.press("Enter"));
  assert.ok(chooser.isMultiple());
  await chooser.accept([...Object.keys(files), "big.bin"].map((n) => join(work, n)));
  await page.waitForFunction(() => upload.FileCount === 4);
  await page.keyboard.press("ArrowDown"); // the newest row, at the top: big.bin
  assert.deepEqual(await page.evaluate(() => [upload.GetSelectedCount(), upload.GetSelectedFileName(0), upload.FileName]), [1, "big.bin", "big.bin"]);
  await page.keyboard.press("Delete");
  assert.equal((await state()).count, 3);
  assert.deepEqual(await page.evaluate(() => events.filter((e) => e[0] !== "ItemClick")),
    [["AfterAddFile", 0], ["AfterAddFile", 1], ["AfterAddFile", 2], ["AfterAddFile", 3], ["AfterAddFiles", 4], ["AfterDeleteFile", "big.bin", "big.bin"]]);

  // A dropped folder adds its own files, not its subfolder's (the DevTools protocol drops paths in Chromium only).
  if (chromium) {
    const host = await page.$("zt-file-upload");
    const box = await host.boundingBox();
    // Dropped as the person's mouse drops it (ElementHandle.drop does not carry paths).
    const cdp0 = await page.createCDPSession();
    const data = { items: [], files: [join(work, "사진")], dragOperationsMask: 1 };
    await page.mouse.move(box.x + 50, box.y + 80);
    for (const type of ["dragEnter", "dragOver", "drop"]) await cdp0.send("Input.dispatchDragEvent", { type, x: box.x + 50, y: box.y + 80, data });
    await page.waitForFunction(() => upload.FileCount === 4);
    assert.equal(await page.evaluate(() => { upload.FilePos = 3; return upload.FileName + " " + upload.FilePath; }), "a.png 사진/a.png");
  } else {
    await page.evaluate(() => upload.AddVirtualFileWithSize("/kept/a.png", "5000"));
  }

  // Attributes, fields, a server entry kept and one deleted; a browser cannot add by path.
  const refused = await page.evaluate(() => {
    try { upload.AddLocalFile("C:\\secret.txt"); } catch (e) { return [e.number, upload.ErrorCode, upload.FileCount]; }
  });
  assert.deepEqual(refused, [9001, "E09001", 4]);
  await page.evaluate(() => {
    upload.FilePos = 0;
    upload.SetFileAttr("author", "김|철수");
    // The control's 2 x n array, read as pages read it.
    const attrs = upload.GetFileAttrs();
    if (attrs.toArray().join() !== "author,김|철수" || attrs.map((r) => r.length).join() !== "1,1") throw new Error("GetFileAttrs");
    upload.SetFileAttr("메모", "첫\r\n줄");
    upload.AddMessage("title", "안녕 \"따옴표\"");
    upload.AddMessage("TITLE", "마지막 값");
    upload.AddVirtualFileWithSize("/docs/유지.doc", "2K");
    upload.AddVirtualFile("/docs/지울것.doc");
    upload.DeleteFile2("지울것.doc");
    upload.DeleteFilePos = 0;
    upload.SetDeleteFileAttr("author", "박");
  });
  const listed = await page.evaluate(() => {
    const rows = [];
    for (let i = 0; i < upload.FileCount; i++) {
      upload.FilePos = i;
      rows.push({ name: upload.FileName, size: upload.FileSize, local: upload.IsLocalFile, author: upload.GetFileAttr("author"), memo: upload.GetFileAttr("메모") });
    }
    return rows;
  });

  // Post(false): no window; the reply comes back through the Promise as from the control.
  const reply = await page.evaluate(() => Promise.resolve(upload.Post(false)));
  assert.equal(reply, "OK");
  assert.deepEqual(await state(), { count: 5, code: "", status: 200 });
  const expectedRows = listed.map((r) => ({ type: r.local ? "N" : "V", name: r.name, size: r.size,
    attributes: { author: r.author.replace("|", " "), "메모": r.memo.replace(/[\r\n]/g, " ") },
    file: r.local ? { size: bytesOf(r.name).length, sha256: sha(bytesOf(r.name)), stored: sha(bytesOf(r.name)) } : null }));
  expectedRows.push({ type: "D", name: "지울것.doc", size: 0, attributes: { author: "박", "메모": "" }, file: null });
  let accounts = kit.accounts();
  assert.equal(accounts.length, 1);
  assert.deepEqual(accounts[0].fields, [{ name: "title", value: "마지막 값" }]);
  assert.equal(accounts[0].encoding, "utf-8");
  assert.deepEqual(accounts[0].rows, expectedRows);

  // Post(true) from the page's button, by keyboard: the status window, then the reply.
  await page.evaluate(() => document.getElementById("send").focus());
  await page.keyboard.press("Enter");
  await page.waitForSelector(">>> dialog.status[open]");
  await page.screenshot({ path: join(shots, `${engine}-${kitName}-post-window.png`) });
  await page.waitForFunction(() => document.getElementById("status").textContent === "200 OK");
  accounts = kit.accounts();
  assert.equal(accounts.length, 2);
  assert.deepEqual(accounts[1].rows, expectedRows, "the same request again");

  // Cancel mid-way: a big file through a relay that passes it on slowly; the kit must store nothing.
  await page.evaluate((url) => { upload.URL = url; }, `${servers.origin}/relay?kit=${kitName}&mode=slow`);
  const bigChooser = await choose(page, () => page.click("#add"));
  await bigChooser.accept([big]);
  await page.waitForFunction(() => upload.FileCount === 6);
  const posted = page.evaluate(() => Promise.resolve(upload.Post(true)));
  await page.waitForFunction(() => {
    const p = upload.shadowRoot.querySelector("dialog.status progress");
    return p && p.value >= 1 && p.value < 60;
  });
  await page.screenshot({ path: join(shots, `${engine}-${kitName}-cancel.png`) });
  await page.click(">>> dialog.status button:last-child");
  assert.equal(await posted, "");
  assert.deepEqual(await state(), { count: 6, code: "I04001", status: -1 });
  await new Promise((r) => setTimeout(r, 500));
  assert.equal(kit.accounts().length, 2, "a cancelled post stores nothing");

  // The per-file window: three at once, each file failing its first try, RetryCount 1.
  await page.evaluate((url) => {
    upload.DeleteFile2("big.bin");
    upload.ClearMessage();
    upload.URL = url;
    upload.ParallelCount = 3;
    upload.RetryCount = 1;
  }, `${servers.origin}/relay?kit=${kitName}&mode=flaky`);
  servers.relay.tries.clear();
  servers.relay.most = 0;
  await page.click("#each");
  const start = await page.waitForSelector(">>> dialog.multi[open] button");
  await runAxe(page, "the per-file window");
  await start.click();
  await page.waitForFunction(() => upload.shadowRoot.querySelector("dialog.multi .buttons button:last-child").textContent === "Close");
  const states = await page.$$eval(">>> dialog.multi tbody tr td:last-child", (cells) => cells.map((c) => c.textContent));
  const locals = listed.filter((r) => r.local).length;
  assert.deepEqual(states, Array(locals).fill("완료"));
  await page.screenshot({ path: join(shots, `${engine}-${kitName}-per-file-window.png`) });
  assert.equal(servers.relay.most, 3);
  assert.deepEqual([...servers.relay.tries.values()], Array(locals).fill(2));
  const perFile = kit.accounts().slice(2);
  assert.deepEqual(perFile.map((a) => a.rows[0].name).sort(), listed.filter((r) => r.local).map((r) => r.name).sort());
  for (const a of perFile) assert.equal(a.rows[0].file.stored, sha(bytesOf(a.rows[0].name)));
  await page.click(">>> dialog.multi .buttons button:last-child");

  // OpenFile: the person confirms, and the server file is saved (where the browser's downloads go is set over CDP).
  const downloads = join(work, `downloads-${kitName}`);
  mkdirSync(downloads);
  if (chromium) await (await page.createCDPSession()).send("Browser.setDownloadBehavior", { behavior: "allow", downloadPath: downloads });
  await page.evaluate((url) => { upload.AddVirtualFile(url); upload.OpenFile(); }, `${servers.origin}/browser-test/served.txt`);
  await page.waitForSelector(">>> dialog[open] .pre");
  await runAxe(page, "the open/save window");
  if (chromium) {
    await page.click(">>> dialog[open] .buttons button:nth-child(2)");
    for (let i = 0; i < 100 && !existsSync(join(downloads, "served.txt")); i++) await new Promise((r) => setTimeout(r, 100));
    assert.equal(readFileSync(join(downloads, "served.txt"), "utf8"), readFileSync(new URL("served.txt", import.meta.url), "utf8"));
  } else {
    await page.click(">>> dialog[open] .buttons button:nth-child(3)");
  }

  // A column title sorts by its column, ascending first, reversed by the next click.
  const firstRow = () => page.$eval(">>> .row [role=gridcell]", (c) => c.textContent);
  await page.click(">>> [role=columnheader]:nth-child(3) button");
  assert.equal(await firstRow(), "served.txt", "server entries count as 0 bytes");
  await page.click(">>> [role=columnheader]:nth-child(3) button");
  assert.equal(await firstRow(), "data.bin");

  // The list, its menu and the page around them.
  assert.equal(await page.evaluate(() => upload.shadowRoot.querySelectorAll("dialog").length), 0, "every window closed");
  await page.evaluate(() => { upload.ListType = 4; });
  await runAxe(page, "the list");
  await page.screenshot({ path: join(shots, `${engine}-${kitName}-list.png`) });
  await resumable(page, kit, errors);
  assert.deepEqual(errors, []);
  await page.close();
}

// ResumableURL: the list by tus leaves the account the single request leaves;
// a file whose server is killed and started again mid-upload, and one whose
// page is reloaded mid-upload, arrive whole from one upload each (a single
// creation; the later chunks go on from the server's offset).
async function resumable(page, kit, errors) {
  const seen = errors.length;
  const log = [];
  page.on("request", (r) => {
    if (r.url().startsWith(kit.tus) && ["POST", "PATCH", "DELETE"].includes(r.method())) log.push([r.method(), Number(r.headers()["upload-offset"] ?? 0), r.headers()["upload-metadata"]]);
  });
  const post = (call) => page.evaluate((call) => Promise.resolve(call === "Post" ? upload.Post(false) : upload.PostFile()), call);
  const state = () => page.evaluate(() => [upload.ErrorCode, upload.ResponseStatusCode]);
  const secondChunk = () => page.waitForRequest((r) => r.method() === "PATCH" && r.url().startsWith(kit.tus) && r.headers()["upload-offset"] !== "0");
  await page.evaluate((url) => { upload.URL = url; upload.ParallelCount = 2; upload.RetryCount = 5; }, kit.url);
  await post("Post");
  assert.equal(await page.evaluate((tus) => { upload.ResumableURL = tus; return Promise.resolve(upload.Post(false)); }, kit.tus), "OK");
  const [single, byTus] = kit.accounts().slice(-2);
  assert.deepEqual(byTus, single, "by tus, the account of the single request");
  const locals = byTus.rows.filter((r) => r.file).length;
  assert.equal(log.filter(([m]) => m === "POST").length, locals, "the files went by tus");
  // As the control: no tus there fails as a connection, a bad answer is E04010, a refusal is the reply; the list stays.
  const count = await page.evaluate(() => upload.FileCount);
  for (const [tus, want] of [["/", ["E04003", -1, ""]], ["/tus-stub?away", ["E04010", -1, ""]], ["/tus-stub?made", ["E04010", -1, ""]], ["/tus-stub", ["", 413, "too big"]]]) {
    assert.deepEqual(await page.evaluate(async (tus) => { upload.ResumableURL = tus; const text = await Promise.resolve(upload.Post(false));
      return [upload.ErrorCode, upload.ResponseStatusCode, text, upload.FileCount]; }, servers.origin + tus), [...want, count], tus);
  }
  await page.evaluate((tus) => { upload.ResumableURL = tus; }, kit.tus);

  // The per-file window, each file's request refused once: the retry names the same upload again.
  log.length = 0;
  servers.relay.tries.clear();
  await page.evaluate((url) => { upload.URL = url; }, `${servers.origin}/relay?kit=${kit.name}&mode=flaky`);
  await page.click("#each");
  await (await page.waitForSelector(">>> dialog.multi[open] button")).click();
  await page.waitForFunction(() => upload.shadowRoot.querySelector("dialog.multi .buttons button:last-child").textContent === "Close");
  assert.deepEqual(await page.$$eval(">>> dialog.multi tbody tr td:last-child", (cells) => cells.map((c) => c.textContent)), Array(locals).fill("완료"));
  await page.click(">>> dialog.multi .buttons button:last-child");
  assert.deepEqual([...servers.relay.tries.values()], Array(locals).fill(2));
  // tus-js-client keeps no record of an empty upload: that one, which carries no byte, is made anew.
  assert.equal(log.filter(([m, , about]) => m === "POST" && !about.endsWith(`size ${btoa("0")}`)).length, locals - 1, "no file uploaded twice");
  for (const a of kit.accounts().slice(-locals)) assert.deepEqual(a.rows[0].file, byTus.rows.find((r) => r.name === a.rows[0].name).file);

  // Post(true): Stop holds between chunks, Cancel removes the upload from the server.
  await page.evaluate((url) => { upload.URL = url; upload.KByteRate = 4096; }, kit.url);
  await (await choose(page, () => page.click("#add"))).accept([slow]);
  const stored = kit.accounts().length;
  log.length = 0;
  const cancelled = page.evaluate(() => Promise.resolve(upload.Post(true)));
  await secondChunk();
  await page.click(">>> dialog.status .buttons button:first-child");
  const held = log.length;
  await page.screenshot({ path: join(shots, `${engine}-${kit.name}-tus-stopped.png`) });
  await new Promise((r) => setTimeout(r, 1500));
  assert.equal(log.length, held, "no chunk while stopped");
  await page.click(">>> dialog.status .buttons button:last-child");
  assert.equal(await cancelled, "");
  assert.deepEqual(await state(), ["I04001", -1]);
  assert.deepEqual(log.filter(([m]) => m === "DELETE").length, 1, "the cancelled upload is removed");
  assert.equal(kit.accounts().length, stored);

  await page.evaluate(() => { upload.FilePos = upload.FindFilePos("slow.bin"); });
  log.length = 0;
  const cut = post("PostFile");
  await secondChunk();
  await kit.restart();
  await cut;
  const whole = { size: 12 << 20, sha256: sha(readFileSync(slow)), stored: sha(readFileSync(slow)) };
  assert.deepEqual([(await state())[1], kit.accounts().at(-1).rows.map((r) => r.file)], [200, [whole]]);
  assert.equal(log.filter(([m]) => m === "POST").length, 1, "a server restarted mid-upload: the same upload goes on");

  log.length = 0;
  post("PostFile").catch(() => {});
  await secondChunk();
  await page.reload();
  log.length = 0;
  await page.waitForFunction(() => window.upload && upload.FileCount === 0);
  await (await choose(page, () => page.click("#add"))).accept([slow]);
  await page.evaluate((tus) => { upload.ResumableURL = tus; upload.RetryCount = 5; }, kit.tus);
  await post("PostFile");
  assert.deepEqual([(await state())[1], kit.accounts().at(-1).rows.map((r) => r.file)], [200, [whole]]);
  assert.ok(log.length && log.every(([m, offset]) => m === "PATCH" && offset > 0), `a reloaded page resumes: ${JSON.stringify(log)}`);
  // Firefox reports each request cut (by the restart, the reload, Cancel) as a page error.
  for (const e of errors.splice(seen)) assert.match(e, /CORS request did not succeed/);
}

// The person's action that opens the chooser. Over CDP the interception is
// switched on asynchronously by the first wait, so the walk switches it on
// first (it stays on); WebDriver BiDi listens from the start.
async function choose(page, action) {
  if (chromium) await page._client().send("Page.setInterceptFileChooserDialog", { enabled: true });
  const [chooser] = await Promise.all([page.waitForFileChooser(), action()]);
  return chooser;
}

async function runAxe(page, what) {
  const require = createRequire(import.meta.url);
  await page.addScriptTag({ path: require.resolve("axe-core/axe.min.js") });
  const violations = await page.evaluate(async () => (await axe.run(document)).violations.map((v) => `${v.id}: ${v.nodes.map((n) => n.target.join(" ")).join(", ")}`));
  assert.deepEqual(violations, [], `axe on ${what}`);
}
