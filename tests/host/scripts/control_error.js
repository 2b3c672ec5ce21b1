// A control error nobody catches ends the run with the control's text.
Host.Echo("Port", FileUpload.Port);
FileUpload.DeleteFile(5);
Host.Echo("after the error");
