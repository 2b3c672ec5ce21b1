'use strict';
// An upload endpoint for the ZTFileUpload control on Node's own http server.
//   ZTUPLOAD_DIR=/srv/uploads PORT=8080 node examples/http-server.js
const http = require('node:http');
const { handle } = require('./accept');

const server = http.createServer((req, res) => {
  handle(req, res).catch((e) => {
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
