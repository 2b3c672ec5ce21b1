// PostFile and PostMessage through IDispatch, posting over WinINet to the
// loopback receiver: what arrived byte for byte, what the script reads back
// afterwards, and the refusals before anything is sent.
#include <winsock2.h>
#include <windows.h>
#include <winioctl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "control_client.h"
#include "memory_bag.h"
#include "receiver_client.h"

namespace zt::test {
namespace {

const wchar_t Korean[] = L"\uD55C\uAE00";
const wchar_t NoDestinationText[] =
    L"\uC804\uC1A1 \uB300\uC0C1 \uD638\uC2A4\uD2B8\uBA85\uACFC \uC704\uCE58\uB97C \uC124\uC815\uD558\uC9C0 "
    L"\uC54A\uC558\uC2B5\uB2C8\uB2E4.";
const wchar_t NothingToSendText[] =
    L"\uC804\uC1A1\uD560 \uB370\uC774\uD130\uAC00 \uC5C6\uC2B5\uB2C8\uB2E4. \uCC98\uB9AC\uAC00 "
    L"\uC911\uC9C0\uB429\uB2C8\uB2E4.";
const wchar_t SendRequestText[] = L"Request \uC804\uC1A1 \uC911 \uC624\uB958\uAC00 \uBC1C\uC0DD\uD588\uC2B5\uB2C8\uB2E4.";
const wchar_t FileLockedText[] =
    L"\uC804\uC1A1 \uB300\uC0C1 \uD30C\uC77C\uC744 \uC7A0\uAE00 \uC218 \uC5C6\uC2B5\uB2C8\uB2E4. \uB2E4\uB978 "
    L"\uD504\uB85C\uADF8\uB7A8\uC774 \uC5F4\uACE0 \uC788\uC2B5\uB2C8\uB2E4.";

std::string Narrow(const std::wstring& w, UINT codePage = CP_UTF8) {
  int n = WideCharToMultiByte(codePage, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(codePage, 0, w.data(), static_cast<int>(w.size()), &out[0], n, nullptr, nullptr);
  return out;
}

std::wstring WriteFileBytes(const TempFolder& folder, const std::wstring& name, const std::string& bytes) {
  std::wstring path = folder.Path() + name;
  HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  EXPECT_NE(h, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(h);
  return path;
}

std::string FieldPart(const std::string& b, const std::string& name, const std::string& value) {
  return "--" + b + "\r\nContent-Disposition: form-data; name=\"" + name + "\"\r\n\r\n" + value + "\r\n";
}

std::string FilePart(const std::string& b, const std::string& name, const std::string& data) {
  return "--" + b + "\r\nContent-Disposition: form-data; name=\"" + name + "\"; filename=\"" + name +
         "\"\r\nContent-Type: application/octet-stream\r\n\r\n" + data + "\r\n";
}

// A request as the receiver recorded it, cut into head, boundary and body.
struct Recorded {
  std::string Head, Boundary, Body;
  explicit Recorded(const std::string& raw) {
    auto end = raw.find("\r\n\r\n");
    if (end == std::string::npos) return;
    Head = raw.substr(0, end + 2);
    Body = raw.substr(end + 4);
    const std::string key = "\r\nContent-Type: multipart/form-data; boundary=";
    auto at = Head.find(key);
    if (at != std::string::npos) Boundary = Head.substr(at + key.size(), Head.find("\r\n", at + 2) - at - key.size());
  }
};

class Posting : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(receiver.Ok()) << "ZT_RECEIVER_PORT / ZT_RECEIVER_DIR are not set: run through with_receiver.sh";
    receiver.Reset();
    base = L"http://127.0.0.1:" + std::to_wstring(receiver.Port());
  }

  void SetUrl(const std::wstring& url) { ASSERT_EQ(control.Put(L"URL", Text(url.c_str())).Hr, S_OK); }
  void Add(const std::wstring& path) { ASSERT_EQ(control.Call(L"AddLocalFile", {Text(path.c_str())}).Hr, S_OK); }
  void Message(const wchar_t* name, const wchar_t* value) {
    ASSERT_EQ(control.Call(L"AddMessage", {Text(name), Text(value)}).Hr, S_OK);
  }
  // A post that must run to its end and return normally.
  std::wstring Posted(const wchar_t* method) {
    CallResult r = control.Call(method);
    EXPECT_EQ(r.Hr, S_OK) << "refused with " << r.Exception.wCode;
    return r.Hr == S_OK ? r.Text() : std::wstring();
  }
  void ExpectRefused(const wchar_t* method, WORD number, const wchar_t* code, const wchar_t* text) {
    CallResult r = control.Call(method);
    EXPECT_EQ(r.Hr, DISP_E_EXCEPTION);
    EXPECT_EQ(r.Exception.wCode, number);
    EXPECT_EQ(r.Description(), text);
    EXPECT_EQ(control.GetText(L"ErrorCode"), code);
    EXPECT_EQ(control.GetText(L"ErrorDescription"), text);
  }

  ReceiverClient receiver;
  ControlClient control;
  TempFolder folder;
  std::wstring base;
};

TEST_F(Posting, PostFileSendsTheCurrentEntryAloneByteForByte) {
  std::string data;
  for (int i = 0; i < 10000; ++i) data += static_cast<char>(i * 7);
  Add(WriteFileBytes(folder, L"a.txt", "abcde"));
  Add(WriteFileBytes(folder, L"b.bin", data));
  ASSERT_EQ(control.Call(L"AddVirtualFileWithSize", {Text(L"/srv/c.doc"), Text(L"77")}).Hr, S_OK);
  ASSERT_EQ(control.Put(L"FilePos", Long(1)).Hr, S_OK);
  ASSERT_EQ(control.Call(L"SetFileAttr", {Text(L"Title"), Text(L"second")}).Hr, S_OK);
  Message(L"memo", L"hello");
  // Scheme in capitals, explicit port, query kept in the path.
  SetUrl(L"HTTP://127.0.0.1:" + std::to_wstring(receiver.Port()) + L"/Up/Recv.asp?x=1");
  EXPECT_EQ(control.GetText(L"URL"), L"/Up/Recv.asp?x=1");
  EXPECT_EQ(control.GetLong(L"Port"), receiver.Port());
  ASSERT_EQ(control.Put(L"UTF8", Long(1)).Hr, S_OK);

  const long before = receiver.Count();
  EXPECT_EQ(Posted(L"PostFile"), L"");
  EXPECT_EQ(control.GetLong(L"ResponseStatusCode"), 200);
  EXPECT_EQ(control.GetText(L"ResponseText"), L"OK");
  EXPECT_EQ(control.GetText(L"ErrorCode"), L"");
  ASSERT_EQ(receiver.Count(), before + 1);

  Recorded req(receiver.Raw(before + 1));
  EXPECT_EQ(req.Head.find("POST /Up/Recv.asp?x=1 HTTP/1.0\r\n"), 0u) << req.Head;
  EXPECT_NE(req.Head.find("\r\nHost: 127.0.0.1:" + std::to_string(receiver.Port()) + "\r\n"), std::string::npos)
      << req.Head;
  EXPECT_NE(req.Head.find("\r\nContent-Length: " + std::to_string(req.Body.size()) + "\r\n"), std::string::npos);
  ASSERT_EQ(req.Boundary.size(), 36u) << req.Head;
  const std::string& b = req.Boundary;
  const std::string expected = FieldPart(b, "memo", "hello") +
                               FieldPart(b, "_ZTUInfo", "Type|FileName|Size|Title|\r\nN|b.bin|10000|second|\r\n") +
                               FilePart(b, "b.bin", data) + "--" + b + "--\r\n";
  EXPECT_EQ(req.Body.size(), expected.size());
  EXPECT_TRUE(req.Body == expected) << "the body differs from the one-entry upload";
  // The list itself is untouched by the post.
  EXPECT_EQ(control.GetLong(L"FileCount"), 3);
  EXPECT_EQ(control.GetLong(L"FilePos"), 1);
}

// A wildcard path written with "/" or with mixed separators names the file
// it found: that file's bytes go out under its row, never those of a file
// of the same name in the process's current folder or in a parent folder.
TEST_F(Posting, WildcardPathsSendTheFileTheyFoundWhateverTheSeparators) {
  TempFolder current;
  WriteFileBytes(current, L"b.dat", "DECOY");
  WriteFileBytes(folder, L"b.dat", "UPPER");
  ASSERT_TRUE(CreateDirectoryW((folder.Path() + L"sub").c_str(), nullptr));
  WriteFileBytes(folder, L"sub\\b.dat", "right");
  wchar_t saved[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, saved);
  ASSERT_TRUE(SetCurrentDirectoryW(current.Path().c_str()));
  struct Restore {
    const wchar_t* folder;
    ~Restore() { SetCurrentDirectoryW(folder); }
  } restore{saved};

  std::wstring slashes = folder.Path() + L"sub/*.dat";
  for (wchar_t& c : slashes) c = c == L'\\' ? L'/' : c;
  const std::wstring mixed = folder.Path() + L"sub/?.dat";
  SetUrl(base + L"/up");
  struct Case {
    std::wstring method, path, name;
  };
  const Case cases[] = {{L"AddLocalFile", slashes, L"b.dat"},
                        {L"AddLocalFile", mixed, L"b(1).dat"},
                        {L"AddLocalFiles", mixed, L"b(2).dat"},
                        {L"AddLocalFiles", slashes, L"b(3).dat"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.method + L" " + c.path));
    CallResult added = control.Call(c.method, {Text(c.path.c_str())});
    ASSERT_EQ(added.Hr, S_OK);
    EXPECT_TRUE(added.Bool());
    // The entry keeps the folder as the page wrote it.
    EXPECT_EQ(control.GetText(L"FilePath"), c.path.substr(0, c.path.rfind(L'/') + 1) + L"b.dat");
    const long before = receiver.Count();
    EXPECT_EQ(Posted(L"PostFile"), L"");
    ASSERT_EQ(receiver.Count(), before + 1);
    Recorded req(receiver.Raw(before + 1));
    const std::string name = Narrow(c.name);
    EXPECT_EQ(req.Body, FieldPart(req.Boundary, "_ZTUInfo", "Type|FileName|Size|\r\nN|" + name + "|5|\r\n") +
                            FilePart(req.Boundary, name, "right") + "--" + req.Boundary + "--\r\n");
  }
}

TEST_F(Posting, PostFileOfAServerEntrySendsItsRowWithoutAFile) {
  ASSERT_EQ(control.Call(L"AddVirtualFileWithSize", {Text(L"/srv/c.doc"), Text(L"77")}).Hr, S_OK);
  Add(WriteFileBytes(folder, L"a.txt", "abcde"));
  ASSERT_EQ(control.Put(L"FilePos", Long(0)).Hr, S_OK);
  SetUrl(base + L"/up");
  const long before = receiver.Count();
  EXPECT_EQ(Posted(L"PostFile"), L"");
  Recorded req(receiver.Raw(before + 1));
  ASSERT_FALSE(req.Boundary.empty());
  EXPECT_EQ(req.Body, FieldPart(req.Boundary, "_ZTUInfo", "Type|FileName|Size|\r\nV|c.doc|77|\r\n") + "--" +
                          req.Boundary + "--\r\n");
}

// How a container keeps a control: each form saves one control and loads
// another from what it saved.
enum class SavedForm { Stream, Storage, Bag };

void SaveAndLoad(SavedForm form, IDispatch* from, IDispatch* to, MemoryBag& bag) {
  com::ComPtr<IDispatch> source(from), target(to);
  switch (form) {
    case SavedForm::Stream: {
      com::ComPtr<IStream> stream;
      ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, stream.Put()), S_OK);
      ASSERT_EQ(source.As<IPersistStreamInit>(IID_IPersistStreamInit)->Save(stream.Get(), TRUE), S_OK);
      LARGE_INTEGER zero = {};
      stream->Seek(zero, STREAM_SEEK_SET, nullptr);
      ASSERT_EQ(target.As<IPersistStreamInit>(IID_IPersistStreamInit)->Load(stream.Get()), S_OK);
      break;
    }
    case SavedForm::Storage: {
      com::ComPtr<ILockBytes> bytes;
      com::ComPtr<IStorage> storage;
      ASSERT_EQ(CreateILockBytesOnHGlobal(nullptr, TRUE, bytes.Put()), S_OK);
      ASSERT_EQ(StgCreateDocfileOnILockBytes(bytes.Get(), STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0,
                                             storage.Put()),
                S_OK);
      ASSERT_EQ(source.As<IPersistStorage>(IID_IPersistStorage)->Save(storage.Get(), FALSE), S_OK);
      ASSERT_EQ(target.As<IPersistStorage>(IID_IPersistStorage)->Load(storage.Get()), S_OK);
      break;
    }
    case SavedForm::Bag:
      ASSERT_EQ(source.As<IPersistPropertyBag>(IID_IPersistPropertyBag)->Save(&bag, TRUE, TRUE), S_OK);
      ASSERT_EQ(target.As<IPersistPropertyBag>(IID_IPersistPropertyBag)->Load(&bag, nullptr), S_OK);
      break;
  }
}

