// Types of ztfileupload-server: reads the uploads of the ZTFileUpload control.
import type { Readable } from 'node:stream';
import type { IncomingHttpHeaders } from 'node:http';

export type UploadErrorReason =
  | 'not-multipart' | 'too-large' | 'incomplete' | 'bad-encoding' | 'bad-manifest' | 'bad-name'
  | 'duplicate-name' | 'unlisted-file' | 'duplicate-file' | 'size-mismatch' | 'store-failed';

/** A request that does not add up; none of its files is left on disk. */
export class UploadError extends Error {
  readonly reason: UploadErrorReason;
  constructor(reason: UploadErrorReason, message: string);
}

export interface ReceivedFile {
  /** Bytes received, equal to the row's size. */
  size: number;
  sha256: string;
  /** The temporary file until store() moves it; null after. */
  tmpPath: string | null;
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
}

export interface UploadJSON {
  encoding: string;
  fields: { name: string; value: string }[];
  manifest: boolean;
  attributes: string[];
  rows: (Omit<ManifestRow, 'file'> & { file: { size: number; sha256: string } | null })[];
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
  /** Removes the temporary files not stored. */
  discard(): Promise<void>;
  toJSON(): UploadJSON;
}

export interface ReadOptions {
  /** Default: stream.headers (an http.IncomingMessage has them). */
  headers?: IncomingHttpHeaders;
  /** Encoding of clients that do not send UTF-8 (an iconv-lite name); default 'cp949'. */
  ansiEncoding?: string;
  /** Where files are written while they arrive; default os.tmpdir(). */
  tmpDir?: string;
  /** Longest text part, the manifest included; default 16 MiB. */
  maxFieldBytes?: number;
  /** Longest file; default unlimited. */
  maxFileBytes?: number;
}

export function readUpload(stream: Readable & { headers?: IncomingHttpHeaders }, options?: ReadOptions): Promise<Upload>;
/** A name as the sender meant it: %22, %0D, %0A, %7C and %00 undone. */
export function unescapeName(name: string): string;
