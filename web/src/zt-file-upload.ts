// <zt-file-upload>: the control's members, events, list, menu and windows in
// a browser. Importing this module defines the element.
import { DEFAULTS, Entry, PickedFile, StoredName, toLong, toText, UploadCore } from "./core.js";
import { ERROR, EVENTS, MEMBERS, errorText, ZTUploadError } from "./members.js";
import { FileRun, Hold, RowState } from "./run.js";
import { xhrTransport } from "./transport.js";
import { tusSender } from "./tus-sender.js";
import { clock, cssColor, iconKind, sizeText, SortColumn, text, viewOrder } from "./view.js";
import { STYLE } from "./style.js";

export { UploadCore, ZTUploadError, MEMBERS, EVENTS };

const COLUMN_TITLES = [21001, 21002, 21003].map((id) => text(id));
const MENU = { open: "파일열기", folder: "폴더열기", remove: "파일삭제", view: "보기" };
const VIEWS: [string, number][] = [["아이콘보기", 0], ["간단히보기", 3], ["자세히보기", 1], ["속성확장보기", 4]];
const ROW_TEXTS: Record<RowState, number> = { [RowState.Waiting]: 21005, [RowState.Sending]: 21006, [RowState.Done]: 21007, [RowState.Failed]: 21008, [RowState.Again]: 21013 };

function h<K extends keyof HTMLElementTagNameMap>(tag: K, props: Record<string, unknown> = {}, ...children: (Node | string)[]): HTMLElementTagNameMap[K] {
  const el = document.createElement(tag);
  for (const [k, v] of Object.entries(props)) {
    if (v === undefined || v === null || v === false) continue;
    if (k.startsWith("on")) el.addEventListener(k.slice(2), v as EventListener);
    else if (k === "className") el.className = String(v);
    else el.setAttribute(k, v === true ? "" : String(v));
  }
  el.append(...children);
  return el;
}

let uid = 0;

export class ZTFileUploadElement extends HTMLElement {
  readonly core: UploadCore;
  private readonly root: ShadowRoot;
  private readonly listBox: HTMLDivElement;
  private readonly live: HTMLDivElement;
  private selected = new Set<Entry>();
  private active: Entry | null = null;
  private sort: SortColumn | null = null;
  private directions = new Map<number, boolean>();
  private menu: HTMLElement | null = null;
  private attached = new Map<string, Function[]>();
  private readonly idBase = `zt${++uid}`;

  constructor() {
    super();
    this.core = new UploadCore(xhrTransport, (name, detail) => this.fire(name, detail), () => this.scheduleRender(), tusSender);
    this.root = this.attachShadow({ mode: "open" });
    this.listBox = h("div", { className: "list", tabindex: "0", "aria-label": "업로드할 파일 목록", "aria-multiselectable": "true" });
    this.live = h("div", { className: "sr", "aria-live": "polite" });
    this.root.append(h("style", {}, STYLE), this.listBox, this.live);
    this.listBox.addEventListener("keydown", (e) => this.onKey(e));
    this.listBox.addEventListener("click", (e) => this.onClick(e));
    this.listBox.addEventListener("dblclick", (e) => this.onDoubleClick(e));
    this.listBox.addEventListener("contextmenu", (e) => this.onContextMenu(e));
    this.listBox.addEventListener("dragenter", (e) => {
      if (e.dataTransfer?.types.includes("Files")) e.preventDefault();
    });
    this.listBox.addEventListener("dragover", (e) => {
      if (e.dataTransfer?.types.includes("Files")) e.preventDefault();
    });
    this.listBox.addEventListener("drop", (e) => this.onDrop(e));
  }

  connectedCallback(): void {
    // <param> children and attributes set the stored properties, as an <object>'s params do.
    const params: [string, string][] = [...this.querySelectorAll(":scope > param")].map((p) => [p.getAttribute("name") ?? "", p.getAttribute("value") ?? ""]);
    for (const a of this.getAttributeNames()) params.push([a, this.getAttribute(a) ?? ""]);
    for (const [name, value] of params) {
      const known = name.toUpperCase() === "URL" ? "URL" : (Object.keys(DEFAULTS) as StoredName[]).find((n) => n.toUpperCase() === name.toUpperCase());
      if (known === "URL") this.core.URL = value;
      else if (known) this.core.setStored(known, value === "True" ? -1 : value === "False" ? 0 : value);
    }
    for (const dim of ["width", "height"]) {
      const v = this.getAttribute(dim);
      if (v) this.style[dim as "width"] = /^\d+$/.test(v) ? `${v}px` : v;
    }
    this.render();
  }

