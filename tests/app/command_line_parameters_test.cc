#include "app/command_line_parameters.h"

#include <gtest/gtest.h>

#include "common/expect_error.h"

namespace app {
namespace {

/// The parameters as written, joined with "|".
std::string Params(const CommandLineParameters& cl) {
  std::string out;
  for (int i = 0; i < cl.Count(); ++i) out += (i > 0 ? "|" : "") + cl.GetRawParam(i);
  return out;
}

TEST(CommandLineSplitting, BlanksSeparateAndQuotedRunsStayWhole) {
  const struct {
    const char* line;
    const char* params;
  } cases[] = {
      {"  /a \t  b=1   \"c d\"  ", "/a|b=1|\"c d\""},  // quotes kept, blank inside kept
      {"/path=\"C:\\My Files\\x\" /nolog", "/path=\"C:\\My Files\\x\"|/nolog"},
      {"   ", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(Params(CommandLineParameters(c.line)), c.params) << c.line;
  CommandLineParameters cl("  /a \t  b=1   \"c d\"  ");
  EXPECT_EQ(cl.GetFullCommandLineParamsString(), "/a \t  b=1   \"c d\"");
  test_common::ExpectError(9, [&] { cl.GetRawParam(3); });
  test_common::ExpectError(9, [&] { cl.GetRawParam(-1); });
  const char* argv[] = {"prog", "/nolog", "a b", "c"};
  EXPECT_EQ(Params(CommandLineParameters::FromArgv(4, argv)), "/nolog|\"a b\"|c");
}

TEST(CommandLineOptions, NamesMatchUpToTheFirstEqualsInAnyLetterCase) {
  EXPECT_TRUE(CommandLineParameters("/NoLog").ParamExists("/nolog"));
  EXPECT_TRUE(CommandLineParameters("x /nolog=yes").ParamExists("/nolog"));
  // The quotes are part of the parameter, so a quoted option is another name.
  EXPECT_FALSE(CommandLineParameters("\"/nolog\"").ParamExists("/nolog"));
  EXPECT_FALSE(CommandLineParameters("   ").ParamExists(""));
  CommandLineParameters cl("/NoLog");
  cl.SetCaseSensitive(true);
  EXPECT_FALSE(cl.ParamExists("/nolog"));
  EXPECT_TRUE(cl.ParamExists("/NoLog"));
}

TEST(CommandLineOptions, ParamCheckTakesTheFirstMatchAndTextAfterTheFirstEquals) {
  CommandLineParameters cl("/a=1=2 /a=3 /b /c=\"\" /path=\"C:\\My Files\\x\"");
  EXPECT_EQ(cl.ParamCheck("/A", "d"), "1=2");
  EXPECT_EQ(cl.ParamCheck("/b", "d"), "d");  // bare switch has no value
  EXPECT_EQ(cl.ParamCheck("/c", "d"), "");   // explicit empty value
  EXPECT_EQ(cl.ParamCheck("/z", "d"), "d");
  EXPECT_EQ(cl.ParamCheck("/path", ""), "C:\\My Files\\x");
}

}  // namespace
}  // namespace app
