#pragma once
// The narrow ("ANSI") code page conversion. On Windows it is the thread's ANSI
// code page (CP_THREAD_ACP) through the platform; the native build stands in
// with Windows-1252 (see ansi_standin.cpp). Unrepresentable characters become
// the code page's default character, never a best-fit look-alike; nothing is
// rejected.
#include <string>
#include <string_view>

namespace zt {

std::string ToAnsi(std::u16string_view text);
std::u16string FromAnsi(std::string_view bytes);

}  // namespace zt
