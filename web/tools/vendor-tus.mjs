// Copies tus-js-client's browser bundle into dist/vendor/ as an ES module, so
// that the element loads it by a relative path with no bundler and no import
// map. The bundle is UMD: given a module object of its own, it fills that in.
import { mkdirSync, readFileSync, writeFileSync } from "node:fs";
import { createRequire } from "node:module";
import { dirname, join } from "node:path";

const require = createRequire(import.meta.url);
const home = dirname(require.resolve("tus-js-client/package.json"));
const { version } = JSON.parse(readFileSync(join(home, "package.json"), "utf8"));
const licence = readFileSync(join(home, "LICENSE"), "utf8").trim();
const bundle = readFileSync(join(home, "dist/tus.min.js"), "utf8");
const out = new URL("../dist/vendor/", import.meta.url);
mkdirSync(out, { recursive: true });
writeFileSync(new URL("tus-js-client.js", out),
  `/*! tus-js-client ${version}\n${licence}\n*/\n` +
  "const module = { exports: {} };\nconst exports = module.exports;\n" +
  `${bundle.replace(/\n\/\/# sourceMappingURL=.*$/, "")}\nexport default module.exports;\n`);
