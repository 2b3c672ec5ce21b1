' Events with parameters reach VBScript subs; no handler means no call.
Sub FileUpload_AfterDeleteFile(name, path)
  Host.Echo "AfterDeleteFile", name, path
End Sub
FileUpload.AddVirtualFile "/srv/x.txt"
Host.Echo "count", FileUpload.FileCount
FileUpload.DeleteFile2 "x.txt"
Host.Echo "count", FileUpload.FileCount
