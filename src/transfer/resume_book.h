#pragma once
// The user's resume records over a store of named texts (the registry on
// Windows): one record per upload begun, found again by the same file (path,
// size, modification time) to the same endpoint. Records expire after
// Lifetime and the book never holds more than MaxRecords, so no page can
// make it grow without end.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "transfer/resumable.h"

namespace zt {

class RecordStore {
public:
  virtual ~RecordStore() = default;
  virtual std::vector<std::pair<std::u16string, std::u16string>> All() = 0;  // name, text
  virtual void Set(const std::u16string& name, const std::u16string& text) = 0;
  virtual void Remove(const std::u16string& name) = 0;
};

class ResumeBook final : public ResumeRecords {
public:
  static constexpr std::uint64_t Lifetime = 7 * 24 * 3600;  // seconds
  static constexpr std::size_t MaxRecords = 100;

  // now: seconds of a wall clock.
  ResumeBook(std::unique_ptr<RecordStore> store, std::function<std::uint64_t()> now)
      : store_(std::move(store)), now_(std::move(now)) {}

  std::u16string Find(const ResumeKey& key) override;
  void Keep(const ResumeKey& key, std::u16string_view uploadPath) override;
  void Forget(const ResumeKey& key) override;

private:
  std::unique_ptr<RecordStore> store_;
  std::function<std::uint64_t()> now_;
};

}  // namespace zt
