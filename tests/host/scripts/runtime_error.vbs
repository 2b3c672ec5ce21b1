Host.Echo "started"
Dim n
n = 1
Err.Raise 1234, "test", "deliberate failure"
Host.Echo "after raise"
