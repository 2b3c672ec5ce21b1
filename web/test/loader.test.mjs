// The loader's choice and what it writes, run as a classic script in a
// made-up IE11 window and a made-up current browser.
import { test } from "node:test";
import assert from "node:assert/strict";
import { readFileSync } from "node:fs";
import vm from "node:vm";

const code = readFileSync(new URL("../dist/zt-loader.js", import.meta.url), "utf8");

function browser({ activeX, customElements }) {
  const written = [], appended = [], defined = [];
  const document = {
    currentScript: { src: "https://site.example/lib/zt-loader.js" },
    getElementsByTagName: () => [],
    write: (html) => written.push(html),
    head: { appendChild: (el) => appended.push(el) },
    createElement: (tag) => ({ tag }),
    getElementById: (id) => ({ id }),
  };
  const window = { document };
  if (activeX) window.ActiveXObject = undefined; // IE11: present, yet falsy
  if (customElements) window.customElements = { whenDefined: (name) => ({ then: (f) => defined.push([name, f]) }) };
  window.window = window;
  vm.runInNewContext(code, window);
  return { loader: window.ZTFileUploadLoader, window, written, appended, defined };
}

const options = { id: "upload", width: 500, height: 200, params: { URL: "http://h/up?a=1&b=\"2\"", UTF8: 1 } };

test("ActiveX hosts get the control's object, every other browser the element and its module, with the same params", () => {
  const ie = browser({ activeX: true });
  let handed;
  assert.equal(ie.loader.write(options, (o) => (handed = o)), "control");
  assert.deepEqual(ie.written, ['<object id="upload" classid="clsid:641FC981-5EE3-4800-8C3C-68920AA6AC4D" width="500" height="200">' +
    '<param name="URL" value="http://h/up?a=1&amp;b=&quot;2&quot;"><param name="UTF8" value="1"></object>']);
  assert.deepEqual(ie.appended, []);
  assert.deepEqual(handed, { id: "upload" }, "the control is handed over at once");

  const chromium = browser({ customElements: true });
  handed = undefined;
  assert.equal(chromium.loader.write(options, (o) => (handed = o)), "element");
  assert.match(chromium.written[0], /^<zt-file-upload id="upload" width="500" height="200"><param name="URL" value="http:\/\/h\/up\?a=1&amp;b=&quot;2&quot;">/);
  assert.deepEqual(chromium.appended, [{ tag: "script", type: "module", src: "https://site.example/lib/zt-file-upload.js" }]);
  assert.equal(handed, undefined, "the element is handed over only once its module has defined it");
  chromium.defined[0][1]();
  assert.deepEqual(handed, { id: "upload" });
  assert.equal(chromium.defined[0][0], "zt-file-upload");

  // A posting member's result reaches the page the same way from either.
  const seen = [];
  chromium.loader.result("from the control", (v) => seen.push(v));
  chromium.loader.result({ then: (f) => f("from the twin") }, (v) => seen.push(v));
  assert.deepEqual(seen, ["from the control", "from the twin"]);

  // Edge in IE mode with a wish for the twin: IE11 has no custom elements, so the control it stays.
  assert.equal(browser({ activeX: true }).loader.choose({ ActiveXObject: undefined }, { prefer: "element" }), "control");
  assert.equal(browser({}).loader.choose({ ActiveXObject: undefined, customElements: {} }, { prefer: "element" }), "element");
});
