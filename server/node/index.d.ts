// Types of ztfileupload-server: reads the uploads of the ZTFileUpload control.
import type { Readable } from 'node:stream';
import type { IncomingHttpHeaders, IncomingMessage, ServerResponse } from 'node:http';

export type UploadErrorReason =
  | 'not-multipart' | 'too-large' | 'too-many-parts' | 'incomplete' | 'bad-encoding' | 'bad-manifest'
  | 'bad-name' | 'risky-name' | 'duplicate-name' | 'unlisted-file' | 'duplicate-file' | 'size-mismatch'
  | 'unknown-upload' | 'name-mangled' | 'store-failed';

/** The HTTP status of each reason: 400 the request is wrong, 413 too large, 500 this server failed. */
export const STATUS: Readonly<Record<UploadErrorReason, 400 | 413 | 500>>;

/** A request that does not add up; none of its files is left on disk. The message is for logs. */
export class UploadError extends Error {
  readonly reason: UploadErrorReason;
  readonly status: 400 | 413 | 500;
  constructor(reason: UploadErrorReason, message: string);
}

export interface ReceivedFile {
  /** Bytes received, equal to the row's size. */
  size: number;
  /** Null when hashing is off (options.sha256 false). */
  sha256: string | null;
  /** The temporary file until store() moves it; null after, and with onFile. */
  tmpPath: string | null;
  /** What onFile resolved to, when it took the file. */
  result?: unknown;
}

export interface ManifestRow {
  /** N: new file; U: replaces a server file; V: server file kept; D: server file deleted. */
  type: 'N' | 'U' | 'V' | 'D';
  /** The entry's name with the control's escapes undone; never a path. */
  name: string;
  size: number;
  /** Value by attribute name, one per attribute of the header row ('' when none). */
  attributes: Record<string, string>;
  /** N and U rows whose file arrived; null otherwise. */
  file: ReceivedFile | null;
  /** The name is risky to store or show; only with allowRiskyNames. */
  risky?: true;
}

export interface UploadJSON {
  encoding: string;
  fields: { name: string; value: string }[];
  manifest: boolean;
  attributes: string[];
  rows: (Omit<ManifestRow, 'file'> & { file: { size: number; sha256: string | null } | null })[];
}

export class Upload {
  /** 'utf-8', or the ANSI encoding of the client (default 'cp949'). */
  readonly encoding: string;
  /** Message fields in the order sent, the manifest excluded. */
  readonly fields: { name: string; value: string }[];
  /** False for a request without _ZTUInfo (PostMessage). */
  readonly hasManifest: boolean;
  readonly attributes: string[];
  readonly rows: ManifestRow[];
  /** The first field called name, ignoring case. */
  field(name: string): string | undefined;
  /** Moves each file into folder under a random name; the stored paths by row index. */
  store(folder: string): Promise<Map<number, string>>;
  /** Removes the temporary files not stored; with stored, also what store() moved and onFile took. */
  discard(options?: { stored?: boolean }): Promise<void>;
  toJSON(): UploadJSON;
}

export interface ReadOptions {
  /** Default: stream.headers (an http.IncomingMessage has them). */
  headers?: IncomingHttpHeaders;
  /** Encoding of clients that do not send UTF-8 (an iconv-lite name); default 'cp949'. */
  ansiEncoding?: string;
  /** Where files are written while they arrive; default os.tmpdir(). */
  tmpDir?: string;
  /** Message fields; default 1000. */
  maxFields?: number;
  /** Longest text part, the manifest included; default 4 MiB. */
  maxFieldBytes?: number;
  /** All text parts together; default 16 MiB. */
  maxFieldsBytes?: number;
  /** Manifest rows; default 10000. */
  maxRows?: number;
  /** Longest file; default Infinity. */
  maxFileBytes?: number;
  /** All files together; default Infinity. */
  maxTotalBytes?: number;
  /** Milliseconds without a byte before a stalled upload is refused as incomplete; default 600000 (a user may pause). */
  idleTimeout?: number;
  /** Hash each file (SHA-256) as it arrives; default true. */
  sha256?: boolean;
  /** Take names risky to store or show, flagged on their row; default false. */
  allowRiskyNames?: boolean;
  /** Takes each file as a stream instead of a temporary file; the result is kept as row.file.result. */
  onFile?: (row: ManifestRow, stream: Readable) => unknown | Promise<unknown>;
  /** Undoes what onFile did for a request refused (or a handler that threw) after it. */
  onDiscard?: (row: ManifestRow, result: unknown) => unknown | Promise<unknown>;
  /** The store of your tus endpoint: files a request names by their upload come from it. */
  resumable?: ResumableStore;
}

/** A claimed upload: out of the store until restore() (refused) or settle() (taken). */
export interface ClaimedUpload {
  path: string;
  length: number;
  offset: number;
  restore(): Promise<void>;
  settle(): Promise<void>;
}

export interface ResumableStore {
  /** Takes the upload out of the store, or null when it holds none of that id. */
  claim(id: string): Promise<ClaimedUpload | null>;
}

/** The store of @tus/file-store (or the PHP kit's endpoint) kept in directory. */
export function tusFileStore(directory: string): ResumableStore & { directory: string };

/** The options with their defaults; throws a TypeError for a wrong one at once. */
export function uploadOptions(options?: ReadOptions): Readonly<Required<ReadOptions>>;
export const DEFAULTS: Readonly<ReadOptions>;
export function readUpload(stream: Readable & { headers?: IncomingHttpHeaders }, options?: ReadOptions): Promise<Upload>;
/** Reads the request, runs handler; removes what it did not store, and all it stored if it throws. */
export function withUpload<T>(stream: Readable & { headers?: IncomingHttpHeaders }, options: ReadOptions | undefined,
  handler: (upload: Upload) => Promise<T> | T): Promise<T>;
/** A short plain text in the request's encoding, with nosniff. */
export function sendReply(req: IncomingMessage, res: ServerResponse, status: number, text: string, ansiEncoding?: string): void;
/** The error's status and its reason alone. */
export function sendError(req: IncomingMessage, res: ServerResponse, error: UploadError, ansiEncoding?: string): void;
/** A name as the sender meant it: %22, %0D, %0A, %7C and %00 undone. */
export function unescapeName(name: string): string;
export function isRisky(name: string): boolean;