  // Events: DOM events carry the parameters in detail; attachEvent handlers get them in order, as from the control.
  private fire(name: string, detail: Record<string, unknown>): void {
    this.dispatchEvent(new CustomEvent(name, { detail, bubbles: true, composed: true }));
    const args = (EVENTS[name] ?? []).map((p) => detail[p]);
    for (const handler of this.attached.get(name.toLowerCase()) ?? []) handler.apply(this, args);
  }
  attachEvent(name: string, handler: Function): boolean {
    const key = name.replace(/^on/i, "").toLowerCase();
    this.attached.set(key, [...(this.attached.get(key) ?? []), handler]);
    return true;
  }
  detachEvent(name: string, handler: Function): void {
    const key = name.replace(/^on/i, "").toLowerCase();
    this.attached.set(key, (this.attached.get(key) ?? []).filter((f) => f !== handler));
  }

  // Methods.
  AddLocalFile(_path?: unknown): never {
    return this.core.fail(ERROR.NotInBrowser);
  }
  AddLocalFiles(_pattern?: unknown): never {
    return this.core.fail(ERROR.NotInBrowser);
  }
  AddVirtualFile(path: unknown): boolean {
    return this.core.addVirtualFile(path);
  }
  AddVirtualFileWithSize(path: unknown, size: unknown): boolean {
    return this.core.addVirtualFile(path, size);
  }
  DeleteFile(index: unknown): boolean {
    return this.core.deleteFile(index);
  }
  DeleteFile2(name: unknown): boolean {
    return this.core.deleteFile2(name);
  }
  FindFilePos(name: unknown): number {
    return this.core.findPos(toText(name));
  }
  GetSelectedCount(): number {
    return this.selectedInViewOrder().length;
  }
  GetSelectedFileName(index: unknown): string {
    return this.selectedInViewOrder()[toLong(index)]?.name ?? "";
  }
  SetFileAttr(name: unknown, value: unknown): boolean {
    return this.core.setAttr(false, name, value);
  }
  GetFileAttr(name: unknown): string {
    return this.core.getAttr(false, name);
  }
  SetDeleteFileAttr(name: unknown, value: unknown): boolean {
    return this.core.setAttr(true, name, value);
  }
  GetDeleteFileAttr(name: unknown): string {
    return this.core.getAttr(true, name);
  }
  GetFileAttrs(): AttrArray {
    return new AttrArray(this.core.attrs(this.core.current() ?? this.core.raise(ERROR.NoSuchFile)));
  }
  GetDeleteFileAttrs(): AttrArray {
    return new AttrArray(this.core.attrs(this.core.currentDeleted() ?? this.core.fail(ERROR.NoSuchFile)));
  }
  AddMessage(name: unknown, value: unknown): void {
    this.core.messages.push({ name: toText(name), value: toText(value) });
  }
  ClearMessage(): void {
    this.core.messages = [];
  }
  PostMessage(): Promise<string> {
    return this.core.postMessage();
  }
  PostFile(): Promise<string> {
    return this.core.postFile();
  }
  Post(async?: unknown): Promise<string> {
    if (!async || this.core.busy || !this.core.targetUrl()) return this.core.post();
    return this.progressWindow();
  }
  OpenPostDialog(): Promise<void> {
    if (this.core.busy) {
      this.core.record(ERROR.Busy);
      return Promise.resolve();
    }
    return this.perFileWindow();
  }
  OpenFile(): Promise<void> {
    const entry = this.core.current();
    if (!entry) {
      this.core.record(ERROR.NoSuchFile);
      return Promise.resolve();
    }
    if (this.core.busy) {
      this.core.record(ERROR.Busy);
      return Promise.resolve();
    }
    return this.openWindow(entry);
  }
  /** The file chooser; a browser opens it only from the person's click or key. */
  OpenFileDialog(): Promise<void> {
    return this.choose(false);
  }
  OpenFolderDialog(): Promise<void> {
    return this.choose(true);
  }

