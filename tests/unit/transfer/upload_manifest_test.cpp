#include "transfer/upload_manifest.h"

#include <gtest/gtest.h>

#include "transfer/trans_error.h"
#include "transfer_fakes.h"

namespace zt {
namespace {

CZTFileItem Entry(std::u16string name, std::int64_t size, std::u16string serverPath = {}, std::int32_t updated = 0) {
  CZTFileItem item;
  item.Name = std::move(name);
  item.Size = size;
  item.ServerPath = std::move(serverPath);
  item.LocalPath = u"C:\\f\\" + item.Name;
  item.Updated = updated;
  return item;
}

struct ManifestFixture : ::testing::Test {
  test::FakeFileSystem fileSystem;
  CZTTransMgr manager;
  std::vector<CZTFileAttrInfo> attributes{{u"author"}, {u"note"}};
  ManifestFixture() { manager.Files = &fileSystem; }
  std::u16string Manifest() {
    for (const auto& m : manager.Messages)
      if (m.Name == u"_ZTUInfo") return m.Value;
    ADD_FAILURE() << "no manifest field";
    return {};
  }
};

TEST_F(ManifestFixture, RowKindsLineEndsAndAttributeValues) {
  std::vector<CZTFileItem> files{Entry(u"new.txt", 3), Entry(u"kept.doc", 10, u"/s/kept.doc"),
                                 Entry(u"changed.doc", 7, u"/s/changed.doc", 1)};
  files[0].SetAttribute(u"AUTHOR", u"a|b");  // names match ignoring case; bars become spaces
  files[1].SetAttribute(u"note", u"n");
  std::vector<CZTFileItem> deleted{Entry(u"gone.txt", 4, u"/s/gone.txt")};
  deleted[0].SetAttribute(u"author", u"lee");
  fileSystem.Add(u"C:\\f\\new.txt", u"new.txt", 3);
  fileSystem.Add(u"C:\\f\\changed.doc", u"changed.doc", 7);
  fileSystem.Add(u"C:\\f\\kept.doc", u"kept.doc", 10);

  ASSERT_TRUE(BuildUploadManifest(&files, &deleted, attributes, manager));
  EXPECT_EQ(Manifest(),
            u"Type|FileName|Size|author|note|\r\n"
            u"N|new.txt|3|a b||\r\n"
            u"V|kept.doc|10||n|\r\n"
            u"U|changed.doc|7|||\r\n"
            u"D|gone.txt|4|lee||\n");
  // Only new and replaced entries are sent, in list order.
  ASSERT_EQ(manager.SendFiles.size(), 2u);
  EXPECT_EQ(manager.SendFiles[0].Name, u"new.txt");
  EXPECT_EQ(manager.SendFiles[1].Name, u"changed.doc");
  EXPECT_EQ(manager.SendFiles[1].Size, 7);
}

// Names and values from a page cannot add a field or a row, nor cut the
// manifest short: in entry names bars, line ends and 0 are escaped as the
// part headers write them, in attribute names and values they become spaces.
TEST_F(ManifestFixture, NoTextAddsAFieldARowOrEndsTheManifest) {
  std::vector<CZTFileItem> files{Entry(std::u16string(u"a\0b|c\r\nN|x|1|", 13), 5, u"/s/a"),
                                 Entry(u"next.doc", 2, u"/s/next.doc")};
  files[0].SetAttribute(u"author", u"v\r\n|");
  ASSERT_TRUE(BuildUploadManifest(&files, nullptr, attributes, manager));
  EXPECT_EQ(Manifest(), u"Type|FileName|Size|author|note|\r\nV|a%00b%7Cc%0D%0AN%7Cx%7C1%7C|5|v   ||\r\nV|next.doc|2|||\r\n");
}

TEST_F(ManifestFixture, EitherListMayBeAbsent) {
  std::vector<CZTFileItem> deleted{Entry(u"x", 1, u"/x"), Entry(u"y", 2, u"/y")};
  ASSERT_TRUE(BuildUploadManifest(nullptr, &deleted, {}, manager));
  EXPECT_EQ(Manifest(), u"D|x|1|\nD|y|2|\n");
  ASSERT_TRUE(BuildUploadManifest(nullptr, nullptr, {}, manager));
  EXPECT_EQ(Manifest(), u"");
  EXPECT_EQ(manager.Messages.size(), 1u) << "the second manifest replaces the first";
}

TEST_F(ManifestFixture, SizesFrom2GiBOnPrintWhole) {
  std::vector<CZTFileItem> files{Entry(u"big.iso", 3000000000LL), Entry(u"huge", 5000000000LL)};
  fileSystem.Add(u"C:\\f\\big.iso", u"big.iso", 3000000000LL);
  ASSERT_TRUE(BuildUploadManifest(&files, nullptr, {}, manager));
  EXPECT_EQ(Manifest(), u"Type|FileName|Size|\r\nN|big.iso|3000000000|\r\nN|huge|5000000000|\r\n");
  // A file missing from the disk keeps its row but gets no part.
  ASSERT_EQ(manager.SendFiles.size(), 1u);
  EXPECT_EQ(manager.SendFiles[0].Size, 3000000000LL);
}

TEST_F(ManifestFixture, ManifestReplacesSameNamedFieldOrComesLast) {
  CopyMessages({{u"title", u"t"}, {u"_ztuinfo", u"old"}, {u"TITLE", u"t2"}}, manager);
  ASSERT_EQ(manager.Messages.size(), 2u);
  std::vector<CZTFileItem> none;
  ASSERT_TRUE(BuildUploadManifest(&none, nullptr, {}, manager));
  ASSERT_EQ(manager.Messages.size(), 2u);
  EXPECT_EQ(manager.Messages[0].Value, u"t2");
  EXPECT_EQ(manager.Messages[1].Name, u"_ztuinfo");
  EXPECT_EQ(manager.Messages[1].Value, u"Type|FileName|Size|\r\n");

  CZTTransMgr other;
  other.SetMessage(u"a", u"1");
  ASSERT_TRUE(BuildUploadManifest(&none, nullptr, {}, other));
  EXPECT_EQ(other.Messages.back().Name, u"_ZTUInfo");
}

TEST_F(ManifestFixture, EntriesToSendNeedAFileSystem) {
  manager.Files = nullptr;
  std::vector<CZTFileItem> serverOnly{Entry(u"kept", 1, u"/kept")};
  EXPECT_TRUE(BuildUploadManifest(&serverOnly, nullptr, {}, manager));
  std::vector<CZTFileItem> local{Entry(u"new", 1)};
  EXPECT_FALSE(BuildUploadManifest(&local, nullptr, {}, manager));
}

TEST_F(ManifestFixture, SendNameFallsBackToTheFoundName) {
  fileSystem.Add(u"C:\\f\\real.txt", u"real.txt", 9);
  manager.AddSendFile(u"C:\\f\\real.txt", u"");
  manager.AddSendFile(u"C:\\f\\real.txt", u"shown.txt");
  ASSERT_EQ(manager.SendFiles.size(), 2u);
  EXPECT_EQ(manager.SendFiles[0].Name, u"real.txt");
  EXPECT_EQ(manager.SendFiles[1].Name, u"shown.txt");
  EXPECT_EQ(manager.SendFiles[1].LocalPath, u"C:\\f\\real.txt");
}

TEST(TransErrorMapping, KnownCodesTakeTheirTextOthersKeepTheDescription) {
  std::u16string code, description;
  ApplyTransErrorCode(u"E04003", code, description);
  EXPECT_EQ(code, u"E04003");
  EXPECT_EQ(description, u"연결에 실패했습니다.");
  ApplyTransErrorCode(u"I04001", code, description);
  EXPECT_EQ(description, u"전송이 취소되었습니다.");
  for (const char16_t* other : {u"E04010", u"", u"e04003", u"E04000", u"E040031"}) {
    description = u"before";
    ApplyTransErrorCode(other, code, description);
    EXPECT_EQ(code, other);
    EXPECT_EQ(description, u"before") << std::string(code.begin(), code.end());
  }
}

}  // namespace
}  // namespace zt
