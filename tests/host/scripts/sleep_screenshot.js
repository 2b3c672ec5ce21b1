// Sleep runs the window's messages; Screenshot saves the window.
Host.Sleep(50);
Host.Echo("shot", Host.Screenshot("C:\\windows\\temp\\ztupload-host-shot.bmp"));
Host.Quit(0);
