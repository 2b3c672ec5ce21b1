// Quit's unwinding is reported once; an error thrown afterwards is not
// reported as a script failure.
try {
  Host.Quit(9);
} finally {
  Host.Echo("finally ran");
}
