#include "transfer/resume_book.h"

#include <algorithm>

namespace zt {

namespace {

// A record's text: expiry, upload path and the whole key, tab-separated
// (neither a Windows path nor an accepted URL holds a tab).
std::u16string Number(std::uint64_t n) {
  std::string digits = std::to_string(n);
  return std::u16string(digits.begin(), digits.end());
}

std::u16string KeyText(const ResumeKey& key) {
  return key.Path + u'\t' + Number(key.Size) + u'\t' + Number(key.Modified) + u'\t' + key.Endpoint;
}

// The name is a hash of the key, so a look-up reads one name's record; the
// record holds the key itself, so a collision finds nothing rather than
// another file's upload.
std::u16string Name(const ResumeKey& key) {
  std::uint64_t hash = 14695981039346656037ull;
  for (char16_t c : KeyText(key)) hash = (hash ^ c) * 1099511628211ull;
  static const char16_t hex[] = u"0123456789abcdef";
  std::u16string name;
  for (int shift = 60; shift >= 0; shift -= 4) name += hex[(hash >> shift) & 15];
  return name;
}

struct Record {
  std::uint64_t Expires = 0;
  std::u16string Path, Key;
};

bool Parse(const std::u16string& text, Record* out) {
  const std::size_t first = text.find(u'\t');
  const std::size_t second = first == std::u16string::npos ? first : text.find(u'\t', first + 1);
  if (second == std::u16string::npos || first == 0 || first > 19) return false;
  std::uint64_t expires = 0;
  for (std::size_t i = 0; i < first; ++i) {
    if (text[i] < u'0' || text[i] > u'9') return false;
    expires = expires * 10 + (text[i] - u'0');
  }
  *out = {expires, text.substr(first + 1, second - first - 1), text.substr(second + 1)};
  return true;
}

}  // namespace

std::u16string ResumeBook::Find(const ResumeKey& key) {
  const std::u16string name = Name(key);
  for (const auto& [n, text] : store_->All()) {
    Record record;
    if (n != name) continue;
    if (!Parse(text, &record) || record.Expires <= now_()) {
      store_->Remove(n);
      return {};
    }
    return record.Key == KeyText(key) ? record.Path : std::u16string();
  }
  return {};
}

void ResumeBook::Keep(const ResumeKey& key, std::u16string_view uploadPath) {
  const std::u16string name = Name(key);
  const std::uint64_t now = now_();
  // Expired and unreadable records go; then the oldest, until one more fits.
  std::vector<std::pair<std::uint64_t, std::u16string>> live;
  for (const auto& [n, text] : store_->All()) {
    Record record;
    if (n == name) continue;
    if (!Parse(text, &record) || record.Expires <= now) {
      store_->Remove(n);
    } else {
      live.emplace_back(record.Expires, n);
    }
  }
  std::sort(live.begin(), live.end());
  for (std::size_t i = 0; i + MaxRecords <= live.size(); ++i) store_->Remove(live[i].second);
  store_->Set(name, Number(now + Lifetime) + u'\t' + std::u16string(uploadPath) + u'\t' + KeyText(key));
}

void ResumeBook::Forget(const ResumeKey& key) { store_->Remove(Name(key)); }

}  // namespace zt
