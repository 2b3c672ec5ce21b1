// The control's script surface and its error texts. test/control-table.test.mjs
// holds these against the control's own member table and string table, so the
// two cannot drift apart.

export type MemberKind = "property" | "method";

export interface Member {
  name: string;
  /** The control's run-time number: its place in this list, from 1. */
  dispid: number;
  kind: MemberKind;
  /** Number of parameters of a method. */
  params: number;
  readOnly?: boolean;
  /** Cannot work in a browser: the twin answers E09001 and changes nothing. */
  browserless?: boolean;
}

const P = (name: string, extra: Partial<Member> = {}) => ({ name, kind: "property" as const, params: 0, ...extra });
const M = (name: string, params: number, extra: Partial<Member> = {}) => ({ name, kind: "method" as const, params, ...extra });

export const MEMBERS: readonly Member[] = [
  P("MaxUploadSize"), P("EnableFolderMenu"), P("EnableMenu"), P("EnableDeleteMenu"), P("URL"),
  P("ErrorCode", { readOnly: true }), P("ErrorDescription", { readOnly: true }), P("Port"), P("UserName"),
  P("Password"), P("PostMode"), P("BgColor"), P("FgColor"), P("TrackSelect"), P("RowSelect"),
  P("EnableHeaderMove"), P("UTF8"), P("GridLine"), P("ListType"), P("FileCount", { readOnly: true }), P("FilePos"),
  P("DeleteFilePos"), P("DeleteFileCount", { readOnly: true }), P("IsUpdated", { readOnly: true }),
  P("IsLocalFile", { readOnly: true }), P("FileName"), P("FilePath", { readOnly: true }), P("DeleteFileName"),
  P("DeleteFilePath", { readOnly: true }), P("ExFileAttributes"), P("KByteRate"),
  P("ResponseStatusCode", { readOnly: true }), P("ResponseText", { readOnly: true }), P("FileSize"), P("FileBytes"),
  P("DbClickEventEnable"),
  M("AddLocalFile", 1, { browserless: true }), M("AddVirtualFile", 1), M("AddVirtualFileWithSize", 2),
  M("DeleteFile", 1), M("DeleteFile2", 1), M("OpenFileDialog", 0), M("OpenFolderDialog", 0),
  M("GetSelectedCount", 0), M("GetSelectedFileName", 1), M("AddLocalFiles", 1, { browserless: true }),
  M("Post", 1), M("AddMessage", 2), M("FindFilePos", 1), M("SetFileAttr", 2), M("GetFileAttr", 1),
  M("SetDeleteFileAttr", 2), M("GetDeleteFileAttr", 1), M("GetFileAttrs", 0), M("ClearMessage", 0),
  M("PostMessage", 0), M("PostFile", 0), M("OpenPostDialog", 0), M("GetDeleteFileAttrs", 0), M("OpenFile", 0),
  P("RetryCount"), P("ParallelCount"), P("ResumableURL"),
].map((m, i) => ({ ...m, dispid: i + 1 }));

/** The events, with their parameters in the order the control passes them. */
export const EVENTS: Readonly<Record<string, readonly string[]>> = {
  ItemDblClick: ["FileName"],
  ItemClick: ["fileIndex"],
  AfterAddFile: ["fileIndex"],
  AfterDeleteFile: ["FileName", "FilePath"],
  AfterAddFiles: ["FileCount"],
};

/** The control's texts by string table number; %s takes a name. */
export const TEXTS: Readonly<Record<number, string>> = {
  500: "서버 URL : %s",
  501: "포트 번호 : %s",
  502: "파일수 :  %s / %s 개",
  503: "%s KB / %s KB",
  504: "파일 업로드 상태 윈도우",
  505: "전송속도 : %d KB/s",
  506: "예상시간 : %.2u:%.2u:%.2u",
  507: "경과시간 : %.2u:%.2u:%.2u",
  1001: "전송 대상 호스트명과 위치를 설정하지 않았습니다.",
  1002: "\"%s\" 파일명이 이미 존재합니다. 파일을 추가할 수 없습니다.",
  1003: "파일 인덱스를 초과했습니다. 처리가 중지됩니다.",
  1004: "총 파일들 크기를 초과했습니다. 처리가 중지됩니다.",
  1005: "읽기 전용 입니다.",
  1006: "해당 파일이 존재하지 않습니다.",
  1007: "\"_\"로 시작하는 속성을 입력할 수 없습니다.",
  1008: "파일을 전송중입니다. 처리가 중지됩니다.",
  1009: "전송할 데이터가 없습니다. 처리가 중지됩니다.",
  1010: "전송 데이터 생성에 실패했습니다. 처리가 중지됩니다.",
  4003: "연결에 실패했습니다.",
  4006: "Request 전송 중 오류가 발생했습니다.",
  4008: "파일 전송 중 오류가 발생했습니다.",
  4010: "응답 상태 코드를 가져올 수 없습니다.",
  4101: "전송할 파일을 읽을 수 없습니다.",
  14001: "전송이 취소되었습니다.",
  21001: "파일명",
  21002: "파일경로",
  21003: "파일크기",
  21004: "전송상태",
  21005: "대기",
  21006: "전송중",
  21007: "완료",
  21008: "실패",
  21009: "파일 전송 상태 : %s KB / %s KB",
  21010: "총 전송 상태 : %s KB / %s KB",
  21011: "총파일 %s 개 중 %s 개 전송 중",
  21012: "재시도",
  21013: "재전송",
  32787: "사용하기 전에 안전한 첨부파일만 열어야 합니다.\n\n파일을 여시겠습니까, 아니면 컴퓨터에 저장하시겠습니까?",
  32793: "취소",
};

/** The twin's own texts, for what only a browser lacks. */
export const BROWSER_TEXTS: Readonly<Record<number, string>> = {
  9001: "브라우저에서는 지원하지 않는 기능입니다. 파일은 파일 선택 창이나 끌어놓기로 추가하십시오.",
};

export const ERROR = {
  NoDestination: "E01001",
  NameExists: "E01002",
  IndexExceeded: "E01003",
  SizeExceeded: "E01004",
  ReadOnly: "E01005",
  NoSuchFile: "E01006",
  Underscore: "E01007",
  Busy: "E01008",
  NothingToSend: "E01009",
  BuildFailed: "E01010",
  Connect: "E04003",
  SendRequest: "E04006",
  QueryStatus: "E04010",
  Cancelled: "I04001",
  NotInBrowser: "E09001",
} as const;

/** The text of a code, its %s replaced by name. */
export function errorText(code: string, name = ""): string {
  // Notices (I04001) have their texts 10000 above the errors of that number.
  const n = Number(code.slice(1)) + (code[0] === "I" ? 10000 : 0);
  const text = TEXTS[n] ?? BROWSER_TEXTS[n] ?? "";
  return text.replace("%s", name);
}

/** A refused call, as JScript sees the control's dispatch exception. */
export class ZTUploadError extends Error {
  readonly code: string;
  readonly number: number;
  readonly description: string;
  constructor(code: string, description: string) {
    super(description);
    this.name = "ZTUploadError";
    this.code = code;
    this.number = Number(code.slice(1)) || 0;
    this.description = description;
  }
}
