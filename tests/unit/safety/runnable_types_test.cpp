#include "safety/runnable_types.h"

#include <gtest/gtest.h>

namespace zt {
namespace {

// The name as the file system will keep it decides, whatever its case and
// whatever Windows drops from its end; a look-alike extension does not.
TEST(RunnableTypes, TheTypeTheFileSystemKeepsDecides) {
  for (const char16_t* path : {u"C:\\tools\\payload.bat", u"Quarterly report.HTA", u"x.js", u"a.b.Exe", u"x.lnk",
                               u"x.url", u"x.scr", u"x.msi", u"x.ps1", u"x.appref-ms", u"x.settingcontent-ms",
                               u"x.wsf", u"x.bat.", u"x.cmd . .", u"\\\\server\\share\\setup.exe", u"x.txt:y.exe", u"x.exe:stream"})
    EXPECT_TRUE(RunsCode(path)) << std::string(path, path + std::char_traits<char16_t>::length(path)).c_str();
  for (const char16_t* path : {u"vacation.jpg", u"report.pdf", u"x.bat.txt", u"x.batx", u"x.ex", u"bat", u"x.",
                               u"C:\\run.exe\\readme", u"x.js\u200B", u"C:report.pdf", u""})
    EXPECT_FALSE(RunsCode(path)) << std::string(path, path + std::char_traits<char16_t>::length(path)).c_str();
  EXPECT_EQ(std::u16string(u"BAT"), std::u16string(EffectiveExtension(u"x.BAT. ")));
  // Images, remote sessions, add-ins, queries, certificates, themes, and the
  // copy's own name when the entry gave it no extension.
  for (const char16_t* path : {u"x.iso", u"x.IMG", u"x.rdp", u"x.one", u"x.appinstaller", u"x.deskthemepack",
                               u"x.pfx", u"x.mhtml", u"x.xlam", u"x.iqy", u"x.slk", u"x.vst", u"ZTF00C0FFEE.tmp"})
    EXPECT_TRUE(RunsCode(path)) << std::string(path, path + std::char_traits<char16_t>::length(path)).c_str();
  // A program is known by its first bytes, whatever its name says.
  EXPECT_TRUE(ProgramImage(std::string_view("MZ\x90\0", 4)));
  EXPECT_TRUE(ProgramImage("ZM"));
  for (const char* head : {"", "M", "%PDF", "mz", "PK"}) EXPECT_FALSE(ProgramImage(head)) << head;
}

}  // namespace
}  // namespace zt
