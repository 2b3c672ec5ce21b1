// The multipart request the control sends, built as a Blob so that file
// bytes and line ends travel unchanged (FormData would add each file's own
// Content-Type and turn a lone LF into CR LF). Portable: needs only Blob,
// TextEncoder and crypto.randomUUID, which browsers and Node 20 both have.

export type RowKind = "N" | "V" | "U" | "D";

export interface TextField {
  name: string;
  value: string;
}

export interface ManifestRow {
  kind: RowKind;
  name: string;
  size: number | bigint;
  /** The entry's attribute values by name; a name it lacks gives an empty field. */
  values: ReadonlyMap<string, string>;
}

export interface Manifest {
  attributeNames: readonly string[];
  rows: readonly ManifestRow[];
}

export interface FilePart {
  name: string;
  data: Blob;
  /** Sent beforehand as this resumable upload: the part goes with an empty body and _ZTUResumable names it. */
  upload?: string;
}

export interface RequestParts {
  fields: readonly TextField[];
  /** Absent for a post of the message fields alone. */
  manifest?: Manifest | null;
  files: readonly FilePart[];
}

export interface BuiltRequest {
  boundary: string;
  headers: Record<string, string>;
  body: Blob;
}

const encoder = new TextEncoder();

/** A text as far as its first NUL: the control's text conversions stop there. */
export function upToNul(text: string): string {
  const end = text.indexOf("\0");
  return end < 0 ? text : text.slice(0, end);
}

/**
 * A name as part headers and manifest rows carry it: the five characters that
 * could add a parameter, a header line, a part or a manifest field are written
 * %XX; nothing else is escaped.
 */
export function escapeName(name: string): string {
  return name.replace(/["\r\n|\0]/g, (c) => {
    switch (c) {
      case '"': return "%22";
      case "\r": return "%0D";
      case "\n": return "%0A";
      case "|": return "%7C";
      default: return "%00";
    }
  });
}

/** An attribute name or value inside a row: separators become spaces. */
function rowField(text: string): string {
  return text.replace(/[|\r\n\0]/g, " ");
}

function sizeText(size: number | bigint): string {
  if (typeof size === "bigint") return size.toString();
  return Number.isFinite(size) ? Math.trunc(size).toString() : "0";
}

/** The text of the `_ZTUInfo` field. */
export function manifestText(manifest: Manifest): string {
  let text = "Type|FileName|Size|";
  for (const name of manifest.attributeNames) text += rowField(name) + "|";
  text += "\r\n";
  // Deleted rows end with a lone LF, after every other row.
  const ordered = [...manifest.rows.filter((r) => r.kind !== "D"), ...manifest.rows.filter((r) => r.kind === "D")];
  for (const row of ordered) {
    text += `${row.kind}|${escapeName(row.name)}|${sizeText(row.size)}|`;
    for (const name of manifest.attributeNames) text += rowField(row.values.get(name) ?? "") + "|";
    text += row.kind === "D" ? "\n" : "\r\n";
  }
  return text;
}

/** Names compared as the control compares them: ignoring letter case. */
export function sameName(a: string, b: string): boolean {
  return a.length === b.length && a.toUpperCase() === b.toUpperCase();
}

/**
 * The fields a request carries: a name queued several times goes once, at the
 * first one's place and spelling, with the last one's value.
 */
export function mergeFields(fields: readonly TextField[]): TextField[] {
  const merged: TextField[] = [];
  for (const field of fields) {
    const earlier = merged.find((m) => sameName(m.name, field.name));
    if (earlier) earlier.value = field.value;
    else merged.push({ name: field.name, value: field.value });
  }
  return merged;
}

/** A new boundary: a random UUID in its 36-character lowercase form. */
export function newBoundary(): string {
  return crypto.randomUUID().toLowerCase();
}

/** The headers the control adds; the browser adds the others. */
export function requestHeaders(boundary: string): Record<string, string> {
  return {
    "Content-Type": `multipart/form-data; boundary=${boundary}`,
    "Accept-Language": "utf-8",
  };
}

/** The whole request: texts as UTF-8, file bytes unchanged. */
export function buildRequest(parts: RequestParts, boundary: string = newBoundary()): BuiltRequest {
  let texts = "";
  const fields = mergeFields(parts.fields);
  if (parts.manifest) fields.push({ name: "_ZTUInfo", value: manifestText(parts.manifest) });
  const uploads = parts.files.filter((f) => f.upload !== undefined);
  if (uploads.length) fields.push({ name: "_ZTUResumable", value: uploads.map((f) => `${escapeName(f.name)}|${f.upload}|\r\n`).join("") });
  for (const field of fields) {
    texts += `--${boundary}\r\nContent-Disposition: form-data; name="${escapeName(field.name)}"\r\n\r\n`;
    texts += `${upToNul(field.value)}\r\n`;
  }
  const chunks: BlobPart[] = [encoder.encode(texts)];
  parts.files.forEach((file, i) => {
    const name = escapeName(file.name);
    const header =
      (i === 0 ? "" : "\r\n") +
      `--${boundary}\r\nContent-Disposition: form-data; name="${name}"; filename="${name}"\r\n` +
      "Content-Type: application/octet-stream\r\n\r\n";
    chunks.push(encoder.encode(header));
    if (file.upload === undefined) chunks.push(file.data);
  });
  chunks.push(encoder.encode(`${parts.files.length ? "\r\n" : ""}--${boundary}--\r\n`));
  return { boundary, headers: requestHeaders(boundary), body: new Blob(chunks) };
}

/** Size text of a server entry: "12K", "3 m", "1536"; anything else is 0. */
export function parseSizeText(text: string): number {
  if (!text) return 0;
  const last = text[text.length - 1];
  let digits: string;
  let multiplier = 1;
  if (last === "K" || last === "k") {
    digits = text.replace(/[kK ]/g, "");
    multiplier = 1024;
  } else if (last === "M" || last === "m") {
    digits = text.replace(/[mM ]/g, "");
    multiplier = 1048576;
  } else {
    digits = text.replace(/ /g, "");
  }
  if (!/^[0-9]*$/.test(digits)) return 0;
  // 32-bit signed arithmetic, as the control computes it.
  let value = 0;
  for (const d of digits) value = (Math.imul(value, 10) + (d.charCodeAt(0) - 48)) | 0;
  return Math.imul(value, multiplier);
}
