'use strict';
// The same endpoint in an Express application. No body parser may run
// before it: the kit reads the request stream itself.
//   ZTUPLOAD_DIR=/srv/uploads PORT=8080 node examples/express-server.js
const express = require('express');
const path = require('node:path');
const { handle } = require('./accept');

const folder = process.env.ZTUPLOAD_DIR || path.join(__dirname, 'uploads');
const app = express();
app.post('/upload', (req, res, next) => handle(req, res, folder).catch(next));
const server = app.listen(Number(process.env.PORT || 8080), '127.0.0.1', () => {
  console.log(`PORT ${server.address().port}`);
});
server.requestTimeout = 0;
