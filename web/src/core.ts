// The control's script surface without a window: the file list, the deleted
// list, attributes, message fields, the two cursors, the error pair and the
// posts. The element (zt-file-upload.ts) adds the person's side; a Transport
// carries the requests (XMLHttpRequest in a browser, fetch in the tests).
import { BuiltRequest, buildRequest, ManifestRow, parseSizeText, RequestParts, sameName, TextField } from "./request.js";
import { ERROR, errorText, ZTUploadError } from "./members.js";
import { chunkSize, endpointOf, LocalPart, paceDelay, ResumableSender, resumableFiles, uploadAll } from "./resumable.js";

export interface Entry {
  name: string;
  /** What the person picked: the file's relative path in its folder, or its name. */
  localPath: string;
  serverPath: string;
  size: number;
  file: Blob | null;
  attrs: TextField[];
}

export interface SendRequest {
  url: string;
  user: string;
  password: string;
  headers: Record<string, string>;
  body: Blob;
  onProgress?: (sent: number, total: number) => void;
  signal?: AbortSignal;
}

/** Resolves with the reply; rejects with a TransportError, or an AbortError when cancelled. */
export type Transport = (request: SendRequest) => Promise<{ status: number; body: Uint8Array }>;

export class TransportError extends Error {
  constructor(readonly code: string, readonly retryable: boolean) {
    super(code);
  }
}

/** The resumable endpoint refused a step with a status of its own: that answer is the post's reply. */
export class ServerAnswer extends Error {
  constructor(readonly status: number, readonly body: Uint8Array) {
    super(`HTTP ${status}`);
  }
}

export interface SendHooks {
  onProgress?: SendRequest["onProgress"];
  signal?: AbortSignal;
  /** Awaited before each chunk of a resumable upload: Stop and Pause hold there. */
  beforeChunk?: () => Promise<void>;
}

/** A request ready to go, taken() called once the server has taken it; or the endpoint's refusal, which ends the post. */
type Prepared = {
  request: BuiltRequest;
  /** Its files went beforehand as resumable uploads. */
  resumed: boolean;
  taken: () => Promise<void>;
} | { answer: { status: number; body: Uint8Array } };

export type EventSink = (name: string, detail: Record<string, unknown>) => void;

/** The stored properties and their values on a new control. */
export const DEFAULTS = {
  MaxUploadSize: 0, EnableFolderMenu: 1, EnableMenu: 1, EnableDeleteMenu: 1, Port: 80, UserName: "", Password: "",
  PostMode: 0, BgColor: 0xffffff, FgColor: 0, TrackSelect: 0, RowSelect: 1, EnableHeaderMove: 1, UTF8: 0, GridLine: 0,
  ListType: 0, ExFileAttributes: 0, KByteRate: 0, DbClickEventEnable: 0, RetryCount: 0, ParallelCount: 1, ResumableURL: "",
};
export type StoredName = keyof typeof DEFAULTS;
const SHORTS = new Set(["EnableFolderMenu", "EnableMenu", "EnableDeleteMenu", "PostMode", "TrackSelect", "RowSelect",
  "EnableHeaderMove", "UTF8", "GridLine", "ListType", "ExFileAttributes", "DbClickEventEnable"]);

/** A script value as the control's VT_I4 sees it; a script's true is -1. */
export function toLong(value: unknown): number {
  if (value === true) return -1;
  const n = Number(value);
  return Number.isFinite(n) ? Number(BigInt.asIntN(32, BigInt(Math.trunc(n)))) : 0;
}
function toShort(value: unknown): number {
  return (toLong(value) << 16) >> 16;
}
export function toText(value: unknown): string {
  return value === undefined || value === null ? "" : String(value);
}

function pad2(n: number): string {
  return n.toString().padStart(2, "0");
}
/** "YYYY-MM-DD hh:mm:ss" in local time. */
export function dateText(ms: number): string {
  const d = new Date(ms);
  return `${d.getFullYear()}-${pad2(d.getMonth() + 1)}-${pad2(d.getDate())} ${pad2(d.getHours())}:${pad2(d.getMinutes())}:${pad2(d.getSeconds())}`;
}

export function uniqueName(wanted: string, taken: (name: string) => boolean): string {
  if (!taken(wanted)) return wanted;
  const dot = wanted.lastIndexOf(".");
  const base = dot < 0 ? wanted : wanted.slice(0, dot);
  const ext = dot < 0 ? "" : wanted.slice(dot + 1);
  for (let n = 1; ; n++) {
    const candidate = `${base}(${n}).${ext}`;
    if (!taken(candidate)) return candidate;
  }
}

