// A script that catches Quit's unwinding still ends with Quit's code: its
// next call to Host unwinds it again, and nothing is reported as an error.
try {
  Host.Quit(9);
} catch (e) {
  Host.Echo("caught");
}
Host.Echo("after");
