#include "model/file_operations.h"

#include <gtest/gtest.h>

#include "model_fakes.h"

namespace zt {
namespace {

using testing::ScriptedFileSystem;
namespace fa = file_attribute;
using Events = std::vector<std::string>;

struct Operations : ::testing::Test {
  FileModel model;
  ScriptedFileSystem fs;
  testing::TopInsertingView view;
  Operations() { model.SetRowView(&view); }
  Outcome Add(std::vector<std::u16string> paths, AddLocalOptions options = {}) {
    return AddLocalFiles(model, fs, paths, options, &view);
  }
};

TEST_F(Operations, AddLocalFilesStopsAtAMissingPathKeepingWhatWasAdded) {
  fs.Add(u"C:\\d\\a.txt", 10);
  fs.Add(u"C:\\e\\A.TXT", 20);
  ASSERT_TRUE(Add({u"C:\\d\\a.txt", u"c:\\E\\a.txt"}).Ok());
  EXPECT_EQ(view.events, (Events{"InsertRow a.txt", "AfterAddFile 0", "InsertRow A(1).TXT", "AfterAddFile 1",
                                 "AfterAddFiles 2"}));
  EXPECT_EQ(model.Current()->LocalPath, u"c:\\E\\a.txt");  // as given, not normalised
  EXPECT_EQ(model.Current()->Size, 20);

  view.events.clear();
  const Outcome missing = Add({u"C:\\d\\a.txt", u"C:\\d\\gone.txt", u"C:\\d\\a.txt"});
  EXPECT_EQ(missing.Code, u"E01006");
  EXPECT_EQ(missing.TextId(), 1006u);
  EXPECT_EQ(model.FileCount(), 3);
  EXPECT_EQ(view.events, (Events{"InsertRow a(2).txt", "AfterAddFile 2"}));

  view.events.clear();
  EXPECT_TRUE(Add({}).Ok());
  EXPECT_EQ(view.events, (Events{"AfterAddFiles 0"}));
}

// A wildcard path stores the full path of the file it found, its folder as
// written, whichever separators it uses; decoys of the same name in the
// current folder or in a parent folder are never taken.
TEST_F(Operations, FoldersAreRefusedAndWildcardPathsStoreTheMatchedFile) {
  fs.Add(u"C:\\d\\sub", 0, fa::Directory);
  fs.Add(u"C:\\d\\report.doc", 7);
  fs.Add(u"C:\\d\\sub\\b.dat", 5);
  fs.Add(u"C:\\d\\b.dat", 1);  // decoy in the parent folder
  fs.Add(u"b.dat", 2);            // decoy in the current folder
  EXPECT_EQ(Add({u"C:\\d\\sub"}).Code, u"E01006");
  ASSERT_TRUE(Add({u"C:\\d\\rep*.doc"}).Ok());
  EXPECT_EQ(model.Current()->LocalPath, u"C:\\d\\report.doc");

  const std::u16string patterns[] = {u"C:/d/sub/*.dat", u"C:\\d/sub/?.dat", u"c:/D\\sub\\b.*", u"C:/d/sub/b.dat"};
  const std::u16string stored[] = {u"C:/d/sub/b.dat", u"C:\\d/sub/b.dat", u"c:/D\\sub\\b.dat", u"C:/d/sub/b.dat"};
  for (int i = 0; i < 4; ++i) {
    ASSERT_TRUE(Add({patterns[i]}).Ok()) << i;
    EXPECT_EQ(model.Current()->LocalPath, stored[i]) << i;
    EXPECT_EQ(model.Current()->Size, 5) << i;
  }
  // A pattern with no folder is the current folder's own file.
  ASSERT_TRUE(Add({u"?.dat"}).Ok());
  EXPECT_EQ(model.Current()->LocalPath, u"b.dat");
  EXPECT_EQ(model.Current()->Size, 2);

  // The pattern path of AddLocalFiles takes its folder the same way.
  EXPECT_EQ(PatternMatches(fs, u"C:\\d/sub/*.dat"), (std::vector<std::u16string>{u"C:\\d/sub/b.dat"}));
  EXPECT_EQ(PatternMatches(fs, u"C:/d/sub/*"), (std::vector<std::u16string>{u"C:/d/sub/b.dat"}));
}

TEST_F(Operations, UploadLimitCountsEveryEntryAndIsReachedAtEquality) {
  fs.Add(u"C:\\d\\base.bin", 1047000);
  fs.Add(u"C:\\d\\576.bin", 576);
  fs.Add(u"C:\\d\\575.bin", 575);
  ASSERT_TRUE(Add({u"C:\\d\\base.bin"}, {1048576}).Ok());
  AddServerEntry(model, u"/s/old.bin", u"1000", nullptr);  // server sizes count too
  EXPECT_EQ(Add({u"C:\\d\\576.bin"}, {1048576}).Code, u"E01004");
  EXPECT_EQ(model.FileCount(), 2);
  EXPECT_TRUE(Add({u"C:\\d\\575.bin"}, {1048576}).Ok());

  // A negative limit is the largest unsigned one.
  fs.Add(u"C:\\d\\huge.bin", 0x7FFFFFFFFFFFFFFFLL);
  EXPECT_TRUE(Add({u"C:\\d\\huge.bin"}, {-1048576}).Ok());
  // A size a script put below zero makes the unsigned total wrap past the limit.
  model.Current()->Size = -2 - 1048000 - 575;
  fs.Add(u"C:\\d\\one.bin", 1);
  EXPECT_EQ(Add({u"C:\\d\\one.bin"}, {1048576}).Code, u"E01004");
}

TEST_F(Operations, DateAttributesTakeTheWriteTimeForMissingTimesAndTheEpochWhenUnreadable) {
  fs.files.push_back({u"C:\\d\\a.txt", {3, fa::Archive, FileTimes{{}, CivilTime{2021, 3, 4, 5, 6, 7}, {}}}});
  fs.files.push_back({u"C:\\d\\bad.txt", {3, fa::Archive, FileTimes{CivilTime{2020, 1, 1}, CivilTime{2020, 2, 30}, {}}}});
  fs.Add(u"C:\\d\\locked.txt", 1);  // its status cannot be read
  model.RegisterAttributeName(date_attribute::Created);
  model.RegisterAttributeName(date_attribute::RegisteredWritten);
  model.RegisterAttributeName(date_attribute::Accessed);
  AddLocalOptions options;
  options.DateAttributes = true;
  ASSERT_TRUE(Add({u"C:\\d\\a.txt", u"C:\\d\\bad.txt", u"C:\\d\\locked.txt"}, options).Ok());

  const CZTFileItem* a = model.FindByName(u"a.txt");
  ASSERT_EQ(a->Attributes.size(), 3u);
  EXPECT_EQ(a->Attributes[0].Name, u"CreateDate");
  EXPECT_EQ(a->Attributes[1].Name, u"ModifiyDate");
  for (const auto& pair : a->Attributes) EXPECT_EQ(pair.Value, u"2021-03-04 05:06:07");
  EXPECT_EQ(a->GetAttribute(u"ModifyDate"), u"");
  // 30 February has no text; the add goes on.
  EXPECT_EQ(model.FindByName(u"bad.txt")->GetAttribute(u"CreateDate"), u"2020-01-01 00:00:00");
  EXPECT_EQ(model.FindByName(u"bad.txt")->GetAttribute(u"AccessDate"), u"");
  // An unreadable status is time 0 in local time, like every other date.
  EXPECT_EQ(model.FindByName(u"locked.txt")->GetAttribute(u"accessdate"), u"1970-01-01 09:00:00");
  fs.localEpoch = CivilTime{1969, 12, 31, 19, 0, 0};  // five hours west
  fs.Add(u"C:\\d\\locked2.txt", 1);
  ASSERT_TRUE(Add({u"C:\\d\\locked2.txt"}, options).Ok());
  EXPECT_EQ(model.Current()->GetAttribute(u"CreateDate"), u"1969-12-31 19:00:00");

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
  const auto paths = PatternMatches(fs, u"C:\\d\\*");
  ASSERT_TRUE(paths.has_value());
  EXPECT_EQ(*paths, (std::vector<std::u16string>{u"C:\\d\\first.txt", u"C:\\d\\hidden.txt", u"C:\\d\\ro.txt"}));

  EXPECT_FALSE(PatternMatches(fs, u"*.txt").has_value());
  EXPECT_EQ(PatternMatches(fs, u"C:/d/*"),
            (std::vector<std::u16string>{u"C:/d/first.txt", u"C:/d/hidden.txt", u"C:/d/ro.txt"}));
  EXPECT_TRUE(PatternMatches(fs, u"C:\\empty\\*")->empty());

  // Added as found, the pattern's files make the entries the listed paths
  // make, with the same events, and under the byte limit alike.
  FileModel listed;
  testing::TopInsertingView listedView;
  ASSERT_TRUE(AddLocalFiles(listed, fs, *paths, {}, &listedView).Ok());
  const auto files = PatternFiles(fs, u"c:\\D\\*");
  ASSERT_TRUE(files.has_value());
  ASSERT_TRUE(AddPatternFiles(model, fs, *files, {}, &view).Ok());
  ASSERT_EQ(model.FileCount(), listed.FileCount());
  for (std::int32_t i = 0; i < model.FileCount(); ++i) {
    EXPECT_EQ(model.Files()[i]->Name, listed.Files()[i]->Name);
    EXPECT_EQ(model.Files()[i]->Size, listed.Files()[i]->Size);
  }
  EXPECT_EQ(model.Files()[2]->LocalPath, u"c:\\D\\ro.txt");  // the pattern's directory, the file's name
  EXPECT_EQ(view.events, listedView.events);
  AddLocalOptions limited;
  limited.ByteLimit = 9;  // first.txt and hidden.txt make 3 bytes; ro.txt's 6 more reach the limit
  FileModel small;
  EXPECT_EQ(AddPatternFiles(small, fs, *files, limited, nullptr).Code, u"E01004");
  EXPECT_EQ(small.FileCount(), 2);
}

// A dropped folder stands for its own files, in place among the dropped
// files, by the folder browser's rules; temporary and offline files are
// scripted here because real file systems drop those attributes.
TEST_F(Operations, DroppedFoldersAddTheirOwnFilesWhereTheyStand) {
  fs.Add(u"C:\\a.txt", 1);
  fs.Add(u"C:\\d", 0, fa::Directory);
  fs.Add(u"C:\\d\\sub", 0, fa::Directory);
  fs.Add(u"C:\\d\\sub\\deep.txt", 2);
  fs.Add(u"C:\\d\\x.txt", 3);
  fs.Add(u"C:\\d\\tmp.dat", 4, fa::Temporary);
  fs.Add(u"C:\\d\\away.dat", 5, fa::Offline);
  fs.Add(u"C:\\d\\a.txt", 6, fa::Hidden);
  fs.Add(u"C:\\empty", 0, fa::Directory);
  const auto drop = [&](std::vector<std::u16string> paths) { return AddDroppedPaths(model, fs, paths, {}, &view); };
  ASSERT_TRUE(drop({u"C:\\a.txt", u"C:\\d", u"C:\\empty"}).Ok());
  EXPECT_EQ(view.events, (Events{"InsertRow a.txt", "AfterAddFile 0", "InsertRow x.txt", "AfterAddFile 1",
                                 "InsertRow a(1).txt", "AfterAddFile 2", "AfterAddFiles 3"}));
  EXPECT_EQ(model.Files()[2]->LocalPath, u"C:\\d\\a.txt");
  view.events.clear();
  ASSERT_TRUE(drop({u"C:\\empty"}).Ok());
  EXPECT_TRUE(view.events.empty());
  // A dropped path that is not there still fails, after what came before it.
  EXPECT_EQ(drop({u"C:\\d\\", u"C:\\gone"}).Code, u"E01006");
  EXPECT_EQ(model.FileCount(), 5);
  EXPECT_EQ(FolderPattern(u"C:\\Docs"), u"C:\\Docs\\*");
  EXPECT_EQ(FolderPattern(u"\\\\srv\\share/"), u"\\\\srv\\share/*");
}

TEST_F(Operations, ServerEntryNamedAfterTheLastSlashWithParsedSize) {
  AddServerEntry(model, u"/docs/a/report.doc", u"0", &view);
  AddServerEntry(model, u"/docs/b/REPORT.doc", u"3 m", &view);
  EXPECT_EQ(view.events, (Events{"InsertRow report.doc", "AfterAddFile 0", "AfterAddFiles 1",
                                 "InsertRow REPORT(1).doc", "AfterAddFile 1", "AfterAddFiles 1"}));
  EXPECT_EQ(model.Current()->Path(), u"/docs/b/REPORT.doc");
  EXPECT_TRUE(model.Current()->LocalPath.empty());
  EXPECT_EQ(model.Current()->Size, 3145728);
}

TEST_F(Operations, DeleteByIndexAndByName) {
  AddServerEntry(model, u"/s/a", u"0", &view);
  fs.Add(u"C:\\d\\b", 1);
  Add({u"C:\\d\\b"});
  view.events.clear();
  EXPECT_EQ(DeleteByIndex(model, 2, &view).Code, u"E01003");
  EXPECT_EQ(DeleteByIndex(model, -1, &view).Code, u"E01006");
  EXPECT_EQ(DeleteByName(model, u"c", &view).Code, u"E01006");
  EXPECT_TRUE(view.events.empty());

  // The rows read b, a, but indices follow the rows only from the next
  // re-index on: a still holds Index 0.
  ASSERT_TRUE(DeleteByIndex(model, 0, &view).Ok());
  ASSERT_TRUE(DeleteByName(model, u"B", &view).Ok());
  EXPECT_EQ(view.events, (Events{"DeleteRow a", "AfterDeleteFile a /s/a", "DeleteRow b", "AfterDeleteFile b C:\\d\\b"}));
  EXPECT_EQ(model.DeleteFileCount(), 1);

  // An index below FileCount that no entry carries.
  AddServerEntry(model, u"/s/x", u"0", nullptr);
  AddServerEntry(model, u"/s/y", u"0", nullptr);
  model.FindByName(u"x")->Index = 1;
  EXPECT_EQ(DeleteByIndex(model, 0, &view).Code, u"E01006");
}

}  // namespace
}  // namespace zt
