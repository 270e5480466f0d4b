#include "app/command_line_parameters.h"

#include <gtest/gtest.h>

#include "support/error.h"

namespace app {
namespace {

TEST(CommandLineSplitting, BlanksSeparateAndRunsOfBlanksGiveNoEmptyParameters) {
  CommandLineParameters cl("  /a \t  b=1   \"c d\"  ");
  ASSERT_EQ(cl.Count(), 3);
  EXPECT_EQ(cl.GetRawParam(0), "/a");
  EXPECT_EQ(cl.GetRawParam(1), "b=1");
  EXPECT_EQ(cl.GetRawParam(2), "\"c d\"");  // quotes kept, blank inside kept
  EXPECT_EQ(cl.GetFullCommandLineParamsString(), "/a \t  b=1   \"c d\"");
}

TEST(CommandLineSplitting, QuotedRunInsideAParameter) {
  CommandLineParameters cl("/path=\"C:\\My Files\\x\" /nolog");
  ASSERT_EQ(cl.Count(), 2);
  EXPECT_EQ(cl.GetRawParam(0), "/path=\"C:\\My Files\\x\"");
  EXPECT_EQ(cl.ParamCheck("/path", ""), "C:\\My Files\\x");
}

TEST(CommandLineSplitting, EmptyLineHasNoParameters) {
  CommandLineParameters cl("   ");
  EXPECT_EQ(cl.Count(), 0);
  EXPECT_FALSE(cl.ParamExists("/nolog"));
  EXPECT_FALSE(cl.ParamExists(""));
  EXPECT_EQ(cl.ParamCheck("/x", "dflt"), "dflt");
  EXPECT_THROW(cl.GetRawParam(0), support::Error);
}

TEST(CommandLineOptions, NoLogIsFoundInAnyLetterCaseAndWithAValue) {
  EXPECT_TRUE(CommandLineParameters("/NoLog").ParamExists("/nolog"));
  EXPECT_TRUE(CommandLineParameters("x /nolog=yes").ParamExists("/nolog"));
  // The quotes are part of the parameter, so a quoted option is another name.
  EXPECT_FALSE(CommandLineParameters("\"/nolog\"").ParamExists("/nolog"));
}

TEST(CommandLineOptions, CaseSensitiveComparison) {
  CommandLineParameters cl("/NoLog");
  cl.SetCaseSensitive(true);
  EXPECT_FALSE(cl.ParamExists("/nolog"));
  EXPECT_TRUE(cl.ParamExists("/NoLog"));
}

TEST(CommandLineOptions, ParamCheckTakesTheFirstMatchAndTextAfterTheFirstEquals) {
  CommandLineParameters cl("/a=1=2 /a=3 /b /c=\"\"");
  EXPECT_EQ(cl.ParamCheck("/A", "d"), "1=2");
  EXPECT_EQ(cl.ParamCheck("/b", "d"), "d");  // bare switch has no value
  EXPECT_EQ(cl.ParamCheck("/c", "d"), "");   // explicit empty value
  EXPECT_EQ(cl.ParamCheck("/z", "d"), "d");
}

TEST(CommandLineOptions, FromArgvQuotesArgumentsWithBlanks) {
  const char* argv[] = {"prog", "/nolog", "a b", "c"};
  auto cl = CommandLineParameters::FromArgv(4, argv);
  ASSERT_EQ(cl.Count(), 3);
  EXPECT_EQ(cl.GetRawParam(1), "\"a b\"");
  EXPECT_TRUE(cl.ParamExists("/NOLOG"));
}

}  // namespace
}  // namespace app
