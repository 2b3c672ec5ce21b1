// Resumable posts: with ResumableURL set, each local file's bytes go first as
// a tus upload, then the usual request names the uploads instead of carrying
// the bytes (docs/wire-format.md, section 10). Portable: a sender does the
// uploads (tus-sender.ts in a browser, a stand-in in the tests); here are the
// choices around it.
import { FilePart } from "./request.js";

/** No request carries more of a file than this. */
export const MAX_CHUNK = 16 * 1024 * 1024;
const MIN_PACED_CHUNK = 64 * 1024;

/** What an upload id may be; anything else never becomes part of a URL or a request. */
export const UPLOAD_ID = /^[A-Za-z0-9_-]{1,128}$/;

export interface ResumableFile {
  /** The entry's name, as its row carries it. */
  name: string;
  data: Blob;
  /** Who the file is across page loads: the same file picked again on a new page resumes its upload. */
  key: string;
}

export interface UploadHooks {
  retryDelays: number[];
  chunkSize: number;
  /** The person cancelled: the upload is removed from the server. */
  signal?: AbortSignal;
  /** Another file of the request failed: this one stops where it is, to be resumed. */
  stop?: AbortSignal;
  /** Awaited before each chunk: a held post or a rate limit waits here. */
  beforeChunk?: () => Promise<void>;
  onProgress?: (sent: number) => void;
}

export interface ResumableSender {
  /** OPTIONS: resolves once the endpoint speaks tus 1.0 with creation, rejects with a TransportError otherwise. */
  discover(endpoint: string, hooks: UploadHooks): Promise<void>;
  /** Sends the file's bytes; resolves with the upload id. */
  upload(endpoint: string, file: ResumableFile, hooks: UploadHooks): Promise<string>;
  /** The server took these uploads: nothing of them is left to resume. */
  forget(files: readonly ResumableFile[]): Promise<void>;
}

/** A local file part and where the person picked it. */
export type LocalPart = FilePart & { path?: string };

/** An absolute http(s) address, or null. */
export function endpointOf(text: string): string | null {
  try {
    const url = new URL(text);
    if ((url.protocol !== "http:" && url.protocol !== "https:") || url.username || url.password) return null;
    return url.href;
  } catch {
    return null;
  }
}

/** At full speed the largest chunk; under a rate limit about a second's worth, so that the pace holds. */
export function chunkSize(kbyteRate: number): number {
  return kbyteRate > 0 ? Math.max(MIN_PACED_CHUNK, Math.min(MAX_CHUNK, kbyteRate * 1024)) : MAX_CHUNK;
}

/** How long to wait so that bytes sent since a start stay within a rate limit of KB/s (0: none). */
export function paceDelay(kbyteRate: number, bytes: number, elapsedMs: number): number {
  return kbyteRate > 0 ? Math.max(0, (bytes / 1024 / kbyteRate) * 1000 - elapsedMs) : 0;
}

/**
 * The files of a request with their keys: the endpoint, the path picked, the
 * size and the last write. The same file twice in one request gets two
 * uploads, never one for two rows.
 */
export function resumableFiles(endpoint: string, files: readonly LocalPart[]): ResumableFile[] {
  const seen = new Map<string, number>();
  return files.map((f) => {
    const base = [endpoint, f.path ?? f.name, f.data.size, (f.data as File).lastModified ?? ""].join("|");
    const n = seen.get(base) ?? 0;
    seen.set(base, n + 1);
    return { name: f.name, data: f.data, key: n ? `${base}|${n}` : base };
  });
}

/**
 * Discovery, then every file, `lanes` at once; resolves with the upload ids
 * in the files' order. The first failure stops the other files where they
 * are (their uploads stay, to be resumed) and rejects.
 */
export async function uploadAll(sender: ResumableSender, endpoint: string, files: readonly ResumableFile[], lanes: number,
                                hooks: UploadHooks): Promise<string[]> {
  await sender.discover(endpoint, hooks);
  const ids: string[] = [];
  const sent = files.map(() => 0);
  const queue = files.map((_, i) => i);
  const stop = new AbortController();
  const lane = async () => {
    for (let i = queue.shift(); i !== undefined && !stop.signal.aborted; i = queue.shift()) {
      const at = i;
      ids[at] = await sender.upload(endpoint, files[at], { ...hooks, stop: stop.signal, onProgress: (n) => {
        sent[at] = n;
        hooks.onProgress?.(sent.reduce((a, b) => a + b, 0));
      } });
    }
  };
  try {
    await Promise.all(Array.from({ length: Math.max(1, Math.min(lanes, files.length)) }, lane));
  } catch (failure) {
    stop.abort();
    throw failure;
  }
  return ids;
}
