#include "dialogs/upload_run.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

namespace zt {
namespace {

// A sender that carries nothing: it records what it was asked and refuses
// the files named in Gone; the test ends each send.
struct FakeSender : FileSender {
  std::set<std::u16string> Gone;
  std::vector<std::string> Sends, Holds, Abandons;  // "name@lane", "slot"
  std::vector<std::u16string> Hosts;
  bool Send(const FileRequest& r, SendReports&) override {
    if (Gone.count(r.Entry.Name)) return false;
    Sends.push_back(std::string(r.Entry.Name.begin(), r.Entry.Name.end()) + "@" + std::to_string(r.Lane));
    Hosts.push_back(r.To.Host + u":" + r.To.UserName);
    return true;
  }
  void Hold(int slot) override { Holds.push_back(std::to_string(slot)); }
  void Release(int slot) override { Holds.push_back("+" + std::to_string(slot)); }
  void Abandon(int slot) override { Abandons.push_back(std::to_string(slot)); }
};

// A clock that moves only when told (pacing moves it by the wait asked),
// timers on it, scripted answers to the fields, and a view that writes down
// what it is told.
struct FakeHost : RunHost, RunView {
  UploadRun* Run = nullptr;
  std::uint64_t Now = 1000;
  std::map<int, std::uint64_t> Timers;  // slot: when due
  std::vector<std::uint32_t> Delays;
  std::vector<int> Notes;
  std::vector<FieldsReply> Replies;
  std::vector<std::u16string> FieldsTo;
  bool Fields = false, SendingFlag = false;
  int Runs = 0, Ends = 0;
  std::vector<int> Bars;

  void Advance(std::uint64_t ms) {
    Now += ms;
    for (auto t = Timers.begin(); t != Timers.end();) {
      const int slot = t->first;
      if (t->second > Now) {
        ++t;
        continue;
      }
      t = Timers.erase(t);
      Run->RetryDue(slot);
    }
  }
  std::uint64_t NowMs() override { return Now; }
  void StartTimer(int slot, std::uint32_t ms) override {
    Timers[slot] = Now + ms;
    Delays.push_back(ms);
  }
  void StopTimer(int slot) override { Timers.erase(slot); }
  void NoteProgress(int slot) override { Notes.push_back(slot); }
  void Pace(const std::function<std::uint64_t()>& delayMs) override {
    for (std::uint64_t ms = delayMs(); ms > 0; ms = delayMs()) Now += ms;
  }
  void StopPacing() override {}
  bool HasFields() override { return Fields; }
  FieldsReply PostFields(const PostDestination& to) override {
    FieldsTo.push_back(to.Host);
    FieldsReply r = Replies.front();
    Replies.erase(Replies.begin());
    return r;
  }
  void SetSending(bool sending) override { SendingFlag = sending; }
  void Running() override { ++Runs; }
  void RowChanged(int) override {}
  void OverallChanged() override {}
  void FileBar(int percent) override { Bars.push_back(percent); }
  void Ended() override { ++Ends; }
};

struct MultiFileRun : ::testing::Test {
  std::vector<CZTFileItem> files;
  RunSettings settings;
  FakeSender sender;
  FakeHost host;
  std::unique_ptr<UploadRun> run;

