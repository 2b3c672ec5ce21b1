#pragma once
// The texts of the resumable transport (tus 1.0): the headers it sends and
// the checks on what a server answers. A server is not trusted: every value
// it gives is checked before the upload acts on it.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "transfer/url.h"

namespace zt::tus {

constexpr char Version[] = "1.0.0";
// The most file bytes one PATCH carries: a cut costs at most this much again,
// and no request is larger whatever the file's size.
constexpr std::uint64_t MaxChunk = std::uint64_t(16) << 20;

// Standard base64 with padding.
std::string Base64(std::string_view bytes);

// "filename <base64>,size <base64>": the entry's name in UTF-8 and its size in decimal.
std::string UploadMetadata(std::u16string_view name, std::uint64_t size);

// An Upload-Offset header: decimal digits only, no sign or space, at most 19
// digits; std::nullopt otherwise.
std::optional<std::uint64_t> ParseOffset(std::string_view text);

// Whether a comma-separated header value (Tus-Version, Tus-Extension) lists
// item, ignoring spaces around the items.
bool Lists(std::string_view header, std::string_view item);

// Where the endpoint lives: the origin every upload URL must share.
struct Endpoint {
  std::u16string Host;
  std::int32_t Port = 0;
  bool Secure = false;
  std::u16string Path;  // from the first "/"
};

// The endpoint of a ResumableURL ("http[s]://host[:port]/path"); std::nullopt
// for anything else.
std::optional<Endpoint> ParseEndpoint(std::u16string_view url);

// The path of an upload on the endpoint's origin, from a creation's
// Location: an absolute URL on the same scheme, host and port, or a path
// starting with one "/". Refused (std::nullopt) when it leads to another
// origin (the person's file would go to a host the page did not name), holds
// a control character or space, or its last segment is not an upload id.
std::optional<std::u16string> UploadPath(const Endpoint& endpoint, std::string_view location);

// The upload id of an accepted upload path: its last segment.
std::u16string UploadId(std::u16string_view uploadPath);

// Whether text is 1 to 128 characters of A-Z a-z 0-9 _ -.
bool ValidUploadId(std::u16string_view text);

}  // namespace zt::tus
