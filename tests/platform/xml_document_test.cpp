#include "platform/xml_document.h"

#include <gtest/gtest.h>

using platform::XmlDocument;

namespace {
// A manifest as the service host serves it: GBK throughout, names included.
const std::string kManifest =
    "<?xml version=\"1.0\" encoding=\"gb2312\"?>\r\n"
    "<最新版本>\r\n"
    "  <其他 版本号=\"9\"/>\r\n"
    "  <版本信息 版本号=\"1.18\" 升级说明=\"修正错误#HHF新增网站\" 下载地址=\"http://h/r.zip\""
    " 文件标题=\"Velmora器\" 文件名=\"r.zip\"/>\r\n"
    "  <版本信息 版本号=\"7\"/>\r\n"
    "</最新版本>\r\n";
} // namespace

TEST(XmlDocument, ReadsGbkNamesAndValuesByteForByte) {
  XmlDocument doc;
  ASSERT_TRUE(doc.load(kManifest));
  EXPECT_EQ(doc.attribute("最新版本/版本信息", "版本号"), "1.18");  // the first of that name
  EXPECT_EQ(doc.attribute("最新版本/版本信息", "升级说明"), "修正错误#HHF新增网站");
  EXPECT_EQ(doc.attribute("最新版本/版本信息", "文件标题"), "Velmora器");
  EXPECT_EQ(doc.attribute("最新版本", "版本号"), "");
}

TEST(XmlDocument, MissingPiecesGiveTheEmptyText) {
  XmlDocument doc;
  ASSERT_TRUE(doc.load(kManifest));
  EXPECT_EQ(doc.attribute("别的/版本信息", "版本号"), "");   // wrong root
  EXPECT_EQ(doc.attribute("最新版本/没有", "版本号"), "");
  EXPECT_EQ(doc.attribute("最新版本/版本信息", "没有"), "");
  EXPECT_EQ(doc.attribute("最新版本/版本信息/更深", "版本号"), "");
}

TEST(XmlDocument, AFailedLoadLeavesTheHolderEmpty) {
  XmlDocument doc;
  ASSERT_TRUE(doc.load(kManifest));
  for (const std::string& bad : {std::string(), std::string("<html><body>404"), std::string("not xml")}) {
    EXPECT_FALSE(doc.load(bad)) << bad;
    EXPECT_FALSE(doc.holdsDocument());
    EXPECT_EQ(doc.attribute("最新版本/版本信息", "版本号"), "");
    ASSERT_TRUE(doc.load(kManifest));  // and a later good load works again
  }
  doc.load("<最新版本><版本信息 版本号=\"2\"/></最新版本>");
  EXPECT_EQ(doc.attribute("最新版本/版本信息", "版本号"), "2");  // the old document is gone
  EXPECT_EQ(doc.attribute("最新版本/版本信息", "文件名"), "");
}
