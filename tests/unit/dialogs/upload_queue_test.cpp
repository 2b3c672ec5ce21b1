#include "dialogs/upload_queue.h"

#include "dialogs/retry_policy.h"

#include <gtest/gtest.h>

#include <vector>

namespace zt {
namespace {

CZTFileItem Local(const char16_t* name, std::int64_t size) {
  CZTFileItem item;
  item.Name = name;
  item.LocalPath = std::u16string(u"C:\\files\\") + name;
  item.Size = size;
  return item;
}

CZTFileItem Server(const char16_t* name) {
  CZTFileItem item;
  item.Name = name;
  item.ServerPath = std::u16string(u"/srv/") + name;
  item.Size = 1 << 20;
  return item;
}

TEST(UploadQueue, SendsLocalFilesInOrderAndCountsFailuresAsFailed) {
  std::vector<CZTFileItem> list = {Server(u"s1.doc"), Local(u"a.txt", 1000), Server(u"s2.doc"),
                                   Local(u"B.bin", 3000), Local(u"c.csv", 0), Server(u"s3.doc")};
  std::vector<const CZTFileItem*> entries;
  for (const auto& e : list) entries.push_back(&e);
  UploadQueue queue(entries);

  ASSERT_EQ(queue.Jobs().size(), 3u);  // server entries are neither listed nor sent
  EXPECT_EQ(queue.Jobs()[0].ListPosition, 1);
  EXPECT_EQ(queue.Jobs()[1].ListPosition, 3);
  EXPECT_EQ(queue.GrandTotal(), 4000u);
  EXPECT_FALSE(queue.AllProcessed());

  // Two at once: the second may end first. One put back comes next again.
  EXPECT_EQ(queue.StartNext(), 0);
  EXPECT_EQ(queue.StartNext(), 1);
  queue.PutBack(1);
  EXPECT_EQ(queue.Jobs()[1].State, RowState::Waiting);
  EXPECT_EQ(queue.StartNext(), 1);
  EXPECT_EQ(queue.Jobs()[0].State, RowState::Sending);
  queue.Finish(1, false);
  queue.Finish(1, true);  // a job ends once
  queue.Finish(0, true);
  EXPECT_EQ(queue.Jobs()[0].State, RowState::Done);

  // A failed file stays failed, yet its bytes move the overall bar.
  EXPECT_EQ(queue.Jobs()[1].State, RowState::Failed);
  EXPECT_EQ(queue.OverallPercent(), 100);
  EXPECT_FALSE(queue.AllProcessed());  // c.csv is still waiting

  EXPECT_EQ(queue.StartNext(), 2);
  EXPECT_FALSE(queue.AllProcessed());
  queue.Finish(2, true);
  // Done after the last local file, whatever server entries follow it.
  EXPECT_TRUE(queue.AllProcessed());
  EXPECT_EQ(queue.StartNext(), -1);
  EXPECT_EQ(queue.RowsLike(1), std::vector<int>{1});

  // A retry sends the failed job alone; its bytes count again once it ends.
  ASSERT_TRUE(queue.HasFailed());
  EXPECT_EQ(queue.RequeueFailed(), 1);
  EXPECT_EQ(queue.OverallPercent(), 25);
  EXPECT_EQ(queue.StartNext(), 1);
  queue.Finish(1, true);
  EXPECT_EQ(queue.StartNext(), -1);
  EXPECT_FALSE(queue.HasFailed());
  EXPECT_EQ(queue.RequeueFailed(), 0);
  EXPECT_EQ(queue.OverallPercent(), 100);
}

TEST(UploadQueue, NothingToSendIsProcessedAtOnce) {
  std::vector<CZTFileItem> list = {Server(u"only.doc")};
  UploadQueue serverOnly({&list[0]});
  EXPECT_TRUE(serverOnly.Jobs().empty());
  EXPECT_TRUE(serverOnly.AllProcessed());
  EXPECT_EQ(serverOnly.StartNext(), -1);
  EXPECT_EQ(serverOnly.OverallPercent(), 0);

  // Empty files only: the bar still reaches its end when they are done.
  std::vector<CZTFileItem> empty = {Local(u"e1", 0), Local(u"e2", 0)};
  UploadQueue zeros({&empty[0], &empty[1]});
  zeros.Finish(zeros.StartNext(), true);
  EXPECT_EQ(zeros.OverallPercent(), 0);
  zeros.Finish(zeros.StartNext(), true);
  EXPECT_EQ(zeros.OverallPercent(), 100);

  // Rows of one name, whatever its case, show each other's state.
  std::vector<CZTFileItem> twins = {Local(u"Same.txt", 1), Local(u"other", 1), Local(u"SAME.TXT", 1)};
  UploadQueue named({&twins[0], &twins[1], &twins[2]});
  EXPECT_EQ(named.RowsLike(2), (std::vector<int>{0, 2}));
  EXPECT_EQ(named.RowsLike(1), std::vector<int>{1});
}

// A connection that could not carry the request or a 5xx is sent again, after
// a growing pause; a 4xx or a local failure never.
TEST(RetryPolicy, RetriesOnlyWhatAnotherTryCanCure) {
  auto failure = [](const char16_t* code, std::uint32_t error) { return CZTTransException{u"", code, u"", error}; };
  for (std::uint32_t error : {12002u, 12029u, 12030u, 12031u, 12152u}) EXPECT_TRUE(RetryableFailure(failure(u"E04006", error)));
  EXPECT_FALSE(RetryableFailure(failure(u"E04006", 12007)));  // the name does not resolve
  EXPECT_FALSE(RetryableFailure(failure(u"E04001", 12029)));  // the file cannot be opened
  EXPECT_FALSE(RetryableFailure(failure(u"", 12030)));        // a read of the file failed
  for (int status : {500, 503, 599}) EXPECT_TRUE(RetryableStatus(status));
  for (int status : {200, 404, 499, 600, -1}) EXPECT_FALSE(RetryableStatus(status)) << status;
  EXPECT_EQ(RetryLimit(-3), 0);
  EXPECT_EQ(RetryLimit(3), 3);
  EXPECT_EQ(RetryLimit(2000000000), kMaxRetries);
  const std::uint32_t pauses[] = {500, 1000, 2000, 4000, 8000, 8000};
  for (int attempt = 1; attempt <= 6; ++attempt) EXPECT_EQ(RetryDelayMs(attempt), pauses[attempt - 1]) << attempt;
}

}  // namespace
}  // namespace zt
