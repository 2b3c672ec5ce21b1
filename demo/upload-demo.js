// The control as a page drives it: local files and a server entry, their
// attributes, message fields, then each local file posted with PostFile, the
// message fields with PostMessage, and finally the whole list with Post(true)
// behind its progress dialog (captured mid-way for the demo's screenshot). Korean is written as \u escapes
// because the script engines read this file as plain text.
var c = FileUpload;
// The sample files' folder comes from the demo script; Wine's shell object
// keeps the terminating NUL of the expanded text, so it is cut off.
var dir = new ActiveXObject("WScript.Shell").ExpandEnvironmentStrings("%ZT_DEMO_FILES%").replace(/\u0000/g, "");
var progressShot = new ActiveXObject("WScript.Shell").ExpandEnvironmentStrings("%ZT_DEMO_PROGRESS%").replace(/\u0000/g, "");
var failures = 0;

function show(what) {
  Host.Echo(what + ": status " + c.ResponseStatusCode + ", reply \"" + c.ResponseText + "\"" +
            (c.ErrorCode ? ", error " + c.ErrorCode + " " + c.ErrorDescription : ""));
  if (c.ResponseStatusCode != 200) failures++;
}

function FileUpload_AfterAddFile(index) {
  Host.Echo("added #" + index + ": " + c.FileName + " (" + c.FileSize + " bytes)");
}

Host.Echo("target: port " + c.Port + ", path " + c.URL + ", UTF8 " + c.UTF8);

c.AddLocalFile(dir + "\\hello.txt");
c.SetFileAttr("Title", "\uC778\uC0AC\uB9D0");            // greeting
c.SetFileAttr("Owner", "kim");
c.AddLocalFile(dir + "\\report.csv");
c.SetFileAttr("Title", "\uBD84\uAE30 \uBCF4\uACE0\uC11C");  // quarterly report
c.AddVirtualFileWithSize("/archive/2026/minutes.pdf", "12K");
c.SetFileAttr("Title", "\uD68C\uC758\uB85D");             // minutes
c.AddMessage("uploader", "\uD64D\uAE38\uB3D9");           // a person's name
c.AddMessage("purpose", "demo");
Host.Echo("list: " + c.FileCount + " entries");

for (var i = 0; i < c.FileCount; i++) {
  c.FilePos = i;
  if (!c.IsLocalFile) continue;
  c.PostFile();
  show("PostFile " + c.FileName);
}
c.PostMessage();
show("PostMessage");

// The whole list in one request, with the progress dialog; the rate limit
// keeps it on screen long enough to be seen and photographed.
c.AddLocalFile(dir + "\\photos.bin");
c.SetFileAttr("Title", "\uC0AC\uC9C4");  // photos
c.KByteRate = 1000;
var progressTitle = "\uD30C\uC77C \uC5C5\uB85C\uB4DC \uC0C1\uD0DC \uC708\uB3C4\uC6B0";
Host.ScreenshotLater(progressTitle, progressShot, 1500);
var reply = c.Post(true);
show("Post(true) of " + c.FileCount + " entries");
if (reply != c.ResponseText) failures++;

Host.Echo(failures == 0 ? "demo: every post was received" : "demo: " + failures + " post(s) failed");
// The list view (report presentation, from the page's ListType parameter)
// draws once the script lets the window's messages run.
Host.Echo("view: " + c.FileCount + " rows, ListType " + c.ListType);
Host.Sleep(500);
Host.Quit(failures == 0 ? 0 : 1);
