#include "model/file_model.h"

#include <gtest/gtest.h>

#include "model/file_operations.h"
#include "model_fakes.h"

namespace zt {
namespace {

using testing::TopInsertingView;

struct Model : ::testing::Test {
  FileModel model;
  TopInsertingView view;
  CZTFileItem& Server(std::u16string_view path) {
    AddServerEntry(model, path, u"0", &view);
    return *model.Current();
  }
};

TEST_F(Model, UniqueNamesNumberClashesIgnoringCaseBeforeTheLastDot) {
  for (auto name : {u"a.txt", u"a.txt", u"a.txt", u"A.TXT", u"a(1).txt", u"x.tar.gz", u"x.tar.gz", u"readme",
                    u"readme", u"\uBCF4\uACE0.doc", u"\u0444\u0430\u0439\u043B", u"\u0424\u0410\u0419\u041B"})
    Server(name);
  std::vector<std::u16string> names;
  for (const auto& e : model.Files()) names.push_back(e->Name);
  EXPECT_EQ(names, (std::vector<std::u16string>{u"a.txt", u"a(1).txt", u"a(2).txt", u"A(3).TXT", u"a(1)(1).txt",
                                                u"x.tar.gz", u"x.tar(1).gz", u"readme", u"readme(1).", u"\uBCF4\uACE0.doc",
                                                u"\u0444\u0430\u0439\u043B", u"\u0424\u0410\u0419\u041B(1)."}));
  // Names in the deleted list are free to take again.
  model.Remove(*model.FindByName(u"x.tar.gz"));
  EXPECT_EQ(model.UniqueName(u"X.TAR.GZ"), u"X.TAR.GZ");
}

TEST_F(Model, WithoutViewIndicesFollowInsertionAndRemovalShifts) {
  Server(u"a");
  CZTFileItem& b = Server(u"b");
  Server(u"c");
  model.Remove(b);
  EXPECT_EQ(model.FindPosByName(u"C"), 1);
  EXPECT_EQ(model.FindPosByName(u"b"), -1);
  EXPECT_EQ(model.FindByIndex(0)->Name, u"a");
  EXPECT_EQ(model.FindByIndex(2), nullptr);
  EXPECT_EQ(model.FilePos(), 0);  // it named index 2, which is gone
}

TEST_F(Model, RowsInsertedAtTheTopDecideTheIndices) {
  model.SetRowView(&view);
  for (auto name : {u"A", u"B", u"C"}) Server(name);
  ASSERT_EQ(view.rows, (std::vector<std::u16string>{u"C", u"B", u"A"}));
  EXPECT_EQ(model.FindPosByName(u"B"), 0);
  EXPECT_EQ(model.FindPosByName(u"A"), 1);
  EXPECT_EQ(model.FindPosByName(u"C"), 2);
  EXPECT_EQ(model.FilePos(), 2);

  ASSERT_TRUE(DeleteByIndex(model, 0, &view).Ok());
  EXPECT_EQ(view.rows, (std::vector<std::u16string>{u"C", u"A"}));
  EXPECT_EQ(model.FindPosByName(u"C"), 0);
  EXPECT_EQ(model.FindPosByName(u"A"), 1);
  EXPECT_EQ(model.FilePos(), 0);
}

// The re-index of an append is done when an index is next read; whenever
// that is, it gives what doing it at once would have given.
TEST_F(Model, LateReadsSeeWhatAnImmediateReindexGave) {
  model.SetRowView(&view);
  auto positions = [&](std::initializer_list<const char16_t*> names) {
    std::vector<std::int32_t> out;
    for (auto n : names) out.push_back(model.FindPosByName(n));
    return out;
  };
  for (auto name : {u"A", u"B", u"C"}) Server(name);
  EXPECT_EQ(positions({u"A", u"B", u"C"}), (std::vector<std::int32_t>{1, 0, 2}));
  for (auto name : {u"D", u"E"}) Server(name);  // rows E D C B A
  EXPECT_EQ(positions({u"A", u"B", u"C", u"D", u"E"}), (std::vector<std::int32_t>{3, 2, 1, 0, 4}));
  EXPECT_EQ(model.FilePos(), 4);

  // Read between two appends: the first one's re-index, not the second's.
  Server(u"F");  // rows F E D C B A
  EXPECT_EQ(model.FindByIndex(5)->Name, u"F");
  Server(u"G");  // rows G F E D C B A
  EXPECT_EQ(positions({u"F", u"E", u"A", u"G"}), (std::vector<std::int32_t>{0, 1, 5, 6}));

  // A removal settles first, then re-indexes by the remaining rows.
  Server(u"H");  // rows H G F E D C B A; H keeps 7 until its re-index is read
  ASSERT_TRUE(DeleteByName(model, u"g", &view).Ok());
  EXPECT_EQ(positions({u"H", u"F", u"A"}), (std::vector<std::int32_t>{0, 1, 6}));
  EXPECT_EQ(model.FilePos(), 0);

  // Renaming keeps the name look-up whole; the old name is free again.
  model.Rename(*model.FindByName(u"h"), u"Zed");
  EXPECT_EQ(model.FindByName(u"H"), nullptr);
  EXPECT_EQ(model.FindByName(u"ZED")->Name, u"Zed");
  EXPECT_EQ(model.UniqueName(u"h"), u"h");
  EXPECT_EQ(model.UniqueName(u"zed"), u"zed(1).");
}

TEST_F(Model, ReindexOnEmptyListKeepsFilePosAndAbsentRowsMatchNoEmptyName) {
  model.SetFilePos(5);
  model.Reindex();
  EXPECT_EQ(model.FilePos(), 5);
  // A server path ending in "/" gives an empty name; it must not be taken
  // for rows that do not exist.
  Server(u"/dir/");
  Server(u"/dir/x");
  EXPECT_EQ(model.FindByIndex(0)->ServerPath, u"/dir/");
  EXPECT_EQ(model.FindByIndex(1)->Name, u"x");
  model.SetFilePos(-7);
  model.Reindex();
  EXPECT_EQ(model.FilePos(), 0);
}

TEST_F(Model, RemovedServerEntryMovesWithAttributesToTheEndLocalIsDropped) {
  Server(u"/s/first.doc");
  model.SetRegisteredAttribute(Server(u"/s/second.doc"), u"Owner", u"kim");
  auto local = std::make_unique<CZTFileItem>();
  local->Name = u"l.txt";
  local->LocalPath = u"C:\\l.txt";
  model.Append(std::move(local));
  view.events.clear();
  for (auto name : {u"SECOND.DOC", u"l.txt", u"first.doc"}) RemoveEntry(model, *model.FindByName(name), &view);

  EXPECT_EQ(view.events, (std::vector<std::string>{"AfterDeleteFile second.doc /s/second.doc",
                                                   "AfterDeleteFile l.txt C:\\l.txt",
                                                   "AfterDeleteFile first.doc /s/first.doc"}));
  ASSERT_EQ(model.DeleteFileCount(), 2);
  EXPECT_EQ(model.DeletedAt(0)->GetAttribute(u"owner"), u"kim");
  EXPECT_EQ(model.DeletedAt(1)->Name, u"first.doc");
  EXPECT_EQ(model.DeletedAt(2), nullptr);
  EXPECT_EQ(model.DeletedAt(-1), nullptr);
}

TEST_F(Model, AttributeNamesRefuseUnderscoreAndNeverShrink) {
  CZTFileItem& entry = Server(u"x");
  EXPECT_FALSE(model.SetRegisteredAttribute(entry, u"_hidden", u"v"));
  EXPECT_TRUE(model.RegisterAttributeName(u"Title"));
  EXPECT_TRUE(model.SetRegisteredAttribute(entry, u"TITLE", u"one"));
  EXPECT_TRUE(model.SetRegisteredAttribute(entry, u"title", u"two"));
  ASSERT_EQ(entry.Attributes.size(), 1u);
  EXPECT_EQ(entry.Attributes[0].Name, u"TITLE");
  EXPECT_EQ(entry.Attributes[0].Value, u"two");

  model.Remove(entry);
  model.ClearMessages();
  ASSERT_EQ(model.AttributeNames().size(), 1u);
  EXPECT_EQ(model.AttributeNames()[0].Name, u"Title");
}

TEST_F(Model, RepeatedMessageNamesKeptInOrderUntilCleared) {
  model.AddMessage(u"tag", u"1");
  model.AddMessage(u"TAG", u"2");
  ASSERT_EQ(model.Messages().size(), 2u);
  EXPECT_EQ(model.Messages()[1].Value, u"2");
  model.ClearMessages();
  EXPECT_TRUE(model.Messages().empty());
}

}  // namespace
}  // namespace zt
