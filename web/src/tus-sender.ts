// Resumable uploads in a browser through tus-js-client, loaded only when a
// page sets ResumableURL. Where an upload stands is kept in localStorage under
// the file's key, so a cut, a server restart or a reloaded page costs at most
// the chunk on its way.
import { ServerAnswer, TransportError } from "./core.js";
import { ERROR } from "./members.js";
import { ResumableFile, ResumableSender, UPLOAD_ID, UploadHooks } from "./resumable.js";

// Only what is used of tus-js-client's surface.
interface TusRequest { getMethod(): string; getURL(): string }
interface TusResponse { getStatus(): number; getBody(): string }
interface TusError extends Error { originalResponse?: TusResponse | null }
interface PreviousUpload { creationTime: string; urlStorageKey: string; uploadUrl: string | null }
interface TusUpload {
  url: string | null;
  start(): void;
  abort(terminate?: boolean): Promise<void>;
  findPreviousUploads(): Promise<PreviousUpload[]>;
  resumeFromPreviousUpload(previous: PreviousUpload): void;
}
interface UrlStorage {
  findUploadsByFingerprint(fingerprint: string): Promise<PreviousUpload[]>;
  removeUpload(key: string): Promise<void>;
}
interface Tus {
  Upload: new (file: Blob, options: Record<string, unknown>) => TusUpload;
  defaultOptions: { urlStorage: UrlStorage };
}

/** Records of unfinished uploads are given up after a week, when the kits' servers let them expire too. */
const RECORD_LIFE_MS = 7 * 24 * 3600 * 1000;

// A variable, so that the compiler leaves the vendored bundle's path alone.
const TUS_MODULE = "./vendor/tus-js-client.js";
let loaded: Promise<Tus> | null = null;
function loadTus(): Promise<Tus> {
  loaded ??= import(TUS_MODULE).then((m) => m.default as Tus);
  return loaded;
}

const wait = (ms: number) => new Promise((wake) => setTimeout(wake, ms));
const retryable = (status: number) => status === 0 || status >= 500 || status === 409 || status === 423;

/**
 * How a failed upload ends the post, as the control ends it: no answer is a
 * failed request; a success status the library could not use (no Location,
 * an offset that does not fit) is a hostile answer; any other status is the
 * server's refusal, and the post's reply.
 */
function uploadFailure(response: TusResponse | null | undefined): Error {
  const status = response?.getStatus() ?? 0;
  if (!status) return new TransportError(ERROR.SendRequest, true);
  if (status >= 200 && status < 300) return new TransportError(ERROR.QueryStatus, false);
  return new ServerAnswer(status, new TextEncoder().encode(response?.getBody() ?? ""));
}

/** The origin and the last path segment of an address; empty for one that does not parse. */
function place(url: string): { origin: string; id: string } {
  try {
    const { origin, pathname } = new URL(url);
    return { origin, id: decodeURIComponent(pathname.slice(pathname.lastIndexOf("/") + 1)) };
  } catch {
    return { origin: "", id: "" };
  }
}