  void Open(std::vector<const char16_t*> names) {
    for (const char16_t* name : names) {
      CZTFileItem item;
      item.Name = name;
      item.LocalPath = std::u16string(u"C:\\f\\") + name;
      item.Size = 1000;
      files.push_back(item);
    }
    for (const auto& f : files) settings.Files.push_back(&f);
    settings.To.Host = u"first";
    settings.To.Path = u"/recv";
    settings.To.UserName = u"kim";
    run = std::make_unique<UploadRun>(settings, sender, host, host);
    host.Run = run.get();
  }
  RowShows Row(int job) const { return run->RowOf(job); }
};

// Two lanes, each with its next file queued behind it; the fields go first
// and must be taken; pause holds sends and queued starts; a file gone fails
// in its turn; cancel ends every send once, in the order they started.
TEST_F(MultiFileRun, LanesCarryTheFilesInOrderAndCancelEndsEverythingOnce) {
  settings.ParallelCount = 2;
  host.Fields = true;
  host.Replies = {{u"", 500}, {u"E01001", -1}, {u"", 200}};
  sender.Gone = {u"c"};
  Open({u"a", u"b", u"c", u"d", u"e", u"f"});
  EXPECT_EQ(run->Start(), u"E04007");  // the server did not take the fields
  EXPECT_EQ(run->Start(), u"E01001");  // refused before sending: its own code
  EXPECT_TRUE(sender.Sends.empty());
  EXPECT_FALSE(host.SendingFlag);
  EXPECT_EQ(run->Start(), u"");
  EXPECT_TRUE(host.SendingFlag);
  // c cannot go and waits for its lane: nothing queues behind it meanwhile.
  EXPECT_EQ(sender.Sends, (std::vector<std::string>{"a@0", "b@1"}));
  EXPECT_EQ(Row(2), RowShows::Waiting);

  // The lanes share the page's limit: 100 KB at 200 KB/s over two lanes.
  run->SetRateLimit(200);
  run->Reports().Sent(0, 102400, 1000);
  EXPECT_EQ(host.Now, 2000u);
  EXPECT_EQ(host.Notes, std::vector<int>{0});
  const ProgressReport shown = run->TakeProgress(0);
  EXPECT_TRUE(shown.Shown);
  EXPECT_EQ(shown.Rate, 102u);
  EXPECT_EQ(shown.Overall, 102400u);
  EXPECT_FALSE(run->TakeProgress(1).Shown);  // b is not the file on display

  run->Pause();
  run->Reports().Ended(0, 200);  // a arrives while paused: nothing new starts
  EXPECT_EQ(sender.Sends.size(), 2u);
  EXPECT_EQ(sender.Holds, (std::vector<std::string>{"0", "1"}));
  run->Resume();
  EXPECT_EQ(Row(0), RowShows::Done);
  EXPECT_EQ(Row(2), RowShows::Failed);
  EXPECT_EQ(sender.Sends, (std::vector<std::string>{"a@0", "b@1", "d@0", "e@0", "f@1"}));
  for (const auto& to : sender.Hosts) EXPECT_EQ(to, u"first:kim");
  EXPECT_EQ(host.FieldsTo, (std::vector<std::u16string>{u"first", u"first", u"first"}));

  run->Cancel();
  EXPECT_EQ(sender.Abandons, (std::vector<std::string>{"1", "0", "2", "3"}));  // b, d, e, f
  run->Reports().Ended(0, 200);
  run->Cancel();
  EXPECT_EQ(sender.Abandons.size(), 4u);
  EXPECT_EQ(Row(3), RowShows::Sending);  // given up, never reported done
  EXPECT_FALSE(host.SendingFlag);
  EXPECT_EQ(host.Ends, 0);
}

// One file at a time: only what another try can cure goes again, after the
// policy's pauses, which Pause holds; spent retries fail; the failed files
// can then be sent again, alone.
TEST_F(MultiFileRun, RetriesOnlyCurableFailuresAndRequeuesTheFailed) {
  settings.RetryCount = 2;
  Open({u"busy", u"refused", u"locked", u"down"});
  auto fail = [&](const char16_t* code, std::uint32_t error) {
    run->Reports().Failed(0, CZTTransException{u"", code, u"", error});
    run->Reports().Ended(0, -1);
  };
  run->Start();
  run->Reports().Ended(0, 503);
  EXPECT_EQ(Row(0), RowShows::Resending);
  run->Pause();
  host.Advance(600);  // due while paused: waits for Resume
  EXPECT_EQ(sender.Sends.size(), 1u);
  run->Resume();
  EXPECT_EQ(sender.Sends.size(), 2u);
  run->Reports().Ended(0, 201);
  EXPECT_EQ(Row(0), RowShows::Done);

  fail(u"E04006", 12029);  // refused connection: curable
  host.Advance(500);
  fail(u"E04006", 12007);  // the name does not resolve: not
  fail(u"E04001", 12029);  // the file cannot be opened: not
  for (int status : {500, 502}) {
    run->Reports().Ended(0, status);
    host.Advance(1000);
  }
  run->Reports().Ended(0, 500);  // retries spent
  EXPECT_EQ(sender.Sends, (std::vector<std::string>{"busy@0", "busy@0", "refused@0", "refused@0", "locked@0",
                                                     "down@0", "down@0", "down@0"}));
  EXPECT_EQ(host.Delays, (std::vector<std::uint32_t>{500, 500, 500, 1000}));
  for (int job : {1, 2, 3}) EXPECT_EQ(Row(job), RowShows::Failed) << job;
  EXPECT_TRUE(run->Done());
  EXPECT_EQ(host.Ends, 1);
  EXPECT_FALSE(host.SendingFlag);

  EXPECT_EQ(run->RequeueFailed(), 3);
  EXPECT_TRUE(host.SendingFlag);
  EXPECT_EQ(host.Runs, 2);
  for (int i = 0; i < 3; ++i) run->Reports().Ended(0, 200);
  EXPECT_EQ(sender.Sends.size(), 11u);
  EXPECT_EQ(sender.Sends.back(), "down@0");
  EXPECT_FALSE(run->HasFailed());
  EXPECT_EQ(run->RequeueFailed(), 0);
  EXPECT_EQ(host.Ends, 2);
}

}  // namespace
}  // namespace zt
