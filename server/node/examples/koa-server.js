'use strict';
// The same endpoint in Koa. No body parser may run before it; the handler
// answers on Node's own response, so Koa is told not to.
//   ZTUPLOAD_DIR=/srv/uploads PORT=8080 node examples/koa-server.js
const Koa = require('koa');
const { handle } = require('./accept');

const app = new Koa();
app.use(async (ctx, next) => {
  if (ctx.path !== '/upload') return next();
  ctx.respond = false;
  await handle(ctx.req, ctx.res);
});
const server = app.listen(Number(process.env.PORT || 8080), '127.0.0.1', () => {
  console.log(`PORT ${server.address().port}`);
});
server.requestTimeout = 0;
