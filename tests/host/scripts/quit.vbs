Host.Echo "before"
Host.Quit 5
Host.Echo "after quit"