  // Adding the person's files.
  private add(files: PickedFile[], raise: boolean): void {
    try {
      this.core.addLocalFiles(files);
      this.announce(`${files.length}개 파일을 추가했습니다.`);
    } catch (e) {
      this.announce(this.core.errorDescription);
      if (raise) throw e;
    }
  }
  private choose(folder: boolean): Promise<void> {
    return new Promise((resolve, reject) => {
      const input = h("input", { type: "file", multiple: true, webkitdirectory: folder, hidden: true, "aria-hidden": "true" });
      this.root.append(input);
      const done = () => {
        input.remove();
        this.listBox.focus();
      };
      input.addEventListener("change", () => {
        let files = [...(input.files ?? [])];
        // A folder adds its own files, not those of its subfolders.
        if (folder) files = files.filter((f) => f.webkitRelativePath.split("/").length === 2);
        done();
        try {
          this.add(files.map((f) => ({ file: f, name: f.name, path: f.webkitRelativePath || f.name, lastModified: f.lastModified })), true);
          resolve();
        } catch (e) {
          reject(e);
        }
      });
      input.addEventListener("cancel", () => {
        done();
        resolve();
      });
      input.click();
    });
  }
  private async onDrop(e: DragEvent): Promise<void> {
    if (!e.dataTransfer) return;
    e.preventDefault();
    const items = [...e.dataTransfer.items].filter((i) => i.kind === "file");
    const entries = items.map((i) => (i as DataTransferItem & { webkitGetAsEntry?: () => FileSystemEntry | null }).webkitGetAsEntry?.() ?? null);
    const plain = items.map((i) => i.getAsFile());
    const picked: PickedFile[] = [];
    for (const [i, entry] of entries.entries()) {
      if (entry?.isDirectory) picked.push(...(await folderFiles(entry as FileSystemDirectoryEntry)));
      else {
        const file = entry?.isFile ? await new Promise<File>((ok, ko) => (entry as FileSystemFileEntry).file(ok, ko)) : plain[i];
        if (file) picked.push({ file, name: file.name, path: file.name, lastModified: file.lastModified });
      }
    }
    this.add(picked, false);
  }

  // The list.
  private selectedInViewOrder(): Entry[] {
    return this.rows().filter((e) => this.selected.has(e));
  }
  private rows(): Entry[] {
    const c = this.core;
    const details = this.details();
    return viewOrder(c.entries, details ? this.sort : null, c.attributeNames, (e, n) => c.attributeOf(e, n));
  }
  private details(): boolean {
    const t = toLong(this.core.props.ListType);
    return t === 1 || t === 4;
  }
  private rowId(entry: Entry): string {
    return `${this.idBase}-r${this.core.entries.indexOf(entry)}`;
  }
  // A drop of thousands of files changes the model thousands of times: build the list once after them.
  private renderPending = false;
  private scheduleRender(): void {
    if (this.renderPending) return;
    this.renderPending = true;
    queueMicrotask(() => {
      this.renderPending = false;
      this.render();
    });
  }

