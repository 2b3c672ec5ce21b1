// The lifetime of a post on the agent's threads: whoever deletes a manager
// (or kills or replaces its post) is never reached by that post again, from
// the worker or from the thread that delivers OnComplete, and callbacks may
// do all of that to their own manager. Posts go to the loopback receiver.
#include <windows.h>
#include <objbase.h>
#include <objidl.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <new>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "platform/module_state.h"
#include "post_helpers.h"
#include "receiver_client.h"
#include "transfer/trans_mgr.h"
#include "transfer/upload_manifest.h"
#include "transfer/win/wininet_agent.h"

namespace zt {
namespace {

using test::ReceiverClient;

// Longer than any right answer takes, shorter than the stop's own time-out:
// an action still running after this waits for its own thread.
constexpr DWORD NoDeadlockMs = 10000;

constexpr char NoKeepAlive[] = "default=1&keep_alive=0";

class Event {
public:
  Event() : handle_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
  ~Event() { CloseHandle(handle_); }
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;
  void Set() { SetEvent(handle_); }
  void Reset() { ResetEvent(handle_); }
  bool Wait(DWORD ms) { return WaitForSingleObject(handle_, ms) == WAIT_OBJECT_0; }

private:
  HANDLE handle_;
};

int ThreadsOfThisProcess() {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return -1;
  THREADENTRY32 entry = {};
  entry.dwSize = sizeof(entry);
  int count = 0;
  for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
    count += entry.th32OwnerProcessID == GetCurrentProcessId();
  CloseHandle(snapshot);
  return count;
}

DWORD HandlesOfThisProcess() {
  DWORD count = 0;
  GetProcessHandleCount(GetCurrentProcess(), &count);
  return count;
}

// A user-interface thread's idle time: it dispatches whatever arrives.
void PumpFor(DWORD ms) {
  const ULONGLONG end = GetTickCount64() + ms;
  for (ULONGLONG now = GetTickCount64(); now < end; now = GetTickCount64()) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now), QS_ALLINPUT);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
  }
}

// Threads that a stopped post left to finish on their own end soon after.
bool ThreadsSettleAt(int baseline) {
  for (int i = 0; i < 200; ++i) {
    if (ThreadsOfThisProcess() <= baseline) return true;
    Sleep(50);
  }
  return false;
}

// Every callback a post makes, counted; the ones after its owner let go are strays.
struct Calls {
  std::atomic<int> Progress{0}, Errors{0}, Completions{0}, Strays{0};
  std::atomic<bool> LetGo{false};
  std::atomic<std::int32_t> LastStatus{0};
  std::u16string FirstCode;
  std::uint32_t FirstError = 0;
  Event Completed;

  void Attach(CZTTransMgr& m, const std::shared_ptr<Calls>& self) {
    m.OnProgress = [self](CZTTransMgr&, std::int32_t, std::int32_t, std::uint64_t, std::uint64_t) {
      self->Note(self->Progress);
    };
    m.OnError = [self](CZTTransMgr&, const CZTTransException& e) {
      if (self->Errors == 0) self->FirstCode = e.Code, self->FirstError = e.ErrorNumber;
      self->Note(self->Errors);
    };
    m.OnComplete = [self](CZTTransMgr& manager) {
      self->LastStatus = manager.StatusCode;
      self->Note(self->Completions);
      self->Completed.Set();
    };
  }
  // Counts afresh for the next post with the same callbacks.
  void Reset() {
    Progress = Errors = Completions = Strays = 0;
    FirstCode.clear();
    FirstError = 0;
    Completed.Reset();
  }
  void Note(std::atomic<int>& counter) {
    if (LetGo) ++Strays;
    ++counter;
  }
};

class AgentLifetime : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(receiver.Ok()) << "ZT_RECEIVER_PORT / ZT_RECEIVER_DIR are not set: run through with_receiver.sh";
    receiver.Reset();
    // Wine's WinINet may give a kept-alive connection whose request was
    // cancelled mid-body to the next request: no connection is kept here
    // (and so no reply text is read: Wine loses it when the server closes).
    receiver.Rule(NoKeepAlive);
    bigFile = scratch.Write(u"big.bin", std::string(1 << 20, 'z'));
  }

  // A post of one message field and, when path is given, that file.
  void Fill(CZTTransMgr& m, const std::u16string& path = {}) {
    m.Host = u"127.0.0.1";
    m.Port = receiver.Port();
    m.ObjectPath = u"/lifetime";
    m.Utf8 = 1;
    m.Files = &files;
    m.MakeAgent = [] { return std::make_unique<win::WinInetAgent>(); };
    m.SetMessage(u"a", u"b");
    std::vector<CZTFileItem> list;
    if (!path.empty()) {
      list.emplace_back();
      list[0].LocalPath = path;
      list[0].Name = u"big.bin";
      list[0].Size = files.FindFirst(path)->Size;
    }
    ASSERT_TRUE(BuildUploadManifest(&list, nullptr, {}, m));
  }

  ReceiverClient receiver;
  test::RealFiles files;
  test::Scratch scratch;
  std::u16string bigFile;
};

