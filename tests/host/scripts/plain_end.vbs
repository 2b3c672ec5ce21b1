' A script that ends without Quit leaves the host with 0.
Dim total
total = 0
For i = 1 To 4
  total = total + i
Next
WScript.Echo "total", total