  /** Builds the list anew from the entries, as the control's view is rebuilt. */
  render(): void {
    const c = this.core;
    const type = toLong(c.props.ListType);
    const details = this.details();
    for (const e of [...this.selected]) if (!c.entries.includes(e)) this.selected.delete(e);
    if (this.active && !c.entries.includes(this.active)) this.active = null;
    const box = this.listBox;
    box.replaceChildren();
    box.className = `list view${[0, 1, 2, 3, 4].includes(type) ? type : 0}${toLong(c.props.GridLine) ? " grid" : ""}`;
    box.style.background = cssColor(toLong(c.props.BgColor));
    box.style.color = cssColor(toLong(c.props.FgColor));
    box.setAttribute("role", details ? "grid" : "listbox");
    const columns = details ? [...COLUMN_TITLES, ...(type === 4 ? c.attributeNames : [])] : [];
    // 200, 300 and 100 pixels on a list wider than 600, else 30, 50 and 20 per cent; 100 pixels per attribute.
    const wide = this.getBoundingClientRect().width > 600;
    box.style.setProperty("--cols", [...(wide ? ["200px", "300px", "100px"] : ["30%", "50%", "20%"]), ...columns.slice(3).map(() => "100px")].join(" "));
    if (details) {
      box.append(h("div", { role: "row", className: "head" }, ...columns.map((title, i) => {
        const sorted = this.sort?.column === i;
        return h("div", { role: "columnheader", "aria-sort": sorted ? (this.sort!.ascending ? "ascending" : "descending") : undefined },
          h("button", { type: "button", tabindex: "-1", onclick: (ev: Event) => { ev.stopPropagation(); this.sortBy(i); } }, title));
      })));
    }
    for (const entry of this.rows()) {
      const icon = h("span", { className: `icon ${entry.serverPath ? "server " : ""}${iconKind(entry.name)}`, "aria-hidden": "true" });
      const selected = this.selected.has(entry) ? "true" : "false";
      const props = { id: this.rowId(entry), className: `row${this.active === entry ? " active" : ""}`, "aria-selected": selected };
      if (details) {
        const cells = [entry.name, c.pathOf(entry), sizeText(entry), ...(type === 4 ? c.attributeNames.map((n) => c.attributeOf(entry, n)) : [])];
        box.append(h("div", { role: "row", ...props }, ...cells.map((t, i) => h("div", { role: "gridcell", className: i === 2 ? "num" : "" }, ...(i === 0 ? [icon] : []), t))));
      } else {
        box.append(h("div", { role: "option", ...props }, icon, h("span", { className: "name" }, entry.name)));
      }
    }
    if (this.active) box.setAttribute("aria-activedescendant", this.rowId(this.active));
    else box.removeAttribute("aria-activedescendant");
  }
  // Ascending on a column's first click, reversed by every further one; each column keeps its direction.
  private sortBy(column: number): void {
    const ascending = this.directions.has(column) ? !this.directions.get(column) : true;
    this.directions.set(column, ascending);
    this.sort = { column, ascending };
    this.render();
  }
  private entryAt(target: EventTarget | null): Entry | null {
    const row = (target as HTMLElement | null)?.closest?.(".row");
    if (!row) return null;
    return this.core.entries[Number(row.id.slice(row.id.lastIndexOf("r") + 1))] ?? null;
  }
  private choose1(entry: Entry | null, how: { toggle?: boolean; range?: boolean } = {}): void {
    const rows = this.rows();
    if (!entry) this.selected.clear();
    else if (how.toggle) this.selected.has(entry) ? this.selected.delete(entry) : this.selected.add(entry);
    else if (how.range && this.active) {
      const [a, b] = [rows.indexOf(this.active), rows.indexOf(entry)].sort((x, y) => x - y);
      this.selected = new Set(rows.slice(a, b + 1));
    } else this.selected = new Set([entry]);
    if (entry) this.active = entry;
    const first = this.selectedInViewOrder()[0];
    this.core.filePos = first ? this.core.entries.indexOf(first) : this.core.entries.length ? 0 : -1;
    this.render();
    this.fire("ItemClick", { fileIndex: first ? this.core.filePos : -1 });
  }
  private onClick(e: MouseEvent): void {
    this.closeMenu();
    this.choose1(this.entryAt(e.target), { toggle: e.ctrlKey || e.metaKey, range: e.shiftKey });
  }
  private onDoubleClick(e: MouseEvent): void {
    const entry = this.entryAt(e.target);
    if (entry) this.core.filePos = this.core.entries.indexOf(entry);
    this.fire("ItemDblClick", { FileName: entry?.name ?? "" });
  }
  private removeSelected(): void {
    for (const entry of this.selectedInViewOrder()) {
      const i = this.core.entries.indexOf(entry);
      if (i >= 0) this.core.removeAt(i);
    }
    this.selected.clear();
    this.render();
    this.announce(`파일을 삭제했습니다. 남은 파일 ${this.core.FileCount}개`);
  }
  private onKey(e: KeyboardEvent): void {
    const rows = this.rows();
    const at = this.active ? rows.indexOf(this.active) : -1;
    const move = (to: number) => {
      if (!rows.length) return;
      const entry = rows[Math.max(0, Math.min(rows.length - 1, to))];
      if (e.ctrlKey) {
        this.active = entry;
        this.render();
      } else this.choose1(entry, { range: e.shiftKey });
      this.root.getElementById(this.rowId(entry))?.scrollIntoView({ block: "nearest" });
    };
    const key = e.key;
    if (key === "ArrowDown" || key === "ArrowRight") move(at + 1);
    else if (key === "ArrowUp" || key === "ArrowLeft") move(at < 0 ? 0 : at - 1);
    else if (key === "Home") move(0);
    else if (key === "End") move(rows.length - 1);
    else if (key === " " && this.active) this.choose1(this.active, { toggle: e.ctrlKey });
    else if (key === "Delete") this.removeSelected();
    else if (key === "Enter" && this.active) this.fire("ItemDblClick", { FileName: this.active.name });
    else if (key === "a" && e.ctrlKey) {
      this.selected = new Set(rows);
      this.render();
    } else if (key === "ContextMenu" || (key === "F10" && e.shiftKey)) {
      const r = this.active ? this.root.getElementById(this.rowId(this.active))?.getBoundingClientRect() : null;
      const box = this.listBox.getBoundingClientRect();
      this.openMenu(r ? r.left + 20 : box.left + 10, r ? r.bottom : box.top + 10);
    } else return;
    e.preventDefault();
  }

