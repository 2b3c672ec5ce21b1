Host.Echo("started");
function fail() { throw new Error("deliberate failure"); }
fail();
Host.Echo("after throw");