// A control whose URL was put keeps its server through every form of save:
// the control loaded from it posts to the same host, port and path, and
// reading URL still gives the path. What earlier saves and pages hold loads
// as before: a bare path keeps no host, a page's whole URL takes a Port
// given beside it.
TEST_F(Posting, SavedControlPostsToTheServerItWasGiven) {
  SetUrl(base + L"/Saved.asp?k=1");
  const std::string hostLine = "\r\nHost: 127.0.0.1:" + std::to_string(receiver.Port()) + "\r\n";
  for (SavedForm form : {SavedForm::Stream, SavedForm::Storage, SavedForm::Bag}) {
    SCOPED_TRACE(static_cast<int>(form));
    MemoryBag bag;
    ControlClient loaded;
    SaveAndLoad(form, control.Get(), loaded.Get(), bag);
    if (form == SavedForm::Bag) {
      ASSERT_EQ(bag.values[L"URL"].vt, VT_BSTR);
      EXPECT_EQ(std::wstring(bag.values[L"URL"].bstrVal), base + L"/Saved.asp?k=1");
    }
    EXPECT_EQ(loaded.GetText(L"URL"), L"/Saved.asp?k=1");
    EXPECT_EQ(loaded.GetLong(L"Port"), receiver.Port());
    ASSERT_EQ(loaded.Call(L"AddMessage", {Text(L"a"), Text(L"b")}).Hr, S_OK);
    const long before = receiver.Count();
    CallResult posted = loaded.Call(L"PostMessage");
    ASSERT_EQ(posted.Hr, S_OK) << Narrow(posted.Description());
    EXPECT_EQ(posted.Text(), L"OK");
    ASSERT_EQ(receiver.Count(), before + 1);
    const std::string raw = receiver.Raw(before + 1);
    EXPECT_EQ(raw.find("POST /Saved.asp?k=1 HTTP/1.0\r\n"), 0u) << raw;
    EXPECT_NE(raw.find(hostLine), std::string::npos) << raw;
  }

  // Saved by earlier builds, or written by a page.
  auto loadPage = [](const ControlClient& c, MemoryBag& page) {
    return com::ComPtr<IDispatch>(c.Get()).As<IPersistPropertyBag>(IID_IPersistPropertyBag)->Load(&page, nullptr);
  };
  {
    MemoryBag path;
    path.Param(L"URL", L"/recv.asp");
    path.Param(L"Port", L"8080");
    ControlClient loaded;
    ASSERT_EQ(loadPage(loaded, path), S_OK);
    EXPECT_EQ(loaded.GetText(L"URL"), L"/recv.asp");
    EXPECT_EQ(loaded.GetLong(L"Port"), 8080);
    ASSERT_EQ(loaded.Call(L"AddMessage", {Text(L"a"), Text(L"b")}).Hr, S_OK);
    EXPECT_EQ(loaded.Call(L"PostMessage").Exception.wCode, 1001);
  }
  {
    MemoryBag page;
    page.Param(L"URL", L"http://127.0.0.1/page.asp");
    page.Param(L"Port", std::to_wstring(receiver.Port()).c_str());
    ControlClient loaded;
    ASSERT_EQ(loadPage(loaded, page), S_OK);
    EXPECT_EQ(loaded.GetText(L"URL"), L"/page.asp");
    ASSERT_EQ(loaded.Call(L"AddMessage", {Text(L"a"), Text(L"b")}).Hr, S_OK);
    const long before = receiver.Count();
    EXPECT_EQ(loaded.Call(L"PostMessage").Text(), L"OK");
    ASSERT_EQ(receiver.Count(), before + 1);
    EXPECT_EQ(receiver.Raw(before + 1).find("POST /page.asp HTTP/1.0\r\n"), 0u);
  }
}

