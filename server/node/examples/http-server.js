'use strict';
// An upload endpoint for the ZTFileUpload control on Node's own http server,
// with a tus endpoint under /tus/ for the control's ResumableURL (it needs
// `npm install @tus/server @tus/file-store`).
//   ZTUPLOAD_DIR=/srv/uploads PORT=8080 node examples/http-server.js
const http = require('node:http');
const { handle, tusDir } = require('./accept');

async function main() {
  // Both are ES modules: imported, not required.
  const { Server } = await import('@tus/server');
  const { FileStore } = await import('@tus/file-store');
  // Unfinished uploads are files in tusDir: a restarted server goes on with
  // them. Upload URLs are made from the Host the client sent.
  // Uploads nobody names within a week are removed, checked hourly: a client
  // that never finishes cannot fill the disk for good.
  const week = 7 * 24 * 3600 * 1000;
  // Like the upload page, it answers another origin's page only when ZTUPLOAD_CORS_ORIGIN names it.
  const tus = new Server({ path: '/tus', datastore: new FileStore({ directory: tusDir, expirationPeriodInMilliseconds: week }),
    allowedOrigins: (origin) => origin === process.env.ZTUPLOAD_CORS_ORIGIN });
  setInterval(() => tus.cleanUpExpiredUploads().catch((e) => console.error(e)), 3600 * 1000).unref();

  const server = http.createServer((req, res) => {
    const answer = req.url === '/tus' || req.url.startsWith('/tus/') || req.url.startsWith('/tus?')
      ? tus.handle(req, res) : handle(req, res);
    answer.catch((e) => {
      console.error(e);
      if (!res.headersSent) res.writeHead(500);
      res.end();
    });
  });
  // A user may pause an upload for minutes with the connection open; the kit's
  // idleTimeout gives up a stalled one.
  server.requestTimeout = 0;
  server.listen(Number(process.env.PORT || 8080), '127.0.0.1', () => {
    console.log(`PORT ${server.address().port}`);
  });
}

main().catch((e) => {
  console.error(e);
  process.exit(1);
});
