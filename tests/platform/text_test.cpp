#include "platform/text.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace platform;

TEST(TextToNumber, ReadsTheLeadingDecimalNumber) {
  struct Case { const char* text; double expected; };
  const Case cases[] = {
      {" 1.18", 1.18},     {"1.2beta", 1.2},      {"１．１８", 1.18},  {"-3e2x", -300.0},
      {"", 0.0},           {"abc", 0.0},          {"1.17", 1.17},      {"+2", 2.0},
      {"－１", -1.0},      {"\t\r\n 7", 7.0},     {"1e", 1.0},         {"1e+", 1.0},
      {".5", 0.5},         {"5.", 5.0},           {".", 0.0},          {"-", 0.0},
      {"+-1", 0.0},        {"2E-1", 0.2},         {"1.2.3", 1.2},      {"　3", 3.0},
      {"1 2", 1.0},        {"0x10", 0.0},         {"版本1.2", 0.0},
  };
  for (const Case& c : cases) EXPECT_DOUBLE_EQ(textToNumber(c.text), c.expected) << "text: " << c.text;
}

TEST(TextToNumber, OverflowAndUnderflowBehaveLikeStrtod) {
  EXPECT_TRUE(std::isinf(textToNumber("1e999")));
  EXPECT_LT(textToNumber("-1e999"), 0);
  EXPECT_EQ(textToNumber("1e-999"), 0.0);
}

TEST(TextToInteger, ReadsTheLeadingInteger) {
  EXPECT_EQ(textToInteger("100000"), 100000);
  EXPECT_EQ(textToInteger("10000000"), 10000000);
  EXPECT_EQ(textToInteger(" -42abc"), -42);
  EXPECT_EQ(textToInteger("3.9"), 3);
  EXPECT_EQ(textToInteger("１２"), 12);
  EXPECT_EQ(textToInteger(""), 0);
  EXPECT_EQ(textToInteger("x1"), 0);
  EXPECT_EQ(textToInteger("99999999999"), 2147483647);
  EXPECT_EQ(textToInteger("-99999999999"), -2147483647 - 1);
}

TEST(ExceedsNoticeably, NeedsMoreThanTheTolerance) {
  EXPECT_FALSE(exceedsNoticeably(textToNumber("1.17"), 1.17));
  EXPECT_TRUE(exceedsNoticeably(textToNumber("1.18"), 1.17));
  EXPECT_FALSE(exceedsNoticeably(textToNumber("1.17000005"), 1.17));
  EXPECT_TRUE(exceedsNoticeably(textToNumber("1.1700002"), 1.17));
  EXPECT_FALSE(exceedsNoticeably(textToNumber("1.00000005"), 1.0));
  EXPECT_TRUE(exceedsNoticeably(textToNumber("2"), 1.0));
  EXPECT_FALSE(exceedsNoticeably(0.0, 1.17));
}

TEST(ReplaceAll, ReplacesLeftToRightWithoutRescanning) {
  EXPECT_EQ(replaceAll("a#HHFb#HHF", "#HHF", "\r\n"), "a\r\nb\r\n");
  EXPECT_EQ(replaceAll("aaa", "aa", "a"), "aa");     // no rescan of what was put in
  EXPECT_EQ(replaceAll("abab", "ab", "abab"), "abababab");
  EXPECT_EQ(replaceAll("xyz", "#HHF", "\r\n"), "xyz");
  EXPECT_EQ(replaceAll("", "a", "b"), "");
  EXPECT_EQ(replaceAll("#hhf", "#HHF", "\r\n"), "#hhf");  // case-sensitive
}

TEST(BytesToText, StopsAtTheFirstZeroByte) {
  EXPECT_EQ(bytesToText(std::string("欢迎\0hidden", 10)), "欢迎");
  EXPECT_EQ(bytesToText(""), "");
  EXPECT_EQ(bytesToText(std::string("\0x", 2)), "");
}

TEST(GbkCodec, RoundTripsChineseText) {
  std::string gbk = "Velmora器 下载开始";
  EXPECT_EQ(gbk.size(), 18u);  // the literal really is GBK: two bytes per character
  std::string utf8 = gbkToUtf8(gbk);
  EXPECT_EQ(utf8, "Velmora\xE5\x99\xA8 \xE4\xB8\x8B\xE8\xBD\xBD\xE5\xBC\x80\xE5\xA7\x8B");
  EXPECT_EQ(utf8ToGbk(utf8), gbk);
  EXPECT_EQ(utf16ToGbk(gbkToUtf16(gbk)), gbk);
  EXPECT_EQ(gbkToUtf16("器"), u"器");
}