TEST_F(Posting, PostMessageSendsTheFieldsAndReturnsTheReply) {
  Message(L"title", L"Hello");
  Message(L"memo", Korean);
  Add(WriteFileBytes(folder, L"a.txt", "abcde"));  // entries are not part of a message post
  SetUrl(base + L"/msg.asp");
  ASSERT_EQ(control.Put(L"UTF8", Long(1)).Hr, S_OK);
  receiver.Rule("body=thanks");
  const long before = receiver.Count();
  EXPECT_EQ(Posted(L"PostMessage"), L"thanks");
  EXPECT_EQ(control.GetLong(L"ResponseStatusCode"), 200);
  Recorded req(receiver.Raw(before + 1));
  EXPECT_EQ(req.Head.find("POST /msg.asp HTTP/1.0\r\n"), 0u) << req.Head;
  EXPECT_NE(req.Head.find("\r\nAccept-Language: utf-8\r\n"), std::string::npos) << req.Head;
  ASSERT_FALSE(req.Boundary.empty());
  EXPECT_EQ(req.Body, FieldPart(req.Boundary, "title", "Hello") + FieldPart(req.Boundary, "memo", Narrow(Korean)) +
                          "--" + req.Boundary + "--\r\n");

  // In the ANSI code page the field goes out in code page 949.
  ASSERT_EQ(GetACP(), 949u) << "run in the Korean locale (LANG=ko_KR.UTF-8)";
  ASSERT_EQ(control.Put(L"UTF8", Long(0)).Hr, S_OK);
  EXPECT_EQ(Posted(L"PostMessage"), L"OK");
  Recorded ansi(receiver.Raw(before + 2));
  EXPECT_NE(ansi.Head.find("\r\nAccept-Language: ko\r\n"), std::string::npos) << ansi.Head;
  EXPECT_NE(ansi.Body.find("name=\"memo\"\r\n\r\n\xC7\xD1\xB1\xDB\r\n"), std::string::npos);
}

