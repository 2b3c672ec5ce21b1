// The control posting to a server kit's example (PHP or Node, started by
// with_servers.sh) in every way a page posts: Post(false) in UTF-8 and in the
// ANSI code page, PostFile, PostMessage and OpenPostDialog with its Start
// pressed. Every reply must be the example's 200 "OK"; what each request
// should have told the server is written to expected.json in the order sent,
// and the wrapper compares it with what the server wrote, files byte for byte.
#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "control_client.h"
#include "dialog_driver.h"

namespace zt::test {
namespace {

constexpr int kStart = 222, kCancel = 217;

std::wstring Env(const wchar_t* name) {
  wchar_t buffer[1024] = {};
  const DWORD n = GetEnvironmentVariableW(name, buffer, 1024);
  return n && n < 1024 ? buffer : L"";
}

std::string Json(const std::wstring& text) {
  std::string utf8(text.size() * 3 + 1, '\0');
  utf8.resize(WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(),
                                  static_cast<int>(utf8.size()), nullptr, nullptr));
  std::string out = "\"";
  for (unsigned char c : utf8) {
    char esc[8];
    if (c == '"' || c == '\\') out += '\\', out += static_cast<char>(c);
    else if (c < 0x20) std::snprintf(esc, sizeof esc, "\\u%04x", c), out += esc;
    else out += static_cast<char>(c);
  }
  return out + "\"";
}

struct Entry {
  std::wstring Type, Name, Source;  // Source: the local file, for N rows
  long long Size;
  std::vector<std::wstring> Values;  // one per attribute
};
using Fields = std::vector<std::pair<std::wstring, std::wstring>>;

// One request as the server should understand it, in the kits' JSON shape.
std::string Request(bool utf8, const Fields& fields, bool manifest, const std::vector<std::wstring>& attributes,
                    const std::vector<Entry>& rows) {
  std::string j = "{\"encoding\":" + std::string(utf8 ? "\"utf-8\"" : "\"cp949\"") + ",\"fields\":[";
  for (size_t i = 0; i < fields.size(); ++i)
    j += (i ? "," : "") + std::string("{\"name\":") + Json(fields[i].first) + ",\"value\":" + Json(fields[i].second) + "}";
  j += "],\"manifest\":" + std::string(manifest ? "true" : "false") + ",\"attributes\":[";
  for (size_t i = 0; i < attributes.size(); ++i) j += (i ? "," : "") + Json(attributes[i]);
  j += "],\"rows\":[";
  for (size_t r = 0; r < rows.size(); ++r) {
    const Entry& e = rows[r];
    j += (r ? "," : "") + std::string("{\"type\":") + Json(e.Type) + ",\"name\":" + Json(e.Name) +
         ",\"size\":" + std::to_string(e.Size) + ",\"attributes\":{";
    for (size_t i = 0; i < attributes.size(); ++i)
      j += (i ? "," : "") + Json(attributes[i]) + ":" + Json(e.Values[i]);
    j += "},\"file\":" + (e.Source.empty() ? std::string("null") : "{\"source\":" + Json(e.Source) + "}") + "}";
  }
  return j + "]}";
}

class ServerKit : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_FALSE(url.empty() || tus.empty()) << "run through with_servers.sh";
    ASSERT_EQ(control.Put(L"URL", Text(url.c_str())).Hr, S_OK);
  }
  void TearDown() override {
    std::string all = "[";
    for (size_t i = 0; i < expected.size(); ++i) all += (i ? ",\n" : "") + expected[i];
    all += "]\n";
    FILE* f = _wfopen((work + L"\\expected.json").c_str(), L"wb");
    ASSERT_NE(f, nullptr);
    fwrite(all.data(), 1, all.size(), f);
    fclose(f);
  }
  void Call(const wchar_t* name, std::vector<VARIANT> args) {
    CallResult r = control.Call(name, std::move(args));
    ASSERT_EQ(r.Hr, S_OK) << name << ": " << Json(control.GetText(L"ErrorCode") + L" " + r.Description());
  }
  void Answered() {
    EXPECT_EQ(control.GetLong(L"ResponseStatusCode"), 200) << control.GetText(L"ResponseText");
    EXPECT_EQ(control.GetText(L"ResponseText"), L"OK");
  }

  // The page's list: three local files (one named with "..", one empty), one
  // that is gone by the time of the post, a server file with a Korean name
  // kept and one deleted, attributes with a
  // bar in a value, message fields with a quote in a name. (Under Wine a
  // Korean file name cannot reach the host's file system without its locale.)
  void List() {
    const std::wstring src = work + L"\\";
    Call(L"AddMessage", {Text(fields[0].first.c_str()), Text(fields[0].second.c_str())});
    Call(L"AddMessage", {Text(fields[1].first.c_str()), Text(fields[1].second.c_str())});
    local = {{L"N", L"a..b.txt", MakePatternFile(src + L"a..b.txt", 3000, 1), 3000, {L"kim", L"a b"}},
             {L"N", L"data.bin", MakePatternFile(src + L"data.bin", 4001, 2), 4001, {L"\uC774", L""}},
             {L"N", L"empty.dat", MakePatternFile(src + L"empty.dat", 0, 3), 0, {L"", L""}}};
    for (const Entry& e : local) {
      ASSERT_FALSE(e.Source.empty()) << Json(e.Name) << " could not be written";
      Call(L"AddLocalFile", {Text(e.Source.c_str())});
      if (!e.Values[0].empty()) Call(L"SetFileAttr", {Text(attributes[0].c_str()), Text(e.Values[0].c_str())});
    }
    ASSERT_EQ(control.Put(L"FilePos", Long(0)).Hr, S_OK);
    Call(L"SetFileAttr", {Text(attributes[1].c_str()), Text(L"a|b")});  // the bar travels as a space
    const std::wstring gone = MakePatternFile(src + L"gone.txt", 7, 4);
    Call(L"AddLocalFile", {Text(gone.c_str())});
    ASSERT_TRUE(DeleteFileW(gone.c_str()));
    Call(L"AddVirtualFileWithSize", {Text(L"/srv/docs/\uD55C\uAE00 \uBB38\uC11C.doc"), Text(L"1234")});
    Call(L"AddVirtualFile", {Text(L"/srv/docs/old.doc")});
    Call(L"DeleteFile", {Long(5)});
  }
  std::vector<Entry> Rows() {
    std::vector<Entry> rows = local;
    rows.push_back({L"N", L"gone.txt", L"", 7, {L"", L""}});  // its row comes, its file cannot
    rows.push_back({L"V", L"\uD55C\uAE00 \uBB38\uC11C.doc", L"", 1234, {L"", L""}});
    rows.push_back({L"D", L"old.doc", L"", 0, {L"", L""}});
    return rows;
  }

  std::wstring url = Env(L"ZT_KIT_URL"), tus = Env(L"ZT_KIT_TUS"), work = Env(L"ZT_KIT_WORK");
  ControlClient control;
  Fields fields = {{L"title", L"Hello \uC548\uB155"}, {L"say\"hi", L"line1\r\nline2 | \"q\""}};
  std::vector<std::wstring> attributes = {L"author", L"\uBA54\uBAA8"};
  std::vector<Entry> local;
  static inline std::vector<std::string> expected;  // every test's requests, in the order sent
};

