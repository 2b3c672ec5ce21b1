#pragma once
// How one file of a multi-file run reaches the server. The run decides which
// file goes when, on which lane, and what happens after it ends; a sender
// only carries a file there and tells how it went. Today's sender makes one
// multipart request per file; another transport plugs in here.
#include <cstdint>
#include <vector>

#include "model/records.h"
#include "transfer/post_destination.h"
#include "transfer/trans_error.h"

namespace zt {

// What a sender tells the run of a file it carries, by the run's slot number.
class SendReports {
public:
  // On the thread that sends, after each block: bytes of the file sent so far
  // (a resend keeps adding) and its size. May hold the sender back to keep a
  // rate limit.
  virtual void Sent(int slot, std::uint64_t sent, std::uint64_t size) = 0;
  // On the run's thread, before the end: one failure of the send.
  virtual void Failed(int slot, const CZTTransException& failure) = 0;
  // On the run's thread, once for every send that was started and not
  // abandoned: the server's status, -1 when no reply was read.
  virtual void Ended(int slot, std::int32_t status) = 0;

protected:
  ~SendReports() = default;
};

// One file to send, with what the request around it needs.
struct FileRequest {
  int Slot = 0;  // names the send in every call and report
  int Lane = 0;  // sends of one lane go one after another, in the order given
  const CZTFileItem& Entry;
  const std::vector<CZTFileAttrInfo>& Columns;  // the manifest's attribute names
  const PostDestination& To;
};

class FileSender {
public:
  virtual ~FileSender() = default;
  // Starts sending after what the request's lane carries already. False,
  // with nothing sent and nothing to report, when the file cannot be sent
  // (it is gone, memory ran out, no destination).
  virtual bool Send(const FileRequest& request, SendReports& reports) = 0;
  // Holds a started send between two blocks (one not yet begun, before it
  // connects), and lets it go on.
  virtual void Hold(int slot) = 0;
  virtual void Release(int slot) = 0;
  // Gives the send up for good: once this returns nothing of it runs or
  // reports. A lane's stop waits for the sends ahead of it, so the run
  // abandons in the order it started them.
  virtual void Abandon(int slot) = 0;
};

}  // namespace zt
