#pragma once
// The standard IEnumXxx over a snapshot: the items are copied (and their
// references taken) when the enumerator is made, so a list that changes
// afterwards cannot invalidate it. Clones share the snapshot.
#include <windows.h>
#include <ocidl.h>

#include <memory>
#include <new>
#include <vector>

#include "platform/com_object.h"

namespace zt::com {

// How an item is shared with the caller (Copy takes a reference) and
// released (Drop).
struct ConnectionPointItems {
  using Item = IConnectionPoint*;
  static void Copy(Item& to, Item from) {
    to = from;
    from->AddRef();
  }
  static void Drop(Item& item) { item->Release(); }
};

struct ConnectionItems {
  using Item = CONNECTDATA;
  static void Copy(Item& to, const Item& from) {
    to = from;
    from.pUnk->AddRef();
  }
  static void Drop(Item& item) { item.pUnk->Release(); }
};

template <typename IEnum, typename Items>
class Enumerator final : public ComObject<IEnum> {
public:
  using Item = typename Items::Item;

  class Snapshot {
  public:
    explicit Snapshot(const std::vector<Item>& items) {
      items_.reserve(items.size());
      for (const Item& item : items) {
        Item copy;
        Items::Copy(copy, item);
        items_.push_back(copy);
      }
    }
    ~Snapshot() {
      for (Item& item : items_) Items::Drop(item);
    }
    const std::vector<Item>& items() const { return items_; }

  private:
    std::vector<Item> items_;
  };

  Enumerator(std::shared_ptr<Snapshot> snapshot, std::size_t position) : snapshot_(std::move(snapshot)), position_(position) {}

  // A new enumerator over items, returned with one reference in *out.
  static HRESULT Make(const std::vector<Item>& items, IEnum** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    try {
      auto* e = new Enumerator(std::make_shared<Snapshot>(items), 0);
      e->AddRef();
      *out = e;
      return S_OK;
    } catch (const std::bad_alloc&) {
      return E_OUTOFMEMORY;
    }
  }

  STDMETHODIMP Next(ULONG count, Item* out, ULONG* fetched) override {
    if (!out || (count > 1 && !fetched)) return E_POINTER;
    const auto& items = snapshot_->items();
    ULONG n = 0;
    while (n < count && position_ < items.size()) Items::Copy(out[n++], items[position_++]);
    if (fetched) *fetched = n;
    return n == count ? S_OK : S_FALSE;
  }
  STDMETHODIMP Skip(ULONG count) override {
    const auto& items = snapshot_->items();
    std::size_t left = items.size() - position_;
    position_ += count < left ? count : left;
    return count <= left ? S_OK : S_FALSE;
  }
  STDMETHODIMP Reset() override {
    position_ = 0;
    return S_OK;
  }
  STDMETHODIMP Clone(IEnum** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    auto* e = new (std::nothrow) Enumerator(snapshot_, position_);
    if (!e) return E_OUTOFMEMORY;
    e->AddRef();
    *out = e;
    return S_OK;
  }

private:
  std::shared_ptr<Snapshot> snapshot_;
  std::size_t position_;
};

}  // namespace zt::com