  // The context menu.
  private onContextMenu(e: MouseEvent): void {
    e.preventDefault();
    this.openMenu(e.clientX, e.clientY);
  }
  private openMenu(x: number, y: number): void {
    this.closeMenu();
    if (toLong(this.core.props.EnableMenu) !== 1) return;
    const c = this.core;
    const item = (label: string, enabled: boolean, action: () => void) =>
      h("div", { role: "menuitem", tabindex: "-1", "aria-disabled": enabled ? undefined : "true", "data-action": label,
        onclick: () => { if (enabled) { this.closeMenu(); action(); } } }, label);
    const type = toLong(c.props.ListType);
    const viewMenu = h("div", { role: "menu", className: "menu sub", "aria-label": MENU.view, hidden: true },
      ...VIEWS.map(([label, value]) => h("div", { role: "menuitemradio", tabindex: "-1",
        "aria-checked": value === type || (value === 3 && type === 2) ? "true" : "false",
        onclick: () => { this.closeMenu(); c.props.ListType = value; this.render(); } }, label)));
    const viewItem = h("div", { role: "menuitem", tabindex: "-1", "aria-haspopup": "menu", "aria-expanded": "false",
      onclick: () => this.openSub(viewItem, viewMenu) }, MENU.view);
    const menu = h("div", { role: "menu", className: "menu", "aria-label": "파일" },
      item(MENU.open, true, () => void this.OpenFileDialog().catch(() => {})),
      item(MENU.folder, toLong(c.props.EnableFolderMenu) !== 0, () => void this.OpenFolderDialog().catch(() => {})),
      h("div", { role: "separator" }),
      item(MENU.remove, toLong(c.props.EnableDeleteMenu) !== 0, () => this.removeSelected()),
      h("div", { role: "separator" }),
      viewItem, viewMenu);
    menu.addEventListener("keydown", (e) => this.onMenuKey(e, menu, viewItem, viewMenu));
    this.root.append(menu);
    const host = this.getBoundingClientRect();
    menu.style.left = `${Math.max(0, x - host.left)}px`;
    menu.style.top = `${Math.max(0, y - host.top)}px`;
    this.menu = menu;
    (menu.querySelector("[role=menuitem]") as HTMLElement).focus();
    setTimeout(() => document.addEventListener("pointerdown", this.outside, { once: true }));
  }
  private outside = (e: Event) => {
    if (this.menu && !e.composedPath().includes(this.menu)) this.closeMenu();
  };
  private openSub(item: HTMLElement, sub: HTMLElement): void {
    sub.hidden = false;
    item.setAttribute("aria-expanded", "true");
    (sub.firstElementChild as HTMLElement).focus();
  }
  private closeMenu(focusList = false): void {
    if (!this.menu) return;
    this.menu.remove();
    this.menu = null;
    if (focusList) this.listBox.focus();
  }
  private onMenuKey(e: KeyboardEvent, menu: HTMLElement, viewItem: HTMLElement, viewMenu: HTMLElement): void {
    const inSub = viewMenu.contains(e.target as Node);
    const scope = inSub ? viewMenu : menu;
    const items = [...scope.querySelectorAll(":scope > [role^=menuitem]")] as HTMLElement[];
    const i = items.indexOf(e.target as HTMLElement);
    if (e.key === "ArrowDown") items[(i + 1) % items.length].focus();
    else if (e.key === "ArrowUp") items[(i - 1 + items.length) % items.length].focus();
    else if (e.key === "ArrowRight" && e.target === viewItem) this.openSub(viewItem, viewMenu);
    else if ((e.key === "ArrowLeft" || e.key === "Escape") && inSub) {
      viewMenu.hidden = true;
      viewItem.setAttribute("aria-expanded", "false");
      viewItem.focus();
    } else if (e.key === "Escape" || e.key === "Tab") this.closeMenu(true);
    else if (e.key === "Enter" || e.key === " ") (e.target as HTMLElement).click();
    else return;
    e.preventDefault();
    e.stopPropagation();
  }

  private announce(message: string): void {
    this.live.textContent = message;
  }

