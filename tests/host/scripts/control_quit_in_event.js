// Quit inside an event handler ends the run with its code: the global code
// goes no further than its next call to Host.
function FileUpload_AfterAddFiles(count) {
  Host.Echo("handler");
  Host.Quit(6);
  Host.Echo("after quit in handler");
}
FileUpload.AddVirtualFile("/srv/a.txt");
Host.Echo("after the add");
