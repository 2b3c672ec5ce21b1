// The per-file run behind OpenPostDialog: the message fields first (answered
// 200 or the run stops), then every local file in a request of its own, up
// to ParallelCount at once, each retried up to RetryCount times when another
// try can cure it. Portable: the window only watches it.
import { ERROR } from "./members.js";
import { Entry, retryDelayMs, toLong, TransportError, UploadCore } from "./core.js";
import { paceDelay } from "./resumable.js";

export { retryDelayMs };

export enum RowState { Waiting = 0, Sending = 1, Done = 2, Failed = 3, Again = 4 }

export interface RunRow {
  entry: Entry;
  state: RowState;
  sent: number;
}

export interface RunWatcher {
  row(index: number): void;
  progress(): void;
}

const MAX_PARALLEL = 8;

/** Pause and its Resume: whoever waits is held until released or given up. */
export class Hold {
  held = false;
  private waiters: (() => void)[] = [];
  hold(): void {
    this.held = true;
  }
  release(): void {
    this.held = false;
    for (const wake of this.waiters.splice(0)) wake();
  }
  async wait(signal?: AbortSignal): Promise<void> {
    while (this.held && !signal?.aborted) await new Promise<void>((wake) => this.waiters.push(wake));
  }
}

export class FileRun {
  readonly rows: RunRow[];
  readonly total: number;
  private readonly hold = new Hold();
  private readonly abort = new AbortController();
  private fieldsSent = false;

  private began = 0;
  private sentAtStart = 0;

  constructor(private readonly core: UploadCore, private readonly watcher: RunWatcher, private readonly delay = retryDelayMs,
              private readonly sleep = (ms: number) => new Promise<void>((wake) => setTimeout(wake, ms)),
              private readonly now = () => Date.now()) {
    // The rows are the local entries as they were when the window opened.
    this.rows = core.entries.filter((e) => e.file).map((entry) => ({ entry, state: RowState.Waiting, sent: 0 }));
    this.total = this.rows.reduce((sum, r) => sum + r.entry.size, 0);
  }

  get sent(): number {
    return this.rows.reduce((sum, r) => sum + (r.state === RowState.Done || r.state === RowState.Failed ? r.entry.size : r.sent), 0);
  }
  get finished(): boolean {
    return this.rows.every((r) => r.state === RowState.Done || r.state === RowState.Failed);
  }
  get failedCount(): number {
    return this.rows.filter((r) => r.state === RowState.Failed).length;
  }

  get paused(): boolean {
    return this.hold.held;
  }
  pause(): void {
    this.hold.hold();
  }
  resume(): void {
    this.hold.release();
  }
  cancel(): void {
    this.abort.abort();
    this.resume();
  }
  private whileUnpaused(): Promise<void> {
    return this.hold.wait(this.abort.signal);
  }

  /**
   * Start (or 재시도): resolves true when the files were processed, false when
   * the message fields were refused (the error pair says why) or the run was cancelled.
   */
  async start(): Promise<boolean> {
    const core = this.core;
    const url = core.targetUrl();
    if (!this.fieldsSent && core.messages.length) {
      if (core.busy) return this.refuse(ERROR.Busy);
      if (!url) return this.refuse(ERROR.NoDestination);
      const status = await core.exclusive(() => core.send({ fields: core.messages, files: [] }, url, { signal: this.abort.signal }));
      if (status !== 200) return this.refuse("E04007");
      this.fieldsSent = true;
    }
    if (core.busy) return this.refuse(ERROR.Busy);
    // Without a destination every file fails, and the page learns why.
    if (!url) core.record(ERROR.NoDestination);
    // 재시도 sends just the failed files again.
    for (const [i, row] of this.rows.entries()) {
      if (row.state === RowState.Failed) {
        row.state = RowState.Waiting;
        row.sent = 0;
        this.watcher.row(i);
      }
    }
    const queue = this.rows.map((_, i) => i).filter((i) => this.rows[i].state === RowState.Waiting);
    const lanes = Math.max(1, Math.min(MAX_PARALLEL, toLong(core.props.ParallelCount)));
    this.began = this.now();
    this.sentAtStart = this.sent;
    await core.exclusive(async () => {
      const lane = async () => {
        for (let i = queue.shift(); i !== undefined && !this.abort.signal.aborted; i = queue.shift()) await this.sendRow(i, url);
      };
      await Promise.all(Array.from({ length: lanes }, lane));
    });
    core.responseStatusCode = -1;
    return !this.abort.signal.aborted;
  }

  /**
   * KByteRate as far as a browser allows: an upload it has started cannot be
   * slowed, so the run waits before each request until its average since
   * Start is back within the limit. The limit may change while the run goes.
   */
  private async holdToRate(): Promise<void> {
    const ahead = paceDelay(toLong(this.core.props.KByteRate), this.sent - this.sentAtStart, this.now() - this.began);
    if (ahead > 0) await this.sleep(ahead);
  }

  private refuse(code: string): false {
    this.core.record(code);
    return false;
  }

  private async sendRow(i: number, url: string | null): Promise<void> {
    const row = this.rows[i];
    const retries = this.core.retryCount();
    for (let attempt = 0; ; attempt++) {
      await this.whileUnpaused();
      await this.holdToRate();
      if (this.abort.signal.aborted) return;
      row.state = RowState.Sending;
      row.sent = 0;
      this.watcher.row(i);
      let retryable = false;
      let ok = false;
      if (url) {
        try {
          const reply = await this.core.transportSend(this.core.entryParts(row.entry, false), url, {
            signal: this.abort.signal,
            // A resumable upload holds between its chunks too: Pause and KByteRate reach a file on its way.
            beforeChunk: async () => {
              await this.holdToRate();
              await this.whileUnpaused();
            },
            // The request carries the manifest and part headers too: count the file's own bytes.
            onProgress: (sent, total) => {
              row.sent = Math.max(0, Math.min(row.entry.size, sent - (total - row.entry.size)));
              this.watcher.progress();
            },
          });
          ok = reply.status >= 200 && reply.status < 300;
          retryable = reply.status >= 500 && reply.status <= 599;
        } catch (failure) {
          if (this.abort.signal.aborted) return;
          retryable = failure instanceof TransportError && failure.retryable;
        }
      }
      if (ok || !retryable || attempt >= retries) {
        row.state = ok ? RowState.Done : RowState.Failed;
        this.watcher.row(i);
        this.watcher.progress();
        return;
      }
      row.state = RowState.Again;
      this.watcher.row(i);
      await new Promise((wait) => setTimeout(wait, this.delay(attempt + 1)));
    }
  }
}
