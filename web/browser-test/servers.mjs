// The servers a browser test needs: the twin's files on one origin (with a
// relay that fails first tries or trickles), and the PHP and Node kits'
// examples on origins of their own, answering CORS for the first.
import { spawn } from "node:child_process";
import { createServer, request } from "node:http";
import { readFile } from "node:fs/promises";
import { mkdtempSync, readdirSync, readFileSync } from "node:fs";
import { tmpdir } from "node:os";
import { join, extname, normalize } from "node:path";
import { createHash } from "node:crypto";

const web = new URL("../", import.meta.url).pathname;
const repo = new URL("../../", import.meta.url).pathname;
const TYPES = { ".html": "text/html; charset=utf-8", ".js": "text/javascript", ".txt": "text/plain" };

function listen(server) {
  return new Promise((resolve) => server.listen(0, "127.0.0.1", () => resolve(server.address().port)));
}

async function waitForPort(port) {
  for (let i = 0; i < 100; i++) {
    const up = await new Promise((r) => request({ port, host: "127.0.0.1", method: "OPTIONS" }, (res) => { res.resume(); r(true); }).on("error", () => r(false)).end());
    if (up) return;
    await new Promise((r) => setTimeout(r, 100));
  }
  throw new Error(`nothing answers on ${port}`);
}

async function startKit(kit, origin) {
  const dir = mkdtempSync(join(tmpdir(), `zt-${kit}-`));
  const probe = createServer();
  const port = await listen(probe);
  await new Promise((r) => probe.close(r));
  const env = { ...process.env, ZTUPLOAD_DIR: dir, ZTUPLOAD_CORS_ORIGIN: origin, PORT: String(port) };
  const launch = () => kit === "php"
    ? spawn("php", ["-d", "enable_post_data_reading=0", "-S", `127.0.0.1:${port}`, "-t", join(repo, "server/php"), join(repo, "server/php/receive.php")], { env, stdio: "ignore" })
    : spawn(process.execPath, [join(repo, "server/node/examples/http-server.js")], { env, stdio: "ignore" });
  let child = launch();
  await waitForPort(port);
  return {
    name: kit,
    url: `http://127.0.0.1:${port}${kit === "php" ? "/receive.php" : "/upload"}`,
    tus: `http://127.0.0.1:${port}/tus/`,
    port,
    /** Killed at once, as a crash kills it, and started again on the same port and folder. */
    async restart() {
      const gone = new Promise((r) => child.once("exit", r));
      child.kill("SIGKILL");
      await gone;
      child = launch();
      await waitForPort(port);
    },
    /** The accounts the example wrote, in arrival order, each stored file replaced by its hash. */
    accounts() {
      return readdirSync(dir).filter((n) => n.endsWith(".json")).sort().map((n) => {
        const account = JSON.parse(readFileSync(join(dir, n), "utf8"));
        for (const row of account.rows) if (row.file) {
          row.file.stored = createHash("sha256").update(readFileSync(join(dir, row.file.stored))).digest("hex");
        }
        return account;
      });
    },
    stop: () => child.kill(),
  };
}

export async function startServers() {
  const relay = { tries: new Map(), open: 0, most: 0 };
  const site = createServer(async (req, res) => {
    const url = new URL(req.url, "http://site");
    if (req.method === "POST" && url.pathname === "/relay") {
      // A cancelled upload ends the relay's reading with ECONNRESET: nothing to answer then.
      return relayPost(req, res, url, relay, kits).catch(() => res.destroy());
    }
    if (url.pathname === "/tus-stub") {
      // Speaks tus, then names an upload on another origin (?away), answers 200 to a creation (?made), or refuses.
      const tus = { "Tus-Resumable": "1.0.0", "Tus-Version": "1.0.0", "Tus-Extension": "creation", "Content-Type": "text/plain" };
      if (req.method === "OPTIONS") return res.writeHead(204, tus).end();
      const away = url.search === "?away";
      if (req.method === "POST" && url.search) return res.writeHead(away ? 201 : 200, { ...tus, Location: away ? "http://elsewhere.invalid/files/abc" : "/tus-stub/abc" }).end();
      return res.writeHead(413, tus).end("too big");
    }
    try {
      const path = normalize(join(web, url.pathname));
      if (!path.startsWith(web)) throw new Error("outside");
      const body = await readFile(path);
      res.writeHead(200, { "Content-Type": TYPES[extname(path)] ?? "application/octet-stream" }).end(body);
    } catch {
      res.writeHead(404).end();
    }
  });
  const port = await listen(site);
  const origin = `http://127.0.0.1:${port}`;
  const kits = { php: await startKit("php", origin), node: await startKit("node", origin) };
  return { origin, kits, relay, stop: () => { site.closeAllConnections(); site.close(); kits.php.stop(); kits.node.stop(); } };
}

// POST /relay?kit=node&mode=flaky|slow: to the kit, failing each file's first
// try with 503 (flaky) or passing the body on slowly (slow), so that a person
// can cancel mid-way.
async function relayPost(req, res, url, relay, kits) {
  const kit = kits[url.searchParams.get("kit")];
  const mode = url.searchParams.get("mode");
  // Only the per-file run's requests count: a cancelled slow post may still be closing.
  let open = mode === "flaky";
  if (open) relay.most = Math.max(relay.most, ++relay.open);
  res.on("close", () => { if (open) relay.open--; open = false; });
  const forward = () => {
    const upstream = request(kit.url, { method: "POST", headers: { "content-type": req.headers["content-type"],
      "accept-language": req.headers["accept-language"], "content-length": req.headers["content-length"] } }, (reply) => {
      res.writeHead(reply.statusCode, reply.headers);
      reply.pipe(res);
    });
    upstream.on("error", () => res.destroy());
    req.on("close", () => { if (!req.complete) upstream.destroy(); });
    return upstream;
  };
  if (mode === "slow") {
    const upstream = forward();
    for await (const chunk of req) {
      upstream.write(chunk);
      await new Promise((r) => setTimeout(r, 20));
    }
    return upstream.end();
  }
  const chunks = [];
  for await (const chunk of req) chunks.push(chunk);
  const body = Buffer.concat(chunks);
  const name = /\r\nN\|([^|]*)\|/.exec(body.toString("latin1"))?.[1] ?? "";
  const tries = (relay.tries.get(name) ?? 0) + 1;
  relay.tries.set(name, tries);
  if (mode === "flaky" && name && tries === 1) return setTimeout(() => res.writeHead(503).end("busy"), 100);
  forward().end(body);
}
