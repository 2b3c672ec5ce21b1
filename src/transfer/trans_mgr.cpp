#include "transfer/trans_mgr.h"

#include <new>

#include "text/unicode.h"

namespace zt {

namespace {

AgentFactory& DefaultFactorySlot() {
  static AgentFactory factory;
  return factory;
}

}  // namespace

void SetDefaultAgentFactory(AgentFactory factory) { DefaultFactorySlot() = std::move(factory); }
const AgentFactory& DefaultAgentFactory() { return DefaultFactorySlot(); }

void CloseOpenFiles(std::vector<OpenSendFile>* files) {
  if (files) files->clear();
}

CZTTransMgr::~CZTTransMgr() {
  // The agent first: it stops a worker that may still use the files.
  Agent.reset();
  CloseOpenFiles(&OpenFiles);
}

bool CZTTransMgr::SetMessage(std::u16string_view name, std::u16string_view value) {
  try {
    for (CZTTransData& field : Messages) {
      if (EqualsNoCase(field.Name, name)) {
        field.Value = std::u16string(value);
        return true;
      }
    }
    Messages.push_back({std::u16string(name), std::u16string(value)});
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

void CZTTransMgr::AddSendFile(std::u16string_view path, std::u16string_view name) {
  if (!Files) return;
  try {
    std::optional<FoundFile> found = Files->FindFirst(path);
    if (!found) return;
    CZTFileItem item;
    item.Name = name.empty() ? found->Name : std::u16string(name);
    item.LocalPath = found->FullPath;
    item.Size = found->Size;
    SendFiles.push_back(std::move(item));
  } catch (const std::bad_alloc&) {
    // An entry that could not be registered has no file part, like a missing file.
  }
}

void CZTTransMgr::Post(std::int32_t mode) {
  PostMode = mode;
  Agent.reset();
  const AgentFactory& factory = MakeAgent ? MakeAgent : DefaultAgentFactory();
  if (factory) Agent = factory();
  if (!Agent) {
    if (OnError) {
      CZTTransException failure;
      failure.Description = UncodedFailureText({}, uncoded_text::NoAgent);
      OnError(*this, failure);
    }
    if (OnComplete) OnComplete(*this);
    return;
  }
  Agent->Post(*this);
}

bool CopyMessages(const std::vector<CZTTransData>& messages, CZTTransMgr& manager) {
  for (const CZTTransData& field : messages) {
    if (!manager.SetMessage(field.Name, field.Value)) return false;
  }
  return true;
}

}  // namespace zt
