#pragma once
// The transfer manager: everything one post needs (message fields, files to
// send, server address, credentials, encoding switch), the callbacks through
// which its owner follows the post, and the results. A caller creates one,
// fills it, calls Post and deletes it afterwards. A post through an agent
// works on its own copy of the inputs and callbacks taken at Post; deleting
// the manager (or a new Post) stops it, and no thread of it touches the
// manager once that returns (wininet_agent.h).
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "model/file_system.h"
#include "model/records.h"
#include "transfer/http_exchange.h"
#include "transfer/request_format.h"
#include "transfer/resumable.h"
#include "transfer/trans_error.h"

namespace zt {

class CZTTransMgr;

// A file opened for the post, with the path it was opened by.
struct OpenSendFile {
  std::u16string Path;
  std::unique_ptr<SendFileReader> Reader;
};

// Closes every file of the list and empties it; safe on an absent list.
void CloseOpenFiles(std::vector<OpenSendFile>* files);

// Runs one post for a manager: on the calling thread when the manager's
// PostMode is not 1, otherwise on a worker thread of its own, delivering
// OnComplete on a further thread. The platform provides it (WinINet, threads);
// it runs PostWorker (post_worker.h) against its exchange.
class CZTHttpAgent {
public:
  virtual ~CZTHttpAgent() = default;
  virtual void Post(CZTTransMgr& manager) = 0;
  virtual void SuspendWorker() = 0;
  virtual void ResumeWorker() = 0;
  virtual void KillWorker() = 0;
  virtual void CloseHandles() = 0;
  // The person gives the post up (a stop follows): resumable uploads it
  // began are removed from the server instead of kept to resume.
  virtual void WithdrawUploads() {}
};

using AgentFactory = std::function<std::unique_ptr<CZTHttpAgent>()>;

// The factory managers use when their own MakeAgent is empty; the platform
// installs it once at start-up.
void SetDefaultAgentFactory(AgentFactory factory);
const AgentFactory& DefaultAgentFactory();

class CZTTransMgr {
public:
  using ProgressFn = std::function<void(CZTTransMgr& manager, std::int32_t filesDone, std::int32_t fileCount,
                                        std::uint64_t bytesSent, std::uint64_t bytesTotal)>;
  using ErrorFn = std::function<void(CZTTransMgr& manager, const CZTTransException& failure)>;
  using CompleteFn = std::function<void(CZTTransMgr& manager)>;

  CZTTransMgr() = default;
  ~CZTTransMgr();
  CZTTransMgr(const CZTTransMgr&) = delete;
  CZTTransMgr& operator=(const CZTTransMgr&) = delete;

  std::vector<CZTFileItem> SendFiles;
  std::vector<CZTTransData> Messages;
  std::u16string Host;
  std::int32_t Port = 0;
  bool Secure = false;  // over TLS: certificate failures end the post, never ignored
  std::u16string ObjectPath;
  std::u16string UserName;
  std::u16string Password;
  std::int16_t Utf8 = 0;  // 1: texts go out and come back as UTF-8; otherwise the ANSI code page
  // With a URL, each file's bytes go by tus first and the request names the
  // uploads (tus_upload.h); without one the request carries them.
  ResumableSettings Resumable;
  // The last post's reply, written just before its OnComplete on the thread
  // that calls it (-1 and empty when no reply was read): read them there or later.
  std::u16string ResponseText;
  std::int32_t StatusCode = -1;
  // Files PostWorker opened when run on this manager itself; a post through
  // an agent keeps the files it opens to itself.
  std::vector<OpenSendFile> OpenFiles;
  std::int32_t PostMode = 0;  // 1: on the agent's worker thread; otherwise on the caller's
  void* Owner = nullptr;      // not owned; lets the callbacks reach their control or dialog
  std::unique_ptr<CZTHttpAgent> Agent;

  ProgressFn OnProgress;  // after every block of file data written
  ErrorFn OnError;        // once per failure, before OnComplete
  CompleteFn OnComplete;  // exactly once at the end of every post

  // Where boundaries come from (RandomUuid when empty).
  UuidSource Uuids;
  // Makes the agent of each post (DefaultAgentFactory() when empty).
  AgentFactory MakeAgent;
  // Looks up files for AddSendFile; not owned. Without it AddSendFile adds
  // nothing and BuildUploadManifest refuses a list with files to send.
  FileSystem* Files = nullptr;

  // Replaces the value of the field named name (ignoring case) or appends a
  // new field. Returns false only when memory ran out.
  bool SetMessage(std::u16string_view name, std::u16string_view value);

  // Registers the file at path for sending under name (the found file's own
  // name when name is empty). A path the file system does not find adds
  // nothing: its manifest row is still written, it just has no file part.
  void AddSendFile(std::u16string_view path, std::u16string_view name);

  // Starts the post in mode (0: this thread, 1: a worker thread) through a
  // new agent, replacing (and stopping) any previous one. The post uses the
  // inputs and callbacks as they are now. With no agent available the post
  // ends at once with a failure report and OnComplete.
  void Post(std::int32_t mode);

  std::u16string GetResponseText() const { return ResponseText; }
};

// SetMessage on manager for every field of the control's message list, in order.
bool CopyMessages(const std::vector<CZTTransData>& messages, CZTTransMgr& manager);

}  // namespace zt
