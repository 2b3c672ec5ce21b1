// Resumable uploads under faults, through tus_proofs.sh: the control posts
// big files through a proxy that cuts connections, refuses them, or restarts
// the server behind it. Every post must end with the example's "OK"; the
// wrapper then holds the stored files against their sources by hash.
#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include "control_client.h"
#include "dialog_driver.h"

namespace zt::test {
namespace {

constexpr long long MiB = 1 << 20, Chunk = 16 * MiB;

std::wstring Env(const wchar_t* name) {
  wchar_t buffer[1024] = {};
  const DWORD n = GetEnvironmentVariableW(name, buffer, 1024);
  return n && n < 1024 ? buffer : L"";
}

// One command to the proxy's control port; its answer line.
std::string Proxy(const std::string& command) {
  WSADATA wsa;
  WSAStartup(MAKEWORD(2, 2), &wsa);
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in to = {};
  to.sin_family = AF_INET;
  to.sin_port = htons(static_cast<u_short>(_wtoi(Env(L"ZT_TUS_CONTROL").c_str())));
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  std::string answer;
  if (connect(s, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0) {
    const std::string line = command + "\n";
    send(s, line.data(), static_cast<int>(line.size()), 0);
    char c;
    while (recv(s, &c, 1, 0) == 1 && c != '\n') answer += c;
  }
  closesocket(s);
  return answer;
}

// "up BYTES cuts N restarts N": bytes sent up through the proxy, cuts made, server restarts.
long long Stat(const char* name) {
  const std::string stats = Proxy("stats");
  return std::stoll(stats.substr(stats.find(name) + std::strlen(name) + 1));
}

// The files tus_proofs.sh made: random bytes, and a sparse one past 4 GiB.
std::wstring Made(const wchar_t* name) { return Env(L"ZT_TUS_WORK") + L"\\" + name; }

struct Resumable : ::testing::Test {
  std::wstring proxy = Env(L"ZT_TUS_PROXY");
  void SetUp() override { ASSERT_FALSE(proxy.empty()) << "run through tus_proofs.sh"; }
  // A new control posting path through the proxy with retries tries.
  void PostFile(const std::wstring& path, long tries, bool expectOk = true) {
    ControlClient control;
    ASSERT_EQ(control.Put(L"URL", Text((proxy + L"/upload").c_str())).Hr, S_OK);
    ASSERT_EQ(control.Put(L"ResumableURL", Text((proxy + L"/tus/").c_str())).Hr, S_OK);
    ASSERT_EQ(control.Put(L"RetryCount", Long(tries)).Hr, S_OK);
    ASSERT_EQ(control.Call(L"AddLocalFile", {Text(path.c_str())}).Hr, S_OK);
    control.Call(L"PostFile");
    EXPECT_EQ(control.GetText(L"ErrorCode").empty(), expectOk) << control.GetText(L"ErrorCode");
    if (expectOk) {
      EXPECT_EQ(control.GetLong(L"ResponseStatusCode"), 200) << control.GetText(L"ResponseText");
    }
  }
};

TEST_F(Resumable, CutsAtRandomPointsCostAtMostAChunkEach) {
  const long long size = 512 * MiB;
  const std::wstring file = Made(L"cut.bin");
  const long long before = Stat("up");
  Proxy("cuts 7 " + std::to_string(size) + " 32");
  PostFile(file, 3);
  const long long cuts = Stat("cuts");
  std::printf("%lld cuts, %lld bytes up for %lld\n", cuts, Stat("up") - before, size);
  EXPECT_GE(cuts, 5);
  EXPECT_LT(Stat("up") - before, size + cuts * Chunk);
}

TEST_F(Resumable, ANewControlGoesOnWhereAnEndedOneStopped) {
  const long long size = 300 * MiB;
  const std::wstring file = Made(L"again.bin");
  const long long before = Stat("up");
  Proxy("block " + std::to_string(170 * MiB));
  PostFile(file, 0, false);  // the connection goes and stays gone: the post fails
  Proxy("open");
  PostFile(file, 0);
  std::printf("%lld bytes up for %lld in two posts\n", Stat("up") - before, size);
  EXPECT_LT(Stat("up") - before, size + size / 10);
}

TEST_F(Resumable, TheServerRestartedMidUploadAndAFilePast4GiB) {
  const std::wstring file = Made(L"sparse.bin");
  Proxy("restart " + std::to_string(900 * MiB));
  PostFile(file, 4);
  EXPECT_EQ(Stat("restarts"), 1);
}

// The per-file window on two lanes, cut 43 MiB in (both first files past a
// chunk then): the cut file resumes and every row ends done (완료).
TEST_F(Resumable, ThePerFileWindowResumesItsFiles) {
  ControlClient control;
  for (auto name : {L"w40.bin", L"w24.bin", L"w6.bin"}) control.Call(L"AddLocalFile", {Text(Made(name).c_str())});
  control.Put(L"URL", Text((proxy + L"/upload").c_str()));
  control.Put(L"ResumableURL", Text((proxy + L"/tus/").c_str()));
  control.Put(L"ParallelCount", Long(2));
  const long long size = 70 * MiB, before = Stat("up");
  Proxy("cuts 1 " + std::to_string(size) + " 35");
  std::vector<std::vector<std::wstring>> rows;
  std::thread person([&] {
    HWND dialog = FindDialog(kStatusTitle);
    Click(dialog, 222);  // Start; Close (217) once the list (213) is done
    WaitUntil([&] { return ItemText(dialog, 217) == L"Close"; }, 300000);
    rows = ListRows(GetDlgItem(dialog, 213), 4);
    Click(dialog, 217);
  });
  control.Call(L"OpenPostDialog");
  person.join();
  EXPECT_LT(Stat("up") - before, size + Chunk);
  ASSERT_EQ(rows.size(), 3u);
  for (const auto& row : rows) EXPECT_EQ(row[3], L"\uC644\uB8CC") << row[0];
}

}  // namespace
}  // namespace zt::test