export interface PickedFile {
  file: Blob;
  name: string;
  /** The relative path inside a dropped or picked folder, or the name. */
  path: string;
  lastModified?: number;
}

/** Milliseconds before the attempt-th retry: doubling from half a second up to eight. */
export function retryDelayMs(attempt: number): number {
  return Math.min(500 * 2 ** (attempt - 1), 8000);
}

export class UploadCore {
  readonly props: Record<StoredName, number | string> = { ...DEFAULTS };
  host = "";
  path = "";
  secure = false;
  errorCode = "";
  errorDescription = "";
  responseStatusCode = -1;
  responseText = "";
  entries: Entry[] = [];
  deleted: Entry[] = [];
  attributeNames: string[] = [];
  messages: TextField[] = [];
  filePos = -1;
  deleteFilePos = -1;
  /** Set while a post of any kind runs: every other post is refused with E01008. */
  busy = false;

  constructor(private readonly transport: Transport, private readonly emit: EventSink = () => {}, private readonly changed: () => void = () => {},
              private readonly resumable: ResumableSender | null = null) {}

  // The error pair and the three ways a member fails.
  record(code: string, name = ""): void {
    this.errorCode = code;
    this.errorDescription = errorText(code, name);
  }
  /** Recorded and raised. */
  fail(code: string, name = ""): never {
    this.record(code, name);
    throw new ZTUploadError(code, this.errorDescription);
  }
  /** Raised only: the error pair keeps its values. */
  raise(code: string, name = ""): never {
    throw new ZTUploadError(code, errorText(code, name));
  }

  getStored(name: StoredName): number | string {
    return this.props[name];
  }
  setStored(name: StoredName, value: unknown): void {
    const old = DEFAULTS[name];
    this.props[name] = typeof old === "string" ? toText(value) : SHORTS.has(name) ? toShort(value) : toLong(value);
    this.changed();
  }

  // URL: cut into host, path and port as the control cuts it.
  get URL(): string {
    return this.path;
  }
  set URL(value: unknown) {
    const text = toText(value);
    let rest: string | null = null;
    this.host = "";
    this.path = "";
    if (text.length < 8) return;
    if (text.slice(0, 8).toUpperCase() === "HTTPS://") {
      rest = text.slice(8);
      this.secure = true;
    } else if (text.slice(0, 7).toUpperCase() === "HTTP://") {
      rest = text.slice(7);
      this.secure = false;
    }
    if (rest !== null) {
      const slash = rest.indexOf("/");
      if (slash < 0) return;
      this.host = rest.slice(0, slash);
      this.path = rest.slice(slash);
      this.props.Port = this.secure ? 443 : 80;
      const colon = this.host.indexOf(":");
      if (colon >= 0) {
        const port = this.host.slice(colon + 1);
        this.host = this.host.slice(0, colon);
        if (/^[0-9]*$/.test(port)) this.props.Port = toLong(port || "0");
      }
    }
  }
  /** Where a post goes; null without a host or a path. */
  targetUrl(): string | null {
    if (!this.host || !this.path) return null;
    const port = Number(this.props.Port) || 80;
    const path = this.path.replace(/[\x00-\x1f\x7f]/g, (c) => "%" + c.charCodeAt(0).toString(16).toUpperCase().padStart(2, "0"));
    return `${this.secure ? "https" : "http"}://${this.host}:${port}${path}`;
  }

  get FileCount(): number {
    return this.entries.length;
  }
  get DeleteFileCount(): number {
    return this.deleted.length;
  }
  current(): Entry | undefined {
    return this.filePos >= 0 ? this.entries[this.filePos] : undefined;
  }
  currentDeleted(): Entry | undefined {
    return this.deleteFilePos >= 0 ? this.deleted[this.deleteFilePos] : undefined;
  }
  findPos(name: string): number {
    return this.entries.findIndex((e) => sameName(e.name, name));
  }
  private nameTaken = (name: string) => this.findPos(name) >= 0;

