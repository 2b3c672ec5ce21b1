// The host's COM objects: the platform's reference counting and
// QueryInterface, with one difference: a host object is born holding its
// creator's reference, so `new` is followed by Release (or a ComPtr Attach),
// never by AddRef.
#pragma once

#include "platform/com_object.h"

namespace zt::host {

template <typename... Interfaces>
class HostComObject : public com::ComObject<Interfaces...> {
 protected:
  HostComObject() { this->AddRef(); }
};

}  // namespace zt::host