TEST_F(AgentLifetime, OwnerLetsGoOnlyAfterABlockedCallbackAndTheOldPostNeverReachesItsSuccessor) {
  alignas(CZTTransMgr) unsigned char storage[sizeof(CZTTransMgr)];
  auto* first = new (storage) CZTTransMgr;
  Fill(*first, bigFile);
  auto old = std::make_shared<Calls>(), successor = std::make_shared<Calls>();
  old->Attach(*first, old);
  Event entered, release, rebuilt;
  std::atomic<int> step{0}, callbackReturnedAt{0}, rebuiltAt{0};
  first->OnProgress = [&, old](CZTTransMgr&, std::int32_t, std::int32_t, std::uint64_t, std::uint64_t) {
    if (old->Progress++ > 0) return;
    entered.Set();
    release.Wait(120000);
    callbackReturnedAt = ++step;
    old->LetGo = true;  // anything after this callback is the killed post talking
  };
  first->Post(1);
  ASSERT_TRUE(entered.Wait(30000));

  // The owner deletes the manager while the callback blocks and builds the
  // next one in the same storage, as a dialog's successor may.
  std::thread owner([&] {
    first->~CZTTransMgr();
    auto* second = new (storage) CZTTransMgr;
    successor->Attach(*second, successor);
    successor->LetGo = true;  // the old post must never call these
    rebuiltAt = ++step;
    rebuilt.Set();
  });
  // However long the callback blocks (longer here than a stop waits for a
  // thread outside callbacks), the owner does not let go under it.
  EXPECT_FALSE(rebuilt.Wait(win::WinInetAgent::StopWaitMs + 2000));
  release.Set();
  ASSERT_TRUE(rebuilt.Wait(60000));
  owner.join();
  EXPECT_LT(callbackReturnedAt.load(), rebuiltAt.load());
  Sleep(300);  // a stray report from the old worker would land by now
  EXPECT_EQ(0, old->Strays.load());
  EXPECT_EQ(0, successor->Strays.load());
  std::launder(reinterpret_cast<CZTTransMgr*>(storage))->~CZTTransMgr();
}

TEST_F(AgentLifetime, OnCompleteRunsToItsEndBeforeTheOwnerLetsGo) {
  alignas(CZTTransMgr) unsigned char storage[sizeof(CZTTransMgr)];
  auto* first = new (storage) CZTTransMgr;
  Fill(*first);
  Event entered, finished;
  std::atomic<int> step{0}, completeReturnedAt{0}, seenStatus{0};
  first->OnComplete = [&](CZTTransMgr& m) {
    entered.Set();
    Sleep(500);  // the owner closes the dialog meanwhile
    seenStatus = m.StatusCode;
    completeReturnedAt = ++step;
    finished.Set();
  };
  first->Post(1);
  ASSERT_TRUE(entered.Wait(30000));
  first->~CZTTransMgr();
  auto* replacement = new (storage) CZTTransMgr;  // StatusCode -1, no reply
  const int rebuiltAt = ++step;
  ASSERT_TRUE(finished.Wait(30000));
  EXPECT_EQ(200, seenStatus.load());
  EXPECT_LT(completeReturnedAt.load(), rebuiltAt);
  replacement->~CZTTransMgr();
}

TEST_F(AgentLifetime, PostsAfterAWorkerPostStillReportTheirFailures) {
  CZTTransMgr m;
  Fill(m);
  auto calls = std::make_shared<Calls>();
  calls->Attach(m, calls);
  m.Post(1);
  ASSERT_TRUE(calls->Completed.Wait(30000));
  EXPECT_EQ(0, calls->Errors.load());
  EXPECT_EQ(200, calls->LastStatus.load());

  // The callbacks stay the ones the owner set once.
  m.Port = test::ClosedLoopbackPort();
  ASSERT_NE(0, m.Port);
  for (std::int32_t mode : {0, 1, 0}) {
    SCOPED_TRACE(mode);
    calls->Reset();
    m.Post(mode);
    ASSERT_TRUE(calls->Completed.Wait(30000));
    EXPECT_EQ(1, calls->Errors.load()) << "a refused connection reported as success";
    EXPECT_EQ(u"E04006", calls->FirstCode);
    EXPECT_EQ(12029u, calls->FirstError);
    EXPECT_EQ(1, calls->Completions.load());
    EXPECT_EQ(-1, calls->LastStatus.load()) << "the earlier post's status stayed";
    EXPECT_EQ(-1, m.StatusCode);
    EXPECT_TRUE(m.ResponseText.empty());
  }
}

