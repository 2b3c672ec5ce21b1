// Echo joins its arguments with spaces; Quit ends the run at once.
Host.Echo("hello", 42, true);
WScript.Echo("\uD55C\uAE00 text");
Host.Quit(7);
Host.Echo("after quit");
