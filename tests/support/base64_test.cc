#include "support/base64.h"

#include <gtest/gtest.h>

namespace support {
namespace {

TEST(Base64, DecodesStandardAlphabetWithPadding) {
  EXPECT_EQ(Base64Decode("MDAwOTplbHBtYXhlLnNlbGlm"), "0009:elpmaxe.selif");
  EXPECT_EQ(Base64Decode("YQ=="), "a");
  EXPECT_EQ(Base64Decode("YWI="), "ab");
  EXPECT_EQ(Base64Decode("YWJj"), "abc");
  EXPECT_EQ(Base64Decode(""), "");
  EXPECT_EQ(Base64Decode("+/8="), std::string("\xFB\xFF", 2));
}

TEST(Base64, IgnoresLineBreaksTabsAndSpacesAnywhere) {
  EXPECT_EQ(Base64Decode(" MDAw\r\nOTpl\tbHBt YXhl\nLnNl\rbGlm\r\n"), "0009:elpmaxe.selif");
  EXPECT_EQ(Base64Decode("Y Q = =\r\n"), "a");
  EXPECT_EQ(Base64Decode(" \r\n\t"), "");
}

TEST(Base64, AcceptsAMissingFinalPadding) {
  EXPECT_EQ(Base64Decode("YQ"), "a");
  EXPECT_EQ(Base64Decode("YWI"), "ab");
}

TEST(Base64, RejectsEverythingElse) {
  // URL-safe alphabet, another control character, a lone sextet, data after the
  // padding, too much padding, padding of a complete group, incomplete padding.
  for (const char* bad :
       {"YW-j", "YWJj\v", "Y", "YQ==YQ==", "Y===", "YWJj=", "YQ=", "<html>", "\xCE\xB1"}) {
    EXPECT_FALSE(Base64Decode(bad)) << bad;
  }
}

TEST(Base64, EncodeDecodeRoundTripOfAllByteValues) {
  std::string bytes;
  for (int i = 0; i < 256; ++i) bytes.push_back(static_cast<char>(i));
  for (std::size_t n = 0; n <= 5; ++n) {
    const std::string part = bytes.substr(0, bytes.size() - n);
    EXPECT_EQ(Base64Decode(Base64Encode(part)), part) << n;
  }
  EXPECT_EQ(Base64Encode("a"), "YQ==");
}

}  // namespace
}  // namespace support