// A callback acts on its own manager from the post's thread: the action
// returns at once (it does not wait for the thread it runs on), and the
// stopped post says nothing more.
TEST_F(AgentLifetime, CallbacksMayKillRepostOrDeleteTheirManager) {
  CZTTransMgr warmUp;  // WinINet starts its own threads on first use
  Fill(warmUp);
  auto warm = std::make_shared<Calls>();
  warm->Attach(warmUp, warm);
  warmUp.Post(1);
  ASSERT_TRUE(warm->Completed.Wait(30000));
  const int baseline = ThreadsOfThisProcess();

  enum class Act { KillFromProgress, DeleteFromProgress, RepostFromError, DeleteFromComplete };
  for (Act act : {Act::KillFromProgress, Act::DeleteFromProgress, Act::RepostFromError, Act::DeleteFromComplete}) {
    SCOPED_TRACE(static_cast<int>(act));
    auto* m = new CZTTransMgr;
    Fill(*m, bigFile);
    auto calls = std::make_shared<Calls>();
    calls->Attach(*m, calls);
    Event acted;
    std::atomic<bool> once{false};
    switch (act) {
      case Act::KillFromProgress:
        m->OnProgress = [m, calls, &acted, &once](CZTTransMgr&, std::int32_t, std::int32_t, std::uint64_t,
                                                  std::uint64_t) {
          calls->Note(calls->Progress);
          if (once.exchange(true)) return;
          m->Agent->KillWorker();
          calls->LetGo = true;
          acted.Set();
        };
        break;
      case Act::DeleteFromProgress:
        m->OnProgress = [m, calls, &acted, &once](CZTTransMgr&, std::int32_t, std::int32_t, std::uint64_t,
                                                  std::uint64_t) {
          calls->Note(calls->Progress);
          if (once.exchange(true)) return;
          delete m;
          calls->LetGo = true;
          acted.Set();
        };
        break;
      case Act::RepostFromError:
        m->Port = test::ClosedLoopbackPort();
        m->OnError = [m, calls, &acted, &once, this](CZTTransMgr&, const CZTTransException&) {
          calls->Note(calls->Errors);
          if (once.exchange(true)) return;
          m->Port = receiver.Port();
          m->Post(1);
          acted.Set();
        };
        break;
      case Act::DeleteFromComplete:
        m->OnComplete = [m, calls, &acted](CZTTransMgr& manager) {
          calls->LastStatus = manager.StatusCode;
          calls->Note(calls->Completions);
          delete m;
          calls->LetGo = true;
          acted.Set();
        };
        break;
    }
    m->Post(1);
    ASSERT_TRUE(acted.Wait(NoDeadlockMs)) << "the callback's action waited for its own thread";
    if (act == Act::RepostFromError) {
      // The first post failed and ended silently; the repost completes once.
      ASSERT_TRUE(calls->Completed.Wait(60000));
      EXPECT_EQ(1, calls->Errors.load());
      EXPECT_EQ(200, calls->LastStatus.load());
      delete m;
      calls->LetGo = true;
    }
    if (act == Act::DeleteFromComplete) {
      EXPECT_EQ(200, calls->LastStatus.load());
    }
    if (act == Act::KillFromProgress) delete m;
    EXPECT_TRUE(ThreadsSettleAt(baseline)) << ThreadsOfThisProcess() << " threads, " << baseline << " before";
    EXPECT_EQ(0, calls->Strays.load());
    EXPECT_LE(calls->Completions.load(), 1);
  }
  EXPECT_EQ(0, com::ModuleLockCount()) << "a finished thread still holds the module";
}

// An object of the owner's apartment that counts the calls the callback makes.
class ApartmentObject final : public IUnknown {
public:
  std::atomic<int> Calls{0};
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (IsEqualIID(iid, IID_IUnknown)) {
      *out = this;
      AddRef();
      return S_OK;
    }
    if (IsEqualIID(iid, IID_IPersistFile)) ++Calls;  // COM asks for its own interfaces too
    *out = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
  STDMETHODIMP_(ULONG) Release() override { return --refs_; }

private:
  std::atomic<ULONG> refs_{1};
};

