// What the list shows of an entry, and the texts of the windows.
import { TEXTS } from "./members.js";
import type { Entry } from "./core.js";

/** A string table text with its %s / %d / %.2u places filled in order. */
export function text(id: number, ...args: (string | number)[]): string {
  let i = 0;
  const template = TEXTS[id];
  // A text missing from the table is a build fault, not something to show as blank.
  if (template === undefined) throw new Error(`no text ${id}`);
  return template.replace(/%(\.2u|s|d)/g, (_, kind) => {
    const value = args[i++] ?? "";
    return kind === ".2u" ? String(value).padStart(2, "0") : String(value);
  });
}

/** The size column: whole kilobytes rounded down, "? Kb" for a server entry. */
export function sizeText(entry: Entry): string {
  return entry.serverPath ? "? Kb" : `${Math.floor(entry.size / 1024) | 0} Kb`;
}

/** Hours, minutes and seconds of a count of seconds, hours modulo 24 as the control shows them. */
export function clock(seconds: number): [number, number, number] {
  const s = Math.max(0, Math.floor(seconds));
  return [Math.floor(s / 3600) % 24, Math.floor(s / 60) % 60, s % 60];
}

const KINDS: [string, RegExp][] = [
  ["image", /^(jpe?g|png|gif|bmp|svg|webp|tiff?|ico)$/],
  ["document", /^(docx?|hwpx?|pdf|rtf|odt|txt|md|csv|xlsx?|pptx?|ods|odp)$/],
  ["archive", /^(zip|7z|rar|gz|tgz|bz2|xz|tar|cab|alz|egg)$/],
  ["audio", /^(mp3|wav|ogg|flac|m4a|wma|aac)$/],
  ["video", /^(mp4|avi|mkv|mov|wmv|webm|mpe?g)$/],
  ["program", /^(exe|msi|bat|cmd|com|js|vbs|ps1|sh|jar)$/],
];

/** The icon family of a name's type, by the text after its last ".". */
export function iconKind(name: string): string {
  const dot = name.lastIndexOf(".");
  const ext = dot < 0 ? "" : name.slice(dot + 1).toLowerCase();
  return KINDS.find(([, pattern]) => pattern.test(ext))?.[0] ?? "file";
}

/** A colour the control keeps as 0x00BBGGRR, as CSS. */
export function cssColor(value: number): string {
  const v = value >>> 0;
  return `rgb(${v & 0xff}, ${(v >> 8) & 0xff}, ${(v >> 16) & 0xff})`;
}

export type SortColumn = { column: number; ascending: boolean };

/** Rows in view order: newest at the top, unless sorted by a column. */
export function viewOrder(entries: readonly Entry[], sort: SortColumn | null, attributeNames: readonly string[],
                          attributeOf: (e: Entry, n: string) => string): Entry[] {
  const rows = entries.slice().reverse();
  if (!sort) return rows;
  const key = (e: Entry): string | number => {
    if (sort.column === 0) return e.name;
    if (sort.column === 1) return e.serverPath || e.localPath;
    if (sort.column === 2) return e.serverPath ? 0 : e.size;
    return attributeOf(e, attributeNames[sort.column - 3] ?? "");
  };
  // Texts compare by code unit: capitals before small letters, as the control sorts.
  const compare = (a: Entry, b: Entry) => {
    const x = key(a), y = key(b);
    return x < y ? -1 : x > y ? 1 : 0;
  };
  return rows.sort((a, b) => (sort.ascending ? compare(a, b) : compare(b, a)));
}
