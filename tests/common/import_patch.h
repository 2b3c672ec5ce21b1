#pragma once
// Replaces one function that a loaded module imports by name, for as long as
// the patch lives, in that module's import table only. It lets a test give a
// module an answer the system here cannot be made to give (Wine cannot
// switch high contrast on), while the module still asks the system as it
// always does.
#include <windows.h>

#include <cstring>

namespace zt::test {

class ImportPatch {
public:
  ImportPatch(HMODULE module, const char* dll, const char* function, void* replacement) {
    auto* base = reinterpret_cast<BYTE*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (!module || imports.VirtualAddress == 0) return;
    for (auto* d = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress); d->Name; ++d) {
      if (lstrcmpiA(reinterpret_cast<const char*>(base + d->Name), dll) != 0 || !d->OriginalFirstThunk) continue;
      auto* names = reinterpret_cast<const IMAGE_THUNK_DATA*>(base + d->OriginalFirstThunk);
      auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->FirstThunk);
      for (; names->u1.AddressOfData; ++names, ++slots) {
        if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
        const auto* named = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
        if (std::strcmp(reinterpret_cast<const char*>(named->Name), function) != 0) continue;
        slot_ = reinterpret_cast<void**>(&slots->u1.Function);
        original_ = *slot_;
        Write(replacement);
        return;
      }
    }
  }
  ~ImportPatch() {
    if (slot_) Write(original_);
  }
  ImportPatch(const ImportPatch&) = delete;
  ImportPatch& operator=(const ImportPatch&) = delete;

  bool Ok() const { return slot_ != nullptr; }
  void* Original() const { return original_; }

private:
  void Write(void* value) {
    DWORD was = 0;
    VirtualProtect(slot_, sizeof *slot_, PAGE_READWRITE, &was);
    *slot_ = value;
    VirtualProtect(slot_, sizeof *slot_, was, &was);
  }
  void** slot_ = nullptr;
  void* original_ = nullptr;
};

}  // namespace zt::test
