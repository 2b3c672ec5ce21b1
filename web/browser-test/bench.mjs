// node browser-test/bench.mjs [MiB, default 256]
// The twin's Post(false) of one big file in headless Chromium against a bare
// XMLHttpRequest of a body of the same size, both to a loopback sink on the
// page's own origin, in alternating rounds; prints both and their ratio.
import puppeteer from "puppeteer-core";
import { createServer } from "node:http";
import { readFile } from "node:fs/promises";
import { mkdtempSync } from "node:fs";
import { tmpdir } from "node:os";
import { join, extname, normalize } from "node:path";

const mib = Number(process.argv[2] ?? 256);
const rounds = 3;
const web = new URL("../", import.meta.url).pathname;
const server = createServer(async (req, res) => {
  if (req.method === "POST") {
    let bytes = 0;
    req.on("data", (d) => (bytes += d.length));
    return req.on("end", () => res.writeHead(200, { "Content-Type": "text/plain; charset=utf-8" }).end(`OK ${bytes}`));
  }
  try {
    const path = normalize(join(web, new URL(req.url, "http://x").pathname));
    if (!path.startsWith(web)) throw new Error("outside");
    const body = await readFile(path);
    res.writeHead(200, { "Content-Type": { ".html": "text/html; charset=utf-8", ".js": "text/javascript" }[extname(path)] ?? "application/octet-stream" }).end(body);
  } catch {
    res.writeHead(404).end();
  }
});
await new Promise((r) => server.listen(0, "127.0.0.1", r));
const origin = `http://127.0.0.1:${server.address().port}`;
const browser = await puppeteer.launch({ executablePath: "/usr/bin/chromium", userDataDir: mkdtempSync(join(tmpdir(), "zt-bench-")),
  args: ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run", "--disable-background-networking",
    "--disable-component-update", "--disable-sync"] });
try {
  const page = await browser.newPage();
  page.setDefaultTimeout(600000);
  await page.goto(`${origin}/browser-test/page.html?url=${encodeURIComponent(origin + "/sink")}`);
  await page.waitForFunction(() => window.upload);
  const timings = await page.evaluate(async (mib, rounds) => {
    const data = new Blob([new Uint8Array(mib << 20).fill(120)]);
    upload.core.addLocalFiles([{ file: data, name: "big.bin", path: "big.bin" }]);
    const bare = () => new Promise((resolve, reject) => {
      // The same size as the twin's body: one file part and the manifest around it.
      const head = new Blob(["x".repeat(400)]);
      const xhr = new XMLHttpRequest();
      xhr.open("POST", "/sink");
      xhr.setRequestHeader("Content-Type", "multipart/form-data; boundary=b");
      xhr.onload = resolve;
      xhr.onerror = reject;
      xhr.send(new Blob([head, data]));
    });
    const time = async (f) => { const t = performance.now(); await f(); return performance.now() - t; };
    const out = { twin: [], bare: [] };
    for (let i = 0; i < rounds; i++) {
      out.bare.push(await time(bare));
      out.twin.push(await time(() => upload.Post(false)));
      if (upload.ResponseStatusCode !== 200) throw new Error(`twin: ${upload.ErrorCode} ${upload.ResponseStatusCode}`);
    }
    return out;
  }, mib, rounds);
  const median = (xs) => xs.slice().sort((a, b) => a - b)[Math.floor(xs.length / 2)];
  const rate = (ms) => (mib / (ms / 1000)).toFixed(0);
  const twin = median(timings.twin), bare = median(timings.bare);
  console.log(`twin Post(false), ${mib} MiB, median of ${rounds}: ${rate(twin)} MiB/s`);
  console.log(`bare XMLHttpRequest of the same size, median of ${rounds}: ${rate(bare)} MiB/s`);
  console.log(`twin / bare throughput: ${(bare / twin).toFixed(2)} (wanted: at least 0.95)`);
} finally {
  await browser.close();
  server.close();
}