  // The windows.
  private dialog(title: string, ...body: (Node | string)[]): HTMLDialogElement {
    const titleId = `${this.idBase}-t${++uid}`;
    const d = h("dialog", { className: "window", "aria-labelledby": titleId }, h("h2", { id: titleId }, title), ...body);
    // Esc does nothing in the control's windows; their buttons end them.
    d.addEventListener("cancel", (e) => e.preventDefault());
    this.root.append(d);
    d.showModal();
    return d;
  }

  /** Post(true): the status window over the page for the whole post. */
  private progressWindow(): Promise<string> {
    const c = this.core;
    const files = c.entries.filter((e) => e.file);
    const count = h("p", {}, text(502, 0, files.length));
    const size = h("p", {}, text(503, 0, 0));
    const rate = h("p", {}, text(505, 0));
    const elapsed = h("p", {}, text(507, 0, 0, 0));
    const bar = h("progress", { max: "100", value: "0", "aria-label": "전송 진행률" });
    const live = h("p", { className: "sr", "aria-live": "polite" });
    const abort = new AbortController();
    // A browser cannot hold a single request it has started: there Stop is shown as the control shows it, but
    // disabled. A resumable post holds between its chunks.
    const hold = new Hold();
    const resumable = toText(c.props.ResumableURL) !== "";
    const stop = h("button", { type: "button", disabled: !resumable, title: resumable ? undefined : "브라우저에서는 전송을 멈출 수 없습니다", onclick: () => {
      if (hold.held) hold.release();
      else hold.hold();
      stop.textContent = hold.held ? "Resume" : "Stop";
    } }, "Stop");
    const cancel = h("button", { type: "button", onclick: () => {
      abort.abort();
      hold.release();
    } }, "Cancel");
    const d = this.dialog(text(504), count, size, rate, bar, elapsed, live, h("div", { className: "buttons" }, stop, cancel));
    d.classList.add("status");
    cancel.focus();
    const started = Date.now();
    let shown = 0;
    const sizes = files.map((f) => f.size);
    const tick = setInterval(() => {
      elapsed.textContent = text(507, ...clock((Date.now() - started) / 1000));
    }, 1000);
    const onProgress = (sent: number, total: number) => {
      let done = 0, left = sent - (total - sizes.reduce((a, b) => a + b, 0));
      for (const s of sizes) if (left >= s) { done++; left -= s; } else break;
      count.textContent = text(502, done, files.length);
      size.textContent = text(503, Math.floor(sent / 1024), Math.floor(total / 1024));
      bar.value = total ? Math.floor((sent * 100) / total) : 0;
      const now = Date.now();
      if (now - shown >= 1000 || sent === total) {
        shown = now;
        rate.textContent = text(505, Math.floor(sent / Math.max(1, now - started)));
        live.textContent = `${bar.value}%`;
      }
      if (sent === total) cancel.disabled = stop.disabled = true;
    };
    return c.post({ onProgress, signal: abort.signal, beforeChunk: () => hold.wait(abort.signal) }).then(async (reply) => {
      clearInterval(tick);
      await new Promise((r) => setTimeout(r, 500));
      d.close();
      d.remove();
      this.listBox.focus();
      return reply;
    });
  }