TEST_F(Posting, RepliesReachResponseTextInBothEncodings) {
  ASSERT_EQ(GetACP(), 949u) << "run in the Korean locale (LANG=ko_KR.UTF-8)";
  Message(L"a", L"b");
  SetUrl(base + L"/r");
  std::wstring big;
  for (int i = 0; i < 10000; ++i) big += L"0123456789";  // 100,000 bytes
  std::wstring koreanLong;
  for (int i = 0; i < 20000; ++i) koreanLong += Korean;  // 80,000 bytes in either encoding
  struct Case {
    const char* rule;
    long utf8, status;
    std::wstring text;
  };
  const Case cases[] = {
      {"status=204&body=", 1, 204, L""},
      {"body=", 0, 200, L""},
      {"body=0123456789&repeat=10000", 1, 200, big},
      {"body=%ED%95%9C%EA%B8%80&repeat=20000", 1, 200, koreanLong},
      {"body=%ED%95%9C%EA%B8%80&encoding=cp949&repeat=20000", 0, 200, koreanLong},
      {"status=500&body=%ED%95%9C%EA%B8%80&encoding=cp949", 0, 500, Korean},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rule);
    ASSERT_EQ(control.Put(L"UTF8", Long(c.utf8)).Hr, S_OK);
    receiver.Rule(c.rule);
    const std::wstring returned = Posted(L"PostMessage");
    EXPECT_EQ(control.GetLong(L"ResponseStatusCode"), c.status);
    const std::wstring text = control.GetText(L"ResponseText");
    EXPECT_EQ(text.size(), c.text.size());
    EXPECT_TRUE(text == c.text);
    EXPECT_TRUE(returned == c.text);
  }
  // A status other than 200 is a reply, not a failure.
  EXPECT_EQ(control.GetText(L"ErrorCode"), L"");
}

