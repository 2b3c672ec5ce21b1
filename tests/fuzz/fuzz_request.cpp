// Names and values a page hands the control (message fields, file names,
// attribute names and values) go into the manifest and the part headers of
// the request, and the server's reply comes back through the same post. No
// name may add a header line, a parameter, a part or a manifest row, the
// declared length must be the length sent, and the reply kept is bounded.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "../unit/transfer/transfer_fakes.h"
#include "transfer/post_worker.h"
#include "transfer/upload_manifest.h"

namespace {

constexpr char16_t kBoundary[] = u"b0b0b0b0-0000-4000-8000-000000000000";

// Texts cut from the input at 0xFFFF code units.
std::vector<std::u16string> Texts(const std::uint8_t* data, std::size_t size) {
  std::vector<std::u16string> texts(1);
  for (std::size_t i = 0; i + 1 < size; i += 2) {
    const char16_t c = char16_t(data[i] | (data[i + 1] << 8));
    if (c == 0xFFFF) {
      texts.emplace_back();
    } else {
      texts.back() += c;
    }
  }
  return texts;
}

std::size_t Count(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const int utf8 = data[0] & 1;
  const std::vector<std::u16string> texts = Texts(data + 1, size - 1);
  // A real boundary is a fresh random UUID a page cannot know; this one is fixed.
  for (const std::u16string& text : texts) {
    if (text.find(u"b0b0b0b0-0000-4000-8000-000000000000") != std::u16string::npos) return 0;
  }

  zt::test::FakeFileSystem fileSystem;
  zt::test::FakeFiles files;
  zt::test::FakeExchange exchange;
  zt::CZTTransMgr manager;
  manager.Files = &fileSystem;
  manager.Utf8 = static_cast<std::int16_t>(utf8);
  manager.Uuids = [] { return std::u16string(kBoundary); };
  manager.Host = u"server";
  manager.ObjectPath = u"/up";
  manager.Port = 80;

  // Texts in turn: a field name and value, a file name, an attribute name and value.
  std::vector<zt::CZTFileItem> list;
  std::vector<zt::CZTFileAttrInfo> attributes;
  for (std::size_t i = 0; i + 4 < texts.size() && list.size() < 8; i += 5) {
    manager.SetMessage(texts[i], texts[i + 1]);
    zt::CZTFileItem item;
    item.Name = texts[i + 2];
    item.LocalPath = u"C:\\f\\" + std::u16string(1, char16_t(u'a' + list.size()));
    item.Size = static_cast<std::int64_t>(texts[i + 4].size() % 64);
    item.SetAttribute(texts[i + 3], texts[i + 4]);
    zt::CZTFileAttrInfo attribute;
    attribute.Name = texts[i + 3];
    attributes.push_back(attribute);
    fileSystem.Add(item.LocalPath, item.Name, item.Size);
    files.Contents[item.LocalPath] = std::string(static_cast<std::size_t>(item.Size), 'd');
    list.push_back(item);
  }
  if (!zt::BuildUploadManifest(&list, nullptr, attributes, manager)) return 0;
  // The server's reply: the rest of the input, in pieces of at most 4095 bytes.
  const std::string reply(reinterpret_cast<const char*>(data), size);
  for (std::size_t at = 0; at < reply.size(); at += 4095) exchange.Reply.push_back(reply.substr(at, 4095));

  zt::PostWorker(manager, exchange, files);
  if (exchange.Bodies.size() != 1 || exchange.Declared.size() != 1) return 0;  // a file was refused
  const std::string& body = exchange.Bodies[0];
  if (exchange.Declared[0] != body.size()) std::abort();

  // Every part's head is one disposition line whose name (and file name)
  // stays inside its quotes, plus the content type of a file part: no name
  // added a header line, a parameter or a part.
  const std::string delimiter = "--b0b0b0b0-0000-4000-8000-000000000000";
  std::size_t fileParts = 0;
  for (std::size_t at = body.find(delimiter); at != std::string::npos; at = body.find(delimiter, at + 1)) {
    const std::size_t headAt = at + delimiter.size();
    if (body.compare(headAt, 2, "--") == 0) break;  // the closing delimiter
    const std::size_t headEnd = body.find("\r\n\r\n", headAt);
    if (headEnd == std::string::npos) std::abort();
    const std::string head = body.substr(headAt, headEnd - headAt);
    const std::string field = "\r\nContent-Disposition: form-data; name=\"";
    if (head.compare(0, field.size(), field) != 0) std::abort();
    const std::string rest = head.substr(field.size());
    const std::size_t quotes = Count(rest, "\""), lines = Count(rest, "\r\n");
    if (quotes == 1 && lines == 0 && rest.back() == '"') continue;
    if (quotes != 3 || lines != 1 || rest.find("\"; filename=\"") == std::string::npos) std::abort();
    const std::string type = "\"\r\nContent-Type: application/octet-stream";
    if (rest.size() < type.size() || rest.compare(rest.size() - type.size(), type.size(), type) != 0) std::abort();
    ++fileParts;
  }
  std::size_t listed = 0;
  for (const zt::CZTFileItem& item : list) listed += item.LocalPath.empty() ? 0 : 1;
  if (fileParts != listed) std::abort();
  // The manifest keeps one row per file after its header row.
  const auto manifestAt = body.rfind("name=\"_ZTUInfo\"\r\n\r\n");
  if (manifestAt == std::string::npos) std::abort();
  const std::string manifest = body.substr(manifestAt, body.find(delimiter, manifestAt) - manifestAt);
  if (Count(manifest, "\n") != list.size() + 1 + 2 + 1) std::abort();  // rows, the part head, the closing CR LF

  if (manager.ResponseText.size() > zt::MaxReplyBytes) std::abort();
  return 0;
}
