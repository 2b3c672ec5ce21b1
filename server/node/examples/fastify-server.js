'use strict';
// The same endpoint in Fastify. Fastify refuses multipart bodies unless a
// parser is named for them: this one leaves the stream unread for the kit,
// and the route answers on Node's own response.
//   ZTUPLOAD_DIR=/srv/uploads PORT=8080 node examples/fastify-server.js
const Fastify = require('fastify');
const { handle } = require('./accept');

const app = Fastify({ requestTimeout: 0 });
app.addContentTypeParser('multipart/form-data', (_request, _payload, done) => done(null));
app.post('/upload', async (request, reply) => {
  reply.hijack();
  await handle(request.raw, reply.raw);
});
app.listen({ port: Number(process.env.PORT || 8080), host: '127.0.0.1' }).then(() => {
  console.log(`PORT ${app.server.address().port}`);
});