TEST_F(Posting, TransferFailuresLandInTheErrorPairAndTheCallReturns) {
  Message(L"a", L"b");
  {
    SCOPED_TRACE("nothing listening");
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in addr = {};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)), 0);
    int len = sizeof(addr);
    getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len);
    closesocket(s);  // the port was just free and nobody listens on it now
    SetUrl(L"http://127.0.0.1:" + std::to_wstring(ntohs(addr.sin_port)) + L"/x");
    EXPECT_EQ(Posted(L"PostMessage"), L"");
    EXPECT_EQ(control.GetText(L"ErrorCode"), L"E04006");
    EXPECT_EQ(control.GetText(L"ErrorDescription"), SendRequestText);
    EXPECT_EQ(control.GetLong(L"ResponseStatusCode"), -1);
  }
  {
    SCOPED_TRACE("connection dropped mid-body");
    SetUrl(base + L"/drop");
    Add(WriteFileBytes(folder, L"big.bin", std::string(4 << 20, 'q')));
    receiver.Rule("close_after=1000");
    const long before = receiver.Count();
    EXPECT_EQ(Posted(L"PostFile"), L"");
    const std::wstring code = control.GetText(L"ErrorCode");
    EXPECT_TRUE(code == L"E04008" || code == L"E04009" || code == L"E04010") << Narrow(code);
    EXPECT_NE(control.GetText(L"ErrorDescription"), SendRequestText) << "the description follows the new code";
    EXPECT_EQ(control.GetLong(L"ResponseStatusCode"), -1);
    EXPECT_EQ(control.GetText(L"ResponseText"), L"");
    EXPECT_EQ(JsonInt(receiver.Account(before + 1), "body_bytes"), 1000);
  }
  {
    SCOPED_TRACE("file held without sharing");
    const std::wstring path = WriteFileBytes(folder, L"locked.txt", "abc");
    Add(path);  // becomes the current entry
    HANDLE holder = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    const long before = receiver.Count();
    EXPECT_EQ(Posted(L"PostFile"), L"");
    CloseHandle(holder);
    EXPECT_EQ(control.GetText(L"ErrorCode"), L"E04001");
    EXPECT_EQ(control.GetText(L"ErrorDescription"), FileLockedText);
    EXPECT_EQ(receiver.Count(), before) << "a request reached the receiver";
  }
  // Every failed post let go of its manager: the next one runs. A success
  // leaves the recorded pair as it was.
  EXPECT_EQ(Posted(L"PostFile"), L"");
  EXPECT_EQ(control.GetLong(L"ResponseStatusCode"), 200);
  EXPECT_EQ(control.GetText(L"ErrorCode"), L"E04001");
}

