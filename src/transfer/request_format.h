#pragma once
// The bytes of an upload request: header block, multipart boundary, message
// section, file part headers, closing delimiter and the declared length. The
// receiving servers parse exactly this layout, so separators and CR LF
// placement are part of the contract.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "model/records.h"

namespace zt {

// Produces a new UUID in its 36-character text form (8-4-4-4-12, lowercase
// hexadecimal, no braces). Windows answers with UuidCreate + UuidToString.
using UuidSource = std::function<std::u16string()>;

// A random (version 4) UUID from the standard library's generator.
std::u16string RandomUuid();

// A new boundary: the UUID text of source, or of RandomUuid when source is empty.
std::u16string MakeBoundary(const UuidSource& source = {});

// The text the request's bytes are made of, in the post's encoding: UTF-8
// when utf8 is 1, otherwise the ANSI code page. Stops at a 0 character.
std::string EncodeText(std::u16string_view text, int utf8);

// A field or file name as the request writes it, between the quotes of a
// part's Content-Disposition and in the manifest's name field alike: a
// double quote, CR and LF become %22, %0D and %0A (as browsers write them),
// so no name can end the quoted text, add a parameter or start a header
// line; "|" and 0 become %7C and %00, so the manifest row keeps its fields
// and the name its length. Names from a file system hold none of these.
std::u16string EscapedName(std::u16string_view name);

// The header lines the upload adds: content type with boundary,
// Accept-Language (utf-8 or ko) and Connection: close, each with CR LF. Every
// post has a connection of its own: a post cancelled or failed half way
// through its body leaves no connection for WinINet to hand the next post
// (Wine's pool did, and the next request went into the old body).
std::u16string BuildHeaderBlock(std::u16string_view boundary, int utf8);

// Every message field as a text part, each ended by CR LF after its value.
std::u16string BuildMessageSection(const std::vector<CZTTransData>& messages, std::u16string_view boundary);

// The text that opens one file's part (without the CR LF that separates it
// from the previous file's data).
std::u16string BuildFilePartHeader(const CZTFileItem& file, std::u16string_view boundary);

// "--boundary--" CR LF, preceded by CR LF when files were sent.
std::u16string BuildClosingDelimiter(std::u16string_view boundary, bool hasFiles);

// Everything of one request except the file bytes, already encoded, with the
// declared length of the whole body.
struct RequestTexts {
  std::u16string Boundary;
  std::u16string HeaderBlock;          // wide; encoded as UTF-8 for UTF-8 posts
  std::string MessageSection;          // may be empty
  std::vector<std::string> FileHeaders;  // from the second on, with the separating CR LF
  std::string ClosingDelimiter;
  std::uint64_t DeclaredLength = 0;    // the whole body, in 64 bits
};

// Builds the texts for messages and files with boundary. File sizes are the
// sizes recorded in the records.
RequestTexts BuildRequestTexts(const std::vector<CZTTransData>& messages, const std::vector<CZTFileItem>& files,
                               std::u16string_view boundary, int utf8);

}  // namespace zt
