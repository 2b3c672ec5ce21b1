' The control as a page's VBScript drives it, errors handled with
' On Error Resume Next. The error texts are written to a UTF-16 file (the
' first argument) that the test compares with file_list.vbs.expected: Wine's
' VBScript has no ChrW to build Korean text to compare with here. A failure
' is seen through Err.Description: Wine's VBScript takes Err.Number from the
' exception's scode only, which is 0 when the exception carries a code word.
Option Explicit
Dim failures, c, fso, folder, out, f, path, n, e
failures = 0

Sub Check(ok, what)
  If Not ok Then
    failures = failures + 1
    WScript.Echo "FAILED: " & what
  End If
End Sub

' A folder of this run's own: Rnd without Randomize names the same one every
' run, and a run that failed before its end leaves it behind.
Randomize
Set fso = CreateObject("Scripting.FileSystemObject")
folder = fso.GetSpecialFolder(2).Path & "\zt_script_vbs_" & CStr(Int(Rnd * 1000000))
fso.CreateFolder folder
Set f = fso.CreateTextFile(folder & "\notes.txt", True)
f.Write "twelve bytes"
f.Close
Set out = fso.CreateTextFile(WScript.Arguments(0), True, True)

' WScript.CreateObject, not VBScript's own: Wine's VBScript hands an object
' that takes a site (IObjectWithSite) a site made from its host's service
' provider, and refuses to create it when the host has none, as cscript.
Set c = WScript.CreateObject("ZTFILEUPLOAD.ZTFileUploadCtrl.1")
On Error Resume Next

' Two local files, the second missing: the first stays, the call fails.
c.AddLocalFile folder & "\notes.txt"
e = Len(Err.Description)
Check e = 0, "first file added"
Check c.FileCount = 1 And c.FileSize = 12 And c.FileName = "notes.txt", "local entry"
Err.Clear
c.AddLocalFile folder & "\gone.txt"
e = Len(Err.Description)
Check e <> 0, "missing file raises"
Check c.ErrorCode = "E01006", "missing file recorded"
out.WriteLine c.ErrorCode & " " & c.ErrorDescription
Check c.FileCount = 1, "list kept"

' The upload limit: 1 MB with a server entry of 1,048,570 bytes leaves
' room for less than 6 bytes.
Err.Clear
c.MaxUploadSize = 1
c.AddVirtualFileWithSize "/srv/big.bin", "1048570"
c.AddLocalFile folder & "\notes.txt"
e = Len(Err.Description)
Check e <> 0 And c.ErrorCode = "E01004", "upload limit"
out.WriteLine c.ErrorCode & " " & c.ErrorDescription
Check c.FileCount = 2, "limit refused the file"
c.MaxUploadSize = 0

' Renaming to a name in use.
Err.Clear
c.FilePos = 0
c.FileName = "BIG.BIN"
e = Len(Err.Description)
Check e <> 0 And c.ErrorCode = "E01002", "name in use"
out.WriteLine c.ErrorCode & " " & c.ErrorDescription

' Attributes: the underscore is refused.
Err.Clear
Check c.SetFileAttr("Title", "t1") = True, "attribute set"
c.SetFileAttr "_x", "y"
e = Len(Err.Description)
Check e <> 0 And c.ErrorCode = "E01007", "underscore attribute"
out.WriteLine c.ErrorCode & " " & c.ErrorDescription
Check c.GetFileAttr("title") = "t1", "attribute read back ignoring case"
Dim attrs
attrs = c.GetFileAttrs()
Check UBound(attrs, 1) = 1, "GetFileAttrs has two rows"
Check attrs(0, UBound(attrs, 2)) = "Title" And attrs(1, UBound(attrs, 2)) = "t1", "GetFileAttrs names and values"

' Reading FilePath without a current entry records the error only.
Err.Clear
c.FilePos = 5
Err.Clear
path = c.FilePath
e = Len(Err.Description)
Check e = 0 And path = "" And c.ErrorCode = "E01006", "FilePath records only"

' A read-only put raises and keeps the recorded pair.
Err.Clear
c.ErrorCode = "X"
e = Len(Err.Description)
Check e <> 0 And c.ErrorCode = "E01006", "read-only ErrorCode"
out.WriteLine Err.Description

' Messages are accepted without checks.
Err.Clear
c.AddMessage "k", "1"
c.AddMessage "k", "2"
c.ClearMessage
e = Len(Err.Description)
Check e = 0, "messages"

' The selection is empty without a list view.
n = c.GetSelectedCount()
Check n = 0 And c.GetSelectedFileName(0) = "", "no selection"

out.Close
Set c = Nothing
fso.DeleteFolder folder, True
If failures = 0 Then
  WScript.Echo "ZT-SCRIPT-OK"
  WScript.Quit 0
Else
  WScript.Echo "ZT-SCRIPT-FAILED " & failures
  WScript.Quit 1
End If
