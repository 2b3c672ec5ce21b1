'use strict';
// The same endpoint in an Express application. No body parser may run
// before it: the kit reads the request stream itself.
//   ZTUPLOAD_DIR=/srv/uploads PORT=8080 node examples/express-server.js
const express = require('express');
const { handle } = require('./accept');

const app = express();
app.post('/upload', (req, res, next) => handle(req, res).catch(next));
const server = app.listen(Number(process.env.PORT || 8080), '127.0.0.1', () => {
  console.log(`PORT ${server.address().port}`);
});
server.requestTimeout = 0;