TEST_F(ServerKit, EveryWayOfPostingIsUnderstood) {
  List();
  for (long utf8 : {1L, 0L}) {
    ASSERT_EQ(control.Put(L"UTF8", Long(utf8)).Hr, S_OK);
    Call(L"Post", {Bool(false)});
    Answered();
    expected.push_back(Request(utf8 == 1, fields, true, attributes, Rows()));
  }
  ASSERT_EQ(control.Put(L"UTF8", Long(1)).Hr, S_OK);

  ASSERT_EQ(control.Put(L"FilePos", Long(1)).Hr, S_OK);
  Call(L"PostFile", {});
  Answered();
  expected.push_back(Request(true, fields, true, attributes, {local[1]}));

  Call(L"PostMessage", {});
  Answered();
  expected.push_back(Request(true, fields, false, {}, {}));

  // One request with the fields, then one per local file.
  Call(L"DeleteFile", {Long(3)});
  std::thread person([&] {
    HWND dialog = FindDialog(kStatusTitle);
    if (!dialog) return;
    WaitUntil([&] { return IsWindowVisible(dialog) && ItemEnabled(dialog, kStart); });
    Click(dialog, kStart);
    WaitUntil([&] { return ItemText(dialog, kCancel) == L"Close"; }, 60000);
    Click(dialog, kCancel);
  });
  EXPECT_EQ(control.Call(L"OpenPostDialog").Hr, S_OK);
  person.join();
  expected.push_back(Request(true, fields, false, {}, {}));
  for (const Entry& e : local) expected.push_back(Request(true, {}, true, attributes, {e}));
}

// Names PHP would nest in an array or file under one key ("report_2024_txt"),
// and a Korean one: every file is stored as sent, byte for byte, whether its
// bytes came in the request or first through the kit's resumable endpoint
// (Post(true) with its dialog, then PostFile).
TEST_F(ServerKit, NamesPhpWouldRewriteAllArrive) {
  std::vector<Entry> rows;
  std::uint32_t size = 1000;  // each file of its own length and bytes
  for (const wchar_t* name : {L"[draft] plan.txt", L"report 2024.txt", L"report_2024.txt", L"\uD55C\uAE00 \uBCF4\uACE0.txt"}) {
    ++size;
    rows.push_back({L"N", name, MakePatternFile(work + L"\\" + name, size, size), size, {}});
    ASSERT_FALSE(rows.back().Source.empty()) << Json(name) << " could not be written";
    Call(L"AddLocalFile", {Text(rows.back().Source.c_str())});
  }
  ASSERT_EQ(control.Put(L"UTF8", Long(1)).Hr, S_OK);
  Call(L"Post", {Bool(false)});
  Answered();
  expected.push_back(Request(true, {}, true, {}, rows));

  ASSERT_EQ(control.Put(L"ResumableURL", Text(tus.c_str())).Hr, S_OK);
  Call(L"Post", {Bool(true)});
  Answered();
  expected.push_back(Request(true, {}, true, {}, rows));
  ASSERT_EQ(control.Put(L"FilePos", Long(3)).Hr, S_OK);
  Call(L"PostFile", {});
  Answered();
  expected.push_back(Request(true, {}, true, {}, {rows[3]}));
  // The upload page is no tus endpoint: the post ends before any byte and leaves no account.
  ASSERT_EQ(control.Put(L"ResumableURL", Text(url.c_str())).Hr, S_OK);
  control.Call(L"PostFile");
  EXPECT_EQ(control.GetText(L"ErrorCode"), L"E04003");
}

}  // namespace
}  // namespace zt::test