  setFilePos(value: unknown): void {
    const pos = toLong(value);
    if (pos < this.entries.length) {
      this.filePos = pos;
      return;
    }
    this.filePos = -1;
    this.fail(ERROR.NoSuchFile);
  }
  setDeleteFilePos(value: unknown): void {
    const pos = toLong(value);
    if (pos < this.deleted.length) {
      this.deleteFilePos = pos;
      return;
    }
    this.deleteFilePos = -1;
    this.raise(ERROR.NoSuchFile);
  }
  setFileName(value: unknown): void {
    const name = toText(value);
    if (this.nameTaken(name)) this.fail(ERROR.NameExists, name);
    const entry = this.current() ?? this.fail(ERROR.NoSuchFile);
    entry.name = name;
    this.changed();
  }
  setDeleteFileName(value: unknown): void {
    const name = toText(value);
    // A deleted entry's name may clash with neither list: the server must never see one name for two entries.
    if (this.nameTaken(name) || this.deleted.some((e) => sameName(e.name, name))) this.raise(ERROR.NameExists, name);
    const entry = this.currentDeleted() ?? this.raise(ERROR.NoSuchFile);
    entry.name = name;
  }
  pathOf(entry: Entry): string {
    return entry.serverPath || entry.localPath;
  }

  // Adding.
  private append(entry: Entry): void {
    this.entries.push(entry);
    this.filePos = this.entries.length - 1;
  }
  /** The person's files, from a picker or a drop: the control's "add local files". */
  addLocalFiles(files: readonly PickedFile[]): void {
    this.errorCode = "";
    this.errorDescription = "";
    const limit = BigInt(toLong(this.props.MaxUploadSize)) * 1048576n;
    let added = 0;
    try {
      for (const picked of files) {
        if (limit !== 0n) {
          const total = this.entries.reduce((sum, e) => sum + BigInt(e.size), BigInt(picked.file.size));
          if (BigInt.asUintN(64, total) >= BigInt.asUintN(64, limit)) this.fail(ERROR.SizeExceeded);
        }
        this.append({ name: uniqueName(picked.name, this.nameTaken), localPath: picked.path, serverPath: "", size: picked.file.size, file: picked.file, attrs: [] });
        if (toShort(this.props.ExFileAttributes) !== 0) {
          // A browser knows the last write only; the control uses it for a missing creation or access time too.
          const date = dateText(picked.lastModified ?? (picked.file as File).lastModified ?? 0);
          for (const name of ["CreateDate", "ModifiyDate", "AccessDate"]) this.setAttribute(this.entries[this.filePos], name, date);
        }
        this.changed();
        this.emit("AfterAddFile", { fileIndex: this.filePos });
        added++;
      }
    } finally {
      this.changed();
    }
    this.emit("AfterAddFiles", { FileCount: added });
  }
  addVirtualFile(path: unknown, sizeText: unknown = "0"): boolean {
    const serverPath = toText(path);
    const wanted = serverPath.slice(serverPath.lastIndexOf("/") + 1);
    this.append({ name: uniqueName(wanted, this.nameTaken), localPath: "", serverPath, size: parseSizeText(toText(sizeText)), file: null, attrs: [] });
    this.changed();
    this.emit("AfterAddFile", { fileIndex: this.filePos });
    this.emit("AfterAddFiles", { FileCount: 1 });
    return true;
  }

  // Removing.
  removeAt(index: number): void {
    const [entry] = this.entries.splice(index, 1);
    if (entry.serverPath) this.deleted.push(entry);
    if (this.filePos > index) this.filePos--;
    else if (this.filePos === index || this.filePos >= this.entries.length) this.filePos = this.entries.length ? 0 : -1;
    this.changed();
    this.emit("AfterDeleteFile", { FileName: entry.name, FilePath: this.pathOf(entry) });
  }
  deleteFile(index: unknown): boolean {
    const i = toLong(index);
    if (i >= this.entries.length) this.fail(ERROR.IndexExceeded);
    if (i < 0) this.fail(ERROR.NoSuchFile);
    this.removeAt(i);
    return true;
  }
  deleteFile2(name: unknown): boolean {
    const i = this.findPos(toText(name));
    if (i < 0) this.fail(ERROR.NoSuchFile);
    this.removeAt(i);
    return true;
  }

