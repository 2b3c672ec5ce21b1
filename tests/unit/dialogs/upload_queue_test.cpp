#include "dialogs/upload_queue.h"

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

  EXPECT_EQ(queue.StartNext(), 0);
  EXPECT_EQ(queue.Jobs()[0].State, RowState::Sending);
  queue.FinishCurrent(true);
  EXPECT_EQ(queue.Jobs()[0].State, RowState::Done);
  EXPECT_EQ(queue.OverallPercent(), 25);

  EXPECT_EQ(queue.StartNext(), 1);
  queue.FinishCurrent(false);
  // A failed file stays failed, yet its bytes move the overall bar.
  EXPECT_EQ(queue.Jobs()[1].State, RowState::Failed);
  EXPECT_EQ(queue.OverallPercent(), 100);
  EXPECT_FALSE(queue.AllProcessed());  // c.csv is still waiting

  EXPECT_EQ(queue.StartNext(), 2);
  EXPECT_FALSE(queue.AllProcessed());
  queue.FinishCurrent(true);
  // Done after the last local file, whatever server entries follow it.
  EXPECT_TRUE(queue.AllProcessed());
  EXPECT_EQ(queue.StartNext(), -1);
  EXPECT_EQ(queue.RowsNamed(u"b.BIN"), std::vector<int>{1});

  // A retry sends the failed job alone; its bytes count again once it ends.
  ASSERT_TRUE(queue.HasFailed());
  EXPECT_EQ(queue.RequeueFailed(), 1);
  EXPECT_EQ(queue.OverallPercent(), 25);
  EXPECT_EQ(queue.StartNext(), 1);
  queue.FinishCurrent(true);
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
  zeros.StartNext();
  zeros.FinishCurrent(true);
  EXPECT_EQ(zeros.OverallPercent(), 0);
  zeros.StartNext();
  zeros.FinishCurrent(true);
  EXPECT_EQ(zeros.OverallPercent(), 100);
}

}  // namespace
}  // namespace zt
