#pragma once
// Which files run code when the shell opens them. The control never hands
// such a file to the shell on the user's or a page's behalf: the name a row
// shows and the bytes a server sends are both the page's and the server's
// choice. The platform's own judgement (AssocIsDangerous) is asked beside
// this list where it exists; the list is what holds where it answers no for
// everything (Wine).
#include <string_view>

namespace zt {

// Whether path (a file path or a bare name) ends in a type that runs code.
// The extension is what the file system keeps: trailing dots and spaces,
// which Windows drops from a name, are dropped first.
bool RunsCode(std::u16string_view path);

// Whether a file's first bytes (head) are a program's, which the shell may
// start whatever the name says.
bool ProgramImage(std::string_view head);

// The extension RunsCode judges ("bat" for "x.BAT. "), empty for none.
std::u16string_view EffectiveExtension(std::u16string_view path);

}  // namespace zt
