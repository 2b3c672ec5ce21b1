#include "model/file_model.h"

#include <gtest/gtest.h>

#include "model/file_operations.h"
#include "model_fakes.h"

namespace zt {
namespace {

using testing::TopInsertingView;

CZTFileItem& AddNamed(FileModel& model, std::u16string_view wanted, std::u16string serverPath = {}) {
  auto entry = std::make_unique<CZTFileItem>();
  entry->Name = model.UniqueName(wanted);
  entry->ServerPath = std::move(serverPath);
  if (entry->ServerPath.empty()) entry->LocalPath = u"C:\\f\\" + std::u16string(wanted);
  return model.Append(std::move(entry));
}

std::vector<std::u16string> Names(const FileModel::EntryList& list) {
  std::vector<std::u16string> names;
  for (const auto& e : list) names.push_back(e->Name);
  return names;
}

TEST(UniqueName, NumbersClashesIgnoringCaseBeforeTheLastDot) {
  FileModel model;
  AddNamed(model, u"a.txt");
  AddNamed(model, u"a.txt");
  AddNamed(model, u"a.txt");
  AddNamed(model, u"A.TXT");
  AddNamed(model, u"a(1).txt");
  AddNamed(model, u"x.tar.gz");
  AddNamed(model, u"x.tar.gz");
  AddNamed(model, u"readme");
  AddNamed(model, u"readme");
  AddNamed(model, u".profile");
  AddNamed(model, u".profile");
  EXPECT_EQ(Names(model.Files()),
            (std::vector<std::u16string>{u"a.txt", u"a(1).txt", u"a(2).txt", u"A(3).TXT", u"a(1)(1).txt", u"x.tar.gz",
                                         u"x.tar(1).gz", u"readme", u"readme(1).", u".profile", u"(1).profile"}));
}

TEST(UniqueName, CaseOnlyDifferenceAndDeletedNamesAndNonAscii) {
  FileModel model;
  AddNamed(model, u"a.txt");
  EXPECT_EQ(model.UniqueName(u"A.TXT"), u"A(1).TXT");
  // Korean and Cyrillic names: case folding must not disturb them.
  AddNamed(model, u"\uBCF4\uACE0\uC11C.doc");
  EXPECT_EQ(model.UniqueName(u"\uBCF4\uACE0\uC11C.DOC"), u"\uBCF4\uACE0\uC11C(1).DOC");
  AddNamed(model, u"\u0444\u0430\u0439\u043B");
  EXPECT_EQ(model.UniqueName(u"\u0424\u0410\u0419\u041B"), u"\u0424\u0410\u0419\u041B(1).");

  CZTFileItem& server = AddNamed(model, u"gone.txt", u"/s/gone.txt");
  model.Remove(server);
  ASSERT_EQ(model.DeleteFileCount(), 1);
  EXPECT_EQ(model.UniqueName(u"gone.txt"), u"gone.txt");
}

TEST(Reindex, WithoutViewIndicesFollowInsertionAndRemovalShifts) {
  FileModel model;
  AddNamed(model, u"a");
  CZTFileItem& b = AddNamed(model, u"b");
  AddNamed(model, u"c");
  EXPECT_EQ(model.FilePos(), 2);
  model.Remove(b);
  ASSERT_EQ(model.FileCount(), 2);
  EXPECT_EQ(model.FindPosByName(u"a"), 0);
  EXPECT_EQ(model.FindPosByName(u"C"), 1);
  EXPECT_EQ(model.FindPosByName(u"b"), -1);
  EXPECT_EQ(model.FindByIndex(1)->Name, u"c");
  EXPECT_EQ(model.FindByIndex(2), nullptr);
  EXPECT_EQ(model.FindByIndex(-1), nullptr);
  // FilePos named index 2, which no longer exists: it falls back to 0.
  EXPECT_EQ(model.FilePos(), 0);
}

TEST(Reindex, RowsInsertedAtTheTopDecideTheIndices) {
  FileModel model;
  TopInsertingView view;
  model.SetRowView(&view);
  for (auto name : {u"A", u"B", u"C"}) AddServerEntry(model, name, u"0", &view);

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

TEST(Reindex, EmptyListKeepsFilePosAndMissingRowsMatchNoEmptyName) {
  FileModel model;
  model.SetFilePos(5);
  model.Reindex();
  EXPECT_EQ(model.FilePos(), 5);

  // An entry with an empty name (a server path ending in "/") must not be
  // taken for rows the view does not have.
  AddServerEntry(model, u"/dir/", u"0", nullptr);
  AddServerEntry(model, u"/dir/x", u"0", nullptr);
  AddServerEntry(model, u"/dir/y", u"0", nullptr);
  EXPECT_EQ(model.FindByIndex(0)->ServerPath, u"/dir/");
  EXPECT_EQ(model.FindByIndex(2)->Name, u"y");
  EXPECT_EQ(model.FilePos(), 2);

  model.SetFilePos(-7);
  model.Reindex();
  EXPECT_EQ(model.FilePos(), 0);
}

TEST(RemoveEntry, LocalIsDestroyedServerMovesWithAttributesToTheEnd) {
  FileModel model;
  TopInsertingView view;
  model.SetRowView(&view);
  AddServerEntry(model, u"/s/first.doc", u"1k", &view);
  CZTFileItem& local = AddNamed(model, u"local.txt");
  view.InsertRow(local);
  AddServerEntry(model, u"/s/second.doc", u"2", &view);
  model.FindByName(u"second.doc")->SetAttribute(u"Owner", u"kim");
  view.events.clear();

  RemoveEntry(model, *model.FindByName(u"SECOND.DOC"), &view);
  RemoveEntry(model, *model.FindByName(u"local.txt"), &view);
  RemoveEntry(model, *model.FindByName(u"first.doc"), &view);

  EXPECT_EQ(view.events, (std::vector<std::string>{
                             "DeleteRow second.doc", "AfterDeleteFile second.doc /s/second.doc",
                             "DeleteRow local.txt", "AfterDeleteFile local.txt C:\\f\\local.txt",
                             "DeleteRow first.doc", "AfterDeleteFile first.doc /s/first.doc"}));
  EXPECT_EQ(model.FileCount(), 0);
  EXPECT_TRUE(view.rows.empty());
  ASSERT_EQ(model.DeleteFileCount(), 2);
  EXPECT_EQ(model.DeletedAt(0)->Name, u"second.doc");
  EXPECT_EQ(model.DeletedAt(0)->GetAttribute(u"owner"), u"kim");
  EXPECT_EQ(model.DeletedAt(1)->ServerPath, u"/s/first.doc");
  EXPECT_EQ(model.DeletedAt(1)->Size, 1024);
  EXPECT_EQ(model.DeletedAt(2), nullptr);
  EXPECT_EQ(model.DeletedAt(-1), nullptr);
}

TEST(Attributes, RegistrationRefusesUnderscoreAndNeverShrinks) {
  FileModel model;
  EXPECT_TRUE(model.RegisterAttributeName(u"Title"));
  EXPECT_TRUE(model.RegisterAttributeName(u"TITLE"));
  EXPECT_FALSE(model.RegisterAttributeName(u"_secret"));
  CZTFileItem& entry = AddNamed(model, u"x", u"/x");
  EXPECT_FALSE(model.SetRegisteredAttribute(entry, u"_hidden", u"v"));
  EXPECT_TRUE(model.SetRegisteredAttribute(entry, u"Owner", u"lee"));
  EXPECT_TRUE(model.SetRegisteredAttribute(entry, u"owner", u"park"));
  EXPECT_TRUE(entry.GetAttribute(u"_hidden").empty());
  ASSERT_EQ(entry.Attributes.size(), 1u);
  EXPECT_EQ(entry.Attributes[0].Name, u"Owner");
  EXPECT_EQ(entry.Attributes[0].Value, u"park");

  model.Remove(entry);
  model.AddMessage(u"k", u"v");
  model.ClearMessages();
  ASSERT_EQ(model.AttributeNames().size(), 2u);
  EXPECT_EQ(model.AttributeNames()[0].Name, u"Title");
  EXPECT_EQ(model.AttributeNames()[1].Name, u"Owner");
  EXPECT_EQ(model.AttributeNames()[1].Visible, 1);
  EXPECT_EQ(model.AttributeNames()[1].ColumnWidth, 100);
}

TEST(Messages, RepeatedNamesKeptInOrderUntilCleared) {
  FileModel model;
  model.AddMessage(u"tag", u"1");
  model.AddMessage(u"_raw", u"");
  model.AddMessage(u"TAG", u"2");
  ASSERT_EQ(model.Messages().size(), 3u);
  EXPECT_EQ(model.Messages()[0].Value, u"1");
  EXPECT_EQ(model.Messages()[1].Name, u"_raw");
  EXPECT_EQ(model.Messages()[2].Value, u"2");
  model.ClearMessages();
  EXPECT_TRUE(model.Messages().empty());
}

}  // namespace
}  // namespace zt
