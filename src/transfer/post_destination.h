#pragma once
// Where a run's requests go and as whom. A window that sends several
// requests takes it once, when it opens, so a page that changes URL, Port,
// UserName or Password meanwhile cannot send the rest elsewhere than the
// window shows.
#include <cstdint>
#include <string>

#include "transfer/trans_mgr.h"
#include "transfer/url.h"

namespace zt {

struct PostDestination {
  std::u16string Host;
  std::u16string Path;
  std::int32_t Port = 0;  // as the control holds it: 0 stands for the scheme's
  bool Secure = false;
  std::u16string UserName;
  std::u16string Password;
};

// Fills manager's destination; false, with nothing set, when host or path is
// empty.
inline bool ApplyDestination(const PostDestination& to, CZTTransMgr& manager) {
  if (to.Host.empty() || to.Path.empty()) return false;
  manager.Host = to.Host;
  manager.ObjectPath = to.Path;
  manager.Secure = to.Secure;
  manager.Port = to.Port == 0 ? DefaultPort(to.Secure) : to.Port;
  manager.UserName = to.UserName;
  manager.Password = to.Password;
  return true;
}

}  // namespace zt