TEST_F(Posting, CredentialsAnswerABasicChallenge) {
  receiver.Rule("default=1&auth=kim:pw%20x&body=welcome");
  Message(L"a", L"b");
  SetUrl(base + L"/secret");
  ASSERT_EQ(control.Put(L"UserName", Text(L"kim")).Hr, S_OK);
  ASSERT_EQ(control.Put(L"Password", Text(L"pw x")).Hr, S_OK);
  const long before = receiver.Count();
  const std::wstring reply = Posted(L"PostMessage");
  EXPECT_EQ(control.GetText(L"ErrorCode"), L"");
  if (control.GetLong(L"ResponseStatusCode") == 401) {
    // Wine's WinINet does not answer a challenge at the end of a request:
    // the challenge itself is the reply, and the script sees it as such.
    EXPECT_EQ(reply, L"authorization required");
    EXPECT_EQ(receiver.Count(), before + 1);
    return;
  }
  EXPECT_EQ(control.GetLong(L"ResponseStatusCode"), 200);
  EXPECT_EQ(reply, L"welcome");
  EXPECT_NE(receiver.Raw(receiver.Count()).find("Authorization: Basic a2ltOnB3IHg=\r\n"), std::string::npos);
}

// Refusals come in their order and send nothing; the list survives them.
TEST_F(Posting, RefusalsBeforeSending) {
  const long before = receiver.Count();
  // Nothing to send wins over a missing destination.
  ExpectRefused(L"PostMessage", 1009, L"E01009", NothingToSendText);
  ExpectRefused(L"PostFile", 1009, L"E01009", NothingToSendText);
  Add(WriteFileBytes(folder, L"a.txt", "abcde"));
  ASSERT_EQ(control.Put(L"FilePos", Long(-1)).Hr, S_OK);
  ExpectRefused(L"PostFile", 1009, L"E01009", NothingToSendText);

  // With something to send, the destination is checked.
  ASSERT_EQ(control.Put(L"FilePos", Long(0)).Hr, S_OK);
  Message(L"a", L"b");
  ExpectRefused(L"PostFile", 1001, L"E01001", NoDestinationText);
  ExpectRefused(L"PostMessage", 1001, L"E01001", NoDestinationText);
  SetUrl(base);  // a host without a "/" after it leaves host and path empty
  EXPECT_EQ(control.GetText(L"URL"), L"");
  ExpectRefused(L"PostFile", 1001, L"E01001", NoDestinationText);
  SetUrl(L"ftp://127.0.0.1/x");
  ExpectRefused(L"PostMessage", 1001, L"E01001", NoDestinationText);
  EXPECT_EQ(receiver.Count(), before);
  EXPECT_EQ(control.GetLong(L"FileCount"), 1);
  EXPECT_EQ(control.GetText(L"ResponseText"), L"");
  EXPECT_EQ(control.GetLong(L"ResponseStatusCode"), -1);

  // A refusal holds no manager: the next post runs.
  SetUrl(base + L"/ok");
  EXPECT_EQ(Posted(L"PostMessage"), L"OK");
  EXPECT_EQ(receiver.Count(), before + 1);

  // "host:" gives port 0, which a post would send to 80 (not tried here).
  SetUrl(L"http://127.0.0.1:/x");
  EXPECT_EQ(control.GetLong(L"Port"), 0);
  EXPECT_EQ(control.GetText(L"URL"), L"/x");
}

