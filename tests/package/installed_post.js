// Runs only when the installed control accepted the page: one field posted
// to the receiver its URL parameter names.
FileUpload.AddMessage("title", "weekly");
var reply = FileUpload.PostMessage();
Host.Echo("posted " + FileUpload.ResponseStatusCode + " " + reply + " " + FileUpload.ErrorCode);
Host.Quit(FileUpload.ResponseStatusCode == 200 && reply == "posted" ? 0 : 1);