  // Attributes.
  private setAttribute(entry: Entry, name: string, value: string): void {
    if (!this.attributeNames.some((n) => sameName(n, name))) this.attributeNames.push(name);
    const pair = entry.attrs.find((a) => sameName(a.name, name));
    if (pair) pair.value = value;
    else entry.attrs.push({ name, value });
  }
  attributeOf(entry: Entry, name: string): string {
    return entry.attrs.find((a) => sameName(a.name, name))?.value ?? "";
  }
  setAttr(deleted: boolean, nameValue: unknown, value: unknown): boolean {
    const name = toText(nameValue);
    if (!name) return false;
    if ((deleted ? this.deleteFilePos : this.filePos) < 0) this.fail(ERROR.NoSuchFile);
    if (name[0] === "_") this.fail(ERROR.Underscore);
    if (!this.attributeNames.some((n) => sameName(n, name))) this.attributeNames.push(name);
    const entry = (deleted ? this.currentDeleted() : this.current()) ?? this.fail(ERROR.NoSuchFile);
    this.setAttribute(entry, name, toText(value));
    if (!deleted) this.changed();
    return true;
  }
  getAttr(deleted: boolean, nameValue: unknown): string {
    const name = toText(nameValue);
    if (!name) return "";
    const entry = (deleted ? this.currentDeleted() : this.current()) ?? this.fail(ERROR.NoSuchFile);
    return this.attributeOf(entry, name);
  }
  /** Row 0 the registered names, row 1 the entry's values: the control's 2 x n array as nested arrays. */
  attrs(entry: Entry): string[][] {
    return [this.attributeNames.slice(), this.attributeNames.map((n) => this.attributeOf(entry, n))];
  }

  // Requests.
  private row(kind: ManifestRow["kind"], entry: Entry): ManifestRow {
    return { kind, name: entry.name, size: entry.size, values: new Map(this.attributeNames.map((n) => [n, this.attributeOf(entry, n)])) };
  }
  private files(entries: readonly Entry[]): LocalPart[] {
    return entries.filter((e) => e.file).map((e) => ({ name: e.name, data: e.file as Blob, path: e.localPath }));
  }
  /** The whole list, as Post sends it. */
  postParts(): RequestParts {
    const rows = this.entries.map((e) => this.row(e.serverPath ? "V" : "N", e)).concat(this.deleted.map((e) => this.row("D", e)));
    return { fields: this.messages, manifest: { attributeNames: this.attributeNames, rows }, files: this.files(this.entries) };
  }
  /** One entry, with the message fields (PostFile) or without (the per-file window). */
  entryParts(entry: Entry, withFields: boolean): RequestParts {
    return { fields: withFields ? this.messages : [], manifest: { attributeNames: this.attributeNames, rows: [this.row(entry.serverPath ? "V" : "N", entry)] }, files: this.files([entry]) };
  }

  /**
   * Sends one request and leaves its outcome where the control leaves it:
   * status and reply text, or the failure's code in the error pair.
   * Resolves with the status, or with null when it failed or was cancelled.
   */
  async send(parts: RequestParts, url: string, hooks: SendHooks = {}): Promise<number | null> {
    this.responseStatusCode = -1;
    this.responseText = "";
    if (this.hostRefused()) {
      this.record(ERROR.Connect);
      return null;
    }
    try {
      // A resumable post retries within RetryCount by itself: a resumed upload repeats no request.
      const retries = this.retryCount();
      const lanes = Math.max(1, Math.min(8, toLong(this.props.ParallelCount)));
      const began = Date.now();
      let sent = 0;
      // The rate first, Stop last: a chunk never leaves after the person has stopped.
      const pace = async () => {
        const ms = paceDelay(toLong(this.props.KByteRate), sent, Date.now() - began);
        if (ms > 0) await new Promise((wake) => setTimeout(wake, ms));
        await hooks.beforeChunk?.();
      };
      const onProgress = (done: number, total: number) => {
        sent = done;
        hooks.onProgress?.(done, total);
      };
      const prepared = await this.prepare(parts, { ...hooks, onProgress, beforeChunk: pace }, Array.from({ length: retries }, (_, i) => retryDelayMs(i + 1)), lanes);
      const reply = await this.exchange(prepared, url, hooks);
      this.responseStatusCode = reply.status;
      this.responseText = new TextDecoder("utf-8").decode(reply.body);
      return reply.status;
    } catch (failure) {
      if (hooks.signal?.aborted) this.record(ERROR.Cancelled);
      else this.record(failure instanceof TransportError ? failure.code : ERROR.SendRequest);
      return null;
    }
  }

  /** A host with a space or a control character is refused before any connection, as the control refuses it. */
  hostRefused(): boolean {
    return /[\x00-\x20\x7f]/.test(this.host);
  }

  /** One request of the per-file window: the reply is the row's, not the page's. The run retries and paces. */
  async transportSend(parts: RequestParts, url: string, hooks: SendHooks) {
    if (this.hostRefused()) throw new TransportError(ERROR.Connect, false);
    return this.exchange(await this.prepare(parts, hooks, [], 1), url, hooks);
  }

