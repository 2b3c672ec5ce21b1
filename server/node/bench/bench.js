'use strict';
// The Node kit under load, each figure beside a reference measured in the
// same run: a large upload through the kit (hashing off) against bare busboy
// writing to disk, with each server's peak memory; then three hostile
// requests (30,000 parts, 600 MiB of fields, a 9 MB manifest) sent while
// another client uploads, against the same upload alone.
//   node bench/bench.js [MiB, default 500]
const { execFileSync, spawn } = require('node:child_process');
const fs = require('node:fs');
const net = require('node:net');
const os = require('node:os');
const path = require('node:path');

const mib = Number(process.argv[2] || 500);
const B = 'benchb0undary';
const work = process.argv[2] === 'attack' ? null : fs.mkdtempSync(path.join(os.tmpdir(), 'zt-node-bench-'));

function start(mode) {
  const folder = fs.mkdtempSync(path.join(work, `${mode}-`));
  const child = spawn(process.execPath, [path.join(__dirname, 'server.js'), mode, folder], { stdio: ['ignore', 'pipe', 'inherit'] });
  return new Promise((resolve) => child.stdout.on('data', (d) => {
    const m = /PORT (\d+)/.exec(d);
    if (m) resolve({ child, port: Number(m[1]), folder });
  }));
}
const peakKiB = (child) => Number(/VmHWM:\s+(\d+)/.exec(fs.readFileSync(`/proc/${child.pid}/status`, 'utf8'))[1]);

// Posts pieces (next() gives the next Buffer, or null at the end) on a socket of
// its own; stops sending once an answer comes or the server closes.
function post(port, length, next) {
  return new Promise((resolve) => {
    const began = process.hrtime.bigint();
    const socket = net.connect(port, '127.0.0.1');
    const reply = [];
    let stop = false, answered = 0;
    socket.on('data', (d) => {
      reply.push(d);
      stop = true;
      answered ||= Number(process.hrtime.bigint() - began) / 1e9;
    });
    socket.on('error', () => { stop = true; });
    socket.on('close', () => {
      const text = Buffer.concat(reply).toString('latin1');
      resolve({ status: Number(text.split(' ')[1]) || 0, text: text.split('\r\n\r\n')[1] || '(connection closed)',
        seconds: answered || Number(process.hrtime.bigint() - began) / 1e9 });
    });
    socket.write(`POST /upload HTTP/1.0\r\nContent-Type: multipart/form-data; boundary=${B}\r\n`
      + `Accept-Language: utf-8\r\nContent-Length: ${length}\r\n\r\n`);
    (async () => {
      for (let piece; !stop && (piece = await next()) !== null;) {
        if (!socket.write(piece)) {
          await new Promise((r) => {
            const go = () => { socket.off('drain', go); socket.off('close', go); r(); };
            socket.on('drain', go).on('close', go);
          });
        }
      }
    })().catch(() => {});
  });
}

function upload(port, bytes) {
  const head = Buffer.from(`--${B}\r\nContent-Disposition: form-data; name="_ZTUInfo"\r\n\r\nType|FileName|Size|\r\nN|big.bin|${bytes}|\r\n\r\n`
    + `--${B}\r\nContent-Disposition: form-data; name="big.bin"; filename="big.bin"\r\nContent-Type: application/octet-stream\r\n\r\n`);
  const tail = Buffer.from(`\r\n--${B}--\r\n`);
  const chunk = Buffer.alloc(1 << 20, 0x5a);
  let sent = -1;
  return post(port, head.length + bytes + tail.length, async () => {
    if (sent < 0) { sent = 0; return head; }
    if (sent >= bytes) { if (sent === bytes) { sent++; return tail; } return null; }
    const piece = chunk.subarray(0, Math.min(chunk.length, bytes - sent));
    sent += piece.length;
    return piece;
  });
}

// A hostile body of `count` pieces made by make(i), declared no shorter than it is.
function hostile(port, count, make, length) {
  let i = 0;
  return post(port, length, async () => (i < count ? make(i++) : i++ === count ? Buffer.from(`--${B}--\r\n`) : null));
}

