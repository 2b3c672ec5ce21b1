#include "safety/runnable_types.h"

#include <algorithm>
#include <iterator>

namespace zt {

namespace {

// Programs, scripts, installers, shortcuts and shell documents that run what
// they name, as Windows' attachment manager classes them high risk; disk
// images and remote sessions that open or mount what they hold; documents
// that carry add-ins, macros or queries; certificates and themes that change
// the machine's trust or look; and .tmp, the name a copy without an
// extension of its own is given. Sorted.
constexpr std::u16string_view kRunnable[] = {
    u"ade", u"adp", u"app", u"appinstaller", u"application", u"appref-ms", u"appx", u"appxbundle", u"asp",
    u"bas", u"bat", u"cer", u"chm", u"cmd", u"cnt", u"com", u"cpl", u"crt", u"csh", u"der", u"deskthemepack",
    u"diagcab", u"dll", u"exe", u"fxp", u"gadget", u"grp", u"hlp", u"hpj", u"hta", u"htc", u"img", u"inf",
    u"ins", u"iqy", u"iso", u"isp", u"its", u"jar", u"jnlp", u"js", u"jse", u"ksh", u"library-ms", u"lnk",
    u"mad", u"maf", u"mag", u"mam", u"maq", u"mar", u"mas", u"mat", u"mau", u"mav", u"maw", u"mcf", u"mda",
    u"mdb", u"mde", u"mdt", u"mdw", u"mdz", u"mht", u"mhtml", u"msc", u"msh", u"msh1", u"msh1xml", u"msh2",
    u"msh2xml", u"mshxml", u"msi", u"msix", u"msixbundle", u"msp", u"msstyles", u"mst", u"msu", u"ocx", u"one",
    u"onepkg", u"ops", u"osd", u"p12", u"p7b", u"pcd", u"pfx", u"pif", u"pl", u"plg", u"ppam", u"prf", u"prg",
    u"printerexport", u"ps1", u"ps1xml", u"ps2", u"ps2xml", u"psc1", u"psc2", u"psd1", u"psdm1", u"psm1",
    u"pst", u"py", u"pyc", u"pyo", u"pyw", u"pyz", u"pyzw", u"rdp", u"reg", u"scf", u"scr", u"sct",
    u"search-ms", u"settingcontent-ms", u"shb", u"shs", u"slk", u"sys", u"theme", u"themepack", u"tmp", u"url",
    u"vb", u"vbe", u"vbp", u"vbs", u"vhd", u"vhdx", u"vsmacros", u"vss", u"vst", u"vsw", u"webpnp", u"website",
    u"wll", u"ws", u"wsb", u"wsc", u"wsf", u"wsh", u"xbap", u"xlam", u"xll", u"xnk",
};

char16_t Lower(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c; }

bool LessIgnoringCase(std::u16string_view a, std::u16string_view b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                      [](char16_t x, char16_t y) { return Lower(x) < Lower(y); });
}

}  // namespace

std::u16string_view EffectiveExtension(std::u16string_view path) {
  std::size_t end = path.size();
  while (end > 0 && (path[end - 1] == u'.' || path[end - 1] == u' ')) --end;
  const std::u16string_view name = path.substr(0, end);
  const std::size_t dot = name.find_last_of(u"./\\:");
  if (dot == std::u16string_view::npos || name[dot] != u'.') return {};
  return name.substr(dot + 1);
}

bool RunsCode(std::u16string_view path) {
  // A named stream ("x.txt:y.exe") is not the file its row shows; the shell
  // is never asked to open one. A drive's colon ("C:x") is not a stream.
  const std::size_t separator = path.find_last_of(u"/\\");
  const std::size_t start = separator == std::u16string_view::npos ? 0 : separator + 1;
  const std::size_t colon = path.find(u':', start);
  if (colon != std::u16string_view::npos && !(start == 0 && colon == 1)) return true;
  const std::u16string_view extension = EffectiveExtension(path);
  if (extension.empty()) return false;
  return std::binary_search(std::begin(kRunnable), std::end(kRunnable), extension, LessIgnoringCase);
}

bool ProgramImage(std::string_view head) {
  // "MZ" starts every program the loader runs, whatever its name ("ZM" too,
  // as old loaders read it).
  return head.size() >= 2 && ((head[0] == 'M' && head[1] == 'Z') || (head[0] == 'Z' && head[1] == 'M'));
}

}  // namespace zt