  /** OpenPostDialog: the per-file window. Resolves when the person closes it. */
  private perFileWindow(): Promise<void> {
    const c = this.core;
    const rowCells: HTMLTableCellElement[] = [];
    const run = new FileRun(c, {
      row: (i) => (rowCells[i].textContent = text(ROW_TEXTS[run.rows[i].state])),
      progress: () => progress(),
    });
    const table = h("table", {}, h("caption", { className: "sr" }, "전송할 파일"),
      h("thead", {}, h("tr", {}, ...[21001, 21002, 21003, 21004].map((id) => h("th", { scope: "col" }, text(id))))),
      h("tbody", {}, ...run.rows.map((r) => {
        const state = h("td", { className: "num" }, text(21005));
        rowCells.push(state);
        return h("tr", {}, h("th", { scope: "row" }, r.entry.name), h("td", {}, r.entry.localPath), h("td", { className: "num" }, sizeText(r.entry)), state);
      })));
    const counter = h("p", {}, text(502, 0, 0));
    const overall = h("p", {}, text(503, 0, 0));
    const fileLabel = h("p", {}, text(21009, 0, 0));
    const fileBar = h("progress", { max: "100", value: "0", "aria-label": "현재 파일 진행률" });
    const allBar = h("progress", { max: "100", value: "0", "aria-label": "전체 진행률" });
    const elapsed = h("p", {}, text(507, 0, 0, 0));
    const rate = h("p", {}, text(505, 0));
    const estimate = h("p", {}, text(506, 0, 0, 0));
    const alert = h("p", { role: "alert", className: "alert" });
    const start = h("button", { type: "button" }, "Start");
    const pause = h("button", { type: "button", disabled: true }, "Pause");
    const cancel = h("button", { type: "button" }, "Cancel");
    const d = this.dialog(text(504), h("p", {}, text(500, c.host + c.path)), h("p", {}, text(501, toLong(c.props.Port))),
      counter, rate, elapsed, estimate, overall, allBar, fileLabel, fileBar, h("div", { className: "table" }, table), alert,
      h("div", { className: "buttons" }, start, pause, cancel));
    d.classList.add("multi");
    start.focus();
    let began = 0;
    const progress = () => {
      const sending = run.rows.find((r) => r.state === RowState.Sending);
      const sent = run.sent;
      overall.textContent = text(21010, Math.floor(sent / 1024), Math.floor(run.total / 1024));
      allBar.value = run.total ? Math.floor((sent * 100) / run.total) : run.finished ? 100 : 0;
      counter.textContent = text(21011, run.rows.length, run.rows.filter((r) => r.state !== RowState.Waiting).length);
      if (sending) {
        fileLabel.textContent = text(21009, Math.floor(sending.sent / 1024), Math.floor(sending.entry.size / 1024));
        fileBar.value = sending.entry.size ? Math.floor((sending.sent * 100) / sending.entry.size) : 0;
      }
      const perMs = sent / Math.max(1, Date.now() - began);
      rate.textContent = text(505, Math.floor(perMs));
      if (perMs > 0) estimate.textContent = text(506, ...clock((run.total - sent) / perMs / 1000));
    };
    let tick = 0;
    return new Promise((resolve) => {
      const close = () => {
        clearInterval(tick);
        run.cancel();
        d.close();
        d.remove();
        this.listBox.focus();
        resolve();
      };
      cancel.addEventListener("click", close);
      // Esc is the Cancel (or Close) button, while that button may be pressed.
      d.addEventListener("cancel", () => {
        if (!cancel.disabled) close();
      });
      pause.addEventListener("click", () => {
        if (run.paused) {
          run.resume();
          pause.textContent = "Pause";
          cancel.disabled = true;
        } else {
          run.pause();
          pause.textContent = "Resume";
          cancel.disabled = false;
        }
      });
      start.addEventListener("click", async () => {
        alert.textContent = "";
        start.disabled = true;
        cancel.disabled = true;
        pause.disabled = false;
        began = Date.now();
        clearInterval(tick);
        tick = window.setInterval(() => (elapsed.textContent = text(507, ...clock((Date.now() - began) / 1000))), 1000);
        const processed = await run.start();
        clearInterval(tick);
        pause.disabled = true;
        pause.textContent = "Pause";
        cancel.disabled = false;
        if (!processed) {
          // The fields were refused: the control's error box, inside the window.
          alert.textContent = `오류: ${c.errorDescription}`;
          start.disabled = false;
          start.focus();
          return;
        }
        progress();
        cancel.textContent = "Close";
        if (run.failedCount) {
          start.textContent = text(21012);
          start.disabled = false;
        }
        this.announce(`${run.rows.length - run.failedCount}개 완료, ${run.failedCount}개 실패`);
        cancel.focus();
      });
    });
  }

  /** OpenFile: the person confirms opening or saving the server file. */
  private openWindow(entry: Entry): Promise<void> {
    const c = this.core;
    let url: string;
    try {
      url = new URL(entry.serverPath || "", c.targetUrl() ?? document.baseURI).href;
      if (!entry.serverPath || !/^https?:$/.test(new URL(url).protocol)) throw new Error();
    } catch {
      c.record(ERROR.NoSuchFile);
      return Promise.resolve();
    }
    return new Promise((resolve) => {
      const end = () => {
        d.close();
        d.remove();
        this.listBox.focus();
        resolve();
      };
      const open = h("button", { type: "button", onclick: () => { window.open(url, "_blank", "noopener"); end(); } }, "열기");
      const save = h("button", { type: "button", onclick: () => {
        const a = h("a", { href: url, download: entry.name, hidden: true });
        this.root.append(a);
        a.click();
        a.remove();
        end();
      } }, "저장");
      const cancel = h("button", { type: "button", onclick: end }, text(32793));
      const d = this.dialog("파일 열기", h("p", { className: "pre" }, text(32787)), h("p", {}, entry.name), h("div", { className: "buttons" }, open, save, cancel));
      open.focus();
    });
  }
}