  /** RetryCount as the posts use it: 0 to 10. */
  retryCount(): number {
    return Math.max(0, Math.min(10, toLong(this.props.RetryCount)));
  }

  private async exchange(prepared: Prepared, url: string, hooks: SendHooks) {
    if ("answer" in prepared) return prepared.answer;
    const reply = await this.transport({ url, user: toText(this.props.UserName), password: toText(this.props.Password), headers: prepared.request.headers,
      body: prepared.request.body, signal: hooks.signal, onProgress: prepared.resumed ? undefined : hooks.onProgress });
    // A record left behind costs at most a failed resume later: the post has succeeded all the same.
    if (reply.status >= 200 && reply.status < 300) await prepared.taken().catch(() => {});
    return reply;
  }

  /**
   * The request for parts. With ResumableURL set, each local file's bytes go
   * first as a resumable upload (progress counts those bytes) and the request
   * names the uploads; taken() then drops their resume records. Rejects with
   * a TransportError, or an AbortError when cancelled.
   */
  private async prepare(parts: RequestParts, hooks: SendHooks, retryDelays: number[], lanes: number): Promise<Prepared> {
    const resumableUrl = toText(this.props.ResumableURL);
    if (!resumableUrl || !parts.files.length) return { request: buildRequest(parts), resumed: false, taken: async () => {} };
    const endpoint = endpointOf(resumableUrl);
    // An address no connection can be made to fails as a connection would, as the control's does.
    if (!endpoint || !this.resumable) throw new TransportError(ERROR.Connect, false);
    const files = resumableFiles(endpoint, parts.files);
    const total = files.reduce((sum, f) => sum + f.data.size, 0);
    let ids: string[];
    try {
      ids = await uploadAll(this.resumable, endpoint, files, lanes, {
        retryDelays, chunkSize: chunkSize(toLong(this.props.KByteRate)), signal: hooks.signal, beforeChunk: hooks.beforeChunk,
        onProgress: (sent) => hooks.onProgress?.(sent, total),
      });
    } catch (failure) {
      if (failure instanceof ServerAnswer) return { answer: { status: failure.status, body: failure.body } };
      throw failure;
    }
    hooks.onProgress?.(total, total);
    const sender = this.resumable;
    return { request: buildRequest({ ...parts, files: parts.files.map((f, i) => ({ ...f, upload: ids[i] })) }), resumed: true, taken: () => sender.forget(files) };
  }

  /** The checks PostMessage and PostFile make before sending, in the control's order. */
  checkPost(kind: "file" | "message"): { parts: RequestParts; url: string } {
    if (this.busy) this.fail(ERROR.Busy);
    let parts: RequestParts;
    if (kind === "message") {
      if (!this.messages.length) this.fail(ERROR.NothingToSend);
      parts = { fields: this.messages, files: [] };
    } else {
      const entry = this.current() ?? this.fail(ERROR.NothingToSend);
      parts = this.entryParts(entry, true);
    }
    const url = this.targetUrl() ?? this.fail(ERROR.NoDestination);
    return { parts, url };
  }

  /**
   * Post: the whole list in one request. Refusals and failures are left in
   * the error pair, never raised; resolves with the reply text.
   */
  post(hooks: SendHooks = {}): Promise<string> {
    if (this.busy) {
      this.record(ERROR.Busy);
      return Promise.resolve("");
    }
    this.responseStatusCode = -1;
    this.responseText = "";
    this.errorCode = "";
    this.errorDescription = "";
    const url = this.targetUrl();
    if (!url) {
      this.record(ERROR.NoDestination);
      return Promise.resolve("");
    }
    return this.exclusive(async () => {
      await this.send(this.postParts(), url, hooks);
      return this.responseText;
    });
  }
  /** PostFile and PostMessage: a refusal throws at once; the reply is read from the properties. */
  postFile(): Promise<string> {
    const { parts, url } = this.checkPost("file");
    return this.exclusive(async () => {
      await this.send(parts, url);
      return "";
    });
  }
  postMessage(): Promise<string> {
    const { parts, url } = this.checkPost("message");
    return this.exclusive(async () => {
      await this.send(parts, url);
      return this.responseText;
    });
  }

  /** Runs body with the control marked busy; every post goes through here. */
  async exclusive<T>(body: () => Promise<T>): Promise<T> {
    this.busy = true;
    try {
      return await body();
    } finally {
      this.busy = false;
    }
  }
}
