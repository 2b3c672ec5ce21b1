// A post's own state and the gate to its owner, driven from real threads
// over the scripted exchange (the sanitizer build catches any touch of a
// manager after its owner let go).
#include "transfer/post_session.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <thread>

#include "transfer_fakes.h"

namespace zt {
namespace {

using test::FakeExchange;
using test::FakeFiles;

// A switch one thread waits on and another throws.
class Latch {
public:
  void Open() {
    std::lock_guard<std::mutex> guard(lock_);
    open_ = true;
    changed_.notify_all();
  }
  void Wait() {
    std::unique_lock<std::mutex> guard(lock_);
    changed_.wait(guard, [this] { return open_; });
  }

private:
  std::mutex lock_;
  std::condition_variable changed_;
  bool open_ = false;
};

// The scripted exchange, whose write number HoldAt waits until let go.
class HeldExchange : public FakeExchange {
public:
  int HoldAt = 0;
  Latch Holding, LetGo;
  CallResult Write(const std::uint8_t* data, std::size_t size, std::size_t* written) override {
    if (++writes_ == HoldAt) {
      Holding.Open();
      LetGo.Wait();
    }
    return FakeExchange::Write(data, size, written);
  }

private:
  int writes_ = 0;
};

void Fill(CZTTransMgr& m, FakeFiles& files) {
  m.Host = u"host";
  m.ObjectPath = u"/p";
  m.Port = 80;
  m.Uuids = [] { return std::u16string(u"b"); };
  m.SetMessage(u"m", u"v");
  files.Contents[u"f"] = std::string(3 * http_request::BlockSize, 'x');
  CZTFileItem item;
  item.Name = item.LocalPath = u"f";
  item.Size = 3 * static_cast<std::int64_t>(http_request::BlockSize);
  m.SendFiles.push_back(item);
}

TEST(CallbackGate, OwnerWaitsOnlyForPassesHeldByOtherThreads) {
  CallbackGate gate;
  Latch inside, leave;
  std::thread callback([&] {
    CallbackGate::Pass pass = gate.Enter();
    EXPECT_TRUE(pass);
    inside.Open();
    leave.Wait();
  });
  inside.Wait();
  EXPECT_TRUE(gate.HeldElsewhere());
  {
    CallbackGate::Pass own = gate.Enter();  // a callback on the owner's own thread
    gate.Shut();
    EXPECT_TRUE(gate.IsShut());
    EXPECT_FALSE(gate.Enter()) << "a pass after the owner let go";
    EXPECT_TRUE(gate.HeldElsewhere());
  }
  leave.Open();
  callback.join();
  EXPECT_FALSE(gate.HeldElsewhere());

  // The owner's own pass never keeps it waiting, another thread's does.
  CallbackGate second;
  CallbackGate::Pass mine = second.Enter();
  EXPECT_FALSE(second.HeldElsewhere());
  bool seenFromElsewhere = false;
  std::thread([&] { seenFromElsewhere = second.HeldElsewhere(); }).join();
  EXPECT_TRUE(seenFromElsewhere);
}

TEST(PostSession, WorksOnItsOwnCopyAndHandsResultsOverWithOnComplete) {
  FakeExchange exchange;
  exchange.Reply = {"OK"};
  FakeFiles files;
  CZTTransMgr m;
  Fill(m, files);
  m.Secure = true;
  int progress = 0, completions = 0, late = 0;
  m.OnProgress = [&](CZTTransMgr& owner, std::int32_t, std::int32_t, std::uint64_t, std::uint64_t) {
    EXPECT_EQ(&m, &owner);
    EXPECT_EQ(-1, owner.StatusCode) << "results reached the manager before the end";
    EXPECT_TRUE(owner.OpenFiles.empty()) << "the post's files live in the manager";
    ++progress;
  };
  m.OnComplete = [&](CZTTransMgr& owner) {
    EXPECT_EQ(200, owner.StatusCode);
    EXPECT_EQ(u"OK", owner.ResponseText);
    ++completions;
  };
  PostSession session(m);
  // What the owner changes after the start is not the post's.
  m.Host = u"elsewhere";
  m.Secure = false;
  m.OnComplete = [&](CZTTransMgr&) { ++late; };
  bool ended = false;
  session.Run(exchange, files, [&] { ended = true; });
  EXPECT_TRUE(ended);
  EXPECT_EQ(0, completions);
  EXPECT_EQ(-1, m.StatusCode);
  session.Finish();
  EXPECT_EQ(u"host", exchange.Host);
  EXPECT_TRUE(exchange.Secure) << "the post's copy lost the secure scheme";
  EXPECT_EQ(3, progress);
  EXPECT_EQ(1, completions);
  EXPECT_EQ(0, late);
  EXPECT_EQ(200, m.StatusCode);

  // Once the owner let go, the end reaches nobody.
  CZTTransMgr other;
  Fill(other, files);
  other.OnComplete = [&](CZTTransMgr&) { ++late; };
  PostSession released(other);
  released.Release();
  released.Run(exchange, files);
  EXPECT_EQ(0, late);
  EXPECT_EQ(-1, other.StatusCode);
}

TEST(PostSession, ManagerDeletedWhileTheWorkerIsInsideTheExchangeIsNeverTouchedAgain) {
  HeldExchange exchange;
  exchange.HoldAt = 3;  // message section, file header, first block: during the post
  FakeFiles files;
  auto* m = new CZTTransMgr;
  Fill(*m, files);
  int progress = 0, errors = 0, completions = 0;
  m->OnProgress = [&](CZTTransMgr&, std::int32_t, std::int32_t, std::uint64_t, std::uint64_t) { ++progress; };
  m->OnError = [&](CZTTransMgr&, const CZTTransException&) { ++errors; };
  m->OnComplete = [&](CZTTransMgr&) { ++completions; };
  auto session = std::make_shared<PostSession>(*m);
  std::thread worker([session, &exchange, &files] { session->Run(exchange, files); });
  exchange.Holding.Wait();
  session->Release();
  EXPECT_FALSE(session->HeldElsewhere()) << "the worker is in the exchange, not in a callback";
  delete m;
  exchange.Failures.push_back({"Write", 12017, 4});  // the cancelled write fails
  exchange.LetGo.Open();
  worker.join();
  EXPECT_EQ(0, progress);
  EXPECT_EQ(0, errors);
  EXPECT_EQ(0, completions);
}

TEST(PostSession, CallbackThatDeletesItsManagerEndsThePostSilently) {
  FakeExchange exchange;
  FakeFiles files;
  auto* m = new CZTTransMgr;
  Fill(*m, files);
  std::shared_ptr<PostSession> session;
  int progress = 0, after = 0;
  m->OnProgress = [&](CZTTransMgr& owner, std::int32_t, std::int32_t, std::uint64_t, std::uint64_t) {
    if (++progress > 1) ++after;
    // What the agent does when its manager goes: let go, then the manager is freed.
    session->Release();
    delete &owner;
  };
  m->OnComplete = [&](CZTTransMgr&) { ++after; };
  session = std::make_shared<PostSession>(*m);
  std::thread worker([session, &exchange, &files] { session->Run(exchange, files); });
  worker.join();
  EXPECT_EQ(1, progress);
  EXPECT_EQ(0, after);
  EXPECT_TRUE(exchange.Called("EndRequest")) << "the post itself runs on to its end";
}

}  // namespace
}  // namespace zt
