// What the script has asked of the host so far and how the run ends.
#pragma once

namespace zt::host {

// Exit codes of the host itself; a script's Quit(code) overrides them.
enum ExitCode : int {
  kExitOk = 0,
  kExitScriptError = 1,   // syntax error or uncaught exception
  kExitUsage = 2,         // bad command line
  kExitSetup = 3,         // script, engine or control could not be loaded
  kExitUnsafe = 4,        // a page is presented and the control refused to be safe on it
};

struct RunState {
  bool quit_requested = false;  // Host.Quit was called
  int quit_code = 0;
  bool script_failed = false;   // the engine reported an error
};

}  // namespace zt::host
