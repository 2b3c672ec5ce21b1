// Posts one file the way the control does (manifest, multipart body, the
// post procedure over the WinINet agent) and reports the time it took.
// Usage: zt_post <port> <file>
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/wide_text.h"
#include "transfer/trans_mgr.h"
#include "transfer/upload_manifest.h"
#include "transfer/win/wininet_agent.h"

namespace {

// Enough of a file system for one named file.
class OneFile final : public zt::FileSystem {
public:
  std::optional<zt::FoundFile> FindFirst(std::u16string_view path) override {
    std::u16string p(path);
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(zt::AsWide(p), GetFileExInfoStandard, &data)) return std::nullopt;
    zt::FoundFile f;
    f.FullPath = p;
    f.Name = p.substr(p.find_last_of(u"\\/") + 1);
    f.Size = (static_cast<std::int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return f;
  }
  std::vector<zt::FoundFile> FindAll(std::u16string_view) override { return {}; }
  std::optional<zt::FileTimes> Times(std::u16string_view) override { return std::nullopt; }
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: zt_post <port> <file>\n");
    return 2;
  }
  OneFile files;
  zt::CZTTransMgr manager;
  manager.Files = &files;
  manager.Utf8 = 1;
  manager.Host = u"127.0.0.1";
  manager.Port = _wtoi(argv[1]);
  manager.ObjectPath = u"/post";
  manager.MakeAgent = [] { return std::make_unique<zt::win::WinInetAgent>(); };
  std::uint32_t error = 0;
  std::u16string code;
  manager.OnError = [&](zt::CZTTransMgr&, const zt::CZTTransException& e) {
    code = e.Code;
    error = e.ErrorNumber;
  };
  zt::CZTFileItem entry;
  entry.LocalPath = zt::FromWide(argv[2]);
  entry.Name = entry.LocalPath.substr(entry.LocalPath.find_last_of(u"\\/") + 1);
  std::vector<zt::CZTFileItem> list{entry};
  zt::BuildUploadManifest(&list, nullptr, {}, manager);

  LARGE_INTEGER frequency, start, end;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  manager.Post(0);
  QueryPerformanceCounter(&end);
  const double seconds = double(end.QuadPart - start.QuadPart) / double(frequency.QuadPart);
  unsigned long long bytes = manager.SendFiles.empty() ? 0 : manager.SendFiles[0].Size;
  std::string failure(code.begin(), code.end());  // codes are ASCII
  std::printf("bytes %llu seconds %.3f status %d error %lu code %s\n", bytes, seconds, manager.StatusCode,
              static_cast<unsigned long>(error), failure.empty() ? "-" : failure.c_str());
  return manager.StatusCode == 200 ? 0 : 1;
}
