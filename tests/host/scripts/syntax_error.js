// The error is on line 3.
var ok = 1;
var broken = (1 + ;
Host.Echo("never runs");