export const tusSender: ResumableSender = {
  async discover(endpoint, hooks) {
    for (let attempt = 0; ; attempt++) {
      let status = 0;
      try {
        const reply = await fetch(endpoint, { method: "OPTIONS", signal: hooks.signal });
        status = reply.status;
        const listed = (name: string, item: string) => (reply.headers.get(name) ?? "").split(",").some((v) => v.trim() === item);
        if (reply.ok && listed("Tus-Version", "1.0.0") && listed("Tus-Extension", "creation")) return;
      } catch (failure) {
        if (hooks.signal?.aborted) throw failure;
      }
      // A server on its way back may answer the next try; one that answered without tus will not.
      // No answer at all is a failed request; an answer without tus fails as a connection would.
      if (!retryable(status) || attempt >= hooks.retryDelays.length)
        throw new TransportError(status ? ERROR.Connect : ERROR.SendRequest, retryable(status));
      await wait(hooks.retryDelays[attempt]);
    }
  },

  async upload(endpoint, file, hooks) {
    const tus = await loadTus();
    const origin = new URL(endpoint).origin;
    return new Promise<string>((resolve, reject) => {
      // A server's Location is followed only back to the endpoint's own origin, and only with a well-formed id.
      let refused: TransportError | null = null;
      let upload: TusUpload;
      const fail = (failure: Error) => {
        hooks.signal?.removeEventListener("abort", cancel);
        hooks.stop?.removeEventListener("abort", stop);
        reject(failure);
      };
      const cancel = () => {
        upload.abort(true).catch(() => {});
        fail(new DOMException("cancelled", "AbortError"));
      };
      const stop = () => {
        upload.abort(false).catch(() => {});
        fail(new DOMException("stopped", "AbortError"));
      };
      upload = new tus.Upload(file.data, {
        endpoint,
        chunkSize: hooks.chunkSize,
        retryDelays: hooks.retryDelays,
        metadata: { filename: file.name, size: String(file.data.size) },
        fingerprint: async () => file.key,
        storeFingerprintForResuming: true,
        // Kept until the request naming the upload is taken: a refused one may name it again.
        removeFingerprintOnSuccess: false,
        onBeforeRequest: async (req: TusRequest) => {
          if (req.getMethod() !== "POST") {
            const at = place(req.getURL());
            if (at.origin !== origin || !UPLOAD_ID.test(at.id)) {
              refused = new TransportError(ERROR.QueryStatus, false);
              throw refused;
            }
          }
          if (req.getMethod() === "PATCH" && !hooks.signal?.aborted) await hooks.beforeChunk?.();
        },
        // A creation answered with a success other than 201 made no upload: no success to report.
        onAfterResponse: async (req: TusRequest, res: TusResponse) => {
          const status = res.getStatus();
          if (req.getMethod() === "POST" && status >= 200 && status < 300 && status !== 201) {
            refused = new TransportError(ERROR.QueryStatus, false);
            throw refused;
          }
        },
        onShouldRetry: (err: TusError) => !refused && !hooks.signal?.aborted && retryable(err.originalResponse?.getStatus() ?? 0),
        onProgress: (sent: number) => hooks.onProgress?.(sent),
        onSuccess: () => {
          // An empty file sends no chunk: its address is checked here.
          const at = place(upload.url ?? "");
          if (at.origin !== origin || !UPLOAD_ID.test(at.id)) return fail(new TransportError(ERROR.QueryStatus, false));
          hooks.signal?.removeEventListener("abort", cancel);
          hooks.stop?.removeEventListener("abort", stop);
          resolve(at.id);
        },
        onError: (err: TusError) => fail(refused ?? uploadFailure(err.originalResponse)),
      });
      if (hooks.signal?.aborted || hooks.stop?.aborted) return fail(new DOMException("cancelled", "AbortError"));
      hooks.signal?.addEventListener("abort", cancel, { once: true });
      hooks.stop?.addEventListener("abort", stop, { once: true });
      upload.findPreviousUploads().then(async (previous) => {
        const storage = tus.defaultOptions.urlStorage;
        const live = [];
        for (const p of previous) {
          if (Date.now() - Date.parse(p.creationTime) < RECORD_LIFE_MS && p.uploadUrl) live.push(p);
          else await storage.removeUpload(p.urlStorageKey);
        }
        if (live.length) upload.resumeFromPreviousUpload(live[live.length - 1]);
        upload.start();
      }, () => upload.start());
    });
  },

  async forget(files: readonly ResumableFile[]) {
    const storage = (await loadTus()).defaultOptions.urlStorage;
    for (const file of files) {
      for (const p of await storage.findUploadsByFingerprint(file.key).catch(() => [])) await storage.removeUpload(p.urlStorageKey).catch(() => {});
    }
  },
};
