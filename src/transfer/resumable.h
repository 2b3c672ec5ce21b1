#pragma once
// How a post sends its files' bytes resumably, as the control sets it up,
// and where it remembers uploads begun so a later post of the same file goes
// on from the server's offset.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace zt {

// One upload begun: the same file (path, size, modification) to the same endpoint.
struct ResumeKey {
  std::u16string Path;
  std::uint64_t Size = 0;
  std::uint64_t Modified = 0;
  std::u16string Endpoint;
};

// The person's record of uploads begun, shared by every control of the user.
// Implementations bound what they keep and let old records expire; a
// failure to read or write one only costs a resume, never a post.
class ResumeRecords {
public:
  virtual ~ResumeRecords() = default;
  // The upload path kept for key, or empty.
  virtual std::u16string Find(const ResumeKey& key) = 0;
  virtual void Keep(const ResumeKey& key, std::u16string_view uploadPath) = 0;
  virtual void Forget(const ResumeKey& key) = 0;
};

struct ResumableSettings {
  std::u16string Url;  // the tus endpoint; empty: every file travels inside the request
  int Retries = 0;     // tries after a failure another try can cure, counted anew after progress
  std::function<std::uint32_t(int attempt)> DelayMs;  // the pause before try number attempt
  std::uint64_t Chunk = 0;                            // bytes per PATCH; 0: the largest
  std::shared_ptr<ResumeRecords> Records;             // may be null
};

}  // namespace zt
