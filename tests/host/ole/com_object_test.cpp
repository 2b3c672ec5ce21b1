// The COM base every object of the module stands on.
#include <windows.h>
#include <objidl.h>

#include <gtest/gtest.h>

#include "platform/com_object.h"
#include "platform/module_state.h"

namespace zt::com {
namespace {

// A base whose destructor still runs module code, as a control's window
// and connection points do.
struct LockProbe : IPersist {
  using Interface = IPersist;
  static inline long seenLocks = -1;
  virtual ~LockProbe() { seenLocks = ModuleLockCount(); }
  STDMETHODIMP GetClassID(CLSID* id) override {
    *id = GUID_NULL;
    return S_OK;
  }
};

class Probed final : public ComObject<LockProbe> {};

TEST(ComObject, HoldsTheModuleUntilItsLastBaseIsDestroyed) {
  const long before = ModuleLockCount();
  auto* object = new Probed;
  EXPECT_EQ(before + 1, ModuleLockCount());
  object->AddRef();
  IPersist* persist = nullptr;
  ASSERT_EQ(S_OK, object->QueryInterface(IID_IPersist, reinterpret_cast<void**>(&persist)));
  persist->Release();
  object->Release();
  EXPECT_EQ(before + 1, LockProbe::seenLocks) << "DllCanUnloadNow could say yes while a base was being destroyed";
  EXPECT_EQ(before, ModuleLockCount());
}

}  // namespace
}  // namespace zt::com
