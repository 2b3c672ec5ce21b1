#pragma once
// The mark browsers put on every file they download (the "Mark of the Web"):
// the Zone.Identifier stream with the zone of the server's URL, the URL
// itself and the page that asked for it, so that the shell, Office and
// SmartScreen treat the copy as coming from the Internet wherever it goes.
#include <string>

namespace zt::win {

// What marking a copy achieved.
enum class MarkResult {
  AttachmentServices,  // IAttachmentExecute wrote it (and may have scanned the file)
  StreamWritten,       // no attachment services: the stream was written directly
  NotHeld,             // the file system holds no named streams: nothing kept
};

// Marks the downloaded file at path as fetched from url on behalf of the
// page at referrer (empty when no page is known). Never fails the download:
// a file system without named streams (FAT, Wine's) cannot hold the mark,
// and nothing else is left in its place.
MarkResult MarkDownloaded(const std::u16string& path, const std::u16string& url, const std::u16string& referrer);

// The stream's text: "[ZoneTransfer]", "ZoneId=" zone, then ReferrerUrl and
// HostUrl when known, each line ended by CR LF; a URL's CR and LF are
// dropped so it cannot add a line.
std::string ZoneIdentifierText(unsigned zone, const std::u16string& url, const std::u16string& referrer);

}  // namespace zt::win
