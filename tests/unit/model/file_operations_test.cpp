#include "model/file_operations.h"

#include <gtest/gtest.h>

#include "model_fakes.h"

namespace zt {
namespace {

using testing::ScriptedFileSystem;
using testing::TopInsertingView;
namespace fa = file_attribute;

struct Operations : ::testing::Test {
  FileModel model;
  ScriptedFileSystem fs;
  TopInsertingView view;
  Operations() { model.SetRowView(&view); }
};

TEST_F(Operations, AddLocalFilesAppendsInsertsRowsAndFiresEventsInOrder) {
  fs.Add(u"C:\\d\\a.txt", 10);
  fs.Add(u"C:\\e\\A.TXT", 20);
  const Outcome outcome = AddLocalFiles(model, fs, {u"C:\\d\\a.txt", u"c:\\E\\a.txt"}, {}, &view);
  ASSERT_TRUE(outcome.Ok());
  EXPECT_EQ(view.events, (std::vector<std::string>{"InsertRow a.txt", "AfterAddFile 0", "InsertRow A(1).TXT",
                                                   "AfterAddFile 1", "AfterAddFiles 2"}));
  const CZTFileItem* second = model.FindByIndex(1);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(second->LocalPath, u"c:\\E\\a.txt");  // kept as given, not normalised
  EXPECT_EQ(second->Size, 20);
  EXPECT_TRUE(second->ServerPath.empty());
  EXPECT_TRUE(second->Attributes.empty());
  EXPECT_EQ(model.FilePos(), 1);
  EXPECT_TRUE(fs.timesAskedFor.empty());

  view.events.clear();
  EXPECT_TRUE(AddLocalFiles(model, fs, {}, {}, &view).Ok());
  EXPECT_EQ(view.events, (std::vector<std::string>{"AfterAddFiles 0"}));
}

TEST_F(Operations, MissingSecondFileKeepsTheFirstWithoutAfterAddFiles) {
  fs.Add(u"C:\\d\\a.txt", 10);
  const Outcome outcome = AddLocalFiles(model, fs, {u"C:\\d\\a.txt", u"C:\\d\\gone.txt", u"C:\\d\\a.txt"}, {}, &view);
  EXPECT_EQ(outcome.Code, u"E01006");
  EXPECT_EQ(outcome.TextId(), 1006u);
  EXPECT_EQ(model.FileCount(), 1);
  EXPECT_EQ(view.events, (std::vector<std::string>{"InsertRow a.txt", "AfterAddFile 0"}));
}

TEST_F(Operations, FoldersAreNotAddedAndWildcardPathsStoreTheMatchedFile) {
  fs.Add(u"C:\\d\\sub", 0, fa::Directory);
  EXPECT_EQ(AddLocalFiles(model, fs, {u"C:\\d\\sub"}, {}, &view).Code, u"E01006");
  EXPECT_EQ(model.FileCount(), 0);

  fs.Add(u"C:\\d\\report.doc", 7);
  ASSERT_TRUE(AddLocalFiles(model, fs, {u"C:\\d\\rep*.doc"}, {}, &view).Ok());
  EXPECT_EQ(model.Current()->Name, u"report.doc");
  EXPECT_EQ(model.Current()->LocalPath, u"C:\\d\\report.doc");
}

TEST_F(Operations, UploadLimitCountsEveryEntryAndIsReachedAtEquality) {
  const AddLocalOptions oneMegabyte{1048576};
  fs.Add(u"C:\\d\\base.bin", 1048000 - 1000);
  fs.Add(u"C:\\d\\576.bin", 576);
  fs.Add(u"C:\\d\\575.bin", 575);
  ASSERT_TRUE(AddLocalFiles(model, fs, {u"C:\\d\\base.bin"}, oneMegabyte, &view).Ok());
  AddServerEntry(model, u"/s/old.bin", u"1000", &view);  // server sizes count too
  view.events.clear();

  EXPECT_EQ(AddLocalFiles(model, fs, {u"C:\\d\\576.bin"}, oneMegabyte, &view).Code, u"E01004");
  EXPECT_EQ(model.FileCount(), 2);
  EXPECT_TRUE(view.events.empty());
  EXPECT_TRUE(AddLocalFiles(model, fs, {u"C:\\d\\575.bin"}, oneMegabyte, &view).Ok());
  EXPECT_EQ(model.FileCount(), 3);
}

TEST_F(Operations, UploadLimitNegativeOrWrappingTotals) {
  fs.Add(u"C:\\d\\huge.bin", 0x7FFFFFFFFFFFFFFFLL);
  // -1 MB is the largest unsigned limit: no real total reaches it.
  EXPECT_TRUE(AddLocalFiles(model, fs, {u"C:\\d\\huge.bin"}, {-1048576}, &view).Ok());
  // A script may put a negative size: the total is compared as unsigned, so
  // -2 + 1 reads as the largest total of all, while -2 + 3 is 1 byte.
  model.Current()->Size = -2;
  fs.Add(u"C:\\d\\one.bin", 1);
  fs.Add(u"C:\\d\\three.bin", 3);
  EXPECT_EQ(AddLocalFiles(model, fs, {u"C:\\d\\one.bin"}, {1048576}, &view).Code, u"E01004");
  EXPECT_TRUE(AddLocalFiles(model, fs, {u"C:\\d\\three.bin"}, {1048576}, &view).Ok());
}

TEST_F(Operations, DateAttributesFillMissingTimesFromTheWriteTime) {
  ScriptedFileSystem::File file;
  file.size = 3;
  file.times = FileTimes{std::nullopt, CivilTime{2021, 3, 4, 5, 6, 7}, CivilTime{2022, 12, 31, 23, 0, 1}};
  fs.files.push_back({u"C:\\d\\a.txt", file});
  fs.Add(u"C:\\d\\locked.txt", 1);  // its status cannot be read
  file.times = FileTimes{CivilTime{2020, 1, 1, 0, 0, 0}, CivilTime{2020, 2, 30, 0, 0, 0}, std::nullopt};
  fs.files.push_back({u"C:\\d\\bad.txt", file});

  model.RegisterAttributeName(date_attribute::Created);
  model.RegisterAttributeName(date_attribute::RegisteredWritten);
  model.RegisterAttributeName(date_attribute::Accessed);
  AddLocalOptions options;
  options.DateAttributes = true;
  ASSERT_TRUE(AddLocalFiles(model, fs, {u"C:\\d\\a.txt", u"C:\\d\\locked.txt", u"C:\\d\\bad.txt"}, options, &view).Ok());

  const CZTFileItem* a = model.FindByName(u"a.txt");
  EXPECT_EQ(a->GetAttribute(u"CreateDate"), u"2021-03-04 05:06:07");
  EXPECT_EQ(a->GetAttribute(u"ModifiyDate"), u"2021-03-04 05:06:07");
  EXPECT_EQ(a->GetAttribute(u"AccessDate"), u"2022-12-31 23:00:01");
  EXPECT_EQ(a->GetAttribute(u"ModifyDate"), u"");
  ASSERT_EQ(a->Attributes.size(), 3u);
  EXPECT_EQ(a->Attributes[1].Name, u"ModifiyDate");

  const CZTFileItem* locked = model.FindByName(u"locked.txt");
  for (auto name : {u"CreateDate", u"ModifiyDate", u"AccessDate"})
    EXPECT_EQ(locked->GetAttribute(name), u"1970-01-01 00:00:00") << testing::Narrow(name);

  const CZTFileItem* bad = model.FindByName(u"bad.txt");
  EXPECT_EQ(bad->GetAttribute(u"CreateDate"), u"2020-01-01 00:00:00");
  EXPECT_EQ(bad->GetAttribute(u"ModifiyDate"), u"");  // 30 February: no text, the add goes on
  EXPECT_EQ(bad->GetAttribute(u"AccessDate"), u"");

  std::vector<std::u16string> names;
  for (const auto& info : model.AttributeNames()) names.push_back(info.Name);
  EXPECT_EQ(names, (std::vector<std::u16string>{u"CreateDate", u"ModifyDate", u"AccessDate", u"ModifiyDate"}));
}

TEST_F(Operations, PatternMatchesSkipFoldersAndSpecialFilesKeepHiddenAndReadOnly) {
  fs.Add(u"C:\\d\\.", 0, fa::Directory);
  fs.Add(u"C:\\d\\..", 0, fa::Directory);
  fs.Add(u"C:\\d\\first.txt", 1);
  fs.Add(u"C:\\d\\sub", 0, fa::Directory);
  fs.Add(u"C:\\d\\hidden.txt", 2, fa::Hidden);
  fs.Add(u"C:\\d\\sys.dat", 3, fa::System | fa::Hidden);
  fs.Add(u"C:\\d\\tmp.dat", 4, fa::Temporary);
  fs.Add(u"C:\\d\\away.dat", 5, fa::Offline);
  fs.Add(u"C:\\d\\ro.txt", 6, fa::ReadOnly);
  fs.Add(u"C:\\d\\plain", 7, fa::Normal);

  const auto paths = PatternMatches(fs, u"C:\\d\\*");
  ASSERT_TRUE(paths.has_value());
  EXPECT_EQ(*paths, (std::vector<std::u16string>{u"C:\\d\\first.txt", u"C:\\d\\hidden.txt", u"C:\\d\\ro.txt",
                                                 u"C:\\d\\plain"}));
  ASSERT_TRUE(AddLocalFiles(model, fs, *paths, {}, &view).Ok());
  EXPECT_EQ(model.FileCount(), 4);
  EXPECT_EQ(view.events.back(), "AfterAddFiles 4");

  EXPECT_FALSE(PatternMatches(fs, u"*.txt").has_value());
  EXPECT_FALSE(PatternMatches(fs, u"C:/d/*").has_value());
  const auto none = PatternMatches(fs, u"C:\\empty\\*");
  ASSERT_TRUE(none.has_value());
  EXPECT_TRUE(none->empty());
}

TEST_F(Operations, ServerEntryNamedAfterTheLastSlashWithParsedSize) {
  AddServerEntry(model, u"/docs/a/report.doc", u"0", &view);
  AddServerEntry(model, u"/docs/b/REPORT.doc", u"3 m", &view);
  AddServerEntry(model, u"no-slash.txt", u"junk", &view);
  EXPECT_EQ(view.events, (std::vector<std::string>{"InsertRow report.doc", "AfterAddFile 0", "AfterAddFiles 1",
                                                   "InsertRow REPORT(1).doc", "AfterAddFile 1", "AfterAddFiles 1",
                                                   "InsertRow no-slash.txt", "AfterAddFile 2", "AfterAddFiles 1"}));
  const CZTFileItem* second = model.FindByName(u"report(1).doc");
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(second->ServerPath, u"/docs/b/REPORT.doc");
  EXPECT_EQ(second->Path(), u"/docs/b/REPORT.doc");
  EXPECT_TRUE(second->LocalPath.empty());
  EXPECT_FALSE(second->IsLocal());
  EXPECT_EQ(second->Size, 3145728);
  EXPECT_EQ(model.Current()->Name, u"no-slash.txt");
}

TEST_F(Operations, DeleteByIndexAndByNameRulesAndEvents) {
  AddServerEntry(model, u"/s/a", u"0", &view);
  fs.Add(u"C:\\d\\b", 1);
  AddLocalFiles(model, fs, {u"C:\\d\\b"}, {}, &view);
  view.events.clear();

  EXPECT_EQ(DeleteByIndex(model, 2, &view).Code, u"E01003");
  EXPECT_EQ(DeleteByIndex(model, 99, &view).TextId(), 1003u);
  EXPECT_EQ(DeleteByIndex(model, -1, &view).Code, u"E01006");
  EXPECT_EQ(DeleteByName(model, u"c", &view).Code, u"E01006");
  EXPECT_TRUE(view.events.empty());
  EXPECT_EQ(model.FileCount(), 2);

  // Rows read b, a, but indices follow the rows only from the next re-index
  // on: a still holds Index 0.
  ASSERT_TRUE(DeleteByIndex(model, 0, &view).Ok());
  ASSERT_TRUE(DeleteByName(model, u"B", &view).Ok());
  EXPECT_EQ(view.events, (std::vector<std::string>{"DeleteRow a", "AfterDeleteFile a /s/a", "DeleteRow b",
                                                   "AfterDeleteFile b C:\\d\\b"}));
  EXPECT_EQ(model.FileCount(), 0);
  EXPECT_EQ(model.DeleteFileCount(), 1);
  EXPECT_EQ(DeleteByIndex(model, 0, &view).Code, u"E01003");
}

TEST_F(Operations, IndexBelowCountThatNoEntryCarriesIsNoSuchFile) {
  // Indices can leave a gap when the view's rows disagree with the list.
  AddServerEntry(model, u"/s/a", u"0", nullptr);
  AddServerEntry(model, u"/s/b", u"0", nullptr);
  model.FindByName(u"a")->Index = 1;
  EXPECT_EQ(DeleteByIndex(model, 0, &view).Code, u"E01006");
  EXPECT_EQ(model.FileCount(), 2);
}

}  // namespace
}  // namespace zt
