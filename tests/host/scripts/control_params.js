// The control embedded with a page's parameters; its events reach the
// script's FileUpload_<Event> functions.
Host.Echo("PostMode", FileUpload.PostMode, "Port", FileUpload.Port, "ListType", FileUpload.ListType,
          "URL", FileUpload.URL, "RowSelect", FileUpload.RowSelect);
var added = 0;
function FileUpload_AfterAddFile(fileIndex) {
  added++;
  Host.Echo("AfterAddFile", fileIndex);
}
function FileUpload_AfterAddFiles(count) { Host.Echo("AfterAddFiles", count); }
FileUpload.AddVirtualFile("/srv/a.txt");
FileUpload.AddVirtualFile("/srv/b.txt");
Host.Quit(added == 2 ? 0 : 4);
