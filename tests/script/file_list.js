// The control as a page's JScript drives it: entries, cursors, attributes
// and errors caught with try/catch and read from ErrorCode/ErrorDescription.
// Wine's cscript ends silently on a script error: every check counts, and
// only a script that reaches the end prints the marker.
var failures = 0;
function check(ok, what) {
  if (!ok) {
    failures++;
    WScript.Echo("FAILED: " + what);
  }
}
// Runs f, which must raise; returns the error or null.
function raises(f, what) {
  try {
    f();
  } catch (e) {
    return e;
  }
  check(false, what + " did not raise");
  return null;
}

var NO_SUCH_FILE = "\uD574\uB2F9 \uD30C\uC77C\uC774 \uC874\uC7AC\uD558\uC9C0 \uC54A\uC2B5\uB2C8\uB2E4.";
var INDEX_EXCEEDED = "\uD30C\uC77C \uC778\uB371\uC2A4\uB97C \uCD08\uACFC\uD588\uC2B5\uB2C8\uB2E4. \uCC98\uB9AC\uAC00 \uC911\uC9C0\uB429\uB2C8\uB2E4.";
var READ_ONLY = "\uC77D\uAE30 \uC804\uC6A9 \uC785\uB2C8\uB2E4.";

var fso = new ActiveXObject("Scripting.FileSystemObject");
var folder = fso.GetSpecialFolder(2).Path + "\\zt_script_js_" + Math.floor(Math.random() * 1000000);
fso.CreateFolder(folder);
function makeFile(name, text) {
  var f = fso.CreateTextFile(folder + "\\" + name, true);
  f.Write(text);
  f.Close();
  return folder + "\\" + name;
}

var c = new ActiveXObject("ZTFILEUPLOAD.ZTFileUploadCtrl.1");
check(c.Port == 80 && c.RowSelect == 1 && c.BgColor == 0xFFFFFF && c.FilePos == -1, "initial values");

// Local files and a folder pattern.
var a = makeFile("a.txt", "hello");
makeFile("b.txt", "0123456789");
check(c.AddLocalFile(a) === true, "AddLocalFile returns true");
check(c.FileName == "a.txt" && c.FilePath == a && c.FileSize == 5 && c.IsLocalFile === true, "local entry");
check(c.AddLocalFiles(folder + "\\*.txt") === true, "AddLocalFiles");
check(c.FileCount == 3, "three entries after the pattern, not " + c.FileCount);
check(c.FindFilePos("A(1).TXT") >= 0 && c.FindFilePos("b.txt") >= 0, "unique names");
check(c.AddLocalFiles("b.txt") === false && c.FileCount == 3, "pattern without a folder");

// A missing file: the entries before it stay.
var e = raises(function () { c.AddLocalFile(folder + "\\missing.txt"); }, "missing file");
check(c.ErrorCode == "E01006" && c.ErrorDescription == NO_SUCH_FILE, "missing file recorded");
check(e && e.description == NO_SUCH_FILE, "missing file raised with its text");
check(c.FileCount == 3, "list kept after a failure");

// Server entries and their properties.
check(c.AddVirtualFileWithSize("/docs/a/report.doc", "12K") === true, "AddVirtualFileWithSize");
check(c.FileName == "report.doc" && c.FilePath == "/docs/a/report.doc", "server entry name and path");
check(c.IsLocalFile === false && c.FileSize == 12288 && c.FileBytes == 12288, "server entry size");
check(c.ErrorCode == "E01006", "a success leaves the last error");

// Attributes of the current entry.
check(c.SetFileAttr("", "x") === false, "empty attribute name");
check(c.SetFileAttr("Owner", "kim") === true && c.GetFileAttr("OWNER") == "kim", "attribute set and read");
raises(function () { c.SetFileAttr("_hidden", "x"); }, "underscore attribute");
// The attribute table, read the way pages read it: names in row 0, values in row 1.
var attrs = new VBArray(c.GetFileAttrs());
check(attrs.dimensions() == 2 && attrs.ubound(1) == 1, "GetFileAttrs has two rows");
var last = attrs.ubound(2);
check(attrs.getItem(0, last) == "Owner" && attrs.getItem(1, last) == "kim", "GetFileAttrs names and values");
check(c.ErrorCode == "E01007", "underscore attribute recorded");

// Removing: out of range, then the server entry, which goes to the deleted list.
var count = c.FileCount;
raises(function () { c.DeleteFile(count); }, "DeleteFile(FileCount)");
check(c.ErrorCode == "E01003" && c.ErrorDescription == INDEX_EXCEEDED, "index exceeded");
raises(function () { c.DeleteFile(-1); }, "DeleteFile(-1)");
check(c.ErrorCode == "E01006", "negative index");
check(c.DeleteFile2("REPORT.DOC") === true && c.FileCount == count - 1, "DeleteFile2");
check(c.DeleteFileCount == 1, "deleted list grows");
c.DeleteFilePos = 0;
check(c.DeleteFilePath == "/docs/a/report.doc" && c.GetDeleteFileAttr("Owner") == "kim", "deleted entry kept");
raises(function () { c.DeleteFilePos = 1; }, "DeleteFilePos out of range");
check(c.DeleteFilePos == -1, "DeleteFilePos reset");

// Read-only properties refuse a put and leave the recorded error.
var before = c.ErrorCode;
e = raises(function () { c.FileCount = 7; }, "put FileCount");
check(e && e.description == READ_ONLY && c.ErrorCode == before, "read-only put");

// No current entry: FilePath records only, FileName raises.
try { c.FilePos = 99; } catch (ignored) {}
check(c.FilePos == -1, "FilePos beyond the list");
check(c.FilePath == "" && c.ErrorCode == "E01006", "FilePath without an entry");
raises(function () { return c.FileName; }, "FileName without an entry");
raises(function () { c.GetFileAttrs(); }, "GetFileAttrs without an entry");

// OpenFile without a current entry has nothing to fetch: it neither raises
// nor records anything.
before = c.ErrorCode;
c.OpenFile();
check(c.ErrorCode == before, "OpenFile without an entry");

c = null;
CollectGarbage();
fso.DeleteFolder(folder, true);
WScript.Echo(failures == 0 ? "ZT-SCRIPT-OK" : "ZT-SCRIPT-FAILED " + failures);
WScript.Quit(failures == 0 ? 0 : 1);
