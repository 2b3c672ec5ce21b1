#include "transfer/request_format.h"

#include <random>

#include "text/ansi.h"
#include "text/utf8.h"

namespace zt {

std::u16string RandomUuid() {
  static thread_local std::mt19937_64 engine{[] {
    std::random_device device;
    std::seed_seq seed{device(), device(), device(), device()};
    return std::mt19937_64(seed);
  }()};
  std::uint8_t bytes[16];
  for (int i = 0; i < 16; i += 8) {
    std::uint64_t v = engine();
    for (int k = 0; k < 8; ++k) bytes[i + k] = static_cast<std::uint8_t>(v >> (8 * k));
  }
  bytes[6] = static_cast<std::uint8_t>((bytes[6] & 0x0F) | 0x40);  // version 4
  bytes[8] = static_cast<std::uint8_t>((bytes[8] & 0x3F) | 0x80);  // RFC 4122 variant
  static const char16_t digits[] = u"0123456789abcdef";
  std::u16string text;
  for (int i = 0; i < 16; ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) text += u'-';
    text += digits[bytes[i] >> 4];
    text += digits[bytes[i] & 0x0F];
  }
  return text;
}

std::u16string MakeBoundary(const UuidSource& source) { return source ? source() : RandomUuid(); }

namespace {

// A text as the platform's conversions see it: up to its first 0 character.
// Cut per name and value, so a 0 in one field cannot drop the separators and
// fields after it.
std::u16string_view UpToNul(std::u16string_view text) {
  auto end = text.find(u'\0');
  return end == std::u16string_view::npos ? text : text.substr(0, end);
}

}  // namespace

std::u16string EscapedName(std::u16string_view name) {
  std::u16string escaped;
  for (char16_t c : name) {
    switch (c) {
      case u'"': escaped += u"%22"; break;
      case u'\r': escaped += u"%0D"; break;
      case u'\n': escaped += u"%0A"; break;
      case u'|': escaped += u"%7C"; break;
      case u'\0': escaped += u"%00"; break;
      default: escaped += c;
    }
  }
  return escaped;
}

std::string EncodeText(std::u16string_view text, int utf8) {
  text = UpToNul(text);
  return utf8 == 1 ? ToUtf8(text) : ToAnsi(text);
}

std::u16string BuildHeaderBlock(std::u16string_view boundary, int utf8) {
  std::u16string block = u"Content-Type: multipart/form-data; boundary=";
  block += boundary;
  block += u"\r\n";
  block += utf8 == 1 ? u"Accept-Language: utf-8\r\n" : u"Accept-Language: ko\r\n";
  block += u"Connection: close\r\n";
  return block;
}

std::u16string BuildMessageSection(const std::vector<CZTTransData>& messages, std::u16string_view boundary) {
  std::u16string section;
  for (const CZTTransData& field : messages) {
    section += u"--";
    section += boundary;
    section += u"\r\nContent-Disposition: form-data; name=\"";
    section += EscapedName(field.Name);
    section += u"\"\r\n\r\n";
    section += UpToNul(field.Value);
    section += u"\r\n";
  }
  return section;
}

std::u16string BuildFilePartHeader(const CZTFileItem& file, std::u16string_view boundary) {
  std::u16string header = u"--";
  header += boundary;
  header += u"\r\nContent-Disposition: form-data; name=\"";
  const std::u16string name = EscapedName(file.Name);
  header += name;
  header += u"\"; filename=\"";
  header += name;
  header += u"\"\r\nContent-Type: application/octet-stream\r\n\r\n";
  return header;
}

std::u16string BuildClosingDelimiter(std::u16string_view boundary, bool hasFiles) {
  std::u16string text = hasFiles ? u"\r\n--" : u"--";
  text += boundary;
  text += u"--\r\n";
  return text;
}

RequestTexts BuildRequestTexts(const std::vector<CZTTransData>& messages, const std::vector<CZTFileItem>& files,
                               std::u16string_view boundary, int utf8) {
  RequestTexts texts;
  texts.Boundary = std::u16string(boundary);
  texts.HeaderBlock = BuildHeaderBlock(boundary, utf8);
  texts.MessageSection = EncodeText(BuildMessageSection(messages, boundary), utf8);
  std::uint64_t total = texts.MessageSection.size();
  for (std::size_t i = 0; i < files.size(); ++i) {
    std::u16string header = i == 0 ? std::u16string() : std::u16string(u"\r\n");
    header += BuildFilePartHeader(files[i], boundary);
    texts.FileHeaders.push_back(EncodeText(header, utf8));
    total += texts.FileHeaders.back().size();
    total += static_cast<std::uint64_t>(files[i].Size < 0 ? 0 : files[i].Size);
  }
  texts.ClosingDelimiter = EncodeText(BuildClosingDelimiter(boundary, !files.empty()), utf8);
  total += texts.ClosingDelimiter.size();
  texts.DeclaredLength = total;
  return texts;
}

}  // namespace zt