async function attack(port) {
  const s = { port };
  const field = (name, value) => Buffer.concat([Buffer.from(`--${B}\r\nContent-Disposition: form-data; name="${name}"\r\n\r\n`), value, Buffer.from('\r\n')]);
  const small = (i) => field(`f${i}`, Buffer.from('v'.repeat(120)));
  const mibField = Buffer.alloc(1 << 20, 0x61);
  const row = Buffer.from('N|' + 'n'.repeat(80) + '.txt|5|\r\n');
  let rows = 0, manifestBytes = 0;
  const attacks = {
    '30,000 parts (5 MB)': hostile(s.port, 30000, small, 30000 * small(29999).length + 100),
    '600 MiB of fields': hostile(s.port, 600, (i) => field(`m${i}`, mibField), 600 * (mibField.length + 60) + 100),
    '9 MB manifest': post(s.port, 9e6 + 2000 * row.length, async () => {
      if (rows === 0) { rows++; return Buffer.from(`--${B}\r\nContent-Disposition: form-data; name="_ZTUInfo"\r\n\r\nType|FileName|Size|\r\n`); }
      if (manifestBytes > 9e6) return null;
      const batch = [];
      for (let k = 0; k < 1000; k++) batch.push(Buffer.from(`N|${rows++}` + row.toString().slice(2)));
      manifestBytes += batch.reduce((n, b) => n + b.length, 0);
      return Buffer.concat(batch);
    }),
  };
  for (const [name, request] of Object.entries(attacks)) {
    const r = await request;
    console.log(`${name.padEnd(22)} answered ${r.status} ${r.text} ${r.seconds.toFixed(2)} s after it began`);
  }
}

if (process.argv[2] === 'attack') attack(Number(process.argv[3]));
else (async () => {
  try {
    const bytes = mib << 20;
    const rate = (r) => (bytes / r.seconds / 1048576).toFixed(1);
    console.log(`== the Node kit: a ${mib} MiB upload, the kit (hashing off) and bare busboy writing to disk, each in a server of its own`);
    const ratios = [];
    const seconds = {};
    for (let round = 1; round <= 3; round++) {
      // Each run from a clean page cache's writeback, the order turned each round.
      for (const mode of round % 2 ? ['busboy', 'kit'] : ['kit', 'busboy']) {
        execFileSync('sync');
        const s = await start(mode);
        const r = await upload(s.port, bytes);
        console.log(`round ${round} ${mode.padEnd(6)} ${r.status} ${r.seconds.toFixed(2)} s ${rate(r)} MiB/s, server peak ${Math.round(peakKiB(s.child) / 1024)} MiB`);
        s.child.kill();
        fs.rmSync(s.folder, { recursive: true, force: true });
        seconds[mode] = r.seconds;
      }
      ratios.push(seconds.busboy / seconds.kit);
    }
    console.log(`kit / bare busboy throughput, median of 3: ${ratios.sort((a, b) => a - b)[1].toFixed(2)} (wanted: at least 0.9)`);

    console.log('\n== hostile requests while another client uploads 200 MiB (the kit\'s http server, default limits)');
    const s = await start('kit');
    const other = 200 << 20;
    const alone = await upload(s.port, other);
    // The attacker in a process of its own, so that its making of bodies is not the other client's cost.
    const attacker = spawn(process.execPath, [__filename, 'attack', String(s.port)], { stdio: ['ignore', 'inherit', 'inherit'] });
    const beside = upload(s.port, other);
    await new Promise((r) => attacker.on('exit', r));
    const during = await beside;
    console.log(`the other upload: alone ${rate({ seconds: alone.seconds * bytes / other })} MiB/s, beside the attacks ${rate({ seconds: during.seconds * bytes / other })} MiB/s (${during.status}); ratio ${(alone.seconds / during.seconds).toFixed(2)}`);
    console.log(`server peak memory through all of it: ${Math.round(peakKiB(s.child) / 1024)} MiB`);
    s.child.kill();
  } finally {
    fs.rmSync(work, { recursive: true, force: true });
  }
})();