// A body past what 32 bits count: the manifest, the declared length and the
// bytes sent all carry the full 64-bit size. Sparse, and the receiver keeps
// none of it.
TEST_F(Posting, LargeSparseFileGoesOutWhole) {
  const long long size = 4295032832LL;  // 4 GiB + 64 KiB
  const std::wstring path = folder.Path() + L"sparse.bin";
  HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  DWORD ignored = 0;
  DeviceIoControl(h, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &ignored, nullptr);
  LARGE_INTEGER end;
  end.QuadPart = size;
  SetFilePointerEx(h, end, nullptr, FILE_BEGIN);
  SetEndOfFile(h);
  CloseHandle(h);

  receiver.Rule("default=1&store=0&record_raw=0");
  Add(path);
  SetUrl(base + L"/big");
  const long before = receiver.Count();
  EXPECT_EQ(Posted(L"PostFile"), L"");
  DeleteFileW(path.c_str());
  EXPECT_EQ(control.GetText(L"ErrorCode"), L"");
  EXPECT_EQ(control.GetLong(L"ResponseStatusCode"), 200);
  const std::string account = receiver.Account(before + 1);
  const long long declared = JsonInt(account, "content_length");
  EXPECT_EQ(JsonInt(account, "body_bytes"), declared);
  EXPECT_GT(declared, size);
  EXPECT_EQ(JsonInt(account, "size", account.find("\"filename\": \"sparse.bin\"")), size);
  EXPECT_EQ(JsonInt(account, "size", account.find("\"kind\": \"N\"")), size);
}

