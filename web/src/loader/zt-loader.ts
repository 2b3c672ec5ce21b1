// The one script a page includes, for every browser: it writes the control's
// <object> where ActiveX can run (Edge's IE mode, IE11) and <zt-file-upload>
// elsewhere, and hands the page the same object either way. A classic
// script in ES5, as IE11 must run it.

interface LoaderOptions {
  id: string;
  width?: number | string;
  height?: number | string;
  /** The control's <param> values by name: URL, UTF8, ListType, ... */
  params?: { [name: string]: string | number };
  /** Where the twin's module is; by default beside this script. */
  module?: string;
  /** The control's cab, for an <object codebase>. */
  codebase?: string;
  /** An element to write into; without one the markup is written where the script runs. */
  into?: HTMLElement;
  /** "element" uses the twin even where ActiveX runs (for trying a page). */
  prefer?: "control" | "element";
}

interface LoaderWindow {
  ActiveXObject?: unknown;
  customElements?: { whenDefined(name: string): { then(f: () => void): unknown } };
}

(function (root: any) {
  var CLASS_ID = "clsid:641FC981-5EE3-4800-8C3C-68920AA6AC4D";

  function escapeHtml(text: string | number): string {
    return String(text).replace(/&/g, "&amp;").replace(/"/g, "&quot;").replace(/</g, "&lt;").replace(/>/g, "&gt;");
  }

  /** "control" where the browser hosts ActiveX, "element" elsewhere. */
  function choose(win: LoaderWindow, options?: LoaderOptions): "control" | "element" {
    // IE11 hides ActiveXObject from truth tests but keeps it "in" window.
    var activeX = "ActiveXObject" in win;
    if (!activeX) return "element";
    return options && options.prefer === "element" && win.customElements ? "element" : "control";
  }

  function markup(kind: "control" | "element", o: LoaderOptions): string {
    var size = (o.width != null ? ' width="' + escapeHtml(o.width) + '"' : "") + (o.height != null ? ' height="' + escapeHtml(o.height) + '"' : "");
    var params = "";
    var all = o.params || {};
    for (var name in all) {
      if (Object.prototype.hasOwnProperty.call(all, name)) params += '<param name="' + escapeHtml(name) + '" value="' + escapeHtml(all[name]) + '">';
    }
    if (kind === "control") {
      return '<object id="' + escapeHtml(o.id) + '" classid="' + CLASS_ID + '"' + (o.codebase ? ' codebase="' + escapeHtml(o.codebase) + '"' : "") + size + ">" + params + "</object>";
    }
    return '<zt-file-upload id="' + escapeHtml(o.id) + '"' + size + ">" + params + "</zt-file-upload>";
  }

  function scriptFolder(doc: Document): string {
    var scripts = doc.getElementsByTagName("script");
    var src = (doc as any).currentScript ? (doc as any).currentScript.src : scripts.length ? scripts[scripts.length - 1].src : "";
    return src ? src.slice(0, src.lastIndexOf("/") + 1) : "";
  }
  var folder = typeof document !== "undefined" ? scriptFolder(document) : "";

  /**
   * Writes the control or its twin and calls ready(object) once its members
   * work: at once for the control, once the module has defined the element
   * for the twin. Returns the kind written.
   */
  function write(o: LoaderOptions, ready?: (object: any) => void): "control" | "element" {
    var win = root as LoaderWindow;
    var doc = root.document as Document;
    var kind = choose(win, o);
    var html = markup(kind, o);
    if (kind === "element") {
      var src = o.module || folder + "zt-file-upload.js";
      var tag = doc.createElement("script");
      tag.type = "module";
      tag.src = src;
      doc.head.appendChild(tag);
    }
    if (o.into) o.into.innerHTML = html;
    else doc.write(html);
    if (ready) {
      var give = function () { ready(doc.getElementById(o.id)); };
      if (kind === "element" && win.customElements) win.customElements.whenDefined("zt-file-upload").then(give);
      else give();
    }
    return kind;
  }

  /** Subscribes to an event of either: attachEvent is how both take a handler with positional parameters. */
  function on(object: any, event: string, handler: Function): void {
    object.attachEvent(event, handler);
  }

  /**
   * The result of a posting member, for both: the control returns it, the
   * twin a Promise of it. IE11 has no Promise, so pages for IE mode use this.
   */
  function result(value: any, callback: (value: any) => void): void {
    if (value && typeof value.then === "function") value.then(callback);
    else callback(value);
  }

  var api = { choose: choose, markup: markup, write: write, on: on, result: result };
  root.ZTFileUploadLoader = api;
})(typeof window !== "undefined" ? window : this);