/** The control's 2 x n attribute array: [row][column], plus the reading methods VBArray offers. */
export class AttrArray extends Array<string[]> {
  // map, filter and slice of it give plain arrays.
  static get [Symbol.species]() {
    return Array;
  }
  constructor(rows: string[][]) {
    super();
    this.push(...rows);
  }
  getItem(row: number, column: number): string {
    return this[row]?.[column] ?? "";
  }
  lbound(): number {
    return 0;
  }
  ubound(dimension = 1): number {
    return (dimension === 1 ? 2 : this[0].length) - 1;
  }
  dimensions(): number {
    return 2;
  }
  /** Column by column, as VBArray.toArray lists a 2 x n array. */
  toArray(): string[] {
    return this[0].flatMap((name, i) => [name, this[1][i]]);
  }
}

async function folderFiles(dir: FileSystemDirectoryEntry): Promise<PickedFile[]> {
  const reader = dir.createReader();
  const all: FileSystemEntry[] = [];
  // readEntries answers in batches until an empty one.
  for (;;) {
    const batch = await new Promise<FileSystemEntry[]>((ok, ko) => reader.readEntries(ok, ko));
    if (!batch.length) break;
    all.push(...batch);
  }
  const files: PickedFile[] = [];
  for (const entry of all.filter((e) => e.isFile).sort((a, b) => (a.name < b.name ? -1 : 1))) {
    const file = await new Promise<File>((ok, ko) => (entry as FileSystemFileEntry).file(ok, ko));
    files.push({ file, name: file.name, path: `${dir.name}/${file.name}`, lastModified: file.lastModified });
  }
  return files;
}

// The properties, by the control's names.
type Accessor = { get(this: ZTFileUploadElement): unknown; set?(this: ZTFileUploadElement, v: unknown): void };
const readOnly = function (this: ZTFileUploadElement) {
  this.core.raise(ERROR.ReadOnly);
};
const need = (el: ZTFileUploadElement) => el.core.current() ?? el.core.fail(ERROR.NoSuchFile);
const accessors: Record<string, Accessor> = {
  URL: { get() { return this.core.URL; }, set(v) { this.core.URL = v; } },
  ErrorCode: { get() { return this.core.errorCode; } },
  ErrorDescription: { get() { return this.core.errorDescription; } },
  FileCount: { get() { return this.core.FileCount; } },
  DeleteFileCount: { get() { return this.core.DeleteFileCount; } },
  FilePos: { get() { return this.core.filePos; }, set(v) { this.core.setFilePos(v); } },
  DeleteFilePos: { get() { return this.core.deleteFilePos; }, set(v) { this.core.setDeleteFilePos(v); } },
  IsUpdated: { get() { need(this); return false; } },
  IsLocalFile: { get() { return !(this.core.current() ?? this.core.raise(ERROR.NoSuchFile)).serverPath; } },
  FileName: { get() { return need(this).name; }, set(v) { this.core.setFileName(v); } },
  FilePath: { get() {
    const e = this.core.current();
    if (!e) this.core.record(ERROR.NoSuchFile);
    return e ? this.core.pathOf(e) : "";
  } },
  DeleteFileName: { get() { return (this.core.currentDeleted() ?? this.core.fail(ERROR.NoSuchFile)).name; }, set(v) { this.core.setDeleteFileName(v); } },
  DeleteFilePath: { get() {
    const e = this.core.currentDeleted();
    if (!e) this.core.record(ERROR.NoSuchFile);
    return e ? this.core.pathOf(e) : "";
  } },
  ResponseStatusCode: { get() { return this.core.responseStatusCode; } },
  ResponseText: { get() { return this.core.responseText; } },
  FileSize: { get() { return need(this).size | 0; }, set(v) {
    const e = this.core.current() ?? this.core.fail(ERROR.ReadOnly);
    e.size = toLong(v);
    this.render();
  } },
  FileBytes: { get() { return need(this).size; }, set() {} },
};
for (const name of Object.keys(DEFAULTS) as StoredName[]) {
  accessors[name] = { get() { return this.core.getStored(name); }, set(v) { this.core.setStored(name, v); } };
}
for (const [name, a] of Object.entries(accessors)) {
  Object.defineProperty(ZTFileUploadElement.prototype, name, { get: a.get, set: a.set ?? readOnly, configurable: true });
}

if (!customElements.get("zt-file-upload")) customElements.define("zt-file-upload", ZTFileUploadElement);
