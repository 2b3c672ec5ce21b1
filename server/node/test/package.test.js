'use strict';
// The package as npm publishes it: packed, installed from the tarball into an
// empty project (its dependencies from npm's cache or registry), and used.
const test = require('node:test');
const assert = require('node:assert');
const { execFileSync } = require('node:child_process');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');

test('npm pack gives a package that installs into an empty project and reads a request', (t) => {
  const project = fs.mkdtempSync(path.join(os.tmpdir(), 'zt-node-pack-'));
  t.after(() => fs.rmSync(project, { recursive: true, force: true }));
  const npm = (...args) => execFileSync('npm', [...args, '--no-audit', '--no-fund', '--loglevel=error'],
    { cwd: project, encoding: 'utf8' });
  const tarball = path.join(project, npm('pack', path.join(__dirname, '..'), '--pack-destination', project).trim().split('\n').pop());
  fs.writeFileSync(path.join(project, 'package.json'), '{"name": "empty", "private": true}');
  npm('install', '--prefer-offline', tarball);
  fs.writeFileSync(path.join(project, 'try.js'), `
    const fs = require('node:fs');
    const { Readable } = require('node:stream');
    const { readUpload } = require('ztfileupload-server');
    const raw = fs.readFileSync(process.argv[2]);
    const end = raw.indexOf('\\r\\n\\r\\n');
    const type = /^Content-Type: (.*)$/mi.exec(raw.subarray(0, end).toString())[1].trim();
    readUpload(Readable.from([raw.subarray(end + 4)]), { headers: { 'content-type': type, 'accept-language': 'utf-8' }, tmpDir: __dirname })
      .then(async (u) => { console.log(JSON.stringify(u)); await u.discard(); });`);
  const fixture = path.join(__dirname, '..', '..', 'fixtures', 'x-php-brackets');
  const got = execFileSync(process.execPath, ['try.js', `${fixture}.http`], { cwd: project, encoding: 'utf8' });
  assert.deepStrictEqual(JSON.parse(got), JSON.parse(fs.readFileSync(`${fixture}.json`)));
});
