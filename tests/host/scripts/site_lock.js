// Reached only when the control accepted to be scripted on the page.
Host.Echo("scripted Port " + FileUpload.Port);
Host.Quit(0);