// A callback that calls into the owner's single-threaded apartment (a
// page's script object, say) while the owner stops the post: the stop lets
// that call in instead of waiting it out.
TEST_F(AgentLifetime, StopAnswersACallbackCallingIntoTheOwnersApartment) {
  ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
  {
    ApartmentObject object;
    IStream* marshalled = nullptr;
    ASSERT_EQ(S_OK, CoMarshalInterThreadInterfaceInStream(IID_IUnknown, &object, &marshalled));
    CZTTransMgr m;
    Fill(m, bigFile);
    Event calling;
    std::atomic<bool> once{false};
    std::atomic<HRESULT> called{E_PENDING};
    m.OnProgress = [&](CZTTransMgr&, std::int32_t, std::int32_t, std::uint64_t, std::uint64_t) {
      if (once.exchange(true)) return;
      CoInitializeEx(nullptr, COINIT_MULTITHREADED);
      IUnknown* proxy = nullptr;
      if (SUCCEEDED(CoGetInterfaceAndReleaseStream(marshalled, IID_IUnknown, reinterpret_cast<void**>(&proxy)))) {
        calling.Set();
        IUnknown* none = nullptr;
        called = proxy->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&none));
        proxy->Release();
      }
      CoUninitialize();
    };
    m.Post(1);
    ASSERT_TRUE(calling.Wait(30000));
    m.Agent->KillWorker();
    EXPECT_EQ(1, object.Calls.load()) << "the stop returned without letting the callback's call in";
    EXPECT_EQ(E_NOINTERFACE, called.load());
    CoDisconnectObject(&object, 0);
  }
  CoUninitialize();
}

TEST_F(AgentLifetime, HundredsOfWorkerPostsCancelledAtRandomMomentsLeaveNothingBehind) {
  auto small = scratch.Write(u"small.bin", std::string(256 << 10, 's'));
  receiver.Rule(std::string(NoKeepAlive) + "&delay=0.03&store=0&record_raw=0");
  {
    CZTTransMgr warmUp;
    Fill(warmUp, small);
    auto warm = std::make_shared<Calls>();
    warm->Attach(warmUp, warm);
    warmUp.Post(1);
    ASSERT_TRUE(warm->Completed.Wait(30000));
  }
  const int threadsBefore = ThreadsOfThisProcess();
  const DWORD handlesBefore = HandlesOfThisProcess();

  // The owner behaves like a dialog: a window its callbacks send to, a
  // message loop while the post runs, OnComplete reading the manager.
  HWND window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  ASSERT_NE(nullptr, window);
  std::mt19937 random(11);
  std::uniform_int_distribution<int> moment(0, 60);
  std::vector<std::shared_ptr<Calls>> posts;
  for (int i = 0; i < 300; ++i) {
    auto m = std::make_unique<CZTTransMgr>();
    Fill(*m, small);
    auto calls = std::make_shared<Calls>();
    calls->Attach(*m, calls);
    m->OnProgress = [calls, window](CZTTransMgr&, std::int32_t, std::int32_t, std::uint64_t sent, std::uint64_t) {
      calls->Note(calls->Progress);
      if (sent % (16 * 4096) == 0) SendMessageW(window, WM_NULL, 0, 0);
    };
    m->OnComplete = [calls](CZTTransMgr& manager) {
      Sleep(1);
      calls->LastStatus = manager.StatusCode;
      calls->Note(calls->Completions);
    };
    m->Post(1);
    PumpFor(static_cast<DWORD>(moment(random)));
    switch (i % 4) {
      case 0:
        m->Agent->KillWorker();
        break;
      case 1:
        m->Agent->SuspendWorker();
        m->Agent->KillWorker();
        break;
      case 2:
        m->Post(1);  // the new post replaces the running one...
        break;
      case 3:
        break;  // ...or the owner just deletes the manager
    }
    m.reset();
    calls->LetGo = true;
    posts.push_back(calls);
  }
  DestroyWindow(window);
  EXPECT_TRUE(ThreadsSettleAt(threadsBefore)) << ThreadsOfThisProcess() << " threads, " << threadsBefore << " before";
  int strays = 0, completions = 0;
  for (const auto& calls : posts) {
    strays += calls->Strays;
    completions += calls->Completions;
  }
  EXPECT_EQ(0, strays);
  EXPECT_GT(completions, 0) << "no post was quick enough to finish: the moments are not random";
  // WinINet may keep a few pooled connections; one leak per post would show.
  EXPECT_LE(HandlesOfThisProcess(), handlesBefore + 16) << handlesBefore << " handles before";
  EXPECT_EQ(0, com::ModuleLockCount());

  // And the receiver and WinINet still serve a plain post.
  CZTTransMgr after;
  Fill(after, small);
  auto calls = std::make_shared<Calls>();
  calls->Attach(after, calls);
  after.Post(1);
  ASSERT_TRUE(calls->Completed.Wait(30000));
  EXPECT_EQ(0, calls->Errors.load());
  EXPECT_EQ(200, calls->LastStatus.load());
}

}  // namespace
}  // namespace zt
