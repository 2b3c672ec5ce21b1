import puppeteer from "puppeteer-core";
import { createServer } from "node:http";
import { readFile } from "node:fs/promises";
import { mkdtempSync } from "node:fs";
import { tmpdir } from "node:os";
import { join, extname } from "node:path";
const root = new URL("../", import.meta.url).pathname;
const srv = createServer(async (req, res) => {
  try { const body = await readFile(join(root, new URL(req.url, "http://x").pathname));
    res.writeHead(200, { "Content-Type": { ".html": "text/html; charset=utf-8", ".js": "text/javascript" }[extname(req.url.split("?")[0])] ?? "application/octet-stream" }).end(body);
  } catch { res.writeHead(404).end(); }
}).listen(0, "127.0.0.1");
await new Promise((r) => srv.on("listening", r));
const browser = await puppeteer.launch({ executablePath: "/usr/bin/chromium", args: ["--headless", "--no-sandbox", "--disable-gpu", `--user-data-dir=${mkdtempSync(join(tmpdir(), "zt-chr-"))}`] });
const page = await browser.newPage();
page.on("console", (m) => console.log("console:", m.text()));
page.on("pageerror", (e) => console.log("pageerror:", e.message));
await page.goto(`http://127.0.0.1:${srv.address().port}/browser-test/page.html?url=http://127.0.0.1:1/x`);
await page.waitForFunction(() => window.upload);
console.log(await page.evaluate(() => { upload.AddVirtualFile("/a/b.doc"); upload.AddVirtualFileWithSize("/a/c.png", "3K"); return [upload.FileCount, upload.FileName, upload.ListType, upload.URL, upload.Port, JSON.stringify(events)]; }));
await page.screenshot({ path: "/tmp/zt-smoke.png" });
await browser.close(); srv.close();