// An https URL posts over TLS, byte for byte, and keeps doing so after the
// control was saved and loaded again. Certificates the machine does not
// trust, or made out to another name, end the post before anything is sent:
// the error pair names the sending step, the list is untouched and the next
// post runs.
TEST_F(Posting, SecureUrlsPostOverTlsAndRefuseCertificatesNotTrusted) {
  const int port = receiver.TlsPort(ReceiverClient::Certificate::Trusted);
  ASSERT_NE(port, 0) << "the receiver serves no TLS (ZT_RECEIVER_TLS)";
  // with_receiver.sh put the test authority into the machine's ROOT store
  // before this process started, as an administrator would.

  std::string data;
  for (int i = 0; i < 70000; ++i) data += static_cast<char>(i * 13 + 1);
  Add(WriteFileBytes(folder, L"secret.bin", data));
  Message(L"memo", L"over tls");
  SetUrl(L"https://localhost:" + std::to_wstring(port) + L"/secure/recv");
  EXPECT_EQ(control.GetLong(L"Port"), port);
  long before = receiver.Count();
  EXPECT_EQ(Posted(L"PostFile"), L"");
  EXPECT_EQ(control.GetText(L"ErrorCode"), L"") << Narrow(control.GetText(L"ErrorDescription"));
  EXPECT_EQ(control.GetLong(L"ResponseStatusCode"), 200);
  ASSERT_EQ(receiver.Count(), before + 1);
  EXPECT_NE(receiver.Account(before + 1).find("\"tls\": true"), std::string::npos) << "not received over TLS";
  Recorded req(receiver.Raw(before + 1));
  EXPECT_EQ(req.Head.find("POST /secure/recv HTTP/1.0\r\n"), 0u) << req.Head;
  EXPECT_TRUE(req.Body == FieldPart(req.Boundary, "memo", "over tls") +
                              FieldPart(req.Boundary, "_ZTUInfo", "Type|FileName|Size|\r\nN|secret.bin|70000|\r\n") +
                              FilePart(req.Boundary, "secret.bin", data) + "--" + req.Boundary + "--\r\n")
      << "the body differs";

  // Saved and loaded, the control still posts over TLS.
  MemoryBag bag;
  ControlClient loaded;
  SaveAndLoad(SavedForm::Bag, control.Get(), loaded.Get(), bag);
  EXPECT_EQ(std::wstring(bag.values[L"URL"].bstrVal), L"https://localhost:" + std::to_wstring(port) + L"/secure/recv");
  ASSERT_EQ(loaded.Call(L"AddMessage", {Text(L"a"), Text(L"b")}).Hr, S_OK);
  before = receiver.Count();
  ASSERT_EQ(loaded.Call(L"PostMessage").Hr, S_OK);
  EXPECT_EQ(loaded.GetText(L"ErrorCode"), L"");
  ASSERT_EQ(receiver.Count(), before + 1);
  EXPECT_NE(receiver.Account(before + 1).find("\"tls\": true"), std::string::npos);

  for (auto which : {ReceiverClient::Certificate::Stranger, ReceiverClient::Certificate::OtherName}) {
    SCOPED_TRACE(which == ReceiverClient::Certificate::Stranger ? "unknown authority" : "another name");
    SetUrl(L"https://localhost:" + std::to_wstring(receiver.TlsPort(which)) + L"/secure/recv");
    before = receiver.Count();
    const long long bytes = receiver.BodyBytes();
    EXPECT_EQ(Posted(L"PostFile"), L"");
    EXPECT_EQ(control.GetText(L"ErrorCode"), L"E04006");
    EXPECT_EQ(control.GetText(L"ErrorDescription").find(SendRequestText), 0u)
        << Narrow(control.GetText(L"ErrorDescription"));
    EXPECT_EQ(control.GetLong(L"ResponseStatusCode"), -1);
    EXPECT_EQ(receiver.Count(), before) << "a request was received";
    EXPECT_EQ(receiver.BodyBytes(), bytes) << "bytes were received";
    EXPECT_EQ(control.GetLong(L"FileCount"), 1);
  }
  // Back to the trusted server: nothing of the refusals lingers.
  SetUrl(L"https://localhost:" + std::to_wstring(port) + L"/secure/again");
  before = receiver.Count();
  EXPECT_EQ(Posted(L"PostFile"), L"");
  EXPECT_EQ(control.GetLong(L"ResponseStatusCode"), 200);
  EXPECT_EQ(receiver.Count(), before + 1);
}

}  // namespace
}  // namespace zt::test
