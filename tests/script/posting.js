// A page's JScript posting with the control to the loopback receiver:
// PostFile and PostMessage run to their end, and the script reads the reply
// from ResponseStatusCode / ResponseText and failures from ErrorCode.
// The receiver answers the first post with 201 "file-ok" and the second with
// Korean text, then 200 "OK". Only a script that reaches the end prints the marker.
var failures = 0;
function check(ok, what) {
  if (!ok) {
    failures++;
    WScript.Echo("FAILED: " + what);
  }
}

// Wine's ExpandEnvironmentStrings keeps the terminating NUL in its result.
var shell = new ActiveXObject("WScript.Shell");
function environment(name) {
  var text = shell.ExpandEnvironmentStrings("%" + name + "%");
  var n = text.length;
  while (n > 0 && text.charCodeAt(n - 1) == 0) n--;
  return text.substring(0, n);
}
var port = environment("ZT_RECEIVER_PORT");
var records = environment("ZT_RECEIVER_DIR");
var fso = new ActiveXObject("Scripting.FileSystemObject");
var folder = fso.GetSpecialFolder(2).Path + "\\zt_script_post_" + Math.floor(Math.random() * 1000000);
fso.CreateFolder(folder);
function makeFile(name, text) {
  var f = fso.CreateTextFile(folder + "\\" + name, true);
  f.Write(text);
  f.Close();
  return folder + "\\" + name;
}
// The receiver's account of request n. It is written before the reply is
// sent, so it is there once the post has returned: no waiting (Wine's
// WScript.Sleep is unimplemented and raises a script error).
function account(n) {
  var path = records + "\\" + n + ".json";
  if (!fso.FileExists(path)) return "";
  var f = fso.OpenTextFile(path, 1);
  var text = f.ReadAll();
  f.Close();
  return text;
}

var NOTHING_TO_SEND = "\uC804\uC1A1\uD560 \uB370\uC774\uD130\uAC00 \uC5C6\uC2B5\uB2C8\uB2E4. \uCC98\uB9AC\uAC00 \uC911\uC9C0\uB429\uB2C8\uB2E4.";
var c = new ActiveXObject("ZTFILEUPLOAD.ZTFileUploadCtrl.1");
check(port != "%ZT_RECEIVER_PORT%", "the receiver's port is known");

// Nothing to send: the call raises and the pair says why.
var raised = false;
try {
  c.PostMessage();
} catch (e) {
  raised = true;
}
check(raised && c.ErrorCode == "E01009" && c.ErrorDescription == NOTHING_TO_SEND, "PostMessage with no fields");

c.URL = "http://127.0.0.1:" + port + "/upload/recv.asp";
c.UTF8 = 1;
c.AddLocalFile(makeFile("report.txt", "twelve bytes"));
c.AddMessage("title", "weekly");
check(c.PostFile() === "", "PostFile returns the empty text");
check(c.ResponseStatusCode == 201, "PostFile status " + c.ResponseStatusCode + " " + c.ErrorCode);
check(c.ResponseText == "file-ok", "PostFile reply " + c.ResponseText);
var first = account(1);
check(first.indexOf('"request_line": "POST /upload/recv.asp HTTP/1.0"') >= 0, "request line of the file post");
check(first.indexOf('"filename": "report.txt"') >= 0, "the file part");
check(/"kind": "N",[^}]*"name": "report.txt",\s*"size": 12,/.test(first), "the manifest row");

var reply = c.PostMessage();
check(reply == "\uD55C\uAE00 ok", "PostMessage returns the reply");
check(c.ResponseText == reply && c.ResponseStatusCode == 200, "the reply stays readable");
var second = account(2);
check(second.indexOf('"name": "title"') >= 0 && second.indexOf("_ZTUInfo") < 0, "the message post carries fields only");

// Nothing listens on port 1: the call returns and ErrorCode tells.
c.URL = "http://127.0.0.1:1/x";
check(c.PostMessage() === "", "a failed post returns the empty reply");
check(c.ErrorCode == "E04006" && c.ResponseStatusCode == -1, "failed post " + c.ErrorCode + " " + c.ResponseStatusCode);

c = null;
CollectGarbage();
fso.DeleteFolder(folder, true);
WScript.Echo(failures == 0 ? "ZT-SCRIPT-OK" : "ZT-SCRIPT-FAILED " + failures);
WScript.Quit(failures == 0 ? 0 : 1);
