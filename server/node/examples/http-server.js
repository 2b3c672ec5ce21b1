'use strict';
// An upload endpoint for the ZTFileUpload control on Node's own http server.
//   ZTUPLOAD_DIR=/srv/uploads PORT=8080 node examples/http-server.js
const http = require('node:http');
const path = require('node:path');
const { handle } = require('./accept');

const folder = process.env.ZTUPLOAD_DIR || path.join(__dirname, 'uploads');
const server = http.createServer((req, res) => {
  handle(req, res, folder).catch((e) => {
    console.error(e);
    if (!res.headersSent) res.writeHead(500);
    res.end();
  });
});
// A user may pause an upload for minutes with the connection open.
server.requestTimeout = 0;
server.listen(Number(process.env.PORT || 8080), '127.0.0.1', () => {
  console.log(`PORT ${server.address().port}`);
});
