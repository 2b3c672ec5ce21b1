#include "model/records.h"

#include <gtest/gtest.h>

namespace zt {
namespace {

TEST(FileItem, AttributeNamesIgnoreCaseAndKeepFirstSpelling) {
  CZTFileItem item;
  item.SetAttribute(u"Title", u"one");
  item.SetAttribute(u"Owner", u"kim");
  item.SetAttribute(u"TITLE", u"two");
  ASSERT_EQ(item.Attributes.size(), 2u);
  EXPECT_EQ(item.Attributes[0].Name, u"Title");
  EXPECT_EQ(item.Attributes[0].Value, u"two");
  EXPECT_EQ(item.GetAttribute(u"title"), u"two");
  EXPECT_EQ(item.GetAttribute(u"missing"), u"");
}

TEST(FileItem, PathAndExtension) {
  CZTFileItem local;
  local.Name = u"x.tar.gz";
  local.LocalPath = u"C:\\x.tar.gz";
  EXPECT_TRUE(local.IsLocal());
  EXPECT_EQ(local.Path(), u"C:\\x.tar.gz");
  EXPECT_EQ(local.Extension(), u"gz");

  CZTFileItem server;
  server.Name = u"readme";
  server.LocalPath = u"C:\\copy";
  server.ServerPath = u"/docs/readme";
  EXPECT_FALSE(server.IsLocal());
  EXPECT_EQ(server.Path(), u"/docs/readme");
  EXPECT_EQ(server.Extension(), u"");
}

}  // namespace
}  // namespace zt
