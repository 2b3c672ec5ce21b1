#include "transfer/upload_manifest.h"

#include <new>
#include <string>

#include "text/unicode.h"
#include "transfer/request_format.h"

namespace zt {

namespace {

constexpr char16_t ManifestField[] = u"_ZTUInfo";

std::u16string Decimal(std::int64_t value) { return Widen(std::to_string(value)); }

// "|" separates fields and line ends separate rows, so a name or value
// keeps its text with each bar, CR and LF as a space: no text can add a
// field or forge a row. A 0 becomes a space too: the request's texts end at
// a 0, which would cut the manifest short of its later rows.
void AppendField(std::u16string& row, std::u16string_view value) {
  for (char16_t c : value) row += (c == u'|' || c == u'\r' || c == u'\n' || c == u'\0') ? u' ' : c;
  row += u'|';
}

void AppendRow(std::u16string& manifest, char16_t kind, const CZTFileItem& entry,
               const std::vector<CZTFileAttrInfo>& attributeNames, std::u16string_view lineEnd) {
  manifest += kind;
  manifest += u'|';
  // The name as the file part's header writes it, so rows and parts match.
  manifest += EscapedName(entry.Name);
  manifest += u'|';
  manifest += Decimal(entry.Size);
  manifest += u'|';
  for (const CZTFileAttrInfo& attribute : attributeNames) AppendField(manifest, entry.GetAttribute(attribute.Name));
  manifest += lineEnd;
}

}  // namespace

bool BuildUploadManifest(const std::vector<CZTFileItem>* files, const std::vector<CZTFileItem>* deleted,
                         const std::vector<CZTFileAttrInfo>& attributeNames, CZTTransMgr& manager) {
  try {
    std::u16string manifest;
    if (files) {
      manifest += u"Type|FileName|Size|";
      for (const CZTFileAttrInfo& attribute : attributeNames) AppendField(manifest, attribute.Name);
      manifest += u"\r\n";
      for (const CZTFileItem& entry : *files) {
        char16_t kind = entry.IsLocal() ? u'N' : (entry.Updated ? u'U' : u'V');
        if (kind != u'V') {
          // Without a file system every file part would silently go missing.
          if (!manager.Files) return false;
          manager.AddSendFile(entry.LocalPath, entry.Name);
        }
        AppendRow(manifest, kind, entry, attributeNames, u"\r\n");
      }
    }
    if (deleted) {
      for (const CZTFileItem& entry : *deleted) AppendRow(manifest, u'D', entry, attributeNames, u"\n");
    }
    return manager.SetMessage(ManifestField, manifest);
  } catch (const std::bad_alloc&) {
    return false;
  }
}

}  // namespace zt
