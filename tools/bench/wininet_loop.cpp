// The bare WinINet upload loop the engine is measured against: one POST of a
// file's bytes in fixed InternetWriteFile calls, nothing else (no multipart,
// no progress). Usage: wininet_loop <port> <file> [block bytes, default 4096]
// [times, default 1: the same POST again, each on its own handles]
#include <windows.h>
#include <wininet.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: wininet_loop <port> <file> [block]\n");
    return 2;
  }
  const INTERNET_PORT port = static_cast<INTERNET_PORT>(_wtoi(argv[1]));
  const DWORD block = argc > 3 ? static_cast<DWORD>(_wtoi(argv[3])) : 4096;
  if (block == 0) return 2;
  HANDLE file = CreateFileW(argv[2], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  LARGE_INTEGER size;
  if (file == INVALID_HANDLE_VALUE || !GetFileSizeEx(file, &size) || size.QuadPart > 0xFFFFFFFFll) {
    std::fprintf(stderr, "wininet_loop: cannot open the file or it is 4 GiB or larger\n");
    return 1;
  }
  const int times = argc > 4 ? _wtoi(argv[4]) : 1;
  LARGE_INTEGER frequency, start, end;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  bool ok = true;
  DWORD status = 0, error = 0;
  unsigned long long sent = 0;
  for (int round = 0; round < times && ok; ++round) {
    SetFilePointer(file, 0, nullptr, FILE_BEGIN);

    HINTERNET internet = InternetOpenW(L"wininet_loop", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    HINTERNET connection = InternetConnectW(internet, L"127.0.0.1", port, L"", L"", INTERNET_SERVICE_HTTP, 0, 0);
    HINTERNET request = HttpOpenRequestW(connection, L"POST", L"/bare", L"HTTP/1.0", L"", nullptr,
                                         INTERNET_FLAG_NO_CACHE_WRITE, 0);
    INTERNET_BUFFERSW buffers = {};
    buffers.dwStructSize = sizeof(buffers);
    buffers.dwBufferTotal = static_cast<DWORD>(size.QuadPart);
    ok = request && HttpSendRequestExW(request, &buffers, nullptr, HSR_INITIATE, 0);
    std::vector<char> data(block);
    for (DWORD got = 0; ok && ReadFile(file, data.data(), block, &got, nullptr) && got > 0;) {
      DWORD written = 0;
      ok = InternetWriteFile(request, data.data(), got, &written);
      sent += written;
    }
    ok = ok && HttpEndRequestW(request, nullptr, HSR_INITIATE, 0);
    DWORD length = sizeof(status);
    if (ok) HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &length, nullptr);
    error = ok ? 0 : GetLastError();
    ok = ok && status == 200;
    InternetCloseHandle(request);
    InternetCloseHandle(connection);
    InternetCloseHandle(internet);
  }
  QueryPerformanceCounter(&end);
  CloseHandle(file);

  const double seconds = double(end.QuadPart - start.QuadPart) / double(frequency.QuadPart);
  std::printf("bytes %llu seconds %.3f status %lu error %lu\n", sent, seconds, status, error);
  return ok ? 0 : 1;
}
