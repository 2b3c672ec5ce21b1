#pragma once
// What the control asks of the shell: its dialogs (the open-file dialog and
// the folder browser for files to add, the save dialog for a downloaded
// copy), each run modally over owner on the calling thread, and opening a
// file with the program registered for it.
#include <windows.h>

#include <string>
#include <vector>

namespace zt::view {

// The open-file dialog for one or several files of any type, starting at
// the system's default folder. The full paths chosen, in the order the
// dialog gives them; empty when the user cancels. A selection of any size
// fits: the result buffer grows with it.
std::vector<std::u16string> ChooseFiles(HWND owner);

// The folder browser over the whole namespace, file-system folders only,
// starting at the process's current directory and showing each selection's
// path as its status text. The chosen folder, or empty when the user
// cancels.
std::u16string ChooseFolder(HWND owner);

// The save dialog (no initial name, no filter; the user confirms replacing
// an existing file). The path chosen, or empty when the user cancels.
std::u16string ChooseSaveTarget(HWND owner);

// Whether opening path would run code: the platform's judgement of its type
// (AssocIsDangerous), our own list (safety/runnable_types.h), which holds
// where the platform answers no for every type, or the file's content: a
// program under any name, or a file that cannot be read to tell.
bool RunsCodeWhenOpened(const std::u16string& path);

// Opens path with its registered program (the default verb), as a double
// click in Explorer does. The shell tells the user itself when it cannot.
// A file that runs code when opened is never handed over: false, nothing
// started.
bool OpenWithShell(HWND owner, const std::u16string& path);

}  // namespace zt::view
